// Runs at the edges of the chain's numbers, each the short-batch case with its
// own parameter file (tests/e2e/chain_numbers/<case>), compared whole with
// reviewed golden copies: chains in which no step lowers the chi-square report
// their start (the chi-square of inicif1.dat, the start values) and never the
// mark 1e10; Poisson starts with a model of 0 where counts were measured, or
// negative where none were, are refused naming the first such point.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/program.h"

namespace zorvik {
namespace {

using namespace testing_support;

TEST(ChainNumbers, StartStateStandsInForTheMinimumAndImpossiblePoissonStartsAreRefused) {
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
    const Outcome o = run_program("short.par", "");
    EXPECT_EQ(o.status, c.status) << o.err;
    const std::string golden = std::string("tests/e2e/golden/chain_numbers/") + c.name + "/";
    expect_golden(golden + "console.txt", mask_clock(o.out) + o.err);
    for (const std::string& f : c.files) expect_golden(golden + f, read_text(f));
  }
}

}  // namespace
}  // namespace zorvik
