// Free-format records, the form of most console lines and of several files.
//
// Writing: a record starts with one blank, followed by its items; consecutive
// texts are joined without a separator, every other pair of neighbours is
// separated by one blank. Numbers are written in their shortest exact form (the
// shortest decimal string that reads back to the same binary value); a real that
// would look like an integer gets ".0". A fixed-length field is written without its
// trailing blanks.
//
// Reading: values are separated by blanks, tabs or a comma; a text with blanks is
// quoted ('…' or "…", a doubled quote stands for one); one read request takes as
// many values as it needs from as many lines as needed and ignores the rest of the
// last line it used. Null values (two commas in a row), repeat counts (3*1.0) and
// the slash that ends a read are not accepted. Reals must be finite.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <istream>
#include <memory>
#include <optional>
#include <span>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/fixed_string.h"

namespace zorvik {

struct FreeItem {
  enum class Kind { Text, Int, Real, Single };
  Kind kind;
  long long i = 0;
  double d = 0.0;
  std::string_view s;

  FreeItem(int v) : kind(Kind::Int), i(v) {}                   // NOLINT
  FreeItem(long v) : kind(Kind::Int), i(v) {}                  // NOLINT
  FreeItem(long long v) : kind(Kind::Int), i(v) {}             // NOLINT
  FreeItem(double v) : kind(Kind::Real), d(v) {}               // NOLINT
  // Single-precision values keep their own shortest form (0.1f is "0.1").
  FreeItem(float v) : kind(Kind::Single), d(v) {}              // NOLINT
  FreeItem(std::string_view v) : kind(Kind::Text), s(v) {}     // NOLINT
  FreeItem(const char* v) : kind(Kind::Text), s(v) {}          // NOLINT
  FreeItem(const std::string& v) : kind(Kind::Text), s(v) {}   // NOLINT
  template <int N>
  FreeItem(const Fixed<N>& v) : kind(Kind::Text), s(v.trimmed()) {}  // NOLINT
  template <int N>
  FreeItem(const FileName<N>& v) : kind(Kind::Text), s(v.trimmed()) {}  // NOLINT
};

// Shortest exact decimal forms.
std::string shortest(double v);
std::string shortest(float v);

std::string free_record(std::span<const FreeItem> items);
inline std::string free_record(std::initializer_list<FreeItem> items) {
  return free_record(std::span<const FreeItem>(items.begin(), items.size()));
}

template <class... A>
void write_free(std::ostream& out, const A&... items) {
  out << free_record({FreeItem(items)...}) << '\n';
}

// ---- reading -------------------------------------------------------------

// A token of a free-format line: its text (quotes removed) and whether it was quoted.
struct FreeToken {
  std::string text;
  bool quoted = false;
  bool null = false;  // an empty value between two commas
};

// Splits one line into tokens. Returns false (with a reason in *error) for an
// unterminated quote; the tokens before it are kept.
bool split_free(std::string_view line, std::vector<FreeToken>& tokens, std::string* error = nullptr);

// A token as an error message shows it: in double quotes, with the bytes that a
// terminal would not show as text escaped (see visible_text), and cut after
// kShownTokenLength characters with "..." so that a binary line cannot flood
// the message.
std::string shown_token(std::string_view text);
inline constexpr size_t kShownTokenLength = 60;

// Strict conversions of one token.
bool parse_int(std::string_view token, int& value);
bool parse_real(std::string_view token, double& value);  // accepts d/D/q/Q exponents; finite only

// One value to be read: a 32-bit integer, a double or a text (a std::string or a
// fixed-length field, which cuts a longer value).
class FreeTarget {
 public:
  enum class Kind { Int, Real, Text };
  FreeTarget(int& v) : kind_(Kind::Int), p_(&v) {}             // NOLINT
  FreeTarget(double& v) : kind_(Kind::Real), p_(&v) {}         // NOLINT
  FreeTarget(std::string& v) : kind_(Kind::Text), p_(&v), set_(&set_string) {}  // NOLINT
  template <int N>
  FreeTarget(Fixed<N>& v) : kind_(Kind::Text), p_(&v), set_(&set_fixed<N>) {}   // NOLINT
  template <int N>
  FreeTarget(FileName<N>& v) : kind_(Kind::Text), p_(&v), set_(&set_name<N>) {}  // NOLINT

  Kind kind() const { return kind_; }
  // Stores the token; false when it does not convert to the target's kind.
  bool store(const FreeToken& t) const;

 private:
  static void set_string(void* p, std::string_view s) { *static_cast<std::string*>(p) = std::string(s); }
  template <int N>
  static void set_fixed(void* p, std::string_view s) { static_cast<Fixed<N>*>(p)->assign(s); }
  template <int N>
  static void set_name(void* p, std::string_view s) { static_cast<FileName<N>*>(p)->assign(s); }
  Kind kind_;
  void* p_;
  void (*set_)(void*, std::string_view) = nullptr;
};

// Reads a text file in free format, request by request, with line numbers for the
// messages. The file is read line by line as the requests need it, never whole:
// a reader that stops at its capacity (5000 points of a long scan) reads no
// further, and a line longer than kMaxLineLength (a binary file, /dev/zero) is
// an input error instead of a growing buffer.
class FreeReader {
 public:
  // The longest line accepted, in bytes: far beyond any record of the files the
  // program reads (a parameter-file line holds at most a few hundred characters,
  // a data line a handful of numbers), small enough to bound the memory of a
  // reader given a file without line ends.
  static constexpr size_t kMaxLineLength = size_t(1) << 20;

  FreeReader(std::string name, std::string_view content);
  // Opens the file; throws InputError naming it when it cannot be opened.
  static FreeReader open(const std::string& path);
  FreeReader(FreeReader&&) noexcept;
  FreeReader& operator=(FreeReader&&) noexcept;
  ~FreeReader();

  const std::string& name() const { return name_; }
  // Number (1-based) of the last line a read used; 0 before the first read.
  int line() const { return last_line_; }

  // The raw text of the next line (without its line end), which becomes line().
  // Nothing at the end of the file.
  const std::string* next_raw_line();

  // One read request. `what` describes the record for the messages, optionally
  // followed by ": " and the comma-separated names of its values, e.g.
  // "record 1 (run line): title, interactive, plt, nfunc". Throws InputError at
  // the end of the file or on a value that does not convert.
  void read(std::string_view what, std::initializer_list<FreeTarget> targets);
  // The same, but returns false instead of throwing (the position is then undefined).
  bool try_read(std::initializer_list<FreeTarget> targets);

  // A read request taken value by value, for records whose length is given by
  // their first value (a group: its size, then its members). begin() starts the
  // request, value() takes the next value (from further lines when needed; throws
  // InputError like read()), end() drops the rest of the last line used.
  void begin();
  void value(std::string_view what, FreeTarget target);
  void end();

  // The tokens of the next line (blank lines included: they give no tokens).
  // False at the end of the file. Throws InputError for an unterminated quote.
  bool next_line(std::vector<FreeToken>& tokens);

 private:
  enum class Outcome { Ok, End, Bad };
  Outcome do_read(std::initializer_list<FreeTarget> targets, size_t& failed_index, std::string& found);
  [[noreturn]] void fail(std::string_view what, size_t failed, FreeTarget::Kind kind, bool at_end,
                         const std::string& found) const;
  std::string name_;
  std::unique_ptr<std::istream> in_;
  std::string current_;             // the text of line last_line_
  std::vector<FreeToken> pending_;  // tokens of the current line of a value-by-value request
  size_t pending_next_ = 0;
  bool pending_whole_ = true;
  std::string pending_error_;
  size_t request_index_ = 0;
  int last_line_ = 0;
};

}  // namespace zorvik
