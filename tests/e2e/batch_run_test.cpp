// One short batch run of the built program, compared whole with reviewed golden
// copies: the console transcript (with the clock-dependent run-time estimate and
// time-left column masked) and every file the run writes. The generator's fixed
// seed makes the run deterministic.
#include <gtest/gtest.h>

#include <dirent.h>

#include <set>
#include <string>

#include "support/program.h"

namespace zorvik {
namespace {

using testing_support::copy_case;
using testing_support::expect_golden;
using testing_support::mask_clock;
using testing_support::read_text;
using testing_support::run_program;
using testing_support::ScratchDir;
using testing_support::source_path;

std::set<std::string> files_here() {
  std::set<std::string> names;
  if (DIR* d = opendir(".")) {
    while (dirent* e = readdir(d))
      if (e->d_type == DT_REG) names.insert(e->d_name);
    closedir(d);
  }
  return names;
}

TEST(BatchRun, ShortFitWritesItsTranscriptAndEveryFileExactly) {
  ScratchDir dir;
  copy_case("short_batch");
  const std::set<std::string> inputs = files_here();
  const testing_support::Outcome o = run_program("short.par", "");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err, "");
  expect_golden("tests/e2e/golden/short_batch/console.txt", mask_clock(o.out));

  std::set<std::string> written;
  for (const std::string& f : files_here())
    if (!inputs.count(f) || f == "short.par") written.insert(f);
  const std::set<std::string> expected = {"short.par", "pini.par", "inicif1.dat", "chi.dat", "jump.dat", "convf.dat",
                                          "move.dat",  "MMchain.dat", "fit1.dat", "Gp1.dat", "Gp2.dat",
                                          "Gp4.dat",   "Gp5.dat", "Gp6.dat", "Glk.dat", "parstat.dat", "out.dat",
                                          "chainstat.dat"};
  EXPECT_EQ(written, expected);
  for (const std::string& f : written) expect_golden("tests/e2e/golden/short_batch/" + f, read_text(f));
}

}  // namespace
}  // namespace zorvik
