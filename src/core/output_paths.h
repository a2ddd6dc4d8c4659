// Where a file goes when the run has an output folder: one set of rules for the
// routines that write the files and for the plot scripts that read them back.
#pragma once

#include <string>
#include <string_view>

#include "core/run_tables.h"

namespace zorvik {

// `name` inside the output folder (its first four characters), or `name` alone
// when the folder has no directory part.
inline std::string in_folder(const Name15& folder, std::string_view name) {
  const std::string d = folder_dir(folder);
  return d.empty() ? std::string(name) : d + "/" + std::string(name);
}

// Glk.dat and parstat.dat (and the chain file): inside the folder whenever one
// is in use (not "pelotudo").
inline std::string folder_file_path(const Name15& folder, std::string_view name) {
  return folder == kNoFolder ? std::string(name) : in_folder(folder, name);
}

// The distribution files, peaks.dat, d.dat and pini.par: inside the folder only
// when its name begins with "t", otherwise in the working directory.
inline std::string t_folder_file_path(const Name15& folder, std::string_view name) {
  return folder[0] == 't' ? in_folder(folder, name) : std::string(name);
}

}  // namespace zorvik
