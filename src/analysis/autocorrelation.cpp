#include "analysis/autocorrelation.h"

#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

namespace zorvik {

namespace {

// In-place iterative radix-2 transform (Cooley and Tukey, Math. Comput. 19, 297,
// 1965); a.size() a power of two; inverse without the 1/n factor.
void fft(std::vector<std::complex<double>>& a, bool inverse) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const double angle = 2.0 * std::numbers::pi / static_cast<double>(len) * (inverse ? 1.0 : -1.0);
    const std::complex<double> wlen(std::cos(angle), std::sin(angle));
    for (size_t i = 0; i < n; i += len) {
      // The twiddle factors are recomputed from the angle every 64 steps so that
      // the rounding of the repeated product does not grow with the length.
      std::complex<double> w(1.0, 0.0);
      for (size_t k = 0; k < len / 2; ++k) {
        if (k % 64 == 0) w = std::polar(1.0, angle * static_cast<double>(k));
        const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
        w *= wlen;
      }
    }
  }
}

}  // namespace

std::vector<double> autocovariance(std::span<const double> x) {
  const size_t n = x.size();
  if (n == 0) return {};
  double mean = 0.0;
  for (double v : x) mean += v;
  mean /= static_cast<double>(n);
  size_t size = 1;
  while (size < n) size <<= 1;
  std::vector<std::complex<double>> f(2 * size);
  for (size_t i = 0; i < n; ++i) f[i] = x[i] - mean;
  fft(f, false);
  for (auto& v : f) v = std::norm(v);
  fft(f, true);
  std::vector<double> c(n);
  const double scale = 1.0 / (static_cast<double>(f.size()) * static_cast<double>(n));
  for (size_t t = 0; t < n; ++t) c[t] = f[t].real() * scale;
  return c;
}

namespace {

// Sokal's window on a normalised autocorrelation function ρ(0 … n−1).
double windowed_time(const std::vector<double>& rho, double c) {
  double tau = 1.0;
  for (size_t m = 1; m < rho.size(); ++m) {
    tau += 2.0 * rho[m];
    if (static_cast<double>(m) >= c * tau) return tau;
  }
  return tau;  // no window satisfied the condition: the whole series
}

}  // namespace

double integrated_time(std::span<const double> x, double c) { return integrated_time(x, 1, c); }

double integrated_time(std::span<const double> x, int walkers, double c) {
  const size_t w = static_cast<size_t>(walkers), n = x.size() / w;
  std::vector<double> rho(n, 0.0), series(n);
  int used = 0;
  for (size_t k = 0; k < w && n >= 2; ++k) {
    for (size_t t = 0; t < n; ++t) series[t] = x[t * w + k];
    const std::vector<double> acov = autocovariance(series);
    if (!(acov[0] > 0.0)) continue;
    for (size_t t = 0; t < n; ++t) rho[t] += acov[t] / acov[0];
    ++used;
  }
  if (used == 0) return std::numeric_limits<double>::quiet_NaN();
  for (double& r : rho) r /= used;
  return windowed_time(rho, c);
}

}  // namespace zorvik
