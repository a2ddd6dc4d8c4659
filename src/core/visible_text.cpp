#include "core/visible_text.h"

namespace zorvik {

namespace {

// Length of the valid UTF-8 sequence that starts at text[k] (2 to 4), or 0 when
// the bytes there do not form one: a stray continuation byte, an overlong form,
// a surrogate, a code point beyond U+10FFFF or a sequence cut short (the rules
// of RFC 3629, section 4).
size_t utf8_length(std::string_view text, size_t k) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char b0 = byte(k);
  size_t n = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    if (b0 == 0xE0) lo = 0xA0;  // no overlong forms
    if (b0 == 0xED) hi = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;  // nothing beyond U+10FFFF
  } else {
    return 0;
  }
  if (k + n > text.size()) return 0;
  if (byte(k + 1) < lo || byte(k + 1) > hi) return 0;
  for (size_t i = 2; i < n; ++i)
    if (byte(k + i) < 0x80 || byte(k + i) > 0xBF) return 0;
  // U+0080 … U+009F, the C1 controls (CSI among them), are control characters.
  if (n == 2 && b0 == 0xC2 && byte(k + 1) <= 0x9F) return 0;
  return n;
}

bool plain(unsigned char c, bool keep_newlines) {
  return (c >= 0x20 && c < 0x7F) || (keep_newlines && c == '\n');
}

}  // namespace

bool needs_escaping(std::string_view text, bool keep_newlines) {
  for (size_t k = 0; k < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[k]);
    if (plain(c, keep_newlines)) {
      ++k;
      continue;
    }
    if (c < 0x80) return true;
    const size_t n = utf8_length(text, k);
    if (n == 0) return true;
    k += n;
  }
  return false;
}

std::string visible_text(std::string_view text, bool keep_newlines) {
  if (!needs_escaping(text, keep_newlines)) return std::string(text);
  static const char hex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size() + 16);
  for (size_t k = 0; k < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[k]);
    if (plain(c, keep_newlines)) {
      out += static_cast<char>(c);
      ++k;
      continue;
    }
    if (c >= 0x80) {
      if (const size_t n = utf8_length(text, k); n > 0) {
        out.append(text.substr(k, n));
        k += n;
        continue;
      }
    }
    if (c == '\t') out += "\\t";
    else if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else out += {'\\', 'x', hex[c >> 4], hex[c & 0xF]};
    ++k;
  }
  return out;
}

}  // namespace zorvik
