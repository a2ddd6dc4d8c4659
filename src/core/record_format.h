// Fixed-column records written from edit-descriptor strings such as
// "(a20,1x,a4,1x,i4,1x,a20,2es15.4,i5,2x,a30)".
//
// Descriptors: aN and a (text, a shorter value right-justified after blanks, a
// longer one cut to its first N characters, plain a the whole text), iN (integer
// right-justified), fW.D (fixed point), eW.D (0.ddd…E+ee), esW.D / ESW.D
// (d.ddd…E+ee), nx and x (blanks), 'text' and "text" literals, a repeat count in
// front of a descriptor or of a parenthesised group. Upper and lower case are the
// same. A number too wide for its field is written as a field of asterisks; an
// exponent beyond two digits drops the letter E (0.1234+100).
//
// A record ends at its last value: after the last item, literals and blanks that
// stand before the next data descriptor are still written, nothing after it; blanks
// (x) are written only when something follows them. When items remain after the
// last descriptor, a new line begins and the format starts again at its last
// top-level parenthesised group (or at its beginning when it has none), as for
// "(10i4)" with more than ten values.
#pragma once

#include <initializer_list>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/fixed_string.h"

namespace zorvik {

// One item of a record: an integer, a real or a text.
struct FmtValue {
  enum class Kind { Int, Real, Text };
  Kind kind;
  long long i = 0;
  double d = 0.0;
  std::string_view s;

  FmtValue(int v) : kind(Kind::Int), i(v) {}                 // NOLINT
  FmtValue(long v) : kind(Kind::Int), i(v) {}                // NOLINT
  FmtValue(long long v) : kind(Kind::Int), i(v) {}           // NOLINT
  FmtValue(double v) : kind(Kind::Real), d(v) {}             // NOLINT
  FmtValue(float v) : kind(Kind::Real), d(v) {}              // NOLINT
  FmtValue(std::string_view v) : kind(Kind::Text), s(v) {}   // NOLINT
  FmtValue(const char* v) : kind(Kind::Text), s(v) {}        // NOLINT
  FmtValue(const std::string& v) : kind(Kind::Text), s(v) {} // NOLINT
  // A fixed-length field is written whole, trailing blanks included.
  template <int N>
  FmtValue(const Fixed<N>& v) : kind(Kind::Text), s(v.padded()) {}  // NOLINT
  template <int N>
  FmtValue(const FileName<N>& v) : kind(Kind::Text), s(v.padded()) {}  // NOLINT
};

// A parsed format. Parsing throws std::invalid_argument for a malformed string;
// formatting an item with a descriptor of the wrong kind (an integer under fW.D, a
// text under iN) throws std::logic_error, since it is a fault of the caller.
class RecordFormat {
 public:
  explicit RecordFormat(std::string_view format);
  ~RecordFormat();
  RecordFormat(RecordFormat&&) noexcept;
  RecordFormat& operator=(RecordFormat&&) noexcept;

  // The record's lines joined by '\n', without a final newline.
  std::string format(std::span<const FmtValue> values) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The parsed form of a format string. Parsing costs far less than the write
// that follows it; a writer that formats many records with one format (the
// chain records, the curves of a result file) parses it once and keeps the
// object, so no format is cached behind the caller's back.
RecordFormat record_format(std::string_view format);

inline std::string format_record(std::string_view format, std::initializer_list<FmtValue> values) {
  return record_format(format).format(std::span<const FmtValue>(values.begin(), values.size()));
}

// Records of one fixed format built item by item into one reused buffer (a
// writer of many records of a run allocates nothing per record once the
// buffer has grown): clear(), add() the items, write() the line.
class RecordLine {
 public:
  explicit RecordLine(const char* format) : format_(record_format(format)) { items_.reserve(256); }
  RecordLine& clear() {
    items_.clear();
    return *this;
  }
  RecordLine& add(const FmtValue& v) {
    items_.push_back(v);
    return *this;
  }
  void write(std::ostream& out) const {
    out << format_.format(std::span<const FmtValue>(items_.data(), items_.size())) << '\n';
  }

 private:
  RecordFormat format_;
  std::vector<FmtValue> items_;
};

// Writes the record and a newline.
template <class... A>
void write_record(std::ostream& out, std::string_view format, const A&... values) {
  const FmtValue items[] = {FmtValue(values)..., FmtValue(0)};
  out << record_format(format).format(std::span<const FmtValue>(items, sizeof...(A))) << '\n';
}

}  // namespace zorvik
