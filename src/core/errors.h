// The errors that end a run. Readers and kernels throw; only main() ends the
// process, printing the message and exiting with a non-zero status.
#pragma once

#include <stdexcept>
#include <string>

namespace zorvik {

// Any error after which the program stops. what() is the complete message to print
// (it may be empty when the routine has already printed the system's own lines).
class FatalError : public std::runtime_error {
 public:
  explicit FatalError(const std::string& message, int status = 1)
      : std::runtime_error(message), status_(status) {}
  int status() const { return status_; }

 private:
  int status_;
};

// Malformed or missing input: names the file, the line (0 = unknown) and what
// was expected there.
class InputError : public FatalError {
 public:
  InputError(std::string file, int line, std::string expected)
      : FatalError(compose(file, line, expected)),
        file_(std::move(file)), line_(line), expected_(std::move(expected)) {}
  const std::string& file() const { return file_; }
  int line() const { return line_; }
  const std::string& expected() const { return expected_; }

 private:
  static std::string compose(const std::string& file, int line, const std::string& expected) {
    std::string m = "Input error in file \"" + file + "\"";
    if (line > 0) m += ", line " + std::to_string(line);
    return m + ": " + expected;
  }
  std::string file_;
  int line_;
  std::string expected_;
};

// An index beyond the capacity of a table: names the table, the dimension, the
// bounds and the offending index.
class IndexRangeError : public FatalError {
 public:
  using FatalError::FatalError;
};

// The system's own stop after its messages were printed on the console
// (for example "**ERROR: zeroconv MUST be smaller than xmaxconv!!"). Carries no
// further text.
class ProgramStop : public FatalError {
 public:
  explicit ProgramStop(int status = 1) : FatalError("", status) {}
};

}  // namespace zorvik
