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

}  // namespace
}  // namespace zorvik
