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
// The adaptation runs during the burn-in only, the first burn_fraction of the
// steps of a run; at its end the covariance is frozen, so that the rest of the
// run is a true Markov chain whose states sample the posterior. Σ_t is kept as
// a running mean and sum of squared deviations (B. P. Welford, Technometrics 4
// (1962) 419), O(d²) per step; its Cholesky factor is recomputed every
// kRefactorSteps steps and once at the freeze.
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
// A value that leaves its limits is mirrored back in its own coordinate (for
// a log-scale one, at the logarithms of the limits), which keeps the proposal
// symmetric.
//
// Random numbers: of the step's npar + 2 uniforms, rnums(1) decides the
// acceptance; the d Gaussian numbers come from rnums(2) … rnums(2·⌈d/2⌉ + 1)
// in pairs by the Box–Muller transform (G. E. P. Box and M. E. Muller, Ann.
// Math. Stat. 29 (1958) 610): z = √(−2 ln u1)·(cos 2πu2, sin 2πu2). Since
// d ≤ npar there are always enough. The uniforms are single-precision values
// strictly inside (0, 1), so |z| < 5.8.
//
// Scale during the burn-in: while the covariance is still being learned the
// step is further multiplied by √λ, with ln λ moved after every step by
// n^(−0.6)·(α − 0.234), α the step's acceptance probability: a Robbins–Monro
// search for the acceptance 0.234 of the optimal scaling (C. Andrieu and
// J. Thoms, "A tutorial on adaptive MCMC", Stat. Comput. 18 (2008) 343,
// Algorithm 4). It lets the chain cross a posterior much wider than the start
// steps in a few hundred steps, so that Σ_t is learned from the whole of it. At
// the freeze λ returns to 1: the rest of the run uses s_d·(Σ + ε·D_0) exactly.
//
// Nothing is allocated in a step: the tables are sized at the start of a run.
//
// Test: tests/sampler/adaptive_test.cpp.
#pragma once

#include <vector>

#include "core/console.h"
#include "core/run_tables.h"
#include "sampler/changepar.h"

namespace zorvik {

struct AdaptiveMetropolis {
  static constexpr double kRegularisation = 1e-6;  // ε
  static constexpr int kRefactorSteps = 50;

  int d = 0;                   // the moving coordinates
  std::vector<int> index;      // index[k]: the parameter of coordinate k (k = 0 … d−1)
  std::vector<char> logscale;  // 1: u = ln|v|
  std::vector<char> hastings;  // 1: the Hastings factor |v′/v| applies ("al")
  std::vector<double> sd0;     // start step of each coordinate
  long t0 = 0;                 // steps before the learned covariance is used
  long burn = 0;               // steps of adaptation; then the covariance is frozen
  long n = 0;                  // states observed in this run
  bool frozen = false;
  // The evidence ladder's rule at the limits: a step that takes any value
  // outside its limits is refused (propose returns −∞) instead of mirrored.
  // Mirroring one coordinate of a correlated Gaussian step is not a symmetric
  // map: the reverse move needs the other coordinates' steps with their signs
  // flipped, which a correlated Gaussian does not give with the same density.
  // The bias is small where the chain rarely meets a limit, but the ladder's low
  // rungs sample the whole box. Refusal keeps the proposal symmetric and the
  // prior exactly uniform in the box. The ordinary run keeps its mirror.
  bool refuse_outside = false;
  double log_lambda = 0.0;       // ln λ, the burn-in's extra scale of the step (below)
  std::vector<double> mean, m2;  // running mean and d×d sum of squared deviations (lower triangle used)
  std::vector<double> factor;    // lower Cholesky factor of the proposal covariance, d×d row-major
  std::vector<double> work, trial;  // scratch: the matrix being factorised, its factor
  std::vector<double> z, u;      // scratch: the Gaussian numbers, the coordinates

  // Sets the run up from the current parameters: the coordinates, the start
  // steps, C_0, and the length of the adaptation (burn_fraction · ncycles).
  void start(const Run& run);

  // Starts a new adaptation of `burn_steps` steps from the current proposal: the
  // running covariance is emptied and λ returns to 1, but the factor learned so
  // far is kept, so that the first t0 steps move with it rather than with C_0.
  // The evidence ladder calls this at each rung, whose target differs little
  // from the one below.
  void restart(long burn_steps);

  // Proposes new values of every coordinate into params.par (mirrored at the
  // limits, with the mode's one-line warning, which shows chain.parold, when
  // still outside) and returns the logarithm of the Hastings factor.
  // rnums[1 … npar+2]. Nothing else of the run changes.
  double propose(FitParameters& params, const ChainState& chain, StepUniforms rnums, Console& con);

  // Adds the state the step ended in to the running covariance while adapting,
  // and moves the scale λ by the step's acceptance probability `alpha`;
  // refactors periodically and freezes at the end of the burn-in.
  void observe(const FitParameters& params, double alpha);

  // The current proposal covariance C = L·Lᵀ, element (r, c).
  double covariance(int r, int c) const;

  // The coordinate in which coordinate k moves, for its value v: ln|v| or v.
  double coordinate(int k, double v) const;

 private:
  void refactor();
};

// Lower Cholesky factor L of the symmetric d×d matrix a (row-major; only the
// lower triangle is read), a = L·Lᵀ, into l. False when a is not positive
// definite (l is then unusable).
bool cholesky(const double* a, double* l, int d);

// The limits of u = ln|v| for a value of sign `sign` whose limits are lo ≤ v ≤ hi.
// A limit that a value of that sign can never reach is infinite.
void log_limits(double sign, double lo, double hi, double& ulo, double& uhi);

}  // namespace zorvik
