#include "core/SourceLocations.h"

#include <cctype>
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
// The scheme "text" begins with ("http" of "http://host"), lower-cased; empty when it
// begins with none.
std::string schemeAtStart(std::string_view text) {
  size_t separator = text.find("://");
  if (separator == std::string_view::npos || separator == 0 || !std::isalpha(static_cast<unsigned char>(text[0])))
    return {};
  std::string scheme(text.substr(0, separator));
  for (char& c : scheme) {
    unsigned char u = static_cast<unsigned char>(c);
    if (!std::isalnum(u) && c != '+' && c != '-' && c != '.') return {};
    c = static_cast<char>(std::tolower(u));
  }
  return scheme;
}

// The scheme and the host: the location is fetched over the web.
std::optional<std::string> webRefusal(std::string_view location) {
  size_t separator = location.find("://");
  std::string scheme(location.substr(0, separator == std::string_view::npos ? 0 : separator));
  for (auto& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (scheme != "http" && scheme != "https")
    return "a source location must begin with http:// or https://" +
           (scheme.empty() ? std::string() : " (not " + scheme + "://)");
  std::string_view authority = location.substr(separator + 3);
  // "https://http://host/": a location typed after a scheme already there.
  if (std::string second = schemeAtStart(authority); !second.empty())
    return "a source location can't hold a second scheme (" + second + "://) after its own";
  authority = authority.substr(0, authority.find_first_of("/?#"));
  if (size_t at = authority.rfind('@'); at != std::string_view::npos) authority = authority.substr(at + 1);
  const bool bracketed = !authority.empty() && authority.front() == '[';
  std::string_view host = authority, port;
  bool hasPort = false;
  if (bracketed) {
    size_t close = authority.find(']');
    std::string_view address = authority.substr(1, close == std::string_view::npos ? 0 : close - 1);
    if (address.empty() || address.find_first_not_of("0123456789abcdefABCDEF:.") != std::string_view::npos)
      return "the host of a source location in brackets must be an IPv6 address";
    std::string_view rest = authority.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return "a source location's host must end at a port or a \"/\"";
    hasPort = !rest.empty();
    if (hasPort) port = rest.substr(1);
  } else if (size_t colon = authority.find(':'); colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
    hasPort = true;
  }
  if (hasPort && (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos ||
                  std::stoi(std::string(port)) == 0 || std::stoi(std::string(port)) > 65535))
    return "the port of a source location must be a number from 1 to 65535";
  if (bracketed) return std::nullopt;
  if (host.empty()) return "a source location needs a host";
  if (host.size() > 253) return "the host of a source location is too long";
  // Labels of letters, digits, hyphens and underscores (and the bytes of other scripts)
  // between dots, a final dot allowed; an address of digits reads the same way.
  size_t label = 0;
  for (size_t i = 0; i <= host.size(); ++i) {
    if (i < host.size() && host[i] != '.') {
      unsigned char c = static_cast<unsigned char>(host[i]);
      if (!(std::isalnum(c) || c == '-' || c == '_' || c >= 0x80))
        return std::string("the host of a source location can't hold \"") + char(c) + "\"";
      continue;
    }
    bool finalDot = i == host.size() && i > 0 && host[i - 1] == '.';
    if (i == label && !finalDot) return "the host of a source location has an empty part";
    if (i - label > 63) return "a part of the host of a source location is too long";
    label = i + 1;
  }
  return std::nullopt;
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
  return webRefusal(location);
}

std::string withoutPrefilledScheme(std::string_view location) {
  size_t separator = location.find("://");
  std::string first = schemeAtStart(location);
  if ((first == "http" || first == "https") && !schemeAtStart(location.substr(separator + 3)).empty())
    return std::string(location.substr(separator + 3));
  return std::string(location);
}

std::string normalized(std::string_view location) {
  std::string out(location);
  size_t separator = out.find("://");
  if (separator == std::string::npos || separator == 0) return out;
  for (size_t i = 0; i < separator; ++i)
    if (!std::isalpha(static_cast<unsigned char>(out[i]))) return out;
  for (size_t i = 0; i < separator; ++i) out[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(out[i])));
  return out;
}
}  // namespace SourceLocations
