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
#include "support/program.h"

namespace zorvik {
namespace {

using testing_support::read_text;
using testing_support::write_text;

// Grid values x1 + (j − 1)·dx carry a few roundings of order-one numbers, far below a wrong step or index.
constexpr double kGridTol = 1e-12;

// A resolution file: a header, then x = -0.3, -0.2, ... with the given y.
std::string resolution(const std::vector<double>& y) {
  std::ostringstream s("resolution  x  y\n", std::ios::ate);
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
    d.nomin(i) = file, d.fileop(i) = option, d.kin(i) = kin, d.kfin(i) = kfin, d.opfit(i) = opfit, d.sigmae(i, 0) = s0;
    d.nameconv(i) = conv, d.xmaxconv(i) = xmax, d.zeroconv(i) = zero;
    run_->settings.nfunc = std::max(run_->settings.nfunc, i);
  }
  ReadOutcome read() { return dataread(run_->settings, run_->data, s_.con); }
  // The reading, which must fail; the error (none, and a failure, otherwise).
  std::optional<InputError> failure() {
    try {
      read();
    } catch (const InputError& e) {
      return e;
    }
    ADD_FAILURE() << "no error";
    return std::nullopt;
  }
  FitFunctions& d() { return run_->data; }

  testing_support::ScratchDir scratch_;
  std::unique_ptr<zorvik::Run> run_ = std::make_unique<zorvik::Run>();
  testing_support::Screen s_;
};

// One reading of nine data sets, one of each kind: the echo of every file
// (first lines, zero sigmas, sigma statistics, fit range, z values, the
// convolution warning, logarithms) and convf.dat of the last are compared whole
// with reviewed golden copies; the tables are checked here.
TEST_F(DataRead, EveryKindOfFileIsEchoedAsTheGoldenTranscriptShows) {
  const std::pair<const char*, const char*> files[] = {
      {"eps.dat", "1 1\n10 100\n100 1000\n1000 0.1\n10000 5\n"},  // 1: logarithms
      {"head.dat", "energy counts error\n1 10 1\n2 20 2\n"},       // 2-4: headers
      {"bare.dat", "\n1 10 1 extra words\n\n2,20,2\n"},
      {"q.dat", "zvalues 2 0.5 1.25 ignored\n1 10 1\n2 20 2\n"},
      {"r.dat", "0 0 1\n1 1 0\n2 4 3\n3 9 4\n4 16 5\n5 25 6\n"},  // 5: x = 4 ends the reading
      {"c.dat", "0 1\n1 2\n2 3\n3 4\n"},                          // 6: constant sigma
      {"p.dat", "1 10\n2 12\n"},                                    // 7: Poisson
      {"w.dat", "0.5 1 1\n0.6 1 2\n0.7 1 3\n"},                     // 8: a kernel not starting at 0
      {"k.dat", "0 1 10\n0.1 1 11\n0.2 1 12\n0.3 1 13\n0.4 1 14\n0.5 1 15\n0.6 1 16\n"}};
  const struct { const char* option; double kin, kfin; int opfit; double s0; } slots[] = {
      {"n", 1, 1000, 51, 0.1}, {"n", 0, 10, 101, 0}, {"n", 0, 10, 101, 0}, {"n", 0, 10, 101, 0},
      {"n", 1, 3, 101, 0},     {"n", 0.5, 2.5, 101, 0.5}, {"n", 0, 5, 101, -1}, {"c", 0, 1, 101, 0.2},
      {"c", -1, 1, 101, 0.2}};
  for (int i = 1; i <= 9; ++i) {
    write_text(files[i - 1].first, files[i - 1].second);
    set(i, files[i - 1].first, slots[i - 1].option, slots[i - 1].kin, slots[i - 1].kfin, slots[i - 1].opfit,
        slots[i - 1].s0);
  }
  run_->settings.plotaxes = "ll";
  ASSERT_EQ(read(), ReadOutcome::Done);
  testing_support::expect_golden("tests/setup/golden/data_read_console.txt", s_.out.str());
  testing_support::expect_golden("tests/setup/golden/data_read_convf.dat", read_text("convf.dat"));

  // The tables behind the echo. log10 of exact powers of ten is exact in glibc;
  // EXPECT_DOUBLE_EQ's 4 ulps leave room for another libm.
  EXPECT_DOUBLE_EQ(d().xi(1, 1), 0.0);  // below the range, converted all the same
  EXPECT_DOUBLE_EQ(d().yi(1, 4), -1.0);
  EXPECT_EQ(d().xi(1, 5), 10000.0);  // beyond the range: untouched
  EXPECT_DOUBLE_EQ(d().kfin(1), 3.0);
  EXPECT_EQ(run_->settings.plotaxes.str() + std::to_string(d().logrange(1)), "nn1");  // the writer puts the range back in hertz
  for (int i = 2; i <= 4; ++i)
    EXPECT_EQ((std::vector{d().xi(i, 1), d().sigmae(i, 2), d().mi(i, 1)}), (std::vector{1.0, 2.0, double(666.6f)})) << i;
  EXPECT_EQ(d().z(4, 2), 1.25);
  // Every point read enters the sigma sum (1+0+3+4+5), only those in range the divisor;
  // constant sigma: s0 · (4 read / 2 in range); negative: Poisson.
  EXPECT_EQ((std::vector{d().xi(5, 5), d().xi(5, 6), d().sigmamed(5)}), (std::vector{4.0, 0.0, 6.5}));
  EXPECT_EQ((std::vector{d().sigmae(6, 3), d().sigmamed(6)}), (std::vector{0.5, 1.0}));
  EXPECT_LT(d().sigmamed(7), 0.0);
  // x = 0 … 0.6 with m = 10 … 16: N = 7, half-width 3, m(k) = m(−k) = 10 + k, grid to N + N/2.
  ASSERT_EQ(d().imaxconv(9), 3);
  for (int k = 0; k <= 3; ++k) EXPECT_TRUE(d().mi(9, k) == 10.0 + k && d().mi(9, -k) == 10.0 + k) << k;
  EXPECT_NEAR(d().xc(9, 10), 0.9, kGridTol);

  // A second reading starts from clean tables.
  run_->settings.nfunc = 1;
  write_text("eps.dat", "1 1\n2 2\n");
  set(1, "eps.dat", "n", 0.0, 10.0, 101, 1.0);
  ASSERT_EQ(read(), ReadOutcome::Done);
  EXPECT_EQ((std::vector{d().sigmamed(1), d().xi(1, 4)}), (std::vector{1.0, 0.0}));
  EXPECT_EQ(d().nz, 0);
}

TEST_F(DataRead, MalformedFilesStopNamingFileAndLine) {
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
      // A loss of zero inside the range of a dielectric model has no logarithm.
      {"n51", 0.1, "1 1\n10 100\n100 0\n1000 0.1\n", "", "m.dat", 0, "point 3 of the fit range has x = 100.0, y = 0.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.data) + " / " + c.res);
    write_text("m.dat", c.data);
    write_text("r.dat", c.res);
    const bool log = std::string(c.option) == "n51";
    set(1, "m.dat", log ? "n" : c.option, log ? 1.0 : -10.0, log ? 1000.0 : 10.0, log ? 51 : 101, c.s0, "r.dat", 0.2, -1.0);
    if (const auto e = failure()) {
      EXPECT_EQ(e->file(), c.file);
      EXPECT_EQ(e->line(), c.line);
      EXPECT_NE(e->expected().find(c.expected), std::string::npos) << e->what();
    }
  }
}

TEST_F(DataRead, ResolutionFileGivesOriginAndHalfWidth) {
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
}

}  // namespace
}  // namespace zorvik
