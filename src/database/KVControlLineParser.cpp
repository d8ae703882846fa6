#include "database/KVControlLineParser.h"

#include <cstring>

#include "foundation/StringEncoding.h"

namespace {

// Length of a line-end character at the end of `s`, 0 when there is none.
size_t lineEndAtBack(std::string_view s) {
  if (s.empty()) return 0;
  char c = s.back();
  if (c == '\n' || c == '\r' || c == '\v' || c == '\f') return 1;
  if (s.size() >= 2 && s.substr(s.size() - 2) == "\xC2\x85") return 2;
  if (s.size() >= 3 && (s.substr(s.size() - 3) == "\xE2\x80\xA8" || s.substr(s.size() - 3) == "\xE2\x80\xA9")) return 3;
  return 0;
}

size_t lineEndAtFront(std::string_view s) {
  if (s.empty()) return 0;
  char c = s.front();
  if (c == '\n' || c == '\r' || c == '\v' || c == '\f') return 1;
  if (s.substr(0, 2) == "\xC2\x85") return 2;
  if (s.substr(0, 3) == "\xE2\x80\xA8" || s.substr(0, 3) == "\xE2\x80\xA9") return 3;
  return 0;
}

}  // namespace

std::string_view KVControlLineParser::trimLineEndsSlow(std::string_view line) {
  while (size_t n = lineEndAtBack(line)) line.remove_suffix(n);
  while (size_t n = lineEndAtFront(line)) line.remove_prefix(n);
  return line;
}

std::string_view KVControlLineParser::decodeLine(std::string_view line) {
  scratch_.clear();
  appendWindows1252AsUTF8(scratch_, line);
  return scratch_;
}

bool KVControlLineParser::validUTF8(std::string_view line) { return isValidUTF8(line); }
