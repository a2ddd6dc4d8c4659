// The program under hostile conditions: killed at any moment of a run, and
// writing to a full disk.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <random>
#include <regex>
#include <string>
#include <thread>

#include "setup/param_file.h"
#include "setup/startup.h"
#include "support/program.h"

namespace zorvik {
namespace {

using testing_support::copy_example;
using testing_support::read_text;
using testing_support::ScratchDir;
using testing_support::Screen;
using testing_support::write_text;

// The peaks example with another cycles record ("ncycles nwrite").
void set_cycles(const std::string& cycles) {
  const std::string par = read_text("peaks.par");
  write_text("peaks.par", std::regex_replace(par, std::regex(R"(.*!Ciclos tot, write)"), cycles + " !Ciclos tot, write"));
}

// Starts the program on peaks.par with no keyboard and no screen.
pid_t start_program() {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0), dup2(null, 1), dup2(null, 2);
    execl(ZORVIK_BINARY, "zorvik", "peaks.par", static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

TEST(Robustness, KillingARunNeverLeavesABrokenParameterFile) {
  ScratchDir dir;
  copy_example("peaks");
  // A long run that rewrites its files, the parameter file among them, after
  // every step: most of its time is spent writing, so the kills land in the
  // middle of writes (a writer that truncated the file in place would be caught
  // by most runs of this test).
  set_cycles("10000000 1");
  const std::string original = read_text("peaks.par");
  std::mt19937 rng(20261206);
  std::uniform_int_distribution<int> delay_ms(0, 40);
  for (int k = 0; k < 16; ++k) {
    const std::string before = read_text("peaks.par");
    const pid_t pid = start_program();
    ASSERT_GT(pid, 0);
    // Once the run rewrites its parameter file (start-up takes a while in a
    // slow build on a busy machine), a random moment among the rewrites.
    for (int t = 0; t < 3000 && read_text("peaks.par") == before; ++t)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms(rng)));
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before it was killed";
    // The file reads back whole: every record, every parameter finite. The
    // next run starts from it.
    auto run = std::make_unique<zorvik::Run>();
    run->settings.parfile = "peaks.par";
    Screen s;
    ASSERT_EQ(read_parameter_file(*run, s.con), ReadOutcome::Done) << "kill " << k << ":\n" << read_text("peaks.par");
    ASSERT_EQ(run->settings.npar, 12);
    for (int i = 1; i <= 12; ++i) EXPECT_TRUE(std::isfinite(run->params.par(i)));
    EXPECT_EQ(run->settings.ncycles, 10000000);
  }
  EXPECT_NE(read_text("peaks.par"), original);
}

TEST(Robustness, AFileThatCannotBeWrittenStopsNamingIt) {
  ScratchDir dir;
  copy_example("peaks");
  // A disk that fills up: files limited to 32 kB, which the chi-square trace
  // (236 bytes an interval) passes first. The limit holds in the subshell only.
  set_cycles("20000 100");
  std::string out;
  testing_support::shell(std::string("(ulimit -f 64; trap '' XFSZ; ") + ZORVIK_BINARY +
                             " peaks.par </dev/null >/dev/null; echo \"exit status $?\") 2>&1 | cat",
                         out);
  EXPECT_NE(out.find("Cannot write file \"chi.dat\" (is the disk full?)\nexit status 1\n"), std::string::npos) << out;
}

}  // namespace
}  // namespace zorvik
