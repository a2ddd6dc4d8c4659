// The whole chain, kept thinned in bounded memory for the statistics computed
// after the run (means, quantiles, autocorrelation times, several chains).
//
// Every step of the chain, accepted or not, is a state of the chain: a rejected
// step repeats the current state. The recorder keeps every m-th state (the free
// parameters and the total chi-square) in a buffer of at most kMaxKept states
// that is allocated before the first step. When the buffer is full, every
// second state kept is dropped and m doubles, so m is always a power of two and
// between kMaxKept/2 and kMaxKept states are kept whatever the number of steps.
// A step costs one counter and, every m-th step, one copy of nfit + 1 numbers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/checkpoint_io.h"
#include "core/output_paths.h"
#include "core/run_tables.h"

namespace zorvik {

class RecorderSpill;

class ChainRecorder {
 public:
  // At most this many states are kept (the buffer holds at most
  // kMaxKeptValues numbers, so a run with very many free parameters keeps fewer).
  static constexpr long long kMaxKept = 200000;
  static constexpr long long kMaxKeptValues = 16000000;  // 128 MB of doubles

  // Before a run of `ncycles` steps: a recorder that is empty, or whose list of
  // free parameters differs from params.parfit, starts a new chain; otherwise the
  // run continues the chain recorded so far ("c" at the prompt). The buffer is
  // sized here, never in a step.
  void begin_run(const FitParameters& params, long long ncycles);
  // Forgets the chain (the parameter file was read again).
  void reset();
  // The counters for a checkpoint, and the states kept through `spill` (a side
  // file that grows with the chain); restore() sizes the buffer as begin_run()
  // had and reads the states back from the side file the checkpoint names.
  void save(StateWriter& out, RecorderSpill& spill, SideAppend& side) const;
  void restore(StateReader& in, RecorderSpill& spill);

  // One step: the state after it (par indexed 1 … npar, the total chi-square).
  void record(const double* par, double chisq) {
    ++steps_;
    if (--until_next_ > 0) return;
    until_next_ = thin_;
    if (kept_ == capacity_) halve();
    if (steps_ % thin_ != 0) return;  // after a halving only every 2m-th step is kept
    double* row = values_.data() + static_cast<size_t>(kept_) * static_cast<size_t>(width_);
    row[0] = chisq;
    for (int j = 1; j < width_; ++j) row[j] = par[index_[static_cast<size_t>(j)]];
    ++kept_;
  }

  // The chain interleaves the walkers of an ensemble, one step each in turn
  // (1: a single chain). Set at every run start.
  void set_walkers(int walkers) { walkers_ = walkers; }
  int walkers() const { return walkers_; }

  long long steps() const { return steps_; }  // steps recorded
  long long thin() const { return thin_; }    // m: state k (0 …) is that after step (k + 1)·m
  long long kept() const { return kept_; }
  int nfit() const { return width_ - 1; }
  // Parameter number of column j (1 … nfit); column 0 is the chi-square.
  int parameter(int j) const { return index_[static_cast<size_t>(j)]; }
  // Column j of state k.
  double value(long long k, int j) const {
    return values_[static_cast<size_t>(k) * static_cast<size_t>(width_) + static_cast<size_t>(j)];
  }

 private:
  void halve();

  std::vector<int> index_{0};  // parameter number of each column, index_[0] unused
  std::vector<double> values_;
  int width_ = 1;
  int walkers_ = 1;
  long long capacity_ = 0, kept_ = 0, steps_ = 0, thin_ = 1, until_next_ = 1;
  long long halvings_ = 0;  // times the kept states were thinned since the chain began
  friend class RecorderSpill;
};

// The recorded states of a checkpointed run, kept beside the checkpoint FILE in
// FILE.states0 or FILE.states1 rather than inside it, so that a checkpoint costs
// the states kept since the last one and not the whole chain: the side file
// grows by those states, and only after the recorder thinned its states (and so
// changed every position) is the other side file written anew. The checkpoint
// names its side file, the number of states and the CRC-32 of their bytes; the
// side file a checkpoint names is never rewritten while that checkpoint is the
// last one, so a kill at any moment leaves a consistent pair.
class RecorderSpill {
 public:
  explicit RecorderSpill(std::string checkpoint_path = {}) : base_(std::move(checkpoint_path)) {}
  void set_path(const std::string& checkpoint_path) { base_ = checkpoint_path; }
  // What brings the side file up to the recorder's states, into `side` (for
  // the checkpoint's writer); its name's digit, the number of values and their
  // checksum into `out` (and the side file among the files the checkpoint needs).
  void save(StateWriter& out, const ChainRecorder& chain, SideAppend& side);
  // Reads them back and the recorder's values from the side file, which is
  // cut back to them (a later append of a run killed before its checkpoint).
  void restore(StateReader& in, ChainRecorder& chain);
  // The last save began a side file anew: the checkpoint must be forced to
  // the disk, as the previous forced one names the other side file.
  bool rewritten() const { return rewritten_; }

 private:
  std::string side_path(int which) const { return checkpoint_side_path(base_, which); }
  std::string base_;
  int which_ = 1;               // the side file in use (0 or 1); the first save starts file 0
  long long halvings_ = -1;     // the recorder's halvings when it was written (-1: not yet)
  unsigned long long values_ = 0;  // values written into it
  std::uint32_t crc_ = 0;       // CRC-32 of their bytes
  bool rewritten_ = false;
};

}  // namespace zorvik
