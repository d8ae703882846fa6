#include "core/SourceLocations.h"

#include <cstdint>

namespace SourceLocations {
namespace {
// The code point of the UTF-8 sequence at `at` and its length; a byte that starts no
// valid sequence reads as itself, one byte long (it is no blank either way).
uint32_t codePointAt(std::string_view text, size_t at, size_t& length) {
  auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  uint8_t first = byte(at);
  length = first < 0x80 ? 1 : first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
  if (length == 1 || at + length > text.size()) {
    length = 1;
    return first;
  }
  uint32_t point = first & (0xFF >> (length + 1));
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) {
      length = 1;
      return first;
    }
    point = point << 6 | (byte(at + i) & 0x3F);
  }
  return point;
}

bool isBlankOrControl(uint32_t c) {
  if (c <= 0x20 || (c >= 0x7F && c <= 0x9F)) return true;  // C0, the space, DEL and C1
  switch (c) {
    case 0xA0: case 0x1680: case 0x180E: case 0x2028: case 0x2029: case 0x202F: case 0x205F: case 0x3000:
    case 0xFEFF:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200B;
  }
}

std::string shown(uint32_t c) {
  static const char* hex = "0123456789ABCDEF";
  std::string out = "U+";
  for (int shift = c > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4) out += hex[(c >> shift) & 0xF];
  return out;
}
}  // namespace

std::optional<std::string> refusal(std::string_view location) {
  if (location.empty()) return "a source location can't be empty";
  if (location.front() == '[') return "a source location can't begin with \"[\", which APT reads as options";
  // The brackets of an IPv6 host, "scheme://[...]", are the only ones a location may hold.
  size_t host = location.find("://");
  host = host == std::string_view::npos ? std::string_view::npos : host + 3;
  size_t hostEnd = host != std::string_view::npos && host < location.size() && location[host] == '['
                       ? location.find(']', host)
                       : std::string_view::npos;
  for (size_t i = 0, length = 1; i < location.size(); i += length) {
    uint32_t c = codePointAt(location, i, length);
    if (isBlankOrControl(c))
      return "a source location can't hold a blank or a control character (" + shown(c) + ")";
    if (c == '#' || c == '"')
      return std::string("a source location can't hold \"") + char(c) + "\", which APT reads as " +
             (c == '#' ? "the start of a comment" : "a quote");
    if ((c == '[' && (i != host || hostEnd == std::string_view::npos)) || (c == ']' && i != hostEnd))
      return "a source location can hold \"[\" and \"]\" only around an IPv6 host";
  }
  return std::nullopt;
}
}  // namespace SourceLocations
