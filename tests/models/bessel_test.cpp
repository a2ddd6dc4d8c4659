// The Bessel routines of the rotation models against independent values: the
// C++ standard library's special functions and the gamma function.
#include "models/bessel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <numbers>


namespace zorvik {
namespace {

// Tolerances for the single-precision interface. The result is one float
// rounding (2^-24 = 6e-8 relative) away from the double arithmetic inside, and
// the Chebyshev terms of Temme's series carry about 1e-7; 1e-6 relative leaves a
// factor of ten. Near a zero of an oscillating function the relative error is
// unbounded, so an absolute 1e-7 of the oscillation's envelope is allowed there
// (the worst seen is a tenth of that).
constexpr double kRelTol = 1e-6;
constexpr double kEnvelopeTol = 1e-7;
// The derivative j' = √(π/2x)·J' − j/(2x) is a difference of two terms of size
// about |j|/(2x) ≤ 1/(2x), each with a few float roundings: up to ~1e-7/x
// absolute (l = 0 at small x, where j' ~ −x/3 is tiny, loses all its digits).
// On the dense grid the worst is 1.0e-7/x, so 2e-7/x.
constexpr double kDerivGridTol = 2e-7;

// The arguments from 1e-3 to 30, 60 per decade, rounded to float as the
// routines receive them.
template <class F>
void over_grid(F f) {
  for (int k = 0; k <= 269; ++k) f(static_cast<float>(1e-3 * std::pow(10.0, k / 60.0)));
}

// Envelope of the oscillation of j_l beyond the turning point x = l: 1/x; none
// before it (the function is monotone there).
double spherical_envelope(int l, double x) { return x > l ? 1.0 / x : 0.0; }

// Order 0 is sin(x)/x, order 1 sin(x)/x² − cos(x)/x, and so on.
TEST(SphericalBessel, MatchesTheStandardLibraryToSinglePrecision) {
  for (int l = 0; l <= 6; ++l) {
    over_grid([l](float xf) {
      const double x = xf;
      float sj, sy, sjp, syp;
      sphbes(l, xf, sj, sy, sjp, syp, nullptr);
      const double j = std::sph_bessel(l, x);
      // j_l' = j_{l-1} − (l+1)/x·j_l; j_0' = −j_1.
      const double jp = l == 0 ? -std::sph_bessel(1, x) : std::sph_bessel(l - 1, x) - (l + 1) / x * j;
      EXPECT_NEAR(sj, j, kRelTol * std::fabs(j) + kEnvelopeTol * spherical_envelope(l, x))
          << std::setprecision(17) << "l = " << l << ", x = " << x;
      EXPECT_NEAR(sjp, jp, kRelTol * std::fabs(jp) + kDerivGridTol / x)
          << std::setprecision(17) << "l = " << l << ", x = " << x;
    });
  }
}

// Γ1, Γ2 and 1/Γ(1 ± x) from the gamma function. The single-precision
// coefficients and Clenshaw sums of O(1) terms give about 1e-7; 3e-7 absolute
// (the values are between 0.5 and 1.2) allows a few float roundings.
TEST(GammaTerms, MatchTheGammaFunction) {
  constexpr double kGammaTol = 3e-7;
  for (const double x : {-0.5, -0.37, -0.25, -0.1, 0.0, 0.001, 0.1, 0.25, 0.4, 0.5}) {
    const double rp = 1.0 / std::tgamma(1.0 + x), rm = 1.0 / std::tgamma(1.0 - x);
    // At x = 0, Γ1 is the limit −Γ'(1) = −γ (Euler's constant).
    const double g1 = x == 0.0 ? -std::numbers::egamma : (rm - rp) / (2.0 * x);
    double gam1, gam2, gampl, gammi;
    beschb(x, gam1, gam2, gampl, gammi, nullptr);
    EXPECT_NEAR(gam1, g1, kGammaTol) << x;
    EXPECT_NEAR(gam2, (rm + rp) / 2.0, kGammaTol) << x;
    EXPECT_NEAR(gampl, rp, kGammaTol) << x;
    EXPECT_NEAR(gammi, rm, kGammaTol) << x;
  }
}

}  // namespace
}  // namespace zorvik
