// The Markov-chain run: seeding, initial curves, trace files, the steps with
// their random blocks, best state and histograms, and the write-interval block
// (progress report, run-time estimate, step adaptation, annealing, trace
// records, result files, the parameter file, the convergence test).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/checkpoint_io.h"
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
  // The generator's state before the current block of uniform numbers, and
  // the count of numbers in it: a checkpoint keeps these and a resumed run
  // generates the block again, the unused part of it included.
  int block_state[25] = {};
  int block_count = 0;

  // Checkpoints (none while checkpoint_path is empty): written after every
  // checkpoint_every-th write interval, and at the step where a signal stopped
  // the run. checkpoint_inputs is the first section of the body (the parameter
  // file's text and the data files' fingerprint, made by the caller);
  // program_version is recorded in the header.
  std::string checkpoint_path;
  int checkpoint_every = 1;
  // A checkpoint is forced to the disk (core/checkpoint_io.h) when it is the
  // run's first or a signal's, after a side file was written anew, and
  // otherwise once this many seconds passed since the last forced one.
  double checkpoint_sync = 10.0;
  std::chrono::steady_clock::time_point last_forced{};
  bool forced_any = false;
  int recent_slot = 0;  // the unforced slot the next unforced checkpoint goes to
  // Writes them while the chain goes on (one at a time).
  CheckpointWriter checkpoint_writer;
  // What the checkpoints cost (read by the benchmark of their cost): their
  // count, how many were forced, the wall time the chain spent making them
  // (waiting for the previous one included) and the writer's time.
  long long checkpoints_written = 0, checkpoints_forced = 0;
  double checkpoint_seconds = 0.0, writer_seconds = 0.0;
  std::string checkpoint_inputs;
  std::string program_version;
  // The recorder's states of the checkpoints, beside checkpoint_path.
  RecorderSpill spill;
  // When set, the next run_chain continues from this checkpoint's state (read
  // past its inputs section) instead of starting; it is consumed there.
  std::unique_ptr<StateReader> resume;
};

// When the whole chain recorded so far is handed out: after the start of a run,
// at every write interval, and after the run's last step (the last of ncycles,
// the convergence test's, or the step in progress when a signal asked the run
// to stop).
enum class ChainMoment { run_start, write_interval, run_end };

// What a run writes, handed in by the caller so that the sampler knows no file
// formats (output/ writes them all): the curves at the start of every run, the
// trace files as the chain goes, the result files and the rewritten parameter
// file at every write interval, and the files that grow with the recorded
// chain. The initial curves may change params.par (a model's write-back, see
// write_initial_curves); the other files only read the run.
class RunOutputs {
 public:
  virtual ~RunOutputs() = default;
  virtual void initial_curves(const RunSettings& settings, const FitFunctions& data, FitParameters& params,
                              ModelWorkspace& ws) = 0;
  virtual void write_interval(const Run& run, ModelWorkspace& ws, Console& con) = 0;
  // The trace files: opened anew at a run's start, or at a resume cut back to
  // their lengths in the checkpoint and appended to; their lengths saved into
  // a checkpoint; the chain trace's record of the current state (gparmode 2:
  // every step, 3: every write interval); the records of a write interval (with
  // the percentages of unchanged, downhill and uphill steps); flushed, a failed
  // write stopping the run.
  virtual void open_traces(const Run& run) = 0;
  virtual void reopen_traces(const Run& run, StateReader& in) = 0;
  virtual void save_traces(StateWriter& out) = 0;
  virtual void chain_state(const Run& run) = 0;
  virtual void interval_traces(const Run& run, std::int64_t icycle, const std::array<double, 3>& pct) = 0;
  virtual void flush_traces() = 0;
  virtual void chain_recorded(const Run& /*run*/, const ChainRecorder& /*chain*/, ChainMoment /*moment*/) {}
  // The parameter file settings.parfile rewritten with the state and the steps
  // of this write interval (after the result files and the chain's).
  virtual void parameter_file(const Run& run) = 0;
  // What the outputs keep between write intervals, for a checkpoint; restore()
  // also brings the files they append to back to their length at the
  // checkpoint and opens them for appending.
  virtual void save(StateWriter& /*out*/) const {}
  virtual void restore(StateReader& /*in*/) {}
};

// One run of the chain from the current state (program start, "c"). Changes
// params (the state and, at every write interval, the steps), the chain, the
// histograms and settings.temp when annealing; data is only read, dist untouched.
// An interrupt or a termination signal during the run ends it after the step
// in progress (core/interrupt.h: stop_signal() then tells the caller).
// With loop.checkpoint_path set the run writes checkpoints (core/checkpoint_io.h);
// with loop.resume set it continues the run saved there.
void run_chain(Run& run, ModelWorkspace& ws, RunLoop& loop, RunOutputs& outputs, Console& con);

}  // namespace zorvik
