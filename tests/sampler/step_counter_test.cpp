// The last steps of a run of 2^31 − 1 steps (the largest count the parameter
// file holds) with one write interval as long: a 32-bit step counter overflowed
// after the last step, and 2·nwrite before it, so the run never ended.
#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "core/record_format.h"
#include "sampler/compara.h"
#include "output/result_files.h"
#include "sampler/run_loop.h"
#include "setup/data_file.h"
#include "setup/param_file.h"
#include "support/program.h"

namespace zorvik {
namespace {

using namespace testing_support;

TEST(StepCounter, RunOfTheLargest32BitStepCountEnds) {
  ScratchDir dir;
  copy_case("short_batch");
  std::string par = read_text("short.par");
  par.replace(par.find("    3000    1000"), 16, " 2147483647 2147483647");
  par.replace(par.find("   0    3     5.0"), 17, "   0    2     5.0");  // a chain record per step
  write_text("short.par", par);
  Screen screen;
  auto run = std::make_unique<zorvik::Run>();
  auto ws = std::make_unique<ModelWorkspace>();
  run->settings.parfile = "short.par";
  ASSERT_EQ(parread(*run, screen.con), ReadOutcome::Done);
  ASSERT_EQ(dataread(*run, screen.con), ReadOutcome::Done);
  classify_sigmas(run->data, run->settings.nfunc);
  RunLoop loop(screen.con);
  loop.clock = [] { return 0.0f; };
  loop.first_icycle = INT_MAX - 4LL;
  ResultFiles files;
  run_chain(*run, *ws, loop, files, screen.con);

  EXPECT_EQ(run->chain.icycle, INT_MAX + 1LL);
  const std::vector<std::string> chain = lines_of(read_text("MMchain.dat"));
  ASSERT_EQ(chain.size(), 6u);
  for (int k = 1; k <= 5; ++k) EXPECT_EQ(chain[k].substr(0, 12), format_record("(i12)", {INT_MAX - 5LL + k}));
  // The interval at icycle = nwrite starts the run-time measurement.
  const std::string stars = " " + std::string(36, '*');
  EXPECT_TRUE(has_lines(screen.out.str(), {stars, stars, "", "   step  time left  chisq1,2,3..."}));
}

}  // namespace
}  // namespace zorvik
