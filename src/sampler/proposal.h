// The kinds of chain step behind one interface, and the one Metropolis driver
// that accepts, rejects and restores for all of them.
//
// A proposal moves the parameter vector away from the state the driver kept
// (chain.parold), says which parameter it moved when it moved one (chain.ipchanged;
// the driver re-evaluates only the data sets whose model reads a parameter that
// changed), and returns ln h, the logarithm of its Hastings factor
//     h = q(x | x′) / q(x′ | x) · π(x′)/π(x)|prior measure,
// 0 for a symmetric move; −∞ refuses the move without evaluating it (a value
// outside its limits: the prior is zero there). The driver then accepts with
// probability min(1, exp(−Δχ²/(2T))·h) (N. Metropolis et al., J. Chem. Phys. 21
// (1953) 1087; W. K. Hastings, Biometrika 57 (1970) 97) and hands the proposal
// the acceptance probability to learn from.
//
// Random numbers: every step has its block of npar + 2 uniforms, rnums[1] of
// which decides the acceptance; a proposal that needs more takes further blocks
// of the same stream (StepDraw::more), so that the one-parameter and
// all-parameter steps use exactly the numbers they always did.
//
// Adding a proposal: one file with a class derived from Proposal, and one row in
// the registry of proposals.cpp (its varpar value, name and factory).
#pragma once

#include <memory>
#include <string>

#include "core/checkpoint_io.h"
#include "core/console.h"
#include "core/run_tables.h"
#include "models/workspace.h"

namespace zorvik {

// The uniform numbers of one step, numbered from 1 as the step's formulas number
// them: rnums[k] is the k-th number of the block that starts at `first`.
class StepUniforms {
 public:
  explicit StepUniforms(const float* first) : first_(first) {}
  float operator[](int k) const { return first_[k - 1]; }

 private:
  const float* first_;
};

// Where further blocks of uniform numbers come from (the run's stream, the
// ladder's stream).
class UniformSource {
 public:
  virtual ~UniformSource() = default;
  virtual StepUniforms next_block() = 0;  // the next npar + 2 numbers
};

// What a step draws: its own block, and more from the same stream when needed.
struct StepDraw {
  StepUniforms rnums;
  UniformSource* source = nullptr;
  StepUniforms more() { return source->next_block(); }
};

class Proposal {
 public:
  virtual ~Proposal() = default;
  // Sets the proposal up from the current state at every run start.
  virtual void start(const Run& run) { (void)run; }
  // An ensemble's turn to another of its states: may replace params.par and
  // chain.chisq (all slots) by a state of its own, with its chi-squares, and
  // then returns true. The step then starts from there.
  virtual bool begin_step(FitParameters& params, ChainState& chain) {
    (void)params;
    (void)chain;
    return false;
  }
  // Moves params.par (equal to chain.parold on entry) and returns ln h (above).
  virtual double propose(const RunSettings& settings, FitParameters& params, ChainState& chain, StepDraw& draw,
                         Console& con) = 0;
  // The state the step ended in and its acceptance probability, after the
  // driver decided.
  virtual void observe(const FitParameters& params, const ChainState& chain, double alpha) {
    (void)params;
    (void)chain;
    (void)alpha;
  }
  // True for the proposals that move several parameters at once and learn their
  // own scale: every state of their chain is a sample of the posterior for the
  // histograms, and the write interval leaves their steps `move` as they are.
  virtual bool whole_state() const { return false; }
  // The walkers whose states the chain interleaves, one step each in turn (an
  // ensemble); 1 for a single chain.
  virtual int walkers() const { return 1; }
  // Steps at the start of a run during which the proposal still adapts; the
  // statistics of the whole chain discard at least these.
  virtual long warmup() const { return 0; }
  // The proposal's whole state for a checkpoint, and its return from one
  // instead of start(): a resumed run must draw exactly the moves the
  // uninterrupted run draws. A proposal without state saves nothing.
  virtual void save(StateWriter& out) const { (void)out; }
  virtual void restore(StateReader& in) { (void)in; }
};

// The proposal of the parameter file's varpar, or nullptr when the mode moves
// nothing (any value without a row in the registry).
std::unique_ptr<Proposal> make_proposal(int varpar);
// Its name for messages ("one parameter", "adaptive", …); empty without a row.
std::string proposal_name(int varpar);

}  // namespace zorvik
