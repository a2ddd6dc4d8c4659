// RANLUX (Lüscher 1994) in James's single-precision form (James 1994).
//
// The recurrence is Marsaglia and Zaman's subtract-with-borrow with base b = 2^24
// and lags r = 24, s = 10:
//     δ = x_{m−10} − x_{m−24} − c_{m−1},   x_m = δ mod 2^24,   c_m = [δ < 0].
// James keeps the x as single-precision reals x·2^−24; every operation of his loop
// is exact on such numbers, so 24-bit integer arithmetic gives the same bits.
// After every 24 numbers delivered the luxury level throws away the next p − 24
// (Lüscher's decimation): p = 24, 48, 97, 223, 389 for levels 0 … 4.
// Output: x·2^−24; when x < 2^12 the value is padded with the bits of the next lag
// number, x_{m−9}·2^−48, so that small numbers keep about 24 significant bits, and
// an exact 0 becomes 2^−48 (so that a caller may take a logarithm).
//
// Speed. Level 4 runs the recurrence 389 times for 24 numbers, so the recurrence is
// the whole cost. Two consecutive steps are done as one 64-bit subtraction: the
// ring holds the digits in 32-bit slots, two neighbouring slots read as one 64-bit
// word (low slot first), and the borrow of the low digit runs through the eight
// empty bits into the high digit exactly as the recurrence passes c_m on to step
// m + 1. Whole turns of the ring keep all twelve words in registers; turns entered
// part-way use the same two-digit step on the ring in memory.
// Held to published values by tests/sampler/ranlux_test.cpp (bit patterns of an
// independent implementation, tests/data/ranlux_reference.txt).
#include "sampler/ranlux.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <x86intrin.h>
#define ZORVIK_RANLUX_SUBBORROW 1
#endif

namespace zorvik {
namespace {

static_assert(std::endian::native == std::endian::little,
              "the two-digit words read the low slot as the low half");

constexpr int kMaxLevel = 4;
constexpr int kDefaultLevel = 3;
constexpr int kDefaultSeed = 314159265;
constexpr int kSkip[kMaxLevel + 1] = {0, 24, 73, 199, 365};  // p − 24 per level
constexpr long long kGiga = 1000000000;

constexpr std::uint32_t kMask24 = 0xFFFFFFu;
constexpr std::uint64_t kPairMask = 0x00FFFFFF00FFFFFFull;
// 2^−24 and 2^−48 are exact in single precision.
constexpr float kTwom24 = 0x1p-24f;
constexpr float kTwom48 = 0x1p-48f;
constexpr std::uint32_t kTwo12 = 4096;  // outputs below 2^−12 are padded

// One step at slot k whose lag-10 partner is slot j.
inline void step_one(std::uint32_t* x, int k, int j, std::uint64_t& c) {
  const std::uint32_t d = x[j] - x[k] - static_cast<std::uint32_t>(c);
  c = d >> 31;  // |δ| ≤ 2^24, so the sign bit is the borrow
  x[k] = d & kMask24;
}

// Two steps on a word holding two digits (low slot in the low half): a − b − c with
// the borrow passing between the halves; returns the two new digits and leaves the
// borrow of the high digit in c.
#ifdef ZORVIK_RANLUX_SUBBORROW
inline std::uint64_t swb_pair(std::uint64_t a, std::uint64_t b, std::uint64_t& c) {
  unsigned long long d;
  c = _subborrow_u64(static_cast<unsigned char>(c), a, b, &d);
  return d & kPairMask;
}
#else
inline std::uint64_t swb_pair(std::uint64_t a, std::uint64_t b, std::uint64_t& c) {
  const std::uint64_t d = a - b - c;  // both words are below 2^56
  c = d >> 63;
  return d & kPairMask;
}
#endif

inline std::uint64_t load_pair(const std::uint32_t* p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}
inline void store_pair(std::uint32_t* p, std::uint64_t w) { std::memcpy(p, &w, sizeof w); }

inline void step_pair(std::uint32_t* x, int k, int j, std::uint64_t& c) {
  store_pair(x + k, swb_pair(load_pair(x + j), load_pair(x + k), c));
}

// Steps slots from … to−1, all in one lag segment (0 … 9, whose partners are
// 14 … 23 from the previous turn, or 10 … 23, whose partners are 0 … 13 of this
// turn). Pairs start at even slots so that each word read is one written whole.
void step_span(std::uint32_t* x, int from, int to, std::uint64_t& c) {
  const int lag = from < 10 ? 14 : -10;
  int k = from;
  if ((k & 1) != 0 && k < to) {
    step_one(x, k, k + lag, c);
    ++k;
  }
  for (; k + 1 < to; k += 2) step_pair(x, k, k + lag, c);
  if (k < to) step_one(x, k, k + lag, c);
}

// `turns` whole turns of the ring (24 steps each) from slot 0, with the twelve
// words in registers. Word w_i holds slots 2i and 2i+1; the partners of words
// 0 … 4 are words 7 … 11 of the previous turn, those of words 5 … 11 are words
// 0 … 6 of this turn.
void whole_turns(std::uint32_t* x, long long turns, std::uint64_t& carry) {
  std::uint64_t w0 = load_pair(x + 0), w1 = load_pair(x + 2), w2 = load_pair(x + 4),
                w3 = load_pair(x + 6), w4 = load_pair(x + 8), w5 = load_pair(x + 10),
                w6 = load_pair(x + 12), w7 = load_pair(x + 14), w8 = load_pair(x + 16),
                w9 = load_pair(x + 18), w10 = load_pair(x + 20), w11 = load_pair(x + 22);
  std::uint64_t c = carry;
  for (long long t = 0; t < turns; ++t) {
    w0 = swb_pair(w7, w0, c);
    w1 = swb_pair(w8, w1, c);
    w2 = swb_pair(w9, w2, c);
    w3 = swb_pair(w10, w3, c);
    w4 = swb_pair(w11, w4, c);
    w5 = swb_pair(w0, w5, c);
    w6 = swb_pair(w1, w6, c);
    w7 = swb_pair(w2, w7, c);
    w8 = swb_pair(w3, w8, c);
    w9 = swb_pair(w4, w9, c);
    w10 = swb_pair(w5, w10, c);
    w11 = swb_pair(w6, w11, c);
  }
  store_pair(x + 0, w0);
  store_pair(x + 2, w1);
  store_pair(x + 4, w2);
  store_pair(x + 6, w3);
  store_pair(x + 8, w4);
  store_pair(x + 10, w5);
  store_pair(x + 12, w6);
  store_pair(x + 14, w7);
  store_pair(x + 16, w8);
  store_pair(x + 18, w9);
  store_pair(x + 20, w10);
  store_pair(x + 22, w11);
  carry = c;
}

}  // namespace

Ranlux::Ranlux(Console& con) : con_(con) {}

// James's seeding: Park and Miller's multiplicative congruential generator in
// L'Ecuyer's constants (a = 40014, m = 2147483563), evaluated with Schrage's
// decomposition m = a·53668 + 12211 so that no product leaves 32 bits; each value
// gives one start digit, its low 24 bits. SEEDS(1 … 24) receive them in order.
void Ranlux::seed_words(int jseed) {
  long long js = jseed;
  for (int i = 1; i <= 24; ++i) {
    const long long k = js / 53668;
    js = 40014 * (js - k * 53668) - k * 12211;
    if (js < 0) js += 2147483563;
    x_[24 - i] = static_cast<std::uint32_t>(js % (1 << 24));
  }
  pos_ = 0;
  carry_ = x_[0] == 0 ? 1 : 0;  // James: a zero SEEDS(24) starts with a borrow
}

void Ranlux::rluxgo(int lux, int ins, int k1, int k2) {
  if (lux < 0) {
    luxlev_ = kDefaultLevel;
  } else if (lux <= kMaxLevel) {
    luxlev_ = lux;
  } else if (lux < 24 || lux > 2000) {
    luxlev_ = kMaxLevel;
    con_.record("(a,i7)", " RANLUX ILLEGAL LUXURY RLUXGO: ", lux);
  } else {
    // A p value: the five standard ones are named by their level.
    luxlev_ = lux;
    for (int l = 0; l <= kMaxLevel; ++l)
      if (lux == kSkip[l] + 24) luxlev_ = l;
  }
  nskip_ = luxlev_ <= kMaxLevel ? kSkip[luxlev_] : luxlev_ - 24;
  in24_ = 0;
  if (ins < 0) con_.record("(a)", " Illegal initialization by RLUXGO, negative input seed");
  const int jseed = ins > 0 ? ins : kDefaultSeed;
  inseed_ = jseed;
  initialised_ = true;
  seed_words(jseed);

  // Restart at a break point: skip k1 + 10^9·k2 numbers, the count that rluxat
  // reports (numbers delivered plus numbers discarded). Negative counts skip nothing.
  const long long kk1 = std::max(k1, 0), kk2 = std::max(k2, 0);
  kount_ = kk1;
  mkount_ = static_cast<int>(kk2);
  if (kk1 + kk2 == 0) return;
  advance(kk1 + kk2 * kGiga);
  // The place in the group of 24 follows from the count; a count that would fall
  // among the discarded numbers cannot have been reported by rluxat.
  const long long p = nskip_ + 24;
  long long in24 = kk1 % p;
  if (kk2 > 0) in24 = (kk2 * (kGiga % p) + in24) % p;
  in24_ = static_cast<int>(in24);
  if (in24_ > 23) {
    con_.record("(a)", "  Error in RESTARTING with RLUXGO:");
    con_.record("(a,3i11,a,i5)", "  The values", ins, k1, k2, " cannot occur at luxury level",
                luxlev_);
    in24_ = 0;
  }
}

int Ranlux::walk_segment(long long n) {
  const int end = pos_ < 10 ? 10 : 24;
  const int len = static_cast<int>(std::min<long long>(n, end - pos_));
  step_span(x_, pos_, pos_ + len, carry_);
  pos_ += len;
  if (pos_ == 24) pos_ = 0;
  return len;
}

void Ranlux::advance(long long n) {
  while (n > 0 && pos_ != 0) n -= walk_segment(n);
  if (n >= 24) {
    whole_turns(x_, n / 24, carry_);
    n %= 24;
  }
  while (n > 0) n -= walk_segment(n);
}

void Ranlux::deliver(float* out, int n) {
  while (n > 0) {
    const int k0 = pos_;
    // At most 14 steps: the lag-9 digit read for padding below is rewritten only
    // 24 steps after it was made, so it is still in the ring.
    const int len = walk_segment(n);
    for (int i = 0; i < len; ++i) {
      const int k = k0 + i;
      const std::uint32_t v = x_[k];
      float r = static_cast<float>(v) * kTwom24;
      if (v < kTwo12) {
        // Pad with x_{m−9} (James: the new SEEDS(J24)); one rounding to single.
        r += static_cast<float>(x_[k + 15 < 24 ? k + 15 : k - 9]) * kTwom48;
        if (r == 0.0f) r = kTwom48;
      }
      out[i] = r;
    }
    out += len;
    n -= len;
  }
}

void Ranlux::ranlux(float* rvec, int n) {
  // Not yet initialised: the default level and seed, without a message.
  if (!initialised_) rluxgo(kDefaultLevel, kDefaultSeed, 0, 0);
  for (int left = n; left > 0;) {
    const int take = std::min(left, 24 - in24_);
    deliver(rvec, take);
    rvec += take;
    left -= take;
    in24_ += take;
    if (in24_ == 24) {
      in24_ = 0;
      kount_ += nskip_;
      advance(nskip_);
    }
  }
  if (n > 0) kount_ += n;
  while (kount_ >= kGiga) {
    ++mkount_;
    kount_ -= kGiga;
  }
}

void Ranlux::rluxut(int isdext[25]) const {
  for (int i = 0; i < 24; ++i) isdext[i] = static_cast<int>(x_[23 - i]);  // SEEDS(i+1)
  const int i24 = 24 - pos_;
  const int j24 = (i24 + 9) % 24 + 1;  // always 14 slots behind I24
  isdext[24] = i24 + 100 * j24 + 10000 * in24_ + 1000000 * luxlev_;
  if (carry_ != 0) isdext[24] = -isdext[24];
}

void Ranlux::rluxin(const int isdext[25]) {
  // Digits are taken modulo 2^24 and positions modulo 24; every state written by
  // rluxut is already in range. J24 is not read: it is always I24 − 14 (mod 24).
  for (int i = 0; i < 24; ++i) x_[23 - i] = static_cast<std::uint32_t>(isdext[i]) & kMask24;
  carry_ = isdext[24] < 0 ? 1 : 0;
  long long isd = std::llabs(static_cast<long long>(isdext[24]));
  const int i24 = static_cast<int>(isd % 100);
  isd /= 10000;
  in24_ = static_cast<int>(isd % 100) % 24;
  isd /= 100;
  luxlev_ = static_cast<int>(isd);
  if (luxlev_ <= kMaxLevel) {
    nskip_ = kSkip[luxlev_];
  } else if (luxlev_ >= 24) {
    nskip_ = luxlev_ - 24;
  } else {
    nskip_ = kSkip[kMaxLevel];
    con_.record("(a,i5)", " RANLUX ILLEGAL LUXURY RLUXIN: ", luxlev_);
    luxlev_ = kMaxLevel;
  }
  pos_ = (24 - i24 % 24) % 24;
  inseed_ = -1;
  // A restored state is a full initialisation: a later ranlux must not reseed.
  initialised_ = true;
}

void Ranlux::rluxat(int& lout, int& inout, int& k1, int& k2) const {
  lout = luxlev_;
  inout = inseed_;
  k1 = static_cast<int>(kount_);
  k2 = mkount_;
}

}  // namespace zorvik
