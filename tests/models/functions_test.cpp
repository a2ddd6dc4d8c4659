// The dispatcher: a data set evaluated as a whole gives, to the last bit, the
// values of its model evaluated point by point, for every model number it serves.
#include "models/functions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "models/lineshapes.h"

namespace zorvik {
namespace {

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
    par[2] = 0.9;  // kink: a free intercept, so that nothing is written back
    double batch_par[101];
    std::memcpy(batch_par, par, sizeof par);
    ASSERT_TRUE(evaluate_data_set(2, *d, 18, batch_par, *ws)) << "model " << model;
    for (int j = kFirst; j < kFirst + kCount; ++j) {
      double y = -1.0;
      functions(j, 2, *d, y, 18, par, *ws);
      double expected = -2.0;
      ASSERT_TRUE(plain_model(model)(ModelEnv{d->z.row(2)}, 2, &d->xi(2, j), &expected, 1, par));
      EXPECT_EQ(ws->ycalc(j), y) << "model " << model << ", point " << j;
      EXPECT_EQ(y, expected);
    }
    EXPECT_EQ(std::memcmp(par, batch_par, sizeof par), 0) << "model " << model;
  }
  // The per-point Gaussian of the line-shape library gives the same values too.
  d->opfit(2) = 101;
  double par[101];
  for (double& v : par) v = u(rng);
  ASSERT_TRUE(evaluate_data_set(2, *d, 12, par, *ws));
  for (int j = kFirst; j < kFirst + kCount; ++j) {
    double y = 0.0;
    gauss(2, d->xi(2, j), par, y);
    EXPECT_EQ(ws->ycalc(j), y) << "point " << j;
  }
}

}  // namespace
}  // namespace zorvik
