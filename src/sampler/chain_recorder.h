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

#include <vector>

#include "core/checkpoint_io.h"
#include "core/run_tables.h"

namespace zorvik {

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
  // The states kept and the counters, for a checkpoint; restore() sizes the
  // buffer as begin_run() had.
  void save(StateWriter& out) const;
  void restore(StateReader& in);

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
};

}  // namespace zorvik
