// Histograms of the chain, the distribution calculation and the evidence summary.
// The file layouts are checked against a small histogram whose probabilities,
// means and limits are worked out by hand below; the estimates against a large
// Gaussian sample whose mean and one-sigma limits are known.
#include "analysis/distributions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/files.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::lines_of;
using testing_support::read_text;
using testing_support::ScratchDir;
using testing_support::write_text;

// A run whose histogram store is cleared as a reading of the parameter file
// clears it (no bin filled: lowest bin 1000000, highest 0).
std::unique_ptr<Run> fresh_run() {
  auto run = std::make_unique<Run>();
  run->hist.minigpar.fill(1000000);
  run->hist.maxigpar.fill(0);
  return run;
}

// One accepted move of parameter i, as the chain records it: the value, then
// the total chi-square.
void sample(Run& run, int i, double value, double chi) {
  run.params.par(i) = value;
  run.chain.chisq(0) = chi;
  gparameter(run, i);
  gparameter(run, 0);
}

// A console that reads nothing and keeps what is printed.
struct Screen {
  std::istringstream in;
  std::ostringstream out;
  Console con{in, out};
};

// The chi-square profile column is not under test: a flat surface.
double flat(double*) { return 0.0; }

// A run of npar parameters of which parameter i is free, with bins of 1 from 0.
std::unique_ptr<Run> one_free_parameter(int npar, int i) {
  auto run = fresh_run();
  run->settings.npar = npar;
  run->settings.incgchi = 1.0;
  run->params.move(i) = 1.0;
  run->params.incgg(i) = 1.0;
  return run;
}

int filled_bins(const Run& run, int i) {
  int n = 0;
  for (int j = 1; j <= kMaxBins; ++j) n += run.hist.gpar(i, j);
  return n;
}

TEST(Gparameter, BinsFromParminWithTruncationAndCountsOutOfRangeSamplesOnlyInNgpar) {
  auto run = fresh_run();
  zorvik::Run& r = *run;
  r.params.parmin(1) = 2.0;
  r.params.incgg(1) = 0.5;
  // Bin j = trunc((v − 2)/0.5) + 1; all values below are exact in binary.
  const double values[] = {
      2.0,                   // exactly parmin: bin 1
      1.7,                   // q = −0.6 truncates toward zero: still bin 1
      2.0 + 0.5 * 9999.5,    // the middle of the last bin, 10000
      2.0 + 0.5 * 10000.0,   // the end of the last bin: out of range
      1.0,                   // q = −2: out of range
  };
  const double chis[] = {3.0, 4.0, 5.0, 6.0, 7.0};
  for (int k = 0; k < 5; ++k) {
    r.params.par(1) = values[k];
    r.chain.chisq(0) = chis[k];
    gparameter(r, 1);
  }
  EXPECT_EQ(r.hist.ngpar(1), 5);
  EXPECT_EQ(r.hist.gpar(1, 1), 2);
  EXPECT_EQ(r.hist.gpar(1, kMaxBins), 1);
  EXPECT_EQ(filled_bins(r, 1), 3);
  EXPECT_EQ(r.hist.minigpar(1), 1);
  EXPECT_EQ(r.hist.maxigpar(1), kMaxBins);
  EXPECT_EQ(r.hist.chipar(1, 1), 7.0);
  EXPECT_EQ(r.hist.chipar(1, kMaxBins), 5.0);
  // Other parameters and the chi-square histogram are untouched.
  EXPECT_EQ(r.hist.ngpar(2), 0);
  EXPECT_EQ(r.hist.maxigchi, 0);

  // The lowest and highest filled bins follow the samples in any order.
  r.params.parmin(2) = 0.0;
  r.params.incgg(2) = 1.0;
  for (double v : {6.5, 2.5, 4.0}) {
    r.params.par(2) = v;
    gparameter(r, 2);
  }
  EXPECT_EQ(r.hist.minigpar(2), 3);
  EXPECT_EQ(r.hist.maxigpar(2), 7);
  EXPECT_EQ(r.hist.gpar(2, 5), 1);
}

TEST(Gparameter, ChisquareHistogramLeavesTheFirstAndLastBinsEmpty) {
  auto run = fresh_run();
  zorvik::Run& r = *run;
  r.settings.incgchi = 2.0;
  // Bin j = trunc(χ²/2) + 1, kept for 2 ≤ j ≤ 9999.
  for (double chi : {1.9, 2.0, 19997.9, 19998.0, -5.0, 7.0, 7.5}) {
    r.chain.chisq(0) = chi;
    gparameter(r, 0);
  }
  EXPECT_EQ(r.hist.gchi(1), 0);     // 1.9 is below one bin width
  EXPECT_EQ(r.hist.gchi(2), 1);     // 2.0
  EXPECT_EQ(r.hist.gchi(4), 2);     // 7.0 and 7.5
  EXPECT_EQ(r.hist.gchi(9999), 1);  // 19997.9
  EXPECT_EQ(r.hist.gchi(kMaxBins), 0);
  EXPECT_EQ(r.hist.maxigchi, 9999);
  int total = 0;
  for (int j = 1; j <= kMaxBins; ++j) total += r.hist.gchi(j);
  EXPECT_EQ(total, 4);
  for (int i = 0; i <= kMaxPar; ++i) EXPECT_EQ(r.hist.ngpar(i), 0);
}

// A histogram small enough to work out by hand. Parameters: 1 "amp" free
// (parmin 0, bins of 0.5), 2 "offset" fixed, 3 "width" free with every sample
// out of range. Two fitted data sets with 12 and 8 points.
//
// Parameter 1: samples 0.1, 0.6, 0.7, 1.7 and 6000 (out of range) fill bins
// 1, 2, 2, 4 of centres 0.25, 0.75, 1.25, 1.75 with p = 1/5, 2/5, 0, 1/5.
//   pmed = (0.25·0.2 + 0.75·0.4 + 1.75·0.2) / 0.8 = 0.875, pmax = 0.75 (bin 2);
//   upward 0.2 + 0 + 0.2 passes 0.3415 at bin 4: errup = 1.75;
//   downward 0.2 + 0.2 passes it at bin 1: errdown = 0.25;
//   erel = 0.125·200 / 1.625 = 15.384615…
// Chi-square (bins of 1): 8 parameter samples (nsamp) with totals 2, 3, 5, 4, 7,
// 0.5 (below one bin: not kept), 9.5, 12.3 fill bins 3, 4, 6, 5, 8, 10, 13 with
// p = 1/8 each: chimedia = (2.5 + 3.5 + 4.5 + 5.5 + 7.5 + 9.5 + 12.5)/8 = 5.6875,
// chiprob = chimin = 2.5, degrees of freedom 20 − 2 = 18.
class HandMadeHistogram : public testing::Test {
 protected:
  void SetUp() override {
    run_ = fresh_run();
    zorvik::Run& r = *run_;
    RunSettings& s = r.settings;
    s.npar = 3;
    s.nfunc = 2;
    s.incgchi = 1.0;
    s.gparmode = 1;
    r.data.opfit(1) = 1;
    r.data.opfit(2) = 1;
    r.data.ndatin(1) = 12;
    r.data.ndatin(2) = 8;
    FitParameters& p = r.params;
    p.namepar(1) = "amp";
    p.namepar(2) = "offset";
    p.namepar(3) = "width";
    p.move(1) = 1.0;
    p.move(3) = 0.5;
    p.parmin(1) = 0.0;
    p.incgg(1) = 0.5;
    p.parmin(3) = 0.0;
    p.incgg(3) = 1.0;
    p.nfit = 2;

    sample(r, 1, 0.1, 2.0);
    sample(r, 1, 0.6, 3.0);
    sample(r, 1, 0.7, 5.0);
    sample(r, 1, 1.7, 4.0);
    sample(r, 1, 6000.0, 7.0);
    sample(r, 3, -5.0, 0.5);
    sample(r, 3, 20000.0, 9.5);
    sample(r, 3, 30000.0, 12.3);

    r.chain.parchimin(0) = 1.5;
    r.chain.parchimin(1) = 0.8;
    r.chain.parchimin(2) = 3.0;
    r.chain.parchimin(3) = 0.5;
    r.chain.chisq(0) = 3.25;
    r.chain.chisq(1) = 4.5;
    r.chain.chisq(2) = 2.0;
  }

  // A chi-square surface whose values at the bin centres are exact in binary,
  // recording the parameter vectors it is asked about.
  TotalChisqAt surface() {
    return [this](double* p) {
      calls_.push_back({p[1], p[2], p[3]});
      return 10.0 + p[1] * p[1] + p[2] + p[3];
    };
  }

  void run_cgpar() {
    Screen screen;
    cgpar(*run_, res_, screen.con, surface());
    console_ = screen.out.str();
  }

  ScratchDir dir_;
  std::unique_ptr<zorvik::Run> run_;
  DistributionResults res_;
  std::vector<std::vector<double>> calls_;
  std::string console_;
};

TEST_F(HandMadeHistogram, FilesConsoleAndResultsHaveTheirExactLayouts) {
  run_cgpar();

  const std::vector<std::string> console = {
      " ip  nameNchng         Pmed        Pmax     errdown       errup        erel",
      "",
      "  1 amp      5     0.875000    0.750000    0.250000    1.750000   15.384615",
      "  2 offse    0     0.000000    0.000000    0.000000    0.000000         NaN",
      " ERROR out of binning boxes: Nbins=10000",
      " Writing chisquare distribution in:Glk.dat",
      " media, highest prob. for chisq, and minimum chisq",
      "            5.687500            2.500000            2.500000",
      " media (evidence), and highest prob. for ln(likelihood)=-chisq/2",
      " -2.84375 -1.25",
  };
  EXPECT_EQ(lines_of(console_), console);

  // The empty bin 3 inside the filled range: p = 0 and a mean chi-square of 0/0.
  // Last column: 10 + x² + p2 + p3 with p2, p3 at their minimum-chi-square values.
  const std::vector<std::string> gp1 = {
      " #par  prob  chi  chimin",
      "    2.50000E-01    2.00000E-01    2.00000E+00    1.35625E+01",
      "    7.50000E-01    4.00000E-01    4.00000E+00    1.40625E+01",
      "    1.25000E+00    0.00000E+00            NaN    1.50625E+01",
      "    1.75000E+00    2.00000E-01    4.00000E+00    1.65625E+01",
  };
  EXPECT_EQ(lines_of(read_text("Gp1.dat")), gp1);
  EXPECT_FALSE(file_exists("Gp2.dat")) << "a fixed parameter has no distribution file";
  EXPECT_EQ(read_text("Gp3.dat"), " #par  prob  chi  chimin\n");

  const std::vector<std::string> glk = {
      "         #chisq           prob        loglike       redchisq       integral",
      "    2.500000E+00    1.250000E-01   -1.250000E+00    1.388889E-01    1.250000E-01",
      "    3.500000E+00    1.250000E-01   -1.750000E+00    1.944444E-01    2.500000E-01",
      "    4.500000E+00    1.250000E-01   -2.250000E+00    2.500000E-01    3.750000E-01",
      "    5.500000E+00    1.250000E-01   -2.750000E+00    3.055556E-01    5.000000E-01",
      "    7.500000E+00    1.250000E-01   -3.750000E+00    4.166667E-01    6.250000E-01",
      "    9.500000E+00    1.250000E-01   -4.750000E+00    5.277778E-01    7.500000E-01",
      "    1.250000E+01    1.250000E-01   -6.250000E+00    6.944444E-01    8.750000E-01",
  };
  EXPECT_EQ(lines_of(read_text("Glk.dat")), glk);

  const std::vector<std::string> parstat = {
      " #Nfunctions: 2",
      "  0        5.68750000E+00      3.25000000E+00  !averaged chisq (from gpar, last value)",
      "  1        4.50000000E+00",
      "  2        2.00000000E+00",
      "ParametNchang     Parminchisq           Media        highprob         errdown           errup"
      "            diff         reldiff",
      "amp         5   8.0000000E-01   8.7500000E-01   7.5000000E-01   2.5000000E-01   1.7500000E+00"
      "   1.2500000E-01   1.5384615E+01",
      "offse       0   3.0000000E+00   0.0000000E+00   0.0000000E+00   0.0000000E+00   0.0000000E+00"
      "   0.0000000E+00             NaN",
      "width       3   5.0000000E-01  -6.6666602E+02   0.0000000E+00   0.0000000E+00   0.0000000E+00"
      "  -6.6666602E+02   2.0000000E+02",
  };
  EXPECT_EQ(lines_of(read_text("parstat.dat")), parstat);

  // Results. Sums of fifths are not exact in binary: a few ulps of 1.
  constexpr double kRoundoff = 1e-14;
  EXPECT_NEAR(res_.pmed(1), 0.875, kRoundoff);
  EXPECT_EQ(res_.pmax(1), 0.75);
  EXPECT_EQ(res_.errdown(1), 0.25);
  EXPECT_EQ(res_.errup(1), 1.75);
  EXPECT_EQ(res_.pmed(2), 0.0);
  EXPECT_EQ(res_.pmed(3), -666.666015625);
  EXPECT_EQ(res_.chimedia, 5.6875);
  EXPECT_EQ(res_.chiprob, 2.5);
  EXPECT_EQ(res_.mlogev, 5.6875 / 2);
  EXPECT_TRUE(res_.pdfready);

  // The profile moves one parameter at a time from the minimum-chi-square point.
  ASSERT_EQ(calls_.size(), 4u);
  const double centres[] = {0.25, 0.75, 1.25, 1.75};
  for (size_t k = 0; k < 4; ++k) EXPECT_EQ(calls_[k], (std::vector<double>{centres[k], 3.0, 0.5}));
}

TEST_F(HandMadeHistogram, RunningTheCalculationTwiceGivesTheSameFilesAndValues) {
  run_cgpar();
  const std::string gp1 = read_text("Gp1.dat"), glk = read_text("Glk.dat"), stat = read_text("parstat.dat");
  const std::string console = console_;
  const double pmed = res_.pmed(1), mlogev = res_.mlogev, errup = res_.errup(1);
  run_cgpar();
  EXPECT_EQ(read_text("Gp1.dat"), gp1);
  EXPECT_EQ(read_text("Glk.dat"), glk);
  EXPECT_EQ(read_text("parstat.dat"), stat);
  EXPECT_EQ(console_, console);
  EXPECT_EQ(res_.pmed(1), pmed);
  EXPECT_EQ(res_.mlogev, mlogev);
  EXPECT_EQ(res_.errup(1), errup);
}

TEST_F(HandMadeHistogram, EqualHighestBinsGiveThePmaxOfTheLowerOne) {
  // One more sample in bin 4 makes it as full as bin 2.
  sample(*run_, 1, 1.6, 4.0);
  run_cgpar();
  EXPECT_EQ(res_.pmax(1), 0.75);
}

// The evidence values as the summary prints them: the number in columns 41 … 55
// of the record whose 40-column label ends with `label_end`.
double printed_value(const std::string& text, const std::string& label_end) {
  for (const std::string& l : lines_of(text))
    if (l.size() == 55 && l.substr(0, 40).ends_with(label_end)) return std::strtod(l.c_str() + 40, nullptr);
  ADD_FAILURE() << "no record ending in \"" << label_end << "\" in\n" << text;
  return std::nan("");
}

TEST_F(HandMadeHistogram, EvidenceSummaryOnTheConsoleGivesAicAndBicAtTheMinimumChisquare) {
  run_cgpar();
  Screen screen;
  show_evidence_summary(*run_, res_, screen.con);
  const std::string out = screen.out.str();

  const std::vector<std::string> head = {
      "        minim chisquare found:    1.50000E+00",
      "           name            par",
      "amp                8.00000E-01",
      "width              5.00000E-01",
      " *************************************************",
  };
  const std::vector<std::string> lines = lines_of(out);
  ASSERT_EQ(lines.size(), 10u) << out;
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 5), head);

  // Independent forms: chi-square minimum 1.5, k = 2 free parameters, N = 12 + 8
  // fitted points, <χ²> = 5.6875 from the hand-made histogram. The records carry
  // six significant digits: relative agreement to 5e-6.
  const double chimin = 1.5, k = 2.0, n = 20.0, chimean = 5.6875;
  constexpr double kSixDigits = 5e-6;
  auto near = [&](double expected, const std::string& label) {
    const double got = printed_value(out, label);
    EXPECT_NEAR(got, expected, kSixDigits * std::abs(expected)) << label;
  };
  near(chimean / 2, "-log(evidence)=:");
  near(chimin / 2, "-log(  Lmax  )=:");
  near(chimin + 2 * k, "AIC (-2ln Lmax + 2k):");
  near(chimin + k * std::log(n), "BIC (-2ln Lmax + k ln N):");
  near(chimean - chimin, "Bayesian complexity (<chisq>-chisq(<par>");
}

TEST_F(HandMadeHistogram, EvidenceSummaryIsAppendedToTheOutputFile) {
  run_cgpar();
  run_->data.nomout(0) = "fit.out";
  write_text("fit.out", "parameter file text\n");
  append_evidence_summary(*run_, res_);

  const std::string stars45 = " *********************************************";
  const std::vector<std::string> expected = {
      "parameter file text",
      stars45,
      " chisq1 chisq2 chisqTOT",
      " 4.5 2.0 3.25",
      stars45,
      " Parameters giving the minimum chisquare",
      " Minimum chisquare: 1.5",
      " par,minpar:  amp 0.8",
      " par,minpar:  offset 3.0",
      " par,minpar:  width 0.5",
      " *************************************************",
      "                        -log(evidence)=:    2.84375E+00",
      "                        -log(  Lmax  )=:    7.50000E-01",
      "     log(evidence) AIC (-2ln Lmax + 2k):    5.50000E+00",
      " log(evidence) BIC (-2ln Lmax + k ln N):    7.49146E+00",
      "Bayesian complexity (<chisq>-chisq(<par>    4.18750E+00",
      stars45,
      " N parameter  parmed parPmax",
      "  1  amp            8.750000E-01   7.500000E-01",
      "  2  offset         0.000000E+00   0.000000E+00",
      "  3  width         -6.666660E+02   0.000000E+00",
      stars45,
      stars45,
  };
  const std::string text = read_text("fit.out");
  // 1.5 + 2·ln 20 = 7.4914645…
  EXPECT_EQ(lines_of(text), expected);
}

TEST(Cgpar, WithoutSamplesGlkHoldsOnlyItsHeaderAndChiprobKeepsItsValue) {
  ScratchDir dir;
  auto run = one_free_parameter(1, 1);
  DistributionResults res;
  res.chiprob = 42.0;
  res.chimedia = 7.0;
  Screen screen;
  cgpar(*run, res, screen.con, flat);
  const std::string out = screen.out.str();

  EXPECT_EQ(lines_of(read_text("Glk.dat")).size(), 1u);
  EXPECT_EQ(res.chimedia, 0.0);
  EXPECT_EQ(res.mlogev, 0.0);
  EXPECT_EQ(res.chiprob, 42.0);
  EXPECT_NE(out.find("            0.000000           42.000000       666666.000000"), std::string::npos) << out;
  EXPECT_EQ(res.pmed(1), kNoSampleInRange);
}

// 2^22 samples of a Gaussian of mean 3 and sigma 0.5, binned at a fifth of
// sigma with the mean at the centre of bin 51.
TEST(Cgpar, RecoversTheMeanAndOneSigmaLimitsOfAGaussianSample) {
  ScratchDir dir;
  constexpr double mu = 3.0, sigma = 0.5, width = 0.1;
  constexpr int n = 1 << 22;
  auto run = fresh_run();
  zorvik::Run& r = *run;
  r.settings.npar = 1;
  r.settings.incgchi = 1.0;
  r.params.move(1) = 1.0;
  r.params.parmin(1) = mu - 50.5 * width;
  r.params.incgg(1) = width;
  std::mt19937 gen(20240611u);
  std::normal_distribution<double> gauss(mu, sigma);
  for (int k = 0; k < n; ++k) {
    const double v = gauss(gen);
    sample(r, 1, v, (v - mu) * (v - mu) / (sigma * sigma) + 1.0);
  }
  DistributionResults res;
  Screen screen;
  cgpar(r, res, screen.con, flat);

  // All samples lie within ±10 sigma, inside the 10000 bins.
  ASSERT_EQ(r.hist.ngpar(1), n);
  // The mean of the bin centres is unbiased for a distribution symmetric about
  // a bin centre; its Monte-Carlo standard error is sigma/sqrt(n) = 2.4e-4.
  // Five standard errors:
  const double mean_tolerance = 5 * sigma / std::sqrt(double(n));
  EXPECT_NEAR(res.pmed(1), mu, mean_tolerance);
  // The central bin holds about 2 % more than its neighbours (exp(-0.02)), while
  // the counts scatter by 1/sqrt(3.3e5) = 0.17 %: the fullest bin is the central
  // one, and pmax its centre (up to the rounding of the bin geometry).
  constexpr double kGeometryRoundoff = 1e-12;
  EXPECT_NEAR(res.pmax(1), mu, kGeometryRoundoff);
  // From the centre outward the probability reaches 0.3159 at 0.9 sigma and
  // 0.3643 at 1.1 sigma; the sampling scatter of these sums is 2.3e-4, so the
  // 0.3415 threshold is crossed in the bin centred at exactly one sigma.
  EXPECT_NEAR(res.errup(1), mu + sigma, kGeometryRoundoff);
  EXPECT_NEAR(res.errdown(1), mu - sigma, kGeometryRoundoff);

  // The chi-square (x − mu)²/sigma² + 1 has mean 2 under the posterior; bins of
  // 1 bias the mean of bin centres by less than half a bin, and counting only
  // values from one bin width up drops nothing (all are at least 1).
  EXPECT_NEAR(res.chimedia, 2.0, 0.5);
}

// The profile column through the program's own chi-square: a straight line
// a + b·x (the polynomial model, higher terms 0) against the points (0, 1),
// (1, 2), (2, 3) with unit sigmas. At a = 0.25 (the centre of bin 1) and the
// minimum-chi-square slope b = 1 every residual is 0.75: χ² = 3·0.5625 = 1.6875.
TEST(Cgpar, ProfileUsesTheChisquareRoutineAndLeavesTheChainStateAsItWas) {
  ScratchDir dir;
  auto run = fresh_run();
  zorvik::Run& r = *run;
  r.settings.npar = 10;
  r.settings.nfunc = 1;
  r.settings.nfitfunc = 1;
  r.settings.incgchi = 1.0;
  r.data.opfit(1) = 100;
  r.data.imin(1) = 1;
  r.data.ndatin(1) = 3;
  for (int j = 1; j <= 3; ++j) {
    r.data.xi(1, j) = j - 1;
    r.data.yi(1, j) = j;
    r.data.sigmae(1, j) = 1.0;
  }
  r.params.move(1) = 1.0;
  r.params.incgg(1) = 0.5;
  sample(r, 1, 0.2, 5.0);
  r.chain.parchimin(1) = 0.0;
  r.chain.parchimin(2) = 1.0;
  // The chain's current state, which the calculation must not disturb.
  for (int k = 1; k <= 10; ++k) r.params.par(k) = 100.0 + k;
  for (int k = 0; k <= kMaxFunc; ++k) r.chain.chisq(k) = -1.0 - k;

  auto ws = std::make_unique<ModelWorkspace>();
  DistributionResults res;
  Screen screen;
  cgpar(r, *ws, res, screen.con);

  const std::vector<std::string> gp1 = {
      " #par  prob  chi  chimin",
      "    2.50000E-01    1.00000E+00    5.00000E+00    1.68750E+00",
  };
  EXPECT_EQ(lines_of(read_text("Gp1.dat")), gp1);
  for (int k = 1; k <= 10; ++k) EXPECT_EQ(r.params.par(k), 100.0 + k) << k;
  for (int k = 0; k <= kMaxFunc; ++k) EXPECT_EQ(r.chain.chisq(k), -1.0 - k) << k;
}

TEST(OutputFolder, DistributionFilesGoIntoFoldersStartingWithTAndTheOthersIntoAnyFolder) {
  EXPECT_EQ(distribution_file_path(Name15("pelotudo"), 7), "Gp7.dat");
  EXPECT_EQ(distribution_file_path(Name15("t123"), 42), "t123/Gp42.dat");
  EXPECT_EQ(distribution_file_path(Name15("abcd"), 42), "Gp42.dat");
  EXPECT_EQ(folder_file_path(Name15("pelotudo"), "Glk.dat"), "Glk.dat");
  EXPECT_EQ(folder_file_path(Name15("abcd"), "Glk.dat"), "abcd/Glk.dat");
  // Only the first four characters of the folder enter a path.
  EXPECT_EQ(folder_file_path(Name15("t123.par"), "parstat.dat"), "t123/parstat.dat");
  EXPECT_EQ(distribution_file_path(Name15("t123.par"), 3), "t123/Gp3.dat");

  // The same rules through the calculation itself.
  for (const char* folder : {"t123", "abcd"}) {
    ScratchDir dir;
    ASSERT_EQ(std::system((std::string("mkdir ") + folder).c_str()), 0);
    auto run = one_free_parameter(1, 1);
    run->settings.folder = folder;
    sample(*run, 1, 0.5, 2.0);
    DistributionResults res;
    Screen screen;
    cgpar(*run, res, screen.con, flat);
    const std::string f = folder;
    const bool t = folder[0] == 't';
    EXPECT_EQ(file_exists(f + "/Gp1.dat"), t) << f;
    EXPECT_EQ(file_exists("Gp1.dat"), !t) << f;
    EXPECT_TRUE(file_exists(f + "/Glk.dat")) << f;
    EXPECT_TRUE(file_exists(f + "/parstat.dat")) << f;
    EXPECT_FALSE(file_exists("Glk.dat")) << f;
    EXPECT_NE(screen.out.str().find("Writing chisquare distribution in:" + f + "/Glk.dat"), std::string::npos);
  }
}

TEST(OutputFolder, TheHundredthParameterHasItsOwnFile) {
  ScratchDir dir;
  auto run = one_free_parameter(kMaxPar, kMaxPar);
  sample(*run, kMaxPar, 0.5, 2.0);
  DistributionResults res;
  Screen screen;
  cgpar(*run, res, screen.con, flat);
  EXPECT_TRUE(file_exists("Gp100.dat"));
  EXPECT_FALSE(file_exists("Gp**.dat"));
  EXPECT_EQ(lines_of(read_text("Gp100.dat")).size(), 2u);
}

}  // namespace
}  // namespace zorvik
