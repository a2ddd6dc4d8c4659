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

// Marks the data sets whose fit range has only positive sigmas (data.gaussian_only),
// for the chi-square's fast path. Call after the data are read and interpolated.
void classify_sigmas(FitFunctions& data, int nfunc);

}  // namespace zorvik
