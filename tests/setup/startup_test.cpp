// Start-up: the choice of the parameter file, each case in a fresh working directory.
#include "setup/startup.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/files.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::reference;
using Words = std::vector<std::string>;

const std::string kMissing = " The file does not exist!\n", kPrompt = " Enter Parameter file:\n";
std::string chosen(const std::string& name) { return " You will work with parameter file " + name + "\n\n\n"; }

TEST(ChooseParameterFile, TableOfArgumentsAndAnswers) {
  const std::string functions = reference("help_functions.txt");
  ASSERT_FALSE(functions.empty());
  const std::string long_name = std::string(41, 'a') + ".par", exact = std::string(36, 'b') + ".par";
  struct Case {
    Words files, args;
    std::string keyboard, screen, parfile, folder = "pelotudo";
  };
  const Case cases[] = {
      {{"run1.par"}, {"run1.par"}, "never read\n", chosen("run1.par"), "run1.par"},
      // A name starting with "t" or "T" sets the folder to its first four characters,
      // even when that file is missing and the user is asked once.
      {{"t123.par"}, {"t123.par"}, "", chosen("t123.par"), "t123.par", "t123"},
      {{"Tab9x.par"}, {"Tab9x.par"}, "", chosen("Tab9x.par"), "Tab9x.par", "Tab9"},
      {{"prot.par"}, {"t770.par"}, "r\n", kMissing + kPrompt + chosen("prot.par"), "prot.par", "t770"},
      // Short names: "p" anywhere, "r" and "ra" only as prompt answers.
      {{"pfin.par"}, {"p"}, "", chosen("pfin.par"), "pfin.par"},
      {{"prota.par"}, {}, "ra\n", kPrompt + chosen("prota.par"), "prota.par"},
      {{"pfin.par"}, {}, "p\n", kPrompt + chosen("pfin.par"), "pfin.par"},
      {{"prot.par", "pfin.par"}, {"r"}, "p\n", kMissing + kPrompt + chosen("pfin.par"), "pfin.par"},
      {{"prota.par", "pfin.par"}, {"ra"}, "p\n", kMissing + kPrompt + chosen("pfin.par"), "pfin.par"},
      {{"a.par", "b.par"}, {"a.par", "b.par"}, "b.par\n", kPrompt + chosen("b.par"), "b.par"},  // two: ignored
      {{"my run.par"}, {}, "\nnope.par\n'my run.par' rest ignored\n",
       kPrompt + kMissing + kPrompt + chosen("my run.par"), "my run.par"},
      // "hf" shows the model list and asks again, unless a file of that name exists.
      {{"pfin.par"}, {}, "hf\np\n", kPrompt + functions + kMissing + kPrompt + chosen("pfin.par"), "pfin.par"},
      {{"hf"}, {}, "hf\n", kPrompt + functions + chosen("hf"), "hf"},
      // A name longer than its 40-character field is kept whole.
      {{long_name}, {}, long_name + "\n", kPrompt + chosen(long_name), long_name},
      {{exact}, {exact}, "", chosen(exact), exact},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.screen);
    testing_support::ScratchDir scratch;
    for (const std::string& f : c.files) testing_support::write_text(f, "x\n");
    testing_support::Screen s(c.keyboard);
    RunSettings settings;
    settings.folder = "left over";
    choose_parameter_file(s.con, c.args, settings);
    EXPECT_EQ(s.out.str(), c.screen);
    EXPECT_EQ(settings.parfile.str(), c.parfile);
    EXPECT_EQ(settings.folder.str(), c.folder);
  }
}

// A loss that no sum of Debye peaks reproduces (one spike on a floor): the
// inversion fails. A model writes no file of its own; the program's workspace
// keeps the curves in Problemeps.dat, log10 f and the loss exactly as given.
TEST(MakeWorkspace, KeepsAFailedLossInversionInItsFile) {
  testing_support::ScratchDir scratch;
  testing_support::Screen s("");
  const auto ws = make_workspace(s.con, false);
  constexpr int kN = 41;
  std::vector<double> logf(kN), eps(kN, 1e-3), g(kN);
  for (int k = 0; k < kN; ++k) logf[size_t(k)] = 2.0 + 0.1 * k;
  eps[20] = 1.0;
  ws->curve.prepare(logf.data(), kN);
  EXPECT_FALSE(ws->curve.gtau(eps.data(), g.data(), ModelEnv{nullptr, &s.con, &ws->curve}));
  EXPECT_FALSE(file_exists("Problemeps.dat"));
  EXPECT_FALSE(ws->curve.gtau(eps.data(), g.data(), ModelEnv{nullptr, &s.con, &ws->curve, ws->failed_inversion}));
  const std::vector<std::string> lines = testing_support::lines_of(testing_support::read_text("Problemeps.dat"));
  ASSERT_EQ(lines.size(), size_t(kN + 1));
  EXPECT_EQ(lines[0], " f eps epscalc");
  for (int k = 0; k < kN; ++k) {
    const std::vector<double> v = testing_support::numbers_of(lines[size_t(k + 1)]);
    ASSERT_EQ(v.size(), 3u) << lines[size_t(k + 1)];
    EXPECT_EQ(v[0], logf[size_t(k)]);
    EXPECT_EQ(v[1], eps[size_t(k)]);
    if (k == 20) {
      EXPECT_LT(v[2], 0.99 * eps[20]) << "the computed loss at the spike";
    }
  }
  EXPECT_NE(s.out.str().find("PROBLEM IN gTAU"), std::string::npos);
}

}  // namespace
}  // namespace zorvik
