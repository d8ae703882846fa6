#pragma once
// Bytes as hex text and back.
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Value.h"

namespace NSDataHex {

// Two lower-case hex digits per byte; empty data gives an empty text.
std::string hexValue(const Data& data);
std::string hexStringWithData(const Data& data);

// Each pair of hex digits (either case) becomes one byte. A text with an odd number of
// digits or a character that is no hex digit gives no data and, in `error`, one of
// "Hex strings should have an even number of digits (...)" or
// "String should be all hex digits: ... (bad digit around N)", N the offset of the pair.
std::optional<Data> dataWithHexString(std::string_view hex, std::string* error = nullptr);

}  // namespace NSDataHex
