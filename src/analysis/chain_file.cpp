#include "analysis/chain_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

#include "core/errors.h"
#include "core/free_format.h"

namespace zorvik {

namespace {

bool is_separator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\r'; }

bool equals_nocase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t k = 0; k < a.size(); ++k) {
    const char x = a[k] >= 'A' && a[k] <= 'Z' ? static_cast<char>(a[k] - 'A' + 'a') : a[k];
    if (x != b[k]) return false;
  }
  return true;
}

// A number of the chain: the real forms of the free format (E, D or Q
// exponents, or an exponent without its letter), and the not-a-number and
// infinity that a fixed-column writer puts in place of such values.
bool parse_chain_value(std::string_view token, double& value) {
  if (parse_real(token, value)) return true;
  bool negative = false;
  if (!token.empty() && (token[0] == '+' || token[0] == '-')) {
    negative = token[0] == '-';
    token.remove_prefix(1);
  }
  if (equals_nocase(token, "nan")) {
    value = std::numeric_limits<double>::quiet_NaN();
    return true;
  }
  if (equals_nocase(token, "inf") || equals_nocase(token, "infinity")) {
    value = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    return true;
  }
  return false;
}

}  // namespace

ChainFileReader::ChainFileReader(std::string path, int nvalues)
    : path_(std::move(path)), in_(path_, std::ios::binary), nvalues_(nvalues) {
  if (!in_) throw FatalError("Cannot open file \"" + path_ + "\" for reading: " + std::strerror(errno));
  if (std::getline(in_, line_)) ++line_no_;  // the column header
}

bool ChainFileReader::next(double* v) {
  int got = 0;
  while (got < nvalues_) {
    if (!std::getline(in_, line_)) return false;
    ++line_no_;
    const std::string_view l(line_);
    size_t k = 0;
    while (got < nvalues_) {
      while (k < l.size() && is_separator(l[k])) ++k;
      if (k >= l.size()) break;
      size_t e = k;
      while (e < l.size() && !is_separator(l[e])) ++e;
      const std::string_view token = l.substr(k, e - k);
      if (!parse_chain_value(token, v[got])) {
        throw InputError(path_, static_cast<int>(std::min<long long>(line_no_, std::numeric_limits<int>::max())),
                         "expected the numbers of a chain record (step, chisq, par(1) ... par(npar)), found \"" +
                             std::string(token) + "\"");
      }
      ++got;
      k = e;
    }
  }
  return true;
}

}  // namespace zorvik
