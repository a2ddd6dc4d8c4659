#include "models/functions.h"

#include "core/errors.h"

namespace zorvik {

BatchModel plain_model(int opfit) {
  const ModelInfo* m = find_model(opfit);
  return m ? m->plain : nullptr;
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

void functions(int j, int i, const FitFunctions& d, double& y, int /*npar*/, double* par, ModelWorkspace& ws) {
  const double x = d.xi(i, j);
  const ModelEnv env{d.z.row(i), ws.con};
  if (const BatchModel f = plain_model(d.opfit(i))) f(env, i, &x, &y, 1, par);
}

bool evaluate_data_set(int i, const FitFunctions& d, int /*npar*/, double* par, ModelWorkspace& ws) {
  const BatchModel f = plain_model(d.opfit(i));
  if (!f) return false;
  const int first = d.imin(i);
  const int n = d.ndatin(i);
  if (n <= 0) return true;
  // The fit range was validated against the table capacity when it was read.
  check_index("xi", 2, 1, kMaxPoints, first + n - 1);
  const ModelEnv env{d.z.row(i), ws.con};
  return f(env, i, d.xi.row(i) + first, ws.ycalc.base() + first, n, par);
}

}  // namespace zorvik
