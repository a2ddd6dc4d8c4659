// The atomic rewrite against the file system: a write that fails at close, a
// link planted under the old predictable temporary name, the permission bits, a
// parameter file that is a link, and the signals that end the process while a
// temporary exists.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "core/errors.h"
#include "core/files.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using namespace testing_support;

// A full disk often shows only when the file is closed: the text fits the
// stream's buffer and the write of the buffer fails at fclose. A file-size limit
// of 10 bytes (with SIGXFSZ ignored, so that the write fails with EFBIG instead
// of ending the process) makes that happen for a 100-byte text.
TEST(AtomicFile, AWriteThatFailsAtCloseKeepsThePreviousVersion) {
  ScratchDir dir;
  write_text("p.par", "old\n");
  AtomicFile f("p.par");
  f.stream() << std::string(100, 'x');
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 10;
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  try {
    f.commit();
  } catch (const FatalError& e) {
    error = e.what();
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_NE(error.find("Cannot write file \"p.par\""), std::string::npos) << error;
  EXPECT_EQ(read_text("p.par"), "old\n");
}

// How many names in the working folder hold ".tmp"; they are removed.
int take_temporaries() {
  int n = 0;
  for (const auto& e : std::filesystem::directory_iterator("."))
    if (e.path().filename().string().find(".tmp") != std::string::npos) n += std::filesystem::remove(e.path());
  return n;
}

TEST(AtomicRewrite, RewriteIsSafeOnTheFileSystem) {
  ScratchDir dir;
  write_text("victim", "keep\n");
  write_text("p.par", "old\n");
  ASSERT_EQ(::chmod("p.par", 0600) | ::mkdir("real", 0755) | ::symlink("real/q.par", "q.par") |
                ::symlink("victim", ("p.par.tmp" + std::to_string(::getpid())).c_str()),
            0);
  for (const char* name : {"p.par", "q.par"}) {
    AtomicFile f(name);
    f.stream() << "new\n";
    f.commit();
  }
  struct stat p {}, q {};
  ASSERT_EQ(::stat("p.par", &p) | ::lstat("q.par", &q), 0);
  EXPECT_EQ(p.st_mode & 07777, 0600u);
  EXPECT_TRUE(S_ISLNK(q.st_mode));
  EXPECT_EQ(read_text("victim") + read_text("p.par") + read_text("real/q.par"), "keep\nnew\nnew\n");
  EXPECT_EQ(take_temporaries(), 1);  // the planted link alone
}

// A child process holding temporaries receives the signal: it ends by that
// signal with the temporaries gone, unless it ignores the signal (nohup). It
// holds two at once, as the chain's files and the checkpoint writer's thread
// may, after more temporaries renamed into place than the handler has slots.
TEST(AtomicRewrite, ASignalRemovesTheTemporary) {
  ScratchDir dir;
  for (int sig : {SIGHUP, SIGINT, SIGTERM}) {
    for (bool ignored : {false, true}) {
      const pid_t pid = ::fork();
      if (pid == 0) {
        if (ignored) std::signal(sig, SIG_IGN);
        for (int k = 0; k < 6; ++k) {
          TemporaryFile done("done.dat.tmp", "done.dat");
          if (!done.rename_to("done.dat")) ::_exit(8);
        }
        TemporaryFile t("out.dat.tmp", "out.dat"), u("run.ckpt.tmp", "run.ckpt");
        ::raise(sig);
        ::_exit(7);  // reached only when the signal is ignored; the temporary stays
      }
      int status = 0;
      ASSERT_EQ(::waitpid(pid, &status, 0), pid);
      EXPECT_EQ(ignored ? WIFEXITED(status) && WEXITSTATUS(status) == 7 : WIFSIGNALED(status) && WTERMSIG(status) == sig,
                true) << sig << " " << ignored << " " << status;
      EXPECT_EQ(take_temporaries(), ignored ? 2 : 0) << sig;
    }
  }
}

}  // namespace
}  // namespace zorvik
