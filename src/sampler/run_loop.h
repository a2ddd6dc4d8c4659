// The Markov-chain run: seeding, initial curves, trace files, the steps with
// their random blocks, best state and histograms, and the write-interval block
// (progress report, run-time estimate, step adaptation, annealing, trace
// records, result files, the parameter file, the convergence test).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/console.h"
#include "core/run_tables.h"
#include "models/workspace.h"
#include "sampler/chain_recorder.h"
#include "sampler/proposal.h"
#include "sampler/ranlux.h"

namespace zorvik {

// The process CPU time in seconds (single precision, as the estimate uses it).
using CpuClock = float (*)();
float process_cpu_seconds();

// What the run keeps between runs besides the tables: the generator and its
// block of uniform numbers, and the whole chain thinned for its statistics.
struct RunLoop {
  explicit RunLoop(Console& con) : ranlux(con) {}
  Ranlux ranlux;
  std::vector<float> rvec;  // the block of uniform numbers, 1,000,000 at most
  int saved_state[25] = {};
  CpuClock clock = &process_cpu_seconds;
  // The number of the first step of a run: 1. (A test starts a run near the top
  // of the step counter's range, to make the last steps of a very long chain
  // without the others.)
  std::int64_t first_icycle = 1;
  // The proposal of the parameter file's varpar (nullptr: the mode moves
  // nothing), made at the first run and set up again at every run start.
  std::unique_ptr<Proposal> proposal;
  int proposal_varpar = -1;  // the varpar it was made for
  ChainRecorder recorder;
};

// What a run writes besides its own trace files and the parameter file, handed
// in by the caller so that the sampler knows no result formats: the curves at
// the start of every run and the result files at every write interval. The
// initial curves may change params.par (a model's write-back, see
// write_initial_curves); the write interval's files only read the run.
class RunOutputs {
 public:
  virtual ~RunOutputs() = default;
  virtual void initial_curves(const RunSettings& settings, const FitFunctions& data, FitParameters& params,
                              ModelWorkspace& ws) = 0;
  virtual void write_interval(const Run& run, ModelWorkspace& ws, Console& con) = 0;
};

// One run of the chain from the current state (program start, "c"). Changes
// params (the state and, at every write interval, the steps), the chain, the
// histograms and settings.temp when annealing; data is only read, dist untouched.
void run_chain(Run& run, ModelWorkspace& ws, RunLoop& loop, RunOutputs& outputs, Console& con);

}  // namespace zorvik
