#include "analysis/report_folder.h"

#include <cmath>
#include <memory>

#include "analysis/predictive_band.h"
#include "core/output_paths.h"
#include "output/report_html.h"
#include "sampler/proposal.h"

namespace zorvik {

namespace {

// ---- provisional summary --------------------------------------------------------------
// A minimal RunReport from the whole-chain table, until the full summary of the
// run (settings, polished optimum, verdict) fills it.

ReportParameter report_row(const ChainStatRow& r, double best) {
  ReportParameter p;
  p.index = r.index;
  p.name = r.name;
  p.best = best;
  p.mean = r.draws.mean, p.sd = r.draws.sd;
  p.q025 = r.draws.q025, p.q16 = r.draws.q16, p.q50 = r.draws.q50, p.q84 = r.draws.q84, p.q975 = r.draws.q975;
  p.tau = r.tau, p.ess = r.ess;
  if (r.rhat > 0.0) p.rhat = r.rhat;
  return p;
}

// The table's rows with the best state (best[j]: column j, 0 the chi-square)
// and a verdict from the rule of thumb: at least 50 τ of retained chain.
void fill_from_table(RunReport& r, const ChainStatTable& t, const std::vector<double>& best) {
  r.chains = t.chains;
  r.steps = t.retained_steps + t.burn_in;
  r.burn_in = t.burn_in, r.thinning = t.thinning;
  std::string short_chains;
  for (size_t j = 0; j < t.rows.size(); ++j) {
    const ChainStatRow& row = t.rows[j];
    const double b = row.index == 0 ? best[0] : best[std::min(j + 1, best.size() - 1)];
    if (row.index == 0)
      r.chisq_row = report_row(row, b);
    else
      r.parameters.push_back(report_row(row, b));
    if (row.index != 0 && static_cast<double>(t.retained_steps) < 50.0 * row.tau) short_chains += " " + row.name;
  }
  r.verdict = short_chains.empty() ? "Every free parameter's retained chain is longer than 50 autocorrelation times."
                                   : "The chain is shorter than 50 autocorrelation times for:" + short_chains +
                                         " (run longer before trusting the figures).";
}

RunReport provisional_run_report(const Run& run, const ChainStatTable& t, const std::vector<FigureSet>& sets,
                                 const ParameterCopy& best_par) {
  RunReport r;
  r.parameter_file = run.settings.parfile.str();
  r.parameter_file.erase(r.parameter_file.find_last_not_of(' ') + 1);
  if (run.settings.seed > 0) r.seed = run.settings.seed;
  r.proposal_mode = run.settings.varpar;
  r.proposal_name = proposal_name(run.settings.varpar);
  r.temperature = run.settings.temp;
  std::vector<double> best{best_par.v[0]};
  for (const ChainStatRow& row : t.rows)
    if (row.index > 0) best.push_back(best_par.v[row.index]);
  fill_from_table(r, t, best);
  r.best_chisq = best_par.v[0];
  double total = 0.0;
  for (const FigureSet& f : sets) {
    ReportDataSet s{f.number, f.file, f.model, 0, 0.0};
    for (size_t k = 0; k < f.x.size(); ++k)
      if (f.sigma[k] > 0.0) ++s.points, s.chisq += std::pow((f.y[k] - f.best[k]) / f.sigma[k], 2);
    r.total_points += s.points;
    total += s.chisq;
    r.sets.push_back(s);
  }
  const double k = static_cast<double>(r.parameters.size());
  r.aic = total + 2.0 * k;
  r.bic = total + k * std::log(std::max(1, r.total_points));
  return r;
}

}  // namespace

void write_run_report(const Run& run, ModelWorkspace& ws, const ChainRecorder& chain, Console& con,
                      const std::optional<ReportEvidence>& evidence, const ChainStatTable* table) {
  const ChainStatTable t =
      table ? *table : whole_chain_statistics(chain, run.params, evidence ? 0.0 : run.settings.burn_fraction);
  FigureInput in;
  in.burn_in = t.burn_in;
  const ParameterCopy best = best_state(run, chain);
  in.sets = predictive_bands(run, ws, chain, best, t.burn_in);
  if (chain.kept() > 0) in.chains.push_back(figure_chain(chain));
  RunReport r = provisional_run_report(run, t, in.sets, best);
  if (evidence) r.kind = "evidence", r.evidence = evidence;
  write_report_folder(std::move(r), in, report_folder_path(run.settings.folder), con);
}

LadderSink last_rung_recorder(ChainRecorder& chain) {
  auto rung_of_chain = std::make_shared<int>(-1);
  return [&chain, rung_of_chain](const Run& run, int rung) {
    if (rung != *rung_of_chain) {
      chain.reset();
      chain.begin_run(run.params, run.settings.ncycles);
      *rung_of_chain = rung;
    }
    chain.record(run.params.par.base(), run.chain.chisq(0));
  };
}

ReportEvidence report_evidence(const EvidenceEstimate& e) {
  ReportEvidence r;
  r.ln_z = e.ti;
  r.error = e.error;
  for (const LadderRung& g : e.rungs) {
    r.beta.push_back(g.beta);
    r.mean_ln_l.push_back(g.mean_lnl);
    r.mean_ln_l_error.push_back(g.se_lnl);
  }
  return r;
}

void write_pooled_report(const ChainStatTable& t, const std::vector<FigureChain>& chains, Console& con) {
  RunReport r;
  r.kind = "combine";
  r.parameter_file = "pooled chains";
  // The best state: the pooled state of the lowest chi-square.
  std::vector<double> best;
  double lowest = INFINITY;
  for (const FigureChain& c : chains)
    for (size_t k = 0; k < c.step.size(); ++k)
      if (c.columns[0][k] < lowest) {
        lowest = c.columns[0][k];
        best.clear();
        for (const auto& col : c.columns) best.push_back(col[k]);
      }
  if (best.empty()) return;
  fill_from_table(r, t, best);
  r.best_chisq = lowest;
  FigureInput in;
  in.chains = chains;
  write_report_folder(std::move(r), in, combined_report_folder_path(), con);
}

}  // namespace zorvik
