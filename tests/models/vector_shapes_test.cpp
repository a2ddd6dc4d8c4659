// The vector line shapes against the per-point routines they stand in for: the
// exponential over arrays against std::exp, each model over a sweep of x and
// parameters (zero widths included), and the dispatcher's choice of routine.
#include "models/vector_shapes.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <iomanip>
#include <memory>
#include <vector>

#include "models/functions.h"
#include "models/lineshapes.h"
#include "models/vector_exp.h"

namespace zorvik {
namespace {

// The vector exponential is within 4 units in the last place of the exact
// value, std::exp within 1: at most 5 ulp = 1.1e-15 apart. 2e-15 leaves room.
constexpr double kExpTol = 2e-15;
// A model value adds up to a few such exponentials times positive factors:
// the bound the vector shapes promise per point.
constexpr double kShapeTol = 1e-13;

TEST(VectorExp, MatchesTheScalarExponentialAtEveryLengthAndOverTheWholeRange) {
  // Lengths 1 … 19 cover the whole vectors and every tail of 4 and 8 lanes.
  for (int n = 1; n <= 19; ++n) {
    std::vector<double> in(static_cast<size_t>(n)), out(static_cast<size_t>(n));
    for (int sweep = 0; sweep < 400; ++sweep) {
      for (int k = 0; k < n; ++k) in[static_cast<size_t>(k)] = -760.0 + 1470.0 * ((sweep * n + k) % 7919) / 7919.0;
      exp_array(in.data(), out.data(), n);
      for (int k = 0; k < n; ++k) {
        const double x = in[static_cast<size_t>(k)], ref = std::exp(x), got = out[static_cast<size_t>(k)];
        // Below the normal range the results are subnormal numbers or 0.
        EXPECT_LE(std::fabs(got - ref), kExpTol * std::max(ref, DBL_MIN))
            << std::setprecision(17) << "n " << n << ", exp(" << x << "): " << ref << " against " << got;
      }
    }
  }
  const double special[] = {0.0, -0.0, 1.0, -1.0, 709.7, -745.2, -1e6};
  double out[7];
  exp_array(special, out, 7);
  EXPECT_EQ(out[0], 1.0);
  EXPECT_EQ(out[6], 0.0);
}

struct ShapeCase {
  int model;
  int set;         // data-set index
  double par[13];  // p1 … p13 (index 0 unused)
  double xlo, xhi;
};

// Parameters with zero widths take the fallbacks of dgauss and dvoigt.
const ShapeCase kCases[] = {
    {101, 1, {0, 2.0, 0.01, -1e-4, 40, 25, 3, 25, 50, 1.5, 60, 72, 6}, -10, 110},
    {101, 1, {0, 0.0, 0.0, 0.0, 1, 0, 0.01, 5, 3, 50, 2, -4, 0.3}, -200, 200},
    {102, 1, {0, -1.0, -3.0, -5.0, 40, 25, 3, 25, 50, 1.5, 60, 72, 6}, 0, 100},
    {114, 1, {0, 2.5, 0, 0, 0, 0, 0, 0, 0, 0, 0.6, 0, 0}, 1e-3, 50},
    {114, 9, {0, 0.7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 1e-3, 50},
    {116, 1, {0, 0.1, 0.5, 2.0, 3, 2, 1, 0.05}, -20, 20},
    {116, 1, {0, 0.0, 0.5, 2.0, 3, 2, 1, 0.05}, -20, 20},
    {123, 1, {0, 0.1, 0.4, 1.5, 2, 0.3, 0.6, -0.1}, -15, 15},
    {123, 1, {0, 0.1, 0.0, 1.5, 2, 0.3, 0.6, -0.1}, -15, 15},
    {123, 1, {0, 0.0, 0.4, 1.5, 2, 0.3, 0.6, -0.1}, -15, 15},
};

TEST(VectorShapes, AgreeWithThePerPointRoutinesToOnePartIn1e13) {
  constexpr int kPoints = 1001;  // not a multiple of a block or of the lanes
  std::vector<double> x(kPoints), yv(kPoints), ys(kPoints);
  for (const ShapeCase& c : kCases) {
    double p[101] = {};
    for (int k = 1; k <= 12; ++k) p[k] = c.par[k];
    if (c.model == 114) p[9 + c.set] = c.set == 9 ? 1.7 : c.par[10];
    for (int j = 0; j < kPoints; ++j) x[static_cast<size_t>(j)] = c.xlo + (c.xhi - c.xlo) * j / (kPoints - 1);
    const BatchModel vec = vector_model(c.model);
    ASSERT_NE(vec, nullptr) << "model " << c.model;
    ASSERT_TRUE(vec(ModelEnv{}, c.set, x.data(), yv.data(), kPoints, p));
    ASSERT_TRUE(plain_model(c.model)(ModelEnv{}, c.set, x.data(), ys.data(), kPoints, p));
    for (int j = 0; j < kPoints; ++j) {
      const double s = ys[static_cast<size_t>(j)], v = yv[static_cast<size_t>(j)];
      EXPECT_LE(std::fabs(v - s), kShapeTol * std::fabs(s))
          << std::setprecision(17) << "model " << c.model << " at x = " << x[static_cast<size_t>(j)] << ": per point "
          << s << ", vector " << v;
    }
  }
  // The stretched exponential has blocks for data sets 1 … 9 only: nothing is written beyond.
  double p[101] = {}, y = -7.0, x10 = 1.0;
  p[1] = 1.0;
  EXPECT_FALSE(vector_model(114)(ModelEnv{}, 10, &x10, &y, 1, p));
  EXPECT_EQ(y, -7.0);
}

TEST(VectorShapes, TheDispatcherRunsThemOnlyWhenTheRunAsksForThem) {
  auto d = std::make_unique<FitFunctions>();
  auto ws = std::make_unique<ModelWorkspace>();
  constexpr int kCount = 300;
  for (int j = 1; j <= kCount; ++j) d->xi(1, j) = 0.37 * j;
  d->imin(1) = 1;
  d->ndatin(1) = kCount;
  d->opfit(1) = 101;
  double p[101] = {0, 2.0, 0.01, -1e-4, 40, 25, 3, 25, 50, 1.5, 60, 72, 6};
  std::vector<double> scalar(kCount + 1), vector(kCount + 1), expected(kCount + 1);
  ASSERT_TRUE(plain_model(101)(ModelEnv{}, 1, &d->xi(1, 1), &expected[1], kCount, p));
  ASSERT_TRUE(vector_model(101)(ModelEnv{}, 1, &d->xi(1, 1), &vector[1], kCount, p));
  ASSERT_TRUE(evaluate_data_set(1, *d, 12, p, *ws));
  for (int j = 1; j <= kCount; ++j) EXPECT_EQ(ws->ycalc(j), expected[static_cast<size_t>(j)]) << j;
  ws->vector_shapes = true;
  ASSERT_TRUE(evaluate_data_set(1, *d, 12, p, *ws));
  for (int j = 1; j <= kCount; ++j) EXPECT_EQ(ws->ycalc(j), vector[static_cast<size_t>(j)]) << j;
}

}  // namespace
}  // namespace zorvik
