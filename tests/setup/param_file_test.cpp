// The parameter file: reading with its derivations and checks, the fixed-column
// writer, and the read → write → read fixed point.
#include "setup/param_file.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <vector>

#include "core/errors.h"
#include "core/files.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::read_text;
using testing_support::ScratchDir;
using testing_support::write_text;

// A file that uses every record: a "cf" data set with its resolution line, an
// unfitted set, annealing, a group longer than one writer line, relations,
// contours with the 666 shorthand, and peaks.
const char* const kFullFile =
    "'Full test' 1 1 3   ! comment\n"
    "nomin opt Nint nomout xmin xmax Function\n"
    "scan1.dat cf 0 fit1.dat 0.0 10.0 101 ! the first\n"
    "res1.dat 2.5 -1.0 !name,xmax,zero\n"
    "scan2.dat n 50 fit2.dat, -1.5, 7.25, 100\n"
    "unused.dat n 0 fit3.dat 0 1 0\n"
    "out.dat chi.dat\n"
    "2.0\n"
    "0.5 0 -1\n"
    "14\n"
    "1000 100\n"
    "0 2 10.0 0.5 0.0\n"
    "1\n"
    "3 3.0 1.0 0.4\n"
    "0.25\n"
    "1 bg a 1.0 0.1 0.0 5.0\n"
    "3 width al 2.0 0.2 0.5 4.0\n"
    "2 slope n -0.5 0.0 -1.0 1.0\n"
    "4 a1 a 1.0 0.1 0.0 9.0\n"
    "5 a2 a 2.0 0.1 0.0 9.0\n"
    "6 a3 a 3.0 0.1 0.0 9.0\n"
    "7 a4 a 4.0 0.1 0.0 9.0\n"
    "8 a5 a 5.0 0.1 0.0 9.0\n"
    "9 a6 a 6.0 0.1 0.0 9.0\n"
    "10 a7 a 7.0 0.1 0.0 9.0\n"
    "11 a8 a 8.0 0.1 0.0 9.0\n"
    "12 a9 a 0.5 0.1 0.0 9.0\n"
    "13 lo n 1.0 0.0 0.0 9.0\n"
    "14 hi n 3.0 0.0 0.0 9.0\n"
    "1 !groups\n"
    "10 4 5 6 7 8 9 10 11 12\n"
    "   3\n"
    "1\n"
    "14 13\n"
    "2\n"
    "1 3 'bg width'\n"
    "666 666 0.5 3.5 0.1 0.2\n"
    "4 5 amps\n"
    "0 1 666 666 0.5 0.5\n"
    "2\n"
    "2\n"
    "4 0.0\n"
    "5 1.5\n"
    "1\n"
    "13 2.0\n";

struct Reading {
  std::unique_ptr<Run> run = std::make_unique<Run>();
  std::ostringstream screen;
  ReadOutcome outcome = ReadOutcome::Done;
};

std::unique_ptr<Reading> read_file(const std::string& name, const std::string& keyboard = "") {
  auto r = std::make_unique<Reading>();
  std::istringstream in(keyboard);
  Console con(in, r->screen);
  r->run->settings.parfile = name;
  r->outcome = parread(*r->run, con);
  return r;
}

TEST(ParameterFile, ReadsEveryRecordAndDerivesTheRunQuantities) {
  ScratchDir dir;
  write_text("full.par", kFullFile);
  auto r = read_file("full.par");
  const zorvik::Run& run = *r->run;
  const RunSettings& s = run.settings;
  const FitFunctions& d = run.data;
  const FitParameters& p = run.params;

  EXPECT_EQ(s.title, "Full test");
  EXPECT_EQ(s.interactive, 1);
  EXPECT_EQ(s.nfunc, 3);
  EXPECT_EQ(s.nfitfunc, 2);
  EXPECT_EQ(d.fileop(1), "cf");
  EXPECT_EQ(d.nameconv(1), "res1.dat");
  EXPECT_EQ(d.zeroconv(1), -1.0);
  EXPECT_EQ(d.kin(2), -1.5);
  EXPECT_EQ(d.kfin(2), 7.25);
  EXPECT_EQ(d.ninterp(2), 50);
  EXPECT_EQ(d.nomout(0), "out.dat");
  EXPECT_EQ(s.chifile, "chi.dat");
  EXPECT_EQ(d.sigmae(3, 0), -1.0);
  EXPECT_EQ(s.sigma_ratio, 0.0);  // sigma2/sigma1 = 0 / 0.5

  // Annealing: nT = nint(|1 - 3| / 0.4) + 1 = 6 stages of 3 intervals of 100 steps.
  EXPECT_EQ(s.ncycles, 100 * 3 * 6);
  EXPECT_EQ(s.temp, 3.0);

  // Parameters: reading order kept, free ones listed, bin widths derived.
  EXPECT_EQ(p.orden(2), 3);
  EXPECT_EQ(p.orden(3), 2);
  EXPECT_EQ(p.nfit, 11);
  EXPECT_EQ(p.parfit(2), 3);
  EXPECT_EQ(p.logpar(3), "al");
  EXPECT_DOUBLE_EQ(p.incgg(3), 0.2 / 10.0);

  // The group copies its master (parameter 4) into the other nine members.
  EXPECT_EQ(p.ign(1), 10);
  for (int k = 5; k <= 12; ++k) EXPECT_EQ(p.par(k), 1.0) << "parameter " << k;
  EXPECT_EQ(p.parig(1, 10), 3);
  EXPECT_EQ(p.par(3), 1.0);
  // The relation par(14) >= par(13) holds already: nothing changes.
  EXPECT_EQ(p.par(14), 3.0);

  // Contours: 666 stands for the parameter's own limits.
  EXPECT_EQ(p.namecont(1), "bg width");
  EXPECT_EQ(p.ctminx(1), 0.0);
  EXPECT_EQ(p.ctmaxx(1), 5.0);
  EXPECT_EQ(p.ctminy(2), 0.0);
  EXPECT_EQ(p.ctmaxy(2), 9.0);
  EXPECT_EQ(p.ctmaxx(2), 1.0);

  EXPECT_EQ(p.npeaks, 2);
  EXPECT_EQ(p.nparpeak(1), 2);
  EXPECT_EQ(p.valpeak(1, 2), 1.5);
  EXPECT_EQ(p.parpeak(2, 1), 13);

  EXPECT_TRUE(file_exists("pini.par"));
  // The accumulators of the chain start afresh.
  EXPECT_EQ(run.chain.parchimin(0), 1.0e10);
  EXPECT_EQ(run.hist.minigpar(7), 1000000);
}

TEST(ParameterFile, RelationMirrorsAValueAboutItsPartner) {
  ScratchDir dir;
  std::string text = kFullFile;
  text.replace(text.find("14 hi n 3.0"), 11, "14 hi n 0.5");
  write_text("rel.par", text);
  auto r = read_file("rel.par");
  // par(14) = 0.5 < par(13) = 1.0 → 2·1.0 − 0.5.
  EXPECT_EQ(r->run->params.par(14), 1.5);
}

TEST(ParameterFile, WriteThenReadIsAFixedPoint) {
  ScratchDir dir;
  write_text("full.par", kFullFile);
  read_file("full.par");
  const std::string first = read_text("pini.par");
  write_text("again.par", first);
  read_file("again.par");
  EXPECT_EQ(read_text("pini.par"), first);
}

TEST(ParameterFile, WriterPutsEveryFieldInItsColumns) {
  ScratchDir dir;
  write_text("full.par", kFullFile);
  read_file("full.par");
  std::vector<std::string> lines;
  std::istringstream in(read_text("pini.par"));
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_GE(lines.size(), 40u);

  // Columns are 1-based in the layout; substr takes 0-based offsets.
  auto col = [](const std::string& l, int from, int to) { return l.substr(from - 1, to - from + 1); };
  // A title with a blank is quoted, or it would not read back as one value.
  EXPECT_EQ(col(lines[0], 1, 20), "         'Full test'");
  EXPECT_EQ(col(lines[0], 21, 30), " 1   1   3");
  EXPECT_EQ(lines[0].substr(32), "!title,interactive(0:no/1:yes),plt (0:read/1:gen),nfunc");
  EXPECT_EQ(lines[1], "nomin                opt  Nint nomout                   xmin           xmax        Function");
  EXPECT_EQ(col(lines[2], 1, 20), "scan1.dat           ");
  EXPECT_EQ(col(lines[2], 23, 25), "cf ");
  EXPECT_EQ(col(lines[2], 27, 30), "   0");
  EXPECT_EQ(col(lines[2], 32, 51), "fit1.dat            ");
  EXPECT_EQ(col(lines[2], 52, 66), "     0.0000E+00");
  EXPECT_EQ(col(lines[2], 67, 81), "     1.0000E+01");
  EXPECT_EQ(col(lines[2], 82, 86), "  101");
  EXPECT_EQ(lines[2].substr(92), "! fitting(0:no/n:function)");
  EXPECT_EQ(col(lines[3], 1, 14), "res1.dat      ");
  EXPECT_EQ(col(lines[3], 15, 44), "    2.50000E+00   -1.00000E+00");
  EXPECT_EQ(lines[3].substr(46), "!name,xmax,zero");
  EXPECT_EQ(col(lines[4], 67, 81), "     7.2500E+00");
  EXPECT_EQ(col(lines[6], 1, 41), "out.dat              chi.dat             ");
  EXPECT_EQ(lines[6].substr(42), "!outputfile");
  EXPECT_EQ(lines[7], "    3.000000    !Temperature, next line sigmaexp");
  EXPECT_EQ(lines[8], "    0.500000    0.000000   -1.000000");
  EXPECT_EQ(lines[9], "      14                                  !npar");
  EXPECT_EQ(lines[10], "    1800     100                          !Ciclos tot, write");
  EXPECT_EQ(lines[11], "   0    2    10.000000    0.500000    0.000000 !varpar,gpar(0:no/1:yes), incgpar, incgchi,notused");
  EXPECT_EQ(lines[12], "       1                                  !annealing");
  EXPECT_EQ(lines[13], " 3    3.00000   1.00000   0.40000         ! step,Tin,Tfn,incT");
  EXPECT_EQ(lines[14], " 0.25000                                  !Acceptance factor");
  EXPECT_EQ(col(lines[15], 1, 3), "  1");
  EXPECT_EQ(col(lines[15], 6, 15), "bg        ");
  EXPECT_EQ(col(lines[15], 17, 18), "a ");
  EXPECT_EQ(col(lines[15], 20, 33), " 1.0000000E+00");
  EXPECT_EQ(col(lines[15], 34, 45), "  1.0000E-01");
  EXPECT_EQ(col(lines[15], 47, 58), "  0.0000E+00");
  EXPECT_EQ(col(lines[15], 60, 71), "  5.0000E+00");
  EXPECT_EQ(col(lines[16], 1, 18), "  3  width      al");  // second line read: parameter 3
  EXPECT_EQ(col(lines[17], 20, 33), "-5.0000000E-01");
  EXPECT_EQ(lines[29], "    1  !Rel. igualdad");
  EXPECT_EQ(lines[30], "  10   4   5   6   7   8   9  10  11  12");
  EXPECT_EQ(lines[31], "   3");
  EXPECT_EQ(lines[32], "    1  !Rel. ");
  EXPECT_EQ(lines[33], " 14 13");
  EXPECT_EQ(lines[34], "    2  !Num. contornos");
  EXPECT_EQ(lines[35].substr(0, 8), "  1  3  ");
  EXPECT_EQ(lines[36], "   0.00000   5.00000   0.50000   3.50000   0.10000   0.20000");
  EXPECT_EQ(lines[39], "    2  !Npeaks");
  EXPECT_EQ(lines[40], "    2  !num of parameters");
  EXPECT_EQ(lines[41], "    4      0.000000");
  EXPECT_EQ(lines[42], "    5      1.500000");
}

TEST(ParameterFile, FileWithoutPeakBlockReadsWithNoPeaksAndIsWrittenWithTheCount) {
  ScratchDir dir;
  std::string text = kFullFile;
  text.erase(text.find("2\n2\n4 0.0"));
  write_text("nopeaks.par", text);
  auto r = read_file("nopeaks.par");
  EXPECT_EQ(r->run->params.npeaks, 0);
  const std::string written = read_text("pini.par");
  EXPECT_EQ(written.substr(written.size() - 15), "    0  !Npeaks\n");
}

TEST(ParameterFile, StartingCopyGoesIntoAFolderStartingWithT) {
  ScratchDir dir;
  std::string text = kFullFile;
  text.replace(text.find("scan1.dat cf"), 9, "t123/s.dat");
  write_text("t.par", text);
  auto r = read_file("t.par");
  EXPECT_EQ(r->run->settings.folder, "t123");
  EXPECT_NE(dir.fake_log().find("mkdir t123"), std::string::npos) << dir.fake_log();
  EXPECT_TRUE(file_exists("t123/pini.par"));
  EXPECT_FALSE(file_exists("pini.par"));
}

// Values that do not fit their fixed fields are written so that they read back
// to the same value, and the rest of the line keeps its columns.
TEST(ParameterFile, ValuesTooWideOrTooSmallForTheirFieldsSurviveARoundTrip) {
  ScratchDir dir;
  std::string text = kFullFile;
  text.replace(text.find("0.5 0 -1\n"), 9, "1e-07 0 -1\n");                         // sigma prints as 0.000000
  text.replace(text.find("666 666 0.5 3.5"), 15, "-12345.5 99999 0.5 3.5");      // f10.5 overflow
  text.replace(text.find("1000 100\n"), 9, "123456789 100\n");                    // I8 overflow
  text.replace(text.find("1\n3 3.0 1.0 0.4"), 1, "0");                            // annealing off
  text.replace(text.find("scan2.dat n"), 9, "a_rather_long_data_file.dat");      // longer than 20
  text.replace(text.find("1 bg a 1.0"), 10, "1 bg a 1e150");
  write_text("wide.par", text);
  auto first = read_file("wide.par");
  const std::string written = read_text("pini.par");
  write_text("back.par", written);
  auto second = read_file("back.par");
  const zorvik::Run& a = *first->run;
  const zorvik::Run& b = *second->run;
  EXPECT_EQ(b.data.sigmae(1, 0), 1e-07);
  EXPECT_EQ(b.params.ctminx(1), -12345.5);
  EXPECT_EQ(b.params.ctmaxx(1), 99999.0);
  EXPECT_EQ(b.settings.ncycles, 123456789);
  EXPECT_EQ(b.data.nomin(2), "a_rather_long_data_file.dat");
  EXPECT_EQ(b.params.par(1), a.params.par(1));
  EXPECT_EQ(read_text("pini.par"), written);
}

TEST(ParameterFile, WholeCurveRangeIsWrittenInTheUnitsOfTheDataFile) {
  ScratchDir dir;
  write_text("full.par", kFullFile);
  auto r = read_file("full.par");
  zorvik::Run& run = *r->run;
  run.data.kin(2) = 1.0;  // as the data reader leaves log10 of 10 and 1000
  run.data.kfin(2) = 3.0;
  run.data.logrange(2) = 1;
  const std::string text = parameter_file_text(run.settings, run.data, run.params);
  EXPECT_NE(text.find("     1.0000E+01     1.0000E+03  100"), std::string::npos) << text;
}

TEST(ParameterFile, OutOfLimitsStartValueAsksAndEditsOnYes) {
  ScratchDir dir;
  std::string text = kFullFile;
  text.replace(text.find("1 bg a 1.0 0.1 0.0 5.0"), 22, "1 bg a 7.0 0.1 0.0 5.0");
  write_text("lim.par", text);

  auto yes = read_file("lim.par", "y\n");
  EXPECT_EQ(yes->outcome, ReadOutcome::Reread);
  EXPECT_NE(yes->screen.str().find("\n\nERROR:bg   out oflimits\n Cambiar parametrobg   ? (y/n)\n"),
            std::string::npos)
      << yes->screen.str();
  EXPECT_NE(yes->screen.str().find(" edit lim.par"), std::string::npos);
  EXPECT_EQ(dir.fake_log(), "vim lim.par\n");

  auto no = read_file("lim.par", "n\n");
  EXPECT_EQ(no->outcome, ReadOutcome::Done);
  EXPECT_EQ(no->run->params.par(1), 7.0);
  // End of keyboard input counts as "n".
  auto eof = read_file("lim.par", "");
  EXPECT_EQ(eof->outcome, ReadOutcome::Done);
}

struct BadFile {
  const char* what;
  const char* from;
  const char* to;
  const char* message;  // part of the error text
};

TEST(ParameterFile, MalformedOrRefusedInputStopsWithAMessageNamingFileAndLine) {
  const BadFile cases[] = {
      {"unquoted title", "'Full test' 1", "Full test 1", "full.par\", line 1: record 1 (run line): expected an integer (interactive), found \"test\""},
      {"model without routine", "fit2.dat, -1.5, 7.25, 100", "fit2.dat -1.5 7.25 8", "line 5: data set 2 (scan2.dat, model 8): model 8 is not in the catalogue"},
      {"model 104", "7.25, 100", "7.25 104", "model 104 is not in the catalogue"},
      {"whole-curve outside set 1", "7.25, 100", "7.25 52", "model 52 is evaluated only in data set 1"},
      {"molecule in set 3", "fit3.dat 0 1 0", "fit3.dat 0 1 4", "data set 3 (unused.dat, model 4): model 4 is evaluated only in data sets 1"},
      {"convolved dielectric", "0.0 10.0 101", "0.0 10.0 53", "model 53 cannot be convolved in data set 1"},
      {"negative model", "fit3.dat 0 1 0", "fit3.dat 0 1 -3", "model -3 is not in the catalogue"},
      {"missing value", "0 2 10.0 0.5 0.0", "0 2 10.0 0.5 zero", "line 12: record 9 (proposal and histograms): expected a number (notused), found \"zero\""},
      {"duplicate parameter", "5 a2 a 2.0", "4 a2 a 2.0", "parameter 4 is defined twice (also on line 19)"},
      {"zero write interval", "1000 100\n", "1000 0\n", "nwrite must be at least 1"},
      {"annealing without step", "3 3.0 1.0 0.4", "3 3.0 1.0 0.0", "incT other than 0"},
      {"end before record 21", "0 1 666 666 0.5 0.5\n2\n2\n4 0.0\n5 1.5\n1\n13 2.0\n", "0 1 666 666\n",
       "record 20 (contour grid 2): the file ends where a number (dx) was expected"},
      {"too many data sets", "'Full test' 1 1 3", "'Full test' 1 1 21", "table nomin, dimension 1, bounds 1 to 20, index 21"},
      {"parameter number 101", "13 lo n", "101 lo n", "table namepar, dimension 1, bounds 1 to 100, index 101"},
      {"group too large", "10 4 5 6", "101 4 5 6", "table parig, dimension 2, bounds 1 to 100, index 101"},
  };
  for (const BadFile& c : cases) {
    ScratchDir dir;
    std::string text = kFullFile;
    const size_t at = text.find(c.from);
    ASSERT_NE(at, std::string::npos) << c.what;
    text.replace(at, std::string(c.from).size(), c.to);
    write_text("full.par", text);
    try {
      read_file("full.par");
      ADD_FAILURE() << c.what << ": no error";
    } catch (const FatalError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
          << c.what << "\n  expected to contain: " << c.message << "\n  got: " << e.what();
      EXPECT_NE(e.status(), 0);
    }
  }
}

TEST(ParameterFile, ZeroconvNotSmallerThanXmaxconvStopsWithTheSystemMessage) {
  ScratchDir dir;
  std::string text = kFullFile;
  text.replace(text.find("res1.dat 2.5 -1.0"), 17, "res1.dat 2.5 -2.5");
  write_text("z.par", text);
  auto r = std::make_unique<Reading>();
  std::istringstream in;
  Console con(in, r->screen);
  r->run->settings.parfile = "z.par";
  EXPECT_THROW(parread(*r->run, con), ProgramStop);
  EXPECT_NE(r->screen.str().find(" **ERROR: zeroconv MUST be smaller than xmaxconv!!\n"), std::string::npos);
}

TEST(ParameterFile, NoFittedDataSetIsRefused) {
  ScratchDir dir;
  std::string text = kFullFile;
  text.replace(text.find("0.0 10.0 101"), 12, "0.0 10.0 0");
  text.replace(text.find("7.25, 100"), 9, "7.25 0");
  write_text("none.par", text);
  EXPECT_THROW(
      {
        try {
          read_file("none.par");
        } catch (const InputError& e) {
          EXPECT_NE(std::string(e.what()).find("no data set is fitted"), std::string::npos);
          throw;
        }
      },
      InputError);
}

}  // namespace
}  // namespace zorvik
