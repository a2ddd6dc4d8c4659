// Chi-square maps on a grid (point by point against the polynomial's
// chi-square worked out here) and probability maps of
// parameter pairs (against chains written by hand, bin by bin).
#include "analysis/contours.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/files.h"
#include "core/record_format.h"
#include "sampler/compara.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::lines_of;
using testing_support::numbers_of;
using testing_support::read_text;
using testing_support::ScratchDir;
using testing_support::write_text;
using Lines = std::vector<std::string>;

// ---- contorn ---------------------------------------------------------------------

// One data set on model 100 (y = p1 + p2·x + … + p10·x⁹) at x = 1 … 4, and
// contour request 1 over (p1, p2); the minimum holds p3 = 0.1, so the map is
// that of a quadratic whose constant and slope vary.
struct MapFixture {
  ScratchDir dir;
  std::unique_ptr<Run> run = std::make_unique<Run>();
  ModelWorkspace ws;
  testing_support::Screen screen;
  Console& con = screen.con;
  const double xs[4] = {1.0, 2.0, 3.0, 4.0};
  const double ys[4] = {0.7, 1.9, 2.6, 4.4};
  const double sig[4] = {0.5, 1.0, 0.25, 2.0};

  MapFixture() {
    RunSettings& s = run->settings;
    FitFunctions& d = run->data;
    FitParameters& p = run->params;
    s.nfunc = s.nfitfunc = 1, s.npar = 10;
    d.opfit(1) = 100, d.imin(1) = 1, d.ndatin(1) = 4;
    for (int k = 1; k <= 4; ++k) d.xi(1, k) = xs[k - 1], d.yi(1, k) = ys[k - 1], d.sigmae(1, k) = sig[k - 1];
    for (int k = 1; k <= 10; ++k) p.par(k) = 0.01 * k, run->chain.parchimin(k) = 0.0;  // a state unlike the minimum
    p.namepar(1) = "constant", p.namepar(2) = "slope";
    run->chain.parchimin(0) = 3.5, run->chain.parchimin(3) = 0.1;
    for (int k = 0; k <= kMaxFunc; ++k) run->chain.chisq(k) = 100.0 + k;  // recognisable, restored after
    p.ncont = 1, p.contpar(1, 1) = 1, p.contpar(1, 2) = 2, p.namecont(1) = "map1.dat";
    p.ctminx(1) = 0.0, p.ctmaxx(1) = 1.0, p.ctdx(1) = 0.3;    // 3.33 steps: 3, and the step becomes 1/3
    p.ctminy(1) = -1.0, p.ctmaxy(1) = 1.0, p.ctdy(1) = 0.42;  // 4.76 steps: 5 (the nearest), the step 0.4
  }

  // The same worked out here: Σ (y − (p1 + p2·x + 0.1·x²))² / σ².
  double by_hand(double p1, double p2) const {
    double c = 0.0;
    for (int k = 0; k < 4; ++k) {
      const double r = (ys[k] - (p1 + p2 * xs[k] + 0.1 * xs[k] * xs[k])) / sig[k];
      c += r * r;
    }
    return c;
  }
};

// The polynomial is summed in another order than here: a few roundings of
// numbers near 10, so a relative 1e-12 is far above the difference and far
// below any real fault.
constexpr double kPolynomialOrderTol = 1e-12;

TEST(Contorn, MapsTheChiSquareOnAGridToTheUpperLimits) {
  MapFixture f;
  contorn(1, f.run->settings, f.run->data, f.run->params, f.run->chain, f.ws, f.con);
  // The chain state as it was (before the checks below evaluate chi-squares of their own).
  for (int k = 1; k <= 10; ++k) EXPECT_EQ(f.run->params.par(k), 0.01 * k) << "par " << k;
  for (int k = 0; k <= kMaxFunc; ++k) EXPECT_EQ(f.run->chain.chisq(k), 100.0 + k) << "chisq " << k;

  EXPECT_EQ(f.run->params.ctdx(1), 1.0 / 3.0);
  EXPECT_EQ(f.run->params.ctdy(1), 2.0 / 5.0);

  const Lines l = lines_of(read_text("map1.dat"));
  ASSERT_EQ(l.size(), 1u + 4u * (6u + 1u));  // header, 4 rows of 6 points, each row closed by an empty line
  EXPECT_EQ(l[0], " #const" + std::string(35, ' ') + "slope          chisq");
  size_t n = 1;
  for (int a = 0; a <= 3; ++a) {
    for (int b = 0; b <= 5; ++b, ++n) {
      const std::vector<double> v = numbers_of(l[n]);
      ASSERT_EQ(v.size(), 3u) << l[n];
      const double x = a * (1.0 / 3.0), y = -1.0 + b * (2.0 / 5.0);
      EXPECT_EQ(v[0], x) << l[n];
      EXPECT_EQ(v[1], y) << l[n];
      EXPECT_NEAR(v[2], f.by_hand(x, y), kPolynomialOrderTol * f.by_hand(x, y)) << l[n];
    }
    EXPECT_EQ(l[n++], "");
  }
  EXPECT_EQ(numbers_of(l[22])[0], 1.0);  // the last row stands on the upper limit exactly
  EXPECT_EQ(f.screen.out.str(), "");          // the caller announces the contour

}

// ---- contornmcmc ----------------------------------------------------------------------

// Five parameters; p1 binned from x0 = 0 + 2.5·0.1 = 0.25 (its lowest filled
// bin is 3), p2 from y0 = −1 + 0.5·0.5 = −0.75, p3 and p5 from 0.5·2 = 1 (bins of 2).
struct PairFixture {
  ScratchDir dir;
  std::unique_ptr<Run> run = std::make_unique<Run>();
  testing_support::Screen screen;
  Console& con = screen.con;

  PairFixture() {
    run->settings.npar = 5, run->settings.nfunc = 1;
    FitParameters& p = run->params;
    run->hist.minigpar.fill(1);
    p.parmin(1) = 0.0, p.incgg(1) = 0.1, run->hist.minigpar(1) = 3;
    p.parmin(2) = -1.0, p.incgg(2) = 0.5;
    for (int k = 3; k <= 5; ++k) p.parmin(k) = 0.0, p.incgg(k) = 2.0;
  }
  // A chain file as the run writes it (one record per step, a data-set
  // chi-square at the right), with the given (p1, p2) of each record.
  static std::string chain(const std::vector<std::pair<double, double>>& samples) {
    std::ostringstream s;
    s << "#step chi       p1        p2        p3        p4        p5\n";
    int step = 0;
    for (const auto& [p1, p2] : samples)
      write_record(s, "(i12,2x,100es15.6)", ++step, 12.5, p1, p2, 1.5, 0.0, 1.9, 12.5);
    return s.str();
  }
};

// The densities are printed in their shortest exact form; summing a few dozen of
// them over bins of area 0.05 loses a few units in the last place.
constexpr double kSumTol = 1e-12;

TEST(Contornmcmc, DensitiesIntegrateToTheFractionOfTheSamplesInTheMap) {
  PairFixture f;
  write_text("MMchain.dat", PairFixture::chain({
                                {0.26, -0.70},   // bin (1, 1)
                                {0.20, -0.70},   // half a bin below x0: still bin (1, 1)
                                {0.14, -0.70},   // more than a bin below: not counted
                                {0.47, 0.30},    // bin (3, 3)
                                {0.47, 0.30},    // a repeated state counts again
                                {0.36, -0.20},   // bin (2, 2)
                                {600.25, 0.30},  // bin 6001: counted, beyond the table
                            }));
  int i = 1;
  contornmcmc(i, 2, *f.run, f.con);

  const Lines l = lines_of(read_text("gparpar 1 2.dat"));
  ASSERT_EQ(l.size(), 1u + 3u * (3u + 1u));
  EXPECT_EQ(l[0], "# par  1     par  2 probability");
  const double dx = 0.1, dy = 0.5, ncount = 6.0;
  double integral = 0.0;
  size_t n = 1;
  for (int a = 1; a <= 3; ++a) {
    for (int b = 1; b <= 3; ++b, ++n) {
      const std::vector<double> v = numbers_of(l[n]);
      ASSERT_EQ(v.size(), 3u) << l[n];
      EXPECT_NEAR(v[0], 0.25 + (a - 0.5) * dx, 1e-15) << l[n];  // bin centres, to rounding
      EXPECT_NEAR(v[1], -0.75 + (b - 0.5) * dy, 1e-15) << l[n];
      const double count = (a == b) ? (a == 2 ? 1.0 : 2.0) : 0.0;
      EXPECT_EQ(v[2], count / ncount / (dx * dy)) << l[n];
      integral += v[2] * dx * dy;
    }
    EXPECT_EQ(l[n++], "");
  }
  EXPECT_NEAR(integral, 5.0 / 6.0, kSumTol);

  const std::string console = f.screen.out.str();
  EXPECT_EQ(console,
            " incgi,incgj 0.1 0.5\n"
            " igmin,igmax,jgmin,jgmax 1 3 1 3\n"
            " Samples beyond bin 5000, left out of the map: 1\n"
            " writing bivariate\n"
            " igmin,igmax,jgmin,jgmax 1 3 1 3\n");

}

}  // namespace
}  // namespace zorvik
