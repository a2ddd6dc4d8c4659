// The command line: the options that come before the parameter file.
//
//   zorvik [--seed N] [--burn F] [--vector] [--evidence] [PARAMETER-FILE]
//   zorvik [--burn F] --combine DIR...
//
// Only the options of the table in command_line.cpp are taken, and only in front
// of the other arguments; any other argument (a file name that happens to start
// with "--" included) is left as it was, so every command line that worked
// before these options existed means what it meant.
#pragma once

#include <string>
#include <vector>

namespace zorvik {

struct CommandLine {
  long long seed = -1;         // --seed N; negative: the usual seed
  double burn_fraction = 0.2;  // --burn F: the first F of the steps are discarded
  bool seed_given = false, burn_given = false;
  bool evidence = false;       // --evidence: the evidence ladder instead of the ordinary run
  bool vector_shapes = false;  // --vector: the vector routines of the line shapes
  bool combine = false;               // --combine: pool the chains of the folders
  std::vector<std::string> folders;   // the folders after --combine
  std::vector<std::string> rest;      // the arguments after the options
};

// Parses the options in front of the arguments (those after the program name).
// A missing or malformed value throws FatalError naming the option and what it
// takes.
CommandLine parse_command_line(const std::vector<std::string>& args);

}  // namespace zorvik
