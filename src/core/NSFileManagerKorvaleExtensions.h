#pragma once
// Small file operations.
#include <optional>
#include <string>

namespace NSFileManagerKorvaleExtensions {
// MD5 of the file's contents as 32 lower-case hex digits; nullopt when unreadable.
std::optional<std::string> fileHashAtPath(const std::string& path);
// Creates each missing folder along an absolute path with permissions 0755; true when
// the whole path exists as folders at the end.
bool createPath(const std::string& path);
// True when the item did not exist or was removed.
bool removeItemIfExistsAtPath(const std::string& path, std::string* error = nullptr);
}  // namespace NSFileManagerKorvaleExtensions
