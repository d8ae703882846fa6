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

std::string_view KVControlLineParser::trimLineEnds(std::string_view line) {
  while (size_t n = lineEndAtBack(line)) line.remove_suffix(n);
  while (size_t n = lineEndAtFront(line)) line.remove_prefix(n);
  return line;
}

KVControlLineParser::Line KVControlLineParser::apply(KVStanza& stanza, std::string_view line) {
  if (!isValidUTF8(line)) {
    scratch_.clear();
    appendWindows1252AsUTF8(scratch_, line);
    line = scratch_;
  }
  line = trimLineEnds(line);
  if (line.empty()) return Line::Separator;

  if (line[0] != ' ' && line[0] != '\t') {
    const void* colon = std::memchr(line.data() + 1, ':', line.size() - 1);
    if (colon) {
      size_t at = static_cast<size_t>(static_cast<const char*>(colon) - line.data());
      std::string_view value = line.substr(at + 1);
      size_t skip = 0;
      while (skip < value.size() && (value[skip] == ' ' || value[skip] == '\t')) ++skip;
      value.remove_prefix(skip);
      while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
      current_ = stanza.set(line.substr(0, at), value);
      return Line::Field;
    }
  }
  if (current_ == KVStanza::npos) return Line::Dropped;
  stanza.appendToValue(current_, "\n");
  stanza.appendToValue(current_, line);
  return Line::Continuation;
}
