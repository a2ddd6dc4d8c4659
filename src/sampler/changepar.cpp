#include "sampler/changepar.h"

#include <cmath>

#include "sampler/adaptive.h"
#include "sampler/compara.h"

namespace zorvik {

namespace {

// Applies a drawn step d by the parameter's step kind: additive ("n", and "a",
// "al", which also adapt their step), proportional ("p") or logarithmic ("l",
// a factor 10^d). Any other kind leaves the value as it is.
void apply_step(const Word3& kind, double& v, double d) {
  const char c0 = kind[0], c1 = kind[1], c2 = kind[2];
  if (c2 != ' ') return;
  if ((c0 == 'n' || c0 == 'a') && c1 == ' ')
    v += d;
  else if (c0 == 'a' && c1 == 'l')
    v += d;
  else if (c0 == 'p' && c1 == ' ')
    v = v * (1.0 + d);
  else if (c0 == 'l' && c1 == ' ')
    v = v * std::pow(10.0, d);
}

// Mirrors a value that left its limits back inside: first at the upper limit,
// then at the lower one. Returns false when it is still outside (a step longer
// than the whole range).
bool reflect(double& v, double lo, double hi) {
  if (v > hi) v = 2.0 * hi - v;
  if (v < lo) v = 2.0 * lo - v;
  return !(v > hi || v < lo);
}

// The same mirror in log v, for the logarithmic step when the chain asks for it
// (ChainState::mirror_log): ln v → 2 ln max − ln v is v → max²/v. A step that is
// symmetric in log v then stays symmetric at the limits, which keeps a density
// uniform in log v invariant (a linear mirror does not: near the limit it maps a
// step up of log-length d to a step down of a different log-length).
bool reflect_log(double& v, double lo, double hi) {
  if (v > hi) v = hi * (hi / v);
  if (v < lo) v = lo * (lo / v);
  return !(v > hi || v < lo);
}

bool log_step(const Word3& kind) { return kind[0] == 'l' && kind[1] == ' ' && kind[2] == ' '; }

// Mirrors the value just moved; the logarithmic mirror only when asked for.
bool mirror(double& v, double lo, double hi, bool in_log) {
  if (!(v > hi || v < lo)) return true;
  return in_log ? reflect_log(v, lo, hi) : reflect(v, lo, hi);
}

// Equality groups, the master's value wins (the modes that move every parameter).
void groups_master_wins(FitParameters& p) {
  double* par = p.par.base();
  for (int g = 1; g <= p.ngroups; ++g) {
    const int* members = p.parig.row(g);
    for (int m = 2; m <= p.ign(g); ++m) par[members[m]] = par[members[1]];
  }
}

// Order relations par(a) >= par(b), once each and in order.
void order_relations(FitParameters& p) {
  double* par = p.par.base();
  for (int r = 1; r <= p.nrel; ++r) {
    const int a = p.parrel(r, 1), b = p.parrel(r, 2);
    if (par[b] > par[a]) par[a] = 2.0 * par[b] - par[a];
  }
}

// varpar 3: every free parameter moves by the adaptive proposal. The
// Metropolis–Hastings acceptance: the move is taken with probability
// min(1, exp(−Δχ²/(2T))·h), h the Hastings factor of the proposal (1 unless an
// "al" parameter moved). Outcomes as in the other modes: a taken move counts
// as chidown, nochange or chiup by its chi-square; a refused one as nochange.
void adaptive_step(const RunSettings& s, const FitFunctions& data, FitParameters& p, ChainState& ch, ModelWorkspace& ws,
                   StepUniforms rnums, Console& con, AdaptiveMetropolis& am) {
  const int npar = s.npar;
  double* par = p.par.base();
  ch.keep_old(par, npar);
  ch.ipchanged = 0;

  const double log_hastings = am.propose(p, ch, rnums, con);
  // A proposal the evidence ladder refuses at the limits (−∞) is not evaluated.
  const bool refused = log_hastings == -HUGE_VAL;
  if (!refused) {
    groups_master_wins(p);
    order_relations(p);
    compara_moved(s, data, p, ch, ws);
  }
  const double chi_old = ch.chisqold(0);
  const double chi_new = refused ? HUGE_VAL : ch.chisq(0);

  bool accept = false;
  double alpha = 0.0;  // the acceptance probability
  if (std::isfinite(chi_new)) {
    const double log_ratio = s.temp > 0.0 ? -(chi_new - chi_old) / (2.0 * s.temp) + log_hastings
                                          : (chi_new <= chi_old ? 0.0 : -HUGE_VAL);
    alpha = log_ratio >= 0.0 ? 1.0 : std::exp(log_ratio);
    accept = log_ratio >= 0.0 || static_cast<double>(rnums[1]) < alpha;
  }
  if (accept) {
    ch.stepresult = chi_new < chi_old ? kChiDown : (chi_new == chi_old ? kNoChange : kChiUp);
    keep_evaluated(s, p, ws);
  } else {
    ch.back_to_old(par, npar);
    ch.stepresult = kNoChange;
  }
  ++ch.stepcount(ch.stepresult + 1);
  am.observe(p, alpha);
}

// Every parameter moves, by a uniform step of half-width move/2.
void move_all_parameters(int npar, FitParameters& p, const ChainState& ch, StepUniforms rnums, Console& con) {
  double* par = p.par.base();
  const double* move = p.move.base();
  const double* lo = p.parmin.base();
  const double* hi = p.parmax.base();
  const double* parold = ch.parold.base();
  for (int i = 1; i <= npar; ++i) {
    const double d = (static_cast<double>(rnums[i + 1]) - 0.5) * move[i];
    apply_step(p.logpar(i), par[i], d);
    if (!mirror(par[i], lo[i], hi[i], ch.mirror_log && log_step(p.logpar(i))))
      con.record("(a20,i4,a,4f12.6)", "DANGER: step for par", i, " too big. Parold,par,parmin,parmax ",
                 parold[i], par[i], lo[i], hi[i]);
  }
  groups_master_wins(p);
}

// One fitted parameter, chosen at random, moves by a uniform step of half-width
// move; in the first equality group that holds it, the others follow it.
void move_one_parameter(FitParameters& p, ChainState& ch, StepUniforms rnums, Console& con) {
  double* par = p.par.base();
  const double* move = p.move.base();
  const double* lo = p.parmin.base();
  const double* hi = p.parmax.base();
  const double* parold = ch.parold.base();
  const int k = static_cast<int>(static_cast<double>(rnums[2]) * p.nfit + 1.0);
  const int ip = p.parfit(k);
  ch.ipchanged = ip;
  const double d = 2.0 * move[ip] * (static_cast<double>(rnums[3]) - 0.5);
  apply_step(p.logpar(ip), par[ip], d);
  if (!mirror(par[ip], lo[ip], hi[ip], ch.mirror_log && log_step(p.logpar(ip)))) {
    con.record("(a20,i4,a)", "DANGER: step for par", ip, " too big. Parold,par,parmin,parmax ");
    con.line(parold[ip], par[ip], lo[ip], hi[ip]);
    con.line("jump,movepar", move[ip], d);
  }
  for (int g = 1; g <= p.ngroups; ++g) {
    const int n = p.ign(g);
    if (n <= 0) continue;
    const int* members = p.parig.row(g);
    bool holds = false;
    for (int m = 1; m <= n && !holds; ++m) holds = members[m] == ip;
    if (!holds) continue;
    for (int m = 1; m <= n; ++m) par[members[m]] = par[ip];
    break;
  }
}

}  // namespace

void changepar(const RunSettings& s, const FitFunctions& data, FitParameters& p, ChainState& ch, ModelWorkspace& ws,
               StepUniforms rnums, Console& con, AdaptiveMetropolis* am) {
  if (s.varpar == 3 && am != nullptr) {
    adaptive_step(s, data, p, ch, ws, rnums, con, *am);
    return;
  }
  const int npar = s.npar;
  double* par = p.par.base();
  ch.keep_old(par, npar);

  if (s.varpar == 1)
    move_all_parameters(npar, p, ch, rnums, con);
  else if (s.varpar == 0 && p.nfit >= 1)
    move_one_parameter(p, ch, rnums, con);

  order_relations(p);

  compara_moved(s, data, p, ch, ws);
  const double chi_old = ch.chisqold(0);
  const double chi_new = ch.chisq(0);

  // Metropolis acceptance at temperature temp; the likelihood is exp(−χ²/2).
  // A proposal whose chi-square is not a finite number is always rejected.
  bool accept = false;
  if (!std::isfinite(chi_new)) {
    accept = false;
  } else if (chi_old > chi_new) {
    ch.stepresult = kChiDown;
    ++ch.stepcount(2);
    keep_evaluated(s, p, ws);
    return;
  } else if (chi_new == chi_old) {
    ch.stepresult = kNoChange;
    ++ch.stepcount(1);
    keep_evaluated(s, p, ws);
    return;
  } else {
    const double prob = s.temp > 0.0 ? std::exp(-(chi_new - chi_old) / (2.0 * s.temp)) : 0.0;
    accept = static_cast<double>(rnums[1]) < prob;
  }
  if (accept) {
    ch.stepresult = kChiUp;
    ++ch.stepcount(3);
    keep_evaluated(s, p, ws);
    return;
  }
  ch.back_to_old(par, npar);
  ch.stepresult = kNoChange;
  ++ch.stepcount(1);
}

}  // namespace zorvik
