// The Bessel routines of the rotation models against independent values: the
// C++ standard library's special functions, 50-digit reference values, the
// gamma function, and Chebyshev polynomials summed directly.
#include "models/bessel.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <iomanip>
#include <limits>
#include <numbers>
#include <sstream>
#include <string>

#include "core/console.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::lines_of;
using testing_support::Screen;

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
// The reference file states 1e-7/x for its ten arguments; on the dense grid the
// worst is 1.0e-7/x, so 2e-7/x there.
constexpr double kDerivRefTol = 1e-7;
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

// Float distance in units in the last place.
int64_t ulps(float a, float b) {
  auto key = [](float f) {
    const int32_t i = std::bit_cast<int32_t>(f);
    return i < 0 ? static_cast<int64_t>(INT32_MIN) - i : static_cast<int64_t>(i);
  };
  return std::llabs(key(a) - key(b));
}

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

// 50-digit values (mpmath) of j_l(x) and j_l'(x) at the double x, and the
// float results of the published Temme/Steed algorithm with a single-precision
// interface at float(x), as computed independently for the reference file
// (worst error of those against the 50-digit values: 1.5e-7 relative in j).
struct SphRef {
  int l;
  double x, j, jp;
  float sj, sjp;
};
constexpr SphRef kSphRef[] = {
    {0, 0.001, 0.99999983333334164, -0.00033333330000000119, 0.999999821f, -0.000335693359f},
    {1, 0.001, 0.00033333330000000119, 0.33333323333333931, 0.000333333301f, 0.333333254f},
    {2, 0.001, 6.666666190476204e-08, 0.00013333331428571509, 6.66666651e-08f, 0.00013333332f},
    {3, 0.001, 9.5238089947090069e-12, 2.8571425925926011e-08, 9.52381056e-12f, 2.85714279e-08f},
    {4, 0.001, 1.0582010101010112e-15, 4.2328039442039521e-12, 1.05820123e-15f, 4.23280464e-12f},
    {5, 0.001, 9.6200092500092573e-20, 4.8100045510045566e-16, 9.620011e-20f, 4.81000523e-16f},
    {6, 0.001, 7.4000071533404916e-24, 4.4400042426709135e-20, 7.40000912e-24f, 4.44000503e-20f},
    {0, 0.1, 0.99833416646828155, -0.033300011902557575, 0.998334229f, -0.0333003998f},
    {1, 0.1, 0.033300011902557575, 0.33233392841713011, 0.0333000124f, 0.332333922f},
    {2, 0.1, 0.00066619060844556877, 0.01331429364919051, 0.000666190637f, 0.0133142937f},
    {3, 0.1, 9.5185197208655694e-06, 0.00028544981961094607, 9.51852053e-06f, 0.000285449845f},
    {4, 0.1, 1.0577201502098734e-07, 4.2299189698162014e-06, 1.05772024e-07f, 4.22991934e-06f},
    {5, 0.1, 9.616310232916448e-10, 4.8074153623488654e-08, 9.61631108e-10f, 4.80741562e-08f},
    {6, 0.1, 7.3975410935877095e-12, 4.4380314674050522e-10, 7.39754178e-12f, 4.43803133e-10f},
    {0, 0.5, 0.95885107720840601, -0.16253703063606656, 0.958851099f, -0.162537038f},
    {1, 0.5, 0.16253703063606656, 0.30870295466413972, 0.162537038f, 0.308702976f},
    {2, 0.5, 0.016371106607993412, 0.064310390988106092, 0.0163711067f, 0.0643103942f},
    {3, 0.5, 0.0011740354438675572, 0.0069788230570529538, 0.00117403548f, 0.0069788238f},
    {4, 0.5, 6.5389606152389709e-05, 0.00052013938234366018, 6.53896132e-05f, 0.000520139351f},
    {5, 0.5, 2.9774668754574457e-06, 2.9660003646900362e-05, 2.97746692e-06f, 2.96600047e-05f},
    {6, 0.5, 1.1466510767409421e-07, 1.3721553680201266e-06, 1.1466512e-07f, 1.37215545e-06f},
    {0, 1.0, 0.8414709848078965, -0.3011686789397568, 0.841471016f, -0.30116868f},
    {1, 1.0, 0.3011686789397568, 0.23913362692838294, 0.30116868f, 0.239133626f},
    {2, 1.0, 0.06203505201137386, 0.11506352290563521, 0.062035054f, 0.115063518f},
    {3, 1.0, 0.0090065811171125155, 0.026008727542923795, 0.00900658127f, 0.026008727f},
    {4, 1.0, 0.0010110158084137527, 0.0039515020750437524, 0.00101101585f, 0.00395150203f},
    {5, 1.0, 9.2561158611258158e-05, 0.00045564885674620372, 9.2561153e-05f, 0.000455648871f},
    {6, 1.0, 7.1569363100870858e-06, 4.2462604440648562e-05, 7.15693614e-06f, 4.24626051e-05f},
    {0, 1.9999, 0.45469225309404465, -0.43539584870139597, 0.454692274f, -0.435395837f},
    {1, 1.9999, 0.43539584870139597, 0.019274633511669546, 0.435395837f, 0.0192746297f},
    {2, 1.9999, 0.19843417627951801, 0.13772970097473264, 0.198434174f, 0.137729704f},
    {3, 1.9999, 0.060714397509709583, 0.076999309516760706, 0.0607143976f, 0.0769993067f},
    {4, 1.9999, 0.014076840555307262, 0.02552053642838736, 0.0140768392f, 0.025520537f},
    {5, 1.9999, 0.0026345524366704165, 0.0061727880426703814, 0.00263455231f, 0.00617278786f},
    {6, 1.9999, 0.00041392238452701949, 0.0011857516507865538, 0.00041392236f, 0.00118575164f},
    {0, 2.0, 0.45464871341284085, -0.4353977749799916, 0.454648763f, -0.435397774f},
    {1, 2.0, 0.4353977749799916, 0.019250938432849231, 0.435397804f, 0.0192509443f},
    {2, 2.0, 0.19844794905714658, 0.13772585139427174, 0.198447958f, 0.13772586f},
    {3, 2.0, 0.060722097662874827, 0.077003753731396923, 0.0607221015f, 0.0770037547f},
    {4, 2.0, 0.014079392762915321, 0.025523615755586527, 0.0140793929f, 0.025523616f},
    {5, 2.0, 0.0026351697702441173, 0.0061738834521829688, 0.00263516977f, 0.00617388356f},
    {6, 2.0, 0.00041404097342732411, 0.0011860263632484829, 0.000414040987f, 0.00118602649f},
    {0, 2.5, 0.2393888576415826, -0.41621298927540651, 0.239388838f, -0.416212946f},
    {1, 2.5, 0.41621298927540651, -0.09358153377874262, 0.416212976f, -0.0935815275f},
    {2, 2.5, 0.26006672948890525, 0.10413291388872024, 0.260066718f, 0.104132898f},
    {3, 2.5, 0.10392046970240394, 0.093793977965058922, 0.103920467f, 0.0937939733f},
    {4, 2.5, 0.0309105856778258, 0.042099298346752342, 0.0309105832f, 0.042099297f},
    {5, 2.5, 0.0073576387377689359, 0.013252252707180352, 0.00735763833f, 0.0132522509f},
    {6, 2.5, 0.0014630247683575207, 0.0032611693863678782, 0.00146302464f, 0.00326116895f},
    {0, 5.0, -0.1917848549326277, 0.095089408079170795, -0.191784859f, 0.0950894132f},
    {1, 5.0, -0.095089408079170795, -0.15374909170095938, -0.0950894058f, -0.153749093f},
    {2, 5.0, 0.13473121008512523, -0.17592813413024591, 0.134731218f, -0.175928131f},
    {3, 5.0, 0.229820618164296, -0.04912528444631159, 0.229820624f, -0.049125284f},
    {4, 5.0, 0.18701765534488921, 0.042802962819406813, 0.187017664f, 0.0428029634f},
    {5, 5.0, 0.10681116145650454, 0.058844261597083745, 0.106811158f, 0.0588442609f},
    {6, 5.0, 0.047966899859420799, 0.039657501653315427, 0.0479669012f, 0.0396574996f},
    {0, 10.0, -0.054402111088936979, -0.078466941798751549, -0.0544021055f, -0.0784669444f},
    {1, 10.0, 0.078466941798751549, -0.070095499448687287, 0.0784669369f, -0.0700954944f},
    {2, 10.0, 0.077942193628562445, 0.055084283710182813, 0.0779421851f, 0.0550842807f},
    {3, 10.0, -0.039495844984470327, 0.093740531622350576, -0.0394958444f, 0.0937405229f},
    {4, 10.0, -0.10558928511769167, 0.013298797574375512, -0.105589278f, 0.0132987974f},
    {5, 10.0, -0.055534511621452183, -0.072268578144820364, -0.0555345118f, -0.0722685754f},
    {6, 10.0, 0.044501322334094276, -0.086685437255318173, 0.0445013195f, -0.086685434f},
    {0, 30.0, -0.032934387469762058, 0.0062395279119115367, -0.0329343863f, 0.00623952784f},
    {1, 30.0, -0.0062395279119115367, -0.032518418942301293, -0.00623952784f, -0.0325184166f},
    {2, 30.0, 0.032310434678570907, -0.0094705713797686268, 0.03231043f, -0.00947057083f},
    {3, 30.0, 0.011624600358340021, 0.030760487964125571, 0.0116245998f, 0.0307604875f},
    {4, 30.0, -0.029598027928291568, 0.016557605013055282, -0.0295980256f, 0.0165576059f},
    {5, 30.0, -0.020504008736827492, -0.025497226180926071, -0.020504009f, -0.0254972242f},
    {6, 30.0, 0.022079891391454821, -0.025655983394833617, 0.0220798906f, -0.025655983f},
};

TEST(SphericalBessel, MatchesFiftyDigitValuesAndThePublishedSinglePrecisionResults) {
  for (const SphRef& r : kSphRef) {
    float sj, sy, sjp, syp;
    sphbes(r.l, static_cast<float>(r.x), sj, sy, sjp, syp, nullptr);
    EXPECT_NEAR(sj, r.j, kRelTol * std::fabs(r.j)) << std::setprecision(17) << "l = " << r.l << ", x = " << r.x;
    EXPECT_NEAR(sjp, r.jp, kRelTol * std::fabs(r.jp) + kDerivRefTol / r.x)
        << std::setprecision(17) << "l = " << r.l << ", x = " << r.x;
    // The same algorithm in the same precisions gives the same floats; one ulp
    // allows for the last bit of the double sin, log and exp of another libm.
    EXPECT_LE(ulps(sj, r.sj), 1) << std::setprecision(9) << "l = " << r.l << ", x = " << r.x << ": " << sj
                                 << " vs " << r.sj;
    EXPECT_LE(ulps(sjp, r.sjp), 1) << std::setprecision(9) << "l = " << r.l << ", x = " << r.x << ": " << sjp
                                   << " vs " << r.sjp;
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

// Σ' c_k T_k(y) summed term by term in double with T_{k+1} = 2y·T_k − T_{k−1};
// the Clenshaw sum in float agrees to a few float roundings of the largest
// term. Outside [a, b] the routine complains and still sums.
TEST(Chebyshev, ClenshawMatchesTheDirectSumAndOutsideTheRangeItReportsAndStillSums) {
  constexpr float c[5] = {1.5f, -0.75f, 0.25f, 0.125f, -0.0625f};
  const float a = 0.5f, b = 3.0f;
  for (const float x : {0.5f, 1.0f, 1.75f, 2.9f, 3.0f, 3.5f}) {
    const double y = (2.0 * x - a - b) / (b - a);
    double t0 = 1.0, t1 = y, sum = 0.5 * c[0] + c[1] * y;
    for (int k = 2; k < 5; ++k) {
      const double t2 = 2.0 * y * t1 - t0;
      sum += c[k] * t2;
      t0 = t1;
      t1 = t2;
    }
    Screen s("\n");
    const float v = chebev(a, b, c, 5, x, &s.con);
    EXPECT_NEAR(v, sum, 1e-6 * std::max(1.0, std::fabs(sum))) << x;
    if (x > b)
      EXPECT_EQ(s.out.str(), " x not in range in chebev\n") << x;
    else
      EXPECT_EQ(s.out.str(), "") << x;
  }
  // The Γ1 table at t = 1.5, where the Clenshaw value in float is -0.560187161.
  constexpr float c1[7] = {-1.142022728919983f,    0.006516511086374521f,  0.00030870901537127793f,
                           -3.47062700711831e-06f, 6.943763786182444e-09f, 3.6779999185165835e-11f,
                           -1.36000003034438e-13f};
  EXPECT_LE(ulps(chebev(-1.0f, 1.0f, c1, 7, 1.5f, nullptr), -0.560187161f), 1);
}

// Each message is one line followed by a wait for the Enter key: a wait reads one
// keyboard line, so the lines left over count the waits.
int waits(Screen& s, int typed) {
  int left = 0;
  for (std::string line; std::getline(s.in, line);) ++left;
  return typed - left;
}

TEST(BesselMessages, BadArgumentsAreReportedWithAWaitAndTheRoutinesGoOn) {
  const std::string keys(20, '\n');
  {
    // Order −1: the spherical routine's line and wait, then the cylinder routine's.
    Screen s(keys);
    float sj, sy, sjp, syp;
    sphbes(-1, 1.0f, sj, sy, sjp, syp, &s.con);
    EXPECT_EQ(lines_of(s.out.str()), (std::vector<std::string>{" bad arguments in sphbes n , x:  -1 1.0",
                                                                " Press ENTER to continue!",
                                                                " bad arguments in bessjy"}));
    EXPECT_EQ(waits(s, 20), 2);
  }
  {
    // x = 0 (q·R = 0 in a rotation model): argument messages, then the
    // series that cannot converge on 1/0, each with its wait; no stop.
    Screen s(keys);
    float sj, sy, sjp, syp;
    sphbes(0, 0.0f, sj, sy, sjp, syp, &s.con);
    const std::vector<std::string> lines = lines_of(s.out.str());
    ASSERT_GE(lines.size(), 3u) << s.out.str();
    EXPECT_EQ(lines[0], " bad arguments in sphbes n , x:  0 0.0");
    EXPECT_EQ(lines[1], " Press ENTER to continue!");
    EXPECT_EQ(lines[2], " bad arguments in bessjy");
    EXPECT_EQ(waits(s, 20), static_cast<int>(lines.size()) - 1);
  }
  {
    // Valid arguments: nothing printed, nothing read.
    Screen s(keys);
    float sj, sy, sjp, syp;
    sphbes(3, 2.5f, sj, sy, sjp, syp, &s.con);
    EXPECT_EQ(s.out.str(), "");
    EXPECT_EQ(waits(s, 20), 0);
  }
  {
    // No console: nothing printed and no wait, the values as they stand.
    float sj, sy, sjp, syp;
    sphbes(-1, 0.0f, sj, sy, sjp, syp, nullptr);
    sphbes(2, 1.0f, sj, sy, sjp, syp, nullptr);
    EXPECT_NEAR(sj, std::sph_bessel(2, 1.0), kRelTol * std::sph_bessel(2, 1.0));
  }
}

// CF1 needs about x iterations: past the limit of 10 000 it reports and the
// routine goes on; a NaN argument fails both continued fractions.
TEST(BesselMessages, UnconvergedContinuedFractionsAreReported) {
  {
    Screen s("\n\n\n");
    float J, Y, Jp, Yp;
    bessjy(1000.0f, 0.5f, J, Y, Jp, Yp, &s.con);
    EXPECT_EQ(s.out.str(), "");
    EXPECT_NEAR(J, std::cyl_bessel_j(0.5, 1000.0), kEnvelopeTol * std::sqrt(2.0 / (std::numbers::pi * 1000.0)));
    bessjy(1e5f, 0.5f, J, Y, Jp, Yp, &s.con);
    EXPECT_EQ(s.out.str(), " x too large in bessjy; try asymptotic expansion\n");
    EXPECT_EQ(waits(s, 3), 1);
  }
  {
    Screen s("\n\n\n");
    float J, Y, Jp, Yp;
    bessjy(std::numeric_limits<float>::quiet_NaN(), 1.5f, J, Y, Jp, Yp, &s.con);
    EXPECT_EQ(lines_of(s.out.str()), (std::vector<std::string>{" x too large in bessjy; try asymptotic expansion",
                                                                " cf2 failed in bessjy"}));
    EXPECT_EQ(waits(s, 3), 2);
  }
}

}  // namespace
}  // namespace zorvik
