// The program's chain on every shipped example, one per model family:
//   BM_<example>_Step     changepar, the whole step (proposal, the chi-square of
//                         the data sets whose parameters moved, acceptance);
//   BM_<example>_Compara  the chi-square of every data set at the start values.
// The straightforward baselines of the same families are the reference problems
// (b1_chain_bench, b2_b3_qens_bench, b4_b5_dielectric_bench); whole runs of the
// examples, writes and distributions included, are timed by run_examples.sh.
//
// Run with --benchmark_repetitions=5 --benchmark_report_aggregates_only=true.
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "program_chain.h"
#include "shipped_examples.h"

namespace zorvik::bench {
namespace {

const fs::path kExamples = fs::path(ZORVIK_SOURCE_DIR) / "examples";

struct Example {
  const char* id;  // the folder under examples/, its parameter file <id>.par
  std::string par;
};

const ProgramState& state_of(const char* id) {
  static std::map<std::string, ProgramState> states;
  auto it = states.find(id);
  if (it == states.end())
    it = states.emplace(id, read_program_state_at(id, kExamples / id, (std::string(id) + ".par").c_str())).first;
  return it->second;
}

void step(benchmark::State& state, const char* id) {
  const ProgramState& ps = state_of(id);
  if (!ps.pristine) return state.SkipWithError(ps.error.c_str());
  time_program_step(state, *ps.pristine);
}

void chisq(benchmark::State& state, const char* id) {
  const ProgramState& ps = state_of(id);
  if (!ps.pristine) return state.SkipWithError(ps.error.c_str());
  time_program_compara(state, *ps.pristine);
}

#define EXAMPLE(name)                                              \
  BENCHMARK_CAPTURE(step, name, #name)->Name("BM_" #name "_Step");  \
  BENCHMARK_CAPTURE(chisq, name, #name)->Name("BM_" #name "_Compara");

FOR_EACH_SHIPPED_EXAMPLE(EXAMPLE)

}  // namespace
}  // namespace zorvik::bench

BENCHMARK_MAIN();
