// The chi-square and the Metropolis step, on a polynomial model whose values
// are known exactly: with p1 = c and every other coefficient 0 the model is the
// constant c at every point.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <vector>

#include "core/errors.h"
#include "sampler/changepar.h"
#include "sampler/compara.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

// A run with data sets on model 100 (polynomial, p1 … p10): set i holds the
// given y values at x = 1, 2, …, with the given sigmas.
struct Fixture {
  std::unique_ptr<zorvik::Run> run = std::make_unique<zorvik::Run>();
  ModelWorkspace ws;
  testing_support::Screen screen;
  Console& con = screen.con;

  void add_set(int i, int opfit, const std::vector<double>& y, const std::vector<double>& sigma) {
    FitFunctions& d = run->data;
    d.opfit(i) = opfit, d.imin(i) = 1, d.ndatin(i) = static_cast<int>(y.size());
    for (int k = 1; k <= d.ndatin(i); ++k) d.xi(i, k) = k, d.yi(i, k) = y[size_t(k - 1)], d.sigmae(i, k) = sigma[size_t(k - 1)];
    run->settings.nfunc = std::max(run->settings.nfunc, i);
    if (opfit > 0) ++run->settings.nfitfunc;
  }
  // Parameters p1 … p10 of the polynomial, p1 free with the given step and limits.
  void parameters(double p1, double move, double lo, double hi) {
    FitParameters& p = run->params;
    run->settings.npar = 10, run->settings.temp = 1.0;
    for (int k = 1; k <= 10; ++k) p.par(k) = p.move(k) = 0.0, p.parmin(k) = -100.0, p.parmax(k) = 100.0, p.logpar(k) = "n";
    p.par(1) = p1, p.move(1) = move, p.parmin(1) = lo, p.parmax(1) = hi;
    p.nfit = 1, p.parfit(1) = 1;
  }
  void compara() { zorvik::compara(run->settings, run->data, run->params, run->chain, ws); }
  double chisq(int i) const { return run->chain.chisq(i); }
};

TEST(Compara, TermsOfEveryKindAveragedOverTheFittedSets) {
  Fixture f;
  // Set 1, Gaussian: (1 − 3)²/0.5² + (3 − 3)²/1 + a point with sigma 0 left out.
  f.add_set(1, 100, {1.0, 3.0, 50.0}, {0.5, 1.0, 0.0});
  // Set 2 is not fitted: no chi-square, not in the mean.
  f.add_set(2, 0, {7.0}, {1.0});
  // Set 3, Poisson: measured 0 (adds 2·3), measured 3 = model (adds 0),
  // measured 5: 2·[(5 ln 5 − 5) − (5 ln 3 − 3)].
  f.add_set(3, 100, {0.0, 3.0, 5.0}, {-1.0, -1.0, -1.0});
  f.parameters(3.0, 0.1, 0.0, 10.0);
  f.run->chain.chisq(20) = 99.0;  // every slot is rewritten
  f.compara();
  const double poisson = 6.0 + 0.0 + 2.0 * ((5.0 * std::log(5.0) - 5.0) - (5.0 * std::log(3.0) - 3.0));
  EXPECT_EQ(f.chisq(1), 16.0);
  EXPECT_EQ(f.chisq(2), 0.0);
  EXPECT_DOUBLE_EQ(f.chisq(3), poisson);
  EXPECT_DOUBLE_EQ(f.chisq(0), (16.0 + poisson) / 2.0);
  EXPECT_EQ(f.chisq(20), 0.0);

  // A model value of 0 on Poisson points where counts were measured: no likelihood.
  f.run->params.par(1) = 0.0;
  f.compara();
  EXPECT_EQ(f.chisq(3), HUGE_VAL);
}

// One-parameter steps driven by chosen numbers: rnums[1] accepts, rnums[2]
// picks the parameter, rnums[3] draws the step d = 2·move·(r − 0.5).
struct Step : Fixture {
  float r[13] = {};
  Step() {
    add_set(1, 100, {2.0, 2.0}, {1.0, 1.0});
    parameters(1.0, 0.4, 0.0, 10.0);
    // The chi-square of the start, as the run loop provides it.
    zorvik::compara(run->settings, run->data, run->params, run->chain, ws);
  }
  void step(float accept, float pick, float draw) {
    r[1] = accept, r[2] = pick, r[3] = draw;
    changepar(run->settings, run->data, run->params, run->chain, ws, StepUniforms(r + 1), con);
  }
  double par(int k) const { return run->params.par(k); }
};

TEST(Changepar, StepsFollowTheMetropolisRule) {
  Step s;
  // d = 2·0.4·(0.75 − 0.5) = 0.2: p1 1.0 → 1.2, chi-square 2 → 1.28.
  s.step(0.99f, 0.5f, 0.75f);
  EXPECT_DOUBLE_EQ(s.par(1), 1.2);
  EXPECT_EQ(s.run->chain.stepresult, kChiDown);
  EXPECT_EQ(s.run->chain.ipchanged, 1);
  EXPECT_DOUBLE_EQ(s.chisq(0), 2 * 0.8 * 0.8);

  // Back by 0.2: χ² rises from 1.28 to 2, p = exp(−0.72/2) = 0.6977.
  s.step(0.69f, 0.5f, 0.25f);  // 0.69 < p: accepted uphill
  EXPECT_EQ(s.run->chain.stepresult, kChiUp);
  EXPECT_DOUBLE_EQ(s.par(1), 1.0);
  s.step(0.99f, 0.5f, 0.25f);  // χ² would rise again: rejected, all restored
  EXPECT_EQ(s.run->chain.stepresult, kNoChange);
  EXPECT_DOUBLE_EQ(s.par(1), 1.0);
  EXPECT_DOUBLE_EQ(s.chisq(0), 2.0);
  EXPECT_EQ(s.run->chain.stepcount(1), 1);
  EXPECT_EQ(s.run->chain.stepcount(2), 1);
  EXPECT_EQ(s.run->chain.stepcount(3), 1);

  // At temperature 0 no step that raises the chi-square is accepted.
  s.run->settings.temp = 0.0;
  s.step(1e-7f, 0.5f, 0.25f);
  EXPECT_EQ(s.run->chain.stepresult, kNoChange);
  EXPECT_DOUBLE_EQ(s.par(1), 1.0);
}

TEST(Changepar, ProposalsOfEveryKind) {
  {
    // Limits 0 … 1: 0.9 + 0.3 = 1.2 is mirrored to 0.8, and 0.1 − 0.3 = −0.2 to 0.2.
    Step s;
    s.parameters(0.9, 0.3, 0.0, 1.0);
    s.step(0.0f, 0.5f, 1.0f);
    EXPECT_DOUBLE_EQ(s.par(1), 0.8);
    s.parameters(0.1, 0.3, 0.0, 1.0);
    s.step(0.0f, 0.5f, 0.0f);
    EXPECT_DOUBLE_EQ(s.par(1), 0.2);
  }
  {
    // A step longer than the whole range stays outside and is reported.
    Step s;
    s.parameters(0.5, 5.0, 0.0, 1.0);
    s.step(0.0f, 0.5f, 1.0f);  // 0.5 + 5 = 5.5 → −3.5 → 3.5
    EXPECT_DOUBLE_EQ(s.par(1), 3.5);
    EXPECT_NE(s.screen.out.str().find("DANGER: step for par   1 too big. Parold,par,parmin,parmax \n"), std::string::npos)
        << s.screen.out.str();
    EXPECT_NE(s.screen.out.str().find(" jump,movepar 5.0 5.0\n"), std::string::npos) << s.screen.out.str();
  }
  {
    // Proportional and logarithmic kinds: d = −0.5 halves, d = 1 multiplies by 10.
    Step s;
    s.parameters(2.0, 0.5, 0.0, 100.0);
    s.run->params.logpar(1) = "p";
    s.step(0.0f, 0.5f, 0.0f);
    EXPECT_DOUBLE_EQ(s.par(1), 1.0);
    s.run->params.logpar(1) = "l";
    s.run->params.move(1) = 1.0;
    s.step(0.0f, 0.5f, 1.0f);
    EXPECT_DOUBLE_EQ(s.par(1), 10.0);
  }
  {
    // One-parameter mode: the moved member wins in its group, master included;
    // the relation then mirrors a value below its partner.
    Step s;
    FitParameters& p = s.run->params;
    p.move(3) = 0.4, p.nfit = 2, p.parfit(2) = 3;
    p.ngroups = 1, p.ign(1) = 2, p.parig(1, 1) = 2, p.parig(1, 2) = 3;  // a fixed master
    p.nrel = 1, p.parrel(1, 1) = 4, p.parrel(1, 2) = 3;
    s.step(0.0f, 0.99f, 1.0f);  // picks parfit(2) = 3, d = +0.4
    EXPECT_EQ(s.run->chain.ipchanged, 3);
    EXPECT_DOUBLE_EQ(s.par(3), 0.4);
    EXPECT_DOUBLE_EQ(s.par(2), 0.4);
    EXPECT_DOUBLE_EQ(s.par(4), 0.8);  // 2·0.4 − 0
  }
  {
    // All-parameters mode: parameter i steps by (r[i+1] − 0.5)·move, each with
    // its own number (exact in single precision), then the master's value wins.
    Step s;
    s.run->settings.varpar = 1;
    FitParameters& p = s.run->params;
    p.move(2) = 0.2, p.ngroups = 1, p.ign(1) = 2, p.parig(1, 1) = 1, p.parig(1, 2) = 6;
    for (int k = 2; k <= 12; ++k) s.r[k] = 0.5f + static_cast<float>(k) / 64.0f;
    s.r[1] = 0.0f;
    changepar(s.run->settings, s.run->data, s.run->params, s.run->chain, s.ws, StepUniforms(s.r + 1), s.con);
    EXPECT_DOUBLE_EQ(s.par(1), 1.0125);    // 1 + (2/64)·0.4
    EXPECT_DOUBLE_EQ(s.par(2), 0.009375);  // (3/64)·0.2
    EXPECT_DOUBLE_EQ(s.par(6), s.par(1));
  }
}

}  // namespace
}  // namespace zorvik
