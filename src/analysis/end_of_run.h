// The end of a run: distributions, the best state found, the final parameter
// file, the evidence summary and the result listings.
#pragma once

#include "core/console.h"
#include "core/run_tables.h"
#include "models/workspace.h"

namespace zorvik {

void end_of_run(Run& run, ModelWorkspace& ws, Console& con);

}  // namespace zorvik
