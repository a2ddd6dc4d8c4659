// A proposal re-evaluates only the data sets whose parameters moved. That is
// right only if each model's declared parameters cover everything it reads,
// and if the kept chi-squares are those a full evaluation gives along a chain.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <vector>

#include "models/functions.h"
#include "models/lineshapes.h"
#include "sampler/changepar.h"
#include "sampler/compara.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

// Parameters in [0.3, 1) (benign for every model) with a few set by the model.
std::vector<double> parameters(int model, std::mt19937& rng) {
  std::uniform_real_distribution<double> u(0.3, 1.0);
  std::vector<double> p(101);
  for (double& v : p) v = u(rng);
  if (model == 55 || model == 56) p[1] = -9.0, p[2] = 120.0, p[4] = -10.0, p[5] = 800.0, p[76] = -11.0, p[77] = 700.0;
  if (model == 4) p[15] = 1.77, p[16] = 0.05, p[17] = 0.07;
  return p;
}

TEST(ModelReads, DeclaredParametersCoverEverythingTheModelsRead) {
  std::mt19937 rng(5);
  double z[11] = {0, 250.0, 0.7};  // temperature, momentum transfer
  std::vector<double> x(24);
  for (size_t k = 0; k < x.size(); ++k) x[k] = 0.1 + 0.37 * double(k);
  for (int model : {4, 55, 56, 110, 111, 112, 113, 114, 118, 119, 120, 121}) {
    for (int i : {1, 2, 3}) {
      if (model == 4 && i == 3) continue;
      const std::vector<double> p = parameters(model, rng);
      std::vector<double> q = p, y0(x.size()), y1(x.size());
      ASSERT_TRUE(find_model(model)->plain(ModelEnv{z}, i, x.data(), y0.data(), int(x.size()), q.data())) << model;
      const ParamSet reads = model_reads(model, i);
      for (int k = 1; k <= 100; ++k) {
        if (reads.test(size_t(k))) continue;
        q = p;
        q[size_t(k)] = 1.3 * p[size_t(k)] + 0.1;
        find_model(model)->plain(ModelEnv{z}, i, x.data(), y1.data(), int(x.size()), q.data());
        EXPECT_EQ(std::memcmp(y0.data(), y1.data(), sizeof(double) * x.size()), 0)
            << "model " << model << ", data set " << i << " reads p" << k;
      }
    }
  }
}

TEST(ComparaMoved, KeepsExactlyTheChiSquaresOfAFullEvaluationAlongAChain) {
  // Three spectra on model 55 and two on the diffusion model 111 side by side;
  // every parameter free.
  auto run = std::make_unique<zorvik::Run>();
  auto ws = std::make_unique<ModelWorkspace>(), check = std::make_unique<ModelWorkspace>();
  std::mt19937 rng(9);
  std::normal_distribution<double> noise(0.0, 0.05);
  FitFunctions& d = run->data;
  const int models[] = {55, 55, 55, 111, 111};
  for (int i = 1; i <= 5; ++i) {
    d.opfit(i) = models[i - 1], d.z(i, 1) = 230.0 + 10.0 * i, d.z(i, 2) = 0.3 * i, d.imin(i) = 1, d.ndatin(i) = 30;
    for (int j = 1; j <= 30; ++j)
      d.xi(i, j) = i <= 3 ? std::pow(10.0, 0.3 * j - 2.0) : 0.1 * j - 1.5, d.yi(i, j) = 1.0 + noise(rng), d.sigmae(i, j) = 0.1;
  }
  run->settings.nfunc = run->settings.nfitfunc = 5, run->settings.npar = 60, run->settings.temp = 50.0;
  FitParameters& fp = run->params;
  const std::vector<double> p = parameters(55, rng);
  for (int k = 1; k <= 60; ++k)
    fp.par(k) = p[size_t(k)], fp.move(k) = 0.02, fp.parmin(k) = -1e4, fp.parmax(k) = 1e4, fp.logpar(k) = "n", fp.parfit(k) = k;
  fp.nfit = 60;
  classify_sigmas(d, 5);
  testing_support::Screen screen;
  Console& con = screen.con;
  compara(run->settings, run->data, run->params, run->chain, *ws);
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  std::vector<float> r(64);
  int kept = 0;
  for (int step = 0; step < 400; ++step) {
    for (float& v : r) v = u(rng);
    changepar(run->settings, run->data, run->params, run->chain, *ws, StepUniforms(r.data()), con);
    // A full evaluation (with a workspace of its own) gives the same numbers.
    double kept_chisq[6];
    for (int i = 0; i <= 5; ++i) kept_chisq[i] = run->chain.chisq(i);
    compara(run->settings, run->data, run->params, run->chain, *check);
    for (int i = 0; i <= 5; ++i) ASSERT_EQ(kept_chisq[i], run->chain.chisq(i)) << "step " << step << ", set " << i;
    kept += run->chain.stepresult != kNoChange;
  }
  EXPECT_GT(kept, 100);  // the chain moved
}


// The broken line with joined lines (p2 = 1): its intercept c = p5 is derived,
// and every state of the chain holds the c that its chi-square was computed with.
TEST(ModelRule, EveryStateHoldsTheBrokenLinesJoinedIntercept) {
  auto run = std::make_unique<zorvik::Run>();
  auto ws = std::make_unique<ModelWorkspace>();
  FitFunctions& d = run->data;
  d.opfit(1) = 117, d.imin(1) = 1, d.ndatin(1) = 20;
  for (int j = 1; j <= 20; ++j) d.xi(1, j) = 0.2 * j, d.yi(1, j) = j <= 10 ? 0.4 * j : 4.0 - 0.1 * (j - 10), d.sigmae(1, j) = 0.3;
  run->settings.nfunc = run->settings.nfitfunc = 1, run->settings.npar = 6, run->settings.temp = 1.0;
  FitParameters& fp = run->params;
  const double start[] = {0, 2.0, 1.0, 0.1, 2.0, 7.0, -0.5};
  for (int k = 1; k <= 6; ++k) fp.par(k) = start[k], fp.parmin(k) = -20, fp.parmax(k) = 20, fp.logpar(k) = "n";
  for (int k : {1, 3, 4, 5, 6}) fp.move(k) = 0.1, fp.parfit(++fp.nfit) = k;  // c free too: the rule overrides it
  classify_sigmas(d, 1);
  testing_support::Screen screen;
  compara(run->settings, run->data, run->params, run->chain, *ws);
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  std::vector<float> r(16);
  for (int step = 0; step < 200; ++step) {
    for (float& v : r) v = u(rng);
    changepar(run->settings, run->data, run->params, run->chain, *ws, StepUniforms(r.data()), screen.con);
    ASSERT_EQ(fp.par(5), kink_intercept(1, fp.par.base())) << "step " << step;
  }
}

}  // namespace
}  // namespace zorvik
