#include "models/functions.h"

#include "core/errors.h"
#include "models/convolution.h"
#include "models/dielectric.h"

namespace zorvik {

namespace {

using DataSetModel = ModelWorkspace::DataSetModel;

// The descriptor and routine of data set i, from the workspace when its model
// number (and the vector choice) are those they were resolved for. The routine
// is the vector one when the run asked for the vector line shapes and the model
// has one, else the per-point one; a number without a descriptor has neither.
const DataSetModel& model_of(int i, const FitFunctions& d, ModelWorkspace& ws) {
  const int number = d.opfit(i);
  DataSetModel& m = ws.models[static_cast<size_t>(i)];
  if (m.number != number || m.vector != ws.vector_shapes) {
    m.number = number;
    m.vector = ws.vector_shapes;
    m.info = find_model(number);
    m.routine = !m.info ? nullptr : m.vector && m.info->vector ? m.info->vector : m.info->plain;
  }
  return m;
}

// The molecular models convolve their radial distribution (data set 2)
// through the transform (g − B)/r, see fill_molecular_grid.
bool radial(const DataSetModel& m) { return m.info->family == ModelFamily::molecular; }

ModelEnv env_of(int i, const FitFunctions& d, ModelWorkspace& ws) { return ModelEnv{d.z.row(i), ws.con, &ws.curve, ws.failed_inversion}; }

// Options "c" (resolution in the third data column) and "cf" (resolution file)
// both convolve the data set with its resolution.
bool convolved(const FitFunctions& d, int i) { return d.fileop(i) == "c" || d.fileop(i) == "cf"; }

// The model of data set i on its whole convolution grid, into ws.yconv: one
// model evaluation per grid point, so that the kernel sums of all points reuse
// them. False (nothing written) when the model has no value for data set i.
bool fill_grid(BatchModel f, int i, const FitFunctions& d, const double* par, ModelWorkspace& ws) {
  const ConvRange r = conv_grid_range(i, d);
  return f(env_of(i, d, ws), i, d.xc.row(i) + r.lo, ws.yconv.base() + r.lo, r.hi - r.lo + 1, par);
}

// The radial distribution of data set i on its convolution grid as
// (g(r) − B(r))/r, B the background polynomial: the background-free
// distribution divided by r, which the kernel sum convolves and conv turns back
// into c·r + B(r). Grid points below the data (index k ≤ 0) and at r ≤ 0
// hold 0: a pair distribution has no weight there, and at r = 0 the quotient
// would be 0/0. The grid rises with k, so those points are its first ones.
bool fill_molecular_grid(BatchModel f, int i, const FitFunctions& d, const double* par, ModelWorkspace& ws) {
  const ConvRange r = conv_grid_range(i, d);
  double* g = ws.yconv.base();
  const double* x = d.xc.row(i);
  int first = r.lo > 1 ? r.lo : 1;
  while (first <= r.hi && !(x[first] > 0.0)) ++first;
  for (int k = r.lo; k < first; ++k) g[k] = 0.0;
  if (first > r.hi) return true;
  if (!f(env_of(i, d, ws), i, x + first, g + first, r.hi - first + 1, par)) return false;
  for (int k = first; k <= r.hi; ++k) g[k] = (g[k] - background_polynomial(x[k], par)) / x[k];
  return true;
}

bool fill_model_grid(const DataSetModel& m, int i, const FitFunctions& d, const double* par, ModelWorkspace& ws) {
  return radial(m) ? fill_molecular_grid(m.routine, i, d, par, ws) : fill_grid(m.routine, i, d, par, ws);
}

}  // namespace

std::string evaluation_problem(int i, const FitFunctions& d) {
  const int m = d.opfit(i);
  if (!is_fitted(m)) return "";
  const ModelInfo* info = find_model(m);
  if (!info || !info->plain) return "model " + std::to_string(m) + " is not available in this version of the program";
  if (info->whole_curve && d.ndatin(i) < info->min_points)
    return "model " + std::to_string(m) + " needs at least " + std::to_string(info->min_points) +
           " points in the fit range (it has " + std::to_string(d.ndatin(i)) + ")";
  if (convolved(d, i) && !info->convolvable_in(i))
    return "the convolution with the resolution (option \"" + d.fileop(i).str() + "\") of model " +
           std::to_string(m) + " is not available in this version of the program";
  return "";
}

void check_model_ready(int opfit, int npar, Console& con) {
  const ModelInfo* m = find_model(opfit);
  if (m && m->required_npar != 0 && npar != m->required_npar) {
    con.line(m->npar_message);
    throw ProgramStop(1);
  }
}

void apply_model_rule(int i, const FitFunctions& d, double* par) {
  if (d.ndatin(i) <= 0) return;
  const ModelInfo* m = find_model(d.opfit(i));
  if (m != nullptr && m->rule != nullptr) m->rule(i, par);
}

bool evaluate_data_set(int i, const FitFunctions& d, int /*npar*/, const double* par, ModelWorkspace& ws) {
  const DataSetModel& m = model_of(i, d, ws);
  const BatchModel f = m.routine;
  if (!f) return false;
  if (m.info->whole_curve && i != 1) return false;
  const int first = d.imin(i);
  const int n = d.ndatin(i);
  if (n <= 0) return true;
  // The fit range was validated against the table capacity when it was read.
  check_index("xi", 2, 1, kMaxPoints, first + n - 1);
  if (convolved(d, i)) {
    if (!fill_model_grid(m, i, d, par, ws)) return false;
    conv_range(i, ws.yconv, first, n, d, ws.ycalc, par, radial(m));
    return true;
  }
  return f(env_of(i, d, ws), i, d.xi.row(i) + first, ws.ycalc.base() + first, n, par);
}

}  // namespace zorvik
