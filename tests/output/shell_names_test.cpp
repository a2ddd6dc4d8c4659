// Names handed to the shell are only ever file names; the plot command with and
// without an X display, and its failure; with an output folder the plot scripts
// read each file where it was written.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <memory>

#include "output/plot_scripts.h"
#include "output/shell_commands.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using namespace testing_support;

TEST(ShellNames, AreAlwaysFileNamesAndTheDisplayOptionNeedsADisplay) {
  ScratchDir dir;
  Screen s;
  mkdir(s.con, "-p");
  mkdir(s.con, "~    ");
  edit(s.con, "+!touch X");
  gnuplot(s.con, "f.plt");
  unsetenv("DISPLAY");
  gnuplot(s.con, "-f.plt");
  EXPECT_EQ(dir.fake_log(), "mkdir ./-p\nmkdir ~\nvim ./+!touch X\ngnuplot -display :0.0 f.plt\ngnuplot ./-f.plt\n");
  EXPECT_TRUE(directory_exists("-p") && directory_exists("~"));
  write_text("gnuplot", "#!/bin/sh\nexit 3\n");  // a gnuplot that fails
  ASSERT_EQ(::chmod("gnuplot", 0755), 0);
  setenv("PATH", (dir.path() + ":" + std::getenv("PATH")).c_str(), 1);
  gnuplot(s.con, "f.plt");
  EXPECT_EQ(s.out.str(), " The plot command \"gnuplot f.plt\" failed (exit status 3)\n");
}

TEST(PlotScriptsInAFolder, ReadEachFileWhereItWasWritten) {
  ScratchDir dir;
  Screen s;
  auto run = std::make_unique<zorvik::Run>();
  run->settings.folder = "t123.par";
  run->settings.plt = 1;
  const struct {
    int kind, ip;
    const char* file;
  } plots[] = {{6, 3, "t123/Gp3.dat"}, {6, 0, "t123/Glk.dat"}, {7, 3, "t123/Gp3.dat"}, {20, 0, "t123/peaks.dat"},
               {21, 0, "t123/peaks.dat"}, {22, 0, "t123/peaks.dat"}, {102, 0, "t123/peaks.dat"}};
  for (const auto& p : plots) {
    PlotRequest r;
    r.kind = p.kind;
    r.ip = p.ip;
    plot(r, *run, s.con);
    const std::string script = read_text(plot_script_name(p.kind));
    EXPECT_NE(script.find(std::string("\"") + p.file + "\""), std::string::npos) << script;
  }
}

}  // namespace
}  // namespace zorvik
