#include "analysis/polish.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <string>

#include "core/errors.h"
#include "models/catalogue.h"
#include "models/functions.h"
#include "sampler/changepar.h"
#include "sampler/compara.h"

namespace zorvik {

namespace {

constexpr int kMaxIterations = 200;
// λ beyond this: no step along the gradient lowers χ² any more, the state is a
// minimum to the precision of the arithmetic.
constexpr double kMaxLambda = 1e16;
// An accepted step that lowers χ² by less than this fraction, or moves no
// parameter by more than kStepTolerance of its value, ends the search.
constexpr double kChisqTolerance = 1e-15;
constexpr double kStepTolerance = 1e-11;

// The weighted residuals of a trial state, as the chain would make that state.
class Residuals {
 public:
  Residuals(const Run& run, ModelWorkspace& ws) : run_(run), ws_(ws), state_(run.params) {
    // The free parameters that move by themselves: not those that follow the
    // master of an equality group.
    for (int k = 1; k <= run.params.nfit; ++k) {
      const int i = run.params.parfit(k);
      if (!follows_a_master(i)) moving.push_back(i);
    }
  }

  std::vector<int> moving;  // parameter numbers of the coordinates
  long long evaluations = 0;

  // r(x) into r; false when a model has no finite value there.
  bool operator()(const std::vector<double>& x, std::vector<double>& r) {
    ++evaluations;
    set_state(x);
    double par[kMaxPar + 1];
    std::copy(state_.par.base(), state_.par.base() + kMaxPar + 1, par);
    r.clear();
    const FitFunctions& d = run_.data;
    try {
      for (int i = 1; i <= run_.settings.nfunc; ++i) {
        if (!is_fitted(d.opfit(i)) || !evaluate_data_set(i, d, run_.settings.npar, par, ws_)) continue;
        const double* y = d.yi.row(i);
        const double* s = d.sigmae.row(i);
        const double* m = ws_.ycalc.base();
        for (int j = d.imin(i); j < d.imin(i) + d.ndatin(i); ++j) {
          if (s[j] > 0.0) r.push_back((y[j] - m[j]) / s[j]);
          if (s[j] < 0.0) r.push_back(std::copysign(std::sqrt(poisson_deviance(y[j], m[j])), y[j] - m[j]));
        }
      }
    } catch (const ProgramStop&) {
      return false;  // a model that cannot be evaluated there (a failed inversion)
    }
    for (double v : r)
      if (!std::isfinite(v)) return false;
    return true;
  }

  // The free parameters of the state made from x, in the order of parfit.
  std::vector<double> free_values(const std::vector<double>& x) {
    set_state(x);
    std::vector<double> v;
    for (int k = 1; k <= run_.params.nfit; ++k) v.push_back(state_.par(run_.params.parfit(k)));
    return v;
  }

 private:
  bool follows_a_master(int i) const {
    const FitParameters& p = run_.params;
    for (int g = 1; g <= p.ngroups; ++g)
      for (int m = 2; m <= p.ign(g); ++m)
        if (p.parig(g, m) == i) return true;
    return false;
  }
  void set_state(const std::vector<double>& x) {
    for (size_t k = 0; k < moving.size(); ++k) state_.par(moving[k]) = x[k];
    groups_master_wins(state_);
    order_relations(state_);
  }

  const Run& run_;
  ModelWorkspace& ws_;
  FitParameters state_;
};

double sum_of_squares(const std::vector<double>& r) {
  double s = 0.0;
  for (double v : r) s += v * v;
  return s;
}

// Solves the symmetric positive definite system a·x = b (n×n, row-major) by
// Cholesky's factorisation, in place; false when a is not positive definite.
bool cholesky_solve(std::vector<double> a, std::vector<double>& b, size_t n) {
  for (size_t j = 0; j < n; ++j) {
    double d = a[j * n + j];
    for (size_t k = 0; k < j; ++k) d -= a[j * n + k] * a[j * n + k];
    if (!(d > 0.0)) return false;
    a[j * n + j] = std::sqrt(d);
    for (size_t i = j + 1; i < n; ++i) {
      double s = a[i * n + j];
      for (size_t k = 0; k < j; ++k) s -= a[i * n + k] * a[j * n + k];
      a[i * n + j] = s / a[j * n + j];
    }
  }
  for (size_t i = 0; i < n; ++i) {
    for (size_t k = 0; k < i; ++k) b[i] -= a[i * n + k] * b[k];
    b[i] /= a[i * n + i];
  }
  for (size_t i = n; i-- > 0;) {
    for (size_t k = i + 1; k < n; ++k) b[i] -= a[k * n + i] * b[k];
    b[i] /= a[i * n + i];
  }
  return true;
}

struct Search {
  std::vector<double> x, lo, hi, r;
  double chisq = 0.0;
  std::vector<double> a, g, scale;  // JᵀJ, Jᵀr, Moré's D
  double lambda = 1e-3;
};

// JᵀJ and Jᵀr at s.x by central differences (one-sided where a limit is
// nearer than the step; a column of zeros where the range is narrower).
bool normal_equations(Residuals& res, Search& s) {
  const size_t n = s.x.size(), m = s.r.size();
  const double rel = std::cbrt(DBL_EPSILON);
  std::vector<std::vector<double>> jac(n, std::vector<double>(m, 0.0));
  std::vector<double> plus, minus;
  for (size_t k = 0; k < n; ++k) {
    const double h = rel * (s.x[k] != 0.0 ? std::fabs(s.x[k]) : 1.0);
    std::vector<double> xp = s.x, xm = s.x;
    xp[k] = std::min(s.x[k] + h, s.hi[k]);
    xm[k] = std::max(s.x[k] - h, s.lo[k]);
    if (!(xp[k] > xm[k])) continue;
    if (!res(xp, plus) || !res(xm, minus) || plus.size() != m || minus.size() != m) return false;
    for (size_t j = 0; j < m; ++j) jac[k][j] = (plus[j] - minus[j]) / (xp[k] - xm[k]);
  }
  s.a.assign(n * n, 0.0);
  s.g.assign(n, 0.0);
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = 0; j < m; ++j) s.g[i] += jac[i][j] * s.r[j];
    for (size_t k = 0; k <= i; ++k) {
      double sum = 0.0;
      for (size_t j = 0; j < m; ++j) sum += jac[i][j] * jac[k][j];
      s.a[i * n + k] = s.a[k * n + i] = sum;
    }
    s.scale[i] = std::max(s.scale[i], std::sqrt(s.a[i * n + i]));
  }
  return true;
}

// The damped step from s.x, the parameters held at a limit left out; false
// when the damped system cannot be solved.
bool damped_step(const Search& s, std::vector<double>& next) {
  const size_t n = s.x.size();
  std::vector<double> a = s.a, b(n);
  for (size_t i = 0; i < n; ++i) {
    const bool held = (s.x[i] <= s.lo[i] && s.g[i] > 0.0) || (s.x[i] >= s.hi[i] && s.g[i] < 0.0);
    const double d = s.scale[i] > 0.0 ? s.scale[i] : 1.0;
    a[i * n + i] += s.lambda * d * d;
    b[i] = -s.g[i];
    if (!held && a[i * n + i] > 0.0) continue;
    for (size_t k = 0; k < n; ++k) a[i * n + k] = a[k * n + i] = 0.0;
    a[i * n + i] = 1.0;
    b[i] = 0.0;
  }
  if (!cholesky_solve(std::move(a), b, n)) return false;
  next = s.x;
  for (size_t i = 0; i < n; ++i) next[i] = std::clamp(s.x[i] + b[i], s.lo[i], s.hi[i]);
  return true;
}

// One iteration: the normal equations, then steps of growing damping until one
// lowers χ². Returns the reason to stop, empty to go on.
std::string iterate(Residuals& res, Search& s, bool& converged) {
  if (!normal_equations(res, s)) return "a model has no finite value near the state";
  std::vector<double> next, r;
  while (true) {
    if (s.lambda > kMaxLambda) {
      converged = true;
      return "no step lowers the chi-square any further";
    }
    if (damped_step(s, next) && res(next, r) && r.size() == s.r.size()) {
      const double chisq = sum_of_squares(r);
      if (chisq < s.chisq) {
        double moved = 0.0;
        for (size_t i = 0; i < next.size(); ++i)
          moved = std::max(moved, std::fabs(next[i] - s.x[i]) / std::max(std::fabs(s.x[i]), DBL_MIN));
        const double drop = (s.chisq - chisq) / s.chisq;
        s.x = next, s.r = r, s.chisq = chisq;
        s.lambda = std::max(s.lambda / 10.0, 1e-12);
        converged = drop < kChisqTolerance || moved < kStepTolerance;
        return converged ? "the step and the change of the chi-square fell below their tolerances" : "";
      }
    }
    s.lambda *= 10.0;
  }
}

}  // namespace

ReportOptimum polish_optimum(const Run& run, ModelWorkspace& ws, const std::vector<double>& start) {
  ReportOptimum o;
  o.method = "Levenberg-Marquardt";
  Console* const console = ws.con;
  ws.con = nullptr;  // the trial states stay off the console
  Residuals res(run, ws);
  Search s;
  for (const int i : res.moving) {
    int k = 1;
    while (run.params.parfit(k) != i) ++k;
    s.lo.push_back(run.params.parmin(i));
    s.hi.push_back(run.params.parmax(i));
    s.x.push_back(std::clamp(start[static_cast<size_t>(k - 1)], s.lo.back(), s.hi.back()));
  }
  s.scale.assign(s.x.size(), 0.0);
  if (!res(s.x, s.r)) {
    o.note = "the start has no finite chi-square";
    s.chisq = std::nan("");
  } else if (s.x.empty()) {
    s.chisq = sum_of_squares(s.r);
    o.converged = true;
    o.note = "no free parameter";
  } else {
    s.chisq = sum_of_squares(s.r);
    int iteration = 0;
    while (o.note.empty() && iteration++ < kMaxIterations) o.note = iterate(res, s, o.converged);
    if (o.note.empty()) o.note = "the iterations ran out (" + std::to_string(kMaxIterations) + ")";
  }
  o.values = res.free_values(s.x);
  o.chisq = s.chisq;
  o.evaluations = res.evaluations;
  ws.con = console;
  return o;
}

}  // namespace zorvik
