#include "analysis/report_folder.h"

#include <cmath>
#include <memory>

#include "analysis/predictive_band.h"
#include "analysis/run_report.h"
#include "core/output_paths.h"
#include "output/report_html.h"
#include "output/results_json.h"
#include "sampler/proposal.h"

namespace zorvik {

void write_report(RunReport report, const Run& run, ModelWorkspace& ws, const ChainRecorder& chain,
                  long long burn_in, bool figures, Console& con) {
  const std::string folder = report_folder_path(run.settings.folder);
  if (figures) {
    FigureInput in;
    in.burn_in = burn_in;
    const ParameterCopy best = best_state(run, chain);
    in.sets = predictive_bands(run, ws, chain, best, burn_in);
    if (chain.kept() > 0) in.chains.push_back(figure_chain(chain));
    write_report_folder(report, in, folder, con);
  }
  write_results_json(folder, report, con);
}

void write_current_report(const Run& run, ModelWorkspace& ws, const ChainRecorder& chain, Console& con) {
  const ChainStatTable t = whole_chain_statistics(chain, run.params, run.settings.burn_fraction);
  write_report(make_run_report(run, ws, t), run, ws, chain, t.burn_in, true, con);
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

void write_pooled_report(RunReport report, const std::vector<FigureChain>& chains, bool figures, Console& con) {
  const std::string folder = combined_report_folder_path();
  if (figures) {
    FigureInput in;
    in.chains = chains;
    write_report_folder(report, in, folder, con);
  }
  write_results_json(folder, report, con);
}

}  // namespace zorvik
