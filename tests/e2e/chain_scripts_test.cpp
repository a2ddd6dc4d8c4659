// Several chains of one fit: the GNU parallel runner and the Slurm array with
// its dependent combination (sbatch replaced by a stand-in that records its
// command lines), on copies of the short test case.
#include <gtest/gtest.h>

#include <string>

#include "support/program.h"

namespace zorvik {
namespace {

using testing_support::copy_case;
using testing_support::read_text;
using testing_support::ScratchDir;
using testing_support::source_path;
using testing_support::write_text;

int shell(const std::string& command, std::string& out) {
  const int raw = std::system((command + " >shell.txt 2>&1").c_str());
  out = read_text("shell.txt");
  std::remove("shell.txt");
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

const std::string kBinary = std::string("ZORVIK=") + ZORVIK_BINARY + " ";

TEST(ChainScripts, RunChainsRunsEverySeedAndCombinesThem) {
  if (std::system("command -v parallel >/dev/null 2>&1") != 0) GTEST_SKIP() << "GNU parallel is not installed";
  ScratchDir dir;
  copy_case("short_batch");
  std::string out;
  ASSERT_EQ(shell(kBinary + source_path("scripts/run_chains.sh") + " -j 2 3 short.par", out), 0) << out;
  for (const char* i : {"1", "2", "3"}) {
    EXPECT_NE(out.find("chain" + std::string(i) + ": exit status 0"), std::string::npos) << out;
    EXPECT_EQ(read_text("chain" + std::string(i) + "/chain.dat").rfind("# steps 3000 thinning 1 seed " + std::string(i), 0), 0u);
  }
  EXPECT_EQ(read_text("chainstat.dat").rfind("# i name mean sd q025 q16 q50 q84 q975 tau ess rhat | chains 3 ", 0), 0u);
  EXPECT_NE(read_text("combine.txt").find("Pooled chains: 3 chains"), std::string::npos);
  // Existing chain folders are never overwritten.
  EXPECT_EQ(shell(kBinary + source_path("scripts/run_chains.sh") + " 2 short.par", out), 2);
  EXPECT_NE(out.find("chain1 exists already"), std::string::npos) << out;
}

TEST(ChainScripts, SlurmSubmitsAnArrayAndADependentCombination) {
  ScratchDir dir;
  copy_case("short_batch");
  write_text("sbatch", "#!/bin/sh\necho \"$@\" >>sbatch.log\necho 4711\n");
  ASSERT_EQ(std::system("chmod +x sbatch"), 0);
  const std::string script = source_path("scripts/slurm_chains.sh");
  std::string out;
  ASSERT_EQ(shell("PATH=.:$PATH bash " + script + " 2 short.par", out), 0) << out;
  const std::string log = read_text("sbatch.log");
  EXPECT_NE(log.find("--parsable --array=1-2 " + script + " 2 short.par"), std::string::npos) << log;
  EXPECT_NE(log.find("--dependency=afterok:4711 "), std::string::npos) << log;
  EXPECT_NE(log.find("--wrap=zorvik --combine chain1 chain2 "), std::string::npos) << log;
  // The array task of seed 2 runs the chain of its folder.
  ASSERT_EQ(shell("SLURM_ARRAY_TASK_ID=2 " + kBinary + "bash " + script + " 2 short.par", out), 0) << out;
  EXPECT_EQ(read_text("chain2/chain.dat").rfind("# steps 3000 thinning 1 seed 2 ", 0), 0u);
  EXPECT_EQ(read_text("chain1/console.txt"), "");
}

}  // namespace
}  // namespace zorvik
