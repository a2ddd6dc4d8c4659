// The evidence ladder's parts: the prior sampled at β = 0 and the quadrature of
// ⟨ln L⟩_β. (The batch-means error is held to the straight line's analytic
// evidence in tests/e2e/evidence_test.cpp.)
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>

#include "sampler/compara.h"
#include "sampler/thermodynamic.h"

namespace zorvik {
namespace {

// Pearson's statistic of counts against equal expectations.
double pearson(const std::vector<int>& counts, double total) {
  double x2 = 0.0, e = total / static_cast<double>(counts.size());
  for (const int c : counts) x2 += (c - e) * (c - e) / e;
  return x2;
}

// A flat likelihood (every sigma 0): the rung at β = 0 must sample parameter 1
// (kind l, 0.01 … 100) uniform in log10 and parameter 2 (kind n, −1 … 3) uniform.
TEST(LadderPrior, BetaZeroSamplesUniformAndLogUniformPriors) {
  auto run = std::make_unique<zorvik::Run>();
  ModelWorkspace ws;
  std::istringstream in;
  std::ostringstream out;
  Console con{in, out};
  run->settings.nfunc = run->settings.nfitfunc = 1, run->settings.npar = 10, run->settings.convfactor = 0.4;
  FitFunctions& d = run->data;
  FitParameters& p = run->params;
  d.opfit(1) = 100, d.imin(1) = 1, d.ndatin(1) = 3;
  for (int j = 1; j <= 3; ++j) d.xi(1, j) = j, d.yi(1, j) = 5.0, d.sigmae(1, j) = 0.0;
  for (int k = 1; k <= 10; ++k) p.parmin(k) = -1.0, p.parmax(k) = 3.0, p.logpar(k) = "n";
  p.par(1) = 1.0, p.move(1) = 0.3, p.parmin(1) = 0.01, p.parmax(1) = 100.0, p.logpar(1) = "l";
  p.par(2) = 1.0, p.move(2) = 0.5;
  p.nfit = 2, p.parfit(1) = 1, p.parfit(2) = 2;
  compara(*run, ws);

  std::vector<int> log_bins(20), lin_bins(20);
  int n = 0;
  const LadderSink sink = [&](const zorvik::Run& r, int) {
    ++log_bins[static_cast<size_t>(std::min(19.0, (std::log10(r.params.par(1)) + 2.0) * 5.0))];
    ++lin_bins[static_cast<size_t>(std::min(19.0, (r.params.par(2) + 1.0) * 5.0))];
    ++n;
  };
  Ranlux ranlux(con);
  ranlux.rluxgo(4, 314159265, 0, 0);
  LadderStream rng{ranlux, {}, 0, {}};
  run_rung(*run, ws, con, rng, 0.0, 0.0, 200000, 0, sink);
  // Bound: the 99.99 % point of chi-square with 19 degrees of freedom (48),
  // doubled for the correlation left between consecutive values once a step has
  // grown to the whole range. A linear mirror of the log steps gives millions.
  EXPECT_LT(pearson(log_bins, n), 2 * 48.0) << ::testing::PrintToString(log_bins);
  EXPECT_LT(pearson(lin_bins, n), 2 * 48.0) << ::testing::PrintToString(lin_bins);
  EXPECT_EQ(out.str(), "");  // no value stayed outside its limits
}

// A Gaussian likelihood (width σ) and prior (width r·σ) in k dimensions:
// ⟨ln L⟩_β = −(k/2)·r²/(1 + β r²), Var_β = (k/2)·(r²/(1 + β r²))², ln Z = −(k/2) ln(1 + r²).
TEST(LadderQuadrature, IntegratesTheGaussianPowerPosteriorToAFewThousandths) {
  for (const auto& [k, r] : {std::pair{2.0, 3.0}, {2.0, 300.0}, {10.0, 30.0}, {10.0, 1000.0}}) {
    EvidenceEstimate e;
    for (const double b : ladder_betas(kLadderRungs)) {
      const double q = r * r / (1.0 + b * r * r);
      e.rungs.push_back({.beta = b, .mean_lnl = -0.5 * k * q, .var_lnl = 0.5 * k * q * q});
    }
    integrate_ladder(e);
    // Measured 0.005 at r = 1000, where the corrected trapezoid in β is off by 2.7.
    EXPECT_NEAR(e.ti, -0.5 * k * std::log(1.0 + r * r), 0.01) << "k " << k << " r " << r;
  }
}

}  // namespace
}  // namespace zorvik
