#pragma once
// A text as the hex of its UTF-16 code units: each unit written with "%02x" (two
// lower-case digits, more for a unit above 0xFF), concatenated.
#include <string>
#include <string_view>

namespace NSStringHex {

std::string hexValue(std::string_view text);

}  // namespace NSStringHex
