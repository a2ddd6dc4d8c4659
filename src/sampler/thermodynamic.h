// The model evidence Z = ∫ L(θ) π(θ) dθ by thermodynamic integration over a
// ladder of inverse temperatures, with a stepping-stone estimate from the same
// samples as a cross-check.
//
//   ln Z = ∫₀¹ ⟨ln L⟩_β dβ,  ⟨·⟩_β the mean over p_β(θ) ∝ L(θ)^β π(θ)
//     A. Gelman, X.-L. Meng, "Simulating normalizing constants: from importance
//     sampling to bridge sampling to path sampling", Statist. Sci. 13 (1998) 163;
//     N. Lartillot, H. Philippe, "Computing Bayes factors using thermodynamic
//     integration", Syst. Biol. 55 (2006) 195.
//   Ladder β_k = (k/K)^5, k = 0 … K, each rung continuing the chain of the one below:
//     N. Friel, A. N. Pettitt, "Marginal likelihood estimation via power
//     posteriors", J. R. Statist. Soc. B 70 (2008) 589.
//   Quadrature: between rungs the cubic Hermite interpolant of ⟨ln L⟩ with the
//   slopes d⟨ln L⟩_β/dβ = Var_β(ln L), as in the corrected trapezoid rule of
//     N. Friel, M. Hurn, J. Wyse, "Improving power posterior estimation of
//     statistical evidence", Stat. Comput. 24 (2014) 709,
//   but taken in ln β above the first rung (see integrate_ladder).
//   Stepping stone, ln Z = Σ_k ln ⟨L^(β_{k+1} − β_k)⟩_{β_k}:
//     W. Xie, P. O. Lewis, Y. Fan, L. Kuo, M.-H. Chen, "Improving marginal
//     likelihood estimation for Bayesian phylogenetic model selection",
//     Syst. Biol. 60 (2011) 150.
//   Standard errors of rung means by batch means (25 batches per rung):
//     J. M. Flegal, G. L. Jones, "Batch means and spectral variance estimators in
//     Markov chain Monte Carlo", Ann. Statist. 38 (2010) 1034.
//
// The likelihood is ln L = −½ Σᵢ χ²ᵢ, the sum over the fitted data sets (the chain
// itself scores the mean), without the constants Σ ln(σ√(2π)), which cancel
// between models fitted to the same data. The prior π is what the chain samples at
// β = 0: uniform between the limits for the additive kinds n, a, al, uniform in
// log v for the kind l. Tests: tests/e2e/evidence_test.cpp (a linear model
// against its analytic evidence, in two proposal modes and two step kinds; the
// peaks models against importance sampling; the refusals).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/checkpoint_io.h"
#include "core/console.h"
#include "core/run_tables.h"
#include "models/workspace.h"
#include "sampler/adaptive.h"
#include "sampler/independence.h"
#include "sampler/ranlux.h"

namespace zorvik {

// Rungs above β = 0 (the ladder has kLadderRungs + 1 rungs, β_0 = 0 … β_K = 1).
inline constexpr int kLadderRungs = 32;
// Fewest steps a rung may have: below that the batch means say nothing.
inline constexpr int kMinRungSteps = 400;
// One-parameter steps per free parameter in a rung, at least: with fewer, the
// ladder's error came out too small (the peaks example at 60,000 cycles, 16
// seeds: 13 within two printed errors).
inline constexpr int kRungStepsPerParameter = 200;
// A rung whose chain accepted less than this share of its sampled steps, or
// gave fewer independent values of ln L than kMinRungStates (by its batch
// means), stops the ladder: its mean would carry a bias that its error does not
// show (a chain that has not left where the rung below ended).
inline constexpr double kMinRungAcceptance = 0.01;
inline constexpr double kMinRungStates = 50.0;
// ... unless its weight in the integral keeps it from moving the estimate by more
// than this, even a standard deviation of ln L off.
inline constexpr double kNegligibleNats = 0.01;

// What one rung measured over its sampled steps (the first tenth of a rung
// adapts the steps and is not sampled).
struct LadderRung {
  double beta = 0.0;
  double mean_lnl = 0.0;  // ⟨ln L⟩_β
  double var_lnl = 0.0;   // Var_β(ln L) over the samples
  double se_lnl = 0.0;    // standard error of mean_lnl, batch means
  int steps = 0;          // steps of the rung, adaptation included
  int sampled = 0;        // steps that entered the means
  double acceptance = 0.0;  // accepted fraction of the sampled steps
  // ln of the mean of exp((β_next − β)·ln L) over the samples: the stepping-stone
  // factor toward the next rung (0 for the last rung).
  double log_ratio = 0.0;
  // The weight of mean_lnl in the estimate (set by integrate_ladder).
  double weight = 0.0;
};

struct EvidenceEstimate {
  std::vector<LadderRung> rungs;
  double ti = 0.0;            // ln Z by the quadrature of ⟨ln L⟩_β
  double ti_mc_error = 0.0;   // its Monte-Carlo standard error
  double stepping_stone = 0.0;
  double error = 0.0;         // √(mc² + (ti − stepping_stone)²)
  long long steps = 0;
};

// β_k = (k/K)^5 for k = 0 … K.
std::vector<double> ladder_betas(int k);

// Why the run cannot give an evidence (empty when it can): the proposal mode, a
// step kind without a known prior, limits that give no proper prior, too few
// cycles for the ladder.
std::string ladder_problem(const Run& run);

// Called after every sampled step of a rung with the rung's index.
using LadderSink = std::function<void(const Run&, int rung)>;

// The fewest steps a rung of the run's proposal mode may have: kMinRungSteps;
// with one-parameter steps kRungStepsPerParameter per free parameter; with the
// adaptive proposal a tenth (its adaptation) of twice the max(10·d, 100) states
// its covariance needs.
long long min_rung_steps(const Run& run);

// Why a rung's values cannot be trusted (empty when they can), with the cycles
// to ask for; after integrate_ladder, which gives the rung its weight.
std::string rung_problem(const LadderRung& rung, int k, long long ncycles);

// Ln L of the current chi-squares: −½ Σ over the fitted data sets.
double log_likelihood(const Run& run);

// Checkpoints of the ladder (core/checkpoint_io.h), none while path is empty:
// written after every `every`-th rung but the last, when the rung has ended. A
// rung is a deterministic function of the state at its start (the parameters,
// the chain, the generator with its block of numbers, the proposals), so a run
// killed inside a rung and resumed from the checkpoint before it replays that
// rung exactly. The last rung is not followed by one: the run ends a moment
// later, and a kill in that moment replays the last rung. The body holds
// `inputs` (made by the caller), the index of the last rung done, the run's
// tables (run_state.h), the generator and proposals of the stream and the rungs
// measured so far.
struct LadderCheckpoints {
  std::string path;
  int every = 1;
  std::string inputs;
  std::string program_version;
  // When set, the ladder continues from this checkpoint's state (read past its
  // inputs section and the rung index) instead of starting.
  std::unique_ptr<StateReader> resume;
};

// Runs the ladder from the current parameters: ncycles steps in all, shared
// evenly by the rungs, the generator seeded as the ordinary run seeds it. Each
// rung spends its first tenth adapting the steps of the free parameters toward
// the acceptance factor (each step at most the parameter's range, in log v for
// kind l), or with varpar 3 learning the covariance of the adaptive proposal
// afresh (starting from the one learned on the rung below), then samples with
// the steps fixed, every other sampled step an independence draw fitted to the
// rung below (independence.h). Prints one line per rung. Leaves
// the run at the last state of the β = 1 rung, with the adapted steps: of the run
// it changes params (values and steps) and chain, and settings.temp only while a
// rung runs.
// With checkpoints.resume set it continues the ladder saved there (without the
// header lines, printed before the first rung), otherwise it starts afresh.
EvidenceEstimate thermodynamic_integration(Run& run, ModelWorkspace& ws, Console& con,
                                           const LadderSink& sink = nullptr,
                                           LadderCheckpoints* checkpoints = nullptr);

// One rung at inverse temperature `beta`, `steps` steps, continuing the current
// state; `next_beta` gives the stepping-stone factor. `rvec` supplies the uniform
// numbers (refilled from the generator as it runs out). Exposed for the tests.
// It changes what the ladder does (above).
struct LadderStream final : public UniformSource {
  LadderStream(Ranlux& r, int npar_in_use) : ranlux(r), npar(npar_in_use), independent(adaptive) {}
  Ranlux& ranlux;
  int npar;
  std::vector<float> rvec;
  size_t next = 0;
  // The generator's state before the current block (drawn: a block was
  // generated): a checkpoint keeps it and the position `next`, and a resumed
  // ladder generates the block again, its unused part included.
  int block_state[25] = {};
  bool drawn = false;
  // varpar 3: the proposal, carried from rung to rung; in every mode, the
  // coordinates of the independence steps.
  AdaptiveMetropolis adaptive;
  // The independence proposal fitted to the rung below (independence.h).
  IndependenceProposal independent;
  // The random walk of the mode: the adaptive proposal above for varpar 3,
  // otherwise the mode's own step, held in own_walk.
  Proposal* walk = nullptr;
  std::unique_ptr<Proposal> own_walk;

  // The next step's uniform numbers r[1 … npar+2], refilling the block from the
  // generator when it runs out.
  StepUniforms next_block() override;

  // The walk of the run's proposal mode set up for the run (the coordinates of
  // the adaptive proposal started from its parameters).
  void set_up(const Run& run);
  // The generator, the block position and the proposals, for a checkpoint;
  // restore() follows set_up() and refuses a block that does not fit.
  void save(StateWriter& out) const;
  void restore(StateReader& in);
};
LadderRung run_rung(Run& run, ModelWorkspace& ws, Console& con, LadderStream& rng, double beta, double next_beta,
                    int steps, int rung_index, const LadderSink& sink);

// The integration rules over rungs holding beta, mean_lnl, var_lnl, se_lnl and
// log_ratio: fills ti, ti_mc_error, stepping_stone and error.
void integrate_ladder(EvidenceEstimate& e);

// Standard error of the mean of x[0 … n−1] by 25 non-overlapping batch means
// (of the last 25·⌊n/25⌋ values); 0 below 25 values.
double batch_means_error(const double* x, int n);

}  // namespace zorvik
