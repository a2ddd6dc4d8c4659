// The command prompt on a hand-built run (a straight line, model 100, fitted to
// four points): the steps that "reset" leaves behind, and the molecule viewer's
// command lines. Every command is driven end to end by tests/e2e/session_test.cpp.
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
    r.settings.parfile = "line.par", r.settings.npar = 3, r.settings.nfunc = r.settings.nfitfunc = 1;
    r.settings.incgpar = 1.0;
    r.data.nomin(1) = "line.dat", r.data.nomout(1) = "fit.dat", r.data.nomout(0) = "out.dat";
    r.data.opfit(1) = kPolynomial, r.data.imin(1) = 1, r.data.ndatin(1) = 4;
    for (int j = 1; j <= 4; ++j) r.data.xi(1, j) = j, r.data.yi(1, j) = 1.0 + 2.0 * j, r.data.sigmae(1, j) = 0.5;
    const char* names[] = {"", "offset", "slope", "curv"};
    const double par[] = {0, 1.5, 2.5, 0.0}, move[] = {0, 0.1, -0.2, 0.0}, best[] = {0.75, 1.25, 2.0, 0.0};
    for (int k = 1; k <= 3; ++k) {
      FitParameters& p = r.params;
      p.namepar(k) = names[k], p.logpar(k) = "a", p.par(k) = par[k], p.move(k) = move[k];
      p.parmin(k) = -10.0, p.parmax(k) = 10.0, p.orden(k) = k;
    }
    for (int k = 0; k <= 3; ++k) r.chain.parchimin(k) = best[k];
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

// "reset": a relative step is a fraction of the parameter's magnitude, so a
// negative value still gets a positive step; fixed parameters stay fixed.
TEST_F(Prompt, ResetGivesEveryFreeParameterOneStep) {
  run_->params.par(2) = -2.5;
  session("reset\nr 0.1\nend\n");
  EXPECT_DOUBLE_EQ(run_->params.move(1), 0.15);
  EXPECT_DOUBLE_EQ(run_->params.move(2), 0.25);
  EXPECT_EQ(run_->params.move(3), 0.0);
  session("reset\na 0.2\nend\n");
  EXPECT_EQ(run_->params.move(1), 0.2);
  EXPECT_EQ(run_->params.move(2), 0.2);
  EXPECT_EQ(run_->params.move(3), 0.0);
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
