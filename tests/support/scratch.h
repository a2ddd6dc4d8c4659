// Test support: a scratch working folder, stand-ins for the external programs,
// and small file and text helpers.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/console.h"
#include "core/files.h"

namespace zorvik::testing_support {

inline std::string source_path(const std::string& relative) {
  return std::string(ZORVIK_SOURCE_DIR) + "/" + relative;
}

inline void write_text(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The lines of a text without their newlines; a last line without one still counts.
inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

// The numbers of a whitespace-separated line.
inline std::vector<double> numbers_of(const std::string& line) {
  std::istringstream in(line);
  std::vector<double> v;
  for (double x; in >> x;) v.push_back(x);
  return v;
}

// Whether `text` holds these consecutive lines (as its last lines, with at_end).
inline ::testing::AssertionResult has_lines(const std::string& text, const std::vector<std::string>& seq,
                                            bool at_end = false) {
  const std::vector<std::string> t = lines_of(text);
  const auto it = std::search(t.begin(), t.end(), seq.begin(), seq.end());
  if (it != t.end() && (!at_end || it + static_cast<long>(seq.size()) == t.end())) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "lines not found" << (at_end ? " at the end" : "") << " in:\n" << text;
}

// A reference text kept in tests/data; a missing file is a test failure.
inline std::string reference(const std::string& name) {
  const std::string path = source_path("tests/data/" + name);
  EXPECT_TRUE(file_exists(path)) << path;
  return read_text(path);
}

// A console that reads `keyboard` and keeps what is printed in `out`.
struct Screen {
  explicit Screen(const std::string& keyboard = "") : in(keyboard) {}
  std::istringstream in;
  std::ostringstream out;
  Console con{in, out};
};

// Makes a fresh folder the working directory for the life of the object, with
// the stand-ins of tests/fakebin first on PATH; they append their command lines
// to the file "fake.log" in that folder. An X display is set (DISPLAY=:0), as
// on a desktop, so the plot command carries its display option; a test of a
// headless machine unsets it.
class ScratchDir {
 public:
  ScratchDir() {
    char buf[4096];
    old_cwd_ = getcwd(buf, sizeof buf) ? buf : "/";
    std::string templ = ::testing::TempDir() + "zorvik_XXXXXX";
    path_ = mkdtemp(templ.data()) ? templ : std::string();
    EXPECT_FALSE(path_.empty());
    EXPECT_EQ(chdir(path_.c_str()), 0);
    const char *p = std::getenv("PATH"), *d = std::getenv("DISPLAY");
    old_path_ = p ? p : "", had_display_ = d != nullptr, old_display_ = d ? d : "";
    setenv("PATH", (source_path("tests/fakebin") + ":" + old_path_).c_str(), 1);
    setenv("ZORVIK_FAKE_LOG", fake_log_path().c_str(), 1);
    setenv("DISPLAY", ":0", 1);
  }
  ~ScratchDir() {
    if (chdir(old_cwd_.c_str()) != 0) std::abort();
    setenv("PATH", old_path_.c_str(), 1);
    unsetenv("ZORVIK_FAKE_LOG");
    had_display_ ? setenv("DISPLAY", old_display_.c_str(), 1) : unsetenv("DISPLAY");
    // A leftover scratch folder is harmless.
    if (std::system(("rm -rf '" + path_ + "'").c_str()) != 0) return;
  }
  const std::string& path() const { return path_; }
  // Where the stand-ins write; the file appears with the first command run.
  std::string fake_log_path() const { return path_ + "/fake.log"; }
  // The command lines the stand-ins received, one a line.
  std::string fake_log() const { return read_text(fake_log_path()); }

 private:
  std::string old_cwd_, old_path_, path_, old_display_;
  bool had_display_ = false;
};

}  // namespace zorvik::testing_support
