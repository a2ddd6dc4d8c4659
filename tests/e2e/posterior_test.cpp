// A batch fit whose posterior is known analytically: a straight line with
// Gaussian noise of known sigma, flat priors far wider than the posterior. The
// posterior of (intercept, slope) is then Gaussian with the least-squares mean
// and covariance (XᵀX)⁻¹σ², and the chain's distributions must recover both.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>

#include "analysis/end_of_run.h"
#include "models/workspace.h"
#include "output/result_files.h"
#include "sampler/run_loop.h"
#include "setup/data_file.h"
#include "setup/param_file.h"
#include "support/scratch.h"
#include "support/straight_line.h"

namespace zorvik {
namespace {

using testing_support::ScratchDir;
using testing_support::write_text;

TEST(Posterior, StraightLineFitRecoversTheAnalyticMeanAndOneSigmaLimits) {
  ScratchDir dir;
  constexpr int kPoints = 40;
  constexpr double kSigma = 1.0;
  // Least squares: the posterior mean; (XᵀX)⁻¹σ²: the posterior covariance.
  const auto [a, b, sd_a, sd_b, corr] = testing_support::write_straight_line(20261206, kSigma, kPoints);
  std::ostringstream par;
  par << "line 0 0 1\nnomin\nline.dat n 0 fit.dat 0.0 100.0 100\nout.dat chi.dat\n1.0\n" << kSigma
      << "\n10\n200000 10000\n0 1 20.0 1.0 0.0\n0\n1 1.0 1.0 1.0\n0.4\n"
      << "1 a a 1.0 0.3 -10.0 10.0\n2 b a 0.45 0.02 -2.0 2.0\n";
  for (int k = 3; k <= 10; ++k) par << k << " p" << k << " n 0.0 0.0 -1.0 1.0\n";
  par << "0\n0\n0\n";
  write_text("line.par", par.str());

  std::istringstream in;
  std::ostringstream screen;
  Console con(in, screen);
  auto run = std::make_unique<zorvik::Run>();
  auto ws = std::make_unique<ModelWorkspace>();
  run->settings.parfile = "line.par";
  ASSERT_EQ(parread(*run, con), ReadOutcome::Done);
  ASSERT_EQ(dataread(*run, con), ReadOutcome::Done);
  RunLoop loop(con);
  ResultFiles files;
  run_chain(*run, *ws, loop, files, con);
  end_of_run(*run, *ws, con);

  const DistributionResults& r = run->dist;
  // The histograms hold tens of thousands of accepted moves per parameter; with
  // the chain's autocorrelation the Monte-Carlo error of the mean is a few
  // hundredths of a standard deviation. Allow 0.15 sd.
  EXPECT_NEAR(r.pmed(1), a, 0.15 * sd_a) << "intercept";
  EXPECT_NEAR(r.pmed(2), b, 0.15 * sd_b) << "slope";
  // One-sigma limits: half the distance between them is the standard deviation,
  // within 10 % (bin width sd/15 and the sampling error of the tails).
  EXPECT_NEAR((r.errup(1) - r.errdown(1)) / 2, sd_a, 0.10 * sd_a) << "intercept";
  EXPECT_NEAR((r.errup(2) - r.errdown(2)) / 2, sd_b, 0.10 * sd_b) << "slope";
}

}  // namespace
}  // namespace zorvik
