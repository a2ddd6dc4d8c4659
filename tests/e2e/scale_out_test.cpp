// Many fits at once: the folder runner (GNU parallel on one machine) on copies
// of the peaks example, and on folders whose names hold shell words.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "support/program.h"

namespace zorvik {
namespace {

using testing_support::read_text;
using testing_support::ScratchDir;
using testing_support::shell;
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

// The "program" shows its parameter file, which console.txt then holds.
TEST(ScaleOut, FolderNamesWithShellWordsRunAsNames) {
  if (std::system("command -v parallel >/dev/null 2>&1") != 0) GTEST_SKIP() << "GNU parallel is not installed";
  ScratchDir dir;
  const std::string folders[] = {"a$(touch PWNED)", "it's", "-b c"};
  for (const std::string& f : folders) std::filesystem::create_directory(f), write_text(f + "/run.par", f);
  std::string out;
  EXPECT_EQ(shell("ZORVIK=cat bash " + source_path("scripts/run_folders.sh") + " run.par 'a$(touch PWNED)' \"it's\" '-b c'",
                  out), 0) << out;
  for (const std::string& f : folders) {
    EXPECT_NE(out.find(f + ": exit status 0\n"), std::string::npos) << out;
    EXPECT_EQ(read_text(f + "/console.txt"), f);
  }
  for (const auto& e : std::filesystem::recursive_directory_iterator(".")) EXPECT_NE(e.path().filename(), "PWNED");
}

}  // namespace
}  // namespace zorvik
