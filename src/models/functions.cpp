#include "models/functions.h"

#include <cmath>

#include "core/errors.h"
#include "models/lineshapes.h"

namespace zorvik {

namespace {

// A per-point model run over a range of points. The model is inlined into the
// loop, so a data set costs one indirect call, not one per point. A model either
// has a value for data set i at every point or at none, so the first point
// decides.
template <auto Model>
bool batch(int i, const double* x, double* y, int n, double* p) {
  for (int k = 0; k < n; ++k)
    if (!Model(i, x[k], p, y[k])) return false;
  return true;
}

// The Gaussian models with their x-independent factors computed once per call
// (the same numbers as point by point, see gauss_factors).
bool gauss_batch(int /*i*/, const double* __restrict x, double* __restrict y, int n, double* p) {
  const GaussFactors f = gauss_factors(p);
  const double b0 = p[1], b1 = p[2], b2 = p[3];
  for (int k = 0; k < n; ++k) y[k] = add_three_gaussians(b0 + b1 * x[k] + b2 * (x[k] * x[k]), x[k], f);
  return true;
}

bool gaussl_batch(int /*i*/, const double* __restrict x, double* __restrict y, int n, double* p) {
  const GaussFactors f = gauss_factors(p);
  const double b0 = std::pow(10.0, p[1]), b1 = std::pow(10.0, p[2]), b2 = std::pow(10.0, p[3]);
  for (int k = 0; k < n; ++k) y[k] = add_three_gaussians(b0 + b1 * x[k] + b2 * (x[k] * x[k]), x[k], f);
  return true;
}

}  // namespace

BatchModel plain_model(int opfit) {
  switch (opfit) {
    case 100: return &batch<poli>;
    case 101: return &gauss_batch;
    case 102: return &gaussl_batch;
    case 103: return &batch<lorentz>;
    case 110: return &batch<l2>;
    case 114: return &batch<kww>;
    case 115: return &batch<lll>;
    case 116: return &batch<gll>;
    case 117: return &batch<kink>;
    case 122: return &batch<dll>;
    case 123: return &batch<gvv>;
    case 124: return &batch<sebtest>;
    case 125: return &batch<lxlxl>;
    default: return nullptr;
  }
}

std::string evaluation_problem(int i, const FitFunctions& d) {
  const int m = d.opfit(i);
  if (m <= 0) return "";
  if (!plain_model(m))
    return "model " + std::to_string(m) + " is not available in this version of the program";
  if (d.fileop(i) == "c" || d.fileop(i) == "cf")
    return "the convolution with the resolution (option \"" + d.fileop(i).str() +
           "\") is not available in this version of the program";
  return "";
}

void check_model_ready(int opfit, int npar, Console& con) {
  // The five-Lorentzian model reads p1 … p18 and nothing else.
  if (opfit == 103 && npar != 18) {
    con.line("Are you sure that you are fitting lorentzians???");
    throw ProgramStop(1);
  }
}

void functions(int j, int i, const FitFunctions& d, double& y, int /*npar*/, double* par, ModelWorkspace& /*ws*/) {
  const double x = d.xi(i, j);
  if (const BatchModel f = plain_model(d.opfit(i))) f(i, &x, &y, 1, par);
}

bool evaluate_data_set(int i, const FitFunctions& d, int /*npar*/, double* par, ModelWorkspace& ws) {
  const BatchModel f = plain_model(d.opfit(i));
  if (!f) return false;
  const int first = d.imin(i);
  const int n = d.ndatin(i);
  if (n <= 0) return true;
  // The fit range was validated against the table capacity when it was read.
  check_index("xi", 2, 1, kMaxPoints, first + n - 1);
  return f(i, d.xi.row(i) + first, ws.ycalc.base() + first, n, par);
}

}  // namespace zorvik
