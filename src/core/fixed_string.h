// Fixed-length, blank-padded character field: the form in which the system keeps,
// compares and writes its names (a file name of 40 characters, a step kind of 3).
// A longer value is cut to the field; comparisons ignore trailing blanks.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace zorvik {

template <int N>
class Fixed {
  static_assert(N > 0);

 public:
  static constexpr int length = N;

  Fixed() { chars_.fill(' '); }
  Fixed(std::string_view s) { assign(s); }  // NOLINT: implicit, like a character assignment
  Fixed(const char* s) { assign(s); }       // NOLINT

  void assign(std::string_view s) {
    chars_.fill(' ');
    const size_t n = s.size() < size_t(N) ? s.size() : size_t(N);
    for (size_t k = 0; k < n; ++k) chars_[k] = s[k];
  }
  Fixed& operator=(std::string_view s) {
    assign(s);
    return *this;
  }
  Fixed& operator=(const char* s) {
    assign(s);
    return *this;
  }

  // The whole field, trailing blanks included.
  std::string_view padded() const { return std::string_view(chars_.data(), N); }
  // The value without trailing blanks.
  std::string_view trimmed() const {
    size_t n = N;
    while (n > 0 && chars_[n - 1] == ' ') --n;
    return std::string_view(chars_.data(), n);
  }
  std::string str() const { return std::string(trimmed()); }
  bool blank() const { return trimmed().empty(); }
  char operator[](int k) const { return chars_[k]; }  // 0-based character
  // The first n characters (blank-padded when the field is shorter than n).
  std::string first(int n) const {
    std::string s(padded().substr(0, n < N ? n : N));
    s.resize(n, ' ');
    return s;
  }

  friend bool operator==(const Fixed& a, std::string_view b) { return a.trimmed() == rtrim(b); }
  template <int M>
  friend bool operator==(const Fixed& a, const Fixed<M>& b) { return a.trimmed() == b.trimmed(); }

 private:
  static std::string_view rtrim(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
  }
  std::array<char, N> chars_;
};

// A file name in a field of N characters: blank-padded to N where the system
// compares or writes the field, like Fixed<N>, but a longer name is kept whole.
// A name cut to its field would name another file (two result files merging
// into one) or none (an absolute path), so no file name is ever cut.
template <int N>
class FileName {
  static_assert(N > 0);

 public:
  static constexpr int length = N;

  FileName() : chars_(N, ' ') {}
  FileName(std::string_view s) { assign(s); }  // NOLINT: implicit, like a character assignment
  FileName(const char* s) { assign(s); }       // NOLINT

  void assign(std::string_view s) {
    chars_.assign(s);
    if (chars_.size() < size_t(N)) chars_.resize(N, ' ');
  }
  FileName& operator=(std::string_view s) {
    assign(s);
    return *this;
  }
  FileName& operator=(const char* s) {
    assign(s);
    return *this;
  }

  // The field: N characters, or the whole name when it is longer.
  std::string_view padded() const { return chars_; }
  std::string_view trimmed() const {
    size_t n = chars_.size();
    while (n > 0 && chars_[n - 1] == ' ') --n;
    return std::string_view(chars_.data(), n);
  }
  std::string str() const { return std::string(trimmed()); }
  bool blank() const { return trimmed().empty(); }
  char operator[](int k) const { return chars_[static_cast<size_t>(k)]; }  // 0-based, k < N
  std::string first(int n) const {
    std::string s = chars_.substr(0, static_cast<size_t>(n));
    s.resize(static_cast<size_t>(n), ' ');
    return s;
  }

  friend bool operator==(const FileName& a, std::string_view b) {
    while (!b.empty() && b.back() == ' ') b.remove_suffix(1);
    return a.trimmed() == b;
  }

 private:
  std::string chars_;
};

}  // namespace zorvik
