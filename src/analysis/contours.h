// Joint behaviour of a pair of parameters: chi-square maps on a grid (contorn)
// and probability maps from the recorded chain (contornmcmc).
#pragma once

#include <string>

#include "core/console.h"
#include "core/run_tables.h"
#include "models/workspace.h"

namespace zorvik {

// The chi-square map of contour request k over its grid, with every other
// parameter at its minimum-chi-square value; writes the file namecont(k) and
// stores the adjusted grid steps back into params.ctdx(k), ctdy(k), the only
// values of the run it changes.
void contorn(int k, const RunSettings& settings, const FitFunctions& data, FitParameters& params,
             const ChainState& chain, ModelWorkspace& ws, Console& con);

// The bivariate probability density of parameters (i, j) from the chain file
// "MMchain.dat"; writes the file bivariate_path(i, j) (core/output_paths.h). A negative i asks for
// no empty line between grid rows and is replaced by its absolute value.
void contornmcmc(int& i, int j, const Run& run, Console& con);

}  // namespace zorvik
