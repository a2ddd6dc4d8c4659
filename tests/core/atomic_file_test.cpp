// The atomic replace of a file that the program rewrites in place: when the new
// text cannot be written whole, the previous version stays.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <string>

#include "core/errors.h"
#include "core/files.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::read_text;
using testing_support::ScratchDir;
using testing_support::write_text;

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

}  // namespace
}  // namespace zorvik
