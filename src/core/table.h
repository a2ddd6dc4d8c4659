// Fixed-capacity tables indexed over the system's own ranges (1 … 100, 0 … 20,
// −5000 … 5000), so that formulas read like their definitions. Every element
// access through operator() checks the index and stops with the index-range
// message; hot loops validate their ranges once and then use row pointers.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <string>

#include "core/errors.h"

namespace zorvik {

// Throws IndexRangeError: "Index out of range: table mi, dimension 2, bounds
// -5000 … 5000, index 5001".
[[noreturn]] void index_range_error(const char* table, int dimension, long lo, long hi, long index);

// Checks one index of a named table (for counts validated where they are read).
inline void check_index(const char* table, int dimension, long lo, long hi, long index) {
  if (index < lo || index > hi) index_range_error(table, dimension, lo, hi, index);
}

// The same for an index that was read from a file: the message also names the
// file and the line it came from (line 0: the file only), "Index out of range
// in file "p.par", line 7: table par, dimension 1, bounds 1 to 100, index 101".
[[noreturn]] void index_range_error_at(const std::string& file, int line, const char* table, int dimension, long lo,
                                       long hi, long index);
inline void check_index_at(const std::string& file, int line, const char* table, int dimension, long lo, long hi,
                           long index) {
  if (index < lo || index > hi) index_range_error_at(file, line, table, dimension, lo, hi, index);
}

// Unused elements in front of a table whose first index Lo is positive, so that
// the pointer p with p[i] the element i (which lies Lo elements before the first
// element) is still inside the storage: Lo rounded up to a whole 64-byte line,
// which keeps every element on the alignment it would have without them.
template <class T, int Lo>
inline constexpr size_t kLeadOf = [] {
  constexpr size_t line = 64 % sizeof(T) == 0 ? 64 / sizeof(T) : 1;
  return Lo > 0 ? (static_cast<size_t>(Lo) + line - 1) / line * line : size_t{0};
}();

template <class T, int Lo, int Hi>
class Table {
  static_assert(Hi >= Lo);

 public:
  static constexpr int lo = Lo;
  static constexpr int hi = Hi;
  static constexpr int size = Hi - Lo + 1;

  explicit Table(const char* name, const T& init = T{}) : name_(name) { fill(init); }

  T& operator()(int i) {
    check(i);
    return data_[at(i)];
  }
  const T& operator()(int i) const {
    check(i);
    return data_[at(i)];
  }
  void fill(const T& v) { data_.fill(v); }
  // Pointer p such that p[i] is element i, for loops over a validated range.
  T* base() { return data_.data() + kLeadOf<T, Lo> - Lo; }
  const T* base() const { return data_.data() + kLeadOf<T, Lo> - Lo; }
  const char* name() const { return name_; }

 private:
  static constexpr size_t at(int i) { return kLeadOf<T, Lo> + static_cast<size_t>(i - Lo); }
  void check(int i) const {
    if (i < Lo || i > Hi) index_range_error(name_, 1, Lo, Hi, i);
  }
  const char* name_;
  std::array<T, kLeadOf<T, Lo> + size> data_;
};

// Two-dimensional table; the second index is contiguous (a data set's points lie
// side by side). Storage is on the heap because several of these are megabytes.
template <class T, int Lo1, int Hi1, int Lo2, int Hi2>
class Table2 {
  static_assert(Hi1 >= Lo1 && Hi2 >= Lo2);
  // Rows are stored side by side, cols elements each. A row pointer p with p[j]
  // the element (i, j) lies Lo2 elements before the row's first element; the
  // storage begins with kLeadOf unused elements, so that the pointer of the first
  // row is still inside it.
  static constexpr size_t kLead = kLeadOf<T, Lo2>;
  static constexpr size_t kStored = kLead + static_cast<size_t>(Hi1 - Lo1 + 1) * static_cast<size_t>(Hi2 - Lo2 + 1);

 public:
  static constexpr int rows = Hi1 - Lo1 + 1;
  static constexpr int cols = Hi2 - Lo2 + 1;

  explicit Table2(const char* name, const T& init = T{})
      : name_(name), data_(std::make_unique<T[]>(kStored)) {
    fill(init);
  }
  Table2(const Table2& o) : name_(o.name_), data_(std::make_unique<T[]>(kStored)) {
    std::copy(o.data_.get(), o.data_.get() + kStored, data_.get());
  }
  Table2& operator=(const Table2& o) {
    if (this != &o) std::copy(o.data_.get(), o.data_.get() + kStored, data_.get());
    return *this;
  }

  T& operator()(int i, int j) {
    check(i, j);
    return data_[offset(i, j)];
  }
  const T& operator()(int i, int j) const {
    check(i, j);
    return data_[offset(i, j)];
  }
  // Row pointer p with p[j] the element (i, j), for loops over a validated range.
  T* row(int i) {
    check_row(i);
    return data_.get() + offset(i, Lo2) - Lo2;
  }
  const T* row(int i) const {
    check_row(i);
    return data_.get() + offset(i, Lo2) - Lo2;
  }
  void fill(const T& v) { std::fill(data_.get(), data_.get() + kStored, v); }
  void fill_row(int i, const T& v) {
    T* r = row(i);
    for (int j = Lo2; j <= Hi2; ++j) r[j] = v;
  }
  const char* name() const { return name_; }

 private:
  static size_t offset(int i, int j) {
    return kLead + static_cast<size_t>(i - Lo1) * cols + static_cast<size_t>(j - Lo2);
  }
  void check_row(int i) const {
    if (i < Lo1 || i > Hi1) index_range_error(name_, 1, Lo1, Hi1, i);
  }
  void check(int i, int j) const {
    check_row(i);
    if (j < Lo2 || j > Hi2) index_range_error(name_, 2, Lo2, Hi2, j);
  }
  const char* name_;
  std::unique_ptr<T[]> data_;
};

}  // namespace zorvik
