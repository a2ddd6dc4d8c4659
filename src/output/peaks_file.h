// The peak decomposition of a fitted curve: "peaks.dat" holds the data, the fit
// and each component defined by the peak definitions of the parameter file.
#pragma once

#include "core/console.h"
#include "core/run_tables.h"
#include "models/workspace.h"

namespace zorvik {

// Writes the decomposition of data set nf (command "pk").
void peaks(int nf, Run& run, ModelWorkspace& ws, Console& con);

}  // namespace zorvik
