// Sessions at the command prompt of the built program, driven by keyboard text:
// the console transcript (clock masked) and the files the commands write are
// compared with reviewed golden copies, and the command lines that reached the
// stand-ins of gnuplot and vim are checked one by one. The case (a short fit of
// one Gaussian on a line, model 101) has one contour request and two peak
// definitions: the background alone and the Gaussian alone.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/program.h"

namespace zorvik {
namespace {

using testing_support::copy_case;
using testing_support::expect_golden;
using testing_support::lines_of;
using testing_support::mask_clock;
using testing_support::Outcome;
using testing_support::read_text;
using testing_support::run_program;
using testing_support::ScratchDir;
using testing_support::write_text;


// The sample counts (third column of the table of cgpar) of parameter 1, one per
// table in the transcript.
std::vector<int> bg0_counts(const std::string& console) {
  std::vector<int> n;
  for (const std::string& l : lines_of(console))
    if (l.rfind("  1 bg0", 0) == 0) n.push_back(std::stoi(l.substr(10, 5)));
  return n;
}

// The number after `label` on the first line that contains it.
double number_after(const std::string& console, const std::string& label) {
  const size_t at = console.find(label);
  EXPECT_NE(at, std::string::npos) << label;
  return at == std::string::npos ? 0.0 : std::stod(console.substr(at + label.size()));
}

TEST(Session, EveryCommandWithItsTranscriptFilesAndExternalCommands) {
  ScratchDir dir;
  copy_case("session");
  // session/commands.txt: one word a line; the rest of a line is not read, so it
  // carries a note. The lines after a command that asks a question are its answers.
  const Outcome o = run_program("session.par", read_text("commands.txt"));
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err, "");
  expect_golden("tests/e2e/golden/session/console.txt", mask_clock(o.out));
  for (const char* f : {"peaks.dat", "getpar.dat", "session.par"})
    expect_golden(std::string("tests/e2e/golden/session/") + f, read_text(f));

  // The command lines that reached the stand-ins of vim and gnuplot, in order.
  expect_golden("tests/e2e/golden/session/fake.log", dir.fake_log());

  // The chain contours read the pair typed after the question.
  EXPECT_NE(o.out.find("gparpar 4 5.dat"), std::string::npos);

  // "pm1" evaluates the chi-square at the best state found: "sc" then shows the
  // minimum (printed with 6 significant digits, hence the tolerance).
  constexpr double kSixDigits = 5e-6;
  const double minimum = number_after(o.out, "minimum chisquare found:");
  const size_t pm = o.out.find("Recalculating function and par file for: min chisq");
  ASSERT_NE(pm, std::string::npos);
  const double after_pm = number_after(o.out.substr(pm), "Averaged chisq:");
  EXPECT_NEAR(after_pm, minimum, kSixDigits * minimum);

  // The histograms grow over "c" and start afresh with "cp" (the fourth table is
  // that of the end of the run).
  const std::vector<int> n = bg0_counts(o.out);
  ASSERT_EQ(n.size(), 4u);
  EXPECT_GT(n[1], n[0]);
  EXPECT_LT(n[2], n[1]);
  // The step that "setpar" gave the fixed parameter 3 makes it a fitted one at the reload.
  EXPECT_NE(o.out.find(" Parameters to fit: 6\n"), std::string::npos);
  // After a dialog run the contour requests are left to "cc".
  EXPECT_EQ(o.out.find("Calculando contorno:"), std::string::npos);
}

TEST(Session, EndOfKeyboardInputEndsTheSessionAtAQuestionAndAtThePrompt) {
  ScratchDir dir;
  copy_case("session");
  const Outcome o = run_program("session.par", "pgpar\n");
  EXPECT_EQ(o.status, 0) << o.err;
  const std::string tail = "ZoRvIk>  Which parameter (0:likelihood)?\nZoRvIk> \n End of keyboard input: the session ends.\n";
  EXPECT_NE(o.out.find(tail), std::string::npos) << o.out;
  // The end of the run follows: the summary and the output file.
  EXPECT_NE(o.out.find("Bayesian complexity"), std::string::npos);
  EXPECT_NE(read_text("out.dat").find("N parameter  parmed parPmax"), std::string::npos);
}

TEST(Session, WithoutDialogTheEndOfTheRunComputesTheContourRequests) {
  ScratchDir dir;
  copy_case("session");
  std::string par = read_text("session.par");
  par.replace(par.find("Session 1"), 9, "Session 0");
  write_text("session.par", par);
  const Outcome o = run_program("session.par", "");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("\n  Calculando contorno:  1 centsig.dat  "), std::string::npos) << o.out;
  EXPECT_EQ(o.out.find("ZoRvIk>"), std::string::npos);
  EXPECT_FALSE(read_text("centsig.dat").empty());
}

}  // namespace
}  // namespace zorvik
