#pragma once
// Small text helpers: relative times for the screens, packed version numbers, the
// reading of a "identifier|clause|repository" dependency text, and splitting a text.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/KVDependencyDescription.h"
#include "foundation/Date.h"

namespace NSStringKorvaleExtensions {

// A time stamp "yyyy-MM-dd'T'HH:mm:ss'Z'" as "N seconds ago", "N minute(s) ago",
// "N hour(s) ago" or "N day(s) ago". The trailing Z means UTC and is read so. Nothing for
// an empty text or one that is not such a time stamp; a stamp in the future (clocks
// disagree) reads as "0 seconds ago". Not localized.
std::optional<std::string> timeSince(std::string_view timeStamp);
std::optional<std::string> timeSince(std::string_view timeStamp, Date now);

// Packs "major[.minor[.bugfix]][stage[build]]" (at most 15 characters; stage one of
// "d", "a", "b", "f" for development, alpha, beta, final) into
// major << 24 | minor << 20 | bugfix << 16 | stage << 8 | build, with stage 0x20, 0x40,
// 0x60 or 0x80 (final when none is written), so packed numbers order as the versions
// do. Major and build go to 255, minor and bugfix to 15; any other text gives 0.
uint32_t versionNumber(std::string_view version);

// "identifier|clause|repository": the identifier before the first "|"; the first piece
// after it, when it holds a digit, is cut at its first digit into the operation (trimmed,
// lower-cased) and the version (trimmed); the last piece of two or more is the repository.
KVDependencyDescription dependencyDescription(std::string_view text);

// The pieces of a text between its separators, empty ones too ("a,,b" is "a", "", "b";
// "" is one empty piece), as the platform's componentsSeparatedByString: does.
std::vector<std::string> componentsSeparatedByCharacter(std::string_view text, char separator);

}  // namespace NSStringKorvaleExtensions
