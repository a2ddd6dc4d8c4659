// The dielectric loss models: the real forms against the complex permittivity
// they come from and independent reference values, the temperature laws shared
// across data sets, and the Williams-ansatz double integral against a direct
// quadrature.
#include "models/dielectric.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "core/errors.h"
#include "models/functions.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::lines_of;
using testing_support::reference;

constexpr double kTwoPi = 6.283185307179586;

::testing::AssertionResult close(double got, double want, double rel) {
  if (std::fabs(got - want) <= rel * std::fabs(want) + 1e-300) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << got << ", want " << want << " (relative difference "
                                       << std::fabs(got - want) / std::fabs(want) << ")";
}

// −Im of the Havriliak–Negami permittivity 1/(1 + (iωτ)^(1−a))^b (b = 1: Cole–Cole).
double complex_loss(double f, double tau, double a, double b) {
  const std::complex<double> iwt(0.0, kTwoPi * f * tau);
  return -std::imag(1.0 / std::pow(1.0 + std::pow(iwt, 1.0 - a), b));
}

// key=value fields of one line of the reference table.
std::map<std::string, double> fields(const std::string& line) {
  std::map<std::string, double> m;
  std::istringstream in(line);
  for (std::string t; in >> t;)
    if (const auto eq = t.find('='); eq != std::string::npos) m[t.substr(0, eq)] = std::stod(t.substr(eq + 1));
  return m;
}

TEST(DielectricShapes, AgreeWithTheComplexPermittivity) {
  for (double a : {0.0, 0.2, 0.5, 0.85})
    for (double b : {0.3, 0.6, 1.0})
      for (double lg = -6.0; lg <= 6.0; lg += 0.25) {
        const double tau = 1e-3, f = std::pow(10.0, lg) / (kTwoPi * tau);
        EXPECT_TRUE(close(cc_loss(f, tau, a), complex_loss(f, tau, a, 1.0), 1e-12)) << a << " " << lg;
        EXPECT_TRUE(close(hn_loss(f, tau, a, b), complex_loss(f, tau, a, b), 1e-12)) << a << " " << b << " " << lg;
      }

  // The reference table: shapes, and the sums of models 53, 54 and 57 at the
  // parameters its header names.
  const std::map<std::string, std::vector<double>> params = {
      {"model54", {0, -4.0, -7.0, 2.5, 0.3, 0.1, 0.6, 0.4}},
      {"model53", {0, -4.0, -6.0, -8.0, 2.0, 0.5, 0.2, 0.15, 0.55, 0.3, 0.45}},
      {"model57", {0, -2.0, -0.8, -5.0, -8.0, 0.7, 0.2, 0.35, 0.5}}};
  const std::map<std::string, BatchModel> models = {
      {"model53", &hncc1cc2_batch}, {"model54", &hncc_batch}, {"model57", &plcc1cc2_batch}};
  int shapes = 0, sums = 0;
  for (const std::string& line : lines_of(reference("hncc_reference.txt"))) {
    const std::string kind = line.substr(0, line.find(' '));
    if (kind != "hncc" && !models.count(kind)) continue;
    auto v = fields(line);
    if (kind == "hncc") {
      EXPECT_TRUE(close(cc_loss(v["f"], v["tau"], v["a"]), v["CC"], 1e-12)) << line;
      EXPECT_TRUE(close(hn_loss(v["f"], v["tau"], v["a"], v["b"]), v["HN"], 1e-12)) << line;
      ++shapes;
    } else {
      std::vector<double> p = params.at(kind);
      p.resize(101, 0.0);
      double y = 0.0;
      ASSERT_TRUE(models.at(kind)(ModelEnv{}, 1, &v["x"], &y, 1, p.data()));
      EXPECT_TRUE(close(y, v["y"], 1e-12)) << line;
      ++sums;
    }
  }
  EXPECT_EQ(shapes, 10);
  EXPECT_EQ(sums, 15);
}

TEST(DielectricTemperatureModels, ShareTheTemperatureLawsAcrossDataSets) {
  std::vector<double> p(101, 0.0);
  p[1] = -13.0, p[2] = 140.0, p[3] = 10.0, p[4] = -15.0, p[5] = 4000.0, p[76] = -14.0, p[77] = 3500.0;
  for (int k = 1; k <= 10; ++k) {
    p[size_t(5 + k)] = 3.0 + 0.1 * k, p[size_t(15 + k)] = 0.3 + 0.01 * k, p[size_t(25 + k)] = 0.1;
    p[size_t(35 + k)] = 0.5 + 0.02 * k, p[size_t(45 + k)] = 0.4, p[size_t(55 + k)] = 0.2, p[size_t(65 + k)] = 0.3;
  }
  const double z2[11] = {0, 200.0}, z3[11] = {0, 250.0}, f = 1234.5;
  // The loss of data set i at temperature t, from the laws written out here.
  auto expected = [&](int i, double t, bool second_cc) {
    const double thn = std::pow(10.0, p[1]) * std::exp(p[3] * p[2] / (t - p[2]));
    const double tcc = std::pow(10.0, p[4]) * std::exp(p[5] / t);
    double y = p[size_t(5 + i)] * hn_loss(f, thn, p[size_t(25 + i)], p[size_t(35 + i)]) +
               p[size_t(15 + i)] * cc_loss(f, tcc, p[size_t(45 + i)]);
    if (second_cc) y += p[size_t(55 + i)] * cc_loss(f, std::pow(10.0, p[76]) * std::exp(p[77] / t), p[size_t(65 + i)]);
    return y;
  };
  for (const auto& [model, second_cc] : {std::pair{&hncct_batch, false}, std::pair{&hncc1cc2t_batch, true}}) {
    double y2 = 0.0, y3 = 0.0;
    ASSERT_TRUE(model(ModelEnv{z2}, 2, &f, &y2, 1, p.data()));
    ASSERT_TRUE(model(ModelEnv{z3}, 3, &f, &y3, 1, p.data()));
    EXPECT_TRUE(close(y2, expected(2, 200.0, second_cc), 1e-12));
    EXPECT_TRUE(close(y3, expected(3, 250.0, second_cc), 1e-12));
    // A change in block 3 leaves data set 2 alone.
    std::vector<double> q = p;
    for (int b = 5; b <= 65; b += 10) q[size_t(b + 3)] *= 1.7;
    double again = 0.0;
    ASSERT_TRUE(model(ModelEnv{z2}, 2, &f, &again, 1, q.data()));
    EXPECT_EQ(again, y2);
    // Beyond the ten blocks there is no value; beyond the tables, a stop.
    double untouched = 42.0;
    EXPECT_FALSE(model(ModelEnv{z2}, 11, &f, &untouched, 1, p.data()));
    EXPECT_EQ(untouched, 42.0);
    EXPECT_THROW(model(ModelEnv{z2}, 21, &f, &untouched, 1, p.data()), IndexRangeError);
  }
}

// log10 f from `lo` to `hi` in steps of `step`.
std::vector<double> log_grid(double lo, double hi, double step) {
  std::vector<double> v;
  for (int k = 0; lo + k * step <= hi + 1e-9; ++k) v.push_back(lo + k * step);
  return v;
}

TEST(DielectricWilliams, DoubleIntegralMatchesADirectQuadrature) {
  auto wc = std::make_unique<WholeCurve>();
  const std::vector<double> logf = log_grid(0.0, 8.0, 0.1);
  const int n = int(logf.size());
  wc->prepare(logf.data(), n);
  // Gaussian distributions of ln τ, unit area, well inside the grid.
  const double ca = std::log(1e-5), sa = 1.0, cb = std::log(1e-7), sb = 0.7;
  auto gauss = [](double u, double c, double s) { return std::exp(-((u - c) / s) * ((u - c) / s)) / (s * std::sqrt(M_PI)); };
  std::vector<double> ga(logf.size()), gb(logf.size()), beta(logf.size());
  for (int j = 0; j < n; ++j) {
    ga[size_t(j)] = gauss(std::log(wc->tau(j)), ca, sa);
    gb[size_t(j)] = gauss(std::log(wc->tau(j)), cb, sb);
  }
  wc->gbeff(ga.data(), gb.data(), beta.data());
  // ∫∫ gα(u)·gβ(v)·ωτeff/(1 + (ωτeff)²) du dv by the midpoint rule over ±6σ.
  constexpr int kNodes = 600;
  for (int i = 0; i < n; i += 8) {
    const double omega = kTwoPi * std::pow(10.0, logf[size_t(i)]);
    const double du = 12.0 * sa / kNodes, dv = 12.0 * sb / kNodes;
    double sum = 0.0;
    for (int k = 0; k < kNodes; ++k) {
      const double u = ca - 6.0 * sa + (k + 0.5) * du;
      double inner = 0.0;
      for (int j = 0; j < kNodes; ++j) {
        const double v = cb - 6.0 * sb + (j + 0.5) * dv;
        const double x = omega / (std::exp(-u) + std::exp(-v));
        inner += gauss(v, cb, sb) * x / (1.0 + x * x);
      }
      sum += gauss(u, ca, sa) * inner * dv;
    }
    EXPECT_TRUE(close(beta[size_t(i)], sum * du, 1e-6)) << "log10 f = " << logf[size_t(i)];
  }
}

}  // namespace
}  // namespace zorvik
