// Input that would lose data, give wrong numbers or reach a script or the
// terminal: each case edits one file of a shipped example and reads it as a run
// does (parameter file, data, interpolation). The expected text is looked for in
// the error, the console and the starting copy pini.par.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <string>

#include "core/errors.h"
#include "setup/data_file.h"
#include "setup/interp.h"
#include "setup/param_file.h"
#include "setup/startup.h"
#include "support/program.h"

namespace zorvik {
namespace {

using namespace testing_support;

void edit(const std::string& file, const std::string& from, const std::string& to) {
  const std::string text = read_text(file);
  ASSERT_TRUE(std::regex_search(text, std::regex(from))) << from;
  write_text(file, std::regex_replace(text, std::regex(from), to));
}

// The whole reading of `par`; the error message, or "" when it went through.
std::string read_all(zorvik::Run& run, Screen& s, const std::string& par) {
  run.settings.parfile = par;
  try {
    if (read_parameter_file(run, s.con) == ReadOutcome::Done && dataread(run.settings, run.data, s.con) == ReadOutcome::Done)
      interp(run.data, run.settings, s.con);
  } catch (const FatalError& e) {
    return e.what();
  }
  return "";
}

TEST(HostileInput, TableOfEditedExamples) {
  const std::string long_name = "results_of_the_first_scan_of_the_long_series_2026.dat";
  std::string many_points;  // 5000 points below the fit range, before those of the file
  for (int k = 0; k < 5000; ++k) many_points += std::to_string(-10.0 + 0.001 * k) + " 1 1\n";
  struct Case { const char *example, *file, *from; std::string to, expected; };
  const Case cases[] = {
      {"peaks", "peaks.par", "fit1.dat  ", "./lines.dat", "line 3: record 3 (data set 1): the result file \"./lines.dat\" is the same file as the data file of data set 1 (record 3, line 3)"},
      {"peaks", "peaks.par", "chi.dat ", "peaks.par", "line 4: record 4: the chi-square file \"peaks.par\" is the same file as the parameter file itself"},
      {"peaks", "peaks.par", "cent1-sdev1", "lines.dat", "line 28: record 19 (contour 1): the contour file \"lines.dat\" is the same"},
      {"qens", "qens.par", "outqens.dat", "res.dat", "record 4: the output file \"res.dat\" is the same file as the resolution file of data set 1 (record 3a, line 4)"},
      {"peaks", "peaks.par", "lines.dat  ", "./chainstat.dat", "line 3: the data file of data set 1 (record 3, line 3) \"./chainstat.dat\" is the file \"chainstat.dat\" that the program writes (the whole-chain statistics, written by every run): the run would overwrite it"},
      {"qens", "qens.par", "res.dat", "pini.par", "line 4: the resolution file of data set 1 (record 3a, line 4) \"pini.par\" is the file \"pini.par\" that"},
      {"peaks", "peaks.par", "lines.dat  ", "'gparpar 2 1.dat'", "\"gparpar 2 1.dat\" is the file \"gparpar 2 1.dat\" that"},
      {"peaks", "peaks.par", "lines.dat  ", "peaks.par", "line 3: the data file of data set 1 (record 3, line 3) \"peaks.par\" is the parameter file, which the run rewrites"},
      {"peaks", "peaks.par", "chi.dat ", "/dev/null", "line 4: record 4: the chi-square file \"/dev/null\" is a character device, not a regular file"},
      {"peaks", "peaks.par", "outpeaks.dat", "nodir/o.dat", "line 4: record 4: the output file: cannot create \"nodir/o.dat\": No such file or directory (its folder \"nodir\" does not exist)"},
      {"peaks", "peaks.par", "  5  6  cent1", " -5 13  cent1", "line 28: record 19 (contour 1): parameter 13 is not one of the parameters 1 to npar = 12"},
      {"peaks", "peaks.par", "  120000 ", " -5 ", "line 8: record 8: the number of steps ncycles must not be negative, found -5"},
      {"peaks", "peaks.par", "fit1.dat  ", "'f\"1.dat'", "line 3: record 3 (data set 1): the result file \"f\"1.dat\" holds a double quote"},
      {"peaks", "peaks.par", "cent1 ", "'c\"1' ", "line 17: record 13 (parameter 5): the name \"c\"1\" holds a double quote"},
      {"peaks", "peaks.par", "0   1  !title", "0   21  !title", "Index out of range in file \"peaks.par\", line 1: table nomin, dimension 1, bounds 1 to 20, index 21"},
      {"peaks", "peaks.par", "0  !Rel. igualdad", "1\n 2 1 101", "Index out of range in file \"peaks.par\", line 26: table par"},
      {"peaks", "peaks.par", "n     0 fit1", "n  6000 fit1", "Index out of range in file \"peaks.par\", line 3: table xext"},
      {"peaks", "lines.dat", "\n1.00 ", "\n0.30 ", "Input error in file \"lines.dat\", line 5: x = 0.3 is below x = 0.75 of line 4"},
      {"peaks", "peaks.par", "lines.dat  ", "/dev/zero", "file \"/dev/zero\", line 1: the line is longer than 1048576 characters"},
      {"peaks", "lines.dat", "\n2.00 46", "\n2.00 4\x1b[2J", "found \"4\\x1b[2J\""},
      {"qens", "res.dat", "\n-0.010 ", "\n-0.013 ", "file \"res.dat\", line 31: the step from x = -0.02 (line 30) to x = -0.013 is 0.00"},
      {"qens", "res.dat", "\n-0.010 [^\n]*\n", "\n", "file \"res.dat\", line 31: the step from x = -0.02 (line 30) to x = 0.0 is 0.02"},
      {"qens", "res.dat", "\n-0.010 ", "\n-0.030 ", "file \"res.dat\", line 31: x = -0.03 is not above x = -0.02 of line 30"},
      {"peaks", "lines.dat", "\n0.25 45 6.3305", "\n0,25 45 6,3305", "file \"lines.dat\", line 2: expected numbers with a decimal point, found \"0,25\""},
      {"qens", "res.dat", "\n-0.290 ", "\n-0,290 ", "file \"res.dat\", line 3: expected numbers with a decimal point, found \"-0,290\""},
      {"peaks", "lines.dat", "(\n[^ \n]+ [^ \n]+) [^ \n]+", "$1 0", "file \"lines.dat\", line 2: every point of the fit range (lines 2 to 401) has sigma 0"},
      {"peaks", "lines.dat", "sigma\n", "sigma\n" + many_points, "file \"lines.dat\", line 5001: point 5000 (x = -5.001) does not lie beyond the fit range (xmax = 100.0): a data set holds at most 4999 points up to xmax"},
      {"peaks", "peaks.par", "0.0000E\\+00   1.0000E\\+02", "5.0000E+00   1.0000E+00", "file \"peaks.par\", line 13: record 13 (parameter 1, bg0): the lower limit 5.0 is above the upper limit 1.0: expected min <= max"},
      {"peaks", "peaks.par", "sdev1      a", "sdev1      x", "line 18: record 13 (parameter 6, sdev1): unknown step kind \"x\": expected n, a, al, p or l"},
      // Accepted: comma-separated values with decimal points, a comma beyond the
      // values read; a fixed parameter of any kind; a free one with equal limits.
      {"peaks", "lines.dat", "\n0.25 45 6.3305", "\n0.25,45,6.3305", "   2.500000E-01   4.500000E+01   6.330500E+00"},
      {"peaks", "lines.dat", "\n0.25 45 6.3305", "\n0.25 45 6.3305 (run 3,5)", "   2.500000E-01   4.500000E+01   6.330500E+00"},
      {"peaks", "peaks.par", "sdev1      a   2.6000000E\\+00  1.0000E-01", "sdev1      x   2.6000000E+00  0.0", "Parameters to fit: 11"},
      {"peaks", "peaks.par", "2.5000E\\+01   3.5000E\\+01", "3.0100E+01   3.0100E+01", "(cent1) has equal limits: it is fixed"},
      // Accepted: the title's escape sequence shown escaped, a negative contour
      // pair with the limits of parameter 5 for 666, a long name kept whole.
      {"peaks", "peaks.par", "'Three peaks'", "'Three\x1b[2Jpeaks'", "Titulo:  Three\\x1b[2Jpeaks"},
      {"peaks", "peaks.par", "  5  6  cent1-sdev1\n 29.50000  30.50000", " -5  6  cent1-sdev1\n 666 666", " 25.0 35.0 2.0 3.0 0.025 0.025"},
      {"peaks", "peaks.par", "fit1.dat  ", long_name, " " + long_name + "     0.0000E+00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    ScratchDir dir;
    copy_example(c.example);
    edit(c.file, c.from, c.to);
    auto run = std::make_unique<zorvik::Run>();
    Screen s;
    const std::string error = read_all(*run, s, std::string(c.example) + ".par");
    EXPECT_NE((error + s.out.str() + read_text("pini.par")).find(c.expected), std::string::npos) << error;
  }
}

// Files the program writes under fixed names, where the output-folder rule puts
// them, reached directly or through a link; and outputs that are not regular
// files. A refused reading has written nothing.
TEST(HostileInput, FilesTheProgramWritesAreNeitherInputsNorSpecialFiles) {
  const struct { const char *setup, *par, *expected; } cases[] = {
      {"ln -s lines.dat chainstat.dat", "peaks.par", "(record 3, line 3) \"lines.dat\" is the file \"chainstat.dat\" that"},
      {"mv peaks.par jump.dat", "jump.dat", "\"jump.dat\": the parameter file itself \"jump.dat\" is the file \"jump.dat\""},
      {"mkdir tout && mv lines.dat tout/Gp12.dat && sed -i s#lines.dat#tout/Gp12.dat# peaks.par", "peaks.par", "\"tout/Gp12.dat\" is the file \"tout/Gp12.dat\" that"},
      {"mkdir Tout && mv lines.dat Tout/parstat.dat && sed -i s#lines.dat#Tout/parstat.dat# peaks.par", "peaks.par", "\"Tout/parstat.dat\" is the file \"Tout/parstat.dat\""},
      {"mkdir Tout && mv lines.dat Tout/Gp12.dat && sed -i s#lines.dat#Tout/Gp12.dat# peaks.par", "peaks.par", ""},  // Gp files go to "t" folders only
      {"mkfifo move.dat", "peaks.par", "the file \"move.dat\" that the program writes (a trace of the steps, written by every run) is a named pipe"},
      {"ln -s /dev/zero f.eps", "peaks.par", "\"f.eps\" that the program writes (a figure of the plot commands in print mode) leads to \"/dev/zero\", a character device"},
      {"mkdir Glk.dat", "peaks.par", "is a folder, not a regular file"},
      {"touch kept && ln -s kept chainstat.dat", "peaks.par", ""},  // a link to a regular file is kept
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setup);
    ScratchDir dir;
    copy_example("peaks");
    ASSERT_EQ(std::system(c.setup), 0);
    auto run = std::make_unique<zorvik::Run>();
    Screen s;
    const std::string error = read_all(*run, s, c.par);
    EXPECT_TRUE(*c.expected ? error.find(c.expected) != std::string::npos : error.empty()) << error;
    EXPECT_EQ(std::filesystem::exists("pini.par"), error.empty());
  }
}

TEST(HostileInput, ReadingAgainStartsFromFreshTables) {
  ScratchDir dir;
  copy_example("peaks");
  auto run = std::make_unique<zorvik::Run>();
  Screen s;
  ASSERT_EQ(read_all(*run, s, "peaks.par"), "");
  ASSERT_EQ(run->params.par(12), 2.9);
  edit("peaks.par", " 12  sdev3[^\n]*\n", "");
  edit("peaks.par", "      12  ", "      11  ");
  ASSERT_EQ(read_all(*run, s, "peaks.par"), "");
  EXPECT_EQ(run->params.par(12), 0.0);
  EXPECT_TRUE(run->params.namepar(12).blank());
}

// The map of a negative pair "-5 6" is the map of "5 6" without the empty lines
// between its rows, over the limits of parameters 5 and 6 where the file says
// 666; the written parameter file keeps the sign.
TEST(HostileInput, ANegativeContourPairWritesOneBlockOverTheParameterLimits) {
  std::string maps[2];
  for (int sign = 0; sign < 2; ++sign) {
    ScratchDir dir;
    copy_example("peaks");
    edit("peaks.par", "  120000    5000", "200 100");
    edit("peaks.par", "  5  6  cent1-sdev1\n[^\n]*", std::string(sign ? " -5" : "  5") + "  6  map\n 666 666 666 666 0.5 0.25");
    ASSERT_EQ(run_program("peaks.par", "").status, 0);
    maps[sign] = read_text("map");
    EXPECT_NE(read_text("outpeaks.dat").find(sign ? "\n -5  6  map " : "\n  5  6  map "), std::string::npos);
  }
  const std::vector<std::string> rows = lines_of(maps[1]);
  ASSERT_EQ(rows.size(), 1u + 21 * 31);  // the header, (10/0.5 + 1) x (7.5/0.25 + 1) points
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // the corners: the limits of cent1 and sdev1 in peaks.par
  std::istringstream(rows[1]) >> x0 >> y0, std::istringstream(rows.back()) >> x1 >> y1;
  EXPECT_EQ(std::vector({x0, y0, x1, y1}), std::vector({25.0, 0.5, 35.0, 8.0}));
  EXPECT_EQ(std::regex_replace(maps[0], std::regex("\n\n"), "\n"), maps[1]);
}

}  // namespace
}  // namespace zorvik
