#include "analysis/distributions.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/output_paths.h"
#include "output/distribution_files.h"
#include "sampler/compara.h"

namespace zorvik {

// ---- the distribution calculation --------------------------------------------------

TotalChisqAt compara_total(const RunSettings& settings, const FitFunctions& data, const FitParameters& params,
                           ModelWorkspace& ws) {
  return [&settings, &data, &params, &ws](double* p) {
    const int npar = settings.npar;
    // The chain's parameter vector with p in slots 1 … npar: the slots above npar
    // hold what the models see in a step.
    ParameterCopy at(params);
    for (int k = 1; k <= npar; ++k) at.v[k] = p[k];
    double chisq[kMaxFunc + 1];
    compara_at(settings, data, at.v, ws, chisq);
    for (int k = 1; k <= npar; ++k) p[k] = at.v[k];  // a model may have written into it
    return chisq[0];
  };
}

namespace {

double bin_centre(double lo, double width, int j) { return lo + (j - 1 + 0.5) * width; }

// One free parameter: the rows of its Gp file and its estimates (the caller
// prints the row).
void parameter_distribution(const Run& run, DistributionResults& res, const TotalChisqAt& chi_at, int i) {
  const RunSettings& s = run.settings;
  const FitParameters& fp = run.params;
  const HistogramStore& h = run.hist;
  const int npar = s.npar;
  const double parmin = fp.parmin(i), width = fp.incgg(i);
  // Bins outside 1 … kMaxBins are never filled; the clamp only guards a store that
  // was not cleared before sampling (whose lowest-bin mark would be 0).
  const int n = h.ngpar(i), lo = std::max(h.minigpar(i), 1), hi = std::min(h.maxigpar(i), kMaxBins);
  const int* g = h.gpar.row(i);
  const double* cp = h.chipar.row(i);
  // A parameter with no sample has no filled bin (lo > hi), so n is never 0 below.
  auto prob = [n](int count) { return static_cast<double>(count) / n; };

  // The chi-square profile: every other parameter at its minimum-chi-square value.
  double parcall[kMaxPar + 1];
  for (int k = 1; k <= npar; ++k) parcall[k] = run.chain.parchimin(k);

  std::vector<DistributionRow> rows;
  rows.reserve(static_cast<std::size_t>(std::max(hi - lo + 1, 0)));
  double sum = 0.0, best = 0.0, pmed = 0.0;
  int jmax = 1;
  for (int j = lo; j <= hi; ++j) {
    const double x = bin_centre(parmin, width, j);
    const double p = prob(g[j]);
    sum += p;
    parcall[i] = x;
    const double chic = chi_at(parcall);
    // An empty bin inside the filled range has the mean chi-square 0/0.
    rows.push_back({x, p, cp[j] / g[j], chic});
    pmed += x * p;
    if (p > best) {  // strict: of equally full bins the lowest wins
      best = p;
      jmax = j;
      res.pmax(i) = x;
    }
  }
  write_distribution(distribution_path(s.folder, i), rows);
  res.pmed(i) = sum != 0.0 ? pmed / sum : kNoSampleInRange;

  // One-sigma limits: gather probability from the centre of the fullest bin
  // outward until it exceeds kOneSigmaMass. A side on which it never does keeps
  // the centre of the outermost filled bin; without any filled bin both limits
  // are the (zero) most probable value.
  if (lo > hi) {
    res.errdown(i) = res.errup(i) = res.pmax(i);
    return;
  }
  const double half = 0.5 * prob(g[jmax]);
  res.errup(i) = bin_centre(parmin, width, hi);
  double c = half;
  for (int j = jmax + 1; j <= hi; ++j) {
    c += prob(g[j]);
    if (c > kOneSigmaMass) {
      res.errup(i) = bin_centre(parmin, width, j);
      break;
    }
  }
  res.errdown(i) = bin_centre(parmin, width, lo);
  c = half;
  for (int j = jmax - 1; j >= lo; --j) {
    c += prob(g[j]);
    if (c > kOneSigmaMass) {
      res.errdown(i) = bin_centre(parmin, width, j);
      break;
    }
  }
}

// The chi-square distribution: the rows of Glk.dat, its console summary and the
// evidence values of the results.
void chisq_distribution(const Run& run, DistributionResults& res, Console& con, long long nsamp, int ntot,
                        int nfree) {
  const RunSettings& s = run.settings;
  const HistogramStore& h = run.hist;
  const std::string path = likelihood_distribution_path(s.folder);
  con.line("Writing chisquare distribution in:", path);
  std::vector<ChisqRow> rows;

  const int dof = ntot - nfree;
  double chimedia = 0.0, lnl = 0.0, best = 0.0, cum = 0.0, chimin = 666666.0;
  const int* g = h.gchi.base();
  const int jlast = std::min(h.maxigchi, kMaxBins);
  for (int j = 1; j <= jlast; ++j) {
    const double x = (j - 1 + 0.5) * s.incgchi;
    // Without parameter samples there is nothing to normalise by; no bin then counts.
    const double p = nsamp > 0 ? static_cast<double>(g[j]) / static_cast<double>(nsamp) : 0.0;
    cum += p;
    if (p > 0.0) {
      rows.push_back({x, p, -0.5 * x, x / dof, cum});
      chimedia += p * x;
      lnl -= 0.5 * p * x;
      chimin = std::min(chimin, x);
    }
    if (p > best) {
      best = p;
      res.chiprob = x;
    }
  }
  con.line("media, highest prob. for chisq, and minimum chisq");
  con.record("(3f20.6)", chimedia, res.chiprob, chimin);
  con.line("media (evidence), and highest prob. for ln(likelihood)=-chisq/2");
  con.line(-0.5 * chimedia, -0.5 * res.chiprob);
  write_likelihood_distribution(path, rows);
  res.chimedia = chimedia;
  res.mlogev = -lnl;
}

}  // namespace

void cgpar(const Run& run, DistributionResults& res, Console& con, const TotalChisqAt& chi_at) {
  const RunSettings& s = run.settings;
  const FitParameters& fp = run.params;
  const FitFunctions& d = run.data;
  const int npar = s.npar;
  check_index("pmed", 1, 0, kMaxPar, npar);
  check_index("opfit", 1, 0, kMaxFunc, s.nfunc);

  const int ntot = fitted_point_count(s, d);
  long long nsamp = 0;
  int nfree = 0;
  for (int i = 1; i <= npar; ++i) {
    res.pmed(i) = 0.0;
    res.pmax(i) = 0.0;
    nsamp += run.hist.ngpar(i);
    if (fp.move(i) > 0.0) ++nfree;
  }
  con.record("(a3,1x,a5,a5,1x,6a12)", "ip", "name", "Nchng", "Pmed", "Pmax", "errdown", "errup", "erel");
  con.empty_line();

  for (int i = 1; i <= npar; ++i) {
    if (fp.move(i) != 0.0) {
      parameter_distribution(run, res, chi_at, i);
    } else {
      // A fixed parameter has no distribution: everything stays at zero.
      res.errdown(i) = res.errup(i) = 0.0;
    }
    const double pmed = res.pmed(i), pmax = res.pmax(i);
    if (pmed != kNoSampleInRange) {
      con.record("(i3,1x,a5,i5,1x,6f12.6)", i, fp.namepar(i), run.hist.ngpar(i), pmed, pmax, res.errdown(i),
                 res.errup(i), relative_difference(pmed, pmax));
    } else {
      con.line("ERROR out of binning boxes: Nbins=" + std::to_string(kMaxBins));
    }
  }

  chisq_distribution(run, res, con, nsamp, ntot, nfree);
  write_parstat(parstat_path(s.folder), run, res);
  res.pdfready = true;
}

void cgpar(const Run& run, ModelWorkspace& ws, DistributionResults& res, Console& con) {
  cgpar(run, res, con, compara_total(run.settings, run.data, run.params, ws));
}

bool cgpar_if_enabled(const Run& run, ModelWorkspace& ws, DistributionResults& res, Console& con) {
  if (run.settings.gparmode == 0) {
    con.line("Change par file to allow gpar calculation!!");
    return false;
  }
  cgpar(run, ws, res, con);
  return true;
}

void mean_accepted_values(const RunSettings& settings, ChainState& chain) {
  const int ncycles = settings.ncycles;
  if (ncycles != 0) {
    for (int i = 1; i <= settings.npar; ++i) chain.parmed(i) /= ncycles;
  }
}

// ---- evidence summary ------------------------------------------------------------

int fitted_point_count(const RunSettings& settings, const FitFunctions& data) {
  int n = 0;
  for (int k = 1; k <= settings.nfunc; ++k)
    if (data.opfit(k) != 0) n += data.ndatin(k);
  return n;
}

EvidenceValues evidence_values(const Run& run, const DistributionResults& res) {
  const double chimin = run.chain.parchimin(0);
  const double k = run.params.nfit;
  const int n = fitted_point_count(run.settings, run.data);
  EvidenceValues v{};
  v.mlogev = res.mlogev;
  v.mloglmax = chimin / 2.0;
  v.aic = chimin + 2.0 * k;
  v.bic = n > 0 ? chimin + k * std::log(static_cast<double>(n)) : std::nan("");
  v.complexity = 2.0 * std::abs(chimin / 2.0 - res.mlogev);
  return v;
}

namespace {
constexpr const char* kStars49 = "*************************************************";
}  // namespace

void show_evidence_summary(const Run& run, const DistributionResults& res, Console& con) {
  const FitParameters& fp = run.params;
  con.record("(a30,es15.5)", "minim chisquare found:", run.chain.parchimin(0));
  con.record("(2a15)", "name", "par");
  for (int i = 1; i <= run.settings.npar; ++i)
    if (fp.move(i) != 0.0) con.record("(a15,es15.5)", fp.namepar(i), run.chain.parchimin(i));
  con.line(kStars49);
  evidence_records(evidence_values(run, res),
                   [&con](const char* label, double value) { con.record("(a40,es15.5)", label, value); });
}

}  // namespace zorvik
