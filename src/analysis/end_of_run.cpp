#include "analysis/end_of_run.h"

#include "analysis/contours.h"
#include "analysis/distributions.h"
#include "analysis/whole_chain.h"
#include "core/errors.h"
#include "core/interrupt.h"
#include "core/output_paths.h"
#include "output/distribution_files.h"
#include "output/param_file_writer.h"
#include "output/result_files.h"
#include "sampler/compara.h"

namespace zorvik {

void end_of_run(Run& run, ModelWorkspace& ws, Console& con) {
  const RunSettings& s = run.settings;
  ChainState& ch = run.chain;

  // Means of the accepted values, then the distributions.
  mean_accepted_values(s, ch);
  cgpar_if_enabled(run, ws, run.dist, con);

  // The contour requests of the parameter file; after a dialog run (interactive
  // 1) they are left to the command "cc".
  if (s.interactive != 1)
    for (int k = 1; k <= run.params.ncont; ++k) {
      con.record("(a22,1x,i2,1x,a20)", "Calculando contorno:", k, run.params.namecont(k));
      contorn(k, s, run.data, run.params, ch, ws, con);
    }

  // The best state found becomes the result (in a chain in which no step lowered
  // the chi-square, the lowest start).
  if (ch.has_minimum())
    for (int i = 1; i <= s.npar; ++i) run.params.par(i) = ch.parchimin(i);
  compara(s, run.data, run.params, ch, ws);

  pfinwrite(run.data.nomout(0).str(), s, run.data, run.params);
  show_evidence_summary(run, run.dist, con);
  append_evidence_summary(run.data.nomout(0).str(), run, run.dist, evidence_values(run, run.dist));
  outwrite(WriteMode::listing, run, ws, con);
  outwrite(WriteMode::molecules, run, ws, con);
}

void stop_if_signalled(const Run& run, const ChainRecorder& chain, Console& con) {
  const int sig = stop_signal();
  if (sig == 0) return;
  const RunSettings& s = run.settings;
  write_whole_chain_results(run, chain, con, false);
  std::string files = chainstat_path(s.folder) + " holds the statistics of the " + std::to_string(chain.steps()) +
                      " steps of the chain so far";
  if (s.seed > 0) files += ", " + seeded_chain_path(s.folder) + " its states";
  throw FatalError("The run was stopped by " + std::string(signal_name(sig)) + " after step " +
                       std::to_string(run.chain.icycle) + " of " + std::to_string(s.ncycles) + ": " + files +
                       "; the parameter file holds the state of the last write interval",
                   128 + sig);
}

}  // namespace zorvik
