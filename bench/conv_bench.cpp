// Cost of the kernel sums of one convolved data set of the quasi-elastic
// benchmark size (400 points in the fit range, resolution half-width 80 grid
// points, so 161 terms per point): the point-by-point sequential sums against
// the blocked form the program uses (the same sums in the same order, several
// points at a time, with four-double vectors where the processor has them and
// with the two-double vectors of every x86-64 processor); and, for scale, the whole convolved evaluation of such a
// data set (three Lorentzians on the 561 grid points, then the sums). Run with
// --benchmark_repetitions=N to get medians.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "models/convolution.h"
#include "models/functions.h"

namespace zorvik {
namespace {

constexpr int kPoints = 400;
constexpr int kHalf = 80;
constexpr double kStep = 0.005;

// A Gaussian resolution of unit area and a quasi-elastic line on a flat
// background, sampled on the extended grid: the numbers the chain sums.
struct Problem {
  std::vector<double> grid, kernel, sums;
  Problem() : grid(kPoints + 2 * kHalf), kernel(2 * kHalf + 1), sums(kPoints) {
    const double sigma = 0.047;
    for (int m = -kHalf; m <= kHalf; ++m) {
      const double u = m * kStep / sigma;
      kernel[m + kHalf] = std::exp(-0.5 * u * u) / (sigma * std::sqrt(2.0 * M_PI));
    }
    for (int k = 0; k < kPoints + 2 * kHalf; ++k) {
      const double x = -1.0 + (k - kHalf) * kStep;
      grid[k] = 0.02 + 0.8 / M_PI * 0.05 / (x * x + 0.0025);
    }
  }
  const double* origin() const { return kernel.data() + kHalf; }
};

void BM_KernelSumsSequential(benchmark::State& state) {
  Problem p;
  for (auto _ : state) {
    kernel_sums_sequential(p.grid.data(), p.origin(), kHalf, kPoints, p.sums.data());
    benchmark::DoNotOptimize(p.sums.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_KernelSumsSequential);

void BM_KernelSumsBlocked(benchmark::State& state) {
  Problem p;
  for (auto _ : state) {
    kernel_sums(p.grid.data(), p.origin(), kHalf, kPoints, p.sums.data());
    benchmark::DoNotOptimize(p.sums.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_KernelSumsBlocked);

void BM_KernelSumsBlockedNarrow(benchmark::State& state) {
  Problem p;
  for (auto _ : state) {
    kernel_sums_narrow(p.grid.data(), p.origin(), kHalf, kPoints, p.sums.data());
    benchmark::DoNotOptimize(p.sums.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_KernelSumsBlockedNarrow);

void BM_ConvolvedDataSet(benchmark::State& state) {
  Problem p;
  auto d = std::make_unique<FitFunctions>();
  auto ws = std::make_unique<ModelWorkspace>();
  d->opfit(1) = 115;
  d->fileop(1) = "cf";
  d->imin(1) = 1;
  d->ndatin(1) = kPoints;
  d->imaxconv(1) = kHalf;
  for (int k = -kHalf; k <= kPoints + kHalf; ++k) d->xc(1, k) = -1.0 + (k - 1) * kStep;
  for (int j = 1; j <= kPoints; ++j) d->xi(1, j) = d->xc(1, j);
  for (int m = -kHalf; m <= kHalf; ++m) d->mi(1, m) = p.kernel[m + kHalf];
  double par[101] = {};
  const double lines[] = {0.0, 0.01, 0.05, 0.3, 0.5, 0.3, 0.2, 0.0};  // widths, areas, centre
  for (int k = 1; k <= 7; ++k) par[k] = lines[k];
  for (auto _ : state) {
    evaluate_data_set(1, *d, 7, par, *ws);
    benchmark::DoNotOptimize(ws->ycalc.base());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_ConvolvedDataSet);

}  // namespace
}  // namespace zorvik

BENCHMARK_MAIN();
