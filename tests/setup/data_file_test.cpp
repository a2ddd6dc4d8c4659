// The data-file reader: points, fit range, sigmas, resolutions ("c", "cf"), convf.dat, logarithms, every stop.
#include "setup/data_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/files.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::lines_of;
using testing_support::read_text;
using testing_support::write_text;
using Lines = std::vector<std::string>;

// Grid values x1 + (j − 1)·dx carry a few roundings of order-one numbers, far below a wrong step or index.
constexpr double kGridTol = 1e-12;

// A resolution file: a header, then x = -0.3, -0.2, ... with the given y.
std::string resolution(const std::vector<double>& y) {
  std::ostringstream s;
  s << "resolution  x  y\n";
  for (size_t k = 0; k < y.size(); ++k) s << (static_cast<int>(k) - 3) / 10.0 << " " << y[k] << "\n";
  return s.str();
}

const char* const kCfData = "0 1\n0.1 1\n0.2 1\n0.3 1\n0.4 1\n0.5 1\n";  // N = 6, step 0.1

class DataRead : public testing::Test {
 protected:
  DataRead() { run_->settings.parfile = "p.par"; }

  // One data-set slot as the parameter file leaves it.
  void set(int i, const std::string& file, const char* option, double kin, double kfin, int opfit, double s0,
           const std::string& conv = "", double xmax = 0.0, double zero = 0.0) {
    FitFunctions& d = run_->data;
    d.nomin(i) = file;
    d.fileop(i) = option;
    d.kin(i) = kin;
    d.kfin(i) = kfin;
    d.opfit(i) = opfit;
    d.sigmae(i, 0) = s0;
    d.nameconv(i) = conv;
    d.xmaxconv(i) = xmax;
    d.zeroconv(i) = zero;
    run_->settings.nfunc = std::max(run_->settings.nfunc, i);
  }
  ReadOutcome read() { return dataread(*run_, s_.con); }
  // The reading, which must fail with E; the error (none, and a failure, otherwise).
  template <class E>
  std::optional<E> failure() {
    try {
      read();
    } catch (const E& e) {
      return e;
    }
    ADD_FAILURE() << "no error";
    return std::nullopt;
  }
  // Whether the console shows these consecutive lines (as its last ones, with at_end).
  testing::AssertionResult shows(const Lines& seq, bool at_end = false) const {
    return testing_support::has_lines(s_.out.str(), seq, at_end);
  }
  FitFunctions& d() { return run_->data; }

  testing_support::ScratchDir scratch_;
  std::unique_ptr<zorvik::Run> run_ = std::make_unique<zorvik::Run>();
  testing_support::Screen s_;
};

TEST_F(DataRead, HeadersDecideWherePointsStart) {
  write_text("head.dat", "energy counts error\n1 10 1\n2 20 2\n");
  write_text("bare.dat", "\n1 10 1 extra words\n\n2,20,2\n");
  write_text("q.dat", "zvalues 2 0.5 1.25 ignored\n1 10 1\n2 20 2\n");
  const char* files[] = {"head.dat", "bare.dat", "q.dat"};
  for (int i = 1; i <= 3; ++i) set(i, files[i - 1], "n", 0.0, 10.0, 101, 0.0);
  ASSERT_EQ(read(), ReadOutcome::Done);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(d().ndatin(i), 2) << i;
    EXPECT_EQ(d().xi(i, 1), 1.0) << i;
    EXPECT_EQ(d().sigmae(i, 2), 2.0) << i;
    EXPECT_EQ(d().mi(i, 1), static_cast<double>(666.6f)) << i;  // no third column
  }
  EXPECT_EQ(d().nz, 2);
  EXPECT_EQ(d().z(3, 2), 1.25);
  // A numeric first line is echoed by its first number; a header is not.
  const std::string echo1 = "   1.000000E+00   1.000000E+01   1.000000E+00   6.666000E+02";
  EXPECT_TRUE(shows({" First lines of input file: bare.dat  x   y    sigma     m", " 1.0"}));
  EXPECT_TRUE(shows({" First lines of input file: head.dat  x   y    sigma     m", echo1}));
  EXPECT_TRUE(shows({" First lines of input file: q.dat  x   y    sigma     m", "", " Z values read from file: q.dat 0.5 1.25",
                     "", echo1}));
}

TEST_F(DataRead, FitRangeAndSigmaStatistics) {
  // kin = 1, kfin = 3: x = 2, 3 in range, x = 4 ends the reading, x = 5 is not read.
  write_text("r.dat", "0 0 1\n1 1 0\n2 4 3\n3 9 4\n4 16 5\n5 25 6\n");
  write_text("c.dat", "0 1\n1 2\n2 3\n3 4\n");
  write_text("p.dat", "1 10\n2 12\n");
  set(1, "r.dat", "n", 1.0, 3.0, 101, 0.0);
  set(2, "c.dat", "n", 0.5, 2.5, 101, 0.5);
  set(3, "p.dat", "n", 0.0, 5.0, 101, -1.0);
  ASSERT_EQ(read(), ReadOutcome::Done);
  EXPECT_EQ(d().imin(1), 3);
  EXPECT_EQ(d().ndatin(1), 2);
  EXPECT_EQ(d().xi(1, 5), 4.0);  // stored although beyond the range
  EXPECT_EQ(d().xi(1, 6), 0.0);
  // Every point read enters the sum (1+0+3+4+5), only those in range the divisor;
  // the zero sigma is reported and its point kept; points j < 5 are echoed.
  EXPECT_EQ(d().sigmamed(1), 6.5);
  const std::string m = "   6.666000E+02";
  EXPECT_TRUE(shows({"   0.000000E+00   0.000000E+00   1.000000E+00" + m, "ERROR     2  CAN NOT BE ZERO!!",
                     "   1.000000E+00   1.000000E+00   0.000000E+00" + m,
                     "   2.000000E+00   4.000000E+00   3.000000E+00" + m,
                     "   3.000000E+00   9.000000E+00   4.000000E+00" + m, "", " Arithmetic media of sigma 6.5",
                     " Number of points in function 2", " Inicial 3 2.0", " Final 4 3.0"}));
  // Constant sigma: s0 * (4 read / 2 in range); negative: Poisson, and no sigma is an error.
  EXPECT_EQ(d().sigmae(2, 3), 0.5);
  EXPECT_EQ(d().sigmamed(2), 1.0);
  EXPECT_LT(d().sigmamed(3), 0.0);
  EXPECT_TRUE(shows({" First lines of input file: p.dat  x   y    sigma     m", " 1.0",
                     "   1.000000E+00   1.000000E+01  -1.000000E+00" + m,
                     "   2.000000E+00   1.200000E+01  -1.000000E+00" + m, "", " **** Poisson distribution used ****"}));
}

TEST_F(DataRead, MalformedFilesAreInputErrorsNamingFileAndLine) {
  // The data file, the resolution file of option "cf", and the error's file, line and text.
  struct Case { const char *option; double s0; const char *data, *res, *file; int line; const char* expected; };
  const Case cases[] = {
      {"n", 0.0, "1 1 1\n2 abc 1\n", "", "m.dat", 2, "x y sigma (three numbers)"},
      {"n", 0.0, "head\n1 1 1\n\n2 2\n", "", "m.dat", 4, "x y sigma (three numbers)"},
      {"n", 1.0, "1 1\n2 Inf\n", "", "m.dat", 2, "x y (two numbers)"},
      {"n", 1.0, "NaN 1\n", "", "m.dat", 1, "x y (two numbers)"},
      {"n", 1.0, "1 1\n'2' 2\n", "", "m.dat", 2, "x y (two numbers)"},
      {"c", 0.0, "0 1 1 1\n1 1 1\n", "", "m.dat", 2, "x y m sigma (four numbers)"},
      {"c", 2.0, "0 1\n", "", "m.dat", 1, "x y m (three numbers)"},
      {"c", -1.0, "0 1 1\n", "", "m.dat", 0, "data set 1 (model 101)"},
      {"n", 1.0, "", "", "m.dat", 0, "empty"},
      {"n", 1.0, "\n  \n", "", "m.dat", 0, "empty"},
      {"n", 1.0, "zvalues\n1 1\n", "", "m.dat", 1, "zvalues"},
      {"n", 1.0, "zvalues two 1 2\n1 1\n", "", "m.dat", 1, "zvalues"},
      {"n", 1.0, "zvalues 2 0.5\n1 1\n", "", "m.dat", 1, "zvalues"},
      {"n", 1.0, "zvalues 2 0.5 abc\n1 1\n", "", "m.dat", 1, "zvalues"},
      {"cf", 1.0, "0 1\n0.1 1\n", "", "r.dat", 0, "empty"},
      {"cf", 1.0, "0 1\n0.1 1\n", "head\n-0.1 1\n0.0 x\n", "r.dat", 3, "x y (two numbers)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.data) + " / " + c.res);
    write_text("m.dat", c.data);
    write_text("r.dat", c.res);
    set(1, "m.dat", c.option, -10.0, 10.0, 101, c.s0, "r.dat", 0.2, -1.0);
    if (const auto e = failure<InputError>()) {
      EXPECT_EQ(e->file(), c.file);
      EXPECT_EQ(e->line(), c.line);
      EXPECT_NE(e->expected().find(c.expected), std::string::npos) << e->what();
    }
  }
}

TEST_F(DataRead, ThirdColumnIsShiftedAndMirroredOntoAnExtendedGrid) {
  // x = 0 ... 0.6 with m = 10 ... 16: N = 7, half-width 3, m(k) = m(-k) = 10 + k.
  write_text("c.dat", "0 1 10\n0.1 1 11\n0.2 1 12\n0.3 1 13\n0.4 1 14\n0.5 1 15\n0.6 1 16\n");
  set(1, "c.dat", "c", -1.0, 1.0, 101, 0.2);
  ASSERT_EQ(read(), ReadOutcome::Done);
  ASSERT_EQ(d().imaxconv(1), 3);
  for (int k = 0; k <= 3; ++k) EXPECT_TRUE(d().mi(1, k) == 10.0 + k && d().mi(1, -k) == 10.0 + k) << k;
  EXPECT_NEAR(d().xc(1, -3), -0.4, kGridTol);
  EXPECT_NEAR(d().xc(1, 7), 0.6, kGridTol);
  EXPECT_NEAR(d().xc(1, 10), 0.9, kGridTol);  // N + N/2
  EXPECT_FALSE(shows({" ***   WARNING   WARNING WARNING       ***"}));
  EXPECT_EQ(read_text("convf.dat"), " -3 -0.4 13.0\n -2 -0.30000000000000004 12.0\n -1 -0.2 11.0\n 0 -0.1 10.0\n"
                                    " 1 0.0 11.0\n 2 0.1 12.0\n 3 0.2 13.0\n");

  write_text("w.dat", "0.5 1 1\n0.6 1 2\n0.7 1 3\n");
  set(1, "w.dat", "c", 0.0, 1.0, 101, 0.2);  // first x is not 0
  ASSERT_EQ(read(), ReadOutcome::Done);
  const std::string border = " *****************************************";
  EXPECT_TRUE(shows({border, " ***   WARNING   WARNING WARNING       ***", border,
                     " ** CONVOLUTION SHOULD START WITH X=0.0 **", border, " * You will run into trouble, my friend! *",
                     border, "", ""}));
}

TEST_F(DataRead, ResolutionFileOriginAndHalfWidth) {
  // y at x = -0.3, -0.2, ...; xmaxconv, zeroconv; the origin line, half-width and mi(-half ... half).
  struct Case { std::vector<double> y; double xmax, zero; int origin, half; std::vector<double> kernel; };
  const Case cases[] = {
      {{1, 2, 5, 9, 9, 3, 1}, 0.2, -1.0, 4, 2, {2, 5, 9, 9, 3}},  // first of equal maxima
      {{1, 2, 5, 7, 9, 3, 1}, 0.2, 0.0, 4, 2, {2, 5, 7, 9, 3}},   // zeroconv 0: the line x = 0.0
      {{1, 2, 5, 7, 9, 3, 1}, 0.2, -1.0, 5, 1, {7, 9, 3}},        // the maximum, nearer the upper edge
      {{9, 4, 1, 0}, 0.4, -1.0, 1, 0, {9}},                       // maximum on the first line
      {{0, 1, 2, 3, 8, 1}, 0.25, -1.0, 5, 1, {3, 8, 1}},          // x >= 0.25 never reached: last line
  };
  write_text("d.dat", kCfData);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.origin);
    write_text("r.dat", resolution(c.y));
    set(1, "d.dat", "cf", -1.0, 1.0, 101, 1.0, "r.dat", c.xmax, c.zero);
    ASSERT_EQ(read(), ReadOutcome::Done);
    EXPECT_EQ(d().iiniconv(1), c.origin);
    ASSERT_EQ(d().imaxconv(1), c.half);
    for (int k = -c.half; k <= c.half; ++k) EXPECT_EQ(d().mi(1, k), c.kernel[k + c.half]) << k;
    EXPECT_NEAR(d().xc(1, -c.half), -0.1 * (c.half + 1), kGridTol);
    EXPECT_NEAR(d().xc(1, 6 + c.half), 0.1 * (5 + c.half), kGridTol);
  }
  EXPECT_TRUE(shows({" First lines of van file: r.dat"}));
  EXPECT_TRUE(shows({" -0.3 9.0"}));  // echo of the first point line
}

TEST_F(DataRead, DielectricModelsWorkInDecimalLogarithmsAndEachReadingStartsClean) {
  write_text("eps.dat", "1 1\n10 100\n100 1000\n1000 0.1\n10000 5\n");
  set(1, "eps.dat", "n", 1.0, 1000.0, 51, 0.1);
  run_->settings.plotaxes = "ll";
  ASSERT_EQ(read(), ReadOutcome::Done);
  // log10 of exact powers of ten is exact in glibc; EXPECT_DOUBLE_EQ's 4 ulps leave room for another libm.
  EXPECT_DOUBLE_EQ(d().xi(1, 1), 0.0);  // below the range, converted all the same
  EXPECT_DOUBLE_EQ(d().xi(1, 3), 2.0);
  EXPECT_DOUBLE_EQ(d().yi(1, 4), -1.0);
  EXPECT_EQ(d().xi(1, 5), 10000.0);  // beyond the range: untouched
  EXPECT_DOUBLE_EQ(d().kin(1), 0.0);
  EXPECT_DOUBLE_EQ(d().kfin(1), 3.0);
  EXPECT_EQ(run_->settings.plotaxes, "nn");
  EXPECT_EQ(d().logrange(1), 1);  // the writer puts the range back in hertz
  EXPECT_TRUE(shows({" **** CALCULATING logarithm for x and y ***"}));
  // A loss of zero inside the range has no logarithm: refused, naming the point.
  write_text("eps.dat", "1 1\n10 100\n100 0\n1000 0.1\n");
  set(1, "eps.dat", "n", 1.0, 1000.0, 51, 0.1);
  EXPECT_NE(std::string(failure<InputError>().value().what()).find("point 3 of the fit range has x = 100.0, y = 0.0"),
            std::string::npos);

  // A second reading starts from clean tables.
  write_text("a.dat", "zvalues 1 3.5\n1 1\n2 2\n3 3\n4 4\n");
  set(1, "a.dat", "n", 0.0, 10.0, 101, 1.0);
  ASSERT_EQ(read(), ReadOutcome::Done);
  write_text("a.dat", "1 1\n2 2\n");
  ASSERT_EQ(read(), ReadOutcome::Done);
  EXPECT_EQ(d().sigmamed(1), 1.0);
  EXPECT_EQ(d().xi(1, 4), 0.0);
  EXPECT_EQ(d().nz, 0);
}

}  // namespace
}  // namespace zorvik
