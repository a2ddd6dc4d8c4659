// Cost of one chain record "(i12,2x,200es15.6)" (step number, total chi-square,
// 12 parameters, one data set's chi-square), the record written after every
// step with the every-step chain option.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/record_format.h"

namespace {

void BM_ChainRecord(benchmark::State& state) {
  const zorvik::RecordFormat f = zorvik::record_format("(i12,2x,200es15.6)");
  std::vector<zorvik::FmtValue> items;
  items.reserve(32);
  int step = 0;
  for (auto _ : state) {
    items.clear();
    items.emplace_back(++step);
    items.emplace_back(2068.135943197003 + step * 1e-3);
    for (int k = 1; k <= 12; ++k) items.emplace_back(1.0 / (k + step % 7) - 0.3);
    items.emplace_back(2068.1359431970027);
    std::string s = f.format(items);
    benchmark::DoNotOptimize(s);
  }
}
BENCHMARK(BM_ChainRecord);

}  // namespace

BENCHMARK_MAIN();
