// RANLUX speed: nanoseconds per delivered number, in blocks of 1,000,000 as the run
// loop draws them, at level 4 (389 steps of the recurrence per 24 numbers) and
// level 3 (223 per 24). Baseline: a line-by-line transcription of James's
// single-precision loop (F. James, Comput. Phys. Commun. 79 (1994) 111), with its
// real-valued seeds, NEXT table, branch on the sign and one step per iteration.
// Before timing, both are checked to give the same bits.
#include <benchmark/benchmark.h>

#include <bit>
#include <cstring>
#include <sstream>
#include <vector>

#include "sampler/ranlux.h"

namespace {

constexpr int kBlock = 1000000;
constexpr int kSeed = 314159265;

class TextbookRanlux {
 public:
  TextbookRanlux(int lux, int seed) {
    static const int ndskip[5] = {0, 24, 73, 199, 365};
    nskip_ = ndskip[lux];
    twom24_ = 1.0f;
    int jseed = seed;
    int iseeds[25];
    for (int i = 1; i <= 24; ++i) {
      twom24_ *= 0.5f;
      const int k = jseed / 53668;
      jseed = 40014 * (jseed - k * 53668) - k * 12211;
      if (jseed < 0) jseed += 2147483563;
      iseeds[i] = jseed % 16777216;
    }
    twom12_ = twom24_ * 4096.0f;
    for (int i = 1; i <= 24; ++i) {
      seeds_[i] = static_cast<float>(iseeds[i]) * twom24_;
      next_[i] = i - 1;
    }
    next_[1] = 24;
    i24_ = 24;
    j24_ = 10;
    carry_ = 0.0f;
    if (seeds_[24] == 0.0f) carry_ = twom24_;
  }

  void ranlux(float* rvec, int lenv) {
    for (int ivec = 0; ivec < lenv; ++ivec) {
      float uni = seeds_[j24_] - seeds_[i24_] - carry_;
      if (uni < 0.0f) {
        uni += 1.0f;
        carry_ = twom24_;
      } else {
        carry_ = 0.0f;
      }
      seeds_[i24_] = uni;
      i24_ = next_[i24_];
      j24_ = next_[j24_];
      rvec[ivec] = uni;
      if (uni < twom12_) {
        rvec[ivec] += twom24_ * seeds_[j24_];
        if (rvec[ivec] == 0.0f) rvec[ivec] = twom24_ * twom24_;
      }
      if (++in24_ == 24) {
        in24_ = 0;
        for (int isk = 0; isk < nskip_; ++isk) {
          float u = seeds_[j24_] - seeds_[i24_] - carry_;
          if (u < 0.0f) {
            u += 1.0f;
            carry_ = twom24_;
          } else {
            carry_ = 0.0f;
          }
          seeds_[i24_] = u;
          i24_ = next_[i24_];
          j24_ = next_[j24_];
        }
      }
    }
  }

 private:
  float seeds_[25];
  int next_[25];
  int i24_, j24_, in24_ = 0, nskip_;
  float carry_, twom24_, twom12_;
};

struct Quiet {
  std::istringstream in;
  std::ostringstream out;
  zorvik::Console con{in, out};
};

bool same_bits(const std::vector<float>& a, const std::vector<float>& b) {
  return std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

bool agree(int lux) {
  Quiet q;
  zorvik::Ranlux fast(q.con);
  fast.rluxgo(lux, kSeed, 0, 0);
  TextbookRanlux slow(lux, kSeed);
  std::vector<float> a(100000), b(100000);
  for (int rep = 0; rep < 3; ++rep) {
    fast.ranlux(a.data(), static_cast<int>(a.size()));
    slow.ranlux(b.data(), static_cast<int>(b.size()));
    if (!same_bits(a, b)) return false;
  }
  return true;
}

void per_number(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * kBlock);
  // Seconds per delivered number (shown with an SI prefix, e.g. 4.6n).
  state.counters["per_number"] = benchmark::Counter(
      kBlock, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Ranlux(benchmark::State& state) {
  const int lux = static_cast<int>(state.range(0));
  if (!agree(lux)) {
    state.SkipWithError("the generator and the transcription disagree");
    return;
  }
  Quiet q;
  zorvik::Ranlux g(q.con);
  g.rluxgo(lux, kSeed, 0, 0);
  std::vector<float> v(kBlock);
  for (auto _ : state) {
    g.ranlux(v.data(), kBlock);
    benchmark::DoNotOptimize(v.data());
    benchmark::ClobberMemory();
  }
  per_number(state);
}
BENCHMARK(BM_Ranlux)->Arg(4)->Arg(3)->Unit(benchmark::kMillisecond);

void BM_TextbookRanlux(benchmark::State& state) {
  const int lux = static_cast<int>(state.range(0));
  TextbookRanlux g(lux, kSeed);
  std::vector<float> v(kBlock);
  for (auto _ : state) {
    g.ranlux(v.data(), kBlock);
    benchmark::DoNotOptimize(v.data());
    benchmark::ClobberMemory();
  }
  per_number(state);
}
BENCHMARK(BM_TextbookRanlux)->Arg(4)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
