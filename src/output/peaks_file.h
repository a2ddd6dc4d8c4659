// The peak decomposition of a fitted curve: "peaks.dat" holds the data, the fit
// and each component defined by the peak definitions of the parameter file.
#pragma once

#include "core/console.h"
#include "core/run_tables.h"
#include "models/workspace.h"

namespace zorvik {

// Writes the decomposition of data set nf (command "pk"). The models are
// evaluated on a copy of the parameters: nothing of the run changes.
void peaks(int nf, const Run& run, ModelWorkspace& ws, Console& con);

}  // namespace zorvik
