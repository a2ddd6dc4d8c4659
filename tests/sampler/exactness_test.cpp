// Every proposal on posteriors whose moments are known by construction.
//
// A straight line y = a + b·x (x = 1 … 40, Gaussian noise of σ = 1) with flat
// priors: the posterior of (a, b) is the bivariate Gaussian of least squares,
// correlation −0.87. The intercept is cut at a ≥ c, half a standard deviation
// below its mean: a's marginal is then a normal truncated at c and b given a
// stays Gaussian (the truncated-normal moments: N. L. Johnson, S. Kotz and
// N. Balakrishnan, Continuous Univariate Distributions, vol. 1, 2nd ed., Wiley
// 1994, sec. 10.1). A mirror of one coordinate of a correlated step shifts
// a's mean by some 0.02 sd here; refusal gives it exactly.
// Two more parameters no model reads: their posterior is their prior over two
// decades, [0.1, 10], uniform in v for the additive kinds (mean 5.05) and
// uniform in ln v for kind l (mean 9.9/ln 100).
// The check: each mean and sd within 4 Monte-Carlo standard errors, the errors
// by 20 batch means of the kept states (independent of the program's own
// autocorrelation estimate).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "models/workspace.h"
#include "output/result_files.h"
#include "sampler/run_loop.h"
#include "setup/data_file.h"
#include "setup/param_file.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::ScratchDir;
using testing_support::write_text;

constexpr int kPoints = 40;
constexpr int kBatches = 20;

// Mean and variance with their standard errors from batch means.
struct Moments {
  double mean, mean_se, var, var_se;
};

Moments moments(const std::vector<double>& x, double centre) {
  const size_t b = x.size() / kBatches;
  double m[kBatches], v[kBatches], sm = 0, sv = 0;
  for (int k = 0; k < kBatches; ++k) {
    m[k] = v[k] = 0;
    for (size_t t = 0; t < b; ++t) {
      const double y = x[k * b + t];
      m[k] += y / b;
      v[k] += (y - centre) * (y - centre) / b;
    }
    sm += m[k] / kBatches, sv += v[k] / kBatches;
  }
  double em = 0, ev = 0;
  for (int k = 0; k < kBatches; ++k) em += (m[k] - sm) * (m[k] - sm), ev += (v[k] - sv) * (v[k] - sv);
  return {sm, std::sqrt(em / (kBatches - 1) / kBatches), sv, std::sqrt(ev / (kBatches - 1) / kBatches)};
}

struct Line {
  double mu_a, mu_b, sd_a, sd_b, rho;
};

// The data, written to line.dat, and the least-squares posterior.
Line write_line_data() {
  std::mt19937 rng(20261207);
  std::normal_distribution<double> noise(0.0, 1.0);
  std::ostringstream data;
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (int k = 1; k <= kPoints; ++k) {
    const double x = k, y = 2.0 + 0.5 * x + noise(rng);
    data << x << " " << y << "\n";
    sx += x, sy += y, sxx += x * x, sxy += x * y;
  }
  write_text("line.dat", data.str());
  const double det = kPoints * sxx - sx * sx, b = (kPoints * sxy - sx * sy) / det;
  return {(sy - b * sx) / kPoints, b, std::sqrt(sxx / det), std::sqrt(kPoints / det), -sx / std::sqrt(kPoints * sxx)};
}

struct Case {
  int varpar;
  const char* kind_a;  // the cut intercept
  const char* kind_v;  // the flat parameter uniform in v
  double step_scale;   // start steps, in units of the posterior's sd
  int cycles;
};

class Exactness : public ::testing::TestWithParam<Case> {};

TEST_P(Exactness, MomentsOfACutCorrelatedLineAndOfFlatPriorsOverTwoDecades) {
  const Case c = GetParam();
  ScratchDir dir;
  const Line L = write_line_data();
  const double cut = L.mu_a - 0.5 * L.sd_a;
  std::ostringstream par;
  par << "line 0 0 1\nnomin\nline.dat n 0 fit.dat 0.0 100.0 100\nout.dat chi.dat\n1.0\n1.0\n12\n"
      << c.cycles << " 10000\n" << c.varpar << " 0 1.0 1.0 0.0\n0\n1 1.0 1.0 1.0\n0.4\n"
      << "1 a " << c.kind_a << " " << L.mu_a << " " << c.step_scale * L.sd_a << " " << cut << " 50.0\n"
      << "2 b n " << L.mu_b << " " << c.step_scale * L.sd_b << " -2.0 2.0\n";
  for (int k = 3; k <= 10; ++k) par << k << " p" << k << " n 0.0 0.0 -1.0 1.0\n";
  par << "11 v " << c.kind_v << " 1.0 3.0 0.1 10.0\n12 w l 1.0 0.5 0.1 10.0\n0\n0\n0\n";
  write_text("line.par", par.str());

  testing_support::Screen screen;
  auto run = std::make_unique<zorvik::Run>();
  auto ws = std::make_unique<ModelWorkspace>();
  run->settings.parfile = "line.par";
  ASSERT_EQ(parread(*run, screen.con), ReadOutcome::Done);
  ASSERT_EQ(dataread(run->settings, run->data, screen.con), ReadOutcome::Done);
  RunLoop loop(screen.con);
  ResultFiles files;
  run_chain(*run, *ws, loop, files, screen.con);

  // The kept states after the burn-in (at least the warm-up): columns 1 … 4 are
  // a, b, v, w (the free parameters in file order).
  const ChainRecorder& rec = loop.recorder;
  const long long first = static_cast<long long>(run->settings.burn_fraction * static_cast<double>(rec.steps())) / rec.thin();
  std::vector<double> col[4];
  for (long long k = first; k < rec.kept(); ++k)
    for (int j = 0; j < 4; ++j) col[j].push_back(rec.value(k, j + 1));

  // Truncated normal: α = (c − μ)/σ, λ = φ(α)/(1 − Φ(α)); E a = μ + σλ,
  // Var a = σ²(1 + αλ − λ²); b | a Gaussian with slope ρσ_b/σ_a.
  const double alpha = (cut - L.mu_a) / L.sd_a;
  const double lambda = std::exp(-0.5 * alpha * alpha) / std::sqrt(2 * M_PI) / (0.5 * std::erfc(alpha / std::sqrt(2.0)));
  const double mean_a = L.mu_a + L.sd_a * lambda, var_a = L.sd_a * L.sd_a * (1 + alpha * lambda - lambda * lambda);
  const double slope = L.rho * L.sd_b / L.sd_a;
  const double mean_b = L.mu_b + slope * (mean_a - L.mu_a);
  const double var_b = L.sd_b * L.sd_b * (1 - L.rho * L.rho) + slope * slope * var_a;
  const double ln100 = std::log(100.0);
  const double mean_w = 9.9 / ln100, var_w = (100.0 - 0.01) / (2 * ln100) - mean_w * mean_w;
  const struct {
    const char* name;
    double mean, var;
  } exact[4] = {{"a", mean_a, var_a}, {"b", mean_b, var_b}, {"v", 5.05, 9.9 * 9.9 / 12}, {"w", mean_w, var_w}};
  for (int j = 0; j < 4; ++j) {
    const Moments m = moments(col[j], exact[j].mean);
    EXPECT_NEAR(m.mean, exact[j].mean, 4 * m.mean_se) << "varpar " << c.varpar << ", mean of " << exact[j].name;
    EXPECT_NEAR(m.var, exact[j].var, 4 * m.var_se) << "varpar " << c.varpar << ", variance of " << exact[j].name;
  }
}

// One-parameter steps need some twenty times as many steps per independent
// state on the correlated pair as the proposals that move everything at once.
INSTANTIATE_TEST_SUITE_P(EveryProposal, Exactness,
                         ::testing::Values(Case{0, "n", "n", 1.0, 600000}, Case{1, "n", "n", 0.3, 600000},
                                           Case{3, "al", "al", 0.1, 200000}, Case{4, "al", "al", 1.0, 200000}),
                         [](const auto& info) { return "varpar" + std::to_string(info.param.varpar); });


// The shipped peaks example at T = 10⁶, where nearly every step is accepted and
// the adaptive scale is driven up: no value ever leaves its limits and nothing
// written is not finite. One parameter has equal limits: it stays fixed in
// every mode.
class HighTemperature : public ::testing::TestWithParam<int> {};

TEST_P(HighTemperature, NoValueLeavesItsLimitsAndEqualLimitsFix) {
  const int varpar = GetParam();
  ScratchDir dir;
  write_text("lines.dat", testing_support::read_text(testing_support::source_path("examples/peaks/lines.dat")));
  std::vector<std::string> lines =
      testing_support::lines_of(testing_support::read_text(testing_support::source_path("examples/peaks/peaks.par")));
  lines[4] = "1.0e6 !Temperature";
  lines[7] = "20000 5000 !Ciclos";
  lines[8] = std::to_string(varpar) + " 1 4.0 1.0 0.0 !varpar";
  lines[14] = "  3  bg2        a  -1.9000000E-03  7.0000E-04  -1.9000E-03  -1.9000E-03";
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  write_text("peaks.par", text);

  testing_support::Screen screen;
  auto run = std::make_unique<zorvik::Run>();
  auto ws = std::make_unique<ModelWorkspace>();
  run->settings.parfile = "peaks.par";
  ASSERT_EQ(parread(*run, screen.con), ReadOutcome::Done);
  ASSERT_EQ(dataread(run->settings, run->data, screen.con), ReadOutcome::Done);
  RunLoop loop(screen.con);
  ResultFiles files;
  run_chain(*run, *ws, loop, files, screen.con);

  EXPECT_EQ(run->params.par(3), -1.9e-3) << "the parameter with equal limits moved";
  if (varpar < 3) return;  // the parameter file's own modes mirror, and warn, as they always did
  const ChainRecorder& rec = loop.recorder;
  for (long long k = 0; k < rec.kept(); ++k)
    for (int j = 1; j <= rec.nfit(); ++j) {
      const int i = rec.parameter(j);
      const double v = rec.value(k, j);
      ASSERT_TRUE(std::isfinite(v) && v >= run->params.parmin(i) && v <= run->params.parmax(i))
          << "parameter " << i << " = " << v << " in state " << k;
    }
  EXPECT_EQ(screen.out.str().find("DANGER"), std::string::npos);
  const std::string written = testing_support::read_text("peaks.par");
  EXPECT_EQ(written.find("NaN"), std::string::npos) << written;
  EXPECT_EQ(written.find("Inf"), std::string::npos) << written;
}

INSTANTIATE_TEST_SUITE_P(EveryProposal, HighTemperature, ::testing::Values(0, 1, 3, 4),
                         [](const auto& info) { return "varpar" + std::to_string(info.param); });

}  // namespace
}  // namespace zorvik
