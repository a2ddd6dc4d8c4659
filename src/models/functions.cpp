#include "models/functions.h"

#include "core/errors.h"
#include "models/convolution.h"
#include "models/dielectric.h"
#include "models/vector_shapes.h"

namespace zorvik {

namespace {

// The molecular models (1 … 9): their radial distribution (data set 2) is
// convolved through the transform (g − B)/r, see fill_molecular_grid.
bool molecular(int opfit) { return opfit >= 1 && opfit <= 9; }

// The whole-curve dielectric models compute the spectrum of the whole fit range
// at once (see dielectric.h).
bool whole_curve(int opfit) { return opfit >= 50 && opfit <= 52; }

// The routine a data set runs: the vector one when the run asked for the vector
// line shapes and the model has one, else the per-point one.
BatchModel routine_of(int opfit, const ModelWorkspace& ws) {
  if (ws.vector_shapes)
    if (const BatchModel v = vector_model(opfit)) return v;
  return plain_model(opfit);
}

ModelEnv env_of(int i, const FitFunctions& d, ModelWorkspace& ws) { return ModelEnv{d.z.row(i), ws.con, &ws.curve}; }

// Options "c" (resolution in the third data column) and "cf" (resolution file)
// both convolve the data set with its resolution.
bool convolved(const FitFunctions& d, int i) { return d.fileop(i) == "c" || d.fileop(i) == "cf"; }

// The model of data set i on its whole convolution grid, into ws.yconv: one
// model evaluation per grid point, so that the kernel sums of all points reuse
// them. False (nothing written) when the model has no value for data set i.
bool fill_grid(BatchModel f, int i, const FitFunctions& d, double* par, ModelWorkspace& ws) {
  const ConvRange r = conv_grid_range(i, d);
  return f(env_of(i, d, ws), i, d.xc.row(i) + r.lo, ws.yconv.base() + r.lo, r.hi - r.lo + 1, par);
}

// The radial distribution of data set i on its convolution grid as
// (g(r) − B(r))/r, B the background polynomial: the background-free
// distribution divided by r, which the kernel sum convolves and conv turns back
// into c·r + B(r). Grid points below the data (index k ≤ 0) and at r ≤ 0
// hold 0: a pair distribution has no weight there, and at r = 0 the quotient
// would be 0/0. The grid rises with k, so those points are its first ones.
bool fill_molecular_grid(BatchModel f, int i, const FitFunctions& d, double* par, ModelWorkspace& ws) {
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

bool fill_model_grid(BatchModel f, int i, const FitFunctions& d, double* par, ModelWorkspace& ws) {
  return molecular(d.opfit(i)) ? fill_molecular_grid(f, i, d, par, ws) : fill_grid(f, i, d, par, ws);
}

}  // namespace

BatchModel plain_model(int opfit) {
  const ModelInfo* m = find_model(opfit);
  return m ? m->plain : nullptr;
}

std::string evaluation_problem(int i, const FitFunctions& d) {
  const int m = d.opfit(i);
  if (m <= 0) return "";
  if (!plain_model(m))
    return "model " + std::to_string(m) + " is not available in this version of the program";
  if (whole_curve(m) && d.ndatin(i) < min_curve_points(m))
    return "model " + std::to_string(m) + " needs at least " + std::to_string(min_curve_points(m)) +
           " points in the fit range (it has " + std::to_string(d.ndatin(i)) + ")";
  if (const ModelInfo* info = find_model(m); convolved(d, i) && (!info->convolvable || i < info->conv_first_slot))
    return "the convolution with the resolution (option \"" + d.fileop(i).str() + "\") of model " +
           std::to_string(m) + " is not available in this version of the program";
  return "";
}

void check_model_ready(int opfit, int npar, Console& con) {
  // The five-Lorentzian model reads p1 … p18 and nothing else.
  if (opfit == 103 && npar != 18) {
    con.line("Are you sure that you are fitting lorentzians???");
    throw ProgramStop(1);
  }
}

void functions(int j, int i, const FitFunctions& d, double& y, int /*npar*/, double* par, ModelWorkspace& ws) {
  const int opfit = d.opfit(i);
  const BatchModel f = routine_of(opfit, ws);
  if (!f) return;
  const ModelEnv env = env_of(i, d, ws);
  if (whole_curve(opfit)) {
    // The spectrum of the whole fit range is computed at its first point; the
    // later points return the values it left.
    if (i != 1 || j < d.imin(i)) return;
    if (j == d.imin(i)) {
      if (evaluate_data_set(i, d, 0, par, ws)) y = ws.ycalc(j);
      return;
    }
    check_index("epscalc", 1, 1, kMaxPoints, j - d.imin(i) + 1);
    y = ws.curve.epscalc(j - d.imin(i) + 1);
    return;
  }
  if (!convolved(d, i)) {
    const double x = d.xi(i, j);
    f(env, i, &x, &y, 1, par);
    return;
  }
  // The grid is filled at the first point of the fit range and serves the
  // later points of the same data set. A data set beyond the model's parameter
  // blocks has no value at any point.
  if (j == d.imin(i)) {
    if (!fill_model_grid(f, i, d, par, ws)) return;
  } else if (const ModelInfo* m = find_model(opfit); i < m->first_slot || i > m->last_slot) {
    return;
  }
  conv(i, ws.yconv, j, d, y, par, opfit);
}

bool evaluate_data_set(int i, const FitFunctions& d, int /*npar*/, double* par, ModelWorkspace& ws) {
  const int opfit = d.opfit(i);
  const BatchModel f = routine_of(opfit, ws);
  if (!f) return false;
  if (whole_curve(opfit) && i != 1) return false;
  const int first = d.imin(i);
  const int n = d.ndatin(i);
  if (n <= 0) return true;
  // The fit range was validated against the table capacity when it was read.
  check_index("xi", 2, 1, kMaxPoints, first + n - 1);
  if (convolved(d, i)) {
    if (!fill_model_grid(f, i, d, par, ws)) return false;
    conv_range(i, ws.yconv, first, n, d, ws.ycalc, par, opfit);
    return true;
  }
  return f(env_of(i, d, ws), i, d.xi.row(i) + first, ws.ycalc.base() + first, n, par);
}

}  // namespace zorvik
