// Convolution of a model with the instrument's resolution function.
//
// A quasi-elastic spectrum (or a measured radial distribution) is the true
// curve broadened by the instrument: y(x) = ∫ f(x′)·R(x − x′) dx′. On the
// uniform data grid of step Δ this integral is taken by the rectangle rule,
//     y(x_j) = Δ · Σ_{k = j−n … j+n} f(x_k) · R(x_j − x_k),
// with f sampled once per evaluation on the extended grid xc (the model values
// in the buffer yconv, filled by the dispatcher) and R the centred resolution
// kernel mi(i, m), m = −n … n, n = imaxconv(i) (prepared by the data reader).
// The kernel is not normalised here: a kernel of unit area (Δ·Σ mi = 1)
// preserves the model's area.
//
// For the radial-distribution models (the molecular family) the dispatcher convolves
// (g(x) − B(x))/x, the background-free distribution divided by r; the result c
// is turned back into a distribution as c·x + B(x), B the background
// polynomial p2 + p3·x + … + p7·x⁵.
//
// The sum runs in increasing k for every point. The whole-range form
// (conv_range) vectorises across neighbouring points instead of across terms,
// so each point's sum keeps exactly that order and both forms give the same
// numbers to the last bit.
#pragma once

#include "core/capacity.h"
#include "core/run_tables.h"
#include "core/table.h"

namespace zorvik {

// The buffer of model values on a convolution grid (index −5000 … 5000).
using ConvGrid = Table<double, -kMaxConvHalf, kMaxConvHalf>;

// The grid of data set i: k = −imaxconv(i) … imin(i)+ndatin(i)−1+imaxconv(i).
struct ConvRange {
  int lo = 0;
  int hi = -1;
};

// The grid range of data set i, checked against the buffer: a range outside
// −5000 … 5000 stops the run with the index-range message of yconv.
ConvRange conv_grid_range(int i, const FitFunctions& d);

// Background polynomial of the radial-distribution models:
//     B(x) = p2 + p3·x + p4·x² + p5·x³ + p6·x⁴ + p7·x⁵,
// summed from the constant up with the powers as running products.
inline double background_polynomial(double x, const double* p) {
  double sum = p[2];
  double xk = 1.0;
  for (int k = 3; k <= 7; ++k) {
    xk = xk * x;
    sum = sum + p[k] * xk;
  }
  return sum;
}

// The convolved model value at point j of data set i into y, from the grid in
// yconv (which must hold data set i's grid):
//     a line shape:                y = Δ·S
//     a radial distribution (rdf): y = Δ·S·x + B(x),  x = xc(i, j)
// S = Σ_{k=j−n…j+n} yconv(k)·mi(i, j−k) summed in increasing k,
// Δ = |xc(i, 2) − xc(i, 1)|. Indices outside the tables stop the run with the
// index-range message. `par` has p[k] = pk.
void conv(int i, const ConvGrid& yconv, int j, const FitFunctions& d, double& y, const double* par, bool rdf);

// conv for every point j = first … first+count−1 of data set i, into out(j):
// bit-identical to calling conv point by point, several times faster.
void conv_range(int i, const ConvGrid& yconv, int first, int count, const FitFunctions& d,
                Table<double, 1, kMaxPoints>& out, const double* par, bool rdf);

// The kernel sums themselves, on raw pointers (for the two forms above and
// their benchmark): for p = 0 … count−1,
//     s[p] = Σ_{t=0…2n} g[p+t]·m[n−t]   (summed in increasing t),
// with g pointing at yconv(first − n) and m at the kernel's origin mi(i, 0).
// The first form takes one point after the other; the others a block of
// neighbouring points at once (same sums, same order, same result):
// kernel_sums with the widest vectors of the processor it runs on (four
// doubles where the 256-bit unit exists), kernel_sums_narrow with the two
// doubles of every x86-64 processor.
void kernel_sums_sequential(const double* g, const double* m, int n, int count, double* s);
void kernel_sums(const double* g, const double* m, int n, int count, double* s);
void kernel_sums_narrow(const double* g, const double* m, int n, int count, double* s);

}  // namespace zorvik
