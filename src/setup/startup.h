// Start-up: the banner and the choice of the parameter file and output folder.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/run_tables.h"
#include "models/workspace.h"
#include "setup/read_outcome.h"

namespace zorvik {

// The nine-line ZORVIK box and the lines after it.
void print_banner(Console& con);

// Chooses the parameter file: with exactly one command-line argument that names
// an existing file, that file; otherwise the "Enter Parameter file:" prompt until
// an existing file is named. Sets settings.parfile, and settings.folder when the
// command-line name starts with "t" or "T". Prints "You will work with parameter
// file ..." and two empty lines. End of keyboard input at the prompt throws
// FatalError with a clear message.
// `args` are the command-line arguments after the program name.
void choose_parameter_file(Console& con, const std::vector<std::string>& args, RunSettings& settings);

// The out-of-limits dialog of the reading ("ERROR: name out oflimits", then
// "Cambiar parametro name ? (y/n)"): true when the user wants to edit the file.
bool ask_change_parameter(Console& con, const Name15& name);

// The reading of the parameter file for a run: the chain's counters, best state
// and histograms cleared (a new file is a new chain), the reader with the
// out-of-limits dialog, the editor when the user asks for it (then Reread: the
// reading starts again), and the starting copy "pini.par" (in the output folder
// when its name starts with "t") once the file has been read.
ReadOutcome read_parameter_file(Run& run, Console& con);

// The models' workspace of a run: trouble reported on `con`, a failed loss
// inversion kept in its file (output/inversion_file.h), the vector line shapes
// when `vector_shapes` is set.
std::unique_ptr<ModelWorkspace> make_workspace(Console& con, bool vector_shapes);

}  // namespace zorvik
