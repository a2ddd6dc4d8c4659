// The dispatcher: a data set evaluated as a whole gives, to the last bit, the
// values of its model point by point; and the vector line shapes (and with
// them the exponential over arrays) against the per-point routines they stand
// in for, each model over a sweep of x and parameters (zero widths included).
#include "models/vector_shapes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iomanip>
#include <memory>
#include <random>
#include <vector>

#include "models/functions.h"
#include "models/lineshapes.h"

namespace zorvik {
namespace {

// The vector exponential is within 4 units in the last place of the exact
// value; a model value adds up to a few such exponentials times positive
// factors: the bound the vector shapes promise per point.
constexpr double kShapeTol = 1e-13;

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
    const BatchModel vec = find_model(c.model)->vector;
    ASSERT_NE(vec, nullptr) << "model " << c.model;
    ASSERT_TRUE(vec(ModelEnv{}, c.set, x.data(), yv.data(), kPoints, p));
    ASSERT_TRUE(find_model(c.model)->plain(ModelEnv{}, c.set, x.data(), ys.data(), kPoints, p));
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
  EXPECT_FALSE(find_model(114)->vector(ModelEnv{}, 10, &x10, &y, 1, p));
  EXPECT_EQ(y, -7.0);
}

TEST(Functions, WholeDataSetEqualsThePointByPointModelBitForBit) {
  auto d = std::make_unique<FitFunctions>();
  auto ws = std::make_unique<ModelWorkspace>();
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(0.2, 2.0);
  constexpr int kFirst = 3, kCount = 200;
  for (int j = 1; j <= kFirst + kCount; ++j) d->xi(2, j) = 0.05 * j;  // x > 0 for the stretched exponential
  d->imin(2) = kFirst;
  d->ndatin(2) = kCount;
  d->z(2, 1) = 250.0;  // the temperature of the dielectric models 55 and 56
  for (int model : {53, 54, 55, 56, 57, 100, 101, 102, 103, 110, 114, 115, 116, 117, 122, 123, 124, 125}) {
    d->opfit(2) = model;
    double par[101];
    for (double& v : par) v = u(rng);
    par[2] = 1.0;  // kink: the joined lines, whose intercept the model derives without writing it
    double batch_par[101];
    std::memcpy(batch_par, par, sizeof par);
    ASSERT_TRUE(evaluate_data_set(2, *d, 18, batch_par, *ws)) << "model " << model;
    for (int j = kFirst; j < kFirst + kCount; ++j) {
      double expected = -2.0;
      ASSERT_TRUE(find_model(model)->plain(ModelEnv{d->z.row(2)}, 2, &d->xi(2, j), &expected, 1, par));
      EXPECT_EQ(ws->ycalc(j), expected) << "model " << model << ", point " << j;
    }
    EXPECT_EQ(std::memcmp(par, batch_par, sizeof par), 0) << "model " << model;
  }
}

}  // namespace
}  // namespace zorvik
