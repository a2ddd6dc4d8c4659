// The command prompt on a hand-built run (a straight line, model 100, fitted to
// four points): how each session ends, the state that commands leave behind, and
// the molecule viewer's command lines.
#include "analysis/interpreter.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "setup/param_file.h"
#include "support/scratch.h"

namespace zorvik {
namespace {

using testing_support::lines_of;
using testing_support::read_text;
using testing_support::ScratchDir;

constexpr int kPolynomial = 100;

class Prompt : public testing::Test {
 protected:
  Prompt() {
    zorvik::Run& r = *run_;
    RunSettings& s = r.settings;
    s.parfile = "line.par";
    s.npar = 3;
    s.nfunc = 1;
    s.nfitfunc = 1;
    s.incgpar = 1.0;
    r.data.nomin(1) = "line.dat";
    r.data.nomout(1) = "fit.dat";
    r.data.nomout(0) = "out.dat";
    r.data.opfit(1) = kPolynomial;
    for (int j = 1; j <= 4; ++j) {
      r.data.xi(1, j) = j;
      r.data.yi(1, j) = 1.0 + 2.0 * j;
      r.data.sigmae(1, j) = 0.5;
    }
    r.data.imin(1) = 1;
    r.data.ndatin(1) = 4;
    FitParameters& p = r.params;
    const char* names[] = {"", "offset", "slope", "curv"};
    const double par[] = {0, 1.5, 2.5, 0.0}, move[] = {0, 0.1, -0.2, 0.0};
    for (int k = 1; k <= 3; ++k) {
      p.namepar(k) = names[k];
      p.logpar(k) = "a";
      p.par(k) = par[k];
      p.move(k) = move[k];
      p.parmin(k) = -10.0;
      p.parmax(k) = 10.0;
      p.orden(k) = k;
    }
    r.chain.parchimin(0) = 0.75;
    r.chain.parchimin(1) = 1.25;
    r.chain.parchimin(2) = 2.0;
    r.chain.parchimin(3) = 0.0;
  }

  PromptExit session(const std::string& keyboard) {
    in_.str(keyboard);
    in_.clear();
    out_.str("");
    Console con(in_, out_);  // a fresh keyboard: the end of the last one is forgotten
    return interpreter(*run_, *ws_, loop_, con);
  }

  ScratchDir dir_;
  std::unique_ptr<zorvik::Run> run_ = std::make_unique<zorvik::Run>();
  std::unique_ptr<ModelWorkspace> ws_ = std::make_unique<ModelWorkspace>();
  std::istringstream in_;
  std::ostringstream out_;
  Console con_{in_, out_};
  RunLoop loop_{con_};
};

TEST_F(Prompt, EachSessionEndsTheWayItsCommandSays) {
  EXPECT_EQ(session("c\n"), PromptExit::Continue);
  EXPECT_EQ(session("cp\n"), PromptExit::Reload);
  for (const char* end : {"end\n", "fin\n", "fi\n", "\n\n"}) EXPECT_EQ(session(end), PromptExit::End) << end;
  // Blank lines are no answer: the prompt waits on, and the end of input ends it.
  EXPECT_EQ(out_.str(), "minimum chisquare found:    7.50000E-01\nZoRvIk> \n"
                        " End of keyboard input: the session ends.\n");
  // Upper case is another word; the commands match whole words only.
  EXPECT_EQ(session("C\nCP\nc2\nends\nend\n"), PromptExit::End);
  int replies = 0;
  for (const std::string& l : lines_of(out_.str()))
    if (l.find(", I do not understand!!") != std::string::npos) ++replies;
  EXPECT_EQ(replies, 4);
}

TEST_F(Prompt, AxisWordsAndPrintSetWhatThePlotsAreHanded) {
  const std::pair<const char*, const char*> words[] = {{"glx", "ln"}, {"gly", "nl"}, {"glxy", "ll"}, {"gnn", "nn"},
                                                       {"ll", "ll"},  {"ln", "ln"},   {"nl", "nl"},   {"nn", "nn"}};
  for (auto [word, axes] : words) {
    session(std::string(word) + "\nend\n");
    EXPECT_EQ(run_->settings.plotaxes, axes) << word;
  }
  session("print\nend\n");
  EXPECT_EQ(run_->settings.printmode, 1);
  session("print\nend\n");
  EXPECT_EQ(run_->settings.printmode, 0);
}

TEST_F(Prompt, BestStateBecomesTheCurrentStateForTheNextRun) {
  run_->dist.pdfready = true;
  EXPECT_EQ(session("pm1\nc\n"), PromptExit::Continue);
  for (int k = 1; k <= 3; ++k) EXPECT_EQ(run_->params.par(k), run_->chain.parchimin(k)) << k;
  // The chi-square is that of the best state: Σ (y − 1.25 − 2x)² / 0.5² over four
  // points with y = 1 + 2x, exact in binary.
  EXPECT_EQ(run_->chain.chisq(0), 1.0);
  // The parameter file went to the output file, followed by the listing of the curves.
  const std::string out = read_text("out.dat");
  const std::string file = parameter_file_text(run_->settings, run_->data, run_->params);
  EXPECT_EQ(out.substr(0, file.size()), file);
  EXPECT_EQ(out.substr(file.size(), 18), " Function:fit.dat\n");
  // Entering the prompt clears the flag of the distributions.
  EXPECT_FALSE(run_->dist.pdfready);
}

TEST_F(Prompt, ShowmolStartsTheViewerOnTheMoleculeFileOfTheModel) {
  run_->data.opfit(1) = 1;
  session("showmol\nend\n");
  run_->data.opfit(1) = 0;
  run_->data.opfit(2) = 2;
  session("showmol\nt\nshowmol\ng\nshowmol\nx\nend\n");
  EXPECT_TRUE(file_exists("molect.xyz") && file_exists("molecg.xyz"));
  EXPECT_EQ(lines_of(out_.str())[1], "ZoRvIk>  Trans (t) or gauche (g) molecule?");
  // CCl4 alone has its own molecule file.
  run_->data.opfit(2) = 4;
  session("showmol\nend\n");
  EXPECT_EQ(lines_of(dir_.fake_log()), (std::vector<std::string>{"raswin -xyz molec.xyz", "raswin -xyz molect.xyz",
                                                                 "raswin -xyz molecg.xyz", "raswin -xyz molec.xyz"}));
}

}  // namespace
}  // namespace zorvik
