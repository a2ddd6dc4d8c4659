// RANLUX: Lüscher's subtract-with-borrow generator with luxury levels, in James's
// single-precision form (lags 24 and 10, 24-bit arithmetic, outputs strictly
// between 0 and 1).
//   M. Lüscher, Comput. Phys. Commun. 79 (1994) 100;
//   F. James, Comput. Phys. Commun. 79 (1994) 111.
// The whole state lives in this object (the caller owns it).
#pragma once

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
  Console& con_;
  // (the generator's state: seeds, lag pointers, carry, luxury level, counters)
};

}  // namespace zorvik
