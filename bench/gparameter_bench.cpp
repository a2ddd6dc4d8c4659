// Cost of recording one accepted move in the histograms: gparameter for the
// moved parameter and for the chi-square, as the chain step calls them. The
// values walk over a few hundred bins so that the stores touch varying cache
// lines, as a chain does.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "analysis/distributions.h"
#include "core/run_tables.h"

namespace zorvik {
namespace {

void BM_RecordAcceptedMove(benchmark::State& state) {
  auto run = std::make_unique<Run>();
  run->hist.minigpar.fill(1000000);
  run->settings.npar = 12;
  run->settings.incgchi = 0.5;
  for (int i = 1; i <= 12; ++i) {
    run->params.parmin(i) = -10.0;
    run->params.incgg(i) = 0.05;
  }
  std::mt19937 gen(7u);
  std::normal_distribution<double> g(0.0, 3.0);
  std::vector<double> values(4096);
  for (double& v : values) v = g(gen);
  size_t k = 0;
  for (auto _ : state) {
    const int i = 1 + static_cast<int>(k % 12);
    run->params.par(i) = values[k & 4095];
    run->chain.chisq(0) = 100.0 + values[(k + 7) & 4095];
    gparameter(i, run->settings, run->params, run->chain, run->hist);
    gparameter(0, run->settings, run->params, run->chain, run->hist);
    ++k;
  }
  benchmark::DoNotOptimize(run->hist.ngpar(1));
}
BENCHMARK(BM_RecordAcceptedMove);

}  // namespace
}  // namespace zorvik

BENCHMARK_MAIN();
