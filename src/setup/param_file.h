// The parameter file's reader `parread` (with its console echo, read-time
// derivations, equality groups and order relations). Its writer, pfinwrite, is
// in output/param_file_writer.h: a file it writes reads back to the same tables.
#pragma once

#include <functional>
#include <string>

#include "core/console.h"
#include "core/run_tables.h"
#include "setup/read_outcome.h"

namespace zorvik {

// Asked when a start value lies outside its limits (the parameter's name):
// true stops the reading so that the file can be edited.
using OutOfLimitsDialog = std::function<bool(const Name15& name)>;

// Reads settings.parfile into the tables, echoes it, checks it and applies
// groups and relations; nothing else. Returns Reread when `ask_edit` asked to
// stop at an out-of-limits start value. Rewrites settings, data (what the file
// names) and params; the chain, the histograms and dist are left alone, and no
// file is written (setup/startup.h composes the reading of a run).
ReadOutcome parread(Run& run, Console& con, const OutOfLimitsDialog& ask_edit);

// The chain's chi-square is the mean over the fitted data sets, so with n > 1
// of them temperature 1 samples exp(-mean/2), not their joint likelihood,
// which T = 1/n samples. One warning line when a run without annealing has
// n > 1 fitted data sets at T = 1 (nothing otherwise).
void warn_joint_temperature(const RunSettings& settings, Console& con);

}  // namespace zorvik
