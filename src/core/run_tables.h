// The run-wide tables, one struct per family, gathered in one Run owned by main.
// Indices keep the system's ranges: data sets 1 … 20, points 1 … 5000, the
// centred resolution −5000 … 5000, parameters 1 … 100.
#pragma once

#include <cstdint>
#include <string>

#include "core/capacity.h"
#include "core/distribution_results.h"
#include "core/fixed_string.h"
#include "core/table.h"

namespace zorvik {

using Name40 = FileName<40>;  // file names: never cut
using FileName15 = FileName<15>;
using Name15 = Fixed<15>;
using Word3 = Fixed<3>;

// The output folder when none is in use.
inline constexpr const char* kNoFolder = "pelotudo";

// The directory part of a path in the output folder: the folder's first four
// characters, without the blanks of a shorter name (as mkdir created it).
inline std::string folder_dir(const Fixed<15>& folder) {
  std::string d = folder.first(4);
  while (!d.empty() && d.back() == ' ') d.pop_back();
  return d;
}

// Scalar settings of the parameter file, and the run's names.
// The parameter file's varpar: which proposal moves the parameters (read and
// written back as the integer; a value not listed here moves none).
enum ProposalMode : int { kOneParameter = 0, kAllParameters = 1, kAdaptive = 3, kEnsemble = 4 };

struct RunSettings {
  Name15 title;
  int interactive = 0;  // 0 batch, 1 dialog, 2 batch + convergence stop, 3 dialog + stop
  int plt = 0;          // 0 read existing plot scripts, 1 write them
  int nfunc = 0;        // data-set slots in use
  int nfitfunc = 0;     // derived: data sets with a model (opfit not 0)
  Name40 chifile;       // chi-square trace file
  double temp = 0.0;    // chain temperature
  int npar = 0;
  int ncycles = 0;
  int nwrite = 0;
  int varpar = 0;       // the proposal, a ProposalMode (any other value moves nothing)
  int gparmode = 0;     // histogram option ("gpar")
  double incgpar = 0.0, incgchi = 0.0, notused = 0.0;
  int annealing = 0;
  int step = 0;
  double Tin = 0.0, Tfn = 0.0, incT = 0.0;
  double convfactor = 0.0;
  double sigma_ratio = 0.0;  // derived, echoed only

  double burn_fraction = 0.2;  // --burn F
  long long seed = -1;         // --seed N (negative: the usual seed)
  std::string checkpoint;      // --checkpoint FILE (or --resume FILE): empty without

  Name40 parfile;            // the parameter file of the run
  // When not empty, the text that the reading takes as the parameter file's
  // instead of reading parfile (a resumed run reads the text saved in its
  // checkpoint: the file itself has been rewritten by the run).
  std::string parfile_text;
  Name15 folder = kNoFolder; // output folder
  Word3 plotaxes = "nn";     // axis mode of the plot scripts
  int printmode = 0;
};

// The data-set slots: what the parameter file names, and the data read.
struct FitFunctions {
  Table<Name40, 1, kMaxFunc> nomin{"nomin"};
  Table<Word3, 1, kMaxFunc> fileop{"fileop"};
  Table<int, 0, kMaxFunc> ninterp{"ninterp"};
  Table<Name40, 0, kMaxFunc> nomout{"nomout"};  // slot 0: the run's output file
  Table<double, 1, kMaxFunc> kin{"kin"}, kfin{"kfin"};
  Table<int, 1, kMaxFunc> opfit{"opfit"};
  Table<FileName15, 1, kMaxFunc> nameconv{"nameconv"};
  Table<double, 1, kMaxFunc> xmaxconv{"xmaxconv"}, zeroconv{"zeroconv"};
  // The line of the parameter file that defined data set i (for messages).
  Table<int, 1, kMaxFunc> parline{"parline"};

  Table2<double, 1, kMaxFunc, 1, kMaxPoints> xi{"xi"}, yi{"yi"};
  Table2<double, 1, kMaxFunc, 0, kMaxPoints> sigmae{"sigmae"};  // slot 0: the error option
  Table2<double, 1, kMaxFunc, -kMaxConvHalf, kMaxConvHalf> mi{"mi"}, xc{"xc"};
  Table<int, 1, kMaxFunc> imin{"imin"}, ndatin{"ndatin"}, imaxconv{"imaxconv"}, iiniconv{"iiniconv"};
  Table<double, 1, kMaxFunc> sigmamed{"sigmamed"};
  Table2<double, 1, kMaxFunc, 1, kMaxZ> z{"z"};
  int nz = 0;
  // 1 once the data reader has replaced x, y, kin and kfin by their decimal
  // logarithms (whole-curve dielectric models); the parameter-file writer then
  // writes the range back in the units of the data file.
  Table<int, 1, kMaxFunc> logrange{"logrange"};
  // 1 when every point of the fit range has a positive sigma (set once the data
  // are read and interpolated): the chi-square then needs no per-point test of
  // the statistics. 0 means "not known" and is always safe.
  Table<int, 1, kMaxFunc> gaussian_only{"gaussian_only"};
};

// The parameter slots and the relations between parameters.
// The step kinds of the parameter file: "n" additive, "a" additive with
// adaptation, "al" the same with its step kept between 1 % and 50 % of the
// value, "p" proportional, "l" logarithmic (a factor 10^d); any other text
// leaves the parameter unmoved.
enum class StepKind { Normal, Adaptive, AdaptiveLog, Proportional, Logarithmic, Unmoved };

inline StepKind step_kind(const Word3& w) {
  if (w[2] != ' ') return StepKind::Unmoved;
  if (w[1] == ' ') {
    switch (w[0]) {
      case 'n': return StepKind::Normal;
      case 'a': return StepKind::Adaptive;
      case 'p': return StepKind::Proportional;
      case 'l': return StepKind::Logarithmic;
      default: return StepKind::Unmoved;
    }
  }
  return w[0] == 'a' && w[1] == 'l' ? StepKind::AdaptiveLog : StepKind::Unmoved;
}

struct FitParameters {
  Table<Name15, 1, kMaxPar> namepar{"namepar"};
  Table<Word3, 1, kMaxPar> logpar{"logpar"};
  Table<double, 1, kMaxPar> par{"par"}, move{"move"}, parmin{"parmin"}, parmax{"parmax"}, incgg{"incgg"};
  Table<int, 1, kMaxPar> orden{"orden"}, parfit{"parfit"};
  int nfit = 0;

  int ngroups = 0;
  Table<int, 1, kMaxGroups> ign{"ign"};
  Table2<int, 1, kMaxGroups, 1, kMaxMembers> parig{"parig"};

  int nrel = 0;
  Table2<int, 1, kMaxRel, 1, 2> parrel{"parrel"};

  int ncont = 0;
  Table2<int, 1, kMaxCont, 1, 2> contpar{"contpar"};
  Table<Name40, 1, kMaxCont> namecont{"namecont"};
  Table<double, 1, kMaxCont> ctminx{"ctminx"}, ctmaxx{"ctmaxx"}, ctminy{"ctminy"}, ctmaxy{"ctmaxy"},
      ctdx{"ctdx"}, ctdy{"ctdy"};

  int npeaks = 0;
  Table<int, 1, kMaxPeaks> nparpeak{"nparpeak"};
  Table2<int, 1, kMaxPeaks, 1, kMaxPeakEntries> parpeak{"parpeak"};
  Table2<double, 1, kMaxPeaks, 1, kMaxPeakEntries> valpeak{"valpeak"};

  StepKind kind(int i) const { return step_kind(logpar(i)); }
};

// A copy of the parameter vector, slots 0 … kMaxPar, for evaluating the models
// without touching the chain's (a model's rule may set derived values in what it
// is given: the broken line's joined intercept).
struct ParameterCopy {
  explicit ParameterCopy(const FitParameters& p) {
    const double* par = p.par.base();
    for (int k = 0; k <= kMaxPar; ++k) v[k] = par[k];
  }
  double v[kMaxPar + 1];
};

// Step outcomes.
inline constexpr int kNoChange = 0;  // no change, or rejected
inline constexpr int kChiDown = 1;   // the chi-square went down
inline constexpr int kChiUp = 2;     // the chi-square went up and the step was accepted

// The mark in parchimin(0) before anything has been recorded since the
// parameter file was read, and the chi-square a downhill step must go below to
// become the first recorded minimum.
inline constexpr double kNoMinimum = 1.0e10;
// The chi-square of the "previous write interval" before the first one after a
// reading of the parameter file: so large that the convergence test cannot fire.
inline constexpr double kNoPreviousChisq = 1.0e10;

// State of the chain that lives across runs.
struct ChainState {
  Table<double, 0, kMaxFunc> chisq{"chisq"};
  Table<double, 0, kMaxPar> parchimin{"parchimin"};
  // parchimin holds the start of a run, standing in while no step has lowered
  // the chi-square since the parameter file was read: the chain then only rose
  // or stayed, so the lowest chi-square it has seen is that of a run's start.
  bool minimum_is_start = false;
  Table2<int, 0, 2, 1, kMaxPar> npardown{"npardown"};
  Table<double, 1, kMaxPar> paracc{"paracc"};
  Table<double, 1, kMaxPar> parmed{"parmed"};
  Table<int, 1, 3> stepcount{"stepcount"};
  double chiprev = kNoPreviousChisq;
  int stepresult = kNoChange;
  int ipchanged = 0;  // parameter moved by the last one-parameter step; 0 before any
  std::int64_t icycle = 0;  // the step counter, 64 bits so that ncycles = 2^31 − 1 ends
  int nintemp = 1;    // write intervals spent at the current temperature
  float t1 = 0.0f, t2 = 0.0f, trun = 0.0f;  // CPU seconds, single precision as in the estimate

  // The state before the step being scored, kept here so that a step allocates nothing.
  Table<double, 1, kMaxPar> parold{"parold"};
  Table<double, 0, kMaxFunc> chisqold{"chisqold"};

  // Keeps the state before a step (par[1 … npar] and the chi-squares), and
  // returns to it when the step is rejected.
  // Unchecked access: these run once per chain step.
  void keep_old(const double* par, int npar) {
    double* old = parold.base();
    const double* c = chisq.base();
    double* cold = chisqold.base();
    for (int i = 1; i <= npar; ++i) old[i] = par[i];
    for (int k = 0; k <= kMaxFunc; ++k) cold[k] = c[k];
  }
  void back_to_old(double* par, int npar) {
    const double* old = parold.base();
    double* c = chisq.base();
    const double* cold = chisqold.base();
    for (int i = 1; i <= npar; ++i) par[i] = old[i];
    for (int k = 0; k <= kMaxFunc; ++k) c[k] = cold[k];
  }

  // Whether parchimin holds a state (the best one found, or a run's start).
  bool has_minimum() const { return minimum_is_start || parchimin(0) < kNoMinimum; }
  // The chi-square below which a downhill step becomes the best state. A start
  // standing in does not raise the bar, so a chain that goes downhill records
  // exactly the minimum it always did.
  double downhill_bound() const { return minimum_is_start ? kNoMinimum : parchimin(0); }
  // Forgets the minimum (every reading of the parameter file).
  void forget_minimum() {
    parchimin(0) = kNoMinimum;
    minimum_is_start = false;
  }
  // Records the state a run starts from (chisq evaluated at par) while no step
  // has lowered the chi-square, when it is the lowest start so far.
  void note_run_start(const double* par, int npar) {
    if (minimum_is_start ? !(chisq(0) < parchimin(0)) : parchimin(0) < kNoMinimum) return;
    parchimin(0) = chisq(0);
    for (int i = 1; i <= npar; ++i) parchimin(i) = par[i];
    minimum_is_start = true;
  }
};

// The lowest filled bin of a distribution with none yet: above every bin.
inline constexpr int kNoFilledBin = 1000000;

// Histograms of accepted values (parameter distributions and chi-square).
struct HistogramStore {
  Table<int, 0, kMaxPar> ngpar{"ngpar"}, maxigpar{"maxigpar"}, minigpar{"minigpar", kNoFilledBin};
  Table2<int, 1, kMaxPar, 1, kMaxBins> gpar{"gpar"};
  Table2<double, 1, kMaxPar, 1, kMaxBins> chipar{"chipar"};
  Table<int, 1, kMaxBins> gchi{"gchi"};
  int maxigchi = 0;
};

struct Run {
  RunSettings settings;
  FitFunctions data;
  FitParameters params;
  ChainState chain;
  HistogramStore hist;
  DistributionResults dist;
};

}  // namespace zorvik
