#include "sampler/adaptive.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "sampler/changepar.h"

namespace zorvik {

namespace {

constexpr double kLn10 = 2.302585092994046;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kInf = std::numeric_limits<double>::infinity();
// The acceptance the warm-up's scale search aims at (Roberts, Gelman and Gilks,
// Ann. Appl. Probab. 7 (1997) 110: optimal for a random walk in many dimensions).
constexpr double kTargetAcceptance = 0.234;
// The smallest scale λ of the warm-up: a step 1e-12 of the learned one.
constexpr double kMinLogLambda = -55.262042231857095;  // ln 1e-24

enum class Scale { None, Additive, Relative, Log10Step, LogAbsolute };

// How a parameter of step kind `kind` moves in the adaptive mode (None: it
// does not move, as in the other modes).
Scale scale_of(StepKind kind) {
  switch (kind) {
    case StepKind::Normal:
    case StepKind::Adaptive: return Scale::Additive;
    case StepKind::Proportional: return Scale::Relative;
    case StepKind::Logarithmic: return Scale::Log10Step;
    case StepKind::AdaptiveLog: return Scale::LogAbsolute;
    case StepKind::Unmoved: break;
  }
  return Scale::None;
}

}  // namespace

void log_limits(double sign, double lo, double hi, double& ulo, double& uhi) {
  if (sign > 0.0) {
    ulo = lo > 0.0 ? std::log(lo) : -kInf;
    uhi = hi > 0.0 ? std::log(hi) : kInf;
  } else {
    ulo = hi < 0.0 ? std::log(-hi) : -kInf;
    uhi = lo < 0.0 ? std::log(-lo) : kInf;
  }
}

bool cholesky(const double* a, double* l, int d) {
  for (int j = 0; j < d; ++j) {
    double diag = a[j * d + j];
    for (int k = 0; k < j; ++k) diag -= l[j * d + k] * l[j * d + k];
    if (!(diag > 0.0)) return false;
    const double ljj = std::sqrt(diag);
    l[j * d + j] = ljj;
    for (int i = j + 1; i < d; ++i) {
      double v = a[i * d + j];
      for (int k = 0; k < j; ++k) v -= l[i * d + k] * l[j * d + k];
      l[i * d + j] = v / ljj;
    }
    for (int c = j + 1; c < d; ++c) l[j * d + c] = 0.0;
  }
  return true;
}

double Coordinates::coordinate(int k, double v) const {
  return logscale[static_cast<size_t>(k)] ? std::log(std::fabs(v)) : v;
}

double Coordinates::value(int k, double u, double old) const {
  if (!logscale[static_cast<size_t>(k)]) return u;
  return old < 0.0 ? -std::exp(u) : std::exp(u);
}

bool Coordinates::inside(const FitParameters& p, int i, double v) {
  return std::isfinite(v) && v >= p.parmin(i) && v <= p.parmax(i);
}

void Coordinates::set(const FitParameters& p) {
  index.clear();
  logscale.clear();
  hastings.clear();
  sd0.clear();
  width.clear();
  for (int k = 1; k <= p.nfit; ++k) {
    const int i = p.parfit(k);
    const double step = std::fabs(p.move(i));
    const double v = p.par(i);
    const Scale sc = scale_of(p.kind(i));
    // A parameter whose limits are equal is fixed.
    if (sc == Scale::None || !(step > 0.0) || !(p.parmax(i) > p.parmin(i))) continue;
    const bool log = sc == Scale::Log10Step || sc == Scale::LogAbsolute;
    // A value of 0 has no logarithm and does not move by a relative step.
    if ((log || sc == Scale::Relative) && !(std::isfinite(v) && v != 0.0)) continue;
    index.push_back(i);
    logscale.push_back(log ? 1 : 0);
    hastings.push_back(sc == Scale::LogAbsolute ? 1 : 0);
    if (log) {
      double ulo, uhi;
      log_limits(v < 0.0 ? -1.0 : 1.0, p.parmin(i), p.parmax(i), ulo, uhi);
      width.push_back(std::isfinite(ulo) && std::isfinite(uhi) ? uhi - ulo : kMaxLogWidth);
    } else {
      width.push_back(p.parmax(i) - p.parmin(i));
    }
    switch (sc) {
      case Scale::Relative: sd0.push_back(step * std::fabs(v)); break;
      case Scale::Log10Step: sd0.push_back(step * kLn10); break;
      case Scale::LogAbsolute: sd0.push_back(step / std::fabs(v)); break;
      default: sd0.push_back(step); break;
    }
  }
  d = static_cast<int>(index.size());
}

void AdaptiveMetropolis::start(const Run& run) {
  const RunSettings& s = run.settings;
  set(run.params);
  const size_t dd = static_cast<size_t>(d) * static_cast<size_t>(d);
  mean.assign(static_cast<size_t>(d), 0.0);
  m2.assign(dd, 0.0);
  factor.assign(dd, 0.0);
  work.assign(dd, 0.0);
  trial.assign(dd, 0.0);
  z.assign(static_cast<size_t>(d), 0.0);
  u.assign(static_cast<size_t>(d), 0.0);
  n = 0;
  t0 = std::max(kLearnPerDim * d, kLearnMin);
  burn = std::max({static_cast<long>(kWarmupShare * static_cast<double>(s.ncycles)), kWarmupPerDim * d, kWarmupMin});
  frozen = d == 0;
  // C_0 = s_d·diag(σ0²).
  const double sd = d > 0 ? kOptimalScale / std::sqrt(static_cast<double>(d)) : 0.0;
  for (int k = 0; k < d; ++k) factor[static_cast<size_t>(k * d + k)] = sd * sd0[static_cast<size_t>(k)];
  bound_scale();
  log_lambda = std::min(0.0, max_log_lambda);
}

void AdaptiveMetropolis::restart(long burn_steps) {
  std::fill(mean.begin(), mean.end(), 0.0);
  std::fill(m2.begin(), m2.end(), 0.0);
  n = 0;
  burn = burn_steps;
  frozen = burn <= 0;
  log_lambda = std::min(0.0, max_log_lambda);
}

void AdaptiveMetropolis::gaussians(StepUniforms r, int first) {
  for (int k = 0; k < d; k += 2) {
    const double u1 = static_cast<double>(r[first + k]);
    const double u2 = static_cast<double>(r[first + k + 1]);
    const double rad = std::sqrt(-2.0 * std::log(u1));
    z[static_cast<size_t>(k)] = rad * std::cos(kTwoPi * u2);
    if (k + 1 < d) z[static_cast<size_t>(k + 1)] = rad * std::sin(kTwoPi * u2);
  }
}

double AdaptiveMetropolis::propose(const RunSettings&, FitParameters& p, ChainState& chain, StepDraw& draw, Console&) {
  chain.ipchanged = 0;
  double* par = p.par.base();
  gaussians(draw.rnums, 2);
  double log_hastings = 0.0;
  const double scale = std::exp(0.5 * log_lambda);
  for (int r = 0; r < d; ++r) {
    const size_t kr = static_cast<size_t>(r);
    const double* lr = factor.data() + kr * static_cast<size_t>(d);
    double step = 0.0;
    for (int c = 0; c <= r; ++c) step += lr[c] * z[static_cast<size_t>(c)];
    const int i = index[kr];
    const double old = par[i];
    const double uold = coordinate(r, old);
    const double unew = uold + step * scale;
    double v = unew;
    if (logscale[kr]) {
      v = old < 0.0 ? -std::exp(unew) : std::exp(unew);
      if (v == 0.0) return -kInf;  // below the smallest double: no logarithm to come back to
      if (hastings[kr]) log_hastings += unew - uold;
    }
    if (!inside(p, i, v)) return -kInf;
    par[i] = v;
  }
  groups_master_wins(p);
  return log_hastings;
}

void AdaptiveMetropolis::observe(const FitParameters& params, const ChainState&, double alpha) {
  if (frozen) return;
  ++n;
  log_lambda += std::pow(static_cast<double>(n), -kGainExponent) * (alpha - kTargetAcceptance);
  log_lambda = std::clamp(log_lambda, kMinLogLambda, max_log_lambda);
  const double* par = params.par.base();
  const double inv_n = 1.0 / static_cast<double>(n);
  // Welford: mean_n = mean_{n−1} + δ/n, M2_n = M2_{n−1} + δ·(x − mean_n)ᵀ, δ = x − mean_{n−1}.
  for (int k = 0; k < d; ++k) {
    const size_t kk = static_cast<size_t>(k);
    const double x = coordinate(k, par[index[kk]]);
    z[kk] = x - mean[kk];  // δ, kept in the scratch of the Gaussian numbers
    mean[kk] += z[kk] * inv_n;
    u[kk] = x - mean[kk];
  }
  for (int r = 0; r < d; ++r) {
    double* row = m2.data() + static_cast<size_t>(r) * static_cast<size_t>(d);
    const double dr = z[static_cast<size_t>(r)];
    for (int c = 0; c <= r; ++c) row[c] += dr * u[static_cast<size_t>(c)];
  }
  const bool end = n >= burn;
  if (n > t0 && (end || (n - t0) % kRefactorSteps == 0)) refactor();
  if (end) {
    frozen = true;
    log_lambda = std::min(0.0, max_log_lambda);
  }
}

void AdaptiveMetropolis::bound_scale() {
  // λ·C_kk ≤ width_k² for every coordinate k.
  max_log_lambda = kInf;
  for (int k = 0; k < d; ++k) {
    const double ckk = covariance(k, k);
    const double w = width[static_cast<size_t>(k)];
    if (ckk > 0.0) max_log_lambda = std::min(max_log_lambda, std::log(w * w / ckk));
  }
  if (!std::isfinite(max_log_lambda)) max_log_lambda = 0.0;
}

void AdaptiveMetropolis::refactor() {
  if (d == 0 || n < 2) return;
  const double sd = kOptimalScale * kOptimalScale / static_cast<double>(d);
  const double inv = 1.0 / static_cast<double>(n - 1);
  for (int r = 0; r < d; ++r)
    for (int c = 0; c <= r; ++c) {
      const size_t rc = static_cast<size_t>(r * d + c);
      double v = m2[rc] * inv;
      if (r == c) v += kRegularisation * sd0[static_cast<size_t>(r)] * sd0[static_cast<size_t>(r)];
      work[rc] = sd * v;
    }
  // A covariance that rounding made indefinite keeps the previous factor.
  if (cholesky(work.data(), trial.data(), d)) factor.swap(trial);
  bound_scale();
  log_lambda = std::clamp(log_lambda, kMinLogLambda, max_log_lambda);
}

double AdaptiveMetropolis::covariance(int r, int c) const {
  double v = 0.0;
  for (int k = 0; k <= std::min(r, c); ++k)
    v += factor[static_cast<size_t>(r * d + k)] * factor[static_cast<size_t>(c * d + k)];
  return v;
}

}  // namespace zorvik

namespace zorvik {

void Coordinates::save_coordinates(StateWriter& out) const {
  out.put(d);
  out.put_vector(index);
  out.put_vector(logscale);
  out.put_vector(hastings);
  out.put_vector(sd0);
  out.put_vector(width);
}

void Coordinates::restore_coordinates(StateReader& in) {
  in.get(d);
  in.get_vector(index);
  in.get_vector(logscale);
  in.get_vector(hastings);
  in.get_vector(sd0);
  in.get_vector(width);
}

// Everything, the scratch tables included, so that a resumed proposal has
// the sizes start() gave them.
void AdaptiveMetropolis::save(StateWriter& out) const {
  save_coordinates(out);
  for (const long v : {t0, burn, n}) out.put(v);
  out.put(frozen);
  out.put(log_lambda);
  out.put(max_log_lambda);
  for (const auto* v : {&mean, &m2, &factor, &work, &trial, &z, &u}) out.put_vector(*v);
}

void AdaptiveMetropolis::restore(StateReader& in) {
  restore_coordinates(in);
  for (long* v : {&t0, &burn, &n}) in.get(*v);
  in.get(frozen);
  in.get(log_lambda);
  in.get(max_log_lambda);
  for (auto* v : {&mean, &m2, &factor, &work, &trial, &z, &u}) in.get_vector(*v);
}

}  // namespace zorvik
