// The keyboard and the screen: free-format and fixed-column lines, the prompts,
// the y/n questions and the pause. End of keyboard input never loops: a y/n
// question then counts as "n", a pause goes on, a prompt returns nothing and the
// caller decides.
//
// Lines may carry text from input files (names, tokens, a header line); bytes
// that a terminal would act on instead of showing are written escaped (see
// visible_text.h), so a damaged or binary file cannot drive the terminal.
#pragma once

#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/free_format.h"
#include "core/record_format.h"

namespace zorvik {

class Console {
 public:
  Console(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

  std::ostream& out() { return out_; }
  std::istream& in() { return in_; }

  // One free-format line: a leading blank and the items.
  template <class... A>
  void line(const A&... items) {
    put(free_record({FreeItem(items)...}));
  }
  // A free-format line whose items are known only at run time.
  void line_items(std::span<const FreeItem> items) { put(free_record(items)); }
  // One fixed-column record (possibly several lines, see record_format.h).
  template <class... A>
  void record(std::string_view format, const A&... items) {
    const FmtValue values[] = {FmtValue(items)..., FmtValue(0)};
    put(record_format(format).format(std::span<const FmtValue>(values, sizeof...(A))), true);
  }
  // A line with nothing on it.
  void empty_line() { out_ << '\n'; }

  // The next line typed, without its newline; nothing at end of input.
  std::optional<std::string> read_line();
  // The first free-format token of the next line that has one (a name with
  // blanks must be quoted); nothing at end of input.
  std::optional<std::string> read_token();
  // Reads one line: true when its first character is "y" or "Y". End of input
  // counts as "n".
  bool yes_no();
  // Prints the message, or "Press ENTER to continue!" when it is empty or all
  // blanks, then waits for one line (end of input: goes on at once).
  void pause(std::string_view message = "");

  bool input_ended() const { return ended_; }

 private:
  // Writes the text and a line end; line ends inside it stay only in a record
  // of several lines.
  void put(const std::string& text, bool several_lines = false);

  std::istream& in_;
  std::ostream& out_;
  bool ended_ = false;
};

}  // namespace zorvik
