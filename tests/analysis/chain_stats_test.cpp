// Whole-chain statistics against independent oracles: the rank-normalised
// split-R-hat, the bulk ESS and emcee's integrated time computed by
// tests/data/chain_stats_reference.py (numpy, scipy, emcee) on the chains stored
// with them; the thinned recorder and the thinning correction of tau against an
// AR(1) series of known tau.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <limits>
#include <random>

#include "analysis/autocorrelation.h"
#include "analysis/chain_stats.h"
#include "analysis/whole_chain.h"
#include "sampler/chain_recorder.h"
#include "core/errors.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

// Both sides evaluate the same formulas in double precision; they differ by the
// rounding of the transforms and of the normal quantile, far below this.
constexpr double kSameFormula = 1e-9;

// Cases of chain_stats_reference.txt: "case name M n", the reference rhat, bulk
// ESS and emcee's tau of chain 1, then M chains of n draws.
TEST(ChainStats, StatisticsAgreeWithTheIndependentImplementation) {
  std::ifstream in(testing_support::source_path("tests/data/chain_stats_reference.txt"));
  in.ignore(1 << 20, '\n');
  int cases = 0;
  for (std::string word, name; in >> word >> name; ++cases) {
    size_t m = 0, n = 0;
    double rhat, ess, tau;
    in >> m >> n >> rhat >> ess >> tau;
    std::vector<std::vector<double>> chains(m, std::vector<double>(n));
    for (auto& chain : chains)
      for (double& v : chain) in >> v;
    const ConvergenceValues v = rank_normalised_convergence({chains.begin(), chains.end()});
    EXPECT_NEAR(v.rhat, rhat, kSameFormula) << name;
    EXPECT_NEAR(v.ess_bulk / ess, 1.0, kSameFormula) << name << ": " << v.ess_bulk << " vs " << ess;
    EXPECT_NEAR(integrated_time(chains[0]) / tau, 1.0, kSameFormula) << name;
  }
  EXPECT_EQ(cases, 5);
}

// An AR(1) series x' = φx + e has τ = (1 + φ)/(1 − φ) = 199 at φ = 0.99. Recorded
// thinned by m = 8, the table must still give τ in steps.
TEST(ChainStats, ThinnedChainGivesTauInStepsOfTheChain) {
  FitParameters p;
  p.nfit = 1;
  p.parfit(1) = 1;
  p.namepar(1) = "ar one";
  ChainRecorder rec;
  const long long n = 1600000;
  rec.begin_run(p, n);
  std::mt19937_64 gen(7);
  std::normal_distribution<double> e;
  double par[2] = {0, 0};
  for (long long s = 0; s < n; ++s) {
    par[1] = 0.99 * par[1] + e(gen);
    rec.record(par, par[1] * par[1]);
  }
  const ChainStatTable t = whole_chain_statistics(rec, p, 0.2);
  ASSERT_EQ(t.rows.size(), 2u);
  EXPECT_EQ(t.thinning, 8);
  EXPECT_EQ(t.burn_in, 320000);
  EXPECT_EQ(t.rows[0].name, "ar_one");
  // The estimate's own statistical error is about √(2(2W+1)/N) ≈ 5 % (W ≈ 5τ, the
  // window); three of those.
  EXPECT_NEAR(t.rows[0].tau / 199.0, 1.0, 0.15) << t.rows[0].tau;
  EXPECT_NEAR(t.rows[0].draws.sd, std::sqrt(1.0 / (1.0 - 0.99 * 0.99)), 0.1 * 7.09);
}


// A checkpointed recorder keeps its states in a side file that grows between
// checkpoints and is written anew after the states were thinned: every
// checkpoint, before and after thinnings, gives back the recorder as it was,
// and a damaged side file is refused.
TEST(ChainRecorderSpill, EveryCheckpointRestoresTheStatesThroughThinnings) {
  testing_support::ScratchDir dir;
  FitParameters p;
  p.nfit = 2;
  p.parfit(1) = 1;
  p.parfit(2) = 3;
  ChainRecorder rec;
  rec.begin_run(p, 10);  // room for 11 states: the recorder thins itself several times
  RecorderSpill spill("run.ckpt");
  double par[4] = {0, 0, 0, 0};
  for (int step = 1; step <= 300; ++step) {
    par[1] = std::sin(step), par[3] = step;
    rec.record(par, 0.5 * step);
    if (step % 7 != 0) continue;
    StateWriter out;
    SideAppend side;
    rec.save(out, spill, side);
    write_side_file(side.path, side.bytes, side.anew);
    RecorderSpill again("run.ckpt");
    ChainRecorder back;
    StateReader in(out.bytes(), "run.ckpt");
    back.restore(in, again);
    ASSERT_EQ(back.kept(), rec.kept()) << step;
    ASSERT_EQ(back.thin(), rec.thin()) << step;
    for (long long k = 0; k < rec.kept(); ++k)
      for (int j = 0; j <= 2; ++j) ASSERT_EQ(back.value(k, j), rec.value(k, j)) << step << " " << k << " " << j;
    if (step == 294) {
      std::FILE* f = std::fopen("run.ckpt.states0", "r+b");
      ASSERT_NE(f, nullptr);
      std::fputc(0x5a, f);
      std::fclose(f);
      std::FILE* g = std::fopen("run.ckpt.states1", "r+b");
      ASSERT_NE(g, nullptr);
      std::fputc(0x5a, g);
      std::fclose(g);
      StateReader damaged(out.bytes(), "run.ckpt");
      EXPECT_THROW(back.restore(damaged, again), FatalError);
    }
  }
  EXPECT_GE(rec.thin(), 16);  // the checkpoints saw several thinnings
}

}  // namespace
}  // namespace zorvik
