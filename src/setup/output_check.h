// The check at reading, before anything is written, that the files a run writes
// (the catalogue of core/output_paths.h) leave the files it reads alone and
// replace nothing but regular files.
#pragma once

#include <string>
#include <vector>

#include "core/output_paths.h"

namespace zorvik {

// A file the parameter file names for reading, and where.
struct InputFile {
  std::string path;
  std::string role;  // "the data file of data set 1 (record 3, line 3)"
  int line = 0;
};

// An output of the catalogue with what the messages say of it: for a name
// that the parameter file gives, its record and the line that holds it.
struct CheckedOutput {
  OutputEntry entry;
  std::string record;  // "record 3 (data set 1)"; empty for the fixed names
  int line = 0;
};

// `named`: the files the parameter file names for reading (the parameter file
// itself is added here). Throws InputError (in `parfile`) when
// - an output is the same file as an input (also through a link, or a hard
//   link): a name from the parameter file at its own line, a fixed name at the
//   line of the input it would overwrite; the parameter file itself, which the
//   run rewrites, counts as an output for every other input;
// - an output leads (through its links) to anything but a regular file: a
//   folder, a device, a named pipe, a socket, which the atomic replace would
//   replace, or into which a trace would write;
// - a name from the parameter file lies in a folder that does not exist.
// A symbolic link to a regular file that is not an input is kept, and the file
// it leads to is rewritten.
void check_output_files(const std::string& parfile, const std::vector<InputFile>& inputs,
                        const std::vector<CheckedOutput>& outputs);

}  // namespace zorvik
