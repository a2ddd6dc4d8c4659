#include "sampler/thermodynamic.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

#include "core/errors.h"
#include "models/catalogue.h"
#include "sampler/changepar.h"
#include "sampler/compara.h"
#include "sampler/run_state.h"

namespace zorvik {

namespace {

// The first tenth of a rung adapts the steps, in five rounds, and lets the chain
// settle at the new β; it is not sampled. Neighbouring rungs differ little above
// the lowest few, so a tenth is ample (with a quarter the peaks tests gave no
// better estimates).
constexpr int kAdaptShare = 10;
constexpr int kAdaptRounds = 5;
// Batches of the batch-means error. Fewer, longer batches than the usual ⌊√n⌋
// (Flegal & Jones 2010): one-parameter steps on correlated parameters have
// autocorrelation times of several hundred steps, and batches shorter than that
// make the error too small.
constexpr int kBatches = 25;
// Bounds of the factor one adaptation round applies to a step: enough to grow a
// step from the posterior's width to the prior's range within a few rungs, small
// enough that one unlucky round does not wreck it.
constexpr double kMinFactor = 0.2, kMaxFactor = 5.0;
// Acceptance aimed at when every parameter moves in each step: the optimum of a
// random-walk Metropolis step in many dimensions (Roberts, Gelman & Gilks, Ann.
// Appl. Probab. 7 (1997) 110).
constexpr double kAllParametersTarget = 0.234;
// Acceptance aimed at in one-parameter steps when the parameter file's factor is
// not a fraction (the one-dimensional optimum is about 0.44; the examples use 0.4).
constexpr double kDefaultTarget = 0.4;
// States of a rung kept (evenly spaced) to fit the next rung's independence
// proposal: enough for a covariance of 100 parameters, few enough that a rung of
// a hundred million steps does not hold them all.
constexpr int kFitStates = 20000;

bool additive(StepKind kind) {
  return kind == StepKind::Normal || kind == StepKind::Adaptive || kind == StepKind::AdaptiveLog;
}

// The proposal modes whose step is symmetric with respect to the prior measure
// (uniform in v, or in log v for kind l), so that the tempered Metropolis rule
// samples L^β·π. The adaptive proposal (varpar 3) is symmetric in its
// coordinates (ln v for kind l) and carries the Hastings factor that keeps the
// prior of kind al uniform in v, so it samples the same prior.
bool ladder_proposal_known(int varpar) {
  return varpar == kOneParameter || varpar == kAllParameters || varpar == kAdaptive;
}

// The length a step of parameter i may reach: the width of its range, in the
// scale in which it steps. A step no longer than that is mirrored at most once,
// which keeps the proposal symmetric (two mirrors in a row are not).
double step_range(const FitParameters& p, int i) {
  const double lo = p.parmin(i), hi = p.parmax(i);
  if (p.kind(i) == StepKind::Logarithmic) return std::log10(hi / lo);
  return hi - lo;
}

// One adaptation round: each free parameter's step is scaled by its accepted
// fraction over the target, within [kMinFactor, kMaxFactor], and kept within its
// range. With all parameters moving, the one fraction of all steps scales them all.
void adapt_steps(const RunSettings& s, FitParameters& p, const std::vector<int>& proposed,
                 const std::vector<int>& accepted, double target) {
  const bool all = s.varpar == kAllParameters;
  for (int k = 1; k <= p.nfit; ++k) {
    const int i = p.parfit(k);
    const int n = all ? proposed[0] : proposed[static_cast<size_t>(i)];
    if (n == 0) continue;
    const int a = all ? accepted[0] : accepted[static_cast<size_t>(i)];
    const double f = std::clamp(static_cast<double>(a) / n / target, kMinFactor, kMaxFactor);
    const double range = step_range(p, i);
    p.move(i) = std::clamp(std::fabs(p.move(i)) * f, range * 1e-12, range);
  }
}

// ln of the mean of exp(t_j), without overflow.
double log_mean_exp(const std::vector<double>& t) {
  if (t.empty()) return 0.0;
  const double m = *std::max_element(t.begin(), t.end());
  double sum = 0.0;
  for (const double v : t) sum += std::exp(v - m);
  return m + std::log(sum / static_cast<double>(t.size()));
}

}  // namespace

std::vector<double> ladder_betas(int k) {
  std::vector<double> b(static_cast<size_t>(k) + 1);
  for (int j = 0; j <= k; ++j) b[static_cast<size_t>(j)] = std::pow(static_cast<double>(j) / k, 5.0);
  return b;
}

std::string ladder_problem(const Run& run) {
  const RunSettings& s = run.settings;
  const FitParameters& p = run.params;
  if (!ladder_proposal_known(s.varpar))
    return "The evidence needs varpar 0 (one parameter per step), 1 (all parameters) or 3 (adaptive); the "
           "parameter file has " +
           std::to_string(s.varpar) + ".";
  for (int k = 1; k <= p.nfit; ++k) {
    const int i = p.parfit(k);
    const std::string who = "Parameter " + std::to_string(i) + " (" + p.namepar(i).str() + ")";
    const StepKind kind = p.kind(i);
    if (kind == StepKind::Proportional)
      return who + " has the step kind p: a proportional step is symmetric neither in the value nor in its "
                   "logarithm, so the chain samples no stated prior. Use n, a, al (uniform prior) or l (uniform "
                   "in the logarithm) for the evidence.";
    if (!additive(kind) && kind != StepKind::Logarithmic) continue;  // never moves: no prior to state
    if (!(p.parmax(i) > p.parmin(i)))
      return who + ": the evidence needs a maximum above the minimum (the prior is uniform between them).";
    if (s.varpar == kAdaptive && kind == StepKind::AdaptiveLog && p.parmin(i) < 0.0 && p.parmax(i) > 0.0)
      return who + " has the step kind al and limits on both sides of 0: the adaptive proposal (varpar 3) moves it "
                   "in the logarithm of its magnitude and never changes its sign, so the prior would cover only the "
                   "side of its start value. Use limits of one sign, or varpar 0 or 1, for the evidence.";
    if (kind == StepKind::Logarithmic && !(p.parmin(i) > 0.0))
      return who + " has the step kind l: the evidence needs a positive minimum (the prior is uniform in the "
                   "logarithm between the limits).";
  }
  const long long per_rung = min_rung_steps(run);
  const long long need = static_cast<long long>(kLadderRungs + 1) * per_rung;
  if (s.ncycles < need)
    return "The evidence needs at least " + std::to_string(need) + " cycles (" + std::to_string(per_rung) +
           " for each of the " + std::to_string(kLadderRungs + 1) + " rungs of the ladder" +
           (s.varpar == kAdaptive ? ": a tenth of a rung must hold twice the states the adaptive covariance needs"
                          : s.varpar == kOneParameter ? ": 200 one-parameter steps per free parameter" : "") +
           "); the parameter file has " + std::to_string(s.ncycles) + ".";
  return "";
}

long long min_rung_steps(const Run& run) {
  const long long d = run.params.nfit;
  switch (run.settings.varpar) {
    case kOneParameter: return std::max<long long>(kMinRungSteps, kRungStepsPerParameter * d);
    case kAdaptive: return std::max<long long>(kMinRungSteps, kAdaptShare * 2 * std::max(10 * d, 100LL));
    default: return kMinRungSteps;
  }
}

double log_likelihood(const Run& run) {
  double sum = 0.0;
  for (int i = 1; i <= run.settings.nfunc; ++i)
    if (is_fitted(run.data.opfit(i))) sum += run.chain.chisq(i);
  return -0.5 * sum;
}

double batch_means_error(const double* x, int n) {
  const int b = n / kBatches;
  if (b < 1) return 0.0;
  const double* first = x + (n - kBatches * b);  // the last kBatches·b values
  double means[kBatches];
  double all = 0.0;
  for (int j = 0; j < kBatches; ++j) {
    double m = 0.0;
    for (int t = 0; t < b; ++t) m += first[j * b + t];
    means[j] = m / b;
    all += m;
  }
  all /= static_cast<double>(kBatches) * b;
  double ss = 0.0;
  for (const double m : means) ss += (m - all) * (m - all);
  // The variance of a batch mean over the number of batches.
  return std::sqrt(ss / (kBatches - 1) / kBatches);
}

namespace {

// The statistics of a rung from its sampled log-likelihoods: mean, variance,
// batch-means error, acceptance and the stepping-stone factor toward the next
// rung (the samples are rescaled in place for it).
void summarise_rung(std::vector<double>& lnl, int naccepted, double next_beta, LadderRung& r) {
  double mean = 0.0;
  for (const double v : lnl) mean += v;
  mean /= r.sampled;
  double var = 0.0;
  for (const double v : lnl) var += (v - mean) * (v - mean);
  r.mean_lnl = mean;
  r.var_lnl = r.sampled > 1 ? var / (r.sampled - 1) : 0.0;
  r.se_lnl = batch_means_error(lnl.data(), r.sampled);
  r.acceptance = static_cast<double>(naccepted) / r.sampled;
  if (next_beta > r.beta) {
    for (double& v : lnl) v *= next_beta - r.beta;
    r.log_ratio = log_mean_exp(lnl);
  }
}

}  // namespace

StepUniforms LadderStream::next_block() {
  const size_t stride = static_cast<size_t>(npar) + 2;
  if (rvec.empty()) {
    rvec.assign(stride * (kRandomBlock / stride), 0.0f);
    next = rvec.size();  // the first step fills the block
  }
  if (next + stride > rvec.size()) {
    ranlux.rluxut(block_state);
    drawn = true;
    ranlux.ranlux(rvec.data(), static_cast<int>(rvec.size()));
    next = 0;
  }
  const StepUniforms r(rvec.data() + next);
  next += stride;
  return r;
}

void LadderStream::set_up(const Run& run) {
  // The adaptive proposal's coordinates serve the independence steps in every
  // mode; with varpar 3 it is also the random walk.
  adaptive.start(run);
  if (run.settings.varpar == kAdaptive) {
    walk = &adaptive;
  } else {
    own_walk = make_proposal(run.settings.varpar);
    walk = own_walk.get();
  }
}

void LadderStream::save(StateWriter& out) const {
  int now[25];
  ranlux.rluxut(now);
  out.put_array(now, 25);
  out.put(drawn);
  out.put_array(block_state, 25);
  out.put<std::uint64_t>(next);
  adaptive.save(out);
  independent.save(out);
  out.put(own_walk != nullptr);
  if (own_walk) own_walk->save(out);
}

void LadderStream::restore(StateReader& in) {
  int now[25];
  in.get_array(now, 25);
  in.get(drawn);
  in.get_array(block_state, 25);
  next = static_cast<size_t>(in.get<std::uint64_t>());
  if (drawn) {
    const size_t stride = static_cast<size_t>(npar) + 2;
    rvec.assign(stride * (kRandomBlock / stride), 0.0f);
    if (next > rvec.size()) in.refuse("its block of random numbers does not fit the run");
    ranlux.rluxin(block_state);
    ranlux.ranlux(rvec.data(), static_cast<int>(rvec.size()));
  }
  ranlux.rluxin(now);
  adaptive.restore(in);
  independent.restore(in);
  if (in.get<bool>() != (own_walk != nullptr)) in.refuse("its proposal differs from the parameter file's");
  if (own_walk) own_walk->restore(in);
}

namespace {

bool moved_from_old(const Run& run) {
  const double* par = run.params.par.base();
  const double* parold = run.chain.parold.base();
  for (int i = 1; i <= run.settings.npar; ++i)
    if (par[i] != parold[i]) return true;
  return false;
}

// The first tenth of a rung: with the one-parameter or all-parameter steps, five
// rounds of step adaptation toward the acceptance `target`; with the adaptive
// proposal, a fresh learning of its covariance, then frozen for the sampled
// part, so that the samples come from a Markov chain.
void adapt_rung(Run& run, ModelWorkspace& ws, Console& con, LadderStream& rng, int adapt) {
  const RunSettings& s = run.settings;
  const int round = std::max(1, adapt / kAdaptRounds);
  const double target = s.varpar == kAllParameters ? kAllParametersTarget
                        : (s.convfactor > 0.0 && s.convfactor < 1.0 ? s.convfactor : kDefaultTarget);
  std::vector<int> proposed(static_cast<size_t>(kMaxPar) + 1), accepted(static_cast<size_t>(kMaxPar) + 1);
  const bool adaptive = s.varpar == kAdaptive;
  if (adaptive) rng.adaptive.restart(adapt);
  for (int j = 1; j <= adapt; ++j) {
    StepDraw draw{rng.next_block(), &rng};
    changepar(s, run.data, run.params, run.chain, ws, rng.walk, draw, con);
    if (adaptive) continue;
    const size_t slot = s.varpar == kAllParameters ? 0 : static_cast<size_t>(run.chain.ipchanged);
    ++proposed[slot];
    if (moved_from_old(run)) ++accepted[slot];
    if (j % round == 0) {
      adapt_steps(s, run.params, proposed, accepted, target);
      std::fill(proposed.begin(), proposed.end(), 0);
      std::fill(accepted.begin(), accepted.end(), 0);
    }
  }
}

}  // namespace

LadderRung run_rung(Run& run, ModelWorkspace& ws, Console& con, LadderStream& rng, double beta, double next_beta,
                    int steps, int rung_index, const LadderSink& sink) {
  RunSettings& s = run.settings;
  // The tempered acceptance exp(−β·ΔΣχ²/2) is the ordinary one, exp(−Δχ²/(2T)),
  // with χ² the mean over the nfitfunc data sets and T = 1/(β·nfitfunc); at β = 0
  // every finite proposal is accepted.
  const double saved_temp = s.temp;
  s.temp = beta > 0.0 ? 1.0 / (beta * s.nfitfunc) : std::numeric_limits<double>::infinity();

  LadderRung r;
  r.beta = beta;
  r.steps = steps;
  const int adapt = steps / kAdaptShare;
  adapt_rung(run, ws, con, rng, adapt);

  r.sampled = steps - adapt;
  std::vector<double> lnl(static_cast<size_t>(r.sampled));
  int naccepted = 0;
  // Every other sampled step is an independence draw fitted to the rung below,
  // when there is one (independence.h); the states are kept in the coordinates
  // of the adaptive proposal to fit the next rung's.
  const AdaptiveMetropolis& coords = rng.adaptive;
  const bool independent = rng.independent.ready && independence_allowed(run);
  const size_t d = static_cast<size_t>(coords.d);
  const int thin = std::max(1, r.sampled / kFitStates);
  std::vector<double> states(d * static_cast<size_t>(r.sampled / thin + 1));
  const double* par = run.params.par.base();
  for (int j = 0; j < r.sampled; ++j) {
    Proposal* prop = independent && j % 2 == 1 ? &rng.independent : rng.walk;
    StepDraw draw{rng.next_block(), &rng};
    changepar(s, run.data, run.params, run.chain, ws, prop, draw, con);
    if (j % thin == 0)
      for (size_t k = 0; k < d; ++k)
        states[static_cast<size_t>(j / thin) * d + k] = coords.coordinate(static_cast<int>(k), par[coords.index[k]]);
    if (moved_from_old(run)) ++naccepted;
    lnl[static_cast<size_t>(j)] = log_likelihood(run);
    if (sink) sink(run, rung_index);
  }
  s.temp = saved_temp;

  summarise_rung(lnl, naccepted, next_beta, r);
  // The next rung's proposal: the kept states reweighted by L^(β_next − β) (what
  // summarise_rung left in lnl), which gives them the moments of the next rung.
  const int kept = (r.sampled - 1) / thin + 1;
  for (int m = 0; m < kept; ++m) lnl[static_cast<size_t>(m)] = lnl[static_cast<size_t>(m) * thin];
  rng.independent.fit(static_cast<int>(d), states, lnl, kept);
  return r;
}

void integrate_ladder(EvidenceEstimate& e) {
  // 8-point Gauss–Legendre nodes and weights on (−1, 1) (Abramowitz & Stegun, Table 25.4).
  static constexpr double kNode[4] = {0.1834346424956498, 0.5255324099163290, 0.7966664774136267,
                                      0.9602898564975363};
  static constexpr double kWeight[4] = {0.3626837833783620, 0.3137066458778873, 0.2223810344533745,
                                        0.1012285362903763};
  const std::vector<LadderRung>& g = e.rungs;
  const size_t k = g.size() - 1;
  std::vector<double> a(k + 1, 0.0);  // the weight of each rung's mean in the estimate
  double ti = 0.0;
  for (size_t j = 1; j <= k; ++j) {
    const LadderRung &lo = g[j - 1], &hi = g[j];
    if (!(lo.beta > 0.0)) {
      // From β = 0: trapezoid with the variance correction, the cubic through the
      // two means with the variances as slopes (Friel, Hurn & Wyse 2014).
      const double d = hi.beta - lo.beta;
      ti += 0.5 * d * (lo.mean_lnl + hi.mean_lnl) - d * d / 12.0 * (hi.var_lnl - lo.var_lnl);
      a[j - 1] += 0.5 * d;
      a[j] += 0.5 * d;
      continue;
    }
    // Above: the same cubic Hermite interpolation, but in u = ln β, where ⟨ln L⟩
    // is a smooth step (in β it changes over a width ~ the posterior-to-prior
    // volume ratio, far below the rung spacing: the trapezoid in β is then off by
    // nats). d⟨ln L⟩/du = β·Var_β(ln L); ∫ ⟨ln L⟩ e^u du over the interval by
    // Gauss–Legendre. On ⟨ln L⟩_β of a Gaussian likelihood and prior it is exact
    // to 0.005 nats for priors up to 1000 times wider than the posterior.
    const double u0 = std::log(lo.beta), h = std::log(hi.beta) - u0;
    const double f0 = lo.mean_lnl, f1 = hi.mean_lnl;
    const double s0 = lo.beta * lo.var_lnl * h, s1 = hi.beta * hi.var_lnl * h;
    double w00 = 0.0, w01 = 0.0, w10 = 0.0, w11 = 0.0;
    for (int q = 0; q < 8; ++q) {
      const double x = q < 4 ? -kNode[q] : kNode[q - 4];
      const double s = 0.5 * (x + 1.0);
      const double w = 0.5 * kWeight[q % 4] * h * std::exp(u0 + h * s);
      w00 += w * (2 * s * s * s - 3 * s * s + 1);
      w10 += w * (s * s * s - 2 * s * s + s);
      w01 += w * (-2 * s * s * s + 3 * s * s);
      w11 += w * (s * s * s - s * s);
    }
    ti += w00 * f0 + w01 * f1 + w10 * s0 + w11 * s1;
    a[j - 1] += w00;
    a[j] += w01;
  }
  double mc2 = 0.0, ss = 0.0;
  for (size_t j = 0; j <= k; ++j) e.rungs[j].weight = a[j];
  for (size_t j = 0; j <= k; ++j) {
    mc2 += a[j] * a[j] * g[j].se_lnl * g[j].se_lnl;
    if (j < k) ss += g[j].log_ratio;
  }
  e.ti = ti;
  e.ti_mc_error = std::sqrt(mc2);
  e.stepping_stone = ss;
  e.error = std::hypot(e.ti_mc_error, e.ti - e.stepping_stone);
}

std::string rung_problem(const LadderRung& r, int k, long long ncycles) {
  // Independent states of the rung's ln L: Var(ln L) over the squared error of
  // its mean (batch means); none when the chain never moved.
  const double effective = r.se_lnl > 0.0 ? r.var_lnl / (r.se_lnl * r.se_lnl) : (r.var_lnl > 0.0 ? 0.0 : 1.0);
  if (r.acceptance >= kMinRungAcceptance && effective >= kMinRungStates) return "";
  // A rung that moved but whose mean could move the estimate by no more than
  // kNegligibleNats even if it were a whole standard deviation of ln L off (the
  // lowest rungs, whose weight in the integral is of the order of β₁ ≈ 3·10⁻⁸)
  // does not matter. A chain that hardly moved has no variance to go by.
  if (r.acceptance >= kMinRungAcceptance && std::fabs(r.weight) * std::sqrt(r.var_lnl) < kNegligibleNats) return "";
  const double more = std::max(2.0, kMinRungStates / std::max(effective, 1.0));
  std::ostringstream why;
  why << "The evidence ladder stops at rung " << k << " (beta = " << r.beta << "): its chain accepted "
      << 100.0 * r.acceptance << " % of its steps and gave about " << static_cast<long long>(effective)
      << " independent values of ln L, too few for an honest error (at least " << kMinRungStates
      << " are needed, with " << 100.0 * kMinRungAcceptance << " % accepted). Run the ladder with more cycles (about "
      << static_cast<long long>(std::ceil(more * static_cast<double>(ncycles) / 1000.0)) * 1000 << ").";
  return why.str();
}

namespace {

// The start of a fresh ladder: the chi-square of the start, the generator
// seeded as the ordinary run seeds it, the header lines.
void start_ladder(Run& run, ModelWorkspace& ws, Console& con, Ranlux& ranlux, LadderStream& rng, int per) {
  const RunSettings& s = run.settings;
  compara(run.settings, run.data, run.params, run.chain, ws);
  if (!std::isfinite(run.chain.chisq(0)))
    throw FatalError("The chi-square of the starting parameters is not a finite number. Change the start values.");
  // --seed N starts the generator from N, as in the ordinary run: ladders with
  // different seeds give independent estimates.
  ranlux.rluxgo(kRunLuxury, s.seed > 0 ? static_cast<int>(s.seed) : kRunSeed, 0, 0);
  rng.set_up(run);
  con.line("Evidence by thermodynamic integration:", kLadderRungs + 1,
           "rungs, beta = (k/" + std::to_string(kLadderRungs) + ")^5,", per, "steps each");
  con.record("(a6,a14,a18,a12,a10)", "rung", "beta", "<ln L>", "error", "accepted");
}

// The checkpoint after rung k (the body's order is that of restore_ladder).
void save_ladder(const LadderCheckpoints& c, int k, const Run& run, const ModelWorkspace& ws,
                 const LadderStream& rng, const EvidenceEstimate& e) {
  StateWriter out;
  out.put_string(c.inputs);
  out.put<std::int64_t>(k);
  save_run_state(out, run);
  out.put_array(ws.chisq_par.data(), ws.chisq_par.size());
  out.put(ws.chisq_par_valid);
  rng.save(out);
  out.put_vector(e.rungs);
  out.put(e.steps);
  write_checkpoint(c.path, c.program_version, out, true);  // a rung is minutes of work: always forced
}

// The ladder as a checkpoint left it, after its rung index.
void restore_ladder(StateReader& in, Run& run, ModelWorkspace& ws, LadderStream& rng, EvidenceEstimate& e) {
  restore_run_state(in, run);
  in.get_array(ws.chisq_par.data(), ws.chisq_par.size());
  in.get(ws.chisq_par_valid);
  rng.set_up(run);
  rng.restore(in);
  in.get_vector(e.rungs);
  in.get(e.steps);
  if (e.rungs.empty() || e.rungs.size() > static_cast<size_t>(kLadderRungs))
    in.refuse("its count of rungs done does not fit the ladder");
  if (!in.at_end()) in.refuse("it has state this program does not know (the file is damaged)");
}

}  // namespace

EvidenceEstimate thermodynamic_integration(Run& run, ModelWorkspace& ws, Console& con, const LadderSink& sink,
                                           LadderCheckpoints* checkpoints) {
  const std::string problem = ladder_problem(run);
  if (!problem.empty()) throw FatalError(problem);
  RunSettings& s = run.settings;
  const std::vector<double> betas = ladder_betas(kLadderRungs);
  const int nrungs = kLadderRungs + 1;
  const int per = s.ncycles / nrungs;

  Ranlux ranlux(con);
  LadderStream rng(ranlux, s.npar);
  EvidenceEstimate e;
  if (checkpoints != nullptr && checkpoints->resume) {
    restore_ladder(*checkpoints->resume, run, ws, rng, e);
    checkpoints->resume.reset();
  } else {
    start_ladder(run, ws, con, ranlux, rng, per);
  }
  const bool saving = checkpoints != nullptr && !checkpoints->path.empty();
  for (int k = static_cast<int>(e.rungs.size()); k < nrungs; ++k) {
    const int steps = k == nrungs - 1 ? s.ncycles - per * (nrungs - 1) : per;
    const double next = k + 1 < nrungs ? betas[static_cast<size_t>(k) + 1] : betas[static_cast<size_t>(k)];
    const LadderRung r = run_rung(run, ws, con, rng, betas[static_cast<size_t>(k)], next, steps, k, sink);
    con.record("(i6,es14.5,es18.8,es12.3,f10.4)", k, r.beta, r.mean_lnl, r.se_lnl, r.acceptance);
    e.rungs.push_back(r);
    e.steps += steps;
    if (saving && k + 1 < nrungs && (k + 1) % checkpoints->every == 0) save_ladder(*checkpoints, k, run, ws, rng, e);
  }
  integrate_ladder(e);
  for (int k = 0; k < nrungs; ++k) {
    const std::string weak = rung_problem(e.rungs[static_cast<size_t>(k)], k, s.ncycles);
    if (!weak.empty()) throw FatalError(weak);
  }
  return e;
}

}  // namespace zorvik
