#include "foundation/Base64.h"

namespace Base64 {
namespace {
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string encodeBytes(const uint8_t* p, size_t n) {
  std::string out;
  out.reserve((n + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < n; i += 3) {
    uint32_t v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (i < n) {
    uint32_t v = p[i] << 16;
    if (i + 1 < n) v |= p[i + 1] << 8;
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += (i + 1 < n) ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}
}  // namespace

std::string encode(const std::vector<uint8_t>& bytes) { return encodeBytes(bytes.data(), bytes.size()); }
std::string encode(std::string_view bytes) {
  return encodeBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::optional<std::vector<uint8_t>> decode(std::string_view text) {
  std::vector<uint8_t> out;
  uint32_t acc = 0;
  int bits = 0;
  for (char c : text) {
    int v;
    if (c >= 'A' && c <= 'Z') v = c - 'A';
    else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
    else if (c >= '0' && c <= '9') v = c - '0' + 52;
    else if (c == '+' || c == '-') v = 62;
    else if (c == '/' || c == '_') v = 63;
    else if (c == '=') {
      // Padding ends a group: bits left over from it must not shift into a next one.
      acc = 0;
      bits = 0;
      continue;
    } else if (c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
    else return std::nullopt;
    acc = (acc << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<uint8_t>((acc >> bits) & 0xFF));
    }
  }
  return out;
}
}  // namespace Base64
