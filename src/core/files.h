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

// What same_file compares, taken once per name (the check of every output
// against every input resolves each name once).
struct FileIdentity {
  std::string resolved;  // the path with ".", "..", links and the working directory resolved
  bool exists = false;
  unsigned long long device = 0, inode = 0;
};
FileIdentity file_identity(const std::string& path);
bool same_file(const FileIdentity& a, const FileIdentity& b);

// What a path leads to (through its links), when that exists and is not a
// regular file: "a folder", "a character device", "a block device", "a named
// pipe", "a socket"; empty for a regular file or a name that does not exist.
std::string non_regular_kind(const std::string& path);

// The folder part of a file name ("." for a name without one).
std::string folder_of(const std::string& path);

// The file that a rewrite of `path` replaces: `path` itself, or, when it is a
// symbolic link, the file at the end of its chain of links (which need not
// exist yet), so that the link stays a link and its target gets the new content.
std::string rewrite_target(const std::string& path);

// A temporary file `<prefix>XXXXXX` created exclusively (mkstemp: O_CREAT|O_EXCL,
// mode 0600), so that it can neither follow a link planted under its name nor
// open a file that is already there. While it exists, a hang-up (the terminal
// closed), an interrupt or a termination signal removes it and then ends the
// process with that signal's usual status; a signal that the process ignores
// (started under nohup) stays ignored. The destructor removes the file unless
// it was renamed. One temporary exists at a time.
class TemporaryFile {
 public:
  // Throws FatalError naming `what` when the file cannot be created.
  TemporaryFile(const std::string& prefix, const std::string& what);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& path() const { return path_; }
  // Writes all of `data` and closes the file; false with errno set on failure.
  bool write_and_close(const std::string& data);
  // Gives the file the permission bits `mode`.
  void set_mode(unsigned mode);
  // Renames the file to `target` (atomic on one file system); false with errno set on failure.
  bool rename_to(const std::string& target);

 private:
  std::string path_;
  int fd_ = -1;
  int slot_ = -1;  // its slot among the temporaries a signal removes
  bool gone_ = false;
};

// Writes a file through a temporary beside it and renames it over the target on
// commit(). The new file keeps the permission bits of the one it replaces (a new
// file gets those of an ordinary creation, 0666 less the umask); a symbolic link
// is kept and its target rewritten. Errors (cannot create, disk full) throw
// FatalError naming the file; a file never committed leaves the target untouched.
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
