// Start-up: the banner and the dialogue that chooses the parameter file. Each
// test runs in its own fresh working directory, since the choice depends on
// which files exist there.
#include "setup/startup.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/errors.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::lines_of;
using testing_support::reference;
using testing_support::ScratchDir;
using testing_support::write_text;

TEST(Banner, MatchesTheReferenceText) {
  std::istringstream in;
  std::ostringstream out;
  Console con(in, out);
  print_banner(con);
  EXPECT_EQ(out.str(), reference("banner.txt"));
}

// Checks the layout on its own terms, so a reference text typed or regenerated
// wrongly cannot hide a fault in the box.
TEST(Banner, IsABoxOfFiftyColumnsWithTheNameInCapitals) {
  std::istringstream in;
  std::ostringstream out;
  Console con(in, out);
  print_banner(con);
  const std::vector<std::string> lines = lines_of(out.str());

  constexpr size_t kBoxLines = 8;  // border, blank, four rows of letters, blank, border
  constexpr size_t kWidth = 50;
  ASSERT_EQ(lines.size(), kBoxLines + 7);
  for (size_t k = 0; k < kBoxLines; ++k) {
    const std::string& l = lines[k];
    ASSERT_EQ(l.size(), kWidth + 1) << "line " << k << ": '" << l << "'";
    EXPECT_EQ(l[0], ' ');
    const std::string box = l.substr(1);
    EXPECT_EQ(box.front(), '*');
    EXPECT_EQ(box.back(), '*');
    const std::string inside = box.substr(1, kWidth - 2);
    if (k == 0 || k == kBoxLines - 1) {
      EXPECT_EQ(inside, std::string(kWidth - 2, '*'));
    } else if (k == 1 || k == kBoxLines - 2) {
      EXPECT_EQ(inside, std::string(kWidth - 2, ' '));
    } else {
      EXPECT_EQ(inside.find_first_not_of(" ZORVIK"), std::string::npos) << inside;
      EXPECT_NE(inside.find_first_not_of(' '), std::string::npos);
    }
  }
  EXPECT_EQ(lines[kBoxLines], " ");
  EXPECT_EQ(lines[kBoxLines + 1], "");
  EXPECT_EQ(lines[kBoxLines + 2], "     (Max. Number of points for data file: 10 000)");
  for (size_t k = kBoxLines + 3; k < lines.size(); ++k) EXPECT_EQ(lines[k], "");
}

// A fresh working directory for each test; the previous one is restored.
class ChooseParameterFile : public testing::Test {
 protected:
  static void touch(const std::string& name) { write_text(name, "x\n"); }

  // Runs the choice with the given arguments and keyboard text; returns the screen.
  std::string choose(const std::vector<std::string>& args, const std::string& keyboard) {
    std::istringstream in(keyboard);
    std::ostringstream out;
    Console con(in, out);
    choose_parameter_file(con, args, settings_);
    return out.str();
  }

  ScratchDir scratch_;
  RunSettings settings_;
};

constexpr const char* kMissing = " The file does not exist!\n";
constexpr const char* kPrompt = " Enter Parameter file:\n";

TEST_F(ChooseParameterFile, ExistingArgumentIsTakenWithoutAsking) {
  touch("run1.par");
  EXPECT_EQ(choose({"run1.par"}, "never read\n"), " You will work with parameter file run1.par\n\n\n");
  EXPECT_EQ(settings_.parfile.str(), "run1.par");
  EXPECT_EQ(settings_.folder.str(), "pelotudo");
}

TEST_F(ChooseParameterFile, ArgumentStartingWithTSetsTheFolderToFourCharacters) {
  touch("t123.par");
  touch("Tab9x.par");
  settings_.folder = "left over";
  choose({"t123.par"}, "");
  EXPECT_EQ(settings_.folder.str(), "t123");
  EXPECT_EQ(settings_.parfile.str(), "t123.par");

  choose({"Tab9x.par"}, "");
  EXPECT_EQ(settings_.folder.str(), "Tab9");

  // Any other name leaves the folder unused.
  touch("run.par");
  choose({"run.par"}, "");
  EXPECT_EQ(settings_.folder.str(), "pelotudo");
}

TEST_F(ChooseParameterFile, MissingArgumentIsReportedOnceThenPrompted) {
  touch("prot.par");
  const std::string screen = choose({"t770.par"}, "r\n");
  EXPECT_EQ(screen, std::string(kMissing) + kPrompt + " You will work with parameter file prot.par\n\n\n");
  EXPECT_EQ(settings_.parfile.str(), "prot.par");
  // The folder follows the argument even though that file was missing.
  EXPECT_EQ(settings_.folder.str(), "t770");
}

TEST_F(ChooseParameterFile, ShortNamesStandForTheUsualFiles) {
  touch("pfin.par");
  touch("prota.par");
  choose({"p"}, "");
  EXPECT_EQ(settings_.parfile.str(), "pfin.par");
  choose({}, "ra\n");
  EXPECT_EQ(settings_.parfile.str(), "prota.par");
  choose({}, "p\n");
  EXPECT_EQ(settings_.parfile.str(), "pfin.par");
  // "ra" and "r" are prompt answers only: as an argument "r" is a file name.
  std::string screen = choose({"r"}, "p\n");
  EXPECT_EQ(screen.rfind(kMissing, 0), 0u) << screen;
}

TEST_F(ChooseParameterFile, TwoArgumentsAreIgnoredAndTheUserAsked) {
  touch("a.par");
  touch("b.par");
  const std::string screen = choose({"a.par", "b.par"}, "b.par\n");
  EXPECT_EQ(screen, std::string(kPrompt) + " You will work with parameter file b.par\n\n\n");
  EXPECT_EQ(settings_.parfile.str(), "b.par");
}

TEST_F(ChooseParameterFile, PromptRepeatsUntilAFileExistsAndAcceptsQuotedNames) {
  touch("my run.par");
  const std::string screen = choose({}, "\nnope.par\n'my run.par' rest ignored\n");
  EXPECT_EQ(screen, std::string(kPrompt) + kMissing + kPrompt +
                        " You will work with parameter file my run.par\n\n\n");
  EXPECT_EQ(settings_.parfile.str(), "my run.par");
}

TEST_F(ChooseParameterFile, HfShowsTheModelListThenAsksAgain) {
  touch("pfin.par");
  const std::string screen = choose({}, "hf\np\n");
  const std::string functions = reference("help_functions.txt");
  ASSERT_FALSE(functions.empty());
  EXPECT_EQ(screen, std::string(kPrompt) + functions + kMissing + kPrompt +
                        " You will work with parameter file pfin.par\n\n\n");
}

TEST_F(ChooseParameterFile, HfIsAlsoAFileNameWhenSuchAFileExists) {
  touch("hf");
  const std::string screen = choose({}, "hf\n");
  EXPECT_EQ(screen, std::string(kPrompt) + reference("help_functions.txt") +
                        " You will work with parameter file hf\n\n\n");
  EXPECT_EQ(settings_.parfile.str(), "hf");
}

TEST_F(ChooseParameterFile, EndOfInputAtThePromptStopsWithAnError) {
  std::istringstream in("missing.par\n");
  std::ostringstream out;
  Console con(in, out);
  EXPECT_THROW(choose_parameter_file(con, {}, settings_), FatalError);
  EXPECT_EQ(out.str(), std::string(kPrompt) + kMissing + kPrompt);
}

TEST_F(ChooseParameterFile, NamesLongerThanTheFieldAreCut) {
  // The name field holds 40 characters: a longer name is cut and the cut name
  // normally does not exist, so the user is told why and asked again.
  const std::string long_name = std::string(41, 'a') + ".par";
  touch(long_name);
  touch("short.par");
  const std::string screen = choose({long_name}, "short.par\n");
  const std::string cut(40, 'a');
  EXPECT_EQ(screen, " The name is cut to its first 40 characters: " + cut + "\n" + kMissing + kPrompt +
                        " You will work with parameter file short.par\n\n\n");

  // A 40-character name fits exactly.
  const std::string exact = std::string(36, 'b') + ".par";
  touch(exact);
  choose({exact}, "");
  EXPECT_EQ(settings_.parfile.str(), exact);
}

}  // namespace
}  // namespace zorvik
