// The built program on complete set-ups: the console transcript and the files
// written are compared byte for byte with reviewed golden copies.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/program.h"

namespace zorvik {
namespace {

using testing_support::copy_case;
using testing_support::Outcome;
using testing_support::expect_golden;
using testing_support::read_text;
using testing_support::run_program;
using testing_support::ScratchDir;
using testing_support::write_text;

TEST(SetupRun, TwoDataSetsAreSetUpAsTheGoldenCopies) {
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

// The prompt for a missing file, fatal input, the edit-and-reread dialog and the
// options, one row each: what is prepared in the two-set case (or nothing), the
// command line and keyboard, the exit status (0 or not), and texts that the
// console and the error stream must hold.
TEST(SetupRun, StartUpDialogs) {
  const struct {
    const char* what;
    bool two_sets;
    void (*prepare)();
    const char *args, *keyboard;
    bool ok;
    std::vector<std::string> out, err;
  } cases[] = {
      {"end of input at the prompt", false, [] {}, "", "", false, {}, {"End of input"}},
      {"missing data file, answered no", true, [] { std::remove("scan2.dat"); }, "setup.par", "n\n", false,
       {"Change file"}, {"scan2.dat"}},
      {"missing data file, edited and read again", true, [] { std::remove("scan2.dat"); }, "setup.par", "y\nn\n",
       false, {"## FICHERO DE PARAMETROS ##", "## FICHERO DE PARAMETROS ##"}, {"scan2.dat"}},
      {"version", false, [] {}, "--version", "", true, {"zorvik "}, {}},
      {"help", false, [] {}, "--help", "", true, {"Usage: zorvik "}, {}},
      {"a parameter file called --help", false, [] { write_text("--help", ""); }, "--help", "", false, {"ZZZZZ"},
       {"Input error in file \"--help\": record 1"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    if (c.two_sets) copy_case("two_sets");
    c.prepare();
    const Outcome o = run_program(c.args, c.keyboard);
    EXPECT_EQ(o.status == 0, c.ok) << o.status;
    // Each text is looked for after the previous one.
    size_t at = 0;
    for (const std::string& t : c.out) {
      at = o.out.find(t, at);
      ASSERT_NE(at, std::string::npos) << t << "\n" << o.out;
      ++at;
    }
    for (const std::string& t : c.err) EXPECT_NE(o.err.find(t), std::string::npos) << t << "\n" << o.err;
  }
}

}  // namespace
}  // namespace zorvik
