#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include <cstdint>

namespace Base64 {
std::string encode(const std::vector<uint8_t>& bytes);
std::string encode(std::string_view bytes);
// Skips white space; nullopt on any other character outside the alphabet.
std::optional<std::vector<uint8_t>> decode(std::string_view text);
}  // namespace Base64
