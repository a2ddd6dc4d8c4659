#include "analysis/end_of_run.h"

#include "analysis/contours.h"
#include "analysis/distributions.h"
#include "output/result_files.h"
#include "sampler/compara.h"
#include "setup/param_file.h"

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
  append_evidence_summary(run, run.dist);
  outwrite(1, run, ws, con);
  outwrite(10, run, ws, con);
}

}  // namespace zorvik
