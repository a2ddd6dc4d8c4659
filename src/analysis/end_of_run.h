// The end of a run: distributions, the best state found, the final parameter
// file, the evidence summary and the result listings.
#pragma once

#include "core/console.h"
#include "core/run_tables.h"
#include "models/workspace.h"

namespace zorvik {

// Reads every table; writes chain (the means of the accepted values, the
// chi-squares at the best state), params (par set to the best state, the contour
// steps), dist (the distributions and estimates). Settings, data and histograms
// are only read.
void end_of_run(Run& run, ModelWorkspace& ws, Console& con);

}  // namespace zorvik
