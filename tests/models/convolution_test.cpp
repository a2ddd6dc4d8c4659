// The convolution with the resolution function: a delta kernel (the model
// itself, shifted), a Lorentzian through a Gaussian resolution file against the
// Voigt integral by quadrature, the blocked whole-range sums against the
// per-point form and a direct sum, and a radial distribution convolved from
// r = 0.
#include "models/convolution.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/free_format.h"
#include "models/functions.h"
#include "models/lineshapes.h"
#include "setup/data_file.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();

// The plain model at one x.
double model_at(int opfit, int i, double x, double* par) {
  double y = std::nan("");
  EXPECT_TRUE(find_model(opfit)->plain(ModelEnv{}, i, &x, &y, 1, par)) << opfit;
  return y;
}

TEST(Convolution, DeltaKernelReturnsTheModelAtEveryPoint) {
  auto d = std::make_unique<FitFunctions>();
  auto ws = std::make_unique<ModelWorkspace>();
  // Data set 3 as the reader leaves it for option "c": points −0.1 + (j−1)·Δ,
  // fit range 5 … 44, grid k = −6 … 50; three Gaussians a few steps wide (model 101).
  constexpr int kFirst = 5, kCount = 40, kHalf = 6;
  d->fileop(3) = "c", d->imin(3) = kFirst, d->ndatin(3) = kCount, d->imaxconv(3) = kHalf, d->opfit(3) = 101;
  for (int k = -kHalf; k <= kFirst + kCount - 1 + kHalf; ++k) d->xc(3, k) = -0.1 + (k - 1) * 0.005;
  for (int j = 1; j < kFirst + kCount; ++j) d->xi(3, j) = d->xc(3, j);
  double par[101] = {0, 0.3, -0.2, 0.05, 1.2, 0.01, 0.02, 0.7, -0.05, 0.015, 0.4, 0.08, 0.03};
  // The grid step as the convolution takes it, |xc(2) − xc(1)|, differs from
  // 0.005 in the last digits: the delta is 1/Δ of that step.
  const double delta = 1.0 / std::fabs(d->xc(3, 2) - d->xc(3, 1));
  // Δ·(f·(1/Δ)) carries three roundings (1/Δ, the product, the scaling); the
  // zero kernel terms add exact zeros.
  constexpr double kTol = 3 * kEps;
  // A delta at the origin returns the model; one at m = s (a resolution whose
  // peak is s steps above its origin) returns the model s steps earlier,
  // f(x − sΔ), which fixes the orientation of the kernel.
  for (int shift : {0, 2, -1}) {
    d->mi.fill_row(3, 0.0);
    d->mi(3, shift) = delta;
    ASSERT_TRUE(evaluate_data_set(3, *d, 12, par, *ws));
    for (int j = kFirst; j < kFirst + kCount; ++j) {
      const double expected = model_at(101, 3, d->xc(3, j - shift), par);
      EXPECT_NEAR(ws->ycalc(j), expected, kTol * std::fabs(expected)) << "point " << j << ", shift " << shift;
    }
  }
}

// Through the data reader: Gaussian resolution files of the size of the
// quasi-elastic benchmark (400 points of step 0.005, half-width 80).
constexpr double kDataStep = 0.005;
constexpr int kDataPoints = 400;
constexpr double kResSigma = 0.047;  // standard deviation of the resolution

double gaussian_resolution(double x) {
  const double u = x / kResSigma;
  return std::exp(-0.5 * u * u) / (kResSigma * std::sqrt(2.0 * M_PI));
}

// Written to the last bit.
std::string number(double v) { return shortest(v); }

class ConvolvedDataSets : public testing::Test {
 protected:
  ConvolvedDataSets() {
    run_->settings.parfile = "p.par";
    std::string data = "energy  intensity\n";
    for (int j = 0; j < kDataPoints; ++j) data += number(-1.0 + j * kDataStep) + " 1\n";
    testing_support::write_text("d.dat", data);
    // The resolution sampled at m·Δ, m = −100 … 100, written to the last bit.
    std::string res = "x resolution\n";
    for (int m = -100; m <= 100; ++m) res += number(m * kDataStep) + " " + number(gaussian_resolution(m * kDataStep)) + "\n";
    testing_support::write_text("r.dat", res);
  }
  // Slot i convolved with r.dat; the window ±xmaxconv decides the half-width.
  void set(int i, int opfit, double xmaxconv) {
    FitFunctions& d = run_->data;
    d.nomin(i) = "d.dat", d.fileop(i) = "cf", d.kin(i) = -2.0, d.kfin(i) = 2.0, d.opfit(i) = opfit;
    d.sigmae(i, 0) = 1.0, d.nameconv(i) = "r.dat", d.xmaxconv(i) = xmaxconv, d.zeroconv(i) = 0.0;
    run_->settings.nfunc = std::max(run_->settings.nfunc, i);
  }
  void read() { ASSERT_EQ(dataread(run_->settings, run_->data, screen_.con), ReadOutcome::Done); }
  FitFunctions& d() { return run_->data; }

  testing_support::ScratchDir scratch_;
  testing_support::Screen screen_;
  std::unique_ptr<zorvik::Run> run_ = std::make_unique<zorvik::Run>();
  std::unique_ptr<ModelWorkspace> ws_ = std::make_unique<ModelWorkspace>();
};

// ∫ f over [a, b] by adaptive Simpson with Richardson's correction, to an
// absolute error of about `tol`.
double adaptive_simpson(const std::function<double(double)>& f, double a, double b, double fa, double fm, double fb,
                        double whole, double tol, int depth) {
  const double m = 0.5 * (a + b);
  const double lm = 0.5 * (a + m), rm = 0.5 * (m + b);
  const double flm = f(lm), frm = f(rm);
  const double left = (m - a) / 6.0 * (fa + 4.0 * flm + fm);
  const double right = (b - m) / 6.0 * (fm + 4.0 * frm + fb);
  const double diff = left + right - whole;
  if (depth <= 0 || std::fabs(diff) <= 15.0 * tol) return left + right + diff / 15.0;
  return adaptive_simpson(f, a, m, fa, flm, fm, left, 0.5 * tol, depth - 1) +
         adaptive_simpson(f, m, b, fm, frm, fb, right, 0.5 * tol, depth - 1);
}

double integrate(const std::function<double(double)>& f, double a, double b, double tol) {
  const double fa = f(a), fm = f(0.5 * (a + b)), fb = f(b);
  return adaptive_simpson(f, a, b, fa, fm, fb, (b - a) / 6.0 * (fa + 4.0 * fm + fb), tol, 60);
}

// The rectangle rule Δ·Σ_k f(x_k) for f(x′) = L(x′)·R(x − x′) (L a Lorentzian
// of area A and half width Γ, R the Gaussian of standard deviation σ) differs
// from ∫ f by the aliased Fourier components (Poisson's summation formula):
// with |L̂(ω)| = A·e^{−Γ|ω|}, |R̂(ω)| = e^{−σ²ω²/2}, q = e^{−2πa/Δ} and
// a = min(Γ, 2πσ²/Δ), |error| ≤ 2A/(σ√(2π))·e^{a²/(2σ²)}·q/(1 − q). Cutting the
// kernel at ±nΔ leaves out at most max L·erfc(nΔ/(σ√2)).
double rectangle_rule_bound(double area, double gamma, double sigma, double step, int n) {
  const double a = std::min(gamma, 2.0 * M_PI * sigma * sigma / step);
  const double q = std::exp(-2.0 * M_PI * a / step);
  const double aliasing = 2.0 * area / (sigma * std::sqrt(2.0 * M_PI)) * std::exp(a * a / (2.0 * sigma * sigma)) * q / (1.0 - q);
  const double cut = area / (M_PI * gamma) * std::erfc(n * step / (sigma * std::sqrt(2.0)));
  return aliasing + cut;
}

TEST_F(ConvolvedDataSets, LorentzianThroughGaussianResolutionIsTheVoigtIntegral) {
  set(1, 115, 0.40025);
  read();
  ASSERT_EQ((std::vector{d().imaxconv(1), d().imin(1), d().ndatin(1)}), (std::vector{80, 1, kDataPoints}));
  const int n = d().imaxconv(1);
  const double step = std::fabs(d().xc(1, 2) - d().xc(1, 1));
  // Model 115 with one line: half width p1, area p4, centre p7 (off the grid).
  struct Case { double gamma, area; };
  // Γ = 10Δ: the aliasing is below 1e-25, so only roundings remain. Γ = 2Δ:
  // a line barely resolved by the grid, where the rectangle rule's own error
  // (about 6e-5 of the area) dominates.
  for (const Case c : {Case{0.05, 0.8}, Case{0.01, 1.3}}) {
    SCOPED_TRACE("half width " + number(c.gamma));
    double par[101] = {};
    par[1] = c.gamma, par[4] = c.area, par[7] = 0.0123;
    ASSERT_TRUE(evaluate_data_set(1, d(), 7, par, *ws_));
    const double bound = rectangle_rule_bound(c.area, c.gamma, kResSigma, step, n);
    // The oracle is held to 1e-13 absolute; the kernel sum of 161 positive
    // terms rounds within 161·ε of the value.
    constexpr double kQuadratureTol = 1e-13;
    for (int j = 1; j <= kDataPoints; j += 7) {
      const double x = d().xc(1, j);
      const auto integrand = [&](double xp) { return model_at(115, 1, xp, par) * gaussian_resolution(x - xp); };
      const double voigt = integrate(integrand, x - n * step, x + n * step, kQuadratureTol);
      const double y = ws_->ycalc(j);
      const double tol = bound + 10 * kQuadratureTol + (2 * n + 1) * kEps * std::fabs(voigt);
      EXPECT_NEAR(y, voigt, tol) << "point " << j << " x = " << number(x);
    }
  }
}

TEST_F(ConvolvedDataSets, WholeRangeEqualsPointByPointBitForBit) {
  // The quasi-elastic benchmark's shape with three lines, and a fit range
  // whose length leaves a remainder after the blocks of the whole-range form.
  set(1, 115, 0.40025);
  d().kin(1) = -0.9925;  // the range starts at the third point (x = -0.99)
  d().kfin(1) = 0.9025;  // and ends at x = 0.9: 379 points
  read();
  ASSERT_EQ(d().imin(1), 3);
  ASSERT_NE(d().ndatin(1) % 8, 0);
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(0.005, 0.3);
  for (int trial = 0; trial < 5; ++trial) {
    double par[101] = {};
    for (int k = 1; k <= 7; ++k) par[k] = u(rng);
    par[7] -= 0.15;
    ASSERT_TRUE(evaluate_data_set(1, d(), 7, par, *ws_));
    for (int j = d().imin(1); j < d().imin(1) + d().ndatin(1); ++j) {
      double y = 0.0;
      conv(1, ws_->yconv, j, d(), y, par, false);
      ASSERT_EQ(ws_->ycalc(j), y) << "point " << j << ", trial " << trial;
    }
  }
  // The raw kernel sums against the sum Σ_t g[p+t]·m(n−t) written out here,
  // for every count up to two blocks of sixteen and a remainder, with a kernel
  // whose every weight matters (the resolution's tails are below the rounding
  // of its centre), in both vector widths, whichever the processor uses.
  const int n = 5;
  std::vector<double> g(40 + 2 * n), m(2 * n + 1), s1(40), s2(40), s3(40);
  for (double& v : g) v = u(rng);
  for (double& v : m) v = u(rng);
  for (int count = 0; count <= 40; ++count) {
    kernel_sums_sequential(g.data(), m.data() + n, n, count, s1.data());
    kernel_sums(g.data(), m.data() + n, n, count, s2.data());
    kernel_sums_narrow(g.data(), m.data() + n, n, count, s3.data());
    for (int p = 0; p < count; ++p) {
      double direct = 0.0;
      for (int t = 0; t <= 2 * n; ++t) direct += g[size_t(p + t)] * m[size_t(2 * n - t)];
      // Eleven positive terms of order 0.1 in the same order: at most a few ulps apart.
      EXPECT_NEAR(s1[p], direct, 1e-15) << "count " << count << ", point " << p;
      ASSERT_EQ(s1[p], s2[p]) << "count " << count << ", point " << p;
      ASSERT_EQ(s1[p], s3[p]) << "count " << count << ", point " << p;
    }
  }
}

TEST(MolecularConvolution, GridPointsAtTheOriginCountAsZero) {
  // g(r) of CCl4 on option "c" from r = 0 with a delta kernel 1/Δ: the
  // convolution of (g − B)/r returns g at r > 0 and B(0) at r = 0, where the
  // quotient would be 0/0 (and NaN·0 in every kernel sum that reaches it).
  auto d = std::make_unique<FitFunctions>();
  auto ws = std::make_unique<ModelWorkspace>();
  const double step = 0.25;  // dyadic: 1/Δ and Δ·S are exact
  const int count = 20, half = 3;
  d->opfit(2) = 4, d->fileop(2) = "c", d->imin(2) = 1, d->ndatin(2) = count, d->imaxconv(2) = half;
  for (int k = -half; k <= count + half; ++k) d->xc(2, k) = (k - 1) * step;
  for (int j = 1; j <= count; ++j) d->xi(2, j) = d->xc(2, j);
  d->mi(2, 0) = 1.0 / step;
  double par[101] = {};
  par[1] = 1.0, par[2] = 0.1, par[3] = 0.05, par[15] = 1.77, par[16] = 0.05, par[17] = 0.08;
  ASSERT_TRUE(evaluate_data_set(2, *d, 17, par, *ws));
  for (int j = 1; j <= count; ++j) {
    double g = background_polynomial(0.0, par);
    if (j > 1) {
      ASSERT_TRUE(find_model(4)->plain(ModelEnv{}, 2, &d->xc(2, j), &g, 1, par));
    }
    // Undoing the transform rounds the division, the product and the sum with
    // B: a few ulps of g and B, both of order one.
    EXPECT_NEAR(ws->ycalc(j), g, 4e-15 * (1 + std::fabs(g))) << "r = " << d->xc(2, j);
  }
}

}  // namespace
}  // namespace zorvik
