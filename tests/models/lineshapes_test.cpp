// Line shapes and simple models: areas by quadrature, the exact Voigt profile, formulas in another order or form.
#include "models/lineshapes.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <initializer_list>
#include <iomanip>
#include <numbers>

namespace zorvik {
namespace {

// Terms combined in another order agree to a few ulps; 1e-13 of Σ|terms| leaves room for ~20 roundings.
constexpr double kFormulaTol = 1e-13;
// The Voigt sum against its own 17-digit reference values (the approximation
// evaluated independently in complex form): the terms partly cancel.
constexpr double kVoigtSelfTol = 1e-12;
// Against the exact profile: 2e-3 of the peak (the approximation's worst error is 1.49e-3).
constexpr double kVoigtExactTol = 2e-3;

constexpr double kPiD = std::numbers::pi;
constexpr double kPiF = 3.1415927410125732;  // float(π), as the normalised shapes use it
constexpr double A[] = {-1.215, -1.3509, -1.215, -1.3509}, B[] = {1.2359, 0.3786, -1.2359, -0.3786};
constexpr double C[] = {-0.3085, 0.5906, -0.3085, 0.5906}, D[] = {0.021, -1.1858, -0.021, 1.1858};

using Params = std::array<double, 101>;  // p[k] = pk; p[0] unused
Params make_params(std::initializer_list<double> values) {
  Params p{};
  int k = 1;
  for (double v : values) p[k++] = v;
  return p;
}

// Peak of the exact Voigt profile, erfcx(Y)/(s√(2π)); erfcx by its asymptotic series
// where exp(Y²) would overflow (error below 2e-8 for Y ≥ 20).
double exact_voigt_peak(double s, double g) {
  const double Y = g / (s * std::sqrt(2.0));
  const double erfcx = Y < 20 ? std::exp(Y * Y) * std::erfc(Y) : (1 - 1 / (2 * Y * Y) + 3 / (4 * Y * Y * Y * Y)) / (Y * std::sqrt(kPiD));
  return erfcx / (s * std::sqrt(2 * kPiD));
}

template <class F>
double trapezoid(F f, double a, double b, int n) {
  const double h = (b - a) / n;
  double sum = 0.5 * (f(a) + f(b));
  for (int k = 1; k < n; ++k) sum += f(a + k * h);
  return sum * h;
}

// Trapezoid sums of functions analytic in a strip of half-width d converge like
// exp(−2πd/h); what remains is the end correction h²/12·(f′(b) − f′(a)) and rounding.
TEST(ShapeAreas, MatchTheClosedFormsOfTheTruncatedIntegrals) {
  // Gaussian, ±12 s: area √(2π)/√(2π′) = 1 − 1.39e-8, which a double π would miss.
  EXPECT_NEAR(trapezoid([](double x) { return dgauss(0.3, 0.7, x); }, 0.3 - 8.4, 0.3 + 8.4, 192),
              std::sqrt(kPiD / kPiF), 1e-14);
  // Lorentzian over ±1000 g: (2/π′)·atan(L/g) plus the end correction (−1.06e-12).
  const double g = 0.25, L = 1000 * g, h = g / 10;
  const double end = -h * h / 12 * 4 * g * L / (kPiF * (L * L + g * g) * (L * L + g * g));
  EXPECT_NEAR(trapezoid([g](double x) { return dlorentz(-1.0, -g, x); }, -1 - L, -1 + L, 20000),
              2 / kPiF * std::atan(L / g) + end, 1e-14);
  // Voigt: each term integrates to C·atan((X − B)/(Y − A)) + (D/2)·ln((Y − A)² + (X − B)²),
  // area ΔF/√π′; the poles lie ≥ 1.215 off the real axis, so h = 0.05 s leaves only rounding.
  for (const auto& sg : {std::array{1.0, 1.0}, std::array{0.3, 0.05}, std::array{0.05, 2.0}}) {
    const double s = sg[0], g = sg[1];  // clang 14 cannot capture a structured binding in a lambda
    const double x0 = 0.4, L = 100 * (s + g), Y = g / (s * std::sqrt(2.0));
    auto F = [&](double x) {
      const double X = (x - x0) / (s * std::sqrt(2.0));
      double f = 0;
      for (int m = 0; m < 4; ++m)
        f += C[m] * std::atan((X - B[m]) / (Y - A[m])) + D[m] / 2 * std::log((Y - A[m]) * (Y - A[m]) + (X - B[m]) * (X - B[m]));
      return f;
    };
    const double area = trapezoid([&](double x) { return dvoigt(x0, s, g, x); }, x0 - L, x0 + L, static_cast<int>(2 * L / (0.05 * s)));
    EXPECT_NEAR(area, (F(x0 + L) - F(x0 - L)) / std::sqrt(kPiF), 1e-10) << "s=" << s << " g=" << g;
  }
}

// Exact: the Faddeeva function; approx: the approximation evaluated independently.
struct VoigtPoint { double x0, s, g, x, exact, approx; };
constexpr VoigtPoint kVoigtPoints[] = {
    {0, 1, 1, 0, 0.20870928052036772, 0.20871636678167563},     {0, 1, 1, 1, 0.16579566268916651, 0.16579941867109405},
    {0, 1, 1, 3, 0.043385822323679699, 0.04350093778505687},    {0, 1, 1, 10, 0.0032487348597690954, 0.0032446503049829733},
    {0, 0.5, 0.1, 0, 0.68496763174294284, 0.68498269387505106}, {0, 0.5, 0.1, 0.5, 0.44922297055145866, 0.44918830291177475},
    {0, 0.5, 0.1, 2, 0.010526647506744506, 0.01039609795927518}, {1.5, 0.2, 2, 0, 0.10213052063547255, 0.10212943823581584},
    {0, 0.05, 0.01, 0.02, 6.3980767168706691, 6.3981982253493186}, {0, 2, 0.001, 1, 0.17597141892698862, 0.17597580592338827},
    {0, 0.001, 1, 0.3, 0.29202723908797229, 0.29203259740979232}, {0.2, 0.3, 0.3, -0.4, 0.30238399808758476, 0.30255558562924623},
};

TEST(VoigtAgainstExactProfile, StaysWithinItsErrorOfTheExactProfile) {
  for (const VoigtPoint& v : kVoigtPoints) {
    const double y = dvoigt(v.x0, v.s, v.g, v.x);
    SCOPED_TRACE(::testing::Message() << std::setprecision(17) << "x0=" << v.x0 << " s=" << v.s << " g=" << v.g
                                      << " x=" << v.x << " dvoigt=" << y);
    EXPECT_NEAR(y, v.exact, kVoigtExactTol * exact_voigt_peak(v.s, v.g));
    EXPECT_NEAR(y, v.approx, kVoigtSelfTol * v.approx);
  }
  EXPECT_EQ(dvoigt(0, -1, -1, 0.5), dvoigt(0, 1, 1, 0.5));
}

TEST(BackgroundModels, SumsMatchTheirFormulas) {
  // Signed parameters; widths p6, p9, … ≥ 0.5. Each model checked to kFormulaTol of Σ|terms|,
  // which also tells the double π these models use from the stored single-precision one.
  double y = 0;
  Params p{};
  for (int k = 1; k <= 18; ++k) p[k] = std::sin(1.7 * k) + (k % 3 == 0 ? 1.5 : 0);
  for (double x : {-1.3, 0.45, 2.2}) {
    double pol = 0, spol = 0, gs = 0, sg = 0, ls = 0, sl = 0;
    for (int k = 0; k <= 9; ++k) pol += p[k + 1] * std::pow(x, k), spol += std::fabs(p[k + 1] * std::pow(x, k));
    for (int m = 1; m <= 5; ++m) {
      const double a = p[3 * m + 1], d = x - p[3 * m + 2], w = p[3 * m + 3];
      const double tg = a * std::exp(-d * d / (2 * w * w)) / (w * std::sqrt(2 * kPiD)), tl = a * w / (kPiD * (d * d + w * w));
      if (m <= 3) gs += tg, sg += std::fabs(tg);
      ls += tl, sl += std::fabs(tl);
    }
    const double bg = p[1] + p[2] * x + p[3] * x * x, sbg = std::fabs(p[1]) + std::fabs(p[2] * x) + std::fabs(p[3] * x * x);
    const double lbg = std::pow(10, p[1]) + std::pow(10, p[2]) * x + std::pow(10, p[3]) * x * x;
    SCOPED_TRACE(x);
    EXPECT_TRUE(poli(1, x, p.data(), y));
    EXPECT_NEAR(y, pol, kFormulaTol * spol);
    EXPECT_TRUE(gauss(1, x, p.data(), y));
    EXPECT_NEAR(y, bg + gs, kFormulaTol * (sbg + sg));
    EXPECT_TRUE(gaussl(1, x, p.data(), y));
    EXPECT_NEAR(y, lbg + gs, kFormulaTol * (std::fabs(lbg) + sg));
    EXPECT_TRUE(lorentz(1, x, p.data(), y));
    EXPECT_NEAR(y, bg + ls, kFormulaTol * (sbg + sl));
  }

  // Two Lorentzians per data set, p1 … p3 shared: a distinct block for each i.
  for (int k = 1; k <= 28; ++k) p[k] = 0.3 + 0.01 * k * (k % 2 ? 1 : -1);
  for (int i = 1; i <= 5; ++i) {
    const double a = p[3 + i], w = p[8 + i], g1 = p[13 + i], g2 = p[18 + i], c = p[23 + i];
    for (double x : {c, c + 0.4, -1.0}) {
      const double bg = p[1] + p[2] * x + p[3] * x * x, d2 = (x - c) * (x - c);
      const double lines = a / kPiD * (w * g1 / (d2 + g1 * g1) + (1 - w) * g2 / (d2 + g2 * g2));
      EXPECT_TRUE(l2(i, x, p.data(), y));
      EXPECT_NEAR(y, bg + lines, kFormulaTol * (std::fabs(bg) + std::fabs(lines))) << "i=" << i << " x=" << x;
    }
  }
}

TEST(StretchedExponentialAndBrokenLine, ReadTheBlockOfTheirDataSet) {
  Params p = make_params({2.5});
  for (int i = 1; i <= 9; ++i) p[9 + i] = 0.3 + 0.07 * i;
  double y = 0;
  EXPECT_TRUE(kww(1, 2.5, p.data(), y));
  EXPECT_DOUBLE_EQ(y, std::exp(-1.0));
  EXPECT_TRUE(kww(9, 7.0, p.data(), y));
  EXPECT_NEAR(y, std::exp(-std::pow(7.0 / 2.5, p[18])), 1e-15);  // one pow and exp: a few ulps of 0.1

  // Break at 2; set 1: a = 1, b = 3, c = 99, d = −1; set 2: a = 5, b = 0.5, c = 77, d = 2.
  // With p2 = 1 the model uses the joined intercept and leaves p alone; the
  // rule puts that intercept into the state.
  Params k = make_params({2.0, 1.0, 1.0, 3.0, 99.0, -1.0, 5.0, 0.5, 77.0, 2.0});
  EXPECT_TRUE(kink(1, 0.0, k.data(), y));
  EXPECT_EQ(y, 1.0);
  EXPECT_TRUE(kink(2, 3.0, k.data(), y));
  EXPECT_EQ(y, 2.0 * 3.0 + ((0.5 - 2.0) * 2.0 + 5.0));
  EXPECT_EQ(k[5], 99.0);
  EXPECT_EQ(k[9], 77.0);
  kink_rule(1, k.data());
  EXPECT_EQ(k[5], (3.0 - -1.0) * 2.0 + 1.0);
  EXPECT_EQ(k[9], 77.0);
  kink_rule(2, k.data());
  EXPECT_EQ(k[9], (0.5 - 2.0) * 2.0 + 5.0);
  k[2] = 0;  // free intercept: used as it stands, no rule
  k[5] = 99;
  kink_rule(1, k.data());
  EXPECT_EQ(k[5], 99.0);
  kink(1, 4.0, k.data(), y);
  EXPECT_EQ(y, -4.0 + 99.0);
}

// Zero widths and the guarded quotient: the shapes vanish or fall back to the pure
// shape; the narrow peak is a tent of zero at its centre.
TEST(ShapeReductions, ZeroWidthsVanishOrFallBackToThePureShape) {
  EXPECT_EQ(dquot0(3.0, 0.0), 0.0);
  EXPECT_EQ(dquot0(3.0, 2.0), 1.5);
  for (double x : {0.4, 1.4, -7.0}) {
    EXPECT_EQ(dlorentz(0.4, 0.0, x), 0.0);
    EXPECT_EQ(dgauss(0.4, 0.0, x), 0.0);
    EXPECT_EQ(dvoigt(0.4, 0.0, 0.7, x), dlorentz(0.4, 0.7, x));
    EXPECT_EQ(dvoigt(0.4, 0.3, 0.0, x), dgauss(0.4, 0.3, x));
  }
  const double w = kNarrowPeakWidth;
  EXPECT_EQ(ddelta(0.4, w, 0.4), 0.0);
  EXPECT_NEAR(ddelta(0.4, w, 0.4 - 0.5 * w), 0.5, 1e-12);
  EXPECT_EQ(ddelta(0.4, w, 0.4 + w), 0.0);
  EXPECT_EQ(ddelta(0.4, w, 0.5), 0.0);
}

// The quasi-elastic sums: each term with its own width, weight and centre, the
// models taking |p| of signed values. The two-motion models at the four corners
// of their elastic fractions (a, b) ∈ {0, 1}², where one term remains; their
// weights are bilinear in a and b, so the corners fix them.
TEST(QuasielasticCombinations, EachTermCarriesItsOwnWidthWeightAndCentre) {
  const double c = 0.2;
  double y = 0;
  for (double x : {0.2, 0.2005, 0.9, -3.0}) {
    SCOPED_TRACE(x);
    const Params p = make_params({-0.3, 0.8, -2.0, 1.5, -2.5, 3.5, c});
    const double l2 = 2.5 * dlorentz(c, 0.8, x) + 3.5 * dlorentz(c, 2.0, x);
    EXPECT_TRUE(lll(1, x, p.data(), y));
    EXPECT_NEAR(y, 1.5 * dlorentz(c, 0.3, x) + l2, kFormulaTol * y);
    EXPECT_TRUE(gll(1, x, p.data(), y));
    EXPECT_NEAR(y, 1.5 * dgauss(c, 0.3, x) + l2, kFormulaTol * y);
    const Params q = make_params({-0.3, 0.8, 1.5, -2.5, 3.5, c});
    EXPECT_TRUE(dll(1, x, q.data(), y));
    EXPECT_NEAR(y, 1.5 * ddelta(c, kNarrowPeakWidth, x) + 2.5 * dlorentz(c, 0.3, x) + 3.5 * dlorentz(c, 0.8, x),
                kFormulaTol * y);
    const double g1 = 0.5, g2 = 1.2;
    const struct {
      double a, b, width;  // the one remaining term's motion width
    } corners[] = {{1, 1, 0}, {0, 1, g1}, {1, 0, g2}, {0, 0, g1 + g2}};
    for (const auto& k : corners) {
      const Params t = make_params({-0.3, g1, -g2, -2.0, k.a, k.b, c});
      EXPECT_TRUE(gvv(1, x, t.data(), y));
      EXPECT_NEAR(y, 2.0 * dvoigt(c, 0.3, k.width, x), kFormulaTol * y) << "[123] a=" << k.a << " b=" << k.b;
      EXPECT_TRUE(lxlxl(1, x, t.data(), y));
      EXPECT_NEAR(y, 2.0 * dlorentz(c, 0.3 + k.width, x), kFormulaTol * y) << "[125] a=" << k.a << " b=" << k.b;
    }
  }
  EXPECT_TRUE(sebtest(1, 0.9, make_params({-0.3, -0.5, c}).data(), y));
  EXPECT_EQ(y, dvoigt(c, 0.3, 0.5, 0.9));
}

}  // namespace
}  // namespace zorvik
