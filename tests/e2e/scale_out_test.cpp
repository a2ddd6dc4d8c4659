// Many fits at once: the folder runner (GNU parallel on one machine) and the
// Slurm job-array script, each on copies of the peaks example.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/program.h"

namespace zorvik {
namespace {

using testing_support::read_text;
using testing_support::ScratchDir;
using testing_support::source_path;
using testing_support::write_text;

// examples/peaks in `folder` as run.par, with a short chain.
void make_job(const std::string& folder) {
  ASSERT_EQ(std::system(("cp -r " + source_path("examples/peaks") + " " + folder).c_str()), 0);
  const std::string par = read_text(folder + "/peaks.par");
  write_text(folder + "/run.par", std::regex_replace(par, std::regex(R"(.*!Ciclos tot, write)"), "2000 200 !Ciclos tot, write"));
}

bool finished(const std::string& folder) {
  return read_text(folder + "/console.txt").find("log(evidence)") != std::string::npos &&
         !read_text(folder + "/parstat.dat").empty();
}

// Runs a shell command, its output into `out`; the exit status.
int shell(const std::string& command, std::string& out) {
  const int raw = std::system((command + " >shell.txt 2>&1").c_str());
  out = read_text("shell.txt");
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(ScaleOut, FoldersRunSideBySideWithGnuParallel) {
  if (std::system("command -v parallel >/dev/null 2>&1") != 0) GTEST_SKIP() << "GNU parallel is not installed";
  ScratchDir dir;
  make_job("T180");
  make_job("T195");
  ASSERT_EQ(std::system("mkdir empty"), 0);
  std::string out;
  const std::string runner = "ZORVIK=" + std::string(ZORVIK_BINARY) + " " + source_path("scripts/run_folders.sh");
  EXPECT_EQ(shell(runner + " -j 2 run.par T180 T195", out), 0) << out;
  EXPECT_NE(out.find("T180: exit status 0"), std::string::npos) << out;
  EXPECT_NE(out.find("T195: exit status 0"), std::string::npos) << out;
  EXPECT_TRUE(finished("T180"));
  EXPECT_TRUE(finished("T195"));
  // A folder without the parameter file fails alone, and is counted.
  EXPECT_EQ(shell(runner + " -j 2 run.par T180 empty", out), 1) << out;
  EXPECT_NE(out.find("empty: exit status 1"), std::string::npos) << out;
}

TEST(ScaleOut, SlurmArrayTaskRunsTheFolderOfItsLine) {
  ScratchDir dir;
  make_job("A");
  make_job("B");
  write_text("folders.txt", "A\nB\n");
  std::string out;
  const std::string script = source_path("scripts/slurm_array.sh");
  EXPECT_EQ(shell("SLURM_ARRAY_TASK_ID=2 ZORVIK=" + std::string(ZORVIK_BINARY) + " bash " + script + " folders.txt run.par", out), 0)
      << out;
  EXPECT_TRUE(finished("B"));
  EXPECT_EQ(read_text("A/console.txt"), "");
  EXPECT_NE(shell("SLURM_ARRAY_TASK_ID=3 bash " + script + " folders.txt run.par", out), 0);
  EXPECT_NE(out.find("no line 3 in folders.txt"), std::string::npos) << out;
}

}  // namespace
}  // namespace zorvik
