// The convolution with the resolution function: kernels whose result is known
// exactly (a delta, a unit-area kernel on a constant), a Lorentzian through a
// Gaussian resolution file against the Voigt integral by quadrature, each data
// set with its own kernel, the whole-range form against the per-point form, and
// grids that do not fit the buffer.
#include "models/convolution.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "models/functions.h"
#include "models/lineshapes.h"
#include "setup/data_file.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();

// Data set i as the data reader leaves it for option "c": points x1 + (j−1)·Δ,
// fit range first … first+count−1, grid k = −n … last+n, kernel mi(i, m) =
// kernel(m) for m = −n … n.
void set_up(FitFunctions& d, int i, double x1, double step, int first, int count, int n,
            const std::function<double(int)>& kernel) {
  d.fileop(i) = "c";
  d.imin(i) = first;
  d.ndatin(i) = count;
  d.imaxconv(i) = n;
  for (int j = 1; j <= first + count - 1; ++j) d.xi(i, j) = x1 + (j - 1) * step;
  for (int k = -n; k <= first + count - 1 + n; ++k) d.xc(i, k) = x1 + (k - 1) * step;
  for (int m = -n; m <= n; ++m) d.mi(i, m) = kernel(m);
}

// The plain model at one x.
double model_at(int opfit, int i, double x, double* par) {
  double y = std::nan("");
  EXPECT_TRUE(plain_model(opfit)(ModelEnv{}, i, &x, &y, 1, par)) << opfit;
  return y;
}

// Three Gaussians on a background (model 101) with widths of a few grid steps.
void gauss_parameters(double* par) {
  const double p[] = {0, 0.3, -0.2, 0.05, 1.2, 0.01, 0.02, 0.7, -0.05, 0.015, 0.4, 0.08, 0.03};
  for (int k = 1; k <= 12; ++k) par[k] = p[k];
}

TEST(Convolution, DeltaKernelReturnsTheModelAtEveryPoint) {
  auto d = std::make_unique<FitFunctions>();
  auto ws = std::make_unique<ModelWorkspace>();
  constexpr double kStep = 0.005;
  constexpr int kFirst = 5, kCount = 40, kHalf = 6;
  set_up(*d, 3, -0.1, kStep, kFirst, kCount, kHalf, [](int) { return 0.0; });
  d->opfit(3) = 101;
  double par[101] = {};
  gauss_parameters(par);
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
      double y = std::nan("");
      functions(j, 3, *d, y, 12, par, *ws);
      EXPECT_NEAR(ws->ycalc(j), expected, kTol * std::fabs(expected)) << "point " << j << ", shift " << shift;
      EXPECT_NEAR(y, expected, kTol * std::fabs(expected)) << "point " << j << ", shift " << shift;
    }
  }
}

// ---------------------------------------------------------------------------
// Through the data reader: Gaussian resolution files of the size of the
// quasi-elastic benchmark (400 points of step 0.005, half-width 80).
// ---------------------------------------------------------------------------

constexpr double kDataStep = 0.005;
constexpr int kDataPoints = 400;
constexpr double kResSigma = 0.047;  // standard deviation of the resolution

double gaussian_resolution(double x) {
  const double u = x / kResSigma;
  return std::exp(-0.5 * u * u) / (kResSigma * std::sqrt(2.0 * M_PI));
}

std::string number(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

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
    d.nomin(i) = "d.dat";
    d.fileop(i) = "cf";
    d.kin(i) = -2.0;
    d.kfin(i) = 2.0;
    d.opfit(i) = opfit;
    d.sigmae(i, 0) = 1.0;
    d.nameconv(i) = "r.dat";
    d.xmaxconv(i) = xmaxconv;
    d.zeroconv(i) = 0.0;
    run_->settings.nfunc = std::max(run_->settings.nfunc, i);
  }
  void read() { ASSERT_EQ(dataread(*run_, screen_.con), ReadOutcome::Done); }
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

// The rectangle rule Δ·Σ_k f(x_k) for the integrand f(x′) = L(x′)·R(x − x′)
// (L a Lorentzian of area A and half width Γ, R the Gaussian of standard
// deviation σ) differs from ∫ f by the aliased Fourier components (Poisson's
// summation formula): |error| ≤ Σ_{m≠0} |f̂(2πm/Δ)|. With |L̂(ω)| = A·e^{−Γ|ω|}
// and |R̂(ω)| = e^{−σ²ω²/2}, and e^{−Γ|ω₁|} ≤ e^{−a·ω₁} for any 0 ≤ a ≤ Γ,
//     |f̂(ω)| ≤ (1/2π)∫ A·e^{−Γ|ω₁|}·e^{−σ²(ω−ω₁)²/2} dω₁ ≤ A/(σ√(2π)) · e^{−aω + a²/(2σ²)},
// so, with q = e^{−2πa/Δ} and a = min(Γ, 2πσ²/Δ) (the best a for the m = 1 term),
//     |error| ≤ 2A/(σ√(2π)) · e^{a²/(2σ²)} · q/(1 − q).
// Cutting the kernel at ±nΔ leaves out at most max L · erfc(nΔ/(σ√2)).
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
  ASSERT_EQ(d().imaxconv(1), 80);
  ASSERT_EQ(d().imin(1), 1);
  ASSERT_EQ(d().ndatin(1), kDataPoints);
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
    par[1] = c.gamma;
    par[4] = c.area;
    par[7] = 0.0123;
    ASSERT_TRUE(evaluate_data_set(1, d(), 7, par, *ws_));
    const double bound = rectangle_rule_bound(c.area, c.gamma, kResSigma, step, n);
    // The oracle is held to 1e-13 absolute; the kernel sum of 161 positive
    // terms rounds within 161·ε of the value.
    constexpr double kQuadratureTol = 1e-13;
    double worst = 0.0;
    for (int j = 1; j <= kDataPoints; j += 7) {
      const double x = d().xc(1, j);
      const auto integrand = [&](double xp) { return model_at(115, 1, xp, par) * gaussian_resolution(x - xp); };
      const double voigt = integrate(integrand, x - n * step, x + n * step, kQuadratureTol);
      const double y = ws_->ycalc(j);
      const double tol = bound + 10 * kQuadratureTol + (2 * n + 1) * kEps * std::fabs(voigt);
      EXPECT_NEAR(y, voigt, tol) << "point " << j << " x = " << number(x);
      worst = std::max(worst, std::fabs(y - voigt));
    }
    RecordProperty("worst_error_gamma_" + std::to_string(static_cast<int>(c.gamma * 1000)), number(worst));
  }
}

TEST_F(ConvolvedDataSets, EachDataSetUsesItsOwnHalfWidth) {
  set(1, 115, 0.40025);
  set(2, 115, 0.10025);
  read();
  ASSERT_EQ(d().imaxconv(1), 80);
  ASSERT_EQ(d().imaxconv(2), 20);
  double par[101] = {};
  par[1] = 0.02;
  par[2] = 0.2;
  par[4] = 0.6;
  par[5] = 0.4;
  par[7] = -0.03;
  // The rectangle rule written out with the model at x_j − mΔ, m = n … −n
  // (the order of increasing grid index).
  auto direct = [&](int i, int j) {
    const int n = d().imaxconv(i);
    const double x = d().xc(i, j);
    double s = 0.0;
    for (int m = n; m >= -n; --m) s += model_at(115, i, x - m * kDataStep, par) * d().mi(i, m);
    return kDataStep * s;
  };
  // The grid x and x_j − mΔ differ by roundings of order 1e-16; the lines'
  // slopes (1/Γ at most 50) make that a relative 1e-14. A wrong half-width
  // (20 instead of 80 points, 2σ instead of 8σ) changes the values by percents.
  constexpr double kTol = 1e-12;
  for (int i : {1, 2, 1}) {
    // Point by point, each data set from its first point: the grid of one
    // set is replaced by the other's.
    for (int j = d().imin(i); j < d().imin(i) + d().ndatin(i); ++j) {
      double y = 0.0;
      functions(j, i, d(), y, 7, par, *ws_);
      if (j % 9 == 0) {
        EXPECT_NEAR(y, direct(i, j), kTol * std::fabs(y)) << "data set " << i << ", point " << j;
      }
    }
  }
  ASSERT_TRUE(evaluate_data_set(2, d(), 7, par, *ws_));
  for (int j = 1; j <= kDataPoints; j += 13) EXPECT_NEAR(ws_->ycalc(j), direct(2, j), kTol * ws_->ycalc(j)) << j;
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
      functions(j, 1, d(), y, 7, par, *ws_);
      ASSERT_EQ(ws_->ycalc(j), y) << "point " << j << ", trial " << trial;
    }
  }
  // The raw kernel sums for every count up to two blocks of sixteen and a
  // remainder.
  // Both vector widths, whichever the processor uses.
  std::vector<double> g(40 + 2 * 80), s1(40), s2(40), s3(40);
  for (double& v : g) v = u(rng);
  const double* m = d().mi.row(1);
  for (int count = 0; count <= 40; ++count) {
    kernel_sums_sequential(g.data(), m, 80, count, s1.data());
    kernel_sums(g.data(), m, 80, count, s2.data());
    kernel_sums_narrow(g.data(), m, 80, count, s3.data());
    for (int p = 0; p < count; ++p) {
      ASSERT_EQ(s1[p], s2[p]) << "count " << count << ", point " << p;
      ASSERT_EQ(s1[p], s3[p]) << "count " << count << ", point " << p;
    }
  }
}

}  // namespace
}  // namespace zorvik
