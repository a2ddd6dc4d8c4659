// The command line:
//
//   zorvik [--seed N] [--burn F] [--vector] [--evidence] [--no-report]
//          [--checkpoint FILE] [--checkpoint-every K] [--checkpoint-sync S] [PARAMETER-FILE]
//   zorvik --resume FILE
//   zorvik [--burn F] [--no-report] --combine DIR...
//   zorvik --help | --version
//
// Options and the other arguments may come in any order; a value follows its
// option as the next argument or after "=" (--seed 5, --seed=5), and "--" ends
// the options, so that a file whose name begins with "-" can be named. Every
// option is one row of the table in command_line.cpp. Anything the table does
// not know, a missing or malformed value, an option given twice, an option
// that means nothing in the run it is given to (--seed with --combine, --burn
// with --evidence) and a second parameter file are usage errors: the program
// stops with the message, the usage lines and exit status 2, before it prints
// anything else. The one exception is kept from before the options were
// checked: a lone "--help" or "--version" that names an existing file is that
// file.
#pragma once

#include <string>
#include <vector>

#include "core/errors.h"

namespace zorvik {

struct CommandLine {
  long long seed = -1;         // --seed N; negative: the usual seed
  double burn_fraction = 0.2;  // --burn F: the first F of the steps are discarded
  bool seed_given = false, burn_given = false;
  bool evidence = false;       // --evidence: the evidence ladder instead of the ordinary run
  bool vector_shapes = false;  // --vector: the vector routines of the line shapes
  bool combine = false;               // --combine: pool the chains of the folders
  bool no_report = false;             // --no-report: no figures and no index.html (results.json still)
  bool help = false, version = false;  // --help, --version: answer and end
  std::vector<std::string> folders;   // the folders of --combine
  std::vector<std::string> rest;      // the parameter file, when one is named (at most one)
  std::string checkpoint;             // --checkpoint FILE: write the run's state there
  long long checkpoint_every = 1;     // --checkpoint-every K: after every K-th write interval
  bool checkpoint_every_given = false;
  double checkpoint_sync = 10.0;      // --checkpoint-sync S: force one to the disk every S seconds
  bool checkpoint_sync_given = false;
  std::string resume;                 // --resume FILE: continue the run saved there
};

// A command line that means nothing: exit status 2, as usage errors have.
class UsageError : public FatalError {
 public:
  explicit UsageError(const std::string& message) : FatalError("Command line: " + message, 2) {}
};

// Parses the arguments after the program name. Throws UsageError.
CommandLine parse_command_line(const std::vector<std::string>& args);

// The usage lines built from the option table ("Usage: zorvik ..." and the
// --combine form), and the description of every option, one block a row.
std::string usage_lines();
std::string option_help();

}  // namespace zorvik
