// The parameter file's writer `pfinwrite`: the fixed-column layout with a
// comment on every line. A file it writes reads back to the same tables
// (setup/param_file.h reads it).
#pragma once

#include <string>

#include "core/run_tables.h"

namespace zorvik {

// Writes the parameter file `path` from the tables (atomically: a temporary
// beside it, then rename).
void pfinwrite(const std::string& path, const RunSettings& settings, const FitFunctions& data,
               const FitParameters& params);

// The text pfinwrite writes.
std::string parameter_file_text(const RunSettings& settings, const FitFunctions& data,
                                const FitParameters& params);

}  // namespace zorvik
