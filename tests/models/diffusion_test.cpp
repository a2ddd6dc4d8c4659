// The quasi-elastic diffusion, rotation and confinement models against their
// formulas written out afresh here (Lorentzians normalised one by one, the
// spherical Bessel weights from the C++ standard library), their physical
// reductions, the parameter blocks of the data sets, the batch form against
// the point-by-point form, and the refusal of a rotation data set without its
// momentum transfer.
#include "models/diffusion.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <functional>
#include <iomanip>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/run_tables.h"
#include "models/functions.h"
#include "setup/data_file.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::Screen;
using testing_support::write_text;

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

Zrow with_q(double q) {
  Zrow z{};
  z[1] = 300.0;  // a temperature, not read by these models
  z[2] = q;
  return z;
}

// Normalised Lorentzian of half width w about c, and the Gaussian of standard deviation u about 0.
double lorentzian(double x, double c, double w) { return w / (kPi * ((x - c) * (x - c) + w * w)); }
double gaussian0(double x, double u) { return std::exp(-x * x / (2 * u * u)) / (u * std::sqrt(2 * kPi)); }
double background(const Params& p, double x) { return p[1] + p[2] * x + p[3] * x * x; }

// The Bessel weights at s = q·R as the model rounds it.
double j0sq(double q, double r) {
  const double s = static_cast<float>(q * r);
  return std::pow(std::sph_bessel(0, s), 2);
}
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

// ---------------------------------------------------------------------------
// Diffusion and confinement
// ---------------------------------------------------------------------------

TEST(DiffusionModels, DifWithWholeFractionIsOneLorentzianOfWidthDQSquared) {
  Params p{};
  p[1] = 0.01, p[2] = 0.002, p[3] = -0.001;  // background
  p[4] = 0.3;                                // Γ0
  p[5] = 0.05;                               // D
  p[6] = 2.0, p[7] = 3.0;                    // areas of sets 1, 2
  p[15] = 1.0, p[16] = 1.0;                  // fractions
  p[24] = 0.1, p[25] = -0.2;                 // centres
  const Zrow z1 = with_q(1.0), z2 = with_q(2.0);
  for (double x : kXs) {
    EXPECT_NEAR(eval(dif, z1, 1, p, x), background(p, x) + 2.0 * lorentzian(x, 0.1, 0.05), kFormulaTol) << x;
    EXPECT_NEAR(eval(dif, z2, 2, p, x), background(p, x) + 3.0 * lorentzian(x, -0.2, 0.2), kFormulaTol) << x;
  }
  // A partial fraction adds the q-independent line of width Γ0.
  p[16] = 0.3;
  for (double x : kXs)
    EXPECT_NEAR(eval(dif, z2, 2, p, x),
                background(p, x) + 3.0 * (0.3 * lorentzian(x, -0.2, 0.2) + 0.7 * lorentzian(x, -0.2, 0.3)),
                kFormulaTol)
        << x;
}

TEST(DiffusionModels, ConfinedMotionSplitsTheLineByItsElasticFraction) {
  Params p{};
  p[1] = 0.02, p[2] = -0.01, p[3] = 0.004;
  p[4] = 0.25;    // Γc (dif1conf); Γ0 (dif)
  p[5] = 0.08;    // D
  p[5 + 3] = 1.7;  // area of set 3
  p[23 + 3] = 0.05;
  const Zrow z = with_q(1.5);
  const double gd = 0.08 * 1.5 * 1.5;
  for (double x : kXs) {
    p[14 + 3] = 0.4;
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
  q[6 + 2] = 2.5, q[33 + 2] = -0.1;     // area and centre of set 2
  const double gd2 = 0.04 * 1.5 * 1.5;
  for (double x : kXs) {
    q[15 + 2] = 0.7, q[24 + 2] = 0.2;
    const double a = 0.7, b = 0.2;
    auto mix = [&](double w) { return lorentzian(x, -0.1, gd2 + w); };
    EXPECT_NEAR(eval(dif2conf, z, 2, q, x),
                background(q, x) + 2.5 * (a * b * mix(0.0) + a * (1 - b) * mix(0.9) + (1 - a) * b * mix(0.3) +
                                          (1 - a) * (1 - b) * mix(1.2)),
                kFormulaTol)
        << x;
  }
}

// ---------------------------------------------------------------------------
// Rotation
// ---------------------------------------------------------------------------

// Parameters shared by the rotation tests: R, Dr and D in the positions of difrot.
Params rotation_params() {
  Params p{};
  p[1] = 0.01, p[2] = 0.003, p[3] = -0.002;
  p[4] = 1.8;   // R
  p[5] = 0.06;  // Dr
  p[6] = 0.05;  // D
  p[6 + 4] = 1.3;    // area of set 4
  p[15 + 4] = 0.07;  // centre of set 4
  return p;
}

TEST(RotationModels, DifrotIsAnElasticAndOneRotationalLine) {
  Params p = rotation_params();
  const double q = 1.2, gd = 0.05 * q * q;
  const Zrow z = with_q(q);
  const double e = j0sq(q, 1.8), r = 3 * jlsq(1, q, 1.8);
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
  }
}

TEST(RotationModels, DifrotaAtUnitRatioIsDifrotWithoutJumps) {
  Params p = rotation_params();
  const double q = 0.9, gd = 0.05 * q * q;
  const Zrow z = with_q(q);
  for (double x : kXs) {
    p[25] = 0.0;  // τ of difrot
    p[26] = 0.5;
    const double iso = eval(difrot, z, 4, p, x);
    p[25] = 1.0;  // r of difrota
    EXPECT_EQ(eval(difrota, z, 4, p, x), iso) << x;
    // r = 2.5: the |m| = 1 lines are broadened by (r − 1)·Dr.
    p[25] = 2.5;
    const double j1 = jlsq(1, q, 1.8);
    const double terms = j0sq(q, 1.8) * lorentzian(x, 0.07, gd) + j1 * lorentzian(x, 0.07, 2 * 0.06 + gd) +
                         2 * j1 * lorentzian(x, 0.07, 2 * 0.06 + 1.5 * 0.06 + gd);
    EXPECT_NEAR(eval(difrota, z, 4, p, x), background(p, x) + 1.3 * terms, kBesselTol * 1.3 * std::fabs(terms))
        << x;
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
    double six = j0sq(q, 2.5) * split(gd), one = six;
    for (int l = 1; l <= 6; ++l) {
      const double t = (2 * l + 1) * jlsq(l, q, 2.5) * split(l * (l + 1) * 0.04 + gd);
      six += t;
      if (l == 1) one += t;
    }
    const double y = eval(difrotconf, z, 5, p, x) - background(p, x);
    EXPECT_NEAR(y, 0.9 * six, kBesselTol * 0.9 * six) << x;
    // The lines beyond l = 1 matter here: one term alone would be far off.
    EXPECT_GT(std::fabs(y - 0.9 * one), 100 * kBesselTol * 0.9 * six) << x;
  }
}

TEST(RotationModels, FlowrotHasItsGaussianAtZeroAndItsLineAtTheCentre) {
  Params p{};
  p[1] = 0.01, p[2] = 0.0, p[3] = 0.0;
  p[4] = 1.4, p[5] = 0.07, p[6] = 0.3;  // R, Dr, v
  p[25] = 0.0, p[26] = 1.0;             // τ, β
  p[6 + 2] = 1.1, p[15 + 2] = 0.5;      // area and centre of set 2: c ≠ 0
  const double q = 1.3, u = q * 0.3;
  const Zrow z = with_q(q);
  for (double x : kXs) {
    // The flow Gaussian has the area A·j0², like each rotational line A·(2l+1)·j_l².
    const double terms = j0sq(q, 1.4) * gaussian0(x, u) + 3 * jlsq(1, q, 1.4) * lorentzian(x, 0.5, 2 * 0.07 + u);
    EXPECT_NEAR(eval(flowrot, z, 2, p, x), background(p, x) + 1.1 * terms, kBesselTol * 1.1 * terms) << x;
  }
}

// ---------------------------------------------------------------------------
// Data-set blocks, batch form, catalogue
// ---------------------------------------------------------------------------

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

TEST(DiffusionModels, EachDataSetReadsItsOwnParameterBlock) {
  const Zrow z = with_q(0.9);
  for (const ModelCase& m : model_cases()) {
    const Params p1 = block_params(m, 1);
    for (int i = 1; i <= kDiffusionSets; ++i) {
      const Params p = block_params(m, i);
      for (double x : {-0.4, 0.05, 0.8}) {
        const double y = eval(m.point, z, i, p, x);
        EXPECT_FALSE(std::isnan(y)) << "model " << m.number << ", set " << i;
        EXPECT_EQ(y, eval(m.point, z, 1, p1, x)) << "model " << m.number << ", set " << i << ", x = " << x;
      }
    }
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

// ---------------------------------------------------------------------------
// The check of q when the data are read
// ---------------------------------------------------------------------------

class QCheckAtReading : public testing::Test {
 protected:
  QCheckAtReading() { run_->settings.parfile = "p.par"; }
  void set(int i, const std::string& file, int opfit, const std::string& text) {
    write_text(file, text);
    FitFunctions& d = run_->data;
    d.nomin(i) = file;
    d.fileop(i) = "n";
    d.kin(i) = -5.0;
    d.kfin(i) = 5.0;
    d.opfit(i) = opfit;
    d.sigmae(i, 0) = 1.0;
    run_->settings.nfunc = std::max(run_->settings.nfunc, i);
  }
  std::optional<InputError> failure() {
    try {
      dataread(*run_, s_.con);
    } catch (const InputError& e) {
      return e;
    }
    return std::nullopt;
  }
  testing_support::ScratchDir scratch_;
  std::unique_ptr<zorvik::Run> run_ = std::make_unique<zorvik::Run>();
  Screen s_;
};

constexpr const char* kPoints = "-1 1\n0 2\n1 1\n";

TEST_F(QCheckAtReading, RotationDataSetWithoutQIsRefusedNamingItsFile) {
  // The first file carries q; the second, with a rotation model, does not:
  // the count of the first header must not stand in for it.
  set(1, "q1.dat", 120, std::string("zvalues 2 300 0.8\n") + kPoints);
  set(2, "noq.dat", 112, kPoints);
  std::optional<InputError> e = failure();
  ASSERT_TRUE(e);
  EXPECT_EQ(e->file(), "noq.dat");
  EXPECT_NE(e->expected().find("data set 2"), std::string::npos) << e->what();
  EXPECT_NE(e->expected().find("second z value"), std::string::npos) << e->what();

  for (const char* header : {"zvalues 1 0.8\n", "zvalues 2 300 0\n", "zvalues 3 300 -1 7\n"}) {
    set(2, "badq.dat", 121, header + std::string(kPoints));
    e = failure();
    ASSERT_TRUE(e) << header;
    EXPECT_EQ(e->file(), "badq.dat") << header;
  }
}

}  // namespace
}  // namespace zorvik
