// Shell routines against the stand-ins of tests/fakebin (which log their command lines), and the help texts.
#include "output/shell_commands.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/files.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::lines_of;
using testing_support::reference;
using testing_support::Screen;
using Lines = std::vector<std::string>;

class ShellCommands : public testing::Test {
 protected:
  testing_support::ScratchDir dir_;
  Screen s_;
};

TEST_F(ShellCommands, RunTheProgramWordFollowedByTheQuotedName) {
  gnuplot(s_.con, "f.plt");
  edit(s_.con, "pfin.par");
  mkdir(s_.con, dir_.path() + "/t123");
  gnuplot(s_.con, "chi.plt        ");  // trailing blanks of a fixed-length name are dropped
  // A folder is taken from the first characters of a data-file name: it must reach
  // mkdir as one word and never run anything of its own.
  mkdir(s_.con, dir_.path() + "/a;b$(x)");
  edit(s_.con, "my file's.par   ");
  EXPECT_EQ(lines_of(dir_.fake_log()),
            (Lines{"gnuplot -display :0.0 f.plt", "vim pfin.par", "mkdir " + dir_.path() + "/t123",
                   "gnuplot -display :0.0 chi.plt", "mkdir " + dir_.path() + "/a;b$(x)", "vim my file's.par"}));
  EXPECT_TRUE(directory_exists(dir_.path() + "/t123"));
  EXPECT_TRUE(directory_exists(dir_.path() + "/a;b$(x)"));
  EXPECT_EQ(s_.out.str(), "");
}

TEST_F(ShellCommands, BlankNamesPrintTheirMessageAndRunNothing) {
  gnuplot(s_.con, "          ");
  edit(s_.con, "");
  mkdir(s_.con, "   ");
  EXPECT_EQ(s_.out.str(),
            " Cannot plot a file without a name!\n Cannot edit a file without a name!\n"
            " Cannot create a directory without a name!\n");
  EXPECT_FALSE(file_exists(dir_.fake_log_path()));
}

// The console writes into the stand-in's log: unflushed, its line would land after the command's.
TEST_F(ShellCommands, ConsoleTextIsFlushedBeforeTheCommandRuns) {
  {
    std::ofstream shared(dir_.fake_log_path(), std::ios::app);
    Console con(s_.in, shared);
    con.line("before");
    edit(con, "x.par");
    con.line("after");
  }
  EXPECT_EQ(lines_of(dir_.fake_log()), (Lines{" before", "vim x.par", " after"}));
}

TEST(Compose, JoinsFolderAndNameOrTakesTheNameAloneAndRefusesABlankName) {
  Screen s;
  std::string path;
  compose(s.con, path, 40, "pelotudo       ", "pini.par                                ");
  EXPECT_EQ(path, "pelotudo/pini.par" + std::string(40 - 17, ' '));
  compose(s.con, path, 40, "               ", "pini.par");
  EXPECT_EQ(path, "pini.par" + std::string(32, ' '));
  compose(s.con, path, 12, "t123", "pini.par");
  EXPECT_EQ(path, "t123/pini.pa");
  EXPECT_EQ(s.out.str(), "");
  compose(s.con, path, 40, "t123", "        ");
  EXPECT_EQ(path, "t123/pini.pa");
  EXPECT_EQ(s.out.str(), " Cannot compose a filename without a filename!\n");
}

std::string help_for(std::string_view word) {
  Screen s;
  help(s.con, word);
  return s.out.str();
}

TEST(Help, SecondCharacterChoosesTheTextsAndTrailingBlanksAreKept) {
  const std::string commands = reference("help_commands.txt");
  const std::string functions = reference("help_functions.txt");
  const std::string plot_files = reference("help_plot_files.txt");
  EXPECT_EQ(help_for("hf"), functions);
  EXPECT_EQ(help_for("hp"), commands + plot_files);
  EXPECT_EQ(help_for("hx"), commands);
  EXPECT_EQ(help_for("h"), commands);
  EXPECT_EQ(help_for("Hp  "), commands + plot_files);
  // Lines of the tables that end in a blank (a retyped reference could lose them).
  EXPECT_NE(commands.find(" pcg:        plot probability contours \n"), std::string::npos);
  EXPECT_NE(plot_files.find(" f2m.plt  : plot function 2 convoluted \n"), std::string::npos);
  EXPECT_NE(functions.find(" 102: 3 Gaussian+log(quadratic bckg) \n"), std::string::npos);
}

TEST(Recipe, IsATitleAndAboutADozenFreeFormatLines) {
  Screen s;
  zorvik(s.con);
  int text_lines = 0;
  for (const std::string& l : lines_of(s.out.str())) {
    if (l.empty()) continue;
    EXPECT_EQ(l[0], ' ') << l;
    ++text_lines;
  }
  EXPECT_GE(text_lines, 10);
  EXPECT_LE(text_lines, 20);
  EXPECT_NE(s.out.str().find("ZORVIK"), std::string::npos);
}

}  // namespace
}  // namespace zorvik
