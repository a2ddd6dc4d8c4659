// The pieces of the evidence ladder: the prior the chain samples at β = 0, the
// quadrature of ⟨ln L⟩_β, and the batch-means error.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <sstream>
#include <vector>

#include "sampler/compara.h"
#include "sampler/thermodynamic.h"

namespace zorvik {
namespace {

// Pearson's statistic of counts against equal expectations.
double pearson(const std::vector<int>& counts, double total) {
  const double e = total / static_cast<double>(counts.size());
  double x2 = 0.0;
  for (const int c : counts) x2 += (c - e) * (c - e) / e;
  return x2;
}

// With a flat likelihood (every sigma 0) the rung at β = 0 samples the prior:
// parameter 1 (kind l, 0.01 … 100) uniform in log10, parameter 2 (kind n,
// −1 … 3) uniform. 20 bins each.
TEST(LadderPrior, BetaZeroSamplesUniformAndLogUniformPriors) {
  auto run = std::make_unique<zorvik::Run>();
  ModelWorkspace ws;
  std::istringstream in;
  std::ostringstream out;
  Console con{in, out};
  RunSettings& s = run->settings;
  FitFunctions& d = run->data;
  FitParameters& p = run->params;
  s.nfunc = s.nfitfunc = 1;
  s.npar = 10;
  s.convfactor = 0.4;
  d.opfit(1) = 100, d.imin(1) = 1, d.ndatin(1) = 3;
  for (int j = 1; j <= 3; ++j) d.xi(1, j) = j, d.yi(1, j) = 5.0, d.sigmae(1, j) = 0.0;
  for (int k = 1; k <= 10; ++k) p.par(k) = 0.0, p.move(k) = 0.0, p.parmin(k) = -1.0, p.parmax(k) = 1.0, p.logpar(k) = "n";
  p.par(1) = 1.0, p.move(1) = 0.3, p.parmin(1) = 0.01, p.parmax(1) = 100.0, p.logpar(1) = "l";
  p.par(2) = 1.0, p.move(2) = 0.5, p.parmin(2) = -1.0, p.parmax(2) = 3.0;
  p.nfit = 2, p.parfit(1) = 1, p.parfit(2) = 2;
  compara(*run, ws);

  std::vector<int> log_bins(20), lin_bins(20);
  int n = 0;
  const LadderSink sink = [&](const zorvik::Run& r, int) {
    ++log_bins[static_cast<size_t>(std::min(19.0, (std::log10(r.params.par(1)) + 2.0) / 4.0 * 20.0))];
    ++lin_bins[static_cast<size_t>(std::min(19.0, (r.params.par(2) + 1.0) / 4.0 * 20.0))];
    ++n;
  };
  Ranlux ranlux(con);
  ranlux.rluxgo(4, 314159265, 0, 0);
  LadderStream rng{ranlux, {}, 0};
  run_rung(*run, ws, con, rng, 0.0, 0.0, 200000, 0, sink);
  // Consecutive values of a parameter are nearly independent once its step has
  // grown to the whole range (each moves every other step); the bound is the
  // 99.99 % point of chi-square with 19 degrees of freedom, doubled for what
  // correlation is left. The linear mirror of log steps fails it (about 900).
  EXPECT_LT(pearson(log_bins, n), 2 * 48.0) << ::testing::PrintToString(log_bins);
  EXPECT_LT(pearson(lin_bins, n), 2 * 48.0) << ::testing::PrintToString(lin_bins);
  EXPECT_TRUE(out.str().empty()) << out.str();  // no value ever stayed outside its limits
}

// Quadrature against ⟨ln L⟩_β of a Gaussian likelihood (width σ) under a
// Gaussian prior (width r·σ) in k dimensions, where everything is known:
// ⟨ln L⟩_β = −(k/2)·r²/(1 + β r²), Var_β = (k/2)·(r²/(1 + β r²))², ln Z = −(k/2) ln(1 + r²).
TEST(LadderQuadrature, IntegratesTheGaussianPowerPosteriorToAFewThousandths) {
  const struct {
    double k, r;
  } cases[] = {{2, 3}, {2, 300}, {10, 30}, {10, 1000}};
  for (const auto& c : cases) {
    EvidenceEstimate e;
    for (const double b : ladder_betas(kLadderRungs)) {
      LadderRung g;
      g.beta = b;
      const double q = c.r * c.r / (1.0 + b * c.r * c.r);
      g.mean_lnl = -0.5 * c.k * q;
      g.var_lnl = 0.5 * c.k * q * q;
      e.rungs.push_back(g);
    }
    integrate_ladder(e);
    // The interpolation's error, measured 0.005 at r = 1000 (the plain and the
    // corrected trapezoid in β are off by 8 and 2.7 nats there).
    EXPECT_NEAR(e.ti, -0.5 * c.k * std::log(1.0 + c.r * c.r), 0.01) << "k " << c.k << " r " << c.r;
  }
}

// An AR(1) series x_t = ρ x_{t−1} + ε_t has the asymptotic variance of its mean
// σ²/(1 − ρ)²/n; with 25 batches the estimate scatters by about 14 %.
TEST(BatchMeans, ErrorOfTheMeanOfAnAutocorrelatedSeries) {
  std::mt19937 gen(42);
  std::normal_distribution<double> eps(0.0, 1.0);
  const int n = 200000;
  const double rho = 0.95;
  std::vector<double> x(n);
  double v = 0.0;
  for (double& xi : x) xi = v = rho * v + eps(gen);
  const double exact = 1.0 / (1.0 - rho) / std::sqrt(static_cast<double>(n));
  EXPECT_NEAR(batch_means_error(x.data(), n) / exact, 1.0, 0.35);
}

}  // namespace
}  // namespace zorvik
