// The summary of one run (or of pooled chains, or of an evidence ladder) that
// the report folder is written from: report/results.json for programs and the
// figures and report/index.html for people. Plain data, filled in by the
// analysis after the run and read by the writers; nothing here computes.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zorvik {

// One free parameter over the retained whole chain (after the burn-in).
struct ReportParameter {
  int index = 0;        // the parameter's number in the parameter file
  std::string name;     // as the parameter file spells it
  double best = 0.0;    // at the best state the chain found
  double mean = 0.0, sd = 0.0;
  double q025 = 0.0, q16 = 0.0, q50 = 0.0, q84 = 0.0, q975 = 0.0;
  double tau = 0.0, ess = 0.0;
  std::optional<double> rhat;  // pooled chains only
};

// One fitted data set at the best state.
struct ReportDataSet {
  int number = 0;        // 1 … nfunc
  std::string file;      // the data file's name as the parameter file gives it
  int model = 0;         // the catalogue number
  int points = 0;        // points that enter the chi-square
  double chisq = 0.0;    // at the best state
};

// The best state polished by a local optimizer inside the limits.
struct ReportOptimum {
  std::string method;              // e.g. "Levenberg-Marquardt"
  std::vector<double> values;      // one per free parameter, in ReportParameter order
  double chisq = 0.0;
  long long evaluations = 0;
  bool converged = false;
  std::string note;                // why it stopped, in words
};

// The evidence where it was computed (the thermodynamic ladder).
struct ReportEvidence {
  double ln_z = 0.0, error = 0.0;
  std::vector<double> beta, mean_ln_l, mean_ln_l_error;  // the ladder's rungs
};

struct RunReport {
  // What was run.
  std::string kind = "run";        // "run", "combine" or "evidence"
  std::string parameter_file;
  std::optional<long long> seed;   // when given
  long long steps = 0, burn_in = 0, thinning = 1;
  int chains = 1;
  int proposal_mode = 0;           // varpar
  std::string proposal_name;
  double temperature = 1.0;

  std::vector<ReportParameter> parameters;  // free parameters, file order
  // The chi-square's own row of the table (the chain's chi-square, the mean
  // over the fitted data sets; its `best` that of the best state).
  std::optional<ReportParameter> chisq_row;
  double best_chisq = 0.0;         // the total over the data sets at the best state (NaN: not known)
  std::vector<ReportDataSet> sets;
  int total_points = 0;
  double aic = 0.0, bic = 0.0;     // from the best state's chi-square
  std::optional<ReportOptimum> optimum;
  std::optional<ReportEvidence> evidence;

  // The convergence verdict in words (ESS and tau against the rule of thumb).
  std::string verdict;
  // Files of the report folder, relative to it (figures, scripts, data).
  std::vector<std::string> figures;
};

}  // namespace zorvik
