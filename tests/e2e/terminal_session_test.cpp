// An interactive session through a real terminal: the program runs in a tmux
// pane (its own server, 160 × 50 characters), keys are typed into it, and the
// screen is read back as a person would see it: the prompt, a plot handed to
// the gnuplot stand-in, the distributions (cgpar), the best state (showpmin)
// and the end summary after "end".
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <regex>
#include <string>
#include <thread>

#include "support/program.h"

namespace zorvik {
namespace {

using testing_support::copy_example;
using testing_support::read_text;
using testing_support::ScratchDir;
using testing_support::write_text;

class Tmux {
 public:
  Tmux() : socket_("zorvik_test_" + std::to_string(getpid())) {}
  ~Tmux() { run("kill-server"); }
  int run(const std::string& args) const {
    return std::system(("tmux -L " + socket_ + " " + args + " >/dev/null 2>&1").c_str());
  }
  // The whole pane, history included.
  std::string screen() const {
    const std::string file = "screen.txt";
    std::system(("tmux -L " + socket_ + " capture-pane -p -J -S -3000 -t s > " + file + " 2>/dev/null").c_str());
    return read_text(file);
  }
  // Types one line.
  void type(const std::string& line) const { run("send-keys -t s -l '" + line + "'"), run("send-keys -t s Enter"); }
  // Waits until `text` has appeared `times` times on the screen (at most 60 s).
  bool wait_for(const std::string& text, int times = 1) const {
    for (int k = 0; k < 600; ++k) {
      const std::string s = screen();
      int n = 0;
      for (size_t at = s.find(text); at != std::string::npos; at = s.find(text, at + 1)) ++n;
      if (n >= times) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

 private:
  std::string socket_;
};

TEST(TerminalSession, PromptPlotDistributionsBestStateAndEnd) {
  if (std::system("command -v tmux >/dev/null 2>&1") != 0) GTEST_SKIP() << "tmux is not installed";
  ScratchDir dir;
  copy_example("peaks");
  std::string par = read_text("peaks.par");
  par = std::regex_replace(par, std::regex(R"('Three peaks' 0)"), "'Three peaks' 1");
  par = std::regex_replace(par, std::regex(R"(.*!Ciclos tot, write)"), "4000 400 !Ciclos tot, write");
  write_text("peaks.par", par);
  // The pane runs the program with the stand-ins first on PATH and an X
  // display set, and then marks its end so that the screen can be read once
  // everything was printed.
  write_text("session.sh", "export PATH='" + std::string(getenv("PATH")) + "'\nexport DISPLAY=:0\nexport ZORVIK_FAKE_LOG='" +
                               dir.fake_log_path() + "'\n" + ZORVIK_BINARY + " peaks.par\necho \"[exit $?]\"\nsleep 60\n");
  Tmux tmux;
  ASSERT_EQ(tmux.run("new-session -d -s s -x 160 -y 50 -c '" + dir.path() + "' 'sh session.sh'"), 0);
  ASSERT_TRUE(tmux.wait_for("ZoRvIk>")) << tmux.screen();
  tmux.type("p1");
  ASSERT_TRUE(tmux.wait_for("ZoRvIk>", 2)) << tmux.screen();
  tmux.type("cgpar");
  ASSERT_TRUE(tmux.wait_for("ZoRvIk>", 3)) << tmux.screen();
  tmux.type("showpmin");
  ASSERT_TRUE(tmux.wait_for("ZoRvIk>", 4)) << tmux.screen();
  tmux.type("end");
  ASSERT_TRUE(tmux.wait_for("[exit ")) << tmux.screen();
  const std::string screen = tmux.screen();

  EXPECT_NE(screen.find("ZoRvIk> "), std::string::npos);
  EXPECT_NE(screen.find("plotting curve: 1"), std::string::npos) << screen;
  EXPECT_NE(dir.fake_log().find("gnuplot -display :0.0 "), std::string::npos) << dir.fake_log();
  EXPECT_NE(screen.find("media (evidence), and highest prob. for ln(likelihood)=-chisq/2"), std::string::npos);
  // The evidence summary twice: from showpmin (after cgpar) and at the end.
  size_t summaries = 0;
  for (size_t at = screen.find("log(evidence)"); at != std::string::npos; at = screen.find("log(evidence)", at + 1))
    ++summaries;
  EXPECT_GE(summaries, 2u) << screen;
  EXPECT_EQ(screen.find("you should first calculate gpar"), std::string::npos) << screen;
  EXPECT_NE(screen.find("[exit 0]"), std::string::npos) << screen;
}

}  // namespace
}  // namespace zorvik
