#include "sampler/uniform_steps.h"

#include <cmath>

#include "sampler/changepar.h"

namespace zorvik {

namespace {

// Applies a drawn step d by the parameter's step kind (parsed at reading).
void apply_step(StepKind kind, double& v, double d) {
  switch (kind) {
    case StepKind::Normal:
    case StepKind::Adaptive:
    case StepKind::AdaptiveLog: v += d; break;
    case StepKind::Proportional: v = v * (1.0 + d); break;
    case StepKind::Logarithmic: v = v * std::pow(10.0, d); break;
    default: break;
  }
}

// Mirrors a value that left its limits back inside, first at the upper limit,
// then at the lower one, in the kind's own scale (above). False when it is
// still outside.
bool mirror(double& v, double lo, double hi, StepKind kind) {
  if (!(v > hi || v < lo)) return true;
  if (kind == StepKind::Logarithmic) {
    if (v > hi) v = hi * (hi / v);
    if (v < lo) v = lo * (lo / v);
  } else {
    if (v > hi) v = 2.0 * hi - v;
    if (v < lo) v = 2.0 * lo - v;
  }
  return !(v > hi || v < lo);
}

}  // namespace

double AllParametersStep::propose(const RunSettings& s, FitParameters& p, ChainState& ch, StepDraw& draw,
                                  Console& con) {
  const int npar = s.npar;
  double* par = p.par.base();
  const double* move = p.move.base();
  const double* lo = p.parmin.base();
  const double* hi = p.parmax.base();
  const double* parold = ch.parold.base();
  for (int i = 1; i <= npar; ++i) {
    const double d = (static_cast<double>(draw.rnums[i + 1]) - 0.5) * move[i];
    const StepKind kind = p.kind(i);
    apply_step(kind, par[i], d);
    if (!mirror(par[i], lo[i], hi[i], kind))
      con.record("(a20,i4,a,4f12.6)", "DANGER: step for par", i, " too big. Parold,par,parmin,parmax ",
                 parold[i], par[i], lo[i], hi[i]);
  }
  groups_master_wins(p);
  return 0.0;
}

double OneParameterStep::propose(const RunSettings&, FitParameters& p, ChainState& ch, StepDraw& draw,
                                 Console& con) {
  if (p.nfit < 1) return 0.0;
  double* par = p.par.base();
  const double* move = p.move.base();
  const double* lo = p.parmin.base();
  const double* hi = p.parmax.base();
  const double* parold = ch.parold.base();
  const int k = static_cast<int>(static_cast<double>(draw.rnums[2]) * p.nfit + 1.0);
  const int ip = p.parfit(k);
  ch.ipchanged = ip;
  const double d = 2.0 * move[ip] * (static_cast<double>(draw.rnums[3]) - 0.5);
  const StepKind kind = p.kind(ip);
  apply_step(kind, par[ip], d);
  if (!mirror(par[ip], lo[ip], hi[ip], kind)) {
    con.record("(a20,i4,a)", "DANGER: step for par", ip, " too big. Parold,par,parmin,parmax ");
    con.line(parold[ip], par[ip], lo[ip], hi[ip]);
    con.line("jump,movepar", move[ip], d);
  }
  // In the first equality group that holds the parameter, the others follow it.
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
  return 0.0;
}

}  // namespace zorvik
