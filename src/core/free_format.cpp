#include "core/free_format.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "core/errors.h"
#include "core/files.h"

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

FreeReader::FreeReader(std::string name, std::string_view content) : name_(std::move(name)) {
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string_view::npos) end = content.size();
    std::string line(content.substr(start, end - start));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines_.push_back(std::move(line));
    start = end + 1;
  }
}

FreeReader FreeReader::open(const std::string& path) {
  std::string content;
  try {
    content = read_whole_file(path);
  } catch (const FatalError&) {
    throw InputError(path, 0, "the file cannot be opened for reading");
  }
  return FreeReader(path, content);
}

FreeReader::Outcome FreeReader::do_read(std::initializer_list<FreeTarget> targets, size_t& failed_index,
                                        std::string& found) {
  std::vector<FreeToken> tokens;
  size_t want = 0;
  const size_t total = targets.size();
  const FreeTarget* tg = targets.begin();
  while (want < total) {
    if (next_ >= lines_.size()) {
      failed_index = want;
      return Outcome::End;
    }
    std::string error;
    const size_t line_index = next_++;
    last_line_ = static_cast<int>(line_index + 1);
    // Tokens before an unclosed quote still count: the quote may sit in a comment
    // after the values the read needs.
    const bool whole = split_free(lines_[line_index], tokens, &error);
    for (size_t t = 0; t < tokens.size() && want < total; ++t, ++want) {
      if (!tg[want].store(tokens[t])) {
        failed_index = want;
        found = tokens[t].null ? std::string("an empty value between two commas")
                               : "\"" + tokens[t].text + "\"";
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
    if (next_ >= lines_.size()) fail(what, request_index_, target.kind(), true, "");
    const size_t line_index = next_++;
    last_line_ = static_cast<int>(line_index + 1);
    pending_whole_ = split_free(lines_[line_index], pending_, &pending_error_);
    pending_next_ = 0;
  }
  const FreeToken& t = pending_[pending_next_++];
  if (!target.store(t))
    fail(what, request_index_, target.kind(), false,
         t.null ? std::string("an empty value between two commas") : "\"" + t.text + "\"");
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
  if (next_ >= lines_.size()) return false;
  const size_t line_index = next_++;
  last_line_ = static_cast<int>(line_index + 1);
  std::string error;
  if (!split_free(lines_[line_index], tokens, &error)) throw InputError(name_, last_line_, error);
  return true;
}

}  // namespace zorvik
