// Resampling onto a uniform grid: the grid (ninterp points, step span/ninterp,
// the last point a step short of the range end), the straight-line values, the
// recomputed fit range, and the data sets that are left alone.
#include "setup/interp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/errors.h"

namespace zorvik {
namespace {

// Linear interpolation of exact small numbers with the two-term formula: a
// handful of roundings of values below 100.
constexpr double kInterpTol = 1e-12;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

class Interp : public testing::Test {
 protected:
  Interp() : run_(std::make_unique<zorvik::Run>()), con_(in_, out_) {}

  // Data set i as the reader leaves it: points x, y (sigma 0.5 each), the fit
  // range imin ... imin + ndatin - 1, kin and the grid size.
  void set(int i, const std::vector<double>& x, const std::vector<double>& y, int imin, int ndatin, double kin,
           int ninterp) {
    FitFunctions& d = run_->data;
    for (size_t k = 0; k < x.size(); ++k) {
      d.xi(i, static_cast<int>(k) + 1) = x[k];
      d.yi(i, static_cast<int>(k) + 1) = y[k];
      d.sigmae(i, static_cast<int>(k) + 1) = 0.5 + static_cast<double>(k);
    }
    d.imin(i) = imin;
    d.ndatin(i) = ndatin;
    d.kin(i) = kin;
    d.ninterp(i) = ninterp;
    d.fileop(i) = "n";
    run_->settings.nfunc = std::max(run_->settings.nfunc, i);
  }
  void run_interp() { interp(run_->data, run_->settings, con_); }
  std::vector<std::string> transcript() const { return lines_of(out_.str()); }
  FitFunctions& data() { return run_->data; }

  std::unique_ptr<zorvik::Run> run_;
  std::istringstream in_;
  std::ostringstream out_;
  Console con_;
};

const std::vector<double> kX = {0, 1, 2, 3, 4};

TEST_F(Interp, GridEndsOneStepShortOfTheRangeAndTheRangeIsRecomputed) {
  set(1, kX, kX, 1, 5, -1.0, 4);
  run_interp();
  const FitFunctions& d = data();
  for (int k = 1; k <= 4; ++k) {
    EXPECT_NEAR(d.xi(1, k), k - 1.0, kInterpTol) << k;
    EXPECT_NEAR(d.yi(1, k), k - 1.0, kInterpTol) << k;
  }
  EXPECT_EQ(d.xi(1, 5), 4.0);  // beyond the grid: kept
  EXPECT_EQ(d.imin(1), 1);
  EXPECT_EQ(d.ndatin(1), 3);
  EXPECT_EQ(d.sigmae(1, 2), 1.5);  // sigmas are not resampled

  const std::vector<std::string> expected = {
      "Interpolating function:     1 in a grid with     4  points",
      " *** Interpolating function:  1",
      " iff,imax 1 5",
      " xin,xfin 0.0 4.0",
      " incx= 1.0",
      " func,imin,ndatin 1 1 3",
      " ***** END OF INTERPOLATION *****",
      ""};
  EXPECT_EQ(transcript(), expected);
}

TEST_F(Interp, GridStartsAtTheFirstPointReadEvenBelowTheRange) {
  // kin = 0.5: the range was points 2 ... 5, the grid still starts at x = 0, and
  // the new range starts at the first grid point above kin.
  set(1, kX, kX, 2, 4, 0.5, 4);
  run_interp();
  EXPECT_NEAR(data().xi(1, 1), 0.0, kInterpTol);
  EXPECT_NEAR(data().xi(1, 4), 3.0, kInterpTol);
  EXPECT_EQ(data().imin(1), 2);
  EXPECT_EQ(data().ndatin(1), 2);
}

TEST_F(Interp, ValuesLieOnTheLinesBetweenNeighboursAndCoincidentPointsKeepTheirValue) {
  // y = x^2 on x = 0 ... 4, eight points of step 0.5: half-way points lie on the
  // chords, the integer points give the data values.
  const std::vector<double> y = {0, 1, 4, 9, 16};
  set(1, kX, y, 1, 5, -1.0, 8);
  run_interp();
  const double expected[] = {0.0, 0.5, 1.0, 2.5, 4.0, 6.5, 9.0, 12.5};
  for (int k = 1; k <= 8; ++k) {
    EXPECT_NEAR(data().xi(1, k), 0.5 * (k - 1), kInterpTol) << k;
    EXPECT_NEAR(data().yi(1, k), expected[k - 1], kInterpTol) << k;
  }
  EXPECT_EQ(data().ndatin(1), 7);
}

TEST_F(Interp, FirstPointBeyondTheLastInRangeStopsTheProgram) {
  // Unsorted data: the first point read lies above the end of the range.
  set(1, {5, 1, 2, 3}, {1, 1, 1, 1}, 2, 3, 0.0, 4);
  EXPECT_THROW(run_interp(), ProgramStop);
  const auto t = transcript();
  ASSERT_GE(t.size(), 2u);
  EXPECT_EQ(t[t.size() - 2], " ERROR INTERPOLATING");
  EXPECT_EQ(t[t.size() - 1], " max x must be greater that min x in file");

  // Equal end points leave no span for a grid either.
  out_.str("");
  set(1, {3, 1, 2, 3}, {1, 1, 1, 1}, 2, 3, 0.0, 4);
  EXPECT_THROW(run_interp(), ProgramStop);
  EXPECT_EQ(transcript().back(), " max x must be greater that min x in file");
}

TEST_F(Interp, SmallGridsOrFewPointsOnlyAnnounceAndZeroSaysNothing) {
  set(1, kX, kX, 1, 5, -1.0, 2);  // grid too small
  set(2, kX, kX, 1, 2, -1.0, 5);  // too few points in range
  set(3, kX, kX, 1, 5, -1.0, 0);  // no interpolation
  set(4, kX, kX, 1, 5, -1.0, 1);
  run_interp();
  const std::vector<std::string> expected = {
      "Interpolating function:     1 in a grid with     2  points",
      "Interpolating function:     2 in a grid with     5  points",
      "Interpolating function:     4 in a grid with     1  points"};
  EXPECT_EQ(transcript(), expected);
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(data().xi(i, 2), 1.0) << i;
    EXPECT_EQ(data().imin(i), 1) << i;
  }
  EXPECT_EQ(data().ndatin(2), 2);
}

TEST_F(Interp, ResolutionKernelOfOptionCIsLeftAlone) {
  set(1, kX, kX, 1, 5, -1.0, 8);
  data().fileop(1) = "c";
  for (int k = -2; k <= 2; ++k) data().mi(1, k) = 10.0 - k * k;
  for (int k = 3; k <= 5; ++k) data().mi(1, k) = 42.0;
  run_interp();
  for (int k = -2; k <= 2; ++k) EXPECT_EQ(data().mi(1, k), 10.0 - k * k) << k;
  for (int k = 3; k <= 5; ++k) EXPECT_EQ(data().mi(1, k), 42.0) << k;
}

TEST_F(Interp, GridOfMoreThanFiveThousandPointsIsAnIndexError) {
  set(1, kX, kX, 1, 5, -1.0, 5001);
  EXPECT_THROW(run_interp(), IndexRangeError);
}

TEST_F(Interp, GridTooCoarseToReachTheRangeStops) {
  // x = 0 ... 9, range x = 7, 8, 9 (imin 8). Three grid points 0, 3, 6 all lie
  // below kin, so the range would start beyond the grid's end.
  std::vector<double> x;
  for (int k = 0; k < 10; ++k) x.push_back(k);
  set(1, x, x, 8, 3, 6.5, 3);
  EXPECT_THROW(run_interp(), FatalError);
  EXPECT_EQ(transcript().back(), " func,imin,ndatin 1 8 -5");
}

}  // namespace
}  // namespace zorvik
