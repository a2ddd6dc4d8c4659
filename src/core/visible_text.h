// Text from input files shown on the terminal: a byte that a terminal would
// act on instead of showing (an escape sequence, a carriage return, a C1
// control) or that is not part of a valid UTF-8 character is written in a
// visible escaped form, so a message about a damaged or binary file shows what
// is in it without changing the terminal's state.
#pragma once

#include <string>
#include <string_view>

namespace zorvik {

// `text` with every control character (C0, DEL, and C1 as U+0080 … U+009F) and
// every byte outside a valid UTF-8 sequence replaced: tab, carriage return and
// line feed by \t, \r, \n, all others by \xHH (two hexadecimal digits per
// byte). Printable ASCII and valid UTF-8 characters stay as they are. With
// `keep_newlines` a line feed stays a line end (for output of several lines).
std::string visible_text(std::string_view text, bool keep_newlines = false);

// Whether visible_text would change `text` (the common case, plain text, then
// costs no copy).
bool needs_escaping(std::string_view text, bool keep_newlines = false);

}  // namespace zorvik
