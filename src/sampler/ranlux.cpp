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
// numbers sit in 32-bit slots, two neighbouring slots read as one word (low slot
// first), and the borrow of the low digit runs through the eight empty bits into
// the high digit exactly as the recurrence passes c_m on to step m + 1. The
// recurrence always advances by whole turns of 24 steps (twelve words, held in
// registers), ahead of the numbers taken; the last two turns are kept so that the
// numbers delivered, their padding and the state at any position can be read back.
// The tests hold it to the bit patterns of an independent implementation.
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
constexpr int kSkip[kMaxLevel + 1] = {0, 24, 73, 199, 365};  // p − 24 per level
constexpr long long kGiga = 1000000000;

constexpr std::uint32_t kMask24 = 0xFFFFFFu;
constexpr std::uint64_t kPairMask = 0x00FFFFFF00FFFFFFull;
// 2^−24 and 2^−48 are exact in single precision.
constexpr float kTwom24 = 0x1p-24f;
constexpr float kTwom48 = 0x1p-48f;
constexpr std::uint32_t kTwo12 = 4096;  // outputs below 2^−12 are padded

// a − b − c on two digits at once; returns the difference with the two digits not
// yet reduced (bits 24 … 31 and 56 … 63 hold the borrows) and leaves the borrow of
// the high digit in c. Both words are below 2^56.
#ifdef ZORVIK_RANLUX_SUBBORROW
inline std::uint64_t sub_pair(std::uint64_t a, std::uint64_t b, unsigned char& c) {
  unsigned long long d;
  c = _subborrow_u64(c, a, b, &d);
  return d;
}
#else
inline std::uint64_t sub_pair(std::uint64_t a, std::uint64_t b, unsigned char& c) {
  const std::uint64_t d = a - b - c;
  c = static_cast<unsigned char>(d >> 63);
  return d;
}
#endif

inline std::uint64_t load_pair(const std::uint32_t* p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}
inline void store_pair(std::uint32_t* p, std::uint64_t w) { std::memcpy(p, &w, sizeof w); }

// `turns` whole turns from the turn held in x[0 … 23], which they replace. With
// w_i = (x_{2i}, x_{2i+1}), the new words 0 … 4 take their lag-10 partners from
// words 7 … 11 of the old turn, words 5 … 9 from the new words 0 … 4, and words 10,
// 11 from the new words 5, 6. Within each of these three runs the subtractions
// follow one another with nothing in between, so the borrow can stay in the
// processor's carry flag; the digits are reduced after each run.
void whole_turns(std::uint32_t* x, long long turns, std::uint64_t& carry) {
  std::uint64_t w0 = load_pair(x + 0), w1 = load_pair(x + 2), w2 = load_pair(x + 4),
                w3 = load_pair(x + 6), w4 = load_pair(x + 8), w5 = load_pair(x + 10),
                w6 = load_pair(x + 12), w7 = load_pair(x + 14), w8 = load_pair(x + 16),
                w9 = load_pair(x + 18), w10 = load_pair(x + 20), w11 = load_pair(x + 22);
  unsigned char c = static_cast<unsigned char>(carry);
  for (long long t = 0; t < turns; ++t) {
    w0 = sub_pair(w7, w0, c);
    w1 = sub_pair(w8, w1, c);
    w2 = sub_pair(w9, w2, c);
    w3 = sub_pair(w10, w3, c);
    w4 = sub_pair(w11, w4, c);
    w0 &= kPairMask;
    w1 &= kPairMask;
    w2 &= kPairMask;
    w3 &= kPairMask;
    w4 &= kPairMask;
    w5 = sub_pair(w0, w5, c);
    w6 = sub_pair(w1, w6, c);
    w7 = sub_pair(w2, w7, c);
    w8 = sub_pair(w3, w8, c);
    w9 = sub_pair(w4, w9, c);
    w5 &= kPairMask;
    w6 &= kPairMask;
    w7 &= kPairMask;
    w8 &= kPairMask;
    w9 &= kPairMask;
    w10 = sub_pair(w5, w10, c);
    w11 = sub_pair(w6, w11, c);
    w10 &= kPairMask;
    w11 &= kPairMask;
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

void Ranlux::set_ring(const std::uint32_t last24[24], std::uint64_t carry, int pos) {
  std::memcpy(buf_ + 24, last24, 24 * sizeof(std::uint32_t));
  carry_ = carry;
  q_ = 24;
  rot_ = pos;
}

// James's seeding: the multiplicative congruential generator with L'Ecuyer's
// constants (a = 40014, m = 2147483563), evaluated with Schrage's decomposition
// m = a·53668 + 12211 so that no product leaves 32 bits; each value gives one start
// number, its low 24 bits, for SEEDS(1), SEEDS(2), … The first step writes SEEDS(24)
// (I24 = 24), so SEEDS(24) is the oldest number and SEEDS(1) the newest.
void Ranlux::seed_words(int jseed) {
  std::uint32_t last24[24];
  long long js = jseed;
  for (int i = 1; i <= 24; ++i) {
    const long long k = js / 53668;
    js = 40014 * (js - k * 53668) - k * 12211;
    if (js < 0) js += 2147483563;
    last24[24 - i] = static_cast<std::uint32_t>(js % (1 << 24));
  }
  // James: a zero SEEDS(24) starts with a borrow.
  set_ring(last24, last24[0] == 0 ? 1 : 0, 0);
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
  const int jseed = ins > 0 ? ins : kRunSeed;
  inseed_ = jseed;
  initialised_ = true;
  seed_words(jseed);

  // Restart at a break point: skip k1 + 10^9·k2 numbers, the count that rluxat
  // reports (numbers delivered plus numbers discarded). Negative counts skip nothing.
  const long long kk1 = std::max(k1, 0), kk2 = std::max(k2, 0);
  kount_ = kk1;
  mkount_ = static_cast<int>(kk2);
  if (kk1 + kk2 == 0) return;
  skip(kk1 + kk2 * kGiga);
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

void Ranlux::next_turn() {
  std::memcpy(buf_, buf_ + 24, 24 * sizeof(std::uint32_t));
  whole_turns(buf_ + 24, 1, carry_);
}

void Ranlux::skip(long long n) {
  const long long target = q_ + n;  // counted from the start of the current turn
  if (target <= 24) {
    q_ = static_cast<int>(target);
    return;
  }
  const long long turns = (target - 1) / 24;  // leaves 1 … 24 taken of the last turn
  q_ = static_cast<int>(target - 24 * turns);
  if (turns > 1) whole_turns(buf_ + 24, turns - 1, carry_);
  next_turn();
}

void Ranlux::deliver(float* out, int n) {
  while (n > 0) {
    if (q_ == 24) {
      next_turn();
      q_ = 0;
    }
    const int len = std::min(n, 24 - q_);
    for (int i = 0; i < len; ++i) {
      const std::uint32_t v = buf_[24 + q_ + i];
      float r = static_cast<float>(v) * kTwom24;
      if (v < kTwo12) {
        // Pad with x_{m−9} (James: the new SEEDS(J24)); one rounding to single.
        r += static_cast<float>(buf_[15 + q_ + i]) * kTwom48;
        if (r == 0.0f) r = kTwom48;
      }
      out[i] = r;
    }
    q_ += len;
    out += len;
    n -= len;
  }
}

void Ranlux::ranlux(float* rvec, int n) {
  // Not yet initialised: the default level and seed, without a message.
  if (!initialised_) rluxgo(kDefaultLevel, kRunSeed, 0, 0);
  for (int left = n; left > 0;) {
    const int take = std::min(left, 24 - in24_);
    deliver(rvec, take);
    rvec += take;
    left -= take;
    in24_ += take;
    if (in24_ == 24) {
      in24_ = 0;
      kount_ += nskip_;
      skip(nskip_);
    }
  }
  if (n > 0) kount_ += n;
  while (kount_ >= kGiga) {
    ++mkount_;
    kount_ -= kGiga;
  }
}

void Ranlux::rluxut(int isdext[25]) const {
  // The 24 numbers before the next step, oldest first; step m wrote James's slot
  // 24 − ((m + rot_) mod 24).
  const int pos = (q_ + rot_) % 24;
  for (int i = 0; i < 24; ++i) isdext[23 - (pos + i) % 24] = static_cast<int>(buf_[q_ + i]);
  // The borrow of the last step taken: stored after a whole turn, otherwise read
  // back from the next number, x_L = x_{L−10} − x_{L−24} − c_{L−1} (mod 2^24).
  const std::uint32_t carry =
      q_ == 24 ? static_cast<std::uint32_t>(carry_)
               : (buf_[14 + q_] - buf_[q_] - buf_[24 + q_]) & kMask24;
  const int i24 = 24 - pos;
  const int j24 = (i24 + 9) % 24 + 1;  // always 14 slots behind I24
  isdext[24] = i24 + 100 * j24 + 10000 * in24_ + 1000000 * luxlev_;
  if (carry != 0) isdext[24] = -isdext[24];
}

void Ranlux::rluxin(const int isdext[25]) {
  // Numbers are taken modulo 2^24 and positions modulo 24; every state written by
  // rluxut is already in range. J24 is not read: it is always I24 − 14 (mod 24).
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
  const int pos = (24 - i24 % 24) % 24;
  std::uint32_t last24[24];
  for (int i = 0; i < 24; ++i)
    last24[i] = static_cast<std::uint32_t>(isdext[23 - (pos + i) % 24]) & kMask24;
  set_ring(last24, isdext[24] < 0 ? 1 : 0, pos);
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
