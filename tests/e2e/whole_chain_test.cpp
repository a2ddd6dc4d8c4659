// Whole-chain statistics of real runs: a straight line whose posterior is known
// in closed form, the --seed runs and --combine against reviewed golden files,
// and the command-line errors.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <regex>
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
using testing_support::write_text;

// mean, sd and ess of the row of `name` in chainstat.dat.
std::vector<double> chainstat_row(const std::string& name) {
  std::istringstream in(read_text("chainstat.dat"));
  for (std::string line; std::getline(in, line);) {
    std::istringstream w(line);
    std::string i, n;
    std::vector<double> v(9);
    if (w >> i >> n && n == name && w >> v[0] >> v[1] >> v[2] >> v[3] >> v[4] >> v[5] >> v[6] >> v[7] >> v[8])
      return {v[0], v[1], v[8]};
  }
  return {0, 0, 0};
}

// y = a + b·x with Gaussian errors σ and flat priors: the posterior is Gaussian
// about the least-squares values with covariance σ²(XᵀX)⁻¹.
TEST(WholeChain, StraightLineAgreesWithLeastSquares) {
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
  const struct {
    const char* name;
    double mean, sd;
  } expected[] = {{"a", a, sd_a}, {"b", b, sd_b}};
  for (const auto& e : expected) {
    const std::vector<double> r = chainstat_row(e.name);  // mean, sd, ess
    // Monte-Carlo error of the mean sd/√ess; four of them. With ess > 5000 the
    // sd is known to 1/√(2·ess) < 1 %, so 3 % is a bound of more than 3 sigma.
    EXPECT_NEAR(r[0], e.mean, 4 * e.sd / std::sqrt(r[2])) << e.name;
    EXPECT_NEAR(r[1] / e.sd, 1.0, 0.03) << e.name << " sd " << r[1] << " vs " << e.sd << ", ess " << r[2];
    EXPECT_GT(r[2], 5000) << e.name;
  }
  // The report's band: at three x the 16 and 84 % points of the model curve over
  // the drawn states are the mean line a + b·x ± its sd (the independent draws'
  // quantile has the standard error √(p(1−p)/M)/φ(z_p) = 0.095 sd for M = 250;
  // four of them).
  const std::vector<std::string> rows = testing_support::lines_of(read_text("report/set1.dat"));
  ASSERT_EQ(rows.size(), 41u);
  for (const size_t k : {1, 20, 40}) {
    const std::vector<double> v = testing_support::numbers_of(rows[k]);  // x y sigma best q025 q16 q50 q84 q975
    const double x = v[0], sd = sigma * std::sqrt((sxx - 2 * x * sx + n * x * x) / det);
    EXPECT_NEAR(v[5], a + b * x - sd, 4 * 0.095 * sd) << "x " << x;
    EXPECT_NEAR(v[7], a + b * x + sd, 4 * 0.095 * sd) << "x " << x;
  }
}

// Two seeds of the short case, the same seed twice, and the two combined.
TEST(WholeChain, SeededRunsCombineAsTheGoldenFiles) {
  ScratchDir dir;
  for (const char* d : {"s1", "s2", "again"}) {
    ASSERT_EQ(std::system(("mkdir " + std::string(d)).c_str()), 0);
    ASSERT_EQ(chdir(d), 0);
    copy_case("short_batch");
    const std::string seed = std::string(d) == "s2" ? "2" : "1";
    // Options may follow the file, and take their value after "=".
    const std::string args = seed == "2" ? "short.par --seed=2" : "--seed " + seed + " short.par";
    const testing_support::Outcome o = run_program(args, "");
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

  // Copies, and files not whole, are refused with the file and the line. The
  // 3000 states of s2 are on lines 4 ... 3003; x.dat is s2's file edited.
  const struct {
    const char *from, *to, *args, *message;
  } refused[] = {
      {"", "", "s1 ./s1/", "\"./s1//chain.dat\": is the same file as s1/chain.dat, named twice"},
      {"", "", "s1 again", "\"again/chain.dat\": comes from the same parameter file (short.par) and seed (1) as s1/chain.dat"},
      {"seed 2", "seed 7", "s2 x.dat", "\"x.dat\": holds the same states as s2/chain.dat"},
      {"\n(1000 [^ ]*) [^ ]*", "\n$1 nan", "x.dat", "\"x.dat\", line 1003: expected finite numbers, found NaN for bg0"},
      {"\n1000 [^\n]*", "", "x.dat", "line 1003: expected the state after step 1000 (the states are 1 steps apart), found step 1001"},
      {"\n2990 (.|\n)*", "\n", "x.dat", "line 2992: the states end at step 2989 but the header says the run made 3000 steps"},
  };
  for (const auto& r : refused) {
    write_text("x.dat", std::regex_replace(read_text("s2/chain.dat"), std::regex(r.from), r.to));
    const testing_support::Outcome bad = run_program(std::string("--combine ") + r.args, "");
    EXPECT_EQ(bad.status, 1) << r.args;
    EXPECT_NE(bad.err.find(r.message), std::string::npos) << r.args << ": " << bad.err;
  }
  // A shorter s2: s1 is cut after its burn-in to s2's length, said, and not burn-in (300 + 200).
  ASSERT_EQ(chdir("s2"), 0);
  write_text("short.par", std::regex_replace(read_text("short.par"), std::regex("3000 +1000"), "2000 1000"));
  ASSERT_EQ(run_program("--seed 2 short.par", "").status, 0);
  ASSERT_EQ(chdir(".."), 0);
  const testing_support::Outcome cut = run_program("--burn 0.1 --combine s1 s2", "");
  EXPECT_NE(cut.out.find("Pooled chains: 2 chains, 3600 steps after a burn-in of 500 (thinning 1)"), std::string::npos);
  EXPECT_NE(cut.out.find("cut to the 1800 steps after the burn-in of the shortest; steps dropped after the burn-in: "
                         "s1/chain.dat by 900\n"), std::string::npos) << cut.out;
  EXPECT_NE(read_text("chainstat.dat").find("burn_in 500 thinning 1 shortened 900\n"), std::string::npos);
}

// A command line that means nothing stops before anything is printed, with the
// usage lines and status 2; a folder without a chain is an input error, and so
// is a chain of chisq alone (a run without free parameters), said as such.
TEST(WholeChain, BadOptionsStopWithAMessage) {
  ScratchDir dir;
  copy_case("short_batch");
  const struct { const char* args; int status; const char* message; } cases[] = {
      {"-s 5 short.par", 2, "Command line: unknown option \"-s\""},
      {"--combine", 2, "Command line: --combine needs at least one folder"},
      {"--seed 5 --combine .", 2, "Command line: --seed cannot be used with --combine"},
      {"--combine .", 1, "Input error in file \"./chain.dat\": no chain.dat here"},
  };
  for (const auto& c : cases) {
    const testing_support::Outcome o = run_program(c.args, "");
    EXPECT_EQ(o.status, c.status) << c.args;
    EXPECT_NE(o.err.find(c.message), std::string::npos) << c.args << ": " << o.err;
    EXPECT_EQ(o.err.find("\nUsage: zorvik [--seed N]") != std::string::npos, c.status == 2) << c.args << ": " << o.err;
    EXPECT_EQ(o.out, "") << c.args;
  }
  // Every step (the column after the seven-decimal start value) set to 0.
  const std::regex step(R"((\.[0-9]{7}E[-+][0-9]{2})  [0-9.]{6}E[-+][0-9]{2})");
  testing_support::write_text("short.par", std::regex_replace(read_text("short.par"), step, "$1  0.0000E+00"));
  ASSERT_EQ(run_program("--seed 1 short.par", "").status, 0);
  const testing_support::Outcome o = run_program("--combine .", "");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("file \"./chain.dat\", line 3: its run has no free parameter"), std::string::npos) << o.err;
}

}  // namespace
}  // namespace zorvik
