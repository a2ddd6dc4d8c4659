// Resampling onto ninterp points of step span/ninterp (a step short of the end) by chords; the new fit range.
#include "setup/interp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/errors.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using Lines = std::vector<std::string>;

// The two-term line formula on small exact numbers: a few roundings below 100.
constexpr double kInterpTol = 1e-12;
const std::vector<double> kX = {0, 1, 2, 3, 4};

class Interp : public testing::Test {
 protected:
  // Data set i as the reader leaves it (sigma k + 0.5 at point k).
  void set(int i, const std::vector<double>& x, const std::vector<double>& y, int imin, int ndatin, double kin,
           int ninterp) {
    FitFunctions& d = run_->data;
    for (int k = 1; k <= static_cast<int>(x.size()); ++k)
      d.xi(i, k) = x[k - 1], d.yi(i, k) = y[k - 1], d.sigmae(i, k) = k + 0.5;
    d.imin(i) = imin;
    d.ndatin(i) = ndatin;
    d.kin(i) = kin;
    d.ninterp(i) = ninterp;
    run_->settings.nfunc = std::max(run_->settings.nfunc, i);
  }
  void run_interp() { interp(run_->data, run_->settings, s_.con); }
  Lines transcript() const { return testing_support::lines_of(s_.out.str()); }
  FitFunctions& d() { return run_->data; }

  std::unique_ptr<zorvik::Run> run_ = std::make_unique<zorvik::Run>();
  testing_support::Screen s_;
};

TEST_F(Interp, GridEndsOneStepShortOfTheRangeAndTheRangeIsRecomputed) {
  set(1, kX, kX, 1, 5, -1.0, 4);
  set(2, kX, kX, 2, 4, 0.5, 4);  // kin = 0.5: the grid still starts at the first point read
  d().fileop(2) = "c";
  d().mi(2, -1) = 7.0;  // a prepared resolution kernel stays as it is
  run_interp();
  for (int i = 1; i <= 2; ++i) {
    for (int k = 1; k <= 4; ++k) {
      EXPECT_NEAR(d().xi(i, k), k - 1.0, kInterpTol) << i << " " << k;
      EXPECT_NEAR(d().yi(i, k), k - 1.0, kInterpTol) << i << " " << k;
    }
    EXPECT_EQ(d().xi(i, 5), 4.0);      // beyond the grid: kept
    EXPECT_EQ(d().sigmae(i, 2), 2.5);  // sigmas are not resampled
  }
  EXPECT_EQ((std::vector{d().imin(1), d().ndatin(1), d().imin(2), d().ndatin(2)}), (std::vector{1, 3, 2, 2}));
  EXPECT_EQ(d().mi(2, -1), 7.0);
  const Lines t = transcript();
  ASSERT_EQ(t.size(), 16u);
  EXPECT_EQ(Lines(t.begin(), t.begin() + 5),
            (Lines{"Interpolating function:     1 in a grid with     4  points", " *** Interpolating function:  1",
                   " iff,imax 1 5", " xin,xfin 0.0 4.0", " incx= 1.0"}));
  EXPECT_EQ(Lines(t.begin() + 10, t.end()),
            (Lines{" func,imin,ndatin 1 1 3", " ***** END OF INTERPOLATION *****", "", " func,imin,ndatin 2 2 2",
                   " ***** END OF INTERPOLATION *****", ""}));
}

TEST_F(Interp, ValuesLieOnTheChordsAndCoincidentPointsKeepTheirValue) {
  set(1, kX, {0, 1, 4, 9, 16}, 1, 5, -1.0, 8);  // y = x², eight points of step 0.5
  run_interp();
  const double expected[] = {0.0, 0.5, 1.0, 2.5, 4.0, 6.5, 9.0, 12.5};
  for (int k = 1; k <= 8; ++k) {
    EXPECT_NEAR(d().xi(1, k), 0.5 * (k - 1), kInterpTol) << k;
    EXPECT_NEAR(d().yi(1, k), expected[k - 1], kInterpTol) << k;
  }
  EXPECT_EQ(d().ndatin(1), 7);
}

}  // namespace
}  // namespace zorvik
