// The quasi-elastic diffusion, rotation and confinement models against their
// formulas written out afresh here (Lorentzians normalised one by one, the
// spherical Bessel weights from the C++ standard library), the area of the
// flow and rotation spectrum by quadrature, and the batch form against the
// point-by-point form.
#include "models/diffusion.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <iomanip>
#include <vector>

#include "models/functions.h"

namespace zorvik {
namespace {

// The same formula summed in another order or form: a few roundings of the
// largest term, 1e-13 of the sum of |terms| leaves room for ~20.
constexpr double kFormulaTol = 1e-13;
// Where the Bessel weights enter: the model's j_l(qR) are single precision
// (good to 1.5e-7 relative, see bessel_test.cpp), the oracle's double; 1e-6 of
// the sum of |terms| allows that with a factor of five.
constexpr double kBesselTol = 1e-6;

constexpr double kPi = 3.141592653589793;

using Params = std::array<double, 101>;  // p[k] = pk, p[0] unused
using Zrow = std::array<double, 11>;     // z[k] = z(i, k), z[0] unused

Zrow with_q(double q) { return Zrow{0, 300.0, q}; }  // a temperature (not read) and q

// Normalised Lorentzian of half width w about c.
double lorentzian(double x, double c, double w) { return w / (kPi * ((x - c) * (x - c) + w * w)); }
double background(const Params& p, double x) { return p[1] + p[2] * x + p[3] * x * x; }

// The Bessel weights at s = q·R as the model rounds it.
double jlsq(int l, double q, double r) {
  const double s = static_cast<float>(q * r);
  return std::pow(std::sph_bessel(l, s), 2);
}

using PointModel = bool (*)(const ModelEnv&, int, double, const double*, double&);

// The model value at x for data set i, from the per-point form.
double eval(PointModel m, const Zrow& z, int i, const Params& p, double x) {
  double y = std::nan("");
  EXPECT_TRUE(m(ModelEnv{z.data(), nullptr}, i, x, p.data(), y));
  return y;
}

const double kXs[] = {-2.0, -0.7, -0.15, 0.0, 0.05, 0.3, 1.1, 3.0};

TEST(DiffusionModels, ConfinedMotionSplitsTheLineByItsElasticFraction) {
  Params p{};
  p[1] = 0.02, p[2] = -0.01, p[3] = 0.004;
  p[4] = 0.25, p[5] = 0.08;                    // Γc, D
  p[5 + 3] = 1.7, p[14 + 3] = 0.4, p[23 + 3] = 0.05;  // area, elastic fraction, centre of set 3
  const Zrow z = with_q(1.5);
  const double gd = 0.08 * 1.5 * 1.5;
  for (double x : kXs) {
    EXPECT_NEAR(eval(dif1conf, z, 3, p, x),
                background(p, x) + 1.7 * (0.4 * lorentzian(x, 0.05, gd) + 0.6 * lorentzian(x, 0.05, gd + 0.25)),
                kFormulaTol)
        << x;
  }

  // Two independent confined motions: the convolution of (a·δ + (1 − a)·L(Γ1))
  // with (b·δ + (1 − b)·L(Γ2)), Lorentzian widths adding, on the diffusive line.
  Params q{};
  q[1] = 0.01, q[2] = 0.0, q[3] = 0.002;
  q[4] = 0.3, q[5] = 0.9, q[6] = 0.04;  // Γ1, Γ2, D
  q[6 + 2] = 2.5, q[33 + 2] = -0.1, q[15 + 2] = 0.7, q[24 + 2] = 0.2;  // area, centre, fractions of set 2
  const double gd2 = 0.04 * 1.5 * 1.5, a = 0.7, b = 0.2;
  for (double x : kXs) {
    auto mix = [&](double w) { return lorentzian(x, -0.1, gd2 + w); };
    EXPECT_NEAR(eval(dif2conf, z, 2, q, x),
                background(q, x) + 2.5 * (a * b * mix(0.0) + a * (1 - b) * mix(0.9) + (1 - a) * b * mix(0.3) +
                                          (1 - a) * (1 - b) * mix(1.2)),
                kFormulaTol)
        << x;
  }
}

TEST(RotationModels, DifrotAndDifrotaAreAnElasticPlusRotationalLines) {
  Params p{};
  p[1] = 0.01, p[2] = 0.003, p[3] = -0.002;
  p[4] = 1.8, p[5] = 0.06, p[6] = 0.05;  // R, Dr, D
  p[6 + 4] = 1.3, p[15 + 4] = 0.07;      // area and centre of set 4
  const double q = 1.2, gd = 0.05 * q * q;
  const Zrow z = with_q(q);
  const double e = jlsq(0, q, 1.8), r = 3 * jlsq(1, q, 1.8);
  ASSERT_GT(r, 0.2);  // qR ≈ 2.2: the rotational line carries weight
  for (double x : kXs) {
    // τ = 0: rotational diffusion, W1 = 2·Dr + Γ_D whatever β is.
    p[25] = 0.0, p[26] = 3.7;
    const double terms = e * lorentzian(x, 0.07, gd) + r * lorentzian(x, 0.07, 2 * 0.06 + gd);
    EXPECT_NEAR(eval(difrot, z, 4, p, x), background(p, x) + 1.3 * terms, kBesselTol * std::fabs(1.3 * terms) + 1e-15)
        << x;
    // τ ≠ 0: jumps, the rate 2·Dr slowed by (1 + 2τDr)^β (τ and β in single precision).
    p[25] = 4.0, p[26] = 0.6;
    const double w1 = 2 * 0.06 / std::pow(1 + 4.0 * 2 * 0.06, static_cast<double>(0.6f)) + gd;
    const double jumps = e * lorentzian(x, 0.07, gd) + r * lorentzian(x, 0.07, w1);
    EXPECT_NEAR(eval(difrot, z, 4, p, x), background(p, x) + 1.3 * jumps, kBesselTol * std::fabs(1.3 * jumps) + 1e-15)
        << x;
    // Model 113, a symmetric top of axial ratio r = 2.5: the l = 1 line splits by
    // m = −1, 0, 1 into widths 2·Dr + m²·(r − 1)·Dr + Γ_D, each of weight j1².
    p[25] = 2.5;
    double top = e * lorentzian(x, 0.07, gd);
    for (int m = -1; m <= 1; ++m) top += jlsq(1, q, 1.8) * lorentzian(x, 0.07, 0.12 + m * m * 1.5 * 0.06 + gd);
    EXPECT_NEAR(eval(difrota, z, 4, p, x), background(p, x) + 1.3 * top, kBesselTol * 1.3 * top) << x;
  }
}

TEST(RotationModels, DifrotconfSumsSixRotationalLinesEachSplitByTheConfinement) {
  Params p{};
  p[1] = 0.005, p[2] = 0.0, p[3] = 0.001;
  p[4] = 2.5, p[5] = 0.04, p[6] = 0.2, p[7] = 0.1;  // R, Dr, Γc, D
  p[7 + 5] = 0.9, p[16 + 5] = 0.65, p[25 + 5] = -0.03;  // area, f, centre of set 5
  const double q = 1.6, gd = 0.1 * q * q, f = 0.65, gc = 0.2;
  const Zrow z = with_q(q);  // qR = 4: lines up to l = 6 carry weight
  for (double x : kXs) {
    auto split = [&](double w) { return f * lorentzian(x, -0.03, w) + (1 - f) * lorentzian(x, -0.03, w + gc); };
    double six = jlsq(0, q, 2.5) * split(gd);
    for (int l = 1; l <= 6; ++l) six += (2 * l + 1) * jlsq(l, q, 2.5) * split(l * (l + 1) * 0.04 + gd);
    EXPECT_NEAR(eval(difrotconf, z, 5, p, x) - background(p, x), 0.9 * six, kBesselTol * 0.9 * six) << x;
  }
}

struct ModelCase {
  int number;
  PointModel point;
  BatchModel batch;
  std::vector<int> shared;  // parameter positions read by every data set
  std::vector<int> bases;   // block k of data set i is p(bases[k] + i)
};

const std::vector<ModelCase>& model_cases() {
  static const std::vector<ModelCase> cases = {
      {111, dif, dif_batch, {1, 2, 3, 4, 5}, {5, 14, 23}},
      {118, dif1conf, dif1conf_batch, {1, 2, 3, 4, 5}, {5, 14, 23}},
      {119, dif2conf, dif2conf_batch, {1, 2, 3, 4, 5, 6}, {6, 15, 24, 33}},
      {112, difrot, difrot_batch, {1, 2, 3, 4, 5, 6, 25, 26}, {6, 15}},
      {113, difrota, difrota_batch, {1, 2, 3, 4, 5, 6, 25}, {6, 15}},
      {120, difrotconf, difrotconf_batch, {1, 2, 3, 4, 5, 6, 7}, {7, 16, 25}},
      {121, flowrot, flowrot_batch, {1, 2, 3, 4, 5, 6, 25, 26}, {6, 15}},
  };
  return cases;
}

// Shared parameters at plausible values, the blocks of data set i filled, every
// other position NaN: a model that read anything else would give NaN.
Params block_params(const ModelCase& m, int i) {
  Params p;
  p.fill(std::nan(""));
  const double shared[] = {0, 0.01, 0.002, -0.001, 1.3, 0.07, 0.2, 0.11};
  for (int k : m.shared) p[k] = k <= 7 ? shared[k] : (k == 25 ? 0.5 : 0.8);
  const double block[] = {1.2, 0.35, 0.6, 0.05};
  for (size_t k = 0; k < m.bases.size(); ++k) p[m.bases[k] + i] = block[k];
  return p;
}

TEST(FlowAndRotation, SpectrumWithoutBackgroundHasTheAreaOfItsBesselWeights) {
  // (2l+1)·j_l²(qR) summed over all l is 1; model 121 keeps l = 0 (the flow
  // Gaussian at x = 0) and l = 1 (a Lorentzian at c): area A·(j0² + 3·j1²).
  // Cases: q, R, Dr, v, τ, β, A, c.
  const double cases[][8] = {{1.3, 1.4, 0.07, 0.3, 0, 1, 1.1, 0.5}, {2.9, 1.6, 0.1, 0.05, 3, 0.6, 0.7, -0.2}};
  for (const auto& c : cases) {
    double p[101] = {}, z[11] = {0, 300.0, c[0]};
    p[4] = c[1], p[5] = c[2], p[6] = c[3], p[25] = c[4], p[26] = c[5], p[7] = c[6], p[16] = c[7];  // data set 1
    // ∫ y dx with x = c + w·tan θ (w about the Lorentzian's half width), the
    // midpoint rule over θ in (−π/2, π/2): the Lorentzian becomes a constant
    // and the rule converges geometrically; 400000 points resolve the Gaussian.
    const double w = 2 * c[2] + c[0] * c[3];
    const int n = 400000;
    double area = 0.0, y = 0.0;
    for (int k = 0; k < n; ++k) {
      const double t = M_PI * ((k + 0.5) / n - 0.5), sec = 1.0 / std::cos(t);
      ASSERT_TRUE(flowrot(ModelEnv{z, nullptr, nullptr}, 1, c[7] + w * std::tan(t), p, y));
      area += y * w * sec * sec * M_PI / n;
    }
    const double s = static_cast<float>(c[0] * c[1]);  // the model rounds qR to single precision
    const double expected = c[6] * (std::pow(std::sph_bessel(0, s), 2) + 3 * std::pow(std::sph_bessel(1, s), 2));
    // The model's j_l are single precision (relative 1.5e-7, bessel_test.cpp).
    EXPECT_NEAR(area, expected, 1e-6 * expected) << "q " << c[0];
  }
}

// The batch form computes the Bessel weights and widths once; the numbers must
// be those of the point-by-point form to the last bit.
TEST(DiffusionModels, BatchEqualsPointByPointBitForBit) {
  constexpr int kN = 301;
  std::array<double, kN> xs;
  for (int k = 0; k < kN; ++k) xs[k] = -3.0 + 0.02 * k + 1e-3 * std::sin(k);  // irregular grid
  for (const ModelCase& m : model_cases()) {
    for (double q : {0.35, 1.2, 2.9}) {
      const Zrow z = with_q(q);
      for (int i : {1, 6, 9}) {
        Params p = block_params(m, i);
        if (m.number == 113) p[25] = 1.7;  // the anisotropic branch
        std::array<double, kN> ys;
        ASSERT_TRUE(m.batch(ModelEnv{z.data(), nullptr}, i, xs.data(), ys.data(), kN, p.data()));
        for (int k = 0; k < kN; ++k) {
          const double y = eval(m.point, z, i, p, xs[k]);
          EXPECT_EQ(std::bit_cast<uint64_t>(ys[k]), std::bit_cast<uint64_t>(y))
              << std::setprecision(17) << "model " << m.number << ", q = " << q << ", set " << i
              << ", x = " << xs[k] << ": " << ys[k] << " vs " << y;
        }
      }
    }
  }
}

}  // namespace
}  // namespace zorvik
