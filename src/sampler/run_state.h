// The tables of a run that a chain changes, for a checkpoint: what a resumed run
// needs besides the inputs it reads again (the settings and parameter limits of
// the parameter file, the data) to continue exactly.
#pragma once

#include "core/checkpoint_io.h"
#include "core/run_tables.h"

namespace zorvik {

// The temperature and burn-in of the settings, the parameters' values and
// steps, the whole chain state (counters, best state, the state before the
// step, the run-time estimate) and the histograms (each parameter's bins
// between the lowest and the highest it has filled).
void save_run_state(StateWriter& out, const Run& run);
// Reads them back into a run whose inputs were read again; refuses (naming the
// file) a state whose sizes do not fit the run.
void restore_run_state(StateReader& in, Run& run);

}  // namespace zorvik
