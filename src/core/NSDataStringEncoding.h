#pragma once
// Bytes of unknown encoding as text, with the platform's best guess of the encoding.
#include <optional>
#include <string>

#include "foundation/StringEncoding.h"
#include "foundation/Value.h"

namespace NSDataStringEncoding {

// The data as UTF-8 text; `encoding` (when given) receives the encoding the guess chose.
// The guess falls back to Windows-1252, which reads every byte string, so a text always
// comes back.
std::optional<std::string> stringValue(const Data& data, StringEncoding* encoding = nullptr);

}  // namespace NSDataStringEncoding
