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

}  // namespace zorvik
