// The record formatter against records written by gfortran's formatted WRITE:
// tests/data/record_format_reference.txt holds, for each case, a format, the
// values (reals as their exact IEEE-754 bits) and the records, trailing blanks
// kept between '|'. It was generated once by tests/core/gen/record_format_reference.f90.
#include "core/record_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <deque>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "core/fixed_string.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

// One case of the reference: the format, the values (and how they were listed), the records.
struct ReferenceCase {
  std::string id, format, listed;
  std::vector<FmtValue> values;
  std::vector<std::string> records;
};

// The text between the first and the last '|' of a line.
std::string delimited(const std::string& line) {
  const auto a = line.find('|'), b = line.rfind('|');
  if (a == std::string::npos || b == a) ADD_FAILURE() << "no |...| in: " << line;
  return a == std::string::npos || b == a ? std::string() : line.substr(a + 1, b - a - 1);
}

std::vector<ReferenceCase> read_reference() {
  std::istringstream in(testing_support::reference("record_format_reference.txt"));
  static std::deque<std::string> texts;  // the text values, which the FmtValues refer to
  std::vector<ReferenceCase> cases;
  ReferenceCase c;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::string key = line.substr(0, line.find(' '));
    if (key == "case") {
      c = ReferenceCase{line.substr(5), {}, {}, {}, {}};
    } else if (key == "fmt") {
      c.format = delimited(line);
    } else if (key == "i") {
      c.values.emplace_back(std::stoll(line.substr(2)));
      c.listed += " " + line.substr(2);
    } else if (key == "r") {  // the exact IEEE-754 bits, then the value in decimal
      c.values.emplace_back(std::bit_cast<double>(std::stoull(line.substr(2, 16), nullptr, 16)));
      c.listed += " " + line.substr(20);
    } else if (key == "t") {
      c.values.emplace_back(std::string_view(texts.emplace_back(delimited(line))));
      c.listed += " '" + texts.back() + "'";
    } else if (key == "out") {
      c.records.push_back(delimited(line));
    } else if (key == "end") {
      cases.push_back(c);
    } else {
      ADD_FAILURE() << "unknown key '" << key << "' in: " << line;
    }
  }
  return cases;
}

// gfortran writes a three-digit exponent without its letter (0.1000+101). The
// formatter keeps the letter where the field has room: it takes the field's
// leading blank, or else the leading zero of the 0.ddd form.
std::string with_exponent_letter(const std::string& record) {
  static const std::regex bare(R"((-?)(\d?)(\.\d+)([-+]\d{3}))");
  std::string out;
  size_t last = 0;
  for (std::sregex_iterator it(record.begin(), record.end(), bare), end; it != end; ++it) {
    const std::smatch& m = *it;
    const size_t at = size_t(m.position(0));
    out += record.substr(last, at - last);
    const std::string number = m[1].str() + m[2].str() + m[3].str() + "E" + m[4].str();
    if (!out.empty() && out.back() == ' ')
      out.back() = '\0', out.pop_back(), out += number;
    else if (m[2].str() == "0")
      out += m[1].str() + m[3].str() + "E" + m[4].str();
    else
      out += m.str();
    last = at + size_t(m.length(0));
  }
  return out + record.substr(last);
}

TEST(RecordFormat, WritesTheRecordsThatGfortranWrites) {
  const std::vector<ReferenceCase> cases = read_reference();
  // The data file has several hundred cases; far fewer means it was cut or misread.
  ASSERT_GE(cases.size(), 500u);
  for (const ReferenceCase& c : cases) {
    std::string expected;
    for (size_t k = 0; k < c.records.size(); ++k) {
      if (k > 0) expected += '\n';
      expected += c.format.find_first_of("eE") != std::string::npos ? with_exponent_letter(c.records[k]) : c.records[k];
    }
    std::string actual;
    try {
      actual = record_format(c.format).format(c.values);
    } catch (const std::exception& e) {
      actual = std::string("exception: ") + e.what();
    }
    EXPECT_EQ(actual, expected) << "case " << c.id << ", format " << c.format << ", values" << c.listed;
  }
}

}  // namespace
}  // namespace zorvik
