// The parameter file: a file that uses every record (tests/setup/param_file/
// full.par: a "cf" data set with its resolution line, an unfitted set,
// annealing, a group longer than one writer line, relations, contours with the
// 666 shorthand, peaks) read, echoed and written again, compared whole with
// reviewed golden copies; the read → write → read fixed point; values that do
// not fit their fields; and the input errors, each naming file and line.
#include "setup/param_file.h"
#include "setup/startup.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "core/errors.h"
#include "support/program.h"

namespace zorvik {
namespace {

using namespace testing_support;

struct Reading {
  std::unique_ptr<Run> run = std::make_unique<Run>();
  std::ostringstream screen;
};

std::unique_ptr<Reading> read_file(const std::string& name) {
  auto r = std::make_unique<Reading>();
  std::istringstream in;
  Console con(in, r->screen);
  r->run->settings.parfile = name;
  read_parameter_file(*r->run, con);
  return r;
}

std::string full_file() { return read_text(source_path("tests/setup/param_file/full.par")); }

TEST(ParameterFile, FileWithEveryRecordIsEchoedAsTheGoldenCopies) {
  ScratchDir dir;
  write_text("full.par", full_file());
  auto r = read_file("full.par");
  // The starting copy shows what was derived: annealing cycles 1800 (6 stages
  // of 3 intervals of 100 steps), the temperature Tin, the group master copied
  // into its members, the contour limits that 666 stood for.
  expect_golden("tests/setup/param_file/pini.par", read_text("pini.par"));
  expect_golden("tests/setup/param_file/console.txt", r->screen.str());
  const zorvik::Run& run = *r->run;
  EXPECT_EQ(run.settings.nfitfunc, 2);
  EXPECT_EQ(run.params.nfit, 11);
  EXPECT_EQ(run.params.parfit(2), 3);  // the reading order
  EXPECT_DOUBLE_EQ(run.params.incgg(3), 0.2 / 10.0);
  EXPECT_EQ(run.chain.parchimin(0), 1.0e10);  // the chain's accumulators start afresh

  // Read again, the starting copy reproduces itself.
  write_text("again.par", read_text("pini.par"));
  read_file("again.par");
  expect_golden("tests/setup/param_file/pini.par", read_text("pini.par"));
}

// Values that do not fit their fixed fields are written so that they read back
// to the same value, and the rest of the line keeps its columns.
TEST(ParameterFile, ValuesTooWideOrTooSmallForTheirFieldsSurviveARoundTrip) {
  ScratchDir dir;
  std::string text = full_file();
  const std::pair<const char*, const char*> edits[] = {
      {"0.5 0 -1\n", "1e-07 0 -1\n"},                   // sigma prints as 0.000000
      {"666 666 0.5 3.5", "-12345.5 99999 0.5 3.5"},    // f10.5 overflow
      {"1000 100\n", "123456789 100\n"},                // I8 overflow
      {"1\n3 3.0 1.0 0.4", "0\n3 3.0 1.0 0.4"},         // annealing off
      {"scan2.dat n", "a_rather_long_data_file.dat n"},  // longer than 20
      {"1 bg a 1.0", "1 bg a 1e150"}};
  for (const auto& [from, to] : edits) text.replace(text.find(from), std::string(from).size(), to);
  write_text("wide.par", text);
  auto first = read_file("wide.par");
  const std::string written = read_text("pini.par");
  write_text("back.par", written);
  auto second = read_file("back.par");
  const zorvik::Run& b = *second->run;
  EXPECT_EQ(b.data.sigmae(1, 0), 1e-07);
  EXPECT_EQ(b.params.ctminx(1), -12345.5);
  EXPECT_EQ(b.params.ctmaxx(1), 99999.0);
  EXPECT_EQ(b.settings.ncycles, 123456789);
  EXPECT_EQ(b.data.nomin(2), "a_rather_long_data_file.dat");
  EXPECT_EQ(b.params.par(1), first->run->params.par(1));
  EXPECT_EQ(read_text("pini.par"), written);
}

TEST(ParameterFile, MalformedInputStopsNamingFileAndLine) {
  const struct {
    const char *what, *from, *to, *message;  // message: part of the error text
  } cases[] = {
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
  for (const auto& c : cases) {
    ScratchDir dir;
    std::string text = full_file();
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

}  // namespace
}  // namespace zorvik
