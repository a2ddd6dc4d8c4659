// Chain histograms, distributions and evidence: layouts on a hand-made histogram, estimates on a Gaussian sample.
#include "analysis/distributions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/files.h"
#include "support/program.h"

namespace zorvik {
namespace {

using testing_support::expect_golden;
using testing_support::read_text;
using testing_support::ScratchDir;

// A run whose histogram store is cleared as a reading of the parameter file clears it.
std::unique_ptr<Run> fresh_run() {
  auto run = std::make_unique<Run>();
  run->hist.minigpar.fill(1000000);
  run->hist.maxigpar.fill(0);
  return run;
}

// One accepted move of parameter i as the chain records it: the value, then the total chi-square.
void sample(Run& run, int i, double value, double chi) {
  run.params.par(i) = value, run.chain.chisq(0) = chi;
  gparameter(i, run.settings, run.params, run.chain, run.hist);
  gparameter(0, run.settings, run.params, run.chain, run.hist);
}

// Parameters: 1 "amp" free (parmin 0, bins of 0.5), 2 "offset" fixed, 3 "width"
// free with every sample out of range; two fitted data sets of 12 and 8 points.
// Parameter 1: 0.1, 0.6, 0.7, 1.7 and 6000 (out) fill bins 1, 2, 2, 4 (centres 0.25,
// 0.75, 1.25, 1.75) with p = 1/5, 2/5, 0, 1/5: pmed = 0.7/0.8 = 0.875, pmax = 0.75;
// 0.3415 is passed upward at bin 4 (errup 1.75), downward at bin 1 (errdown 0.25).
// Chi-square (bins of 1): totals 2, 3, 5, 4, 7, 0.5 (not kept), 9.5, 12.3 fill bins
// 3, 4, 6, 5, 8, 10, 13 with p = 1/8: chimedia = 5.6875, chiprob = 2.5, 18 d.o.f.
class HandMadeHistogram : public testing::Test {
 protected:
  void SetUp() override {
    zorvik::Run& r = *run_;
    r.settings.npar = 3, r.settings.nfunc = 2, r.settings.incgchi = 1.0, r.settings.gparmode = 1;
    r.data.opfit(1) = r.data.opfit(2) = 1, r.data.ndatin(1) = 12, r.data.ndatin(2) = 8;
    FitParameters& p = r.params;
    const char* names[] = {"amp", "offset", "width"};
    const double move[] = {1.0, 0.0, 0.5}, incgg[] = {0.5, 0.0, 1.0};
    for (int k = 1; k <= 3; ++k) p.namepar(k) = names[k - 1], p.move(k) = move[k - 1], p.incgg(k) = incgg[k - 1];
    p.nfit = 2;
    const std::tuple<int, double, double> samples[] = {{1, 0.1, 2.0}, {1, 0.6, 3.0},  {1, 0.7, 5.0},
                                                       {1, 1.7, 4.0}, {1, 6000.0, 7.0}, {3, -5.0, 0.5},
                                                       {3, 20000.0, 9.5}, {3, 30000.0, 12.3}};
    for (auto [i, v, chi] : samples) sample(r, i, v, chi);
    const double parchimin[] = {1.5, 0.8, 3.0, 0.5}, chisq[] = {3.25, 4.5, 2.0};
    for (int k = 0; k <= 3; ++k) r.chain.parchimin(k) = parchimin[k];
    for (int k = 0; k <= 2; ++k) r.chain.chisq(k) = chisq[k];
  }

  // The profile surface 10 + p1² + p2 + p3, exact in binary at the bin centres,
  // recording the parameter vectors it is asked about.
  void run_cgpar() {
    testing_support::Screen s;
    cgpar(*run_, res_, s.con, [this](double* p) {
      calls_.push_back({p[1], p[2], p[3]});
      return 10.0 + p[1] * p[1] + p[2] + p[3];
    });
    console_ = s.out.str();
  }

  ScratchDir dir_;
  std::unique_ptr<zorvik::Run> run_ = fresh_run();
  DistributionResults res_;
  std::vector<std::vector<double>> calls_;
  std::string console_;
};

TEST_F(HandMadeHistogram, WritesTheGoldenFiles) {
  run_cgpar();
  // Gp1.dat has the empty bin 3 inside the filled range (p = 0, mean chi-square
  // 0/0) and in its last column 10 + x² + p2 + p3 at the minimum-chi-square p2, p3;
  // Gp3.dat (no sample in range) only its header; a fixed parameter no file.
  const std::string golden = "tests/analysis/golden/hand_made_histogram/";
  expect_golden(golden + "console.txt", console_);
  for (const char* f : {"Gp1.dat", "Gp3.dat", "Glk.dat", "parstat.dat"}) expect_golden(golden + f, read_text(f));
  EXPECT_FALSE(file_exists("Gp2.dat"));

  constexpr double kRoundoff = 1e-14;  // sums of fifths are not exact in binary: a few ulps of 1
  EXPECT_NEAR(res_.pmed(1), 0.875, kRoundoff);
  EXPECT_EQ((std::vector{res_.pmax(1), res_.errdown(1), res_.errup(1), res_.pmed(2), res_.pmed(3)}),
            (std::vector{0.75, 0.25, 1.75, 0.0, kNoSampleInRange}));
  EXPECT_EQ((std::vector{res_.chimedia, res_.chiprob, res_.mlogev}), (std::vector{5.6875, 2.5, 5.6875 / 2}));
  EXPECT_TRUE(res_.pdfready);
  // The profile moves one parameter at a time from the minimum-chi-square point.
  EXPECT_EQ(calls_, (std::vector<std::vector<double>>{{0.25, 3, 0.5}, {0.75, 3, 0.5}, {1.25, 3, 0.5}, {1.75, 3, 0.5}}));

}

TEST_F(HandMadeHistogram, EqualHighestBinsGiveThePmaxOfTheLowerOne) {
  sample(*run_, 1, 1.6, 4.0);  // bin 4 now as full as bin 2
  run_cgpar();
  EXPECT_EQ(res_.pmax(1), 0.75);
}

// 2^22 samples of N(3, 0.5²) in bins of sigma/5, the mean at the centre of bin 51, all within the 10000 bins.
TEST(Cgpar, RecoversTheLimitsOfAGaussianSample) {
  ScratchDir dir;
  constexpr double mu = 3.0, sigma = 0.5, width = 0.1;
  constexpr int n = 1 << 22;
  auto run = fresh_run();
  run->settings.npar = 1, run->settings.incgchi = 1.0;
  run->params.move(1) = 1.0, run->params.parmin(1) = mu - 50.5 * width, run->params.incgg(1) = width;
  std::mt19937 gen(20240611u);
  std::normal_distribution<double> gauss(mu, sigma);
  for (int k = 0; k < n; ++k) {
    const double v = gauss(gen);
    sample(*run, 1, v, (v - mu) * (v - mu) / (sigma * sigma) + 1.0);
  }
  DistributionResults res;
  testing_support::Screen screen;
  cgpar(*run, res, screen.con, [](double*) { return 0.0; });  // a flat chi-square profile
  ASSERT_EQ(run->hist.ngpar(1), n);
  // Bin centres symmetric about the mean give an unbiased mean; five standard errors.
  EXPECT_NEAR(res.pmed(1), mu, 5 * sigma / std::sqrt(double(n)));
  // The central bin holds ~2 % more than its neighbours against a 0.17 % count scatter,
  // and 0.3415 is crossed in the bins centred at ±1 sigma (0.3159 at 0.9, 0.3643 at 1.1,
  // scatter 2.3e-4); only the rounding of the bin geometry is left.
  constexpr double kGeometryRoundoff = 1e-12;
  EXPECT_NEAR(res.pmax(1), mu, kGeometryRoundoff);
  EXPECT_NEAR(res.errup(1), mu + sigma, kGeometryRoundoff);
  EXPECT_NEAR(res.errdown(1), mu - sigma, kGeometryRoundoff);
  // (x − mu)²/sigma² + 1 has mean 2; bins of 1 bias the mean of centres by under half a bin.
  EXPECT_NEAR(res.chimedia, 2.0, 0.5);
}

}  // namespace
}  // namespace zorvik
