#include "core/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <system_error>
#include <utility>

#include "core/errors.h"

namespace zorvik {

bool file_exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool directory_exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

FileIdentity file_identity(const std::string& path) {
  FileIdentity id;
  if (path.empty()) return id;
  // Made absolute first: the resolution of a bare name of a file that does
  // not exist yet ("chainstat.dat") would otherwise stay relative, and
  // differ from that of "./chainstat.dat".
  std::error_code e;
  const std::filesystem::path r = std::filesystem::weakly_canonical(std::filesystem::absolute(path, e), e);
  if (!e) id.resolved = r.string();
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    id.exists = true;
    id.device = static_cast<unsigned long long>(st.st_dev);
    id.inode = static_cast<unsigned long long>(st.st_ino);
  }
  return id;
}

bool same_file(const FileIdentity& a, const FileIdentity& b) {
  if (!a.resolved.empty() && a.resolved == b.resolved) return true;
  return a.exists && b.exists && a.device == b.device && a.inode == b.inode;
}

bool same_file(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  return same_file(file_identity(a), file_identity(b));
}

std::string non_regular_kind(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return "";
  if (S_ISDIR(st.st_mode)) return "a folder";
  if (S_ISCHR(st.st_mode)) return "a character device";
  if (S_ISBLK(st.st_mode)) return "a block device";
  if (S_ISFIFO(st.st_mode)) return "a named pipe";
  if (S_ISSOCK(st.st_mode)) return "a socket";
  return "a special file";
}

std::string folder_of(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string rewrite_target(const std::string& path) {
  // The kernel gives up on a chain of more than 40 links (ELOOP); so do we, and
  // the rename then reports the trouble.
  constexpr int kMaxLinks = 40;
  std::string p = path;
  for (int hops = 0; hops < kMaxLinks; ++hops) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096), '\0');
    const ssize_t n = ::readlink(p.c_str(), link.data(), link.size());
    if (n <= 0) return p;
    link.resize(static_cast<size_t>(n));
    // A relative link is relative to the folder that holds the link.
    const size_t slash = p.rfind('/');
    p = (link[0] == '/' || slash == std::string::npos) ? link : p.substr(0, slash + 1) + link;
  }
  return p;
}

// ---- temporary files and the signals that end the process ---------------------------

namespace {

constexpr int kCleanupSignals[] = {SIGHUP, SIGINT, SIGTERM};

// The temporaries in progress, for the signal handler, which may only call
// async-signal-safe functions: fixed buffers, each with a lock-free flag. The
// chain's files and the checkpoint writer's thread may each have one at the
// same time, so each temporary claims a slot of its own. These, with the stop
// flag of interrupt.cpp, are the file-scope mutable state of the program: a
// handler installed with sigaction receives only the signal number, so what it
// must remove can reach it in no other way.
struct PendingTemporary {
  char path[4096];
  std::atomic<int> state{0};  // 0 free, 1 being filled, 2 a temporary in progress
};
static_assert(std::atomic<int>::is_always_lock_free);
PendingTemporary pending_temporaries[4];

// A free slot holding `name`, or -1 (a temporary without a slot is only not
// removed by a signal).
int claim_pending(const std::string& name) {
  if (name.size() >= sizeof pending_temporaries[0].path) return -1;
  for (int k = 0; k < static_cast<int>(std::size(pending_temporaries)); ++k) {
    PendingTemporary& p = pending_temporaries[k];
    int free = 0;
    if (!p.state.compare_exchange_strong(free, 1)) continue;
    std::memcpy(p.path, name.c_str(), name.size() + 1);
    p.state.store(2);
    return k;
  }
  return -1;
}

void release_pending(int slot) {
  if (slot >= 0) pending_temporaries[slot].state.store(0);
}

void remove_pending_and_end(int sig) {
  for (PendingTemporary& p : pending_temporaries)
    if (p.state.load() == 2) ::unlink(p.path);
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  ::sigaction(sig, &dfl, nullptr);
  // Blocked until the handler returns; then delivered with the default action,
  // so the parent sees the usual status of the signal.
  ::raise(sig);
}

// Installed for the signals whose action is still the default one: an ignored
// signal (nohup) stays ignored, and a signal that already has this handler
// keeps it (so the installation needs no flag of its own). Without a temporary
// in progress the handler does what the default action does.
void install_cleanup_handlers() {
  for (int sig : kCleanupSignals) {
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) != 0) continue;
    if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) continue;
    struct sigaction sa {};
    sa.sa_handler = remove_pending_and_end;
    sigemptyset(&sa.sa_mask);
    ::sigaction(sig, &sa, nullptr);
  }
}

// Holds the cleanup signals back for its lifetime, so that the name of the
// temporary and the file itself come and go together.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t block;
    sigemptyset(&block);
    for (int sig : kCleanupSignals) sigaddset(&block, sig);
    ::sigprocmask(SIG_BLOCK, &block, &old_);
  }
  ~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &old_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t old_;
};

// The process's umask, read once before main: reading it means setting it, and
// a file created by another thread meanwhile (the checkpoint writer's) would
// get the permissions of umask 0.
mode_t read_umask() {
  const mode_t m = ::umask(0);
  ::umask(m);
  return m;
}
const mode_t kUmask = read_umask();

mode_t current_umask() { return kUmask; }

}  // namespace

TemporaryFile::TemporaryFile(const std::string& prefix, const std::string& what) {
  install_cleanup_handlers();
  std::string name = prefix + "XXXXXX";
  int err = 0;
  {
    SignalsHeld held;
    fd_ = ::mkstemp(name.data());
    err = errno;
    if (fd_ >= 0) slot_ = claim_pending(name);
  }
  if (fd_ < 0) throw FatalError("Cannot write file \"" + what + "\": " + std::strerror(err));
  path_ = name;
}

TemporaryFile::~TemporaryFile() {
  if (fd_ >= 0) ::close(fd_);
  if (gone_) return;
  SignalsHeld held;
  ::unlink(path_.c_str());
  release_pending(slot_);
}

void TemporaryFile::set_mode(unsigned mode) {
  if (fd_ >= 0) ::fchmod(fd_, static_cast<mode_t>(mode));
}

bool TemporaryFile::write_and_close(const std::string& data) {
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int e = errno;
      ::close(fd_);
      fd_ = -1;
      errno = e;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  const int r = ::close(fd_);
  fd_ = -1;
  return r == 0;
}

bool TemporaryFile::rename_to(const std::string& target) {
  SignalsHeld held;
  if (::rename(path_.c_str(), target.c_str()) != 0) return false;
  gone_ = true;
  release_pending(std::exchange(slot_, -1));
  return true;
}

// ---- the atomic replace -------------------------------------------------------------

namespace {

// The reading refuses such outputs; a folder, a device or a pipe put in place of
// one while the run goes on is still not replaced, nor written into.
void refuse_non_regular(const std::string& path) {
  const std::string kind = non_regular_kind(path);
  if (!kind.empty())
    throw FatalError("Cannot write file \"" + path + "\": it leads to " + kind + ", not a regular file");
}

}  // namespace

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {}

AtomicFile::~AtomicFile() = default;

void AtomicFile::commit() {
  if (committed_) return;
  const std::string target = rewrite_target(path_);
  refuse_non_regular(path_);
  struct stat st {};
  const unsigned mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~current_umask());
  // Beside the target, so that the rename stays on one file system.
  TemporaryFile tmp(target + ".tmp", path_);
  tmp.set_mode(mode);
  if (!tmp.write_and_close(buffer_.str())) {
    throw FatalError("Cannot write file \"" + path_ + "\": " + std::strerror(errno) +
                     " (the previous version is kept)");
  }
  if (!tmp.rename_to(target)) {
    throw FatalError("Cannot replace file \"" + path_ + "\": " + std::strerror(errno));
  }
  committed_ = true;
}

std::ofstream open_output(const std::string& path, bool append) {
  refuse_non_regular(path);
  std::ofstream out(path, append ? std::ios::app : std::ios::trunc);
  if (!out) throw FatalError("Cannot open file \"" + path + "\" for writing: " + std::strerror(errno));
  return out;
}

}  // namespace zorvik
