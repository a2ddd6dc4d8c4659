#include "core/free_format.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>

#include "core/errors.h"
#include "core/visible_text.h"

namespace zorvik {

namespace {

// A real whose shortest form has neither a point nor an exponent gets ".0", so a
// real never reads like an integer on the console.
std::string mark_real(std::string s) {
  if (s.find_first_of(".eEin") == std::string::npos) s += ".0";
  return s;
}

}  // namespace

// Non-finite values are written as the list-directed writers of scientific
// codes write them: NaN, Infinity, -Infinity.
static std::string non_finite(double v) {
  if (std::isnan(v)) return "NaN";
  return v > 0 ? "Infinity" : "-Infinity";
}

std::string shortest(double v) {
  if (!std::isfinite(v)) return non_finite(v);
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return mark_real(std::string(buf, r.ptr));
}

std::string shortest(float v) {
  if (!std::isfinite(v)) return non_finite(v);
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return mark_real(std::string(buf, r.ptr));
}

std::string free_record(std::span<const FreeItem> items) {
  std::string out = " ";
  bool previous_text = false;
  bool first = true;
  for (const FreeItem& it : items) {
    const bool text = it.kind == FreeItem::Kind::Text;
    if (!first && !(text && previous_text)) out += ' ';
    switch (it.kind) {
      case FreeItem::Kind::Text: out += it.s; break;
      case FreeItem::Kind::Int: out += std::to_string(it.i); break;
      case FreeItem::Kind::Real: out += shortest(it.d); break;
      case FreeItem::Kind::Single: out += shortest(static_cast<float>(it.d)); break;
    }
    previous_text = text;
    first = false;
  }
  return out;
}

bool split_free(std::string_view line, std::vector<FreeToken>& tokens, std::string* error) {
  tokens.clear();
  size_t k = 0;
  const size_t n = line.size();
  auto is_blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  bool after_comma = false;  // a separating comma was just passed
  bool any = false;
  while (k < n) {
    while (k < n && is_blank(line[k])) ++k;
    if (k >= n) break;
    if (line[k] == ',') {
      // A comma right after another comma, or at the start, stands for a null value.
      if (after_comma || !any) tokens.push_back(FreeToken{"", false, true});
      after_comma = true;
      any = true;
      ++k;
      continue;
    }
    FreeToken t;
    if (line[k] == '\'' || line[k] == '"') {
      const char q = line[k++];
      bool closed = false;
      while (k < n) {
        if (line[k] == q) {
          if (k + 1 < n && line[k + 1] == q) {
            t.text += q;
            k += 2;
            continue;
          }
          ++k;
          closed = true;
          break;
        }
        t.text += line[k++];
      }
      if (!closed) {
        if (error) *error = "a quoted text is not closed on its line";
        return false;
      }
      t.quoted = true;
    } else {
      while (k < n && !is_blank(line[k]) && line[k] != ',') t.text += line[k++];
    }
    tokens.push_back(std::move(t));
    after_comma = false;
    any = true;
    // One comma after a value (with blanks around it) is just a separator.
    while (k < n && is_blank(line[k])) ++k;
    if (k < n && line[k] == ',') {
      ++k;
      after_comma = true;
    }
  }
  return true;
}

bool parse_int(std::string_view token, int& value) {
  if (token.empty()) return false;
  size_t start = 0;
  if (token[0] == '+') start = 1;
  if (start == token.size()) return false;
  long long v = 0;
  auto r = std::from_chars(token.data() + start, token.data() + token.size(), v);
  if (r.ec != std::errc() || r.ptr != token.data() + token.size()) return false;
  if (token[start] == '-' && start == 1) return false;  // "+-3"
  if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return false;
  value = static_cast<int>(v);
  return true;
}

bool parse_real(std::string_view token, double& value) {
  // Fortran forms: [sign] digits [. [digits]] | . digits, then an optional
  // exponent E/D/Q with optional sign.
  std::string s;
  s.reserve(token.size());
  size_t k = 0;
  const size_t n = token.size();
  if (k < n && (token[k] == '+' || token[k] == '-')) s += token[k++];
  size_t digits = 0;
  while (k < n && token[k] >= '0' && token[k] <= '9') { s += token[k++]; ++digits; }
  if (k < n && token[k] == '.') {
    s += token[k++];
    while (k < n && token[k] >= '0' && token[k] <= '9') { s += token[k++]; ++digits; }
  }
  if (digits == 0) return false;
  if (k < n) {
    const char e = token[k];
    if (e == 'e' || e == 'E' || e == 'd' || e == 'D' || e == 'q' || e == 'Q') {
      s += 'e';
      ++k;
      if (k < n && (token[k] == '+' || token[k] == '-')) s += token[k++];
      size_t ed = 0;
      while (k < n && token[k] >= '0' && token[k] <= '9') { s += token[k++]; ++ed; }
      if (ed == 0) return false;
    } else if (e == '+' || e == '-') {
      // An exponent without its letter, as fixed-column writers produce for
      // exponents of three digits: 1.2345+100.
      s += 'e';
      s += token[k++];
      size_t ed = 0;
      while (k < n && token[k] >= '0' && token[k] <= '9') { s += token[k++]; ++ed; }
      if (ed == 0) return false;
    } else {
      return false;
    }
  }
  if (k != n) return false;
  const char* begin = s.c_str();
  if (*begin == '+') ++begin;
  double v = 0.0;
  auto r = std::from_chars(begin, s.c_str() + s.size(), v);
  if (r.ec == std::errc::result_out_of_range) {
    // Underflow reads as zero; overflow is not a finite number.
    double tiny = std::strtod(begin, nullptr);
    if (std::isfinite(tiny)) { value = tiny; return true; }
    return false;
  }
  if (r.ec != std::errc() || r.ptr != s.c_str() + s.size()) return false;
  if (!std::isfinite(v)) return false;
  value = v;
  return true;
}

bool FreeTarget::store(const FreeToken& t) const {
  if (t.null) return false;
  switch (kind_) {
    case Kind::Int: {
      if (t.quoted) return false;
      return parse_int(t.text, *static_cast<int*>(p_));
    }
    case Kind::Real: {
      if (t.quoted) return false;
      return parse_real(t.text, *static_cast<double*>(p_));
    }
    case Kind::Text: set_(p_, t.text); return true;
  }
  return false;
}

std::string shown_token(std::string_view text) {
  const bool cut = text.size() > kShownTokenLength;
  std::string shown(1, '"');
  shown.append(visible_text(cut ? text.substr(0, kShownTokenLength) : text));
  shown.append(cut ? "...\"" : "\"");
  return shown;
}

FreeReader::FreeReader(std::string name, std::string_view content)
    : name_(std::move(name)), in_(std::make_unique<std::istringstream>(std::string(content))) {}

FreeReader::FreeReader(FreeReader&&) noexcept = default;
FreeReader& FreeReader::operator=(FreeReader&&) noexcept = default;
FreeReader::~FreeReader() = default;

FreeReader FreeReader::open(const std::string& path) {
  auto in = std::make_unique<std::ifstream>(path, std::ios::binary);
  if (!*in) throw InputError(path, 0, "the file cannot be opened for reading");
  FreeReader r(path, "");
  r.in_ = std::move(in);
  return r;
}

const std::string* FreeReader::next_raw_line() {
  // Byte by byte from the stream's buffer: the line is taken up to its line
  // end (a carriage return before it is dropped), and a last line without one
  // still counts.
  std::streambuf* buf = in_->rdbuf();
  current_.clear();
  bool any = false;
  for (int c = buf->sbumpc(); c != std::char_traits<char>::eof(); c = buf->sbumpc()) {
    any = true;
    if (c == '\n') break;
    if (current_.size() >= kMaxLineLength)
      throw InputError(name_, last_line_ + 1,
                       "the line is longer than " + std::to_string(kMaxLineLength) +
                           " characters; this is not a text file of the kind expected here");
    current_ += static_cast<char>(c);
  }
  if (!any) return nullptr;
  if (!current_.empty() && current_.back() == '\r') current_.pop_back();
  ++last_line_;
  return &current_;
}

FreeReader::Outcome FreeReader::do_read(std::initializer_list<FreeTarget> targets, size_t& failed_index,
                                        std::string& found) {
  std::vector<FreeToken> tokens;
  size_t want = 0;
  const size_t total = targets.size();
  const FreeTarget* tg = targets.begin();
  while (want < total) {
    const std::string* text = next_raw_line();
    if (!text) {
      failed_index = want;
      return Outcome::End;
    }
    std::string error;
    // Tokens before an unclosed quote still count: the quote may sit in a comment
    // after the values the read needs.
    const bool whole = split_free(*text, tokens, &error);
    for (size_t t = 0; t < tokens.size() && want < total; ++t, ++want) {
      if (!tg[want].store(tokens[t])) {
        failed_index = want;
        found = tokens[t].null ? std::string("an empty value between two commas") : shown_token(tokens[t].text);
        return Outcome::Bad;
      }
    }
    if (!whole && want < total) {
      failed_index = want;
      found = error;
      return Outcome::Bad;
    }
  }
  return Outcome::Ok;
}

void FreeReader::fail(std::string_view what, size_t failed, FreeTarget::Kind kind, bool at_end,
                      const std::string& found) const {
  // The name of the failing value, from "description: name1, name2, …".
  std::string description(what), value_name;
  if (size_t colon = description.find(": "); colon != std::string::npos) {
    std::string names = description.substr(colon + 2);
    description = description.substr(0, colon);
    size_t index = 0, pos = 0;
    while (true) {
      size_t comma = names.find(',', pos);
      std::string nm = names.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
      while (!nm.empty() && nm.front() == ' ') nm.erase(0, 1);
      if (index == failed) { value_name = nm; break; }
      if (comma == std::string::npos) break;
      pos = comma + 1;
      ++index;
    }
  }
  std::string expected = kind == FreeTarget::Kind::Int    ? "an integer"
                         : kind == FreeTarget::Kind::Real ? "a number"
                                                          : "a text";
  if (!value_name.empty()) expected += " (" + value_name + ")";
  if (at_end) throw InputError(name_, last_line_, description + ": the file ends where " + expected + " was expected");
  throw InputError(name_, last_line_, description + ": expected " + expected + ", found " + found);
}

void FreeReader::read(std::string_view what, std::initializer_list<FreeTarget> targets) {
  size_t failed = 0;
  std::string found;
  const Outcome o = do_read(targets, failed, found);
  if (o == Outcome::Ok) return;
  fail(what, failed, (targets.begin() + failed)->kind(), o == Outcome::End, found);
}

void FreeReader::begin() {
  pending_.clear();
  pending_next_ = 0;
  pending_whole_ = true;
  pending_error_.clear();
  request_index_ = 0;
}

void FreeReader::value(std::string_view what, FreeTarget target) {
  while (pending_next_ >= pending_.size()) {
    if (!pending_whole_) fail(what, request_index_, target.kind(), false, pending_error_);
    const std::string* text = next_raw_line();
    if (!text) fail(what, request_index_, target.kind(), true, "");
    pending_whole_ = split_free(*text, pending_, &pending_error_);
    pending_next_ = 0;
  }
  const FreeToken& t = pending_[pending_next_++];
  if (!target.store(t))
    fail(what, request_index_, target.kind(), false,
         t.null ? std::string("an empty value between two commas") : shown_token(t.text));
  ++request_index_;
}

void FreeReader::end() {
  pending_.clear();
  pending_next_ = 0;
}

bool FreeReader::try_read(std::initializer_list<FreeTarget> targets) {
  size_t failed = 0;
  std::string found;
  return do_read(targets, failed, found) == Outcome::Ok;
}

bool FreeReader::next_line(std::vector<FreeToken>& tokens) {
  const std::string* text = next_raw_line();
  if (!text) return false;
  std::string error;
  if (!split_free(*text, tokens, &error)) throw InputError(name_, last_line_, error);
  return true;
}

}  // namespace zorvik
