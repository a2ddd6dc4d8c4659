#include "models/convolution.h"

#include <cmath>

namespace zorvik {

namespace {

// The whole-range form works on blocks of neighbouring points. Each point of a
// block has its own accumulator, and one kernel weight at a time is multiplied
// into all of them: the accumulators of a block fill vector registers, while
// every accumulator still adds its own terms one after the other in increasing
// order. Four vectors of accumulators keep the adder busy and stay in
// registers together with the weight and the grid values of the next terms;
// eight spilled and ran slower (conv_bench).
//
// Each lane is a plain multiply and a plain add, in increasing t, exactly the
// operations of the point sum below: the compiler does not reassociate
// floating-point sums (no fast-math), and fuses a multiply into an add only on
// targets with fused instructions, where it fuses both forms alike. Each
// block value is therefore the sequential sum to the last bit (tested).
using Pair = double __attribute__((vector_size(2 * sizeof(double))));
using Quad = double __attribute__((vector_size(4 * sizeof(double))));
constexpr int kVectors = 4;

template <class V>
inline constexpr int kLanes = sizeof(V) / sizeof(double);

// One block of kLanes·kVectors points: s[b] = Σ_{t=0…len−1} g[b+t]·w[−t].
template <class V>
[[gnu::always_inline]] inline void block_sums(const double* __restrict g, const double* __restrict w, int len,
                                              double* __restrict s) {
  static_assert(kLanes<V> == 2 || kLanes<V> == 4);
  constexpr int lanes = kLanes<V>;
  V acc[kVectors];
  for (int v = 0; v < kVectors; ++v) acc[v] = V{};
  // Unrolling over t only made the compiler juggle the overlapping loads.
#pragma GCC unroll 1
  for (int t = 0; t < len; ++t) {
    const double weight = w[-t];  // multiplied into every lane
    const double* gt = g + t;
    for (int v = 0; v < kVectors; ++v) {
      V x;
      __builtin_memcpy(&x, gt + lanes * v, sizeof x);
      acc[v] += x * weight;
    }
  }
  __builtin_memcpy(s, acc, sizeof acc);
}

// One point: Σ_{t=0…len−1} g[t]·w[−t].
inline double point_sum(const double* __restrict g, const double* __restrict w, int len) {
  double sum = 0.0;
  for (int t = 0; t < len; ++t) sum += g[t] * w[-t];
  return sum;
}

// The grid step Δ = |xc(i, 2) − xc(i, 1)|.
double grid_step(int i, const FitFunctions& d) { return std::fabs(d.xc(i, 2) - d.xc(i, 1)); }

// Δ·S turned into the model value: a radial distribution gets back its factor
// x and its background.
inline void finish(double step, double sum, bool rdf, double x, const double* par, double& y) {
  const double c = step * sum;
  y = rdf ? c * x + background_polynomial(x, par) : c;
}

// The kernel indices −n … n and the buffer indices first−n … last+n.
void check_sum_range(int n, int first, int last) {
  check_index("mi", 2, -kMaxConvHalf, kMaxConvHalf, -n);
  check_index("mi", 2, -kMaxConvHalf, kMaxConvHalf, n);
  check_index("yconv", 1, -kMaxConvHalf, kMaxConvHalf, first - n);
  check_index("yconv", 1, -kMaxConvHalf, kMaxConvHalf, last + n);
}

// All points, blocks of kLanes·kVectors and then the rest one by one.
template <class V>
[[gnu::always_inline]] inline void blocked_sums(const double* g, const double* m, int n, int count, double* s) {
  constexpr int block = kLanes<V> * kVectors;
  const double* w = m + n;
  const int len = 2 * n + 1;
  int p = 0;
  for (; p + block <= count; p += block) block_sums<V>(g + p, w, len, s + p);
  for (; p < count; ++p) s[p] = point_sum(g + p, w, len);
}

#if defined(__x86_64__) && defined(__GNUC__)
// Four doubles per vector on processors with the 256-bit vector unit: the
// same operations per lane, twice as many lanes. The "avx2" target adds no
// fused multiply-add to what the rest of the program is built for.
[[gnu::target("avx2")]] void kernel_sums_wide(const double* g, const double* m, int n, int count, double* s) {
  blocked_sums<Quad>(g, m, n, count, s);
}
#endif

}  // namespace

ConvRange conv_grid_range(int i, const FitFunctions& d) {
  const int n = d.imaxconv(i);
  ConvRange r;
  r.lo = -n;
  r.hi = d.imin(i) + d.ndatin(i) - 1 + n;
  check_index("yconv", 1, -kMaxConvHalf, kMaxConvHalf, r.lo);
  check_index("yconv", 1, -kMaxConvHalf, kMaxConvHalf, r.hi);
  return r;
}

void kernel_sums_sequential(const double* g, const double* m, int n, int count, double* s) {
  const double* w = m + n;
  const int len = 2 * n + 1;
  for (int p = 0; p < count; ++p) s[p] = point_sum(g + p, w, len);
}

void kernel_sums_narrow(const double* g, const double* m, int n, int count, double* s) {
  blocked_sums<Pair>(g, m, n, count, s);
}

void kernel_sums(const double* g, const double* m, int n, int count, double* s) {
#if defined(__x86_64__) && defined(__GNUC__)
  static const bool wide = __builtin_cpu_supports("avx2");
  if (wide) {
    kernel_sums_wide(g, m, n, count, s);
    return;
  }
#endif
  kernel_sums_narrow(g, m, n, count, s);
}

void conv(int i, const ConvGrid& yconv, int j, const FitFunctions& d, double& y, const double* par, bool rdf) {
  const int n = d.imaxconv(i);
  check_sum_range(n, j, j);
  const double sum = point_sum(yconv.base() + (j - n), d.mi.row(i) + n, 2 * n + 1);
  const double x = rdf ? d.xc(i, j) : 0.0;
  finish(grid_step(i, d), sum, rdf, x, par, y);
}

void conv_range(int i, const ConvGrid& yconv, int first, int count, const FitFunctions& d,
                Table<double, 1, kMaxPoints>& out, const double* par, bool rdf) {
  if (count <= 0) return;
  const int last = first + count - 1;
  const int n = d.imaxconv(i);
  check_sum_range(n, first, last);
  check_index(out.name(), 1, 1, kMaxPoints, first);
  check_index(out.name(), 1, 1, kMaxPoints, last);
  double* y = out.base();
  // The sums go straight into the output and are scaled there.
  kernel_sums(yconv.base() + (first - n), d.mi.row(i), n, count, y + first);
  const double step = grid_step(i, d);
  if (!rdf) {
    for (int j = first; j <= last; ++j) y[j] = step * y[j];
  } else {
    const double* xc = d.xc.row(i);
    for (int j = first; j <= last; ++j) finish(step, y[j], true, xc[j], par, y[j]);
  }
}

}  // namespace zorvik
