// Linear interpolation of data sets onto uniform x grids, before the chain starts.
#pragma once

#include "core/console.h"
#include "core/run_tables.h"

namespace zorvik {

// Replaces every data set with ninterp >= 3 and more than two points in range by
// its interpolation onto ninterp uniform points, and recomputes its fit range.
void interp(FitFunctions& data, const RunSettings& settings, Console& con);

}  // namespace zorvik
