#include "sampler/adaptive.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zorvik {

namespace {

constexpr double kLn10 = 2.302585092994046;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kInf = std::numeric_limits<double>::infinity();
// The acceptance the burn-in's scale search aims at (Roberts, Gelman and Gilks,
// Ann. Appl. Probab. 7 (1997) 110: optimal for a random walk in many dimensions).
constexpr double kTargetAcceptance = 0.234;

enum class Scale { None, Additive, Relative, Log10Step, LogAbsolute };

// How a parameter of step kind `kind` moves in the adaptive mode (None: it
// does not move, as in the other modes).
Scale scale_of(const Word3& kind) {
  if (kind == "n" || kind == "a") return Scale::Additive;
  if (kind == "p") return Scale::Relative;
  if (kind == "l") return Scale::Log10Step;
  if (kind == "al") return Scale::LogAbsolute;
  return Scale::None;
}

// The mirror of the other modes: first at the upper limit, then at the lower.
void mirror(double& u, double lo, double hi) {
  if (u > hi) u = 2.0 * hi - u;
  if (u < lo) u = 2.0 * lo - u;
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

double AdaptiveMetropolis::coordinate(int k, double v) const {
  return logscale[static_cast<size_t>(k)] ? std::log(std::fabs(v)) : v;
}

void AdaptiveMetropolis::start(const Run& run) {
  const RunSettings& s = run.settings;
  const FitParameters& p = run.params;
  index.clear();
  logscale.clear();
  hastings.clear();
  sd0.clear();
  for (int k = 1; k <= p.nfit; ++k) {
    const int i = p.parfit(k);
    const double step = std::fabs(p.move(i));
    const double v = p.par(i);
    const Scale sc = scale_of(p.logpar(i));
    if (sc == Scale::None || !(step > 0.0)) continue;
    const bool log = sc == Scale::Log10Step || sc == Scale::LogAbsolute;
    // A value of 0 has no logarithm and does not move by a relative step.
    if ((log || sc == Scale::Relative) && !(std::isfinite(v) && v != 0.0)) continue;
    index.push_back(i);
    logscale.push_back(log ? 1 : 0);
    hastings.push_back(sc == Scale::LogAbsolute ? 1 : 0);
    switch (sc) {
      case Scale::Relative: sd0.push_back(step * std::fabs(v)); break;
      case Scale::Log10Step: sd0.push_back(step * kLn10); break;
      case Scale::LogAbsolute: sd0.push_back(step / std::fabs(v)); break;
      default: sd0.push_back(step); break;
    }
  }
  d = static_cast<int>(index.size());
  const size_t dd = static_cast<size_t>(d) * static_cast<size_t>(d);
  mean.assign(static_cast<size_t>(d), 0.0);
  m2.assign(dd, 0.0);
  factor.assign(dd, 0.0);
  work.assign(dd, 0.0);
  trial.assign(dd, 0.0);
  z.assign(static_cast<size_t>(d), 0.0);
  u.assign(static_cast<size_t>(d), 0.0);
  n = 0;
  t0 = std::max(10L * d, 100L);
  burn = static_cast<long>(s.burn_fraction * static_cast<double>(s.ncycles));
  frozen = burn <= 0;
  log_lambda = 0.0;
  // C_0 = s_d·diag(σ0²).
  const double sd = d > 0 ? 2.38 / std::sqrt(static_cast<double>(d)) : 0.0;
  for (int k = 0; k < d; ++k) factor[static_cast<size_t>(k * d + k)] = sd * sd0[static_cast<size_t>(k)];
}

void AdaptiveMetropolis::restart(long burn_steps) {
  std::fill(mean.begin(), mean.end(), 0.0);
  std::fill(m2.begin(), m2.end(), 0.0);
  n = 0;
  burn = burn_steps;
  frozen = burn <= 0;
  log_lambda = 0.0;
}

double AdaptiveMetropolis::propose(FitParameters& p, const ChainState& chain, StepUniforms rnums, Console& con) {
  double* par = p.par.base();
  const double* parold = chain.parold.base();
  for (int k = 0; k < d; k += 2) {
    const double u1 = static_cast<double>(rnums[2 + k]);
    const double u2 = static_cast<double>(rnums[3 + k]);
    const double r = std::sqrt(-2.0 * std::log(u1));
    z[static_cast<size_t>(k)] = r * std::cos(kTwoPi * u2);
    if (k + 1 < d) z[static_cast<size_t>(k + 1)] = r * std::sin(kTwoPi * u2);
  }
  for (int k = 0; k < d; ++k) u[static_cast<size_t>(k)] = coordinate(k, par[index[static_cast<size_t>(k)]]);
  double log_hastings = 0.0;
  bool refused = false;
  const double scale = std::exp(0.5 * log_lambda);
  for (int r = 0; r < d; ++r) {
    const size_t kr = static_cast<size_t>(r);
    const double* lr = factor.data() + static_cast<size_t>(r) * static_cast<size_t>(d);
    double step = 0.0;
    for (int c = 0; c <= r; ++c) step += lr[c] * z[static_cast<size_t>(c)];
    step *= scale;
    const int i = index[kr];
    const double lo = p.parmin(i), hi = p.parmax(i);
    const double old = par[i];
    double unew = u[kr] + step;
    if (logscale[kr]) {
      const double sign = old < 0.0 ? -1.0 : 1.0;
      double ulo, uhi;
      log_limits(sign, lo, hi, ulo, uhi);
      if (refuse_outside) refused |= unew < ulo || unew > uhi;
      else mirror(unew, ulo, uhi);
      par[i] = sign * std::exp(unew);
      if (hastings[kr]) log_hastings += unew - u[kr];
    } else {
      if (refuse_outside) refused |= unew < lo || unew > hi;
      else mirror(unew, lo, hi);
      par[i] = unew;
    }
    if (refuse_outside) continue;
    if (par[i] > hi || par[i] < lo)
      con.record("(a20,i4,a,4f12.6)", "DANGER: step for par", i, " too big. Parold,par,parmin,parmax ", parold[i],
                 par[i], lo, hi);
  }
  return refused ? -kInf : log_hastings;
}

void AdaptiveMetropolis::observe(const FitParameters& params, double alpha) {
  if (frozen) return;
  ++n;
  log_lambda += std::pow(static_cast<double>(n), -0.6) * (alpha - kTargetAcceptance);
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
    log_lambda = 0.0;
  }
}

void AdaptiveMetropolis::refactor() {
  if (d == 0 || n < 2) return;
  const double sd = 2.38 * 2.38 / static_cast<double>(d);
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
}

double AdaptiveMetropolis::covariance(int r, int c) const {
  double v = 0.0;
  for (int k = 0; k <= std::min(r, c); ++k)
    v += factor[static_cast<size_t>(r * d + k)] * factor[static_cast<size_t>(c * d + k)];
  return v;
}

}  // namespace zorvik
