#include "analysis/chain_stats.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <numeric>

#include "analysis/autocorrelation.h"

namespace zorvik {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Ranks 1 … S of the values, ties sharing their average rank.
std::vector<double> average_ranks(const std::vector<double>& v) {
  std::vector<size_t> order(v.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return v[a] < v[b]; });
  std::vector<double> rank(v.size());
  for (size_t i = 0; i < order.size();) {
    size_t j = i;
    while (j + 1 < order.size() && v[order[j + 1]] == v[order[i]]) ++j;
    const double r = 0.5 * static_cast<double>(i + j) + 1.0;
    for (size_t k = i; k <= j; ++k) rank[order[k]] = r;
    i = j + 1;
  }
  return rank;
}

// The draws of 2M split chains of N each, stored chain after chain.
struct SplitChains {
  size_t chains = 0, n = 0;
  std::vector<double> draws;
  std::span<const double> chain(size_t m) const { return std::span<const double>(draws).subspan(m * n, n); }
};

SplitChains split(const std::vector<std::span<const double>>& chains) {
  SplitChains s;
  const size_t n = chains.front().size();
  s.n = n / 2;
  s.chains = 2 * chains.size();
  for (const auto& c : chains) {
    s.draws.insert(s.draws.end(), c.begin(), c.begin() + static_cast<long>(s.n));
    s.draws.insert(s.draws.end(), c.end() - static_cast<long>(s.n), c.end());
  }
  return s;
}

SplitChains rank_normalised(SplitChains s) {
  const std::vector<double> r = average_ranks(s.draws);
  const double total = static_cast<double>(s.draws.size());
  for (size_t i = 0; i < r.size(); ++i) s.draws[i] = normal_quantile((r[i] - 0.375) / (total + 0.25));
  return s;
}

struct Variances {
  double w = 0.0, var_plus = 0.0;
  std::vector<double> var;  // s_m², denominator N − 1
};

Variances variances(const SplitChains& s) {
  Variances v;
  const double n = static_cast<double>(s.n);
  std::vector<double> means(s.chains);
  for (size_t m = 0; m < s.chains; ++m) {
    const auto c = s.chain(m);
    means[m] = std::accumulate(c.begin(), c.end(), 0.0) / n;
    double ss = 0.0;
    for (double x : c) ss += (x - means[m]) * (x - means[m]);
    v.var.push_back(ss / (n - 1.0));
  }
  v.w = std::accumulate(v.var.begin(), v.var.end(), 0.0) / static_cast<double>(s.chains);
  const double grand = std::accumulate(means.begin(), means.end(), 0.0) / static_cast<double>(s.chains);
  double b_over_n = 0.0;
  for (double mu : means) b_over_n += (mu - grand) * (mu - grand);
  b_over_n /= static_cast<double>(s.chains - 1);
  v.var_plus = (n - 1.0) / n * v.w + b_over_n;
  return v;
}

double rhat(const SplitChains& z) {
  const Variances v = variances(z);
  if (!(v.w > 0.0)) return kNaN;
  return std::sqrt(v.var_plus / v.w);
}

double ess(const SplitChains& z) {
  const Variances v = variances(z);
  if (!(v.w > 0.0)) return kNaN;
  // mean over the chains of s_m²·ρ̂_{t,m}, ρ̂_{t,m} the chain's autocorrelation.
  std::vector<double> mean_acov(z.n, 0.0);
  for (size_t m = 0; m < z.chains; ++m) {
    const std::vector<double> c = autocovariance(z.chain(m));
    if (!(c[0] > 0.0)) continue;  // a constant half contributes no correlation
    for (size_t t = 0; t < z.n; ++t) mean_acov[t] += v.var[m] * c[t] / c[0];
  }
  for (double& a : mean_acov) a /= static_cast<double>(z.chains);
  const auto rho = [&](size_t t) { return 1.0 - (v.w - mean_acov[t]) / v.var_plus; };

  double sum = 0.0, previous = std::numeric_limits<double>::infinity();
  for (size_t t = 0; t + 1 < z.n; t += 2) {
    double pair = rho(t) + rho(t + 1);
    if (!(pair > 0.0)) break;
    pair = std::min(pair, previous);
    previous = pair;
    sum += pair;
  }
  const double tau = -1.0 + 2.0 * sum;
  return static_cast<double>(z.chains * z.n) / tau;
}

}  // namespace

double sorted_quantile(std::span<const double> sorted, double p) {
  const double h = static_cast<double>(sorted.size() - 1) * p;
  const size_t lo = static_cast<size_t>(std::floor(h));
  if (lo + 1 >= sorted.size()) return sorted.back();
  return sorted[lo] + (h - static_cast<double>(lo)) * (sorted[lo + 1] - sorted[lo]);
}

DrawSummary summarise_draws(std::span<const double> draws) {
  DrawSummary s;
  const double n = static_cast<double>(draws.size());
  s.mean = std::accumulate(draws.begin(), draws.end(), 0.0) / n;
  double ss = 0.0;
  for (double x : draws) ss += (x - s.mean) * (x - s.mean);
  s.sd = draws.size() > 1 ? std::sqrt(ss / (n - 1.0)) : 0.0;
  std::vector<double> sorted(draws.begin(), draws.end());
  std::sort(sorted.begin(), sorted.end());
  s.q025 = sorted_quantile(sorted, 0.025);
  s.q16 = sorted_quantile(sorted, 0.16);
  s.q50 = sorted_quantile(sorted, 0.5);
  s.q84 = sorted_quantile(sorted, 0.84);
  s.q975 = sorted_quantile(sorted, 0.975);
  return s;
}

double normal_quantile(double p) {
  if (!(p > 0.0 && p < 1.0)) return kNaN;
  // P. J. Acklam, "An algorithm for computing the inverse normal cumulative
  // distribution function" (2003): rational approximations in the central
  // region and in the tails.
  static constexpr double a[] = {-3.969683028665376e+01, 2.209460984245205e+02, -2.759285104469687e+02,
                                 1.383577518672690e+02,  -3.066479806614716e+01, 2.506628277459239e+00};
  static constexpr double b[] = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                                 6.680131188771972e+01,  -1.328068155288572e+01};
  static constexpr double c[] = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                                 -2.549732539343734e+00, 4.374664141464968e+00,  2.938163982698783e+00};
  static constexpr double d[] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                                 3.754408661907416e+00};
  constexpr double p_low = 0.02425;
  double z;
  if (p < p_low || p > 1.0 - p_low) {
    const double q = std::sqrt(-2.0 * std::log(p < p_low ? p : 1.0 - p));
    z = (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
        ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1.0);
    if (p > p_low) z = -z;
  } else {
    const double q = p - 0.5, r = q * q;
    z = (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
        (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1.0);
  }
  // One Halley step on Φ(z) − p.
  const double e = 0.5 * std::erfc(-z / std::numbers::sqrt2) - p;
  const double u = e * std::sqrt(2.0 * std::numbers::pi) * std::exp(0.5 * z * z);
  return z - u / (1.0 + 0.5 * z * u);
}

ConvergenceValues rank_normalised_convergence(const std::vector<std::span<const double>>& chains) {
  const SplitChains s = split(chains);
  // The folded draws |θ − median θ| show a difference of scale between chains
  // that the draws themselves hide.
  std::vector<double> all(s.draws);
  std::sort(all.begin(), all.end());
  const double median = sorted_quantile(all, 0.5);
  SplitChains folded = s;
  for (double& x : folded.draws) x = std::fabs(x - median);

  const SplitChains z = rank_normalised(s);
  ConvergenceValues v;
  v.rhat = std::max(rhat(z), rhat(rank_normalised(folded)));
  if (std::isnan(rhat(z))) v.rhat = kNaN;
  v.ess_bulk = ess(z);
  return v;
}

}  // namespace zorvik
