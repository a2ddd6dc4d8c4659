#include "models/vector_shapes.h"

#include <algorithm>
#include <cmath>

#include "models/lineshapes.h"
#include "models/vector_exp.h"

namespace zorvik {

namespace {

// Points are taken in blocks so that the exponent buffers stay in the
// first-level cache (three blocks of 256 doubles: 6 KiB).
constexpr int kBlock = 256;

// The normalised Gaussian dgauss(c, s, x) at x[0 … n−1] into g: the guarded
// quotient u = (x − c)/s, then exp(−½u²)/(√(2π′)·s), as in dgauss.
void dgauss_block(double c, double s, const double* x, double* g, int n) {
  for (int k = 0; k < n; ++k) {
    const double u = dquot0(x[k] - c, s);
    g[k] = -0.5 * (u * u);
  }
  exp_array(g, g, n);
  const double norm = kSqrtTwoPiStored * s;
  for (int k = 0; k < n; ++k) g[k] = dquot0(g[k], norm);
}

// [101], [102]: the three Gaussians of gauss_factors on the background
// b0 + b1·x + b2·x², summed as add_three_gaussians does.
bool three_gaussians(const double* p, double b0, double b1, double b2, const double* x, double* y, int n) {
  const GaussFactors f = gauss_factors(p);
  alignas(64) double e[3][kBlock];
  for (int j0 = 0; j0 < n; j0 += kBlock) {
    const int nb = std::min(kBlock, n - j0);
    const double* xb = x + j0;
    for (int m = 0; m < 3; ++m) {
      for (int k = 0; k < nb; ++k) {
        const double d = xb[k] - f.centre[m];
        e[m][k] = -(d * d) * f.inv2var[m];
      }
      exp_array(e[m], e[m], nb);
    }
    for (int k = 0; k < nb; ++k) {
      const double xk = xb[k];
      double sum = b0 + b1 * xk + b2 * (xk * xk);
      for (int m = 0; m < 3; ++m) sum = sum + f.amp[m] * e[m][k];
      y[j0 + k] = sum;
    }
  }
  return true;
}

}  // namespace

bool gauss_vector(const ModelEnv& /*env*/, int /*i*/, const double* x, double* y, int n, const double* p) {
  return three_gaussians(p, p[1], p[2], p[3], x, y, n);
}

bool gaussl_vector(const ModelEnv& /*env*/, int /*i*/, const double* x, double* y, int n, const double* p) {
  return three_gaussians(p, std::pow(10.0, p[1]), std::pow(10.0, p[2]), std::pow(10.0, p[3]), x, y, n);
}

// [114] exp(−(x/τ)^β) for data sets 1 … 9; the power stays scalar.
bool kww_vector(const ModelEnv& /*env*/, int i, const double* x, double* y, int n, const double* p) {
  if (i < 1 || i > 9) return false;
  const double tau = p[1], beta = p[9 + i];
  for (int k = 0; k < n; ++k) y[k] = -std::pow(x[k] / tau, beta);
  exp_array(y, y, n);
  return true;
}

// [116] |p4|·G(p7, |p1|) + |p5|·L(p7, |p2|) + |p6|·L(p7, |p3|).
bool gll_vector(const ModelEnv& /*env*/, int /*i*/, const double* x, double* y, int n, const double* p) {
  const double c = p[7];
  const double s = std::fabs(p[1]);
  alignas(64) double g[kBlock];
  for (int j0 = 0; j0 < n; j0 += kBlock) {
    const int nb = std::min(kBlock, n - j0);
    const double* xb = x + j0;
    dgauss_block(c, s, xb, g, nb);
    for (int k = 0; k < nb; ++k)
      y[j0 + k] = std::fabs(p[4]) * g[k] + std::fabs(p[5]) * dlorentz(c, std::fabs(p[2]), xb[k]) +
                  std::fabs(p[6]) * dlorentz(c, std::fabs(p[3]), xb[k]);
  }
  return true;
}

// [123] the Gaussian resolution and two internal motions (see gvv). A Voigt
// profile with a zero Lorentzian width is the Gaussian itself (dvoigt falls back
// to dgauss), so it takes the vector Gaussian too.
bool gvv_vector(const ModelEnv& /*env*/, int /*i*/, const double* x, double* y, int n, const double* p) {
  const double s = std::fabs(p[1]);
  const double g1 = std::fabs(p[2]);
  const double g2 = std::fabs(p[3]);
  const double a = std::fabs(p[5]);
  const double b = std::fabs(p[6]);
  const double c = p[7];
  const double qa = std::fabs(1.0 - a);
  const double qb = std::fabs(1.0 - b);
  const double amp = std::fabs(p[4]);
  alignas(64) double g[kBlock];
  auto voigt = [&](double width, double xk, double gauss) {
    return (s != 0.0 && width == 0.0) ? gauss : dvoigt(c, s, width, xk);
  };
  for (int j0 = 0; j0 < n; j0 += kBlock) {
    const int nb = std::min(kBlock, n - j0);
    const double* xb = x + j0;
    dgauss_block(c, s, xb, g, nb);
    for (int k = 0; k < nb; ++k) {
      const double xk = xb[k];
      y[j0 + k] = amp * (a * b * g[k] + qa * b * voigt(g1, xk, g[k]) + qb * a * voigt(g2, xk, g[k]) +
                         qa * qb * voigt(g1 + g2, xk, g[k]));
    }
  }
  return true;
}

}  // namespace zorvik
