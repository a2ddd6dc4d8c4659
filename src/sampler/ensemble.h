// An ensemble of walkers for the posteriors that a single frozen covariance
// crosses badly (bounded fractions, curved temperature-law ridges): varpar 4.
//
// The chain holds L = max(2·d, 24) walkers (d the moving coordinates, those of
// the adaptive proposal: ln|v| for the kinds l and al); each step moves one
// walker, in turn, given all the others (the serial update of the papers
// below: each update leaves the product of L copies of the posterior
// invariant, so every walker's states sample it). The state the chain records
// after a step is that walker's, so its statistics interleave the walkers.
// The moves, chosen at random for each step:
//
//   stretch (J. Goodman and J. Weare, "Ensemble samplers with affine
//   invariance", Commun. Appl. Math. Comput. Sci. 5 (2010) 65, eq. 7):
//     x′ = x_j + z·(x_k − x_j), x_j another walker, z ~ g(z) ∝ 1/√z on
//     [1/a, a], a = 2; ln h = (d − 1)·ln z;
//   differential evolution (C. J. F. ter Braak, "A Markov chain Monte Carlo
//   version of the genetic algorithm Differential Evolution", Stat. Comput.
//   16 (2006) 239):
//     x′ = x_k + γ·(x_a − x_b) + e, a ≠ b two other walkers,
//     γ = 2.38/√(2d) (γ = 1 in one step of ten, which lets walkers jump between
//     modes), e ~ N(0, (10⁻⁶·width)²) per coordinate; symmetric, ln h = 0.
//
//   and, where several data sets have parameters of their own, the same
//   differential evolution in the coordinates of one such data set only
//   (γ = 2.38/√(2·d_set)), the others staying: the chain re-evaluates that
//   data set alone, a fraction of a full step's cost (half the steps; on six
//   dielectric spectra tied by temperature laws this gave 1.4 times the
//   independent states per second of the two moves alone).
//
// Both are invariant under affine maps of the coordinates, so a posterior whose
// widths differ by orders of magnitude, or whose parameters are strongly
// correlated, costs them nothing; the walkers' spread follows the posterior's
// shape wherever it is, which a covariance learned once does not. A value that
// leaves its limits is refused (the prior is zero there); for the kind al the
// prior uniform in v adds its Jacobian Σ(u′ − u) to ln h.
//
// Start: walker 0 is the state the run starts from; the others start from it
// plus a Gaussian step of the parameters' start steps (drawn again when outside
// the limits), one walker per step during the first L steps, each accepted when
// its chi-square is finite (this warm-up is no Markov step; the statistics of
// the whole chain discard it with the burn-in).
#pragma once

#include <vector>

#include "sampler/adaptive.h"
#include "sampler/proposal.h"

namespace zorvik {

// The walkers a move draws, all equally likely from a uniform number r in
// (0, 1): one other than k, and one other than k and a (a ≠ k).
int other_walker(int k, int walkers, float r);
int third_walker(int k, int a, int walkers, float r);

class EnsembleMove final : public Proposal {
 public:
  static constexpr int kMinWalkers = 24;
  static constexpr double kStretch = 2.0;           // a of the stretch move
  static constexpr double kStretchShare = 0.5;      // the share of stretch moves
  static constexpr double kJumpShare = 0.1;         // DE steps with γ = 1
  // γ = kDifferentialScale/√(2d) (ter Braak 2006): a random walk's optimal
  // scale 2.38/√d, over √2 since the difference of two walkers has twice the
  // posterior's covariance.
  static constexpr double kDifferentialScale = 2.38;
  static constexpr double kNoise = 1e-6;            // e of the DE move, in units of the range
  // The share of steps that move one data set's own parameters only, by
  // differential evolution in that block (when several data sets have
  // parameters of their own): such a step re-evaluates that data set alone.
  static constexpr double kBlockShare = 0.5;

  void start(const Run& run) override;
  bool begin_step(FitParameters& params, ChainState& chain) override;
  double propose(const RunSettings& settings, FitParameters& params, ChainState& chain, StepDraw& draw,
                 Console& con) override;
  void observe(const FitParameters& params, const ChainState& chain, double alpha) override;
  bool whole_state() const override { return true; }
  long warmup() const override { return walkers_; }

  int walkers() const override { return walkers_; }
  void save(StateWriter& out) const override;
  void restore(StateReader& in) override;

 private:
  double stretch(FitParameters& params, StepDraw& draw);
  double evolve(FitParameters& params, StepDraw& draw);
  // Writes coordinates u′ (of walker k's signs) into params.par; false when a
  // value leaves its limits.
  bool place(FitParameters& params, const double* unew);
  // Writes coordinate c's value at u; false when it leaves its limits.
  bool place_one(FitParameters& params, int c, double u);
  double* u_of(int w) { return u_.data() + static_cast<size_t>(w) * static_cast<size_t>(c_.d); }

  // The coordinates that only one data set reads, one block per such set.
  void find_blocks(const Run& run);
  double evolve_block(FitParameters& params, StepDraw& draw);

  Coordinates c_;
  std::vector<std::vector<int>> blocks_;
  double block_share_ = 0.0;
  int npar_ = 0;
  int walkers_ = 0;
  int current_ = 0;   // the walker of the step under way
  long started_ = 0;  // walkers started so far (the warm-up)
  std::vector<double> par_;    // walkers × (npar + 1) parameter vectors
  std::vector<double> chisq_;  // walkers × (kMaxFunc + 1) chi-squares
  std::vector<double> u_;      // walkers × d coordinates
  std::vector<double> unew_, z_;
};

}  // namespace zorvik
