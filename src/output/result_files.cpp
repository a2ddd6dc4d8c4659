// Result files of the fitted curves and the initial-curve files.
//
// Every file is built in memory and written in one piece: a result file is
// rewritten at every write interval of the chain, so its records are formatted
// with one formatter call per data set (the format's group is re-used for every
// line) instead of one small string per number.
#include "output/result_files.h"

#include <span>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/files.h"
#include "core/free_format.h"
#include "core/output_paths.h"
#include "core/record_format.h"
#include "models/functions.h"

namespace zorvik {

namespace {

// Parameters p2 … p7: the polynomial background B(r) = p2 + p3·r + … + p7·r⁵ of
// the radial distribution function of the molecular models.
constexpr int kFirstBackground = 2;
constexpr int kLastBackground = 7;

// The molecular models (structure factor and radial distribution function of a
// rigid molecule): their result files carry the molecular term as a fifth column.
bool is_molecular(int opfit) { return in_family(opfit, ModelFamily::molecular); }

// The fit range imin … imin + ndatin − 1 of data set k, checked against the
// capacity of the point tables; an empty range when ndatin is not positive.
struct FitRange {
  int first = 1;
  int count = 0;
  int last() const { return first + count - 1; }
};

FitRange fit_range(const FitFunctions& d, int k) {
  FitRange r;
  r.count = d.ndatin(k);
  if (r.count <= 0) {
    r.count = 0;
    return r;
  }
  r.first = d.imin(k);
  check_index("xi", 2, 1, kMaxPoints, r.first);
  check_index("xi", 2, 1, kMaxPoints, r.last());
  return r;
}

// The model of data set k over its fit range at the parameters par, left in
// ws.ycalc (indexed like xi). Where the model has no value for this data set the
// values are 0. The model's rule sets its derived parameters in par first (the
// broken line's joined intercept).
void model_values(int k, const FitRange& r, const FitFunctions& d, int npar, double* par, ModelWorkspace& ws) {
  if (r.count == 0) return;
  apply_model_rule(k, d, par);
  if (!evaluate_data_set(k, d, npar, par, ws)) {
    double* y = ws.ycalc.base();
    for (int j = r.first; j <= r.last(); ++j) y[j] = 0.0;
  }
}

// One result file of WriteMode::curves, the curves at the parameters par.
void write_result_file(int k, const Run& run, double* par, ModelWorkspace& ws, std::vector<FmtValue>& items,
                       std::vector<double>& calc) {
  const FitFunctions& d = run.data;
  const int npar = run.settings.npar;
  const FitRange r = fit_range(d, k);
  const bool molecular = is_molecular(d.opfit(k));
  const double* x = r.count > 0 ? d.xi.row(k) : nullptr;
  const double* y = r.count > 0 ? d.yi.row(k) : nullptr;

  model_values(k, r, d, npar, par, ws);
  const double* ycalc = ws.ycalc.base();
  if (molecular && r.count > 0) {
    // The full model is kept aside; the second evaluation, without the
    // background (p2 … p7 set to zero in a copy of the parameters), reuses
    // ws.ycalc. Both evaluations run over the whole data set from its first
    // point, so a convolved radial distribution builds its grid each time with
    // the parameters it is evaluated with.
    calc.assign(ycalc + r.first, ycalc + r.first + r.count);
    double off[kMaxPar + 1];
    for (int m = 0; m <= kMaxPar; ++m) off[m] = par[m];
    for (int m = kFirstBackground; m <= kLastBackground; ++m) off[m] = 0.0;
    model_values(k, r, d, npar, off, ws);
  }

  items.clear();
  items.reserve(size_t(r.count) * (molecular ? 5 : 4));
  for (int j = r.first, n = 0; n < r.count; ++j, ++n) {
    const double yc = molecular ? calc[size_t(n)] : ycalc[j];
    items.emplace_back(x[j]);
    items.emplace_back(y[j]);
    items.emplace_back(yc);
    items.emplace_back(y[j] - yc);
    if (molecular) items.emplace_back(ycalc[j]);  // the molecular term alone
  }
  // The group of the format takes one point; the formatter starts a new line
  // with the group again for every further point, so the whole fit range is one
  // call. A line ends at its last value (no trailing blanks).
  const RecordFormat fmt = record_format(molecular ? "(5(e15.7,2x))" : "(4(e15.7,2x))");
  static const std::string header4 = free_record({"#x ydat ycalc diff"});
  static const std::string header5 = free_record({"#x ydat ycalc diff RDF"});

  AtomicFile file(d.nomout(k).str());
  std::ostream& out = file.stream();
  out << (molecular ? header5 : header4) << '\n';
  if (!items.empty()) out << fmt.format(items) << '\n';
  file.commit();
}

// curves: one result file per fitted data set.
void write_result_files(const Run& run, ModelWorkspace& ws) {
  std::vector<FmtValue> items;
  std::vector<double> calc;
  ParameterCopy par(run.params);
  for (int k = 1; k <= run.settings.nfunc; ++k) {
    if (!is_fitted(run.data.opfit(k))) continue;
    write_result_file(k, run, par.v, ws, items, calc);
  }
}

// listing: every data set appended to the run's output file.
void append_listing(const Run& run, ModelWorkspace& ws) {
  const FitFunctions& d = run.data;
  ParameterCopy par(run.params);
  const RecordFormat fmt = record_format("(6(es15.7,2x))");
  static const std::string header = free_record({"#x ydat ycalc diff"});

  std::string text;
  for (int k = 1; k <= run.settings.nfunc; ++k) {
    const FitRange r = fit_range(d, k);
    text += free_record({"Function:", d.nomout(k)});
    text += '\n';
    text += header;
    text += '\n';
    if (r.count == 0) continue;
    model_values(k, r, d, run.settings.npar, par.v, ws);
    const double* x = d.xi.row(k);
    const double* y = d.yi.row(k);
    const double* ycalc = ws.ycalc.base();
    text.reserve(text.size() + size_t(r.count) * 68);
    for (int j = r.first; j <= r.last(); ++j) {
      // Four values per line: the format's group would take six, so each point
      // is its own record.
      const FmtValue rec[] = {x[j], y[j], ycalc[j], y[j] - ycalc[j]};
      text += fmt.format(rec);
      text += '\n';
    }
  }

  const std::string path = d.nomout(0).str();
  std::ofstream out = open_output(path, /*append=*/true);
  out << text;
  out.close();
  if (!out) throw FatalError("Cannot write file \"" + path + "\"");
}

}  // namespace

void outwrite(WriteMode writemode, const Run& run, ModelWorkspace& ws, Console& con) {
  switch (writemode) {
    case WriteMode::curves:
      write_result_files(run, ws);
      break;
    case WriteMode::listing:
      append_listing(run, ws);
      break;
    case WriteMode::molecules:
    case WriteMode::molecule_views:
      write_molecules(writemode, run, con);
      break;
  }
}

void write_initial_curves(const RunSettings& settings, const FitFunctions& d, FitParameters& params,
                          ModelWorkspace& ws) {
  for (int i = 1; i <= settings.nfunc; ++i) {
    if (!is_fitted(d.opfit(i))) continue;
    const FitRange r = fit_range(d, i);
    model_values(i, r, d, settings.npar, params.par.base(), ws);

    std::string text = "#x y ycalc\n";
    if (r.count > 0) {
      const double* x = d.xi.row(i);
      const double* y = d.yi.row(i);
      const double* ycalc = ws.ycalc.base();
      text.reserve(text.size() + size_t(r.count) * 64);
      for (int j = r.first; j <= r.last(); ++j) {
        const FreeItem line[] = {x[j], y[j], ycalc[j]};
        text += free_record(line);
        text += '\n';
      }
    }
    AtomicFile file(initial_curve_path(i));
    file.stream() << text;
    file.commit();
  }
}

}  // namespace zorvik
