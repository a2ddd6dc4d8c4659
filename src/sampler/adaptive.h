// The adaptive Metropolis proposal of the all-parameter mode varpar 3: every
// free parameter moves at once by a multivariate Gaussian step whose covariance
// is learned from the chain.
//
// Method: H. Haario, E. Saksman and J. Tamminen, "An adaptive Metropolis
// algorithm", Bernoulli 7(2) (2001) 223–242. The step is drawn from
// N(0, C_t) with
//     C_t = C_0                              for t ≤ t0,
//     C_t = s_d · (Σ_t + ε·D_0)              for t > t0,
// Σ_t the covariance of the states visited so far, s_d = 2.38²/d the scale
// that is optimal for Gaussian targets in d dimensions (G. O. Roberts and
// J. S. Rosenthal, "Examples of adaptive MCMC", J. Comput. Graph. Stat. 18
// (2009) 349–367), D_0 = diag(σ0²) the squares of the parameters' own start
// steps and ε = 1e-6 a regularisation that keeps C_t positive definite when the
// chain has not yet moved in some direction, or when two parameters move
// together (an equality group). C_0 = s_d·D_0.
//
// The adaptation runs during a warm-up of its own, the first
// max(kWarmupShare·ncycles, kWarmupPerDim·d, kWarmupMin) steps of a run (at
// least what the covariance needs: it is used from t0 = max(10·d, 100) states
// on), whatever the statistics discard; at its end the covariance is frozen, so
// that the rest of the run is a true Markov chain whose states sample the
// posterior. Σ_t is kept as a running mean and sum of squared deviations (B. P.
// Welford, Technometrics 4 (1962) 419), O(d²) per step; its Cholesky factor is
// recomputed every kRefactorSteps steps and once at the freeze.
//
// Coordinates: each parameter moves in its own scale. Kinds "l" and "al" move
// in u = ln|v| (v keeps its sign); every other movable kind ("n", "a", "p") in
// u = v. Start steps σ0: |move| for the additive kinds, |move|·|v| for "p"
// (its step is relative), |move|·ln 10 for "l" (its step is a power of ten),
// |move|/|v| for "al". A log-scale parameter at 0 cannot move and is left out.
// The proposal is symmetric in u, so:
//   - an additive parameter has the flat prior of the other modes;
//   - an "l" parameter the prior flat in ln v that its one-parameter steps
//     (v·10^d) also imply;
//   - an "al" parameter, additive in the other modes, keeps its flat prior in v
//     through the Hastings factor |v′/v| of the change of variable, returned
//     as log_hastings.
// Limits: a proposal that takes any value outside its limits is refused (ln h
// = −∞: the prior is zero there) and the chain stays. Mirroring one coordinate
// of a correlated Gaussian step is not a symmetric move: the reverse move needs
// the other coordinates' steps with their signs flipped, which a correlated
// Gaussian does not give with the same density, and the chain then samples a
// distorted posterior near the limits. Refusal keeps the proposal symmetric and
// the prior exactly uniform in the box (in ln|v| for kind l). A parameter whose
// two limits are equal does not move.
//
// Random numbers: of the step's npar + 2 uniforms, rnums(1) decides the
// acceptance; the d Gaussian numbers come from rnums(2) … rnums(2·⌈d/2⌉ + 1)
// in pairs by the Box–Muller transform (G. E. P. Box and M. E. Muller, Ann.
// Math. Stat. 29 (1958) 610): z = √(−2 ln u1)·(cos 2πu2, sin 2πu2). Since
// d ≤ npar there are always enough. The uniforms are single-precision values
// strictly inside (0, 1), so |z| < 5.8.
//
// Scale during the warm-up: while the covariance is still being learned the
// step is further multiplied by √λ, with ln λ moved after every step by
// n^(−0.6)·(α − 0.234), α the step's acceptance probability: a Robbins–Monro
// search for the acceptance 0.234 of the optimal scaling (C. Andrieu and
// J. Thoms, "A tutorial on adaptive MCMC", Stat. Comput. 18 (2008) 343,
// Algorithm 4). It lets the chain cross a posterior much wider than the start
// steps in a few hundred steps, so that Σ_t is learned from the whole of it. λ
// is bounded: no coordinate's step may exceed the width of its range (a wider
// step would be refused almost always), nor fall below 1e-12 of its start. At
// the freeze λ returns to 1: the rest of the run uses s_d·(Σ + ε·D_0) exactly,
// whose diagonal the states inside the limits bound by the ranges.
//
// Nothing is allocated in a step: the tables are sized at the start of a run.
#pragma once

#include <vector>

#include "core/console.h"
#include "core/run_tables.h"
#include "sampler/proposal.h"

namespace zorvik {

// The coordinates in which the project's own proposals move the free
// parameters: ln|v| for the kinds l and al, v for n, a and p; a parameter of
// another kind, with a step of 0, with equal limits, or at 0 with a log or
// relative kind, does not move. Set from the run's parameters by set().
struct Coordinates {
  // The width given to a log-scale coordinate whose limits leave it unbounded
  // (a limit at 0): 50 in ln|v|, a factor e^50.
  static constexpr double kMaxLogWidth = 50.0;

  int d = 0;                   // the moving coordinates
  std::vector<int> index;      // index[k]: the parameter of coordinate k (k = 0 … d−1)
  std::vector<char> logscale;  // 1: u = ln|v|
  std::vector<char> hastings;  // 1: the prior uniform in v needs the Jacobian |v| ("al")
  std::vector<double> sd0;     // start step of each coordinate
  std::vector<double> width;   // the width of each coordinate's range (kMaxLogWidth without a bound)

  void set(const FitParameters& p);
  // The coordinate in which coordinate k moves, for its value v: ln|v| or v.
  double coordinate(int k, double v) const;
  // The value of coordinate k at u, of the sign of `old` for a log scale.
  double value(int k, double u, double old) const;
  // Whether value v of parameter i lies inside its limits (and is finite).
  static bool inside(const FitParameters& p, int i, double v);
  // For a checkpoint (proposal.h).
  void save_coordinates(StateWriter& out) const;
  void restore_coordinates(StateReader& in);
};

struct AdaptiveMetropolis final : public Proposal, public Coordinates {
  static constexpr double kRegularisation = 1e-6;  // ε
  static constexpr int kRefactorSteps = 50;
  // The optimal scale of a random-walk step in d dimensions is 2.38²/d times the
  // target's covariance (Roberts & Rosenthal 2009, above).
  static constexpr double kOptimalScale = 2.38;
  // The Robbins–Monro gain n^(−kGainExponent) of the scale search.
  static constexpr double kGainExponent = 0.6;
  // The covariance is used from max(kLearnPerDim·d, kLearnMin) states on.
  static constexpr long kLearnPerDim = 10, kLearnMin = 100;
  // The warm-up: max(kWarmupShare·ncycles, kWarmupPerDim·d, kWarmupMin) steps.
  static constexpr double kWarmupShare = 0.2;
  static constexpr long kWarmupPerDim = 100, kWarmupMin = 2000;

  long t0 = 0;                 // steps before the learned covariance is used
  long burn = 0;               // steps of adaptation; then the covariance is frozen
  long n = 0;                  // states observed in this run
  bool frozen = false;
  double log_lambda = 0.0;       // ln λ, the warm-up's extra scale of the step (below)
  double max_log_lambda = 0.0;   // its bound: no coordinate's step wider than its range
  std::vector<double> mean, m2;  // running mean and d×d sum of squared deviations (lower triangle used)
  std::vector<double> factor;    // lower Cholesky factor of the proposal covariance, d×d row-major
  std::vector<double> work, trial;  // scratch: the matrix being factorised, its factor
  std::vector<double> z, u;      // scratch: the Gaussian numbers, the coordinates

  // Sets the run up from the current parameters: the coordinates, the start
  // steps, C_0, and the warm-up (above).
  void start(const Run& run) override;

  // Starts a new adaptation of `burn_steps` steps from the current proposal: the
  // running covariance is emptied and λ returns to 1, but the factor learned so
  // far is kept, so that the first t0 steps move with it rather than with C_0.
  // The evidence ladder calls this at each rung, whose target differs little
  // from the one below.
  void restart(long burn_steps);

  // Proposes new values of every coordinate into params.par, the masters of the
  // equality groups winning, and returns the logarithm of the Hastings factor,
  // −∞ when a value would leave its limits. Uses rnums[2 …] of the step's block.
  double propose(const RunSettings& settings, FitParameters& params, ChainState& chain, StepDraw& draw,
                 Console& con) override;

  // Adds the state the step ended in to the running covariance while adapting,
  // and moves the scale λ by the step's acceptance probability `alpha`;
  // refactors periodically and freezes at the end of the warm-up.
  void observe(const FitParameters& params, const ChainState& chain, double alpha) override;

  bool whole_state() const override { return true; }
  long warmup() const override { return burn; }
  void save(StateWriter& out) const override;
  void restore(StateReader& in) override;

  // The current proposal covariance C = L·Lᵀ, element (r, c).
  double covariance(int r, int c) const;

  // Fills z[0 … d−1] with standard Gaussian numbers from r[first …] (pairs of
  // uniforms by the Box–Muller transform).
  void gaussians(StepUniforms r, int first);

 private:
  void refactor();
  void bound_scale();
};

// Lower Cholesky factor L of the symmetric d×d matrix a (row-major; only the
// lower triangle is read), a = L·Lᵀ, into l. False when a is not positive
// definite (l is then unusable).
bool cholesky(const double* a, double* l, int d);

// The limits of u = ln|v| for a value of sign `sign` whose limits are lo ≤ v ≤ hi.
// A limit that a value of that sign can never reach is infinite.
void log_limits(double sign, double lo, double hi, double& ulo, double& uhi);

}  // namespace zorvik
