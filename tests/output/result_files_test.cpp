// Result, listing and initial-curve files of a run on the polynomial 1 + 2x − 3x² + 0.5x³: exact values by hand.
#include "output/result_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/files.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::read_text;

constexpr int kPolynomial = 100;
constexpr int kMolecularWithoutRoutine = 7;  // a molecular model number that selects no routine

// Data set 1, fit range x = 1, 1.5, 2: ycalc = 0.5, −1.0625, −3.
const std::string kRes1 =
    " #x ydat ycalc diff\n"
    "  0.1000000E+01    0.3000000E+01    0.5000000E+00    0.2500000E+01\n"
    "  0.1500000E+01   -0.7500000E+00   -0.1062500E+01    0.3125000E+00\n"
    "  0.2000000E+01    0.4500000E+01   -0.3000000E+01    0.7500000E+01\n";
// Data set 2, x = −1, −0.5, 0.25, 4: ycalc = −4.5, −0.8125, 1.3203125, −7.
const std::string kRes2 =
    " #x ydat ycalc diff\n"
    " -0.1000000E+01   -0.2500000E+01   -0.4500000E+01    0.2000000E+01\n"
    " -0.5000000E+00    0.0000000E+00   -0.8125000E+00    0.8125000E+00\n"
    "  0.2500000E+00    0.1500000E+01    0.1320312E+01    0.1796875E+00\n"
    "  0.4000000E+01    0.1000000E+02   -0.7000000E+01    0.1700000E+02\n";

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
  void write(int mode) { outwrite(mode, *run_, *ws_, s_.con); }

  testing_support::ScratchDir dir_;
  std::unique_ptr<zorvik::Run> run_ = std::make_unique<zorvik::Run>();
  std::unique_ptr<ModelWorkspace> ws_ = std::make_unique<ModelWorkspace>();
  testing_support::Screen s_;
};

TEST_F(ResultFiles, EachFittedDataSetGetsItsFitRangeInFourColumns) {
  write(0);
  EXPECT_EQ(read_text("res1.dat"), kRes1);
  EXPECT_EQ(read_text("res2.dat"), kRes2);
  EXPECT_FALSE(file_exists("res3.dat"));
  EXPECT_FALSE(file_exists("out.dat"));
  EXPECT_EQ(s_.out.str(), "");
  // The next write replaces the file: it holds the latest values only.
  run_->params.par(1) = 2.0;
  write(0);
  const auto again = testing_support::lines_of(read_text("res1.dat"));
  ASSERT_EQ(again.size(), 4u);
  EXPECT_EQ(again[1], "  0.1000000E+01    0.3000000E+01    0.1500000E+01    0.1500000E+01");
}

TEST_F(ResultFiles, TwoDataSetsWithOneResultNameLeaveTheLaterOne) {
  run_->data.nomout(2) = "res1.dat";
  write(0);
  EXPECT_EQ(read_text("res1.dat"), kRes2);
  EXPECT_FALSE(file_exists("res2.dat"));
}

// A molecular number without a routine in this slot has no value: ycalc and the
// molecular term are both written as 0; the background p2 … p7 are restored after.
TEST_F(ResultFiles, MolecularModelsGetTheFifthColumnAndKeepTheirParameters) {
  run_->data.opfit(2) = kMolecularWithoutRoutine;
  run_->params.par(7) = 0.25;
  write(0);
  EXPECT_EQ(read_text("res2.dat"),
            " #x ydat ycalc diff RDF\n"
            " -0.1000000E+01   -0.2500000E+01    0.0000000E+00   -0.2500000E+01    0.0000000E+00\n"
            " -0.5000000E+00    0.0000000E+00    0.0000000E+00    0.0000000E+00    0.0000000E+00\n"
            "  0.2500000E+00    0.1500000E+01    0.0000000E+00    0.1500000E+01    0.0000000E+00\n"
            "  0.4000000E+01    0.1000000E+02    0.0000000E+00    0.1000000E+02    0.0000000E+00\n");
  const double want[] = {2.0, -3.0, 0.5, 0.0, 0.0, 0.25};
  for (int k = 2; k <= 7; ++k) EXPECT_EQ(run_->params.par(k), want[k - 2]) << "p" << k;
  EXPECT_EQ(testing_support::lines_of(read_text("res1.dat"))[0], " #x ydat ycalc diff");  // the polynomial set: four
}

TEST_F(ResultFiles, ListingIsAppendedForEveryDataSetFittedOrNot) {
  const std::string listing =
      " Function:res1.dat\n #x ydat ycalc diff\n"
      "  1.0000000E+00    3.0000000E+00    5.0000000E-01    2.5000000E+00\n"
      "  1.5000000E+00   -7.5000000E-01   -1.0625000E+00    3.1250000E-01\n"
      "  2.0000000E+00    4.5000000E+00   -3.0000000E+00    7.5000000E+00\n"
      " Function:res2.dat\n #x ydat ycalc diff\n"
      " -1.0000000E+00   -2.5000000E+00   -4.5000000E+00    2.0000000E+00\n"
      " -5.0000000E-01    0.0000000E+00   -8.1250000E-01    8.1250000E-01\n"
      "  2.5000000E-01    1.5000000E+00    1.3203125E+00    1.7968750E-01\n"
      "  4.0000000E+00    1.0000000E+01   -7.0000000E+00    1.7000000E+01\n"
      " Function:res3.dat\n #x ydat ycalc diff\n"  // unfitted: a model value of 0
      "  7.0000000E+00    5.0000000E-01    0.0000000E+00    5.0000000E-01\n"
      "  8.0000000E+00    2.5000000E-01    0.0000000E+00    2.5000000E-01\n";
  testing_support::write_text("out.dat", " earlier summary\n");
  write(1);
  write(1);
  EXPECT_EQ(read_text("out.dat"), " earlier summary\n" + listing + listing);
  EXPECT_FALSE(file_exists("res1.dat"));
}

TEST_F(ResultFiles, OtherModesWriteNothing) {
  for (int mode : {10, 11, 20, -1}) write(mode);
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
  EXPECT_EQ(s_.out.str(), "");
}

TEST_F(ResultFiles, InitialCurvesAreNamedByTheDataSetNumberWithoutLeadingZeros) {
  run_->settings.nfunc = 12;
  set_points(12, {3.0, 0.75}, {-1.0, 2.0}, 1, 2, kPolynomial);  // ycalc = −6.5, 1.0234375
  write_initial_curves(*run_, *ws_);
  EXPECT_EQ(read_text("inicif1.dat"), "#x y ycalc\n 1.0 3.0 0.5\n 1.5 -0.75 -1.0625\n 2.0 4.5 -3.0\n");
  EXPECT_EQ(read_text("inicif2.dat"),
            "#x y ycalc\n -1.0 -2.5 -4.5\n -0.5 0.0 -0.8125\n 0.25 1.5 1.3203125\n 4.0 10.0 -7.0\n");
  EXPECT_EQ(read_text("inicif12.dat"), "#x y ycalc\n 3.0 -1.0 -6.5\n 0.75 2.0 1.0234375\n");
  // Unfitted data sets (3, and the empty slots 4 … 11) get no file.
  for (const char* f : {"inicif3.dat", "inicif4.dat", "inicif012.dat"}) EXPECT_FALSE(file_exists(f)) << f;
}

}  // namespace
}  // namespace zorvik
