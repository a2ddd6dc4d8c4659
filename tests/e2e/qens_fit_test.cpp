// The shipped quasi-elastic example, run as a user runs it: five spectra of a
// molecule diffusing by Fick's law, one per momentum transfer q (read from the
// second z value of each file), fitted together with the translational
// diffusion model convolved with a measured-style resolution. The fitted
// diffusion coefficient must bracket the value the data were made with; that
// needs the q of every spectrum, the convolution and the shared parameter to
// work together, since a wrong q, a misplaced kernel or a per-set width would
// each pull the line widths away from D·q².
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/program.h"

namespace zorvik {
namespace {

using testing_support::copy_example;
using testing_support::lines_of;
using testing_support::parstat_row;
using testing_support::ParStatRow;
using testing_support::read_text;
using testing_support::run_program;
using testing_support::ScratchDir;
using testing_support::generator_value;

TEST(QensExample, MultiQFitBracketsTheTrueDiffusionCoefficient) {
  const double d_true = generator_value("qens", "D");
  ASSERT_GT(d_true, 0.0) << "no 'D = …' line in examples/qens/make_data.py";

  ScratchDir dir;
  copy_example("qens");
  const testing_support::Outcome o = run_program("qens.par", "");
  ASSERT_EQ(o.status, 0) << o.err << "\n" << o.out.substr(o.out.size() > 3000 ? o.out.size() - 3000 : 0);

  const ParStatRow d = parstat_row(read_text("parstat.dat"), "Dif");
  ASSERT_EQ(d.name, "Dif") << "no row for Dif in parstat.dat:\n" << read_text("parstat.dat");
  EXPECT_GT(d.changes, 1000) << "too few accepted moves of D for a distribution";
  EXPECT_LT(d.errdown, d_true);
  EXPECT_GT(d.errup, d_true);
  // About 1200 points with up to ~1000 counts at the peak fix D to a few per
  // cent; a one-sigma band wider than 15 % of D would mean a chain that never
  // settled, and would bracket almost any value.
  EXPECT_LT(d.errup - d.errdown, 0.15 * d_true);
  // Every spectrum was fitted: each one has its own fitted-curve file.
  for (int k = 1; k <= 5; ++k) EXPECT_FALSE(read_text("fit" + std::to_string(k) + ".dat").empty()) << k;
}

}  // namespace
}  // namespace zorvik
