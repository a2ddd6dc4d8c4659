// The adaptive Metropolis mode (varpar 3) on a posterior known analytically: a
// straight line y = a + b·x with Gaussian noise of known sigma and flat priors
// far wider than the posterior. The posterior of (a, b) is then Gaussian with
// the least-squares mean and covariance (XᵀX)⁻¹σ². The intercept moves in its
// logarithm (kind "al"), so the test also holds the Hastings factor of that
// change of variable: without it the chain would sample π(a)/a, whose mean
// lies some 0.17 standard deviations lower here.
#include "sampler/adaptive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <numeric>
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

TEST(AdaptiveMetropolis, SamplesTheAnalyticStraightLinePosterior) {
  ScratchDir dir;
  constexpr int kPoints = 40;
  constexpr double kSigma = 1.0;
  constexpr int kCycles = 200000;
  // y = 2 + 0.5·x at x = 1 … 40 with Gaussian noise; least squares gives the
  // posterior mean, σ²(XᵀX)⁻¹ its covariance.
  std::mt19937 rng(20261207);
  std::normal_distribution<double> noise(0.0, kSigma);
  std::ostringstream data;
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (int k = 1; k <= kPoints; ++k) {
    const double x = k, y = 2.0 + 0.5 * x + noise(rng);
    data << x << " " << y << "\n";
    sx += x, sy += y, sxx += x * x, sxy += x * y;
  }
  write_text("line.dat", data.str());
  const double det = kPoints * sxx - sx * sx, b = (kPoints * sxy - sx * sy) / det, a = (sy - b * sx) / kPoints;
  const double sd_a = kSigma * std::sqrt(sxx / det), sd_b = kSigma * std::sqrt(kPoints / det);
  const double corr = -sx / std::sqrt(kPoints * sxx);
  ASSERT_GT(a, 5 * sd_a);  // far from 0 and from the lower limit, as its log scale needs

  // Start steps ten times too small and the start a standard deviation off:
  // the burn-in must find the scale and the correlation by itself.
  std::ostringstream par;
  par << "line 0 0 1\nnomin\nline.dat n 0 fit.dat 0.0 100.0 100\nout.dat chi.dat\n1.0\n" << kSigma << "\n10\n"
      << kCycles << " 20000\n3 2 20.0 1.0 0.0\n0\n1 1.0 1.0 1.0\n0.4\n"
      << "1 a al " << a + sd_a << " " << 0.1 * sd_a << " 0.01 50.0\n2 b a " << b << " " << 0.1 * sd_b
      << " -2.0 2.0\n";
  for (int k = 3; k <= 10; ++k) par << k << " p" << k << " n 0.0 0.0 -1.0 1.0\n";
  par << "0\n0\n0\n";
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

  // The states after the burn-in, from the chain file.
  std::vector<double> va, vb;
  std::ifstream chain("MMchain.dat");
  chain.ignore(1 << 20, '\n');
  for (double step, chi, pa, pb; chain >> step >> chi >> pa >> pb; chain.ignore(1 << 20, '\n'))
    if (step > kCycles / 5) va.push_back(pa), vb.push_back(pb);
  ASSERT_EQ(va.size(), size_t{kCycles - kCycles / 5});
  const double n = static_cast<double>(va.size());
  const double ma = std::accumulate(va.begin(), va.end(), 0.0) / n, mb = std::accumulate(vb.begin(), vb.end(), 0.0) / n;
  double saa = 0, sbb = 0, sab = 0;
  for (size_t k = 0; k < va.size(); ++k)
    saa += (va[k] - ma) * (va[k] - ma), sbb += (vb[k] - mb) * (vb[k] - mb), sab += (va[k] - ma) * (vb[k] - mb);
  const double chain_sd_a = std::sqrt(saa / (n - 1)), chain_sd_b = std::sqrt(sbb / (n - 1));
  // 160 000 states with an autocorrelation time of about ten steps: some 16 000
  // independent ones. The Monte-Carlo error of a mean is then 0.008 sd and of a
  // standard deviation 0.6 %: the bounds below are five of those errors.
  EXPECT_NEAR(ma, a, 0.04 * sd_a) << "intercept";
  EXPECT_NEAR(mb, b, 0.04 * sd_b) << "slope";
  EXPECT_NEAR(chain_sd_a, sd_a, 0.03 * sd_a) << "intercept";
  EXPECT_NEAR(chain_sd_b, sd_b, 0.03 * sd_b) << "slope";
  EXPECT_NEAR(sab / (n - 1) / (chain_sd_a * chain_sd_b), corr, 0.01);

  // The frozen proposal: 2.38²/d times the posterior covariance of the
  // coordinates (ln a, b), learned in the burn-in from some 4 000 independent
  // states (a few per cent), so within 15 %, with the correlation of (a, b).
  const auto& am = dynamic_cast<const AdaptiveMetropolis&>(*loop.proposal);
  ASSERT_EQ(am.d, 2);
  EXPECT_TRUE(am.frozen);
  const double sd2 = 2.38 * 2.38 / 2;
  EXPECT_NEAR(am.covariance(1, 1), sd2 * sd_b * sd_b, 0.15 * sd2 * sd_b * sd_b);
  EXPECT_NEAR(am.covariance(0, 0), sd2 * (sd_a / a) * (sd_a / a), 0.15 * sd2 * (sd_a / a) * (sd_a / a));
  EXPECT_NEAR(am.covariance(0, 1) / std::sqrt(am.covariance(0, 0) * am.covariance(1, 1)), corr, 0.05);
}

}  // namespace
}  // namespace zorvik
