// The shell routines run against the stand-ins in tests/fakebin, which record
// the command lines they receive; the help texts are compared with reference
// texts typed from the program's documented help tables.
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
using testing_support::ScratchDir;

// A fresh working folder with the stand-ins first on PATH and their log inside it.
class ShellCommands : public testing::Test {
 protected:
  std::vector<std::string> logged() const { return lines_of(dir_.fake_log()); }

  ScratchDir dir_;
  std::istringstream in_;
  std::ostringstream out_;
  Console con_{in_, out_};
};

TEST_F(ShellCommands, RunTheProgramWordFollowedByTheName) {
  gnuplot(con_, "f.plt");
  edit(con_, "pfin.par");
  mkdir(con_, dir_.path() + "/t123");
  // Trailing blanks of a fixed-length name reach the shell, which drops them.
  gnuplot(con_, "chi.plt        ");

  const std::vector<std::string> expected = {
      "gnuplot -display :0.0 f.plt",
      "vim pfin.par",
      "mkdir " + dir_.path() + "/t123",
      "gnuplot -display :0.0 chi.plt",
  };
  EXPECT_EQ(logged(), expected);
  EXPECT_TRUE(directory_exists(dir_.path() + "/t123"));
  EXPECT_EQ(out_.str(), "");
}

TEST_F(ShellCommands, NamesTheShellWouldInterpretAreQuoted) {
  // A folder is taken from the first characters of a data-file name: it must
  // reach mkdir as one word and never run anything of its own.
  mkdir(con_, dir_.path() + "/a;b$(x)");
  edit(con_, "my file's.par   ");
  const std::vector<std::string> expected = {"mkdir " + dir_.path() + "/a;b$(x)", "vim my file's.par"};
  EXPECT_EQ(logged(), expected);
  EXPECT_TRUE(directory_exists(dir_.path() + "/a;b$(x)"));
}

TEST_F(ShellCommands, BlankNamesPrintTheirMessageAndRunNothing) {
  gnuplot(con_, "          ");
  edit(con_, "");
  mkdir(con_, "   ");
  EXPECT_EQ(out_.str(),
            " Cannot plot a file without a name!\n"
            " Cannot edit a file without a name!\n"
            " Cannot create a directory without a name!\n");
  EXPECT_FALSE(file_exists(dir_.fake_log_path()));
}

TEST_F(ShellCommands, ConsoleTextIsFlushedBeforeTheCommandRuns) {
  // The console writes into the same file as the stand-in: without the flush
  // its line would land after the command's record.
  {
    std::ofstream shared(dir_.fake_log_path(), std::ios::app);
    Console con(in_, shared);
    con.line("before");
    edit(con, "x.par");
    con.line("after");
  }
  const std::vector<std::string> expected = {" before", "vim x.par", " after"};
  EXPECT_EQ(logged(), expected);
}

TEST(Compose, JoinsFolderAndNameOrTakesTheNameAlone) {
  std::istringstream in;
  std::ostringstream out;
  Console con(in, out);
  std::string path;

  compose(con, path, 40, "pelotudo       ", "pini.par                                ");
  EXPECT_EQ(path, "pelotudo/pini.par" + std::string(40 - 17, ' '));

  compose(con, path, 40, "               ", "pini.par");
  EXPECT_EQ(path, "pini.par" + std::string(32, ' '));

  compose(con, path, 12, "t123", "pini.par");
  EXPECT_EQ(path, "t123/pini.pa");

  EXPECT_EQ(out.str(), "");
}

TEST(Compose, BlankNameLeavesTheOutputUnchanged) {
  std::istringstream in;
  std::ostringstream out;
  Console con(in, out);
  std::string path = "previous";
  compose(con, path, 40, "t123", "        ");
  EXPECT_EQ(path, "previous");
  EXPECT_EQ(out.str(), " Cannot compose a filename without a filename!\n");
}

class Help : public testing::Test {
 protected:
  std::string help_for(std::string_view word) {
    std::istringstream in;
    std::ostringstream out;
    Console con(in, out);
    help(con, word);
    return out.str();
  }
};

TEST_F(Help, SecondCharacterChoosesTheTexts) {
  const std::string commands = reference("help_commands.txt");
  const std::string functions = reference("help_functions.txt");
  const std::string plot_files = reference("help_plot_files.txt");

  EXPECT_EQ(help_for("hf"), functions);
  EXPECT_EQ(help_for("hp"), commands + plot_files);
  EXPECT_EQ(help_for("hx"), commands);
  EXPECT_EQ(help_for("h"), commands);
  EXPECT_EQ(help_for("Hp  "), commands + plot_files);
}

TEST_F(Help, TrailingBlanksOfTheTablesAreKept) {
  // Lines that end in a blank in the tables must still do so on the screen.
  const std::string text = help_for("hp");
  EXPECT_NE(text.find(" pcg:        plot probability contours \n"), std::string::npos);
  EXPECT_NE(text.find(" f2m.plt  : plot function 2 convoluted \n"), std::string::npos);
  EXPECT_NE(help_for("hf").find(" 102: 3 Gaussian+log(quadratic bckg) \n"), std::string::npos);
}

TEST(Recipe, IsATitleAndAboutADozenFreeFormatLines) {
  std::istringstream in;
  std::ostringstream out;
  Console con(in, out);
  zorvik(con);
  int text_lines = 0;
  for (const std::string& l : lines_of(out.str())) {
    if (l.empty()) continue;
    EXPECT_EQ(l[0], ' ') << l;
    ++text_lines;
  }
  EXPECT_GE(text_lines, 10);
  EXPECT_LE(text_lines, 20);
  EXPECT_NE(out.str().find("ZORVIK"), std::string::npos);
}

}  // namespace
}  // namespace zorvik
