// The built program on complete set-ups: the console transcript and the files
// written are compared byte for byte with reviewed golden copies.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/program.h"

namespace zorvik {
namespace {

using testing_support::copy_case;
using testing_support::Outcome;
using testing_support::expect_golden;
using testing_support::read_text;
using testing_support::run_program;
using testing_support::ScratchDir;
using testing_support::source_path;
using testing_support::write_text;

TEST(SetupRun, TwoDataSetsEchoPrepareTheResolutionAndInterpolate) {
  ScratchDir dir;
  copy_case("two_sets");
  const Outcome o = run_program("setup.par", "");
  // The batch run goes on from the set-up into the chain (the second data set
  // convolved with its resolution file) and ends normally; the golden holds
  // the set-up's transcript, up to the interpolation's closing lines.
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err, "");
  const std::string end_of_setup = " ***** END OF INTERPOLATION *****\n\n";
  const size_t cut = o.out.find(end_of_setup);
  ASSERT_NE(cut, std::string::npos) << o.out;
  expect_golden("tests/e2e/golden/two_sets_console.txt", o.out.substr(0, cut + end_of_setup.size()));
  expect_golden("tests/e2e/golden/two_sets_pini.par", read_text("pini.par"));
  expect_golden("tests/e2e/golden/two_sets_convf.dat", read_text("convf.dat"));
  // The convolved data set was fitted: its curve file follows the run.
  EXPECT_NE(read_text("fit2.dat").find("#x ydat ycalc diff"), std::string::npos);
}

TEST(SetupRun, ParameterFileChosenAtThePromptAfterAMissingOne) {
  ScratchDir dir;
  copy_case("two_sets");
  const Outcome o = run_program("nothere.par", "hf\nsetup.par\n");
  const std::string expected_start =
      " The file does not exist!\n"
      " Enter Parameter file:\n";
  EXPECT_NE(o.out.find(expected_start), std::string::npos) << o.out;
  EXPECT_NE(o.out.find(" ***** AVAILABLE FUNCTIONS ******"), std::string::npos);
  EXPECT_NE(o.out.find(" You will work with parameter file setup.par\n"), std::string::npos);
}

TEST(SetupRun, FatalInputEndsWithANonZeroStatusAndAMessage) {
  {
    // End of keyboard input at the file prompt.
    ScratchDir dir;
    const Outcome o = run_program("", "");
    EXPECT_NE(o.status, 0);
    EXPECT_NE(o.err.find("End of input"), std::string::npos) << o.err;
  }
  {
    // A missing data file answered with "n".
    ScratchDir dir;
    copy_case("two_sets");
    std::remove("scan2.dat");
    const Outcome o = run_program("setup.par", "n\n");
    EXPECT_NE(o.status, 0);
    EXPECT_NE(o.out.find("Change file"), std::string::npos) << o.out;
    EXPECT_NE(o.err.find("scan2.dat"), std::string::npos) << o.err;
  }
  {
    // A non-numeric data line names the file and the line.
    ScratchDir dir;
    copy_case("two_sets");
    std::string data = read_text("scan1.dat");
    data.replace(data.find("-0.90"), 5, "-0.9x");  // line 4 of the file
    write_text("scan1.dat", data);
    const Outcome o = run_program("setup.par", "");
    EXPECT_NE(o.status, 0);
    EXPECT_NE(o.err.find("scan1.dat"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("line 4"), std::string::npos) << o.err;
  }
}

TEST(SetupRun, MissingDataFileAnsweredYesEditsAndReadsAgain) {
  ScratchDir dir;
  copy_case("two_sets");
  std::rename("scan2.dat", "scan2.keep");
  // The editor stand-in does nothing, so the file is still missing at the
  // second reading; the answer "n" then ends the run.
  const Outcome o = run_program("setup.par", "y\nn\n");
  EXPECT_NE(o.status, 0);
  EXPECT_EQ(dir.fake_log(), "vim setup.par\n");
  size_t first = o.out.find("## FICHERO DE PARAMETROS ##");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(o.out.find("## FICHERO DE PARAMETROS ##", first + 1), std::string::npos)
      << "the parameter file was not read again";
}

TEST(SetupRun, HelpAndVersionAnswerUnlessAFileHasThatName) {
  ScratchDir dir;
  Outcome o = run_program("--version", "");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out.substr(0, 7), "zorvik ");
  o = run_program("--help", "");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out.substr(0, 14), "Usage: zorvik ");
  // A parameter file called --help is read like any other.
  write_text("--help", "");
  o = run_program("--help", "");
  EXPECT_NE(o.status, 0);
  EXPECT_NE(o.out.find("ZZZZZ"), std::string::npos);
  EXPECT_NE(o.err.find("Input error in file \"--help\": record 1"), std::string::npos) << o.err;
}

}  // namespace
}  // namespace zorvik
