// Whole-chain statistics of real runs: a straight line whose posterior is known
// in closed form, the --seed runs and --combine against reviewed golden files,
// and the command-line errors.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "support/program.h"

namespace zorvik {
namespace {

using testing_support::copy_case;
using testing_support::expect_golden;
using testing_support::mask_clock;
using testing_support::read_text;
using testing_support::run_program;
using testing_support::ScratchDir;

struct Row {
  double mean = 0, sd = 0, tau = 0, ess = 0;
};

std::map<std::string, Row> chainstat(const std::string& path) {
  std::map<std::string, Row> rows;
  std::istringstream in(read_text(path));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream w(line);
    int i;
    std::string name;
    Row r;
    double q;
    w >> i >> name >> r.mean >> r.sd >> q >> q >> q >> q >> q >> r.tau >> r.ess;
    rows[name] = r;
  }
  return rows;
}

// y = a + b·x with Gaussian errors σ and flat priors: the posterior is Gaussian
// about the least-squares values with covariance σ²(XᵀX)⁻¹.
TEST(WholeChain, StraightLineMeanAndSdAgreeWithLeastSquares) {
  ScratchDir dir;
  copy_case("linear");
  double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0, sigma = 0;
  std::istringstream data(read_text("line.dat"));
  std::string header;
  std::getline(data, header);
  for (double x, y; data >> x >> y >> sigma; ++n) sx += x, sy += y, sxx += x * x, sxy += x * y;
  const double det = n * sxx - sx * sx;
  const double b = (n * sxy - sx * sy) / det, a = (sy - b * sx) / n;
  const double sd_a = sigma * std::sqrt(sxx / det), sd_b = sigma * std::sqrt(n / det);

  const testing_support::Outcome o = run_program("--burn 0.2 line.par", "");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("Whole chain: 800000 steps after a burn-in of 200000"), std::string::npos);
  const auto rows = chainstat("chainstat.dat");
  const struct {
    const char* name;
    double mean, sd;
  } expected[] = {{"a", a, sd_a}, {"b", b, sd_b}};
  for (const auto& e : expected) {
    const Row r = rows.at(e.name);
    // Monte-Carlo error of the mean sd/√ess; four of them.
    EXPECT_NEAR(r.mean, e.mean, 4 * e.sd / std::sqrt(r.ess)) << e.name;
    EXPECT_NEAR(r.sd / e.sd, 1.0, 0.03) << e.name << " sd " << r.sd << " vs " << e.sd << ", ess " << r.ess;
    EXPECT_GT(r.ess, 5000) << e.name;  // enough for the 3 % of the sd to be a 4-sigma bound
  }
}

// Two seeds of the short case, the same seed twice, and the two combined.
TEST(WholeChain, SeededRunsAndTheirCombinationMatchTheGoldenFiles) {
  ScratchDir dir;
  for (const char* d : {"s1", "s2", "again"}) {
    ASSERT_EQ(std::system(("mkdir " + std::string(d)).c_str()), 0);
    ASSERT_EQ(chdir(d), 0);
    copy_case("short_batch");
    const std::string seed = std::string(d) == "s2" ? "2" : "1";
    const testing_support::Outcome o = run_program("--seed " + seed + " short.par", "");
    EXPECT_EQ(o.status, 0) << o.err;
    if (seed == "1") expect_golden("tests/e2e/golden/whole_chain/seed1_console.txt", mask_clock(o.out));
    ASSERT_EQ(chdir(".."), 0);
  }
  EXPECT_EQ(read_text("s1/chain.dat"), read_text("again/chain.dat"));
  EXPECT_NE(read_text("s1/chain.dat"), read_text("s2/chain.dat"));
  expect_golden("tests/e2e/golden/whole_chain/seed1_chainstat.dat", read_text("s1/chainstat.dat"));

  const testing_support::Outcome o = run_program("--burn 0.1 --combine s1 s2/chain.dat", "");
  EXPECT_EQ(o.status, 0) << o.err;
  expect_golden("tests/e2e/golden/whole_chain/combined_console.txt", o.out);
  expect_golden("tests/e2e/golden/whole_chain/combined_chainstat.dat", read_text("chainstat.dat"));
}

TEST(WholeChain, BadOptionsStopWithAMessage) {
  ScratchDir dir;
  copy_case("short_batch");
  const struct {
    const char* args;
    const char* message;
  } cases[] = {
      {"--seed 0 short.par", "--seed needs an integer from 1 to 2147483647, found \"0\""},
      {"--seed 12x short.par", "found \"12x\""},
      {"--burn 1 short.par", "--burn needs a fraction F with 0 <= F < 1, found \"1\""},
      {"--seed", "found \"\""},
      {"--combine", "--combine needs at least one folder"},
      {"--combine .", "Input error in file \"./chain.dat\": no chain.dat here"},
  };
  for (const auto& c : cases) {
    const testing_support::Outcome o = run_program(c.args, "");
    EXPECT_EQ(o.status, 1) << c.args;
    EXPECT_NE(o.err.find(c.message), std::string::npos) << c.args << ": " << o.err;
    EXPECT_EQ(o.out, "") << c.args;
  }
}

}  // namespace
}  // namespace zorvik
