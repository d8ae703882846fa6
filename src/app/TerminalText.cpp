#include "app/TerminalText.h"

#include <cstdio>

#include "foundation/StringEncoding.h"

namespace TerminalText {
namespace {
// The length of the UTF-8 sequence a lead byte announces (1 for anything else).
size_t sequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

std::string hexEscape(const char* format, unsigned value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// Appends at most `limit` characters of `text`, escaped; answers how many characters
// were left out.
size_t append(std::string& out, std::string_view text, size_t limit) {
  size_t shown = 0, i = 0;
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    size_t length = sequenceLength(c);
    bool valid = length == 1 ? c < 0x80 : i + length <= text.size() && isValidUTF8(text.substr(i, length));
    if (!valid) length = 1;
    if (shown == limit) return characterCount(text.substr(i));
    ++shown;
    if (!valid) {
      out += hexEscape("\\x%02X", c);
    } else if (length == 1 && ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F)) {
      out += hexEscape("\\x%02X", c);
    } else if (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      out += hexEscape("\\u%04X", static_cast<unsigned char>(text[i + 1]));  // a C1 control
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  return 0;
}
}  // namespace

std::string trim(const std::string& text) {
  size_t a = text.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return {};
  size_t b = text.find_last_not_of(" \t\r\n");
  return text.substr(a, b - a + 1);
}

size_t characterCount(std::string_view utf8) {
  size_t count = 0;
  for (char c : utf8)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  return count;
}

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  append(out, text, std::string_view::npos);
  return out;
}

std::string echo(std::string_view text, size_t limit) {
  std::string out;
  size_t left = append(out, text, limit);
  if (left > 0) out += "... (" + std::to_string(left) + " more characters)";
  return out;
}
}  // namespace TerminalText
