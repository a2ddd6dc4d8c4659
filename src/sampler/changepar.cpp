#include "sampler/changepar.h"

#include <cmath>

#include "sampler/compara.h"
#include "sampler/uniform_steps.h"

namespace zorvik {

void order_relations(FitParameters& p) {
  double* par = p.par.base();
  for (int r = 1; r <= p.nrel; ++r) {
    const int a = p.parrel(r, 1), b = p.parrel(r, 2);
    if (par[b] > par[a]) par[a] = 2.0 * par[b] - par[a];
  }
}

void groups_master_wins(FitParameters& p) {
  double* par = p.par.base();
  for (int g = 1; g <= p.ngroups; ++g) {
    const int* members = p.parig.row(g);
    for (int m = 2; m <= p.ign(g); ++m) par[members[m]] = par[members[1]];
  }
}

void changepar(const RunSettings& s, const FitFunctions& data, FitParameters& p, ChainState& ch, ModelWorkspace& ws,
               Proposal* prop, StepDraw& draw, Console& con) {
  const int npar = s.npar;
  double* par = p.par.base();
  if (prop != nullptr && prop->begin_step(p, ch)) keep_evaluated(s, p, ws);
  ch.keep_old(par, npar);

  const double log_h = prop != nullptr ? prop->propose(s, p, ch, draw, con) : 0.0;
  // A refused proposal (a value outside its limits) is not evaluated.
  const bool refused = log_h == -HUGE_VAL;
  if (!refused) {
    order_relations(p);
    compara_moved(s, data, p, ch, ws);
  }
  const double chi_old = ch.chisqold(0);
  const double chi_new = refused ? HUGE_VAL : ch.chisq(0);

  // Metropolis–Hastings at temperature temp, the likelihood exp(−χ²/2): taken
  // when ln r = −Δχ²/(2T) + ln h ≥ 0, otherwise when rnums[1] < r. At T ≤ 0 only
  // a step that does not raise the chi-square is taken. A refused proposal
  // (ln h = −∞) is never taken. A chi-square that is not
  // a finite number is never accepted.
  bool accept = false;
  double alpha = 0.0;
  if (std::isfinite(chi_new)) {
    const double log_r = s.temp > 0.0 ? -(chi_new - chi_old) / (2.0 * s.temp) + log_h
                                      : (chi_new <= chi_old && log_h != -HUGE_VAL ? 0.0 : -HUGE_VAL);
    alpha = log_r >= 0.0 ? 1.0 : std::exp(log_r);
    accept = log_r >= 0.0 || static_cast<double>(draw.rnums[1]) < alpha;
  }
  if (accept) {
    ch.stepresult = chi_new < chi_old ? kChiDown : (chi_new == chi_old ? kNoChange : kChiUp);
    keep_evaluated(s, p, ws);
  } else {
    ch.back_to_old(par, npar);
    ch.stepresult = kNoChange;
  }
  ++ch.stepcount(ch.stepresult + 1);
  if (prop != nullptr) prop->observe(p, ch, alpha);
}

void changepar(const RunSettings& s, const FitFunctions& data, FitParameters& p, ChainState& ch, ModelWorkspace& ws,
               StepUniforms rnums, Console& con) {
  // The parameter file's own steps keep no state.
  OneParameterStep one;
  AllParametersStep all;
  Proposal* prop =
      s.varpar == kOneParameter ? static_cast<Proposal*>(&one) : (s.varpar == kAllParameters ? &all : nullptr);
  StepDraw draw{rnums, nullptr};
  changepar(s, data, p, ch, ws, prop, draw, con);
}

}  // namespace zorvik
