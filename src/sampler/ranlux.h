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

// The run's generator settings: the seed of a run without --seed (the
// generator's own default), the luxury level (4: every bit decorrelated,
// M. Luescher, Comput. Phys. Commun. 79 (1994) 100), and the count of uniform
// numbers drawn at a time, so that a step costs no generator call.
inline constexpr int kRunSeed = 314159265;
inline constexpr int kRunLuxury = 4;
inline constexpr int kRandomBlock = 1000000;

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
  // Sets the ring to the 24 numbers before the next step, oldest first, with the
  // borrow of the last one; `pos` is the ring slot of the next step (24 − I24).
  void set_ring(const std::uint32_t last24[24], std::uint64_t carry, int pos);
  // Expands `jseed` into the 24 start values (James's SEEDS(1 … 24)).
  void seed_words(int jseed);
  // Moves the position n steps on without delivering anything.
  void skip(long long n);
  // Delivers n ≤ 24 − in24_ numbers of the current group.
  void deliver(float* out, int n);
  // Computes the next turn of 24 numbers, keeping the current one as the previous.
  void next_turn();

  Console& con_;

  // The recurrence runs in whole turns of 24 steps, ahead of the numbers taken.
  // buf_[24 + k] holds x_{24T+k}, the current turn T, and buf_[k] the turn before;
  // q_ numbers of the current turn have been taken (0 … 24). So the 24 numbers
  // before the next step are buf_[q_ … q_+23], the next number is buf_[24+q_] and
  // its lag-9 partner for padding buf_[15+q_]. The numbers are 24-bit integers in
  // 32-bit slots; two slots read as one 64-bit word make a two-digit step.
  alignas(64) std::uint32_t buf_[48] = {};
  std::uint64_t carry_ = 0;  // the borrow after x_{24T+23}, 0 or 1
  int q_ = 24;
  int rot_ = 0;              // James's ring slot of x_m is I = 24 − ((m + rot_) mod 24)
  int in24_ = 0;             // numbers delivered in the current group of 24
  int luxlev_ = 3;           // level 0 … 4, or a p value 24 … 2000
  int nskip_ = 199;          // numbers discarded after each group of 24
  long long kount_ = 0;      // numbers generated (delivered and discarded), below 10^9 …
  int mkount_ = 0;           // … and in units of 10^9
  int inseed_ = 0;           // the seed of the last rluxgo, −1 after rluxin
  bool initialised_ = false;
};

}  // namespace zorvik
