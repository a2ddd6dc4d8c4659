#include "core/console.h"

#include <vector>

#include "core/visible_text.h"

namespace zorvik {

void Console::put(const std::string& text, bool several_lines) {
  if (needs_escaping(text, several_lines))
    out_ << visible_text(text, several_lines) << '\n';
  else
    out_ << text << '\n';
}

std::optional<std::string> Console::read_line() {
  out_.flush();
  std::string s;
  if (!std::getline(in_, s)) {
    ended_ = true;
    return std::nullopt;
  }
  if (!s.empty() && s.back() == '\r') s.pop_back();
  return s;
}

std::optional<std::string> Console::read_token() {
  std::vector<FreeToken> tokens;
  while (true) {
    auto s = read_line();
    if (!s) return std::nullopt;
    if (!split_free(*s, tokens)) {
      // An unclosed quote: take the rest of the line after it as the text.
      const size_t q = s->find_first_of("'\"");
      std::string rest = s->substr(q + 1);
      while (!rest.empty() && rest.back() == ' ') rest.pop_back();
      return rest;
    }
    for (const FreeToken& t : tokens)
      if (!t.null) return t.text;
  }
}

bool Console::yes_no() {
  auto s = read_line();
  if (!s) return false;
  size_t k = s->find_first_not_of(" \t");
  if (k == std::string::npos) return false;
  return (*s)[k] == 'y' || (*s)[k] == 'Y';
}

void Console::pause(std::string_view message) {
  if (message.find_first_not_of(' ') == std::string_view::npos)
    line("Press ENTER to continue!");
  else
    line(message);
  read_line();
}

}  // namespace zorvik
