#include "models/functions.h"

#include "core/errors.h"
#include "models/convolution.h"
#include "models/dielectric.h"

namespace zorvik {

namespace {

// Model numbers from here on are the simple functions (100 … 103, 110 … 125),
// which are convolved by sampling them on the extended grid. The convolved
// radial distributions (1 … 9) need their own grid transform, and the
// dielectric models have no convolved form.
constexpr int kFirstSimpleModel = 100;

// The whole-curve dielectric models compute the spectrum of the whole fit range
// at once (see dielectric.h).
bool whole_curve(int opfit) { return opfit >= 50 && opfit <= 52; }

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
  if (convolved(d, i) && (m < kFirstSimpleModel || !find_model(m)->convolvable))
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
  const BatchModel f = plain_model(opfit);
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
  if (opfit < kFirstSimpleModel) return;
  // The grid is filled at the first point of the fit range and serves the
  // later points of the same data set. A data set beyond the model's parameter
  // blocks has no value at any point.
  if (j == d.imin(i)) {
    if (!fill_grid(f, i, d, par, ws)) return;
  } else if (const ModelInfo* m = find_model(opfit); i < m->first_slot || i > m->last_slot) {
    return;
  }
  conv(i, ws.yconv, j, d, y, par, opfit);
}

bool evaluate_data_set(int i, const FitFunctions& d, int /*npar*/, double* par, ModelWorkspace& ws) {
  const int opfit = d.opfit(i);
  const BatchModel f = plain_model(opfit);
  if (!f) return false;
  if (whole_curve(opfit) && i != 1) return false;
  const int first = d.imin(i);
  const int n = d.ndatin(i);
  if (n <= 0) return true;
  // The fit range was validated against the table capacity when it was read.
  check_index("xi", 2, 1, kMaxPoints, first + n - 1);
  if (convolved(d, i)) {
    if (opfit < kFirstSimpleModel || !fill_grid(f, i, d, par, ws)) return false;
    conv_range(i, ws.yconv, first, n, d, ws.ycalc, par, opfit);
    return true;
  }
  return f(env_of(i, d, ws), i, d.xi.row(i) + first, ws.ycalc.base() + first, n, par);
}

}  // namespace zorvik
