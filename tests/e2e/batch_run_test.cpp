// Short batch runs of the built program, compared whole with reviewed golden
// copies: the console transcript (with the clock-dependent run-time estimate and
// time-left column masked) and the files the run writes. The generator's fixed
// seed makes the runs deterministic.
#include <gtest/gtest.h>

#include <dirent.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

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

TEST(BatchRun, ShortFitWritesEveryFileAsTheGoldenCopies) {
  ScratchDir dir;
  copy_case("short_batch");
  const std::set<std::string> inputs = files_here();
  const testing_support::Outcome o = run_program("short.par", "");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err, "");
  expect_golden("tests/e2e/golden/short_batch/console.txt", mask_clock(o.out));

  std::set<std::string> written;
  for (const std::string& f : files_here())
    if ((!inputs.count(f) || f == "short.par") && f != "fake.log") written.insert(f);
  // The report folder is drawn by one headless gnuplot run over its scripts.
  EXPECT_EQ(dir.fake_log(), "gnuplot set1.gp corner.gp trace.gp\n");
  const std::set<std::string> expected = {"short.par", "pini.par", "inicif1.dat", "chi.dat", "jump.dat", "convf.dat",
                                          "move.dat",  "MMchain.dat", "fit1.dat", "Gp1.dat", "Gp2.dat",
                                          "Gp4.dat",   "Gp5.dat", "Gp6.dat", "Glk.dat", "parstat.dat", "out.dat",
                                          "chainstat.dat"};
  EXPECT_EQ(written, expected);
  for (const std::string& f : written) expect_golden("tests/e2e/golden/short_batch/" + f, read_text(f));
  // A second run finds the report folder of the first and writes into it; a
  // file in its place stops the run at reading, naming it.
  EXPECT_EQ(run_program("short.par", "").status, 0);
  std::filesystem::remove_all("report");
  testing_support::write_text("report", "not a folder\n");
  const testing_support::Outcome refused = run_program("short.par", "");
  EXPECT_NE(refused.status, 0);
  EXPECT_NE(refused.err.find("the folder \"report\""), std::string::npos) << refused.err;
}

// Runs at the edges of the chain's numbers, each the short-batch case with its
// own parameter file (tests/e2e/chain_numbers/<case>): chains in which no step
// lowers the chi-square report their start (the chi-square of inicif1.dat, the
// start values) and never the mark 1e10; Poisson starts with a model of 0 where
// counts were measured, or negative where none were, are refused naming the
// first such point.
TEST(ChainNumbers, EdgesOfTheChainsNumbers) {
  const struct {
    const char* name;
    int status;
    std::vector<std::string> files;
  } cases[] = {
      {"no_step_proposed", 0, {"out.dat", "parstat.dat"}},  // varpar 2
      {"no_cycles", 0, {"out.dat", "parstat.dat"}},         // ncycles 0
      {"all_fixed", 0, {"out.dat", "parstat.dat"}},
      {"poisson_zero_model", 1, {}},
      {"poisson_negative_model", 1, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    copy_case("short_batch");
    copy_case(std::string("chain_numbers/") + c.name);
    const testing_support::Outcome o = run_program("short.par", "");
    EXPECT_EQ(o.status, c.status) << o.err;
    const std::string golden = std::string("tests/e2e/golden/chain_numbers/") + c.name + "/";
    expect_golden(golden + "console.txt", mask_clock(o.out) + o.err);
    for (const std::string& f : c.files) expect_golden(golden + f, read_text(f));
  }
}

}  // namespace
}  // namespace zorvik
