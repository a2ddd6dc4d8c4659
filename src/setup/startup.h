// Start-up: the banner and the choice of the parameter file and output folder.
#pragma once

#include <string>
#include <vector>

#include "core/console.h"
#include "core/run_tables.h"

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

}  // namespace zorvik
