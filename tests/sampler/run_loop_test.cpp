// The run loop on the short-batch case of the end-to-end tests, with its
// settings changed one at a time: annealing, the early stop on convergence,
// the limits of the step adaptation, the best state, the largest step count.
#include "output/result_files.h"
#include "sampler/run_loop.h"

#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/record_format.h"
#include "sampler/compara.h"
#include "setup/data_file.h"
#include "setup/param_file.h"
#include "setup/startup.h"
#include "support/program.h"

namespace zorvik {
namespace {

using testing_support::copy_case;
using testing_support::lines_of;
using testing_support::read_text;
using testing_support::ScratchDir;
using testing_support::write_text;

struct Chain {
  ScratchDir dir;
  std::istringstream in;
  std::ostringstream screen;
  Console con{in, screen};
  std::unique_ptr<zorvik::Run> run = std::make_unique<zorvik::Run>();
  std::unique_ptr<ModelWorkspace> ws = std::make_unique<ModelWorkspace>();

  // The short-batch case with texts of its parameter file replaced.
  explicit Chain(std::initializer_list<std::pair<std::string, std::string>> edits = {}) {
    copy_case("short_batch");
    std::string par = read_text("short.par");
    for (const auto& [from, to] : edits) {
      const size_t at = par.find(from);
      EXPECT_NE(at, std::string::npos) << from;
      if (at != std::string::npos) par.replace(at, from.size(), to);
    }
    write_text("short.par", par);
    run->settings.parfile = "short.par";
    EXPECT_EQ(read_parameter_file(*run, con), ReadOutcome::Done);
    EXPECT_EQ(dataread(run->settings, run->data, con), ReadOutcome::Done);
    classify_sigmas(run->data, run->settings.nfunc);
  }
  void go(long long first_icycle = 1) {
    RunLoop loop(con);
    loop.clock = [] { return 0.0f; };
    loop.first_icycle = first_icycle;
    ResultFiles files;
    run_chain(*run, *ws, loop, files, con);
  }
  size_t count(const std::string& text) const {
    size_t n = 0;
    for (size_t at = screen.str().find(text); at != std::string::npos; at = screen.str().find(text, at + 1)) ++n;
    return n;
  }
};

// The numbers of record `k` (1 the first after the header) of a trace file.
std::vector<double> record(const std::string& file, size_t k) {
  return testing_support::numbers_of(lines_of(read_text(file)).at(k));
}

TEST(RunLoop, AnnealingLowersTheTemperatureEveryStepIntervals) {
  // Tin 3, Tfn 1, incT 1: three stages of two write intervals of 1000 steps.
  Chain c({{"       0                                  !annealing\n 1    1.00000",
            "       1                                  !annealing\n 2    3.00000"}});
  EXPECT_EQ(c.run->settings.ncycles, 1000 * 2 * 3);
  c.go();
  EXPECT_EQ(c.count(" Changing Temperature to T="), 3u);
  EXPECT_NE(c.screen.str().find(" Changing Temperature to T=    2.00000E+00\n"), std::string::npos);
  EXPECT_NE(c.screen.str().find(" Changing Temperature to T=    1.00000E+00\n"), std::string::npos);
}

TEST(RunLoop, ConvergenceStopEndsTheRunWhenTheChiSquareRisesByLessThanAThousandth) {
  Chain c({{"    3000    1000", "  200000     500"}});
  c.run->settings.interactive = 2;
  c.go();
  const int stopped = c.run->chain.icycle;
  EXPECT_LT(stopped, 200000);
  EXPECT_EQ(stopped % 500, 0);
  // The trace holds the total chi-square of every interval (7 digits): the run
  // stopped at the first one that rose by less than a thousandth.
  const std::vector<std::string> trace = lines_of(read_text("chi.dat"));
  ASSERT_EQ(trace.size(), 1u + stopped / 500);
  for (size_t k = 2; k < trace.size(); ++k) {
    const double now = record("chi.dat", k).at(1), rise = (now - record("chi.dat", k - 1).at(1)) / now;
    EXPECT_EQ(rise > 0.0 && rise < static_cast<double>(0.001f), k + 1 == trace.size())
        << "interval " << k << ": rise " << rise;
  }
  // Without the convergence option the same chain runs to its end.
  Chain full({{"    3000    1000", "    6000     500"}});
  full.go();
  EXPECT_EQ(full.run->chain.icycle, 6001);
}

// Trace files carry 7 significant digits.
constexpr double kTraceTol = 1e-6;

TEST(RunLoop, AdaptationMultipliesAStepByAtMostTenPerInterval) {
  // A target acceptance of 0.001 is far below what every parameter reaches.
  Chain c({{" 0.40000  ", " 0.00100  "}});
  c.go();
  const std::vector<double> moves = record("move.dat", 1);
  const double expected[] = {1.0, 0.05, 0.0, 10.0, 0.5};  // ten times the steps of bg0, bg1, bg2, area, centre
  for (int i = 1; i <= 5; ++i) EXPECT_NEAR(moves.at(i), expected[i - 1], kTraceTol * expected[i - 1]) << i;
}

TEST(RunLoop, AnAlStepIsRaisedToOnePercentOfItsValue) {
  // A step of 0.01 on a value near 15 stays below 1 % even ten times longer.
  Chain c({{"  5  centre     a   1.5200000E+01  5.0000E-02", "  5  centre     al  1.5200000E+01  1.0000E-02"}});
  c.go();
  const double centre = record("MMchain.dat", 1).at(6);  // the state at the first write interval
  EXPECT_NEAR(record("move.dat", 1).at(5), centre / 100, kTraceTol * centre / 100);
}

// One step of the centre alone, from either side of the peak at 15.2: the
// step (the same in both runs, from the same numbers) goes downhill from one
// side and uphill from the other, where a temperature of 1e6 accepts it; the
// uphill step leaves the start as the best state.
TEST(RunLoop, OnlyAStepThatLowersTheChiSquareSetsTheBestState) {
  int uphill = 0;
  for (double start : {11.0, 19.5}) {
    Chain c({{"    3000    1000", "       1       1"}});
    FitParameters& p = c.run->params;
    for (int k = 1; k <= 12; ++k) p.move(k) = k == 5 ? 0.05 : 0.0;
    p.nfit = 1;
    p.parfit(1) = 5;
    p.par(5) = start;
    c.run->settings.temp = 1e6;
    c.go();
    const ChainState& ch = c.run->chain;
    if (ch.stepresult == kChiUp) {
      ++uphill;
      // No step went downhill: the start state stands as the best one.
      EXPECT_EQ(ch.parchimin(0), ch.chisqold(0)) << start;
      EXPECT_EQ(ch.parchimin(5), start);
    } else {
      EXPECT_EQ(ch.stepresult, kChiDown) << start;
      EXPECT_EQ(ch.parchimin(0), ch.chisq(0)) << start;
    }
  }
  EXPECT_EQ(uphill, 1);
}

// The last steps of a run of 2^31 − 1 steps (the largest count the parameter
// file holds) with one write interval as long and a chain record per step: a
// 32-bit step counter overflowed after the last step, and 2·nwrite before it,
// so the run never ended.
TEST(RunLoop, RunOfTheLargest32BitStepCountEnds) {
  Chain c({{"    3000    1000", " 2147483647 2147483647"}, {"   0    3     5.0", "   0    2     5.0"}});
  c.go(INT_MAX - 4LL);
  EXPECT_EQ(c.run->chain.icycle, INT_MAX + 1LL);
  const std::vector<std::string> chain = lines_of(read_text("MMchain.dat"));
  ASSERT_EQ(chain.size(), 6u);
  for (int k = 1; k <= 5; ++k) EXPECT_EQ(chain[k].substr(0, 12), format_record("(i12)", {INT_MAX - 5LL + k}));
  // The interval at icycle = nwrite starts the run-time measurement.
  const std::string stars = " " + std::string(36, '*');
  EXPECT_TRUE(testing_support::has_lines(c.screen.str(), {stars, stars, "", "   step  time left  chisq1,2,3..."}));
}

}  // namespace
}  // namespace zorvik
