// Fixed-column record formatter: parses a Fortran-style edit-descriptor string once
// into a flat list of operations and writes records from it with the output rules of
// a formatted WRITE under gfortran's default settings.
//
// Facts about the reference behaviour (measured with gfortran 12.2 on glibc; the
// committed reference strings in tests/data/record_format_reference.txt pin them):
// - Reals are rounded once, correctly, from their exact binary value, with ties to
//   even (0.125 in f5.2 gives 0.12, 0.375 gives 0.38, 2.5 in f4.0 gives 2.). This is
//   the C library's printf conversion, which gfortran itself calls; the digits here
//   come from std::to_chars with a precision, which rounds the same way and is
//   several times faster (the chain record of every step goes through it).
// - The sign of a negative value is written even when it rounds to zero, and for
//   -0.0 ("-0.00", "-0.000E+00").
// - The zero before the point of an F value below one, and the zero of the 0.ddd
//   form of E, are dropped when the field is one short (".50" in f3.2); with no
//   decimals (fW.0) the zero is always needed.
// - ES has no optional character: -1.0 in es10.4 is a field of asterisks.
// - An exponent of three digits keeps the letter E when the field has room for
//   it (0.1000E+101, if need be .1000E+101); gfortran drops the letter
//   (0.1000+101), a form that gnuplot, C and Python read as 0.1000 followed by
//   junk. Only a field too narrow for the letter gets that bare form.
// - Infinity is written "Infinity" when it fits (8 columns, 9 with the minus sign),
//   otherwise "Inf" ("-Inf"), otherwise asterisks; NaN is "NaN".
// - Blanks of nX are written only when something follows them in the same record;
//   a record ends at the first data descriptor that finds no value left, or at the
//   end of the format, so literals between the last value and that point are kept.
// - Reversion restarts at the last top-level parenthesised group, its repeat count
//   included, or at the beginning when the format has no group.
#include "core/record_format.h"

#include <charconv>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace zorvik {

namespace {

// Widths beyond this are refused: no record of the program comes near it, and the
// bound keeps every conversion inside a fixed stack buffer.
constexpr int max_width = 999;
// Bound on the expanded operation list (repeat counts multiplied out).
constexpr size_t max_ops = 200000;

enum class Op { Int, Fixed, Exp, Sci, Text, Blank, Literal, Slash, Colon };

struct Step {
  explicit Step(Op o, int width = 0, int digits = 0, std::string text = {})
      : op(o), w(width), d(digits), lit(std::move(text)) {}
  Op op;
  int w;  // field width; -1 for plain a; count of blanks for x
  int d;  // decimals (F, E, ES) or minimum digits (I, -1 when absent)
  std::string lit;
};

bool is_data(Op op) {
  return op == Op::Int || op == Op::Fixed || op == Op::Exp || op == Op::Sci || op == Op::Text;
}

class Parser {
 public:
  explicit Parser(std::string_view original) : original_(original) {
    // Blanks outside literals mean nothing; letters are case-insensitive.
    char quote = 0;
    for (char c : original) {
      if (quote) {
        text_ += c;
        if (c == quote) quote = 0;  // a doubled quote reopens at once below
      } else if (c == '\'' || c == '"') {
        quote = c;
        text_ += c;
      } else if (c != ' ' && c != '\t') {
        text_ += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
      }
    }
  }

  void parse(std::vector<Step>& steps, size_t& reversion) {
    if (peek() != '(') fail("expected '(' at the start");
    ++pos_;
    reversion = 0;
    parse_list(steps, /*top=*/true, reversion);
    if (peek() != ')') fail("expected ')'");
    ++pos_;
    if (pos_ != text_.size()) fail("text after the closing ')'");
  }

 private:
  [[noreturn]] void fail(const std::string& why) const {
    throw std::invalid_argument("Malformed record format \"" + std::string(original_) +
                                "\": " + why);
  }
  char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  static bool digit(char c) { return c >= '0' && c <= '9'; }

  int number() {
    long v = 0;
    if (!digit(peek())) fail("expected a number");
    while (digit(peek())) {
      v = v * 10 + (text_[pos_++] - '0');
      if (v > 1000000) fail("number too large");
    }
    return int(v);
  }

  void push(std::vector<Step>& steps, const Step& s) {
    if (steps.size() >= max_ops) fail("too many items once repeat counts are expanded");
    steps.push_back(s);
  }

  // Appends steps[from, end) count-1 more times.
  void repeat(std::vector<Step>& steps, size_t from, int count) {
    const size_t end = steps.size();
    if ((end - from) * size_t(count) + from > max_ops)
      fail("too many items once repeat counts are expanded");
    for (int k = 1; k < count; ++k)
      for (size_t i = from; i < end; ++i) steps.push_back(steps[i]);
  }

  void parse_list(std::vector<Step>& steps, bool top, size_t& reversion) {
    if (peek() == ')') return;  // an empty format writes an empty record
    // Items are separated by commas, which are optional around '/' and ':'.
    enum { start, after_comma, after_item, after_slash } state = start;
    while (true) {
      const char c = peek();
      if (c == ',') {
        if (state == start || state == after_comma) fail("misplaced ','");
        ++pos_;
        state = after_comma;
        continue;
      }
      if (c == ')') {
        if (state == after_comma) fail("',' before ')'");
        return;
      }
      if (c == '\0') fail("missing ')'");
      if (c == '/' || c == ':') {
        ++pos_;
        push(steps, Step{c == '/' ? Op::Slash : Op::Colon});
        state = after_slash;
        continue;
      }
      if (state == after_item) fail(std::string("expected ',' before '") + c + "'");
      parse_item(steps, top, reversion);
      state = after_item;
    }
  }

  void parse_item(std::vector<Step>& steps, bool top, size_t& reversion) {
    int count = 1;
    bool counted = false;
    if (digit(peek())) {
      count = number();
      counted = true;
    }
    const char c = peek();
    if (c == '\'' || c == '"') {
      if (counted) fail("a repeat count before a literal");
      push(steps, Step{Op::Literal, 0, 0, literal()});
      return;
    }
    if (c == 'x') {
      ++pos_;
      if (counted && count == 0) fail("0x");
      push(steps, Step{Op::Blank, count});
      return;
    }
    if (counted && count == 0) fail("a repeat count of zero");
    const size_t from = steps.size();
    if (c == '(') {
      ++pos_;
      size_t inner = 0;
      parse_list(steps, false, inner);
      if (peek() != ')') fail("missing ')'");
      ++pos_;
      if (top) reversion = from;
    } else if (c == '/') {
      ++pos_;
      push(steps, Step{Op::Slash});
    } else {
      push(steps, descriptor());
    }
    repeat(steps, from, count);
  }

  std::string literal() {
    const char quote = text_[pos_++];
    std::string s;
    while (true) {
      if (pos_ >= text_.size()) fail("unterminated literal");
      const char c = text_[pos_++];
      if (c == quote) {
        if (peek() == quote) {
          s += quote;
          ++pos_;
        } else {
          return s;
        }
      } else {
        s += c;
      }
    }
  }

  int width() {
    const int w = number();
    if (w == 0) fail("zero width");
    if (w > max_width) fail("width too large");
    return w;
  }

  int decimals() {
    if (peek() != '.') fail("expected '.' and the number of decimals");
    ++pos_;
    const int d = number();
    if (d > max_width) fail("too many decimals");
    return d;
  }

  Step descriptor() {
    const char c = peek();
    ++pos_;
    Step s(Op::Text);
    switch (c) {
      case 'a':
        s.op = Op::Text;
        s.w = digit(peek()) ? width() : -1;
        break;
      case 'i':
        s.op = Op::Int;
        s.w = width();
        s.d = -1;
        if (peek() == '.') {
          ++pos_;
          s.d = number();
          if (s.d > s.w) fail("more digits than the width in iW.M");
        }
        break;
      case 'f':
        s.op = Op::Fixed;
        s.w = width();
        s.d = decimals();
        break;
      case 'e':
        if (peek() == 's') {
          ++pos_;
          s.op = Op::Sci;
          s.w = width();
          s.d = decimals();
        } else {
          s.op = Op::Exp;
          s.w = width();
          s.d = decimals();
          // The 0.ddd form needs at least one digit.
          if (s.d == 0) fail("eW.0 has no digits");
        }
        if (peek() == 'e') fail("exponent widths (eW.DeE) are not supported");
        break;
      default:
        --pos_;
        fail(std::string("unknown edit descriptor at '") + std::string(text_.substr(pos_)) + "'");
    }
    return s;
  }

  std::string_view original_;
  std::string text_;
  size_t pos_ = 0;
};

void stars(std::string& out, int w) { out.append(size_t(w), '*'); }

void right_justify(std::string& out, int w, std::string_view body) {
  if (int(body.size()) > w) {
    stars(out, w);
    return;
  }
  out.append(size_t(w) - body.size(), ' ');
  out.append(body);
}

// Infinity and NaN as gfortran writes them under F, E and ES.
void write_infnan(std::string& out, int w, double x) {
  if (std::isnan(x)) {
    right_justify(out, w, "NaN");
  } else if (std::signbit(x)) {
    right_justify(out, w, w >= 9 ? "-Infinity" : "-Inf");
  } else {
    right_justify(out, w, w >= 8 ? "Infinity" : "Inf");
  }
}

void write_int(std::string& out, const Step& s, long long v) {
  const bool neg = v < 0;
  unsigned long long a = neg ? 0ULL - static_cast<unsigned long long>(v)
                             : static_cast<unsigned long long>(v);
  // Digits from the right; iW.M pads them with zeros to M, and iW.0 writes a
  // zero as blanks only. M <= W <= max_width bounds the buffer.
  char buf[max_width + 24];
  char* p = buf + sizeof buf;
  int n = 0;
  if (!(a == 0 && s.d == 0)) {
    do {
      *--p = char('0' + a % 10);
      a /= 10;
      ++n;
    } while (a != 0);
  }
  for (; n < s.d; ++n) *--p = '0';
  if (neg) *--p = '-';
  right_justify(out, s.w, std::string_view(p, size_t(buf + sizeof buf - p)));
}

void write_fixed(std::string& out, const Step& s, double x) {
  if (!std::isfinite(x)) {
    write_infnan(out, s.w, x);
    return;
  }
  const bool neg = std::signbit(x);
  const double a = std::fabs(x);
  const int w = s.w;
  const int d = s.d;
  // At least ".ddd" (or "0." without decimals). With w and d bounded by
  // max_width the conversion below fits the buffer even for the largest double.
  if (d + 1 + (d == 0 ? 1 : 0) + (neg ? 1 : 0) > w) {
    stars(out, w);
    return;
  }
  // Far more room than any field needs: to_chars writes every integer digit of
  // the largest double before the field is found too narrow.
  char buf[2 * max_width + 330];
  int n = int(std::to_chars(buf, buf + sizeof buf - 1, a, std::chars_format::fixed, d).ptr - buf);
  if (d == 0) buf[n++] = '.';  // "2." as the F form writes it
  const char* point = static_cast<const char*>(std::memchr(buf, '.', size_t(n)));
  const int int_len = int(point - buf);
  const bool zero_int = int_len == 1 && buf[0] == '0';
  int len = (neg ? 1 : 0) + n;
  bool drop_zero = false;
  if (len > w && zero_int && d > 0) {
    drop_zero = true;
    --len;
  }
  if (len > w) {
    stars(out, w);
    return;
  }
  out.append(size_t(w - len), ' ');
  if (neg) out += '-';
  out.append(buf + (drop_zero ? 1 : 0), size_t(n - (drop_zero ? 1 : 0)));
}

// E (0.ddd form, digits = d) and ES (d.ddd form, digits = d + 1).
void write_exponential(std::string& out, const Step& s, double x, bool scientific) {
  if (!std::isfinite(x)) {
    write_infnan(out, s.w, x);
    return;
  }
  const bool neg = std::signbit(x);
  const double a = std::fabs(x);
  const int w = s.w;
  const int d = s.d;
  const int digits = scientific ? d + 1 : d;
  // Smallest field: sign, the digits, the point, a four-character exponent.
  if ((neg ? 1 : 0) + digits + 1 + 4 > w) {
    stars(out, w);
    return;
  }
  char buf[2 * max_width + 16];
  const int n =
      int(std::to_chars(buf, buf + sizeof buf - 1, a, std::chars_format::scientific, digits - 1).ptr - buf);
  buf[n] = '\0';  // the exponent is read as a C string
  // buf: D.DDDDe±XX[X]
  const char* e = static_cast<const char*>(std::memchr(buf, 'e', size_t(n)));
  int exponent = std::atoi(e + 1);
  if (a != 0.0 && !scientific) ++exponent;  // 0.ddd form
  char mantissa[2 * max_width + 8];
  int m = 0;
  if (scientific) {
    mantissa[m++] = buf[0];
    mantissa[m++] = '.';
    for (int k = 2; k < 2 + d; ++k) mantissa[m++] = buf[k];
  } else {
    mantissa[m++] = '0';
    mantissa[m++] = '.';
    mantissa[m++] = buf[0];
    for (int k = 2; k < 2 + d - 1; ++k) mantissa[m++] = buf[k];
  }
  char exp_text[8];
  const int ae = exponent < 0 ? -exponent : exponent;
  if (ae > 999) {
    stars(out, w);
    return;
  }
  const char sign_char = exponent < 0 ? '-' : '+';
  // The letter goes with a three-digit exponent when the field holds it (with
  // the leading zero of the 0.ddd form dropped if need be).
  const int fixed = (neg ? 1 : 0) + m + 5;
  const bool letter = ae <= 99 || fixed <= w || (!scientific && fixed - 1 <= w);
  int el = 0;
  if (letter) exp_text[el++] = 'E';
  exp_text[el++] = sign_char;
  if (ae > 99) exp_text[el++] = char('0' + ae / 100);
  exp_text[el++] = char('0' + ae / 10 % 10);
  exp_text[el++] = char('0' + ae % 10);
  int len = (neg ? 1 : 0) + m + el;
  bool drop_zero = false;
  if (len > w && !scientific) {
    drop_zero = true;
    --len;
  }
  if (len > w) {
    stars(out, w);
    return;
  }
  out.append(size_t(w - len), ' ');
  if (neg) out += '-';
  out.append(mantissa + (drop_zero ? 1 : 0), size_t(m - (drop_zero ? 1 : 0)));
  out.append(exp_text, size_t(el));
}

void write_text(std::string& out, const Step& s, std::string_view t) {
  if (s.w < 0) {
    out.append(t);
  } else if (int(t.size()) >= s.w) {
    out.append(t.substr(0, size_t(s.w)));
  } else {
    out.append(size_t(s.w) - t.size(), ' ');
    out.append(t);
  }
}

const char* descriptor_name(Op op) {
  switch (op) {
    case Op::Int: return "iW";
    case Op::Fixed: return "fW.D";
    case Op::Exp: return "eW.D";
    case Op::Sci: return "esW.D";
    default: return "aW";
  }
}

const char* kind_name(FmtValue::Kind k) {
  switch (k) {
    case FmtValue::Kind::Int: return "an integer";
    case FmtValue::Kind::Real: return "a real";
    default: return "a text";
  }
}

}  // namespace

struct RecordFormat::Impl {
  std::string text;
  std::vector<Step> steps;
  size_t reversion = 0;
  bool data_after_reversion = false;

  [[noreturn]] void wrong_kind(const Step& s, const FmtValue& v, size_t item) const {
    throw std::logic_error("Record format \"" + text + "\": item " + std::to_string(item + 1) +
                           " is " + kind_name(v.kind) + " under " + descriptor_name(s.op));
  }

  void write_item(std::string& out, const Step& s, const FmtValue& v, size_t item) const {
    switch (s.op) {
      case Op::Int:
        if (v.kind != FmtValue::Kind::Int) wrong_kind(s, v, item);
        write_int(out, s, v.i);
        break;
      case Op::Fixed:
        if (v.kind != FmtValue::Kind::Real) wrong_kind(s, v, item);
        write_fixed(out, s, v.d);
        break;
      case Op::Exp:
      case Op::Sci:
        if (v.kind != FmtValue::Kind::Real) wrong_kind(s, v, item);
        write_exponential(out, s, v.d, s.op == Op::Sci);
        break;
      case Op::Text:
        if (v.kind != FmtValue::Kind::Text) wrong_kind(s, v, item);
        write_text(out, s, v.s);
        break;
      default:
        break;
    }
  }
};

RecordFormat::RecordFormat(std::string_view format) : impl_(std::make_unique<Impl>()) {
  impl_->text = std::string(format);
  Parser(format).parse(impl_->steps, impl_->reversion);
  for (size_t k = impl_->reversion; k < impl_->steps.size(); ++k)
    if (is_data(impl_->steps[k].op)) impl_->data_after_reversion = true;
}

RecordFormat::~RecordFormat() = default;
RecordFormat::RecordFormat(RecordFormat&&) noexcept = default;
RecordFormat& RecordFormat::operator=(RecordFormat&&) noexcept = default;

std::string RecordFormat::format(std::span<const FmtValue> values) const {
  const Impl& f = *impl_;
  std::string out;
  out.reserve(128);
  int pending = 0;        // blanks of x not yet written
  size_t item = 0;
  size_t k = 0;
  const size_t n = values.size();
  const size_t nsteps = f.steps.size();
  while (true) {
    if (k == nsteps) {
      if (item == n) break;
      if (!f.data_after_reversion)
        throw std::logic_error("Record format \"" + f.text + "\" has no descriptor for item " +
                               std::to_string(item + 1));
      out += '\n';
      pending = 0;
      k = f.reversion;
      continue;
    }
    const Step& s = f.steps[k];
    switch (s.op) {
      case Op::Blank:
        pending += s.w;
        break;
      case Op::Literal:
        out.append(size_t(pending), ' ');
        pending = 0;
        out += s.lit;
        break;
      case Op::Slash:
        out += '\n';
        pending = 0;
        break;
      case Op::Colon:
        if (item == n) return out;
        break;
      default:
        if (item == n) return out;
        out.append(size_t(pending), ' ');
        pending = 0;
        f.write_item(out, s, values[item], item);
        ++item;
        break;
    }
    ++k;
  }
  return out;
}

RecordFormat record_format(std::string_view format) { return RecordFormat(format); }

}  // namespace zorvik
