#include "app/TerminalText.h"

#include <algorithm>
#include <cctype>
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

// The code point at `i` and the bytes it takes; an invalid byte is a code point of its own.
char32_t decodeAt(std::string_view text, size_t i, size_t* length) {
  auto lead = static_cast<unsigned char>(text[i]);
  size_t n = sequenceLength(lead);
  if (n == 1 || i + n > text.size()) {
    *length = 1;
    return lead;
  }
  char32_t c = lead & (0xFF >> (n + 1));
  for (size_t k = 1; k < n; ++k) {
    auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) {
      *length = 1;
      return lead;
    }
    c = (c << 6) | (next & 0x3F);
  }
  *length = n;
  return c;
}

// The columns a character takes: the wide blocks of East Asian scripts and the emoji two,
// combining marks and joiners none.
size_t columnsOf(char32_t c) {
  if (c < 0x300) return 1;
  if (c <= 0x36F || (c >= 0x200B && c <= 0x200F) || (c >= 0xFE00 && c <= 0xFE0F)) return 0;
  struct Range {
    char32_t first, last;
  };
  static const Range wide[] = {{0x1100, 0x115F}, {0x2E80, 0x303E}, {0x3041, 0x33FF}, {0x3400, 0x4DBF},
                               {0x4E00, 0x9FFF}, {0xA000, 0xA4CF}, {0xAC00, 0xD7A3}, {0xF900, 0xFAFF},
                               {0xFE30, 0xFE4F}, {0xFF00, 0xFF60}, {0xFFE0, 0xFFE6}, {0x1F300, 0x1F64F},
                               {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD}};
  for (const Range& r : wide)
    if (c >= r.first && c <= r.last) return 2;
  return 1;
}

// The length of the colour code (ESC [ digits and semicolons m) at `i`, or 0.
size_t colourCodeLength(std::string_view text, size_t i) {
  if (text[i] != '\x1B' || i + 1 >= text.size() || text[i + 1] != '[') return 0;
  size_t j = i + 2;
  while (j < text.size() && (std::isdigit(static_cast<unsigned char>(text[j])) || text[j] == ';')) ++j;
  return j < text.size() && text[j] == 'm' ? j + 1 - i : 0;
}

// At most `columns` columns of a word, with every colour code it holds (so the colours
// after the cut are as they would have been).
std::string cutToWidth(std::string_view word, size_t columns) {
  std::string out;
  size_t used = 0;
  for (size_t i = 0; i < word.size();) {
    if (size_t code = colourCodeLength(word, i)) {
      out.append(word.substr(i, code));
      i += code;
      continue;
    }
    size_t length = 1;
    size_t width = columnsOf(decodeAt(word, i, &length));
    if (used + width <= columns) {
      out.append(word.substr(i, length));
      used += width;
    } else {
      used = columns + 1;  // nothing after a cut character, not even a narrower one
    }
    i += length;
  }
  return out;
}

// One line fitted to `columns` (see fitToWidth).
std::string fitLine(std::string_view line, size_t columns) {
  if (displayWidth(line) <= columns) return std::string(line);
  // The colour codes and blanks that lead the line stay as they are.
  size_t start = 0;
  while (start < line.size()) {
    if (size_t code = colourCodeLength(line, start)) start += code;
    else if (line[start] == ' ') ++start;
    else break;
  }
  std::string_view prefix = line.substr(0, start);
  size_t indent = displayWidth(prefix);
  // Continued under the text after a short leading label ("title: ", "0.1: ").
  size_t hang = indent + 2;
  size_t colon = line.find(": ", start);
  if (colon != std::string_view::npos && line.substr(start, colon - start).find(' ') == std::string_view::npos &&
      displayWidth(line.substr(0, colon + 2)) <= columns / 3)
    hang = displayWidth(line.substr(0, colon + 2));
  hang = std::min(hang, columns / 2);

  std::string out(prefix);
  size_t used = indent;
  bool empty = true;  // nothing but the indent on the line being filled
  auto put = [&](std::string_view word, size_t width) {
    if (!empty) out += ' ', ++used;
    out.append(word);
    used += width;
    empty = false;
  };
  for (size_t i = start; i < line.size();) {
    size_t end = line.find(' ', i);
    if (end == std::string_view::npos) end = line.size();
    std::string_view word = line.substr(i, end - i);
    i = end + 1;
    if (word.empty()) continue;
    size_t width = displayWidth(word);
    if (used + (empty ? 0 : 1) + width <= columns) {
      put(word, width);
      continue;
    }
    if (!empty) {
      out += "\n" + std::string(hang, ' ');
      used = hang;
      empty = true;
      if (used + width <= columns) {
        put(word, width);
        continue;
      }
    }
    // Wider than a whole line: cut, with the ellipsis in the last column.
    size_t room = columns > used + 1 ? columns - used - 1 : 0;
    std::string cut = cutToWidth(word, room) + "\u2026";
    put(cut, displayWidth(cut));
  }
  return out;
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

std::string withoutComment(const std::string& line) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  size_t first = line.find_first_not_of(" \t");
  if (first != std::string::npos && line[first] == '#') return {};
  for (size_t at = line.find('#'); at != std::string::npos; at = line.find('#', at + 1))
    if (at >= 2 && blank(line[at - 1]) && blank(line[at - 2])) return line.substr(0, at);
  return line;
}

std::string withoutPromptMark(const std::string& line) {
  size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos || line[first] != '>') return line;
  if (first + 1 == line.size()) return {};
  if (line[first + 1] != ' ' && line[first + 1] != '\t') return line;
  return line.substr(first + 2);
}

std::string seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return std::string(text) + (value == 1 ? " second" : " seconds");
}

size_t characterCount(std::string_view utf8) {
  size_t count = 0;
  for (char c : utf8)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  return count;
}

size_t displayWidth(std::string_view utf8) {
  size_t width = 0;
  for (size_t i = 0; i < utf8.size();) {
    if (size_t code = colourCodeLength(utf8, i)) {
      i += code;
      continue;
    }
    size_t length = 1;
    width += columnsOf(decodeAt(utf8, i, &length));
    i += length;
  }
  return width;
}

std::string fitToWidth(std::string_view text, size_t columns) {
  // Narrower than this, cutting would leave nothing to read.
  if (columns < 12) return std::string(text);
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    out += fitLine(text.substr(start, end - start), columns);
    if (end < text.size()) out += '\n';
    start = end + 1;
  }
  return out;
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
