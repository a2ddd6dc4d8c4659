// The program and its scripts used carelessly: typing slips at the prompt, the
// console written to a full device, folders whose names hold shell words, and
// the demo's build.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "support/program.h"

namespace zorvik {
namespace {

using namespace testing_support;

// Numbers out of range and steps that would not be finite: each is refused
// with the allowed range, the prompt comes back, and "par" shows the steps
// unchanged; the session then ends as usual.
constexpr const char* kSlips = "pgpar\n101\n1\n13\npparchi\n101\ncgparpar\n13 1\ncgparpar\n0 5\npcg\n-4 0\n"
                               "getpar\n1 25\nsetpar\na 0.5\n0 2\nreset\nr 1e308\nsp\nr 1e308\n1 1\npar\nend\n";

TEST(HostileUse, TypingSlipsAtThePromptAreRefusedAndTheSessionGoesOn) {
  ScratchDir dir;
  copy_case("session");
  const Outcome o = run_program("session.par", kSlips);
  EXPECT_EQ(o.status, 0) << o.err;
  const size_t first = o.out.find("ZoRvIk> "), last = o.out.rfind("ZoRvIk> ");
  ASSERT_NE(first, std::string::npos);
  expect_golden("tests/e2e/golden/prompt_slips.txt", o.out.substr(first, last + 8 - first));
}

// Runs a shell command; its exit status, and its error output in `err`.
int shell(const std::string& command, std::string& err) {
  const int raw = std::system((command + " 2>shell.err").c_str());
  err = read_text("shell.err");
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

TEST(HostileUse, AConsoleThatCannotBeWrittenEndsWithAnError) {
  ScratchDir dir;
  copy_case("short_batch");
  for (const char* args : {"--version", "short.par"}) {
    std::string err;
    EXPECT_NE(shell(std::string(ZORVIK_BINARY) + " " + args + " </dev/null >/dev/full", err), 0) << args;
    EXPECT_NE(err.find("Cannot write the console output (standard output)"), std::string::npos) << args << err;
  }
}

// The "program" shows its parameter file, which console.txt then holds.
TEST(HostileUse, FolderNamesWithShellWordsRunAsNames) {
  if (std::system("command -v parallel >/dev/null 2>&1") != 0) GTEST_SKIP() << "GNU parallel is not installed";
  ScratchDir dir;
  const std::string folders[] = {"a$(touch PWNED)", "it's", "-b c"};
  for (const std::string& f : folders) std::filesystem::create_directory(f), write_text(f + "/run.par", f);
  std::string err;
  EXPECT_EQ(shell("ZORVIK=cat bash " + source_path("scripts/run_folders.sh") +
                      " run.par 'a$(touch PWNED)' \"it's\" '-b c' >runner.txt", err), 0) << err;
  for (const std::string& f : folders) {
    EXPECT_NE(read_text("runner.txt").find(f + ": exit status 0\n"), std::string::npos) << read_text("runner.txt");
    EXPECT_EQ(read_text(f + "/console.txt"), f);
  }
  for (const auto& e : std::filesystem::recursive_directory_iterator(".")) EXPECT_NE(e.path().filename(), "PWNED");
}

TEST(HostileUse, TheDemoBuildsTheProgramAlone) {
  ScratchDir dir;
  std::string err;
  ASSERT_EQ(shell("make -n -C " + source_path("") + " demo >make.txt", err), 0) << err;
  const std::string plan = read_text("make.txt");
  EXPECT_NE(plan.find("cmake --build build --target zorvik"), std::string::npos) << plan;
  EXPECT_EQ(plan.find("cmake --build build -j"), std::string::npos) << plan;
}

}  // namespace
}  // namespace zorvik
