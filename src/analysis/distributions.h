// Parameter distributions and model evidence from the histograms of the chain.
//
// While the chain runs, every accepted one-parameter move adds the moved
// parameter's value to that parameter's histogram and the total chi-square to
// the chi-square histogram (`gparameter`, part of the chain step in
// sampler/histograms.h). The distribution calculation `cgpar`
// turns the histograms into probability tables (Gp<i>.dat per free parameter,
// Glk.dat for the chi-square), into the estimates of each parameter (mean, most
// probable value, one-sigma limits) and into the mean of the chi-square over the
// posterior, from which the evidence summary follows:
//
//   −log(evidence)        ≈ <χ²>/2             (the mean log-likelihood estimate)
//   −log(Lmax)            = χ²min/2
//   AIC                   = χ²min + 2k          (Akaike, IEEE Trans. Autom. Control 19, 716, 1974)
//   BIC                   = χ²min + k·ln N      (Schwarz, Ann. Stat. 6, 461, 1978)
//   Bayesian complexity   = |χ²min − <χ²>|      (Spiegelhalter et al., J. R. Stat. Soc. B 64, 583, 2002)
//
// with k the number of free parameters and N the number of fitted data points.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/console.h"
#include "core/distribution_results.h"
#include "core/distribution_tables.h"
#include "core/output_paths.h"
#include "core/run_tables.h"
#include "models/workspace.h"
#include "sampler/histograms.h"

namespace zorvik {

// The mark of a parameter none of whose samples fell in a bin: −666.666 stored
// in single precision (−666.666015625 as a double), the mark the result files
// have always carried.
inline constexpr double kNoSampleInRange = static_cast<double>(-666.666f);

// The one-sigma limits: the probability gathered from the centre of the fullest
// bin outward that ends the search on each side (0.3415, just above the 0.3413
// of a Gaussian's one-sigma half-interval).
inline constexpr double kOneSigmaMass = 0.3415;

// The total chi-square at the parameter vector p, with p[k] the value of
// parameter k (k = 1 … npar). It may write into p: the models' rules set derived
// values (the broken line's joined intercept).
using TotalChisqAt = std::function<double(double* p)>;

// The chi-square routine as such an evaluator: each call evaluates compara's
// mean chi-square at the chain's parameters with slots 1 … npar taken from p,
// and copies those slots back into p. The tables are only read (the evaluator
// keeps references to them); ws is the models' scratch.
TotalChisqAt compara_total(const RunSettings& settings, const FitFunctions& data, const FitParameters& params,
                           ModelWorkspace& ws);

// The distribution calculation from run.hist (the run is only read; res is
// usually run.dist): computes the rows of the Gp files and of Glk.dat, which
// output/distribution_files.h writes with parstat.dat, prints the table of
// estimates and the chi-square summary, and replaces the results (pdfready is
// set). The chi-square profile column of the
// Gp files is evaluated with chi_at at the minimum-chi-square parameters with
// the one parameter moved to each bin centre.
void cgpar(const Run& run, DistributionResults& res, Console& con, const TotalChisqAt& chi_at);
// The same with the chi-square routine of the program.
void cgpar(const Run& run, ModelWorkspace& ws, DistributionResults& res, Console& con);

// The "cgpar" step of the interpreter and of the end of the run: without
// histograms (gparmode 0) prints "Change par file to allow gpar calculation!!"
// and returns false; otherwise runs cgpar and returns true.
bool cgpar_if_enabled(const Run& run, ModelWorkspace& ws, DistributionResults& res, Console& con);

// The first step of the end of the run: each running sum chain.parmed(i) of the
// accepted values becomes their mean (divided by ncycles; left as it is when
// ncycles is 0).
void mean_accepted_values(const RunSettings& settings, ChainState& chain);

// ---- evidence summary ----------------------------------------------------------

// N of the BIC: the fit-range points of every fitted data set (opfit ≠ 0).
int fitted_point_count(const RunSettings& settings, const FitFunctions& data);

// The five values (core/distribution_tables.h) from parchimin(0), nfit, the
// fitted points and the results.
EvidenceValues evidence_values(const Run& run, const DistributionResults& res);

// The console form (command "showpmin"): the minimum chi-square, the free
// parameters there, and the five values.
void show_evidence_summary(const Run& run, const DistributionResults& res, Console& con);
// The end-of-run form goes to the run's output file: append_evidence_summary
// (output/distribution_files.h).

}  // namespace zorvik
