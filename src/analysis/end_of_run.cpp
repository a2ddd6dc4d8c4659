#include "analysis/end_of_run.h"

#include "analysis/distributions.h"
#include "output/result_files.h"
#include "sampler/compara.h"
#include "setup/param_file.h"

namespace zorvik {

void end_of_run(Run& run, ModelWorkspace& ws, Console& con) {
  RunSettings& s = run.settings;
  ChainState& ch = run.chain;

  // Means of the accepted values, then the distributions.
  end_of_run_distributions(run, ws, run.dist, con);

  if (s.interactive != 1 && run.params.ncont > 0)
    con.line("The contour requests of the parameter file are not computed by this version.");

  // The best state found becomes the result. A chain in which no step lowered the
  // chi-square has no recorded minimum: its current state stands instead of a
  // vector of zeros.
  if (ch.parchimin(0) < 1.0e10)
    for (int i = 1; i <= s.npar; ++i) run.params.par(i) = ch.parchimin(i);
  compara(run, ws);

  pfinwrite(run.data.nomout(0).str(), s, run.data, run.params);
  show_evidence_summary(run, run.dist, con);
  append_evidence_summary(run, run.dist);
  outwrite(1, run, ws, con);
  outwrite(10, run, ws, con);
}

}  // namespace zorvik
