// File helpers: existence, whole-file reading, and the atomic replace used for
// every file the program rewrites in place (the parameter file above all): the
// new content goes to a temporary file beside the target, which is then renamed
// over it, so an interrupted write never leaves a half-written file.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace zorvik {

bool file_exists(const std::string& path);
bool directory_exists(const std::string& path);

// Whether two names reach the same file: equal after resolving ".", "..",
// symbolic links and the working directory ("./lines.dat" and "lines.dat"),
// or the same existing file under two names (a hard link). Names of files that
// do not exist yet are compared by their resolved paths.
bool same_file(const std::string& a, const std::string& b);

// The folder part of a file name ("." for a name without one).
std::string folder_of(const std::string& path);

// Writes a file through a temporary beside it and renames it over the target on
// commit(). Errors (cannot create, disk full) throw FatalError naming the file;
// a file never committed leaves the target untouched.
class AtomicFile {
 public:
  explicit AtomicFile(std::string path);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  std::ostream& stream() { return buffer_; }
  void commit();

 private:
  std::string path_;
  std::ostringstream buffer_;
  bool committed_ = false;
};

// Opens a file for writing (created or truncated); throws FatalError naming the
// file when that fails. For files that are written progressively (trace files).
std::ofstream open_output(const std::string& path, bool append = false);

}  // namespace zorvik
