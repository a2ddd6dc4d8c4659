// Test support: running the built program in the current folder, and golden
// files. Set ZORVIK_UPDATE_GOLDEN=1 to rewrite golden copies after an intended
// change (and review the difference before committing it).
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/scratch.h"

namespace zorvik::testing_support {

struct Outcome {
  int status;
  std::string out, err;
};

// Runs the program in the current folder with `args` and the keyboard text.
inline Outcome run_program(const std::string& args, const std::string& keyboard) {
  write_text("keyboard.txt", keyboard);
  const std::string cmd = std::string(ZORVIK_BINARY) + " " + args + " <keyboard.txt >stdout.txt 2>stderr.txt";
  const int raw = std::system(cmd.c_str());
  Outcome o{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_text("stdout.txt"), read_text("stderr.txt")};
  std::remove("keyboard.txt");
  std::remove("stdout.txt");
  std::remove("stderr.txt");
  return o;
}

// Runs a shell command with its standard and error output into `out`; its exit status.
inline int shell(const std::string& command, std::string& out) {
  const int raw = std::system((command + " >shell.txt 2>&1").c_str());
  out = read_text("shell.txt");
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Copies the files of a folder of the source tree into the current folder.
inline void copy_folder(const std::string& relative) {
  const std::string cmd = "cp -r " + source_path(relative) + "/. .";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
}

// Copies the files of tests/e2e/<name> into the current folder.
inline void copy_case(const std::string& name) { copy_folder("tests/e2e/" + name); }

// Copies the files of the shipped example examples/<name> into the current folder.
inline void copy_example(const std::string& name) { copy_folder("examples/" + name); }

// The console transcript without what depends on the processor's clock: the
// run-time estimate and the time-left column of the progress report.
inline std::string mask_clock(const std::string& console) {
  static const std::regex estimate(R"((\*\* ESTIMATED RUN TIME:) *[-0-9.*]+ (s|min|h|DAYS!!!))");
  static const std::regex progress(R"((^|\n)( {0,11}[0-9]+  )[-+.0-9E*]{9}(  ))");
  std::string s = std::regex_replace(console, estimate, "$1 <clock> $2");
  return std::regex_replace(s, progress, "$1$2<clock>  $3");
}

// One row of parstat.dat: name (cut to five characters), accepted moves, value
// at the chi-square minimum, mean, most probable value, lower and upper
// one-sigma limits.
struct ParStatRow {
  std::string name;
  long changes = -1;
  double minchisq = 0, mean = 0, most_probable = 0, errdown = 0, errup = 0;
};

// The row of parameter `name` in the text of parstat.dat (name empty when there is none).
inline ParStatRow parstat_row(const std::string& text, const std::string& name) {
  for (const std::string& line : lines_of(text)) {
    std::istringstream in(line);
    ParStatRow r;
    if (in >> r.name && r.name == name && in >> r.changes >> r.minchisq >> r.mean >> r.most_probable >> r.errdown >> r.errup)
      return r;
  }
  return {};
}

inline void expect_golden(const std::string& golden, const std::string& actual) {
  const std::string path = source_path(golden);
  if (std::getenv("ZORVIK_UPDATE_GOLDEN")) write_text(path, actual);
  EXPECT_EQ(read_text(path), actual) << "golden file " << golden << " differs";
}

}  // namespace zorvik::testing_support
