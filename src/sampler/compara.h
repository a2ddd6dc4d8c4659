// The chi-square of every fitted data set and their mean: the cost function of
// the chain.
#pragma once

#include "core/run_tables.h"
#include "models/workspace.h"

namespace zorvik {

// Rewrites run.chain.chisq: slot i the chi-square of data set i (Gaussian term
// (y − ycalc)²/σ² for σ > 0, Poisson deviance for σ < 0, nothing for σ = 0),
// slot 0 their mean over the fitted data sets, slots above nfunc 0.
void compara(Run& run, ModelWorkspace& ws);

// The same chi-squares after a proposal: only the data sets whose model reads a
// parameter that differs from the state the chi-squares were last computed at
// (ws.chisq_par) are evaluated again; the others keep their value, which is the
// one a full evaluation would give. Falls back to compara when there is no such
// state.
void compara_moved(Run& run, ModelWorkspace& ws);

// Records that the chi-squares now stand for the current parameters (a proposal
// was accepted).
void keep_evaluated(const Run& run, ModelWorkspace& ws);

// Marks the data sets whose fit range has only positive sigmas (data.gaussian_only),
// for the chi-square's fast path. Call after the data are read and interpolated.
void classify_sigmas(FitFunctions& data, int nfunc);

}  // namespace zorvik
