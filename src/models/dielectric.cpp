#include "models/dielectric.h"

#include <cmath>
#include <cstring>
#include <string>

#include "core/console.h"
#include "core/errors.h"

namespace zorvik {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
// 2π in single precision, as the inversion and the double integral take it.
constexpr double kTwoPiSingle = 6.2831854820251465;
constexpr double kLn10 = 2.302585092994046;
constexpr double kSqrtPi = 1.7724538509055159;
// (ln 10)², converting the two integrals over log10 τ into integrals over ln τ.
constexpr double kLn10Squared = 5.301898;

// The inversion: start value, relaxation factor, sweeps, and the accepted
// mismatch at the loss maximum (a single-precision 1 %).
constexpr double kGtauStart = 0.29;
constexpr double kGtauRelax = 0.3;
constexpr int kGtauSweeps = 100;
constexpr double kGtauTolerance = static_cast<double>(0.01f);

// Effective-time kernels kept in memory up to this many values (128 MB); larger
// fit ranges compute them during the evaluation from the stored times.
constexpr size_t kEffectiveBudget = size_t{1} << 24;

// The width exponent of a CC or HN term: s = sin(aπ/2), c = cos(aπ/2), e = 1 − a.
struct Width {
  double s, c, e;
  explicit Width(double a) : s(std::sin(a * kPi / 2.0)), c(std::cos(a * kPi / 2.0)), e(1.0 - a) {}
};

// The shapes from ln(ωτ). Written as c/(1/u + 2s + u) and atan(c/(1/u + s)),
// equal to the forms above, so that u = 0 (ωτ → 0) and u = ∞ give the limits
// 0 instead of 0/0.
inline double cc_shape(double lnwt, const Width& w) {
  const double u = std::exp(w.e * lnwt);
  return w.c / (1.0 / u + 2.0 * w.s + u);
}

inline double hn_shape(double lnwt, const Width& w, double b) {
  const double u = std::exp(w.e * lnwt);
  const double phi = std::atan(w.c / (1.0 / u + w.s));
  const double d = 1.0 + u * (2.0 * w.s + u);
  return std::sin(b * phi) / std::pow(d, 0.5 * b);
}

// A CC or HN term whose x-independent factors are computed once per evaluation.
struct CcTerm {
  double amp, lntau;
  Width w;
  double operator()(double lnw) const { return amp * cc_shape(lnw + lntau, w); }
};

struct HnTerm {
  double amp, lntau;
  Width w;
  double b;
  double operator()(double lnw) const { return amp * hn_shape(lnw + lntau, w, b); }
};

inline double ln_omega(double f) { return std::log(kTwoPi * f); }

// The temperature of data set i, for the models whose relaxation times follow
// temperature laws; false when the data set lies beyond the parameter blocks.
bool block_of(int i) {
  check_index("z", 1, 1, kMaxFunc, i);
  return i <= kDielectricSets;
}

// out[r] = Σ_c a[c·stride + r]·x[c] for r < rows, every sum taken in
// increasing c. Vectorised across r (neighbouring sums side by side in the
// lanes of V, kVecs vectors at a time), so each sum keeps exactly that order
// and the result is the same for any vector width.
using Pair = double __attribute__((vector_size(2 * sizeof(double))));
using Quad = double __attribute__((vector_size(4 * sizeof(double))));

template <class V, int kVecs>
void columns_times(const double* a, size_t stride, const double* x, int cols, int rows, double* out) {
  constexpr int kLanes = sizeof(V) / sizeof(double);
  constexpr int kBlock = kLanes * kVecs;
  int r = 0;
  for (; r + kBlock <= rows; r += kBlock) {
    V acc[kVecs];
    for (V& v : acc) v = V{} * 0.0;
    for (int c = 0; c < cols; ++c) {
      const V xc = V{} + x[c];
      const double* col = a + static_cast<size_t>(c) * stride + static_cast<size_t>(r);
      for (int v = 0; v < kVecs; ++v) {
        V av;
        std::memcpy(&av, col + v * kLanes, sizeof av);
        acc[v] += av * xc;
      }
    }
    for (int v = 0; v < kVecs; ++v) std::memcpy(out + r + v * kLanes, &acc[v], sizeof acc[v]);
  }
  for (; r < rows; ++r) {
    double sum = 0.0;
    for (int c = 0; c < cols; ++c) sum += a[static_cast<size_t>(c) * stride + static_cast<size_t>(r)] * x[c];
    out[r] = sum;
  }
}

void columns_times_narrow(const double* a, size_t stride, const double* x, int cols, int rows, double* out) {
  columns_times<Pair, 4>(a, stride, x, cols, rows, out);
}

#if defined(__x86_64__) && defined(__GNUC__)
// Four doubles a vector on processors with the 256-bit unit: the same
// operations per lane (no fused multiply-add), so the same sums.
[[gnu::target("avx2")]] void columns_times_wide(const double* a, size_t stride, const double* x, int cols, int rows,
                                                double* out) {
  columns_times<Quad, 4>(a, stride, x, cols, rows, out);
}
#endif

void matrix_columns_times(const double* a, size_t stride, const double* x, int cols, int rows, double* out) {
#if defined(__x86_64__) && defined(__GNUC__)
  static const bool wide = __builtin_cpu_supports("avx2");
  if (wide) return columns_times_wide(a, stride, x, cols, rows, out);
#endif
  columns_times_narrow(a, stride, x, cols, rows, out);
}

}  // namespace

double cc_loss(double f, double tau, double a) { return cc_shape(ln_omega(f) + std::log(tau), Width(a)); }

double hn_loss(double f, double tau, double a, double b) {
  return hn_shape(ln_omega(f) + std::log(tau), Width(a), b);
}

// ---- per-point models -------------------------------------------------------

bool hncc1cc2_batch(const ModelEnv&, int, const double* x, double* y, int n, const double* p) {
  const HnTerm hn{p[4], p[1] * kLn10, Width(p[7]), p[8]};
  const CcTerm cc1{p[5], p[2] * kLn10, Width(p[9])};
  const CcTerm cc2{p[6], p[3] * kLn10, Width(p[10])};
  for (int k = 0; k < n; ++k) {
    const double lnw = ln_omega(x[k]);
    y[k] = hn(lnw) + cc1(lnw) + cc2(lnw);
  }
  return true;
}

bool hncc_batch(const ModelEnv&, int, const double* x, double* y, int n, const double* p) {
  const HnTerm hn{p[3], p[1] * kLn10, Width(p[5]), p[6]};
  const CcTerm cc{p[4], p[2] * kLn10, Width(p[7])};
  for (int k = 0; k < n; ++k) {
    const double lnw = ln_omega(x[k]);
    y[k] = hn(lnw) + cc(lnw);
  }
  return true;
}

namespace {

// ln τ of the Vogel–Fulcher–Tammann law 10^lt0·exp(D·T0/(T − T0)) and of the
// Arrhenius law 10^lt0·exp(E/T), as logarithms so that no intermediate overflows.
inline double ln_vft(double lt0, double t0, double strength, double t) { return lt0 * kLn10 + strength * t0 / (t - t0); }
inline double ln_arrhenius(double lt0, double e, double t) { return lt0 * kLn10 + e / t; }

}  // namespace

bool hncct_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p) {
  if (!block_of(i)) return false;
  const double t = env.z[1];
  const HnTerm hn{p[5 + i], ln_vft(p[1], p[2], p[3], t), Width(p[25 + i]), p[35 + i]};
  const CcTerm cc{p[15 + i], ln_arrhenius(p[4], p[5], t), Width(p[45 + i])};
  for (int k = 0; k < n; ++k) {
    const double lnw = ln_omega(x[k]);
    y[k] = hn(lnw) + cc(lnw);
  }
  return true;
}

bool hncc1cc2t_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p) {
  if (!block_of(i)) return false;
  const double t = env.z[1];
  const HnTerm hn{p[5 + i], ln_vft(p[1], p[2], p[3], t), Width(p[25 + i]), p[35 + i]};
  const CcTerm cc1{p[15 + i], ln_arrhenius(p[4], p[5], t), Width(p[45 + i])};
  const CcTerm cc2{p[55 + i], ln_arrhenius(p[76], p[77], t), Width(p[65 + i])};
  for (int k = 0; k < n; ++k) {
    const double lnw = ln_omega(x[k]);
    y[k] = hn(lnw) + cc1(lnw) + cc2(lnw);
  }
  return true;
}

bool plcc1cc2_batch(const ModelEnv&, int, const double* x, double* y, int n, const double* p) {
  // The power law (conductivity) is written in f itself, not in ω.
  const double scale = std::pow(10.0, p[1]);
  const CcTerm cc1{p[5], p[3] * kLn10, Width(p[7])};
  const CcTerm cc2{p[6], p[4] * kLn10, Width(p[8])};
  for (int k = 0; k < n; ++k) {
    const double lnw = ln_omega(x[k]);
    y[k] = scale * std::pow(x[k], p[2]) + cc1(lnw) + cc2(lnw);
  }
  return true;
}

// ---- whole-curve models -----------------------------------------------------

WholeCurve::WholeCurve() = default;

void WholeCurve::prepare(const double* logf, int n) {
  check_index("f", 1, 1, kMaxCurvePoints, n);
  if (n == n_ && std::memcmp(logf, logf_.data(), sizeof(double) * static_cast<size_t>(n)) == 0) return;
  n_ = n;
  const size_t m = static_cast<size_t>(n);
  for (size_t j = 0; j < m; ++j) {
    logf_[j] = logf[j];
    const double f = std::pow(10.0, logf[j]);
    lnw_[j] = std::log(kTwoPi * f);
    lntau_cc_[j] = std::log(1.0 / (kTwoPi * f));
    omega_s_[j] = kTwoPiSingle * f;
    tau_[j] = 1.0 / (kTwoPiSingle * f);
  }
  if (n < 3) {  // model 52 only: no inversion, no double integral
    kernel_.clear();
    effective_.clear();
    taueff_.clear();
    return;
  }

  // Inversion: the weight of one grid node, W = 10^h − 10^−h with h half the
  // step in log10 f (the integral of ωτ/(1+ω²τ²) over a cell of width 2h in
  // log10 τ), and the kernel ωi·τj/(1 + (ωi·τj)²).
  const double h = std::fabs(logf_[2] - logf_[1]) / 2.0;
  weight_ = std::pow(10.0, h) - std::pow(10.0, -h);
  // Stored by columns (j, then i), for the sums over j of all i side by side.
  kernel_.resize(m * m);
  for (size_t i = 0; i < m; ++i)
    for (size_t j = 0; j < m; ++j) {
      const double x = omega_s_[i] * tau_[j];
      kernel_[j * m + i] = x / (1.0 + x * x);
    }

  // Double integral: the grid in log10 τ with one more node beyond each end,
  // and the effective times 1/τeff = 1/τβ + 1/τα over both grids.
  std::array<double, kMaxCurvePoints + 2> lgt{};
  for (size_t j = 0; j < m; ++j) lgt[j] = std::log10(tau_[j]);
  step_ = std::fabs(lgt[0] - lgt[1]);
  const size_t m2 = m + 2;
  tau2_[0] = std::pow(10.0, 2.0 * lgt[0] - lgt[1]);
  for (size_t j = 0; j < m; ++j) tau2_[j + 1] = tau_[j];
  tau2_[m + 1] = std::pow(10.0, 2.0 * lgt[m - 1] - lgt[m - 2]);
  taueff_.resize(m2 * m2);
  for (size_t k = 0; k < m2; ++k)
    for (size_t j = 0; j < m2; ++j) taueff_[k * m2 + j] = 1.0 / (1.0 / tau2_[j] + 1.0 / tau2_[k]);
  effective_.clear();
  if (m * m2 * m2 <= kEffectiveBudget) {
    effective_.resize(m * m2 * m2);
    for (size_t i = 0; i < m; ++i)
      for (size_t k = 0; k < m2; ++k)
        for (size_t j = 0; j < m2; ++j)
          effective_[(i * m2 + k) * m2 + j] = effective_kernel(static_cast<int>(i), static_cast<int>(k), static_cast<int>(j));
  }
}

// ω·τeff/(1 + (ω·τeff)²) at frequency i for α node k and β node j.
double WholeCurve::effective_kernel(int i, int k, int j) const {
  const size_t m2 = static_cast<size_t>(n_) + 2;
  const double x = omega_s_[static_cast<size_t>(i)] * taueff_[static_cast<size_t>(k) * m2 + static_cast<size_t>(j)];
  return x / (1.0 + x * x);
}

void WholeCurve::hnf(double tau, double a, double b, double* out) const {
  const Width w(a);
  const double lntau = std::log(tau);
  for (int k = 0; k < n_; ++k) out[k] = hn_shape(lnw_[static_cast<size_t>(k)] + lntau, w, b);
}

void WholeCurve::ccf(double tau, double a, double* out) const {
  const Width w(a);
  const double lntau = std::log(tau);
  for (int k = 0; k < n_; ++k) out[k] = cc_shape(lnw_[static_cast<size_t>(k)] + lntau, w);
}

void WholeCurve::gtaucc(double tau, double sigma, double* g) const {
  const double lntau = std::log(tau);
  for (int k = 0; k < n_; ++k) {
    const double r = (lntau_cc_[static_cast<size_t>(k)] - lntau) / sigma;
    g[k] = std::exp(-(r * r)) / (sigma * kSqrtPi);
  }
}

bool WholeCurve::gtau(const double* eps, double* g, const ModelEnv& env) {
  const int n = n_;
  const size_t m = static_cast<size_t>(n);
  int imax = 0;
  for (int j = 0; j < n; ++j) {
    g[j] = kGtauStart * eps[j];
    if (eps[j] > eps[imax]) imax = j;
  }
  double* calc = calc_.data();
  double* d = delta_.data();
  for (int sweep = 0; sweep < kGtauSweeps; ++sweep) {
    // Every correction is computed from the same g before any is applied.
    matrix_columns_times(kernel_.data(), m, g, n, n, calc);
    for (size_t i = 0; i < m; ++i) {
      calc[i] = weight_ * calc[i];
      d[i] = kGtauRelax * (eps[i] - calc[i]);
    }
    for (int j = 0; j < n; ++j) {
      const double next = g[j] + d[j];
      if (next >= 0.0) g[j] = next;
    }
  }
  const double mismatch = std::fabs(eps[imax] - calc[imax]) / (eps[imax] + calc[imax]);
  if (!(mismatch > kGtauTolerance)) return true;

  if (env.con) {
    env.con->line("PROBLEM IN gTAU!!!!!!!!");
    env.con->line(imax + 1, logf_[static_cast<size_t>(imax)], eps[imax], calc[imax]);
  }
  if (env.failed_inversion) env.failed_inversion(FailedInversion{logf_.data(), eps, calc, n});
  return false;
}

void WholeCurve::gbeff(const double* galpha, const double* gbeta, double* beta) const {
  const int n = n_;
  const int n2 = n + 2;
  const size_t m2 = static_cast<size_t>(n2);
  // Both distributions on the extended grid, extrapolated linearly from their
  // two end values, with the trapezoid weights 1, 2, …, 2, 1. (A negative
  // extrapolated value is kept: it is the linear continuation of a tail that
  // is already negligible there.)
  std::array<double, kMaxCurvePoints + 2> wa{}, wb{};
  auto extend = [n](const double* g, double* w) {
    for (int j = 0; j < n; ++j) w[j + 1] = 2.0 * g[j];
    w[0] = 2.0 * g[0] - g[1];
    w[n + 1] = 2.0 * g[n - 1] - g[n - 2];
  };
  extend(galpha, wa.data());
  extend(gbeta, wb.data());
  const double half = step_ / 2.0;
  const double scale = kLn10Squared * half * half;
  // S(k) = Σ_j kernel(i, k, j)·wβ(j) for every α node k, each in increasing j
  // (the kernels are symmetric in k and j, so row k of frequency i is also its
  // column k), then the outer sum Σ_k wα(k)·S(k).
  std::array<double, kMaxCurvePoints + 2> inner{};
  for (int i = 0; i < n; ++i) {
    if (!effective_.empty()) {
      matrix_columns_times(effective_.data() + static_cast<size_t>(i) * m2 * m2, m2, wb.data(), n2, n2, inner.data());
    } else {
      for (int k = 0; k < n2; ++k) {
        double sum = 0.0;
        for (int j = 0; j < n2; ++j) sum += effective_kernel(i, k, j) * wb[static_cast<size_t>(j)];
        inner[static_cast<size_t>(k)] = sum;
      }
    }
    double outer = 0.0;
    for (int k = 0; k < n2; ++k) outer += wa[static_cast<size_t>(k)] * inner[static_cast<size_t>(k)];
    beta[i] = scale * outer;
  }
}

void WholeCurve::calcbeta(int mode, const double* p, double* alpha, double* beta, const ModelEnv& env) {
  const double tau_alpha = std::pow(10.0, p[1]);
  const double tau_beta = std::pow(10.0, p[2]);
  hnf(tau_alpha, p[7], p[8], alpha);
  if (mode == 3) {
    ccf(tau_beta, p[9], beta);
    return;
  }
  double* gb = gb_.data();
  if (mode == 0) {
    ccf(tau_beta, p[9], loss_.data());
    gtau(loss_.data(), gb, env);
  } else {
    gtaucc(tau_beta, p[9], gb);
  }
  gtau(alpha, ga_.data(), env);
  gbeff(ga_.data(), gb, beta);
}

void WholeCurve::spectrum(int model, const double* logf, int n, const double* p, double* eps, const ModelEnv& env) {
  prepare(logf, n);
  const int mode = model == 50 ? 0 : model == 51 ? 1 : 3;
  double* alpha = alpha_.data();
  double* beta = beta_.data();
  calcbeta(mode, p, alpha, beta, env);
  const double lambda = p[5], deps = p[4];
  for (int k = 0; k < n; ++k) {
    eps[k] = (lambda * alpha[k] + (1.0 - lambda) * beta[k]) * deps;
    if (eps[k] < 0.0) {
      if (env.con) {
        env.con->line("ERROR in die.for");
        env.con->line("*", k + 1, std::pow(10.0, logf[k]), alpha[k], eps[k]);
      }
      throw ProgramStop(1);
    }
  }
}

template <int Model>
bool dielimg_batch(const ModelEnv& env, int i, const double* x, double* y, int n, const double* p) {
  if (i != 1) return false;  // the spectrum and its cache belong to data set 1
  WholeCurve& wc = *env.curve;
  wc.spectrum(Model, x, n, p, y, env);
  for (int k = 0; k < n; ++k) {
    y[k] = std::log10(y[k]);
    wc.epscalc(k + 1) = y[k];
  }
  return true;
}

template bool dielimg_batch<50>(const ModelEnv&, int, const double*, double*, int, const double*);
template bool dielimg_batch<51>(const ModelEnv&, int, const double*, double*, int, const double*);
template bool dielimg_batch<52>(const ModelEnv&, int, const double*, double*, int, const double*);

}  // namespace zorvik
