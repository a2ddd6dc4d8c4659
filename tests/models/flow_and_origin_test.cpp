// The area of the flow and rotation spectrum (model 121) by quadrature against
// the spherical Bessel weights of the C++ standard library, and the convolved
// radial distribution of a data set whose grid starts at r = 0.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "models/convolution.h"
#include "models/diffusion.h"
#include "models/functions.h"

namespace zorvik {
namespace {

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
      ASSERT_TRUE(plain_model(4)(ModelEnv{}, 2, &d->xc(2, j), &g, 1, par));
    }
    // Undoing the transform rounds the division, the product and the sum with
    // B: a few ulps of g and B, both of order one.
    EXPECT_NEAR(ws->ycalc(j), g, 4e-15 * (1 + std::fabs(g))) << "r = " << d->xc(2, j);
  }
}

}  // namespace
}  // namespace zorvik
