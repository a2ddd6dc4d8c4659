// Independence proposals for the evidence ladder: every other sampled step of a
// rung draws the whole state afresh from a multivariate Student t fitted to the
// rung below, instead of moving a little from the current one; the other steps
// are those of the run's proposal mode (one parameter, all, or adaptive).
//
// Why: the error of thermodynamic integration is set by how fast each rung's
// chain forgets its state. A random walk in d dimensions needs of the order of
// d/0.3 steps per independent state even with the best scale (Roberts, Gelman &
// Gilks 1997), about 50 steps for the dozen parameters of three peaks, and
// one-parameter steps on correlated parameters need hundreds. The
// rungs of the ladder are close: p_k ∝ L^(β_k)·π is p_(k−1) reweighted by
// L^(β_k − β_(k−1)). The states of the rung below, weighted so, have the mean
// and covariance of rung k, and a t with 4 degrees of freedom of those moments
// covers its tails too, so that the weights p/q stay bounded (an independence
// sampler with lighter tails than its target mixes badly there and, in a finite
// run, under-visits them). An accepted draw is independent of the state it
// replaces.
//
// The step is the Metropolis–Hastings independence sampler (L. Tierney,
// "Markov chains for exploring posterior distributions", Ann. Statist. 22
// (1994) 1701): from u to u′ ~ q, accepted with probability
//     min(1, [p(u′)·q(u)] / [p(u)·q(u′)]),
// in the coordinates of the adaptive proposal (ln|v| for the kinds l and al,
// v otherwise; the value keeps its sign), where p carries the tempered
// likelihood, the prior and, for the kind al, the Jacobian |v| of its prior
// uniform in v. A draw outside the limits is refused without being evaluated
// (the prior is zero there). Alternating it with the random-walk step keeps each
// rung a Markov chain with the rung's distribution as its invariant one (each
// kernel keeps it); the random walk keeps the chain moving where the t fits
// badly, as on the lowest rungs. A parameter the coordinates leave out (a step
// of 0 at the start) keeps its value in the independence step, which is then
// the same sampler for the others given it.
//
// Not used with equality groups or order relations: they overwrite values
// after the draw, and the density of the result is then not q.
#pragma once

#include <vector>

#include "core/run_tables.h"
#include "models/workspace.h"
#include "sampler/adaptive.h"
#include "sampler/proposal.h"

namespace zorvik {

struct IndependenceProposal final : public Proposal {
  // Draws outside the limits are repeated, at most this many times (each costs
  // random numbers only, no model evaluation); then the step is refused.
  static constexpr int kMaxDraws = 100;

  explicit IndependenceProposal(const Coordinates& coordinates) : am(coordinates) {}
  const Coordinates& am;  // the coordinates (ln|v| for the kinds l and al)
  bool ready = false;
  int d = 0;
  std::vector<double> mean, factor, work;  // factor: lower Cholesky factor of the covariance, d×d
  std::vector<double> z, u, unew;          // scratch; unew: the last draw
  double m2new = 0.0;                      // its squared Mahalanobis distance

  // The t of the weighted mean and covariance (its scale matrix) of n states
  // (the coordinates of state j at states[j·d …]), the weight of state j being
  // exp(log_w[j]). Not ready when the weights leave fewer than 10·d effective
  // states (Kish: (Σw)²/Σw²) or the covariance is not positive definite.
  void fit(int dim, const std::vector<double>& states, const std::vector<double>& log_w, int n);

  // Draws unew from the Gaussian numbers of g[2 …] (pairs, Box–Muller) and the
  // chi-square of the t from c[1], c[2]; false when it falls outside the limits.
  bool draw(const FitParameters& p, StepUniforms g, StepUniforms c);

  // Draws until a draw falls inside the limits (the proposal is then q
  // truncated to the box, whose normalisation is a constant that cancels in
  // the ratio) and moves there; ln h = ln [π(u′)·q(u)] / [π(u)·q(u′)], with the
  // Jacobian of the kind al in π. −∞ when no draw fell inside.
  double propose(const RunSettings& settings, FitParameters& params, ChainState& chain, StepDraw& draw,
                 Console& con) override;

  // −ln q up to a constant, for a squared Mahalanobis distance m2.
  double log_q_neg(double m2) const;
  // |L⁻¹(x − mean)|².
  double mahalanobis2(const double* x);

  // The fitted t and the scratch tables with their sizes, for a checkpoint.
  void save(StateWriter& out) const override;
  void restore(StateReader& in) override;
};

// Whether the run allows independence steps on the ladder.
bool independence_allowed(const Run& run);

}  // namespace zorvik
