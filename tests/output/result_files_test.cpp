// Result, listing and initial-curve files of a run on the polynomial 1 + 2x − 3x² + 0.5x³: exact values by hand.
#include "output/result_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/files.h"
#include "support/program.h"

namespace zorvik {
namespace {

using testing_support::expect_golden;
using testing_support::read_text;

constexpr int kPolynomial = 100;
constexpr int kMolecularWithoutRoutine = 7;  // a molecular model number that selects no routine

// Expected files in tests/output/golden/result_files: data set 1 over its fit
// range x = 1, 1.5, 2 (ycalc = 0.5, −1.0625, −3), data set 2 at x = −1, −0.5,
// 0.25, 4 (ycalc = −4.5, −0.8125, 1.3203125, −7).
const std::string kGolden = "tests/output/golden/result_files/";

class ResultFiles : public testing::Test {
 protected:
  ResultFiles() {
    zorvik::Run& r = *run_;
    r.settings.npar = 10;
    r.settings.nfunc = 3;
    const double par[] = {1.0, 2.0, -3.0, 0.5};
    for (int k = 1; k <= 4; ++k) r.params.par(k) = par[k - 1];
    r.data.nomout(0) = "out.dat";
    set_points(1, {0.5, 1.0, 1.5, 2.0, 2.5}, {9.0, 3.0, -0.75, 4.5, 9.0}, 2, 3, kPolynomial);  // range: points 2 … 4
    set_points(2, {-1.0, -0.5, 0.25, 4.0}, {-2.5, 0.0, 1.5, 10.0}, 1, 4, kPolynomial);
    set_points(3, {7.0, 8.0}, {0.5, 0.25}, 1, 2, 0);  // read but not fitted
  }

  void set_points(int i, std::vector<double> x, std::vector<double> y, int imin, int ndatin, int opfit) {
    for (size_t j = 0; j < x.size(); ++j) run_->data.xi(i, int(j) + 1) = x[j], run_->data.yi(i, int(j) + 1) = y[j];
    run_->data.imin(i) = imin;
    run_->data.ndatin(i) = ndatin;
    run_->data.opfit(i) = opfit;
    run_->data.nomout(i) = "res" + std::to_string(i) + ".dat";
  }
  void write(WriteMode mode) { outwrite(mode, *run_, *ws_, s_.con); }

  testing_support::ScratchDir dir_;
  std::unique_ptr<zorvik::Run> run_ = std::make_unique<zorvik::Run>();
  std::unique_ptr<ModelWorkspace> ws_ = std::make_unique<ModelWorkspace>();
  testing_support::Screen s_;
};

TEST_F(ResultFiles, EachFittedDataSetGetsItsFitRangeInFourColumns) {
  write(WriteMode::curves);
  expect_golden(kGolden + "res1.dat", read_text("res1.dat"));
  expect_golden(kGolden + "res2.dat", read_text("res2.dat"));
  EXPECT_FALSE(file_exists("res3.dat"));
  EXPECT_FALSE(file_exists("out.dat"));
  EXPECT_EQ(s_.out.str(), "");
}

// A molecular number without a routine in this slot has no value: ycalc and the
// molecular term are both written as 0; the background p2 … p7 are restored after.
TEST_F(ResultFiles, MolecularModelsGetAFifthColumn) {
  run_->data.opfit(2) = kMolecularWithoutRoutine;
  run_->params.par(7) = 0.25;
  write(WriteMode::curves);
  expect_golden(kGolden + "res2_molecular.dat", read_text("res2.dat"));
  const double want[] = {2.0, -3.0, 0.5, 0.0, 0.0, 0.25};
  for (int k = 2; k <= 7; ++k) EXPECT_EQ(run_->params.par(k), want[k - 2]) << "p" << k;
  EXPECT_EQ(testing_support::lines_of(read_text("res1.dat"))[0], " #x ydat ycalc diff");  // the polynomial set: four
}

// The fifth column of a molecular model is its molecular term alone: the fit
// without the whole background p2 + p3·x + … + p7·x⁵ of the radial distribution.
TEST_F(ResultFiles, MolecularTermIsTheFitWithoutItsWholeBackground) {
  FitParameters& p = run_->params;
  run_->data.opfit(2) = 4;  // CCl4: data set 2 is its radial distribution
  const double par[] = {0, 2.5, 0.3, -0.2, 0.1, 0.05, -0.01, 0.002};
  for (int k = 1; k <= 7; ++k) p.par(k) = par[k];
  p.par(15) = 1.77, p.par(16) = 0.08, p.par(17) = 0.1;  // C–Cl distance and the two widths
  write(WriteMode::curves);
  const auto lines = testing_support::lines_of(read_text("res2.dat"));
  ASSERT_EQ(lines.size(), 5u);
  for (size_t n = 1; n < lines.size(); ++n) {
    std::istringstream in(lines[n]);
    double x = 0, y = 0, fit = 0, diff = 0, molecular = 0;
    ASSERT_TRUE(in >> x >> y >> fit >> diff >> molecular) << lines[n];
    double b = 0.0;
    for (int k = 7; k >= 2; --k) b = b * x + par[k];  // Horner's form, not the program's
    // e15.7 keeps 7 digits of each column.
    EXPECT_NEAR(fit - molecular, b, 1e-6 * (std::fabs(fit) + std::fabs(molecular))) << lines[n];
  }
}

}  // namespace
}  // namespace zorvik
