// The parameter file: reader `parread` (with its console echo, read-time
// derivations, equality groups and order relations) and writer `pfinwrite`
// (the fixed-column layout with a comment on every line). A file written by
// pfinwrite reads back to the same tables.
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

// Writes the parameter file `path` from the tables (atomically: a temporary
// beside it, then rename).
void pfinwrite(const std::string& path, const RunSettings& settings, const FitFunctions& data,
               const FitParameters& params);

// The text pfinwrite writes.
std::string parameter_file_text(const RunSettings& settings, const FitFunctions& data,
                                const FitParameters& params);

}  // namespace zorvik
