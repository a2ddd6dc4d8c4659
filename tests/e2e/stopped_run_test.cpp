// Results that must survive the end of a run: a chain stopped by a signal, and a
// result file that cannot be written (a file-size limit stands for a full disk).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "support/program.h"

namespace zorvik {
namespace {

using namespace testing_support;

// The first number after `key` in `text` (-1 when there is none).
long long number_after(const std::string& text, const std::string& key) {
  std::smatch m;
  return std::regex_search(text, m, std::regex(key + " ([0-9]+)")) ? std::stoll(m[1]) : -1;
}

bool has_temporary_file(const std::string& folder = ".") {
  for (const auto& f : std::filesystem::directory_iterator(folder))
    if (f.path().filename().string().find(".tmp") != std::string::npos) return true;
  return false;
}

// A --seed run of the peaks example stopped by SIGINT, SIGTERM or SIGKILL once
// chain.dat holds a few states: chain.dat holds every state up to the step the
// run stopped at (for SIGKILL up to the last write interval, or the one before
// when the kill fell between the states and their count), and --combine reads
// it; after SIGINT and SIGTERM chainstat.dat covers the same steps.
TEST(StoppedRun, ASignalLeavesTheChainSoFar) {
  ScratchDir dir;
  for (const int sig : {SIGINT, SIGTERM, SIGKILL}) {
    const std::string sub = "s" + std::to_string(sig) + "/";
    SCOPED_TRACE(sub);
    std::filesystem::create_directory(sub);
    ASSERT_EQ(chdir(sub.c_str()), 0);
    copy_example("peaks");
    write_text("peaks.par", std::regex_replace(read_text("peaks.par"), std::regex(".*!Ciclos tot"), "10000000 1000 !"));
    const std::string seed = std::to_string(sig);  // chains of one file need seeds of their own to be combined
    const pid_t pid = fork();
    if (pid == 0) {
      signal(SIGINT, SIG_DFL);  // as from a terminal, even when the tests run in the background
      if (freopen("/dev/null", "r", stdin) && freopen("/dev/null", "w", stdout) && freopen("err.txt", "w", stderr))
        execl(ZORVIK_BINARY, "zorvik", "--seed", seed.c_str(), "peaks.par", static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int t = 0; t < 3000 && lines_of(read_text("chain.dat")).size() < 8; ++t)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(kill(pid, sig), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_EQ(chdir(".."), 0);
    const std::string chain = read_text(sub + "chain.dat"), stat = read_text(sub + "chainstat.dat");
    const long long steps = number_after(chain, "# steps"), thinning = number_after(chain, "thinning");
    const std::vector<std::string> rows = lines_of(chain);
    ASSERT_GE(rows.size(), 8u);
    const long long last = std::stoll(rows.back());
    EXPECT_EQ(static_cast<long long>(rows.size()) - 3, last / thinning);
    const bool killed = sig == SIGKILL;
    // (A kill can fall inside an atomic rewrite, between the temporary and its rename.)
    if (!killed) {
      EXPECT_FALSE(has_temporary_file(sub));
    }
    EXPECT_EQ(WIFSIGNALED(status), killed);
    EXPECT_LT(std::llabs(steps - last), killed ? 1000 + thinning : thinning);
    if (killed) {
      EXPECT_EQ(steps % 1000, 0);
      continue;
    }
    EXPECT_EQ(WEXITSTATUS(status), 128 + sig);
    EXPECT_EQ(number_after(stat, "retained_steps") + number_after(stat, "burn_in"), steps);
    const std::string said = std::string("by ") + (sig == SIGINT ? "SIGINT" : "SIGTERM") + " after step " +
                             std::to_string(steps) + " of 10000000: chainstat.dat holds";
    EXPECT_NE(read_text(sub + "err.txt").find(said), std::string::npos) << read_text(sub + "err.txt");
  }
  EXPECT_NE(run_program("--combine s2 s15 s9", "").out.find("Pooled chains: 3 chains"), std::string::npos);
}

// The evidence and the pooled statistics are on the console before their file
// is written; a file that cannot be written keeps its previous content whole.
TEST(StoppedRun, AResultIsPrintedBeforeItsFileIsWritten) {
  ScratchDir dir;
  copy_case("evidence");
  for (const char* seed : {"1", "2"}) {
    std::filesystem::create_directory(std::string("c") + seed);
    ASSERT_EQ(run_program("--seed " + std::string(seed) + " line.par", "").status, 0);
    std::filesystem::rename("chain.dat", std::string("c") + seed + "/chain.dat");
  }
  // File sizes limited in blocks of 512 bytes: the evidence ladder's pini.par
  // (1.6 kB) goes through, evidence.dat (2.4 kB) does not, nor any byte of the
  // pooled chainstat.dat.
  const struct { const char *limit, *args, *file, *printed; } cases[] = {
      {"4", "--evidence line.par", "evidence.dat", "log(evidence) by thermodynamic integration: "},
      {"0", "--combine c1 c2", "chainstat.dat", "Pooled chains: 2 chains"},
  };
  for (const auto& c : cases) {
    write_text(c.file, "the previous result\n");
    std::string out;
    // The limit holds in the subshell only: the console goes through a pipe.
    shell("(ulimit -f " + std::string(c.limit) + "; trap '' XFSZ; " + ZORVIK_BINARY + " " + c.args +
              " </dev/null; echo \"exit status $?\") 2>&1 | cat",
          out);
    const size_t printed = out.find(c.printed), failed = out.find(std::string("Cannot write file \"") + c.file + "\"");
    EXPECT_TRUE(printed < failed && failed != std::string::npos && out.ends_with("exit status 1\n")) << out;
    EXPECT_EQ(read_text(c.file), "the previous result\n");
    EXPECT_FALSE(has_temporary_file());
  }
  // An output that no reading checked (--combine's) is not replaced either when
  // it leads to anything but a regular file.
  ASSERT_EQ(std::system("rm chainstat.dat && mkfifo pipe && ln -s pipe chainstat.dat"), 0);
  const Outcome o = run_program("--combine c1 c2", "");
  EXPECT_NE(o.err.find("Cannot write file \"chainstat.dat\": it leads to a named pipe"), std::string::npos) << o.err;
  EXPECT_TRUE(std::filesystem::is_fifo("pipe"));
}

}  // namespace
}  // namespace zorvik
