#include "analysis/predictive_band.h"

#include <algorithm>
#include <cmath>

#include "analysis/chain_stats.h"
#include "models/catalogue.h"
#include "models/functions.h"

namespace zorvik {

namespace {

// The model values of data set i over its fit range at the parameters p (a
// copy: the broken-line model writes into it).
void curve_at(const Run& run, ModelWorkspace& ws, int i, const double* p, std::vector<double>& out) {
  double copy[kMaxPar + 1];
  std::copy(p, p + kMaxPar + 1, copy);
  const FitFunctions& d = run.data;
  out.assign(static_cast<size_t>(d.ndatin(i)), NAN);
  if (!evaluate_data_set(i, d, run.settings.npar, copy, ws)) return;
  for (int j = 0; j < d.ndatin(i); ++j) out[static_cast<size_t>(j)] = ws.ycalc(d.imin(i) + j);
}

FigureSet empty_figure(const Run& run, int i) {
  const FitFunctions& d = run.data;
  FigureSet f;
  f.number = i;
  f.file = d.nomin(i).str();
  f.file.erase(f.file.find_last_not_of(' ') + 1);
  f.model = d.opfit(i);
  choose_axes(f, i);
  for (int j = d.imin(i); j < d.imin(i) + d.ndatin(i); ++j) {
    f.x.push_back(d.xi(i, j));
    f.y.push_back(d.yi(i, j));
    f.sigma.push_back(d.sigmae(i, j));
  }
  return f;
}

}  // namespace

long long first_retained_state(const ChainRecorder& chain, long long burn_in) {
  // State k follows step (k + 1)·m, as the whole-chain statistics count it.
  return std::min(chain.kept(), burn_in / chain.thin());
}

ParameterCopy best_state(const Run& run, const ChainRecorder& chain) {
  ParameterCopy p(run.params);
  if (run.chain.has_minimum()) {
    for (int k = 0; k <= run.settings.npar; ++k) p.v[k] = run.chain.parchimin(k);
    return p;
  }
  long long lowest = -1;
  for (long long k = 0; k < chain.kept(); ++k)
    if (lowest < 0 || chain.value(k, 0) < chain.value(lowest, 0)) lowest = k;
  if (lowest < 0) return p;
  p.v[0] = chain.value(lowest, 0);
  for (int j = 1; j <= chain.nfit(); ++j) p.v[chain.parameter(j)] = chain.value(lowest, j);
  return p;
}

std::vector<FigureSet> predictive_bands(const Run& run, ModelWorkspace& ws, const ChainRecorder& chain,
                                        const ParameterCopy& best, long long burn_in, int max_states) {
  const FitFunctions& d = run.data;
  std::vector<int> sets;
  std::vector<FigureSet> figs;
  for (int i = 1; i <= run.settings.nfunc; ++i) {
    if (!is_fitted(d.opfit(i)) || d.ndatin(i) <= 0) continue;
    sets.push_back(i);
    figs.push_back(empty_figure(run, i));
  }
  // A numerical routine in trouble at a drawn state said so during the run already.
  Console* const con = ws.con;
  ws.con = nullptr;
  const ParameterCopy current(run.params);
  for (size_t s = 0; s < sets.size(); ++s) curve_at(run, ws, sets[s], best.v, figs[s].best);

  // States evenly spread over the retained chain: state first + ⌊(m + ½)·n/M⌋.
  const long long first = first_retained_state(chain, burn_in), n = chain.kept() - first;
  const long long m_states = std::min<long long>(n, max_states);
  std::vector<std::vector<std::vector<double>>> curves(sets.size());  // [set][state][point]
  std::vector<double> c;
  for (long long m = 0; m < m_states; ++m) {
    const long long k = first + (2 * m + 1) * n / (2 * m_states);
    ParameterCopy q = current;
    for (int j = 1; j <= chain.nfit(); ++j) q.v[chain.parameter(j)] = chain.value(k, j);
    for (size_t s = 0; s < sets.size(); ++s) {
      curve_at(run, ws, sets[s], q.v, c);
      curves[s].push_back(c);
    }
  }
  constexpr double kLevels[5] = {0.025, 0.16, 0.5, 0.84, 0.975};
  std::vector<double> column;
  for (size_t s = 0; s < sets.size(); ++s) {
    FigureSet& f = figs[s];
    f.states = static_cast<int>(m_states);
    for (auto& b : f.band) b.assign(f.x.size(), NAN);
    for (size_t j = 0; j < f.x.size(); ++j) {
      column.clear();
      for (const auto& curve : curves[s]) column.push_back(curve[j]);
      if (column.empty()) column.push_back(f.best[j]);
      std::sort(column.begin(), column.end());
      for (int l = 0; l < 5; ++l) f.band[static_cast<size_t>(l)][j] = sorted_quantile(column, kLevels[l]);
    }
  }
  // The models' caches as the run's own parameters leave them.
  for (int i : sets) curve_at(run, ws, i, current.v, c);
  ws.con = con;
  return figs;
}

FigureChain figure_chain(const ChainRecorder& chain) {
  FigureChain f;
  f.columns.assign(static_cast<size_t>(chain.nfit() + 1), {});
  for (long long k = 0; k < chain.kept(); ++k) {
    f.step.push_back((k + 1) * chain.thin());
    for (int j = 0; j <= chain.nfit(); ++j) f.columns[static_cast<size_t>(j)].push_back(chain.value(k, j));
  }
  return f;
}

}  // namespace zorvik
