// Shell routines against the stand-ins of tests/fakebin (which log their
// command lines): names handed to the shell are only ever file names, the plot
// command with and without an X display, and its failure; and the help texts.
#include "output/shell_commands.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/files.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using namespace testing_support;
using Lines = std::vector<std::string>;

TEST(ShellCommands, RunTheProgramWordFollowedByTheNameAsOneWord) {
  ScratchDir dir;
  Screen s;
  gnuplot(s.con, "chi.plt        ");  // trailing blanks of a fixed-length name are dropped
  edit(s.con, "my file's.par   ");
  // A folder is taken from the first characters of a data-file name: it must
  // reach mkdir as one word and never run anything of its own; a name that
  // looks like an option is made a path.
  mkdir(s.con, dir.path() + "/a;b$(x)");
  mkdir(s.con, "x;y");
  mkdir(s.con, "-p");
  mkdir(s.con, "~    ");
  edit(s.con, "+!touch X");
  unsetenv("DISPLAY");
  gnuplot(s.con, "-f.plt");
  EXPECT_EQ(lines_of(dir.fake_log()),
            (Lines{"gnuplot -display :0.0 chi.plt", "vim my file's.par", "mkdir " + dir.path() + "/a;b$(x)",
                   "mkdir x;y", "mkdir ./-p", "mkdir ~", "vim ./+!touch X", "gnuplot ./-f.plt"}));
  for (const char* d : {"a;b$(x)", "x;y", "-p", "~"}) EXPECT_TRUE(directory_exists(d)) << d;
  EXPECT_EQ(s.out.str(), "");
  write_text("gnuplot", "#!/bin/sh\nexit 3\n");  // a gnuplot that fails
  ASSERT_EQ(::chmod("gnuplot", 0755), 0);
  setenv("PATH", (dir.path() + ":" + std::getenv("PATH")).c_str(), 1);
  gnuplot(s.con, "f.plt");
  EXPECT_EQ(s.out.str(), " The plot command \"gnuplot f.plt\" failed (exit status 3)\n");
}

// The help texts against the tables retyped into tests/data (trailing blanks
// kept); the second character chooses them.
TEST(Help, SecondCharacterChoosesTheTexts) {
  auto help_for = [](std::string_view word) {
    Screen s;
    help(s.con, word);
    return s.out.str();
  };
  const std::string commands = reference("help_commands.txt");
  EXPECT_EQ(help_for("hf"), reference("help_functions.txt"));
  EXPECT_EQ(help_for("Hp  "), commands + reference("help_plot_files.txt"));
  EXPECT_EQ(help_for("hx"), commands);
}

}  // namespace
}  // namespace zorvik
