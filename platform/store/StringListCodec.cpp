#include "store/StringListCodec.h"

#include <cstdint>
#include <cstring>

#include "foundation/StringEncoding.h"

namespace store::lists {

namespace {

// Whether any of the eight bytes of `word` is a control character, a quote or a
// backslash: the bytes a JSON string escapes.
inline bool needsEscapeIn(uint64_t word) {
  constexpr uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
  auto hasZero = [&](uint64_t v) { return ((v - ones) & ~v & highs) != 0; };
  const bool control = ((word - ones * 0x20) & ~word & highs) != 0;
  return control || hasZero(word ^ (ones * '"')) || hasZero(word ^ (ones * '\\'));
}

void appendEscaped(std::string& out, std::string_view s) {
  static const char* hex = "0123456789abcdef";
  out.push_back('"');
  // Runs of characters that need no escape go in whole; they are found eight at a time.
  size_t plain = 0;
  size_t i = 0;
  while (i < s.size()) {
    if (s.size() - i >= 8) {
      uint64_t word;
      std::memcpy(&word, s.data() + i, 8);
      if (!needsEscapeIn(word)) {
        i += 8;
        continue;
      }
    }
    unsigned char c = static_cast<unsigned char>(s[i++]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(s.substr(plain, i - 1 - plain));
    plain = i;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        out += "\\u00";
        out.push_back(hex[c >> 4]);
        out.push_back(hex[c & 15]);
    }
  }
  out.append(s.substr(plain));
  out.push_back('"');
}

bool readHex4(std::string_view s, size_t& i, uint32_t& v) {
  if (i + 4 > s.size()) return false;
  v = 0;
  for (int k = 0; k < 4; ++k) {
    char c = s[i++];
    v <<= 4;
    if (c >= '0' && c <= '9') v |= c - '0';
    else if (c >= 'a' && c <= 'f') v |= c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v |= c - 'A' + 10;
    else return false;
  }
  return true;
}

void skipSpace(std::string_view s, size_t& i) {
  while (i < s.size() && (s[i] == ' ' || s[i] == '\n' || s[i] == '\r' || s[i] == '\t')) ++i;
}

bool readString(std::string_view s, size_t& i, std::string& out) {
  if (i >= s.size() || s[i] != '"') return false;
  ++i;
  while (i < s.size()) {
    char c = s[i++];
    if (c == '"') return true;
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (i >= s.size()) return false;
    char e = s[i++];
    switch (e) {
      case '"': out.push_back('"'); break;
      case '\\': out.push_back('\\'); break;
      case '/': out.push_back('/'); break;
      case 'b': out.push_back('\b'); break;
      case 'f': out.push_back('\f'); break;
      case 'n': out.push_back('\n'); break;
      case 'r': out.push_back('\r'); break;
      case 't': out.push_back('\t'); break;
      case 'u': {
        uint32_t cp;
        if (!readHex4(s, i, cp)) return false;
        if (cp >= 0xD800 && cp < 0xDC00 && i + 6 <= s.size() && s[i] == '\\' && s[i + 1] == 'u') {
          size_t j = i + 2;
          uint32_t low;
          if (readHex4(s, j, low) && low >= 0xDC00 && low < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            i = j;
          }
        }
        if (cp >= 0xD800 && cp < 0xE000) cp = 0xFFFD;  // a lone half of a pair is no character
        appendUTF8(out, cp);
        break;
      }
      default: return false;
    }
  }
  return false;
}

}  // namespace

std::string encode(const Value& array) {
  std::string out = "[";
  if (auto a = array.arrayPtr()) {
    bool first = true;
    for (const auto& item : *a) {
      if (!first) out.push_back(',');
      first = false;
      if (auto s = item.stringPtr()) appendEscaped(out, *s);
      else appendEscaped(out, item.asString());
    }
  }
  out.push_back(']');
  return out;
}

std::string encode(const std::vector<std::string>& items) {
  std::string out;
  encodeInto(out, items);
  return out;
}

void encodeInto(std::string& out, const std::vector<std::string>& items) {
  size_t size = 2;
  for (const auto& item : items) size += item.size() + 3;
  out.clear();
  out.reserve(size);
  out.push_back('[');
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out.push_back(',');
    appendEscaped(out, items[i]);
  }
  out.push_back(']');
}

std::optional<Value> decode(std::string_view s) {
  size_t i = 0;
  skipSpace(s, i);
  if (i >= s.size() || s[i] != '[') return std::nullopt;
  ++i;
  Value::Array items;
  skipSpace(s, i);
  if (i < s.size() && s[i] == ']') return Value(std::move(items));
  while (true) {
    skipSpace(s, i);
    std::string item;
    if (!readString(s, i, item)) return std::nullopt;
    items.emplace_back(std::move(item));
    skipSpace(s, i);
    if (i >= s.size()) return std::nullopt;
    if (s[i] == ']') return Value(std::move(items));
    if (s[i] != ',') return std::nullopt;
    ++i;
  }
}

}  // namespace store::lists
