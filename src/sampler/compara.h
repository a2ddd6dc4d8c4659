// The chi-square of every fitted data set and their mean: the cost function of
// the chain.
#pragma once

#include <cmath>

#include "core/run_tables.h"
#include "models/workspace.h"

namespace zorvik {

// The Poisson deviance of one point with count y and expected count m (the
// model value): 2·[(y ln y − y) − (y ln m − m)], 2·m when y = 0, nothing when
// both are 0. The likelihood of a count under a rate m is m^y·e^(−m)/y!, which
// is 0 for m < 0 (no rate is negative) and for m = 0 with y > 0 (a rate of
// zero produces no count): the deviance is then infinite, so the chain never
// accepts such a state. (Without this, y = 0 would give 2·m < 0 and reward a
// negative model.) Baker and Cousins, Nucl. Instrum. Methods 221 (1984) 437,
// "Clarification of the use of chi-square and likelihood functions in fits to
// histograms".
inline double poisson_deviance(double y, double m) {
  if (m <= 0.0) return (m < 0.0 || y > 0.0) ? HUGE_VAL : 0.0;
  if (y == 0.0) return 2.0 * m;
  return 2.0 * ((y * std::log(y) - y) - (y * std::log(m) - m));
}

// The chi-square term of one point: (y − m)²/σ² for σ > 0, the Poisson
// deviance for σ < 0 (counting data), 0 for σ = 0.
inline double point_chisq(double y, double m, double sigma) {
  if (sigma > 0.0) {
    const double d = y - m;
    return d * d / (sigma * sigma);
  }
  return sigma < 0.0 ? poisson_deviance(y, m) : 0.0;
}

// Rewrites chain.chisq: slot i the chi-square of data set i (Gaussian term
// (y − ycalc)²/σ² for σ > 0, Poisson deviance for σ < 0, nothing for σ = 0),
// slot 0 their mean over the fitted data sets, slots above nfunc 0. Nothing else
// of the chain changes; params is mutable only because the models' rules (the
// broken line's joined intercept) set derived values in params.par first.
void compara(const RunSettings& settings, const FitFunctions& data, FitParameters& params, ChainState& chain,
             ModelWorkspace& ws);

// The same chi-squares at the parameter vector par (par[k], k = 0 … kMaxPar)
// into chisq[0 … kMaxFunc], touching no table of the run and not recording the
// state in ws.chisq_par. The models' rules set derived values in par first.
void compara_at(const RunSettings& settings, const FitFunctions& data, double* par, ModelWorkspace& ws,
                double* chisq);

// The same chi-squares after a proposal: only the data sets whose model reads a
// parameter that differs from the state the chi-squares were last computed at
// (ws.chisq_par) are evaluated again; the others keep their value, which is the
// one a full evaluation would give. Falls back to compara when there is no such
// state. Writes what compara writes.
void compara_moved(const RunSettings& settings, const FitFunctions& data, FitParameters& params, ChainState& chain,
                   ModelWorkspace& ws);

// Records that the chi-squares now stand for the current parameters (a proposal
// was accepted).
void keep_evaluated(const RunSettings& settings, const FitParameters& params, ModelWorkspace& ws);

// Marks the data sets whose fit range has only positive sigmas (data.gaussian_only),
// for the chi-square's fast path. Call after the data are read and interpolated.
void classify_sigmas(FitFunctions& data, int nfunc);

}  // namespace zorvik
