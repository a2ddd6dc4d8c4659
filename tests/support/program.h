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

// The numbers of the assignment "NAME = …" in examples/<example>/make_data.py,
// up to the comment or the end of its line (empty when there is none), so that
// a test follows the data if they are ever remade.
inline std::vector<double> generator_values(const std::string& example, const std::string& name) {
  const std::string script = read_text(source_path("examples/" + example + "/make_data.py"));
  std::smatch m;
  if (!std::regex_search(script, m, std::regex("(^|\n)" + name + " = ([^\n#]*)"))) return {};
  std::vector<double> values;
  const std::string line = m[2];
  static const std::regex number(R"([-+]?[0-9]+\.?[0-9]*([eE][-+]?[0-9]+)?)");
  for (std::sregex_iterator it(line.begin(), line.end(), number), end; it != end; ++it)
    values.push_back(std::stod(it->str()));
  return values;
}

// The first of those numbers, or -1 when there is none.
inline double generator_value(const std::string& example, const std::string& name) {
  const std::vector<double> v = generator_values(example, name);
  return v.empty() ? -1.0 : v[0];
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
