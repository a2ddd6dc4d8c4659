// The chain scripts: several chains of one fit on one machine (run_chains.sh)
// and on a cluster (slurm_chains.sh, against the stand-in sbatch of
// tests/fakebin, which runs the jobs here), on the layouts a plain run accepts,
// with names that hold shell words, and with a posterior of two modes that only
// dispersed starts reveal.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "support/program.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;
using testing_support::copy_case;
using testing_support::read_text;
using testing_support::ScratchDir;
using testing_support::shell;
using testing_support::source_path;
using testing_support::write_text;

std::string script(const std::string& name) { return "bash " + source_path("scripts/" + name) + " "; }
std::string with_program() { return "ZORVIK=" + std::string(ZORVIK_BINARY) + " "; }

bool no_chain_folders() {
  for (const auto& e : fs::directory_iterator("."))
    if (e.path().filename().string().starts_with("chain")) return false;
  return true;
}

// Two Gaussians of equal area and width whose centres may swap: the data have
// peaks at 30 and 70, so (cent1, cent2) = (30, 70) and (70, 30) fit equally
// well. The parameter file lies in a subfolder under a name with a blank, its
// data behind a link to another folder.
void two_mode_fit() {
  fs::create_directories("measured");
  fs::copy_file(source_path("tests/e2e/two_modes/two.dat"), "measured/two.dat");
  fs::create_directory_symlink("measured", "data");
  fs::create_directory("fits");
  fs::copy_file(source_path("tests/e2e/two_modes/two.par"), "fits/two modes.par");
}

TEST(ChainScripts, DispersedStartsRevealTheModeThatIdenticalStartsHide) {
  ScratchDir dir;
  two_mode_fit();
  std::string out;
  const std::string run = with_program() + script("run_chains.sh") + "-j 2 --burn 0.5 ";
  ASSERT_EQ(shell(run + "4 'fits/two modes.par'", out), 0) << out;
  EXPECT_NE(out.find("Pooled chains: 4 chains"), std::string::npos) << out;
  EXPECT_EQ(out.find("WARNING"), std::string::npos) << out;
  EXPECT_EQ(read_text("combine.txt"), out.substr(out.find("\n Pooled")));
  EXPECT_NE(read_text("chain3/two modes.par").find("../data/two.dat"), std::string::npos);
  EXPECT_TRUE(fs::exists("chain3/two/chain.dat"));  // a name beginning with t: its folder

  // Started apart, some chains settle in the swapped mode.
  ASSERT_EQ(std::system("rm -r chain1 chain2 chain3 chain4"), 0);
  ASSERT_EQ(shell(run + "--start random 4 'fits/two modes.par'", out), 0) << out;
  EXPECT_NE(out.find("WARNING: R-hat > 1.01, the chains have not mixed for: cent1 cent2\n"), std::string::npos) << out;
}

TEST(ChainScripts, MistakesAreRefusedBeforeAnyChainRunsAndLeaveNothing) {
  ScratchDir dir;
  copy_case("short_batch");
  write_text("away.par", std::regex_replace(read_text("short.par"), std::regex("fit1.dat  "), "../fit.dat"));
  const char* cases[][2] = {
      {"-j abc 2 short.par", "-j needs a whole number of chains at a time, not 'abc'"},
      {"--burn 1 2 short.par", "--burn needs a fraction F with 0 <= F < 1 such as 0.3, not '1'"},
      {"--start wild 2 short.par", "--start takes same, random or jitter, not 'wild'"},
      {"0 short.par", "K must be a whole number from 1 to 99999, not '0'"},
      {"2 none.par", "no parameter file 'none.par' here"},
      {"2 away.par", "record 3 (data set 1): the result file \"../fit.dat\" lies outside the chain's folder"},
  };
  for (const auto& [args, message] : cases) {
    std::string out;
    EXPECT_EQ(shell(with_program() + script("run_chains.sh") + args, out), 2) << args;
    EXPECT_NE(out.find(message), std::string::npos) << args << ": " << out;
    EXPECT_TRUE(no_chain_folders()) << args;
  }
}

// The program's path holds a blank and the parameter file's name a command:
// both are only names. A chain that fails is named by the combining job,
// which runs whatever the chains' ends were.
TEST(ChainScripts, SlurmJobsTakeEveryNameAsItIsAndReportAFailedChain) {
  for (const bool fail : {false, true}) {
    ScratchDir dir;
    copy_case("short_batch");
    const std::string par = "t;touch PWNED.par";
    fs::rename("short.par", par);
    fs::create_directory("my bin");
    fs::create_symlink(fs::path(ZORVIK_BINARY).parent_path() / "zorvik-chain-folder", "my bin/zorvik-chain-folder");
    write_text("my bin/zorvik", std::string("#!/bin/sh\n") + (fail ? "[ \"$2\" = 2 ] && { echo boom; exit 3; }\n" : "") +
                                    "exec " + ZORVIK_BINARY + " \"$@\"\n");
    fs::permissions("my bin/zorvik", fs::perms::owner_all);
    std::string out;
    ASSERT_EQ(shell("ZORVIK=\"$PWD/my bin/zorvik\" " + script("slurm_chains.sh") + "3 '" + par + "'", out), 0) << out;
    const std::string combined = read_text("combine.txt");
    if (fail) {
      EXPECT_NE(combined.find("chain2 failed (exit status 3): boom\n1 of 3 chains failed"), std::string::npos) << combined;
    } else {
      EXPECT_NE(combined.find("Pooled chains: 3 chains"), std::string::npos) << combined;
      EXPECT_TRUE(fs::exists("chain2/t;to/chain.dat"));
    }
    EXPECT_NE(dir.fake_log().find("sbatch --dependency=afterany:"), std::string::npos) << dir.fake_log();
    for (const auto& e : fs::recursive_directory_iterator(".")) EXPECT_NE(e.path().filename(), "PWNED");
  }
}

}  // namespace
}  // namespace zorvik
