// Peak decomposition of a fitted curve.
//
// A fitted model is often a sum of components (peaks on a background, relaxation
// terms of a loss spectrum). A peak definition of the parameter file lists
// parameter values that isolate one component: typically it sets the amplitudes
// of all the other components to zero. The decomposition evaluates the model once
// with the current parameters (the fit) and once per peak with the current
// parameters overridden by that peak's entries, and writes all curves side by side
// with the data, so that gnuplot can draw each component under the fit.
#include "output/peaks_file.h"

#include <string>
#include <vector>

#include "core/files.h"
#include "core/free_format.h"
#include "core/output_paths.h"
#include "core/record_format.h"
#include "core/table.h"
#include "models/functions.h"

namespace zorvik {

namespace {

// The component curves kept for one decomposition ("ypeak", 5000 points × 10
// peaks): a definition with more peaks is an index-range error.
constexpr int kMaxPeakCurves = 10;

// The header line names the columns after x, the data and the fit. The
// dielectric sums have named terms (their descriptor gives them); any other
// model numbers its peaks.
std::string peaks_header(int opfit, int npeaks) {
  const ModelInfo* m = find_model(opfit);
  if (m && m->peak_columns) return std::string("#x exp calc ") + m->peak_columns;
  std::string h = "#x exp calc";
  for (int k = 1; k <= npeaks; ++k) h += (k == 1 ? " P" : k == 2 ? "  P" : " P") + std::to_string(k);
  return h;
}

// The model of data set nf over its fit range at the parameters p, copied into
// `out` (0 where the model has no value for the data set).
void curve(int nf, int first, int count, const Run& run, double* p, ModelWorkspace& ws, std::vector<double>& out) {
  out.assign(static_cast<size_t>(count), 0.0);
  if (count == 0) return;
  apply_model_rule(nf, run.data, p);
  if (!evaluate_data_set(nf, run.data, run.settings.npar, p, ws)) return;
  const double* y = ws.ycalc.base();
  for (int n = 0; n < count; ++n) out[static_cast<size_t>(n)] = y[first + n];
}

}  // namespace

void peaks(int nf, const Run& run, ModelWorkspace& ws, Console& /*con*/) {
  const FitFunctions& d = run.data;
  const FitParameters& fp = run.params;
  const int npar = run.settings.npar;
  const int npeaks = fp.npeaks > 0 ? fp.npeaks : 0;
  check_index("ypeak", 2, 1, kMaxPeakCurves, npeaks == 0 ? 1 : npeaks);

  const int count = d.ndatin(nf) > 0 ? d.ndatin(nf) : 0;
  const int first = d.imin(nf);
  if (count > 0) {
    check_index("xi", 2, 1, kMaxPoints, first);
    check_index("xi", 2, 1, kMaxPoints, first + count - 1);
  }

  // parplot: a copy of par, so that neither the overrides nor a model that
  // writes back into its parameters touch the chain's state.
  Table<double, 1, kMaxPar> parplot{"parplot"};
  std::vector<double> yfit;
  for (int m = 1; m <= npar; ++m) parplot(m) = fp.par(m);
  curve(nf, first, count, run, parplot.base(), ws, yfit);

  std::vector<std::vector<double>> ypeak(static_cast<size_t>(npeaks));
  for (int ip = 1; ip <= npeaks; ++ip) {
    for (int m = 1; m <= npar; ++m) parplot(m) = fp.par(m);
    // A peak without entries leaves the parameters as they are: its curve is the fit.
    for (int j = 1; j <= fp.nparpeak(ip); ++j) parplot(fp.parpeak(ip, j)) = fp.valpeak(ip, j);
    curve(nf, first, count, run, parplot.base(), ws, ypeak[static_cast<size_t>(ip - 1)]);
  }

  std::vector<FmtValue> items;
  items.reserve(static_cast<size_t>(count) * static_cast<size_t>(3 + npeaks));
  const RecordFormat fmt = record_format("(100(e15.7,2x))");
  std::string text = free_record({peaks_header(d.opfit(nf), npeaks)});
  text += '\n';
  for (int n = 0; n < count; ++n) {
    const size_t u = static_cast<size_t>(n);
    items.clear();
    items.emplace_back(d.xi(nf, first + n));
    items.emplace_back(d.yi(nf, first + n));
    items.emplace_back(yfit[u]);
    for (int ip = 1; ip <= npeaks; ++ip) items.emplace_back(ypeak[static_cast<size_t>(ip - 1)][u]);
    text += fmt.format(items);
    text += '\n';
  }

  AtomicFile file(peaks_path(run.settings.folder));
  file.stream() << text;
  file.commit();
}

}  // namespace zorvik
