#pragma once
// Reading binary property lists ("bplist00") into Value, by our own reader: every string
// and key is read with its length (U+0000 is text like any other), every offset and
// length is checked against the bytes, nesting is limited, and shared objects may not
// expand a small file into millions of copies. Property lists come from repositories,
// backups and payment services: they are hostile input.
#include <optional>
#include <string>

#include "foundation/Value.h"

namespace BinaryPropertyList {
inline constexpr int kMaxDepth = 512;                       // containers inside containers
inline constexpr uint64_t kMaxExpandedObjects = 1'000'000;  // objects once shared ones are copied

// The text of a property list's errors: any malformed list, and one nested too deeply.
inline constexpr const char* kFormatError = "The data couldn't be read because it isn't in the correct format.";
inline constexpr const char* kDepthError =
    "The data couldn't be read because it nests containers more than 512 levels deep.";

bool hasSignature(const Data& bytes);
// The list's value, or nothing with `error` set.
std::optional<Value> read(const Data& bytes, std::string* error = nullptr);
}  // namespace BinaryPropertyList
