// RANLUX: Lüscher's subtract-with-borrow generator with luxury levels, in James's
// single-precision form (lags 24 and 10, 24-bit arithmetic, outputs strictly
// between 0 and 1).
//   M. Lüscher, Comput. Phys. Commun. 79 (1994) 100;
//   F. James, Comput. Phys. Commun. 79 (1994) 111.
// The whole state lives in this object (the caller owns it).
#pragma once

#include <cstdint>

#include "core/console.h"

namespace zorvik {

class Ranlux {
 public:
  // Messages about illegal arguments go to `con`.
  explicit Ranlux(Console& con);

  // Initialises: lux < 0 level 3, 0 … 4 that level, 24 … 2000 a p value; seed ≤ 0
  // the default 314159265; k1 + k2·10^9 numbers are skipped after seeding.
  void rluxgo(int lux, int seed, int k1, int k2);
  // Fills rvec[0 … n-1] with consecutive numbers (initialising at the default
  // level and seed when nothing was initialised yet).
  void ranlux(float* rvec, int n);
  // Exports / imports the state as 25 integers (24 seeds and one packed word).
  void rluxut(int isdext[25]) const;
  void rluxin(const int isdext[25]);
  // The luxury level, the seed and the count of numbers delivered.
  void rluxat(int& lout, int& inout, int& k1, int& k2) const;

 private:
  // Expands `jseed` into the 24 start values and resets the lag pointers and carry.
  void seed_words(int jseed);
  // Runs the recurrence `n` times without delivering anything.
  void advance(long long n);
  // Runs the recurrence from slot pos_ to the end of its lag segment (at most `n`
  // steps); returns the number of steps taken.
  int walk_segment(long long n);
  // Delivers n ≤ 24 − in24_ numbers of the current group.
  void deliver(float* out, int n);

  Console& con_;

  // The ring of the last 24 numbers, as 24-bit integers: the number x_m of step m
  // lives in slot m mod 24, so slot pos_ holds x_{m−24} (read, then overwritten,
  // by the next step) and slot pos_ − 10 (mod 24) holds x_{m−10}. In James's
  // Fortran arrays, x_[k] is SEEDS(24 − k) · 2^24 and pos_ = 24 − I24.
  // Aligned so that the two-digit words of the inner loops never cross a line.
  alignas(64) std::uint32_t x_[24] = {};
  std::uint64_t carry_ = 0;  // the borrow of the last step, 0 or 1
  int pos_ = 0;              // slot written by the next step
  int in24_ = 0;             // numbers delivered in the current group of 24
  int luxlev_ = 3;           // level 0 … 4, or a p value 24 … 2000
  int nskip_ = 199;          // numbers discarded after each group of 24
  long long kount_ = 0;      // numbers generated (delivered and discarded), below 10^9 …
  int mkount_ = 0;           // … and in units of 10^9
  int inseed_ = 0;           // the seed of the last rluxgo, −1 after rluxin
  bool initialised_ = false;
};

}  // namespace zorvik
