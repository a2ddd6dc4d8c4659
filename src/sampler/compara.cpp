#include "sampler/compara.h"

#include <cmath>

#include "models/functions.h"

namespace zorvik {

namespace {

// The chi-square of one data set from its model values: the terms of
// point_chisq, summed in increasing point order.
double data_set_chisq(const double* y, const double* yc, const double* sigma, int first, int last) {
  double chi = 0.0;
  for (int j = first; j <= last; ++j) chi += point_chisq(y[j], yc[j], sigma[j]);
  return chi;
}

// The same sum when every sigma is positive: no test per point.
double gaussian_chisq(const double* y, const double* yc, const double* sigma, int first, int last) {
  double chi = 0.0;
  for (int j = first; j <= last; ++j) {
    const double d = y[j] - yc[j];
    chi += d * d / (sigma[j] * sigma[j]);
  }
  return chi;
}

}  // namespace

void classify_sigmas(FitFunctions& data, int nfunc) {
  for (int i = 1; i <= nfunc; ++i) {
    bool positive = data.ndatin(i) > 0;
    for (int j = data.imin(i); positive && j < data.imin(i) + data.ndatin(i); ++j) positive = data.sigmae(i, j) > 0.0;
    data.gaussian_only(i) = positive ? 1 : 0;
  }
}

namespace {

// The chi-square of fitted data set i at the parameters par into chisq[i] (0
// when its model has no value), after the model's rule has set its derived
// parameters in par (the broken line's joined intercept).
void data_set_term(const RunSettings& s, const FitFunctions& d, double* par, ModelWorkspace& ws, int i,
                   double* chisq) {
  chisq[i] = 0.0;
  apply_model_rule(i, d, par);
  // Every fitted set has a routine: the catalogue was checked when the
  // parameter file was read.
  if (!evaluate_data_set(i, d, s.npar, par, ws)) return;
  const int first = d.imin(i);
  const int last = first + d.ndatin(i) - 1;
  chisq[i] = d.gaussian_only(i) ? gaussian_chisq(d.yi.row(i), ws.ycalc.base(), d.sigmae.row(i), first, last)
                                : data_set_chisq(d.yi.row(i), ws.ycalc.base(), d.sigmae.row(i), first, last);
}

void mean_over_sets(const RunSettings& s, double* chisq) {
  double total = 0.0;
  for (int i = 1; i <= s.nfunc; ++i) total += chisq[i];
  chisq[0] = total / static_cast<double>(s.nfitfunc);
}

}  // namespace

void keep_evaluated(const RunSettings& settings, const FitParameters& params, ModelWorkspace& ws) {
  const double* par = params.par.base();
  for (int k = 1; k <= settings.npar; ++k) ws.chisq_par[static_cast<size_t>(k)] = par[k];
  ws.chisq_par_valid = true;
}

void compara_at(const RunSettings& s, const FitFunctions& data, double* par, ModelWorkspace& ws, double* chisq) {
  for (int i = 0; i <= kMaxFunc; ++i) chisq[i] = 0.0;
  for (int i = 1; i <= s.nfunc; ++i)
    if (is_fitted(data.opfit(i))) data_set_term(s, data, par, ws, i, chisq);
  mean_over_sets(s, chisq);
}

void compara(const RunSettings& settings, const FitFunctions& data, FitParameters& params, ChainState& chain,
             ModelWorkspace& ws) {
  compara_at(settings, data, params.par.base(), ws, chain.chisq.base());
  keep_evaluated(settings, params, ws);
}

void compara_moved(const RunSettings& settings, const FitFunctions& data, FitParameters& params, ChainState& chain,
                   ModelWorkspace& ws) {
  if (!ws.chisq_par_valid) {
    compara(settings, data, params, chain, ws);
    return;
  }
  double* par = params.par.base();
  ParamSet moved;
  for (int k = 1; k <= settings.npar; ++k)
    if (!(par[k] == ws.chisq_par[static_cast<size_t>(k)])) moved.set(static_cast<size_t>(k));
  double* chisq = chain.chisq.base();
  for (int i = 1; i <= settings.nfunc; ++i) {
    const int model = data.opfit(i);
    if (!is_fitted(model)) continue;
    const size_t u = static_cast<size_t>(i);
    if (ws.reads_model[u] != model) {
      ws.reads[u] = model_reads(model, i);
      ws.reads_model[u] = model;
    }
    if ((ws.reads[u] & moved).any()) data_set_term(settings, data, par, ws, i, chisq);
  }
  mean_over_sets(settings, chisq);
}

}  // namespace zorvik
