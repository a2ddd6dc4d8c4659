// Result files, the appended listing and the initial-curve files, written for a
// hand-built run whose data sets use the polynomial model, so that every model
// value is known here without the dispatcher: with coefficients and x values
// that are short binary fractions the polynomial is exact in any evaluation order.
#include "output/result_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/files.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::lines_of;
using testing_support::read_text;
using testing_support::ScratchDir;
using testing_support::write_text;

// e15.7 and es15.7 keep 8 significant digits (0.ddddddd and d.ddddddd), so a
// value read back from a record is within half a unit of the 7th (e) or 8th (es)
// digit: a relative error below 5e-7 covers both.
constexpr double kRecordRelTol = 5e-7;

// Polynomial model 100: p1 + p2·x + … + p10·x⁹.
constexpr int kPolynomial = 100;
// A molecular model number that selects no routine in any slot.
constexpr int kMolecularWithoutRoutine = 7;

double polynomial(const zorvik::Run& run, double x) {
  double y = 0.0, xk = 1.0;
  for (int k = 1; k <= 10; ++k, xk *= x) y += run.params.par(k) * xk;
  return y;
}

// The numbers of a fixed-column record of 15-column fields separated by 2 blanks.
std::vector<double> fields(const std::string& line, int count) {
  std::vector<double> v;
  for (int k = 0; k < count; ++k) v.push_back(std::stod(line.substr(size_t(17 * k), 15)));
  return v;
}

class ResultFiles : public testing::Test {
 protected:
  ResultFiles() {
    zorvik::Run& r = *run_;
    r.settings.npar = 10;
    r.settings.nfunc = 3;
    // 1 + 2x − 3x² + 0.5x³; the higher coefficients stay 0.
    r.params.par(1) = 1.0;
    r.params.par(2) = 2.0;
    r.params.par(3) = -3.0;
    r.params.par(4) = 0.5;
    r.data.nomout(0) = "out.dat";
    // Data set 1: five points, the fit range is points 2 … 4.
    set_points(1, {0.5, 1.0, 1.5, 2.0, 2.5}, {9.0, 3.0, -0.75, 4.5, 9.0}, 2, 3);
    r.data.opfit(1) = kPolynomial;
    r.data.nomout(1) = "res1.dat";
    // Data set 2: four points, all fitted.
    set_points(2, {-1.0, -0.5, 0.25, 4.0}, {-2.5, 0.0, 1.5, 10.0}, 1, 4);
    r.data.opfit(2) = kPolynomial;
    r.data.nomout(2) = "res2.dat";
    // Data set 3: read but not fitted.
    set_points(3, {7.0, 8.0}, {0.5, 0.25}, 1, 2);
    r.data.opfit(3) = 0;
    r.data.nomout(3) = "res3.dat";
  }

  void set_points(int i, std::vector<double> x, std::vector<double> y, int imin, int ndatin) {
    for (size_t j = 0; j < x.size(); ++j) {
      run_->data.xi(i, int(j) + 1) = x[j];
      run_->data.yi(i, int(j) + 1) = y[j];
    }
    run_->data.imin(i) = imin;
    run_->data.ndatin(i) = ndatin;
  }

  // Checks every record of a listing against the data and the polynomial.
  void expect_records(const std::vector<std::string>& lines, size_t from, int i, int columns,
                      bool model_has_value) {
    const zorvik::Run& r = *run_;
    const int n = r.data.ndatin(i);
    ASSERT_GE(lines.size(), from + size_t(n));
    for (int m = 0; m < n; ++m) {
      const int j = r.data.imin(i) + m;
      const double x = r.data.xi(i, j), y = r.data.yi(i, j);
      const double yc = model_has_value ? polynomial(r, x) : 0.0;
      const std::string& line = lines[from + size_t(m)];
      SCOPED_TRACE("data set " + std::to_string(i) + ", line \"" + line + "\"");
      ASSERT_EQ(line.size(), size_t(17 * columns - 2));  // no trailing blanks
      const std::vector<double> got = fields(line, 4);
      const double want[] = {x, y, yc, y - yc};
      for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(got[size_t(c)], want[c], kRecordRelTol * std::fabs(want[c])) << "column " << c + 1;
    }
  }

  ScratchDir dir_;
  std::unique_ptr<zorvik::Run> run_ = std::make_unique<zorvik::Run>();
  std::unique_ptr<ModelWorkspace> ws_ = std::make_unique<ModelWorkspace>();
  std::istringstream in_;
  std::ostringstream out_;
  Console con_{in_, out_};
};

TEST_F(ResultFiles, EachFittedDataSetGetsItsFitRangeInFourColumns) {
  outwrite(0, *run_, *ws_, con_);

  const std::vector<std::string> res1 = lines_of(read_text("res1.dat"));
  ASSERT_EQ(res1.size(), 4u);
  EXPECT_EQ(res1[0], " #x ydat ycalc diff");
  // x = 1: ycalc = 0.5; x = 1.5: ycalc = −1.0625.
  EXPECT_EQ(res1[1], "  0.1000000E+01    0.3000000E+01    0.5000000E+00    0.2500000E+01");
  EXPECT_EQ(res1[2], "  0.1500000E+01   -0.7500000E+00   -0.1062500E+01    0.3125000E+00");
  expect_records(res1, 1, 1, 4, true);

  const std::vector<std::string> res2 = lines_of(read_text("res2.dat"));
  ASSERT_EQ(res2.size(), 5u);
  EXPECT_EQ(res2[0], " #x ydat ycalc diff");
  expect_records(res2, 1, 2, 4, true);

  EXPECT_FALSE(file_exists("res3.dat"));
  EXPECT_FALSE(file_exists("out.dat"));
  EXPECT_EQ(out_.str(), "");

  // The next write replaces the file: it holds the latest values only.
  run_->params.par(1) = 2.0;
  outwrite(0, *run_, *ws_, con_);
  const std::vector<std::string> again = lines_of(read_text("res1.dat"));
  ASSERT_EQ(again.size(), 4u);
  EXPECT_EQ(again[1], "  0.1000000E+01    0.3000000E+01    0.1500000E+01    0.1500000E+01");
  expect_records(again, 1, 1, 4, true);
}

TEST_F(ResultFiles, TwoDataSetsWithOneResultNameLeaveTheLaterOne) {
  run_->data.nomout(2) = "res1.dat";
  outwrite(0, *run_, *ws_, con_);
  const std::vector<std::string> res = lines_of(read_text("res1.dat"));
  ASSERT_EQ(res.size(), 5u);
  expect_records(res, 1, 2, 4, true);
  EXPECT_FALSE(file_exists("res2.dat"));
}

TEST_F(ResultFiles, MolecularModelsGetTheFifthColumnAndKeepTheirParameters) {
  // A molecular number without a routine in this slot has no value: ycalc and
  // the molecular term are both written as 0.
  run_->data.opfit(2) = kMolecularWithoutRoutine;
  run_->params.par(7) = 0.25;
  outwrite(0, *run_, *ws_, con_);

  const std::vector<std::string> res2 = lines_of(read_text("res2.dat"));
  ASSERT_EQ(res2.size(), 5u);
  EXPECT_EQ(res2[0], " #x ydat ycalc diff RDF");
  EXPECT_EQ(res2[3], "  0.2500000E+00    0.1500000E+01    0.0000000E+00    0.1500000E+01    0.0000000E+00");
  expect_records(res2, 1, 2, 5, false);
  for (size_t m = 1; m < res2.size(); ++m) EXPECT_EQ(fields(res2[m], 5)[4], 0.0);
  // The background coefficients p2 … p7 are back at their values afterwards.
  const double want[] = {2.0, -3.0, 0.5, 0.0, 0.0, 0.25};
  for (int k = 2; k <= 7; ++k) EXPECT_EQ(run_->params.par(k), want[k - 2]) << "p" << k;
  // The polynomial data set still gets four columns.
  EXPECT_EQ(lines_of(read_text("res1.dat"))[0], " #x ydat ycalc diff");
}

TEST_F(ResultFiles, ListingIsAppendedForEveryDataSetFittedOrNot) {
  write_text("out.dat", " earlier summary\n");
  outwrite(1, *run_, *ws_, con_);
  const std::string once = read_text("out.dat");
  outwrite(1, *run_, *ws_, con_);
  const std::string twice = read_text("out.dat");

  const std::string listing = once.substr(std::string(" earlier summary\n").size());
  EXPECT_EQ(twice, " earlier summary\n" + listing + listing);

  const std::vector<std::string> l = lines_of(listing);
  // Three data sets: two header lines each plus 3, 4 and 2 records.
  ASSERT_EQ(l.size(), 15u);
  EXPECT_EQ(l[0], " Function:res1.dat");
  EXPECT_EQ(l[1], " #x ydat ycalc diff");
  EXPECT_EQ(l[2], "  1.0000000E+00    3.0000000E+00    5.0000000E-01    2.5000000E+00");
  expect_records(l, 2, 1, 4, true);
  EXPECT_EQ(l[5], " Function:res2.dat");
  EXPECT_EQ(l[6], " #x ydat ycalc diff");
  expect_records(l, 7, 2, 4, true);
  // The unfitted data set is listed with a model value of 0.
  EXPECT_EQ(l[11], " Function:res3.dat");
  EXPECT_EQ(l[12], " #x ydat ycalc diff");
  EXPECT_EQ(l[13], "  7.0000000E+00    5.0000000E-01    0.0000000E+00    5.0000000E-01");
  expect_records(l, 13, 3, 4, false);

  EXPECT_FALSE(file_exists("res1.dat"));
}

TEST_F(ResultFiles, OtherModesWriteNothing) {
  for (int mode : {10, 11, 20, -1}) outwrite(mode, *run_, *ws_, con_);
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_.path())) ++entries;
  EXPECT_EQ(entries, 0);
  EXPECT_EQ(out_.str(), "");
}

TEST_F(ResultFiles, InitialCurvesAreNamedByTheDataSetNumberWithoutLeadingZeros) {
  run_->settings.nfunc = 12;
  set_points(12, {3.0, 0.75}, {-1.0, 2.0}, 1, 2);
  run_->data.opfit(12) = kPolynomial;
  write_initial_curves(*run_, *ws_);

  // Data set 1, x = 1, 1.5, 2: ycalc = 0.5, −1.0625, −3.0.
  EXPECT_EQ(read_text("inicif1.dat"), "#x y ycalc\n 1.0 3.0 0.5\n 1.5 -0.75 -1.0625\n 2.0 4.5 -3.0\n");
  // Data set 2, x = −1, −0.5, 0.25, 4: ycalc = −4.5, −0.8125, 1.3203125, −7.0.
  EXPECT_EQ(read_text("inicif2.dat"),
            "#x y ycalc\n -1.0 -2.5 -4.5\n -0.5 0.0 -0.8125\n 0.25 1.5 1.3203125\n 4.0 10.0 -7.0\n");
  // Data set 12, x = 3, 0.75: ycalc = −6.5, 1.0234375.
  EXPECT_EQ(read_text("inicif12.dat"), "#x y ycalc\n 3.0 -1.0 -6.5\n 0.75 2.0 1.0234375\n");
  // Unfitted data sets (3, and the empty slots 4 … 11) get no file.
  EXPECT_FALSE(file_exists("inicif3.dat"));
  EXPECT_FALSE(file_exists("inicif4.dat"));
  EXPECT_FALSE(file_exists("inicif012.dat"));
}

}  // namespace
}  // namespace zorvik
