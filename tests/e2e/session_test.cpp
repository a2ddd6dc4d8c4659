// Sessions at the command prompt of the built program, driven by keyboard text:
// the console transcript (clock masked) and the files the commands write are
// compared with reviewed golden copies, with the command lines that reached the
// stand-ins of gnuplot and vim. The case (a short fit of
// one Gaussian on a line, model 101) has one contour request and two peak
// definitions: the background alone and the Gaussian alone.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "core/output_paths.h"
#include "setup/param_file.h"
#include "setup/startup.h"
#include "support/program.h"

namespace zorvik {
namespace {

using testing_support::copy_case;
using testing_support::expect_golden;
using testing_support::mask_clock;
using testing_support::Outcome;
using testing_support::read_text;
using testing_support::run_program;
using testing_support::ScratchDir;
using testing_support::write_text;

TEST(Session, EveryCommandAsTheGoldenTranscript) {
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

  // The step that "setpar" gave the fixed parameter 3 makes it a fitted one at the reload.
  EXPECT_NE(o.out.find(" Parameters to fit: 6\n"), std::string::npos);
  // After a dialog run the contour requests are left to "cc".
  EXPECT_EQ(o.out.find("Calculando contorno:"), std::string::npos);

  // Every file the session wrote is in the catalogue that the reading checks
  // against the inputs (the case's own files and the stand-ins' log aside).
  auto run = std::make_unique<zorvik::Run>();
  run->settings.parfile = "session.par";
  testing_support::Screen screen;
  ASSERT_EQ(read_parameter_file(*run, screen.con), ReadOutcome::Done);
  std::set<std::string> known{"session.par", "peak.dat", "commands.txt", "fake.log"};
  for (const OutputEntry& e : output_catalogue(run->settings, run->data, run->params, false)) known.insert(e.path);
  for (const auto& f : std::filesystem::directory_iterator("."))
    EXPECT_EQ(known.count(f.path().filename().string()), 1u) << f.path();
}

TEST(Session, EndOfKeyboardInputEndsTheSession) {
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

// Numbers out of range and steps that would not be finite: each is refused
// with the allowed range, the prompt comes back, and "par" shows the steps
// unchanged; plots of files that "cgpar" and "cc" write, asked for before
// them, say what to run first; the session then ends as usual.
constexpr const char* kSlips = "pgpar\n101\n1\n13\npparchi\n101\ncgparpar\n13 1\ncgparpar\n0 5\npcg\n-4 0\n"
                               "getpar\n1 25\nsetpar\na 0.5\n0 2\nreset\nr 1e308\nsp\nr 1e308\n1 1\npar\n"
                               "pgpar\n4\npc\n1\npcs\n1\nend\n";  // plots asked for before cgpar and cc

TEST(Session, TypingSlipsAtThePromptAreRefused) {
  ScratchDir dir;
  copy_case("session");
  const Outcome o = run_program("session.par", kSlips);
  EXPECT_EQ(o.status, 0) << o.err;
  const size_t first = o.out.find("ZoRvIk> "), last = o.out.rfind("ZoRvIk> ");
  ASSERT_NE(first, std::string::npos);
  expect_golden("tests/e2e/golden/prompt_slips.txt", o.out.substr(first, last + 8 - first));
}

TEST(Session, AConsoleThatCannotBeWrittenEndsWithAnError) {
  ScratchDir dir;
  copy_case("short_batch");
  for (const char* args : {"--version", "short.par"}) {
    const int raw = std::system((std::string(ZORVIK_BINARY) + " " + args + " </dev/null >/dev/full 2>err.txt").c_str());
    EXPECT_FALSE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << args;
    const std::string err = read_text("err.txt");
    EXPECT_NE(err.find("Cannot write the console output (standard output)"), std::string::npos) << args << err;
  }
}

}  // namespace
}  // namespace zorvik
