#pragma once
// File helpers in place of the platform's file manager.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Date.h"
#include "foundation/Value.h"

namespace Files {
// Writes to a temporary file beside `path`, flushes it and renames it over `path`, so
// a reader or a crash sees the old file or the new one, never half of one.
bool writeAtomically(const std::string& path, const Data& bytes, std::string* error = nullptr,
                     unsigned mode = 0644);
bool writeAtomically(const std::string& path, const std::string& text, std::string* error = nullptr,
                     unsigned mode = 0644);
// The same for the file `name` (one path component) in the open folder `folder`: a link
// in the folder's path can no longer redirect the write, and a link that has the name is
// replaced, never followed.
bool writeAtomicallyAt(int folder, const std::string& name, const Data& bytes, std::string* error = nullptr,
                       unsigned mode = 0644);
// The same with the contents written by `fill` to the temporary file's descriptor; a
// false answer (with its reason in the error) abandons the write.
bool writeAtomicallyAt(int folder, const std::string& name, const std::function<bool(int fd, std::string* error)>& fill,
                       std::string* error = nullptr, unsigned mode = 0644);
// The same where `fill` may put the file in its place before it answers, once the file
// is whole, by calling `placeNow` (which flushes it first). The file it replaced is kept
// aside until the fill answers: a false answer puts it back (or removes the new file
// where there was none), so the name ends with the old file or the new one, as above.
using PlaceNow = std::function<bool(std::string* error)>;
bool writeAtomicallyPlacingAt(int folder, const std::string& name,
                              const std::function<bool(int fd, std::string* error, const PlaceNow& placeNow)>& fill,
                              std::string* error = nullptr, unsigned mode = 0644);
// Writes all `size` bytes to `fd`, through short writes and interruptions.
bool writeAll(int fd, const uint8_t* bytes, size_t size, std::string* error = nullptr);
std::optional<Data> read(const std::string& path);
std::optional<std::string> readText(const std::string& path);
bool exists(const std::string& path);
bool isDirectory(const std::string& path);
bool createDirectories(const std::string& path);  // with parents; true when it exists afterwards
bool removeItem(const std::string& path);         // files and whole folders
bool moveItem(const std::string& from, const std::string& to);
bool copyItem(const std::string& from, const std::string& to);
std::vector<std::string> contentsOfDirectory(const std::string& path);  // names, sorted
std::optional<Date> modificationDate(const std::string& path);
std::optional<uint64_t> fileSize(const std::string& path);
std::string lastPathComponent(const std::string& path);
std::string deletingLastPathComponent(const std::string& path);
std::string appendingPathComponent(const std::string& path, const std::string& component);
std::string pathExtension(const std::string& path);
}  // namespace Files
