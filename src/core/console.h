// The keyboard and the screen: free-format and fixed-column lines, the prompts,
// the y/n questions and the pause. End of keyboard input never loops: a y/n
// question then counts as "n", a pause goes on, a prompt returns nothing and the
// caller decides.
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
    out_ << free_record({FreeItem(items)...}) << '\n';
  }
  // A free-format line whose items are known only at run time.
  void line_items(std::span<const FreeItem> items) { out_ << free_record(items) << '\n'; }
  // One fixed-column record (possibly several lines, see record_format.h).
  template <class... A>
  void record(std::string_view format, const A&... items) {
    write_record(out_, format, items...);
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
  std::istream& in_;
  std::ostream& out_;
  bool ended_ = false;
};

}  // namespace zorvik
