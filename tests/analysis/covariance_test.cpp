// The covariance matrix printed from the chain file, against the covariance of
// the same samples summed here, and its layout against records worked out by hand.
#include "analysis/covariance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/free_format.h"
#include "core/record_format.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::lines_of;
using testing_support::ScratchDir;
using testing_support::write_text;
using Lines = std::vector<std::string>;

// Three parameters of which p1 and p3 are fitted (p2 is fixed and must not appear).
struct CovarFixture {
  ScratchDir dir;
  std::unique_ptr<Run> run = std::make_unique<Run>();
  std::istringstream in;
  std::ostringstream out;
  Console con{in, out};

  CovarFixture() {
    run->settings.npar = 3;
    run->settings.nfunc = 1;
    run->params.nfit = 2;
    run->params.parfit(1) = 1;
    run->params.parfit(2) = 3;
  }
  Lines console() const { return lines_of(out.str()); }
};

constexpr const char* kHeader = "#step chi       p1        p2        p3\n";

// Entry b (0-based) of a printed row: es16.5 fields after the row number's five columns.
double entry(const std::string& row, int b) { return std::stod(row.substr(5 + 16 * b, 16)); }

TEST(Covar, MatchesTheCovarianceOfTheChainAboutTheMeansGiven) {
  CovarFixture f;
  // Correlated Gaussian samples: p3 moves against p1 (correlation −0.8).
  std::mt19937 gen(271828);
  std::normal_distribution<double> z;
  std::ostringstream chain;
  chain << kHeader;
  std::vector<double> p1s, p3s;
  for (int k = 1; k <= 5000; ++k) {
    const double z1 = z(gen), z2 = z(gen);
    p1s.push_back(1.0 + 0.5 * z1);
    p3s.push_back(-2.0 - 0.3 * (0.8 * z1 + 0.6 * z2));
    // Every digit kept, so that the routine reads the samples summed below.
    write_free(chain, k, 10.0, p1s.back(), 7.0, p3s.back(), 10.0);
  }
  write_text("MMchain.dat", chain.str());
  // The means about which the deviations are taken need not be the sample means.
  f.run->dist.pmed(1) = 1.01;
  f.run->dist.pmed(2) = 99.0;
  f.run->dist.pmed(3) = -2.02;
  covar(*f.run, f.con);

  double c11 = 0.0, c13 = 0.0, c33 = 0.0;
  for (size_t k = 0; k < p1s.size(); ++k) {
    c11 += (p1s[k] - 1.01) * (p1s[k] - 1.01);
    c13 += (p1s[k] - 1.01) * (p3s[k] + 2.02);
    c33 += (p3s[k] + 2.02) * (p3s[k] + 2.02);
  }
  const double n = static_cast<double>(p1s.size());
  const double expected[2][2] = {{std::sqrt(c11 / n), -std::sqrt(-c13 / n)},
                                 {-std::sqrt(-c13 / n), std::sqrt(c33 / n)}};
  ASSERT_LT(c13, 0.0);

  const Lines l = f.console();
  ASSERT_EQ(l.size(), 6u);
  EXPECT_EQ(l[0], " Writing sqrt(COVARij)");
  EXPECT_EQ(l[1], " COVARij=(PARi-Pmedi)*(PARj-Pmedj)");
  EXPECT_EQ(l[2], "");
  EXPECT_EQ(l[3], "               1               3");
  EXPECT_EQ(l[4].substr(0, 5), "    1");
  EXPECT_EQ(l[5].substr(0, 5), "    3");
  // es16.5 keeps six significant digits: half a unit of the sixth is at most
  // 5e-6 of the value (mantissa ≥ 1); the sums above differ from the routine's
  // only in the last bits, covered by the margin to 5.1e-6.
  constexpr double kPrintedDigitsTol = 5.1e-6;
  for (int a = 0; a < 2; ++a) {
    ASSERT_EQ(l[4 + a].size(), 5u + 2u * 16u) << l[4 + a];
    for (int b = 0; b < 2; ++b) {
      const double e = expected[a][b];
      EXPECT_NEAR(entry(l[4 + a], b), e, kPrintedDigitsTol * std::abs(e)) << "row " << a << " column " << b;
    }
  }
}

}  // namespace
}  // namespace zorvik
