// The parameter file's reader `parread` (with its console echo, read-time
// derivations, equality groups and order relations). Its writer, pfinwrite, is
// in output/param_file_writer.h: a file it writes reads back to the same tables.
#pragma once

#include <string>

#include "core/console.h"
#include "core/run_tables.h"
#include "setup/read_outcome.h"

namespace zorvik {

// Reads settings.parfile into the tables, echoes it, clears the run
// accumulators, applies groups and relations and writes the starting copy
// "pini.par". Returns Reread when the user chose to edit the file after an
// out-of-limits start value (the editor has run by then).
// Rewrites settings, data (what the file names), params, and clears the chain's
// counters and best state and the histograms; dist is left alone.
ReadOutcome parread(Run& run, Console& con);

// The chain's chi-square is the mean over the fitted data sets, so with n > 1
// of them temperature 1 samples exp(-mean/2), not their joint likelihood,
// which T = 1/n samples. One warning line when a run without annealing has
// n > 1 fitted data sets at T = 1 (nothing otherwise).
void warn_joint_temperature(const RunSettings& settings, Console& con);

}  // namespace zorvik
