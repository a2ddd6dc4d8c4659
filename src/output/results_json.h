// report/results.json: the summary of a run (core/run_report.h) for programs,
// one json.load away. Written with a JSON library (nlohmann/json) when the
// build found it; without it the file is not written and the run says so.
//
// Text is UTF-8: a name that is valid UTF-8 goes in as it is, any other byte
// string (a name in a single-byte encoding) is read as Latin-1. Numbers that
// are not finite (a statistic of a chain that did not move) are null.
#pragma once

#include <string>

#include "core/console.h"
#include "core/run_report.h"

namespace zorvik {

// Whether this build writes results.json.
bool results_json_available();

// The text of results.json (empty when the build has no JSON library).
std::string results_json_text(const RunReport& report);

// Creates the folder `report_folder` when it is missing (mkdir, as the output
// folder of a run is made) and writes results.json into it, atomically (a
// temporary file renamed over the old one); without the JSON library one
// console line says that it was not written.
void write_results_json(const std::string& report_folder, const RunReport& report, Console& con);

}  // namespace zorvik
