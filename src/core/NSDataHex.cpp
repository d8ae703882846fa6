#include "core/NSDataHex.h"

#include "foundation/Log.h"

namespace NSDataHex {

std::string hexValue(const Data& data) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(data.size() * 2);
  for (uint8_t byte : data) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  return hex;
}

std::string hexStringWithData(const Data& data) { return hexValue(data); }

namespace {

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<Data> malformed(std::string* error, std::string message) {
  KVLog("%s", message.c_str());
  if (error) *error = std::move(message);
  return std::nullopt;
}

}  // namespace

std::optional<Data> dataWithHexString(std::string_view hex, std::string* error) {
  const std::string text(hex);
  if (hex.size() % 2 != 0)
    return malformed(error, qblog::format("Hex strings should have an even number of digits (%s)",
                                          text.c_str()));
  Data bytes;
  bytes.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    int high = digitValue(hex[i]), low = digitValue(hex[i + 1]);
    if (high < 0 || low < 0)
      return malformed(error, qblog::format("String should be all hex digits: %s (bad digit around %ld)",
                                            text.c_str(), static_cast<long>(i)));
    bytes.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  return bytes;
}

}  // namespace NSDataHex
