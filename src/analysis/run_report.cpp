#include "analysis/run_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/polish.h"
#include "models/catalogue.h"
#include "sampler/compara.h"
#include "sampler/proposal.h"

namespace zorvik {

namespace {

std::string figure(double v, const char* format = "%.4g") {
  char buf[48];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

ReportParameter parameter_of(const ChainStatRow& r, double best, bool pooled) {
  ReportParameter p;
  p.index = r.index;
  p.name = r.name;
  p.best = best;
  const DrawSummary& d = r.draws;
  p.mean = d.mean, p.sd = d.sd;
  p.q025 = d.q025, p.q16 = d.q16, p.q50 = d.q50, p.q84 = d.q84, p.q975 = d.q975;
  p.tau = r.tau, p.ess = r.ess;
  if (pooled) p.rhat = r.rhat;
  return p;
}

// The table's rows as parameters and the chi-square's row; best[k] is the
// value at the best state of the k-th parameter row (NaN when unknown), and
// best_chain_chisq the chain's own chi-square there (the mean over the sets).
void add_table(RunReport& rep, const ChainStatTable& t, const std::vector<double>& best, double best_chain_chisq) {
  rep.chains = t.chains;
  rep.burn_in = t.burn_in;
  rep.thinning = t.thinning;
  rep.steps = t.burn_in + t.retained_steps + t.shortened;
  for (const ChainStatRow& r : t.rows) {
    if (r.index == 0) {
      rep.chisq_row = parameter_of(r, best_chain_chisq, t.chains > 1);
      continue;
    }
    const size_t k = rep.parameters.size();
    rep.parameters.push_back(parameter_of(r, k < best.size() ? best[k] : std::nan(""), t.chains > 1));
  }
  rep.verdict = convergence_verdict(t);
}

void add_settings(RunReport& rep, const RunSettings& s) {
  rep.parameter_file = s.parfile.trimmed();
  if (s.seed > 0) rep.seed = s.seed;
  rep.proposal_mode = s.varpar;
  rep.proposal_name = proposal_name(s.varpar);
  rep.temperature = s.temp;
}

// Each fitted data set with its chi-square at the parameters par, the points
// that enter it (those with σ ≠ 0), the total and the information criteria of
// k moving parameters.
void add_data_sets(RunReport& rep, const Run& run, ModelWorkspace& ws, int k) {
  const FitFunctions& d = run.data;
  ParameterCopy par(run.params);
  double chisq[kMaxFunc + 1];
  compara_at(run.settings, d, par.v, ws, chisq);
  rep.best_chisq = 0.0;
  for (int i = 1; i <= run.settings.nfunc; ++i) {
    if (!is_fitted(d.opfit(i))) continue;
    ReportDataSet set{i, std::string(d.nomin(i).trimmed()), d.opfit(i), 0, chisq[i]};
    for (int j = d.imin(i); j < d.imin(i) + d.ndatin(i); ++j) set.points += d.sigmae(i, j) != 0.0 ? 1 : 0;
    rep.total_points += set.points;
    rep.best_chisq += set.chisq;
    rep.sets.push_back(set);
  }
  rep.aic = rep.best_chisq + 2.0 * k;
  rep.bic = rep.best_chisq + k * std::log(static_cast<double>(rep.total_points));
}

std::vector<double> free_values(const Run& run) {
  std::vector<double> v;
  for (int k = 1; k <= run.params.nfit; ++k) v.push_back(run.params.par(run.params.parfit(k)));
  return v;
}

}  // namespace

std::string convergence_verdict(const ChainStatTable& t) {
  const bool pooled = t.chains > 1;
  std::string failing;
  double min_ess = HUGE_VAL, max_tau = 0.0, max_rhat = 0.0;
  for (const ChainStatRow& r : t.rows) {
    if (r.index == 0) continue;
    min_ess = std::min(min_ess, r.ess);
    max_tau = std::max(max_tau, r.tau);
    max_rhat = std::max(max_rhat, r.rhat);
    const bool ok = pooled ? r.rhat <= kRhatLimit : static_cast<double>(t.retained_steps) >= kMinTausPerChain * r.tau;
    if (!ok) failing += (failing.empty() ? "" : ", ") + r.name;
  }
  if (t.rows.size() <= 1) return "no free parameter: there is no chain to judge";
  const std::string ess = (pooled ? "smallest bulk ESS " : "smallest ESS ") + figure(min_ess, "%.0f");
  if (pooled && failing.empty())
    return "the chains have mixed: every R-hat is at most 1.01 (largest " + figure(max_rhat, "%.4f") + ", " + ess + ")";
  if (pooled)
    return "run longer: R-hat is above 1.01 for " + failing + " (largest " + figure(max_rhat, "%.4f") +
           "): the chains have not mixed";
  if (failing.empty())
    return "converged by the rule of thumb: every parameter's chain is longer than 50 tau (" + ess + ")";
  return "run longer: the chain is shorter than 50 tau for " + failing + " (the longest tau, " + figure(max_tau) +
         " steps, asks for " + figure(kMinTausPerChain * max_tau, "%.0f") + " steps after the burn-in; " + ess + ")";
}

RunReport make_run_report(const Run& run, ModelWorkspace& ws, const ChainStatTable& table) {
  RunReport rep;
  add_settings(rep, run.settings);
  const int k = static_cast<int>(table.rows.size()) - 1;
  add_data_sets(rep, run, ws, k);
  // The table's rows follow parfit, as free_values does.
  const double sets = static_cast<double>(std::max<size_t>(rep.sets.size(), 1));
  add_table(rep, table, free_values(run), rep.best_chisq / sets);
  rep.optimum = polish_optimum(run, ws, free_values(run));
  return rep;
}

RunReport make_combined_report(const ChainStatTable& table, const std::string& parameter_file,
                               const std::vector<double>& lowest) {
  RunReport rep;
  rep.kind = "combine";
  rep.parameter_file = parameter_file;
  // The chains hold the chain's chi-square, not the data sets': the total is not known.
  rep.best_chisq = std::nan("");
  if (lowest.empty())
    add_table(rep, table, {}, std::nan(""));
  else
    add_table(rep, table, std::vector<double>(lowest.begin() + 1, lowest.end()), lowest[0]);
  return rep;
}

RunReport make_evidence_report(const Run& run, ModelWorkspace& ws, const EvidenceEstimate& e,
                               const ChainStatTable& rung) {
  RunReport rep;
  rep.kind = "evidence";
  add_settings(rep, run.settings);
  rep.temperature = 1.0;  // the ladder's last rung
  add_data_sets(rep, run, ws, run.params.nfit);
  const double sets = static_cast<double>(std::max<size_t>(rep.sets.size(), 1));
  add_table(rep, rung, free_values(run), rep.best_chisq / sets);
  const std::string rung_verdict = rep.verdict;
  rep.steps = e.steps;
  ReportEvidence ev{e.ti, e.error, {}, {}, {}};
  for (const LadderRung& r : e.rungs) {
    ev.beta.push_back(r.beta);
    ev.mean_ln_l.push_back(r.mean_lnl);
    ev.mean_ln_l_error.push_back(r.se_lnl);
  }
  rep.evidence = ev;
  rep.verdict = "the evidence from " + std::to_string(e.rungs.size()) + " rungs: ln Z = " + figure(e.ti, "%.6g") +
                " +- " + figure(e.error) + " (the Monte-Carlo error and the difference from the stepping-stone "
                "estimate, " + figure(e.stepping_stone, "%.6g") + "); the beta = 1 rung: " + rung_verdict;
  rep.optimum = polish_optimum(run, ws, free_values(run));
  return rep;
}

}  // namespace zorvik
