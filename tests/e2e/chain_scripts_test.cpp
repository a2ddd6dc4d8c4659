// The chain scripts on one machine and on a cluster (the stand-in sbatch of
// tests/fakebin runs the jobs here): layouts, shell words, mistakes, two modes.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/program.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;
using namespace testing_support;

const std::string kRunChains = "ZORVIK=" + std::string(ZORVIK_BINARY) + " bash " + source_path("scripts/run_chains.sh");

// Two Gaussians of equal area and width whose centres may swap: data peaks at
// 30 and 70 fit (30, 70) and (70, 30) equally. The parameter file lies in a
// subfolder under a name with a blank, the data behind a link to a folder.
TEST(ChainScripts, DispersedStartsRevealTheModeThatIdenticalStartsHide) {
  ScratchDir dir;
  fs::create_directories("measured"), fs::create_directory("fits"), fs::create_directory_symlink("measured", "data");
  fs::copy_file(source_path("tests/e2e/two_modes/two.dat"), "measured/two.dat");
  fs::copy_file(source_path("tests/e2e/two_modes/two.par"), "fits/two modes.par");
  for (const std::string start : {"same", "random"}) {
    std::string out;
    ASSERT_EQ(shell(kRunChains + " -j 2 --burn 0.5 --start " + start + " 4 'fits/two modes.par'", out), 0) << out;
    EXPECT_EQ(out.find("WARNING: R-hat > 1.01, the chains have not mixed for: cent1 cent2\n") != std::string::npos,
              start == "random") << out;
    EXPECT_EQ(read_text("combine.txt"), out.substr(out.find("\n Pooled chains: 4 chains")));
    ASSERT_EQ(std::system("rm -r chain1 chain2 chain3 chain4"), 0);
  }
}

// The first chain is killed (SIGKILL) once its first checkpoint is on disk; the
// script ends naming it, and run again resumes it, leaves the finished second
// chain as it is and ends with the folders of a run never stopped.
TEST(ChainScripts, RunAgainResumesAKilledChainToTheFilesOfAnUninterruptedOne) {
  ScratchDir dir;
  copy_case("short_batch");
  write_text("short.par", std::regex_replace(read_text("short.par"), std::regex(".*!Ciclos tot"), "12000 1000 !Ciclos tot"));
  write_text("zorvik", "#!/bin/sh\nif [ -f \"$ONCE\" ]; then rm \"$ONCE\"; " + std::string(ZORVIK_BINARY) +
                           " \"$@\" & p=$!\n  while [ ! -f run.ckpt ]; do sleep 0.01; done; kill -9 $p; wait $p; exit\n"
                           "fi\nexec " + ZORVIK_BINARY + " \"$@\"\n");
  fs::permissions("zorvik", fs::perms::owner_all);
  const std::string here = fs::current_path().string();
  const std::string script = "ZORVIK=" + here + "/zorvik ZORVIK_CHAIN_FOLDER=" +
                             (fs::path(ZORVIK_BINARY).parent_path() / "zorvik-chain-folder").string() +
                             " ONCE=" + here + "/once bash " + source_path("scripts/run_chains.sh") + " -j 1 2 short.par";
  for (const char* d : {"ref", "cut"}) {
    fs::create_directory(d);
    for (const char* f : {"short.par", "peak.dat"}) fs::copy_file(f, std::string(d) + "/" + f);
  }
  std::string out;
  ASSERT_EQ(shell("(cd ref && " + script + ")", out), 0) << out;
  write_text("once", "");
  EXPECT_EQ(shell("(cd cut && " + script + ")", out), 1) << out;
  EXPECT_NE(out.find("chain1 failed (exit status 137)"), std::string::npos) << out;
  ASSERT_EQ(shell("(cd cut && " + script + ")", out), 0) << out;
  EXPECT_NE(read_text("cut/chain1/console.txt").find(" Resuming the run of short.par from checkpoint run.ckpt"),
            std::string::npos);
  EXPECT_EQ(read_text("cut/chain2/console.txt").find(" Resuming"), std::string::npos);
  // (A kill inside an atomic rewrite leaves its temporary, *.tmpXXXXXX, behind.)
  EXPECT_EQ(shell("diff -r -x 'console.txt' -x 'run.ckpt*' -x '*.tmp[A-Za-z0-9][A-Za-z0-9]*' ref cut", out), 0) << out;
}

TEST(ChainScripts, MistakesAreRefusedBeforeAnyChainRunsAndLeaveNothing) {
  ScratchDir dir;
  copy_case("short_batch");
  write_text("away.par", std::regex_replace(read_text("short.par"), std::regex("fit1.dat  "), "../fit.dat"));
  const char* cases[][2] = {
      {"-j abc 2 short.par", "-j needs a whole number of chains at a time, not 'abc'"},
      {"--burn 1 2 short.par", "--burn needs a fraction F with 0 <= F < 1 such as 0.3, not '1'"},
      {"--start wild 2 short.par", "--start takes same, random or jitter, not 'wild'"},
      {"2 away.par", "the result file \"../fit.dat\" lies outside the chain's folder"},
  };
  for (const auto& [args, message] : cases) {
    std::string out;
    EXPECT_EQ(shell(kRunChains + " " + args, out), 2) << args;
    EXPECT_NE(out.find(message), std::string::npos) << args << ": " << out;
    EXPECT_FALSE(fs::exists("chain1")) << args;
  }
}

// A blank in the program's path and a command in the parameter file's name stay
// names; the combining job runs after any end and names a failed chain.
TEST(ChainScripts, SlurmJobsTakeEveryNameAsItIsAndReportAFailedChain) {
  for (const bool fail : {false, true}) {
    ScratchDir dir;
    copy_case("short_batch");
    fs::rename("short.par", "t;touch PWNED.par");
    fs::create_directory("my bin");
    fs::create_symlink(fs::path(ZORVIK_BINARY).parent_path() / "zorvik-chain-folder", "my bin/zorvik-chain-folder");
    write_text("my bin/zorvik", std::string("#!/bin/sh\n") + (fail ? "[ $2 = 2 ] && echo boom && exit 3\n" : "") +
                                    "exec " + ZORVIK_BINARY + " \"$@\"\n");
    fs::permissions("my bin/zorvik", fs::perms::owner_all);
    std::string out;
    ASSERT_EQ(shell("ZORVIK=\"$PWD/my bin/zorvik\" bash " + source_path("scripts/slurm_chains.sh") +
                        " 3 't;touch PWNED.par'", out), 0) << out;
    EXPECT_NE(read_text("combine.txt").find(fail ? "chain2 failed (exit status 3): boom\n1 of 3 chains failed"
                                                 : " Pooled chains: 3 chains"), std::string::npos) << read_text("combine.txt");
    for (const auto& e : fs::recursive_directory_iterator(".")) EXPECT_NE(e.path().filename(), "PWNED");
  }
}

}  // namespace
}  // namespace zorvik
