// The evidence by thermodynamic integration (--evidence) against independent
// values: a straight line with Gaussian errors, whose evidence under a uniform
// prior is analytic, and Gaussian peaks fitted with two and three lines, against
// importance sampling (bench/evidence/importance_sampling.py; its numbers are in
// tests/e2e/evidence/reference.txt).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "support/program.h"

namespace zorvik {
namespace {

using testing_support::copy_case;
using testing_support::lines_of;
using testing_support::read_text;
using testing_support::run_program;
using testing_support::ScratchDir;
using testing_support::source_path;

struct Evidence {
  double value = NAN, error = NAN;
};

// Runs --evidence on `par` in the current folder; the last console line and the
// last line of evidence.dat must be the same evidence line.
Evidence run_evidence(const std::string& par) {
  const testing_support::Outcome o = run_program("--evidence " + par, "");
  EXPECT_EQ(o.status, 0) << o.err;
  const std::vector<std::string> console = lines_of(o.out), file = lines_of(read_text("evidence.dat"));
  if (console.empty() || file.empty()) return {};
  EXPECT_EQ(console.back(), file.back());
  std::smatch m;
  static const std::regex line(R"(^log\(evidence\) by thermodynamic integration: (-?[0-9.]+) \+- ([0-9.]+)$)");
  if (!std::regex_match(file.back(), m, line)) {
    ADD_FAILURE() << "no evidence line: " << file.back();
    return {};
  }
  return {std::stod(m[1]), std::stod(m[2])};
}

// The analytic evidence of y = a0 + a1·x with Gaussian errors and a prior uniform
// in the box [−50, 50] × [−5, 5]: ln L_max + ln 2π + ½ ln det Σ − ln V, Σ the
// covariance (AᵀWA)⁻¹ of weighted least squares. The posterior is far inside the
// box (widths 0.3 and 0.01), so the truncation is below 1e-100.
double line_evidence(const std::string& data) {
  std::istringstream in(read_text(data));
  std::string header;
  std::getline(in, header);
  double s0 = 0, s1 = 0, s2 = 0, t0 = 0, t1 = 0, yy = 0;
  for (double x, y, s; in >> x >> y >> s;) {
    const double w = 1.0 / (s * s);
    s0 += w, s1 += w * x, s2 += w * x * x, t0 += w * y, t1 += w * x * y, yy += w * y * y;
  }
  const double det = s0 * s2 - s1 * s1;
  const double a0 = (s2 * t0 - s1 * t1) / det, a1 = (s0 * t1 - s1 * t0) / det;
  const double chimin = yy - a0 * t0 - a1 * t1;
  return -0.5 * chimin + std::log(2.0 * M_PI) - 0.5 * std::log(det) - std::log(100.0 * 10.0);
}

// "<data> <lines> <ln Z>" rows of the importance-sampling reference.
double reference(const std::string& data, int lines) {
  std::istringstream in(read_text(source_path("tests/e2e/evidence/reference.txt")));
  for (std::string l; std::getline(in, l);) {
    std::istringstream row(l);
    std::string name;
    int n = 0;
    double lnz = 0;
    if (row >> name >> n >> lnz && name == data && n == lines) return lnz;
  }
  ADD_FAILURE() << "no reference for " << data << " " << lines;
  return NAN;
}

TEST(Evidence, StraightLineMatchesTheAnalyticEvidence) {
  ScratchDir dir;
  copy_case("evidence");
  const Evidence e = run_evidence("line.par");
  const double exact = line_evidence("line.dat");
  // 0.1 nats: the accuracy asked of the method; twice the printed error: the
  // printed error is an honest one.
  EXPECT_NEAR(e.value, exact, 0.1) << "printed error " << e.error;
  EXPECT_NEAR(e.value, exact, 2.0 * e.error);

  // One row per rung, β_k = (k/32)^5, the steps adding up to ncycles.
  std::istringstream rows(read_text("evidence.dat"));
  int k = 0;
  long long steps = 0;
  for (std::string l; std::getline(rows, l);) {
    if (l[0] == '#' || l[0] == 'l') continue;
    std::istringstream r(l);
    double beta, mean, se, acc;
    int n;
    ASSERT_TRUE(r >> beta >> mean >> se >> n >> acc) << l;
    EXPECT_NEAR(beta, std::pow(k / 32.0, 5.0), 1e-10) << l;
    steps += n, ++k;
  }
  EXPECT_EQ(k, 33);
  EXPECT_EQ(steps, 3300000);
}

TEST(Evidence, PeaksPreferTheNumberOfLinesTheDataWereMadeWith) {
  ScratchDir dir;
  copy_case("evidence");
  // Made with three lines (the third weak): three win by the margin importance
  // sampling gives, within 0.3 nats.
  const double three = run_evidence("p3d3.par").value, two = run_evidence("p2d3.par").value;
  EXPECT_NEAR(three - two, reference("peaks3.dat", 3) - reference("peaks3.dat", 2), 0.3)
      << "three lines " << three << ", two lines " << two;
  // Made with two: the third line's parameters cost more than they gain.
  EXPECT_GT(run_evidence("p2d2.par").value, run_evidence("p3d2.par").value);
}

// Runs that give no proper evidence are refused before any step, naming why.
TEST(Evidence, RefusesProposalsAndLimitsWithoutAStatedPrior) {
  const struct {
    const char *from, *to, *message;
  } cases[] = {
      {"  1  a0         n ", "  1  a0         p ", "Parameter 1 (a0) has the step kind p"},
      {"   0    1     4.0", "   2    1     4.0", "The evidence needs varpar 0"},
      {"  2  a1         n   5.0000000E-01  1.0000E-02  -5.0000E+00",
       "  2  a1         l   5.0000000E-01  1.0000E-02  -5.0000E+00", "needs a positive minimum"},
      {" 3300000 ", "    3000 ", "The evidence needs at least 13200 cycles"},
  };
  for (const auto& c : cases) {
    ScratchDir dir;
    copy_case("evidence");
    std::string par = read_text("line.par");
    const size_t at = par.find(c.from);
    ASSERT_NE(at, std::string::npos) << c.from;
    par.replace(at, std::string(c.from).size(), c.to);
    testing_support::write_text("line.par", par);
    const testing_support::Outcome o = run_program("--evidence line.par", "");
    EXPECT_NE(o.status, 0) << c.to;
    EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
    EXPECT_FALSE(std::ifstream("evidence.dat").good()) << c.to;
  }
}

}  // namespace
}  // namespace zorvik
