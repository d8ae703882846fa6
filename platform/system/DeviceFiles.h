#pragma once
// Writing under the device root without ever leaving it. The root holds what packages
// put there, symbolic links included: a package that ships "/var/mobile/Library/Caches"
// as a link to a folder of the host would otherwise have our own writes land on the
// host. Below the root every folder is opened one component at a time, without
// following links; a link is followed only when it is relative and stays below the root
// (as the device's own "Library/dpkg" does), and refused otherwise.
//
// Each function takes a host path as DeviceRoot::devicePath() answers it. A path that
// is not below the current root (or any path on a real device, whose root is "/") is
// no device data and is handled as a plain path.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Files.h"
#include "foundation/Value.h"

namespace DeviceFiles {
// Makes the folder and its missing parents; true when it exists afterwards.
bool createFolders(const std::string& path, std::string* error = nullptr, unsigned mode = 0755);
// Makes the folder only; its parent must exist. True when it exists afterwards.
bool createFolder(const std::string& path, std::string* error = nullptr, unsigned mode = 0755);
// Files::writeAtomically below the root: the parent folder must exist.
bool writeAtomically(const std::string& path, const Data& bytes, std::string* error = nullptr, unsigned mode = 0644);
bool writeAtomically(const std::string& path, const std::string& text, std::string* error = nullptr,
                     unsigned mode = 0644);
// The same unless the file already holds exactly `text` with `mode`: what is written at
// every start (configuration, stand-ins) costs a read then, not a write and a flush.
bool writeIfChanged(const std::string& path, const std::string& text, std::string* error = nullptr,
                    unsigned mode = 0644);
// The same with the contents written by `fill` onto the new file's descriptor as they are
// produced (a stream); a false answer abandons the write and leaves the old file.
bool writeAtomically(const std::string& path, const std::function<bool(int fd, std::string* error)>& fill,
                     std::string* error = nullptr, unsigned mode = 0644);
// The same where `fill` may put the whole file in its place before it answers
// (Files::writeAtomicallyPlacingAt); a false answer then puts the old file back.
bool writeAtomicallyPlacing(const std::string& path,
                            const std::function<bool(int fd, std::string* error, const Files::PlaceNow& placeNow)>& fill,
                            std::string* error = nullptr, unsigned mode = 0644);
// Opens a file below the root with `flags` (O_NOFOLLOW is added: a link with the file's
// name is refused). Answers the descriptor, or -1 with `error` set.
int openFile(const std::string& path, int flags, unsigned mode = 0644, std::string* error = nullptr);
// What a package may have put where a file is read: a link, a named pipe (whose open for
// reading would wait for a writer), a device. Only a regular file is read: it is opened
// without following a link and without blocking, and checked once open. At most `limit`
// bytes are read; `complete` says whether that was the whole file.
struct Contents {
  Data bytes;
  bool complete = true;
};
std::optional<Contents> readFile(const std::string& path, size_t limit, std::string* error = nullptr);
// What the application keeps below the root is its own, yet a package's script can put
// something else under its name: a link (even one that stays in the root), a named pipe,
// a file where a folder belongs. These put the application's own entry back, never
// following what was there, and `repair` then says what was replaced ("/x was a link to
// /y; it is a folder again"); it is left empty when nothing was.
// A folder, made when missing (its parent must exist).
bool makeOwnFolder(const std::string& path, std::string* repair = nullptr, std::string* error = nullptr,
                   unsigned mode = 0755);
// A regular file or nothing: anything else with the name is removed, so that what the
// application writes there next is its own file.
bool clearForOwnFile(const std::string& path, std::string* repair = nullptr, std::string* error = nullptr);
// In a folder of the application's own, every entry that is neither a regular file nor a
// folder (a link, a named pipe, a socket, a device) is removed, in its folders too; each
// removal is noted in `repairs`.
void removeForeignEntries(const std::string& folder, std::vector<std::string>& repairs);

// Copies the file at `from` (anywhere) to `to` below the root, through a temporary file
// and a rename; the copy gets `mode`.
bool copyFile(const std::string& from, const std::string& to, std::string* error = nullptr, unsigned mode = 0644);
// Moves `from` (anywhere) to `to` below the root; across file systems it copies, then
// removes the original.
bool moveFile(const std::string& from, const std::string& to, std::string* error = nullptr);
// Removes a file, or a folder with everything in it; links are removed, never followed.
// True when nothing is left at the path.
bool removeItem(const std::string& path, std::string* error = nullptr);

// The same below a root named outright, by device paths ("/etc/quillbark/apt.conf"):
// the builder prepares roots that are not the current one yet. A repairing tree, on its
// way to a folder, replaces a link that leads out of the root (or nowhere) by an empty
// folder and notes it; the link's target is never touched.
class Tree {
 public:
  explicit Tree(std::string root, bool repair = false);
  const std::string& root() const { return root_; }
  // What the repairs replaced, one line each ("/var/root was a link to /somewhere").
  const std::vector<std::string>& repairs() const { return repairs_; }

  bool createFolders(const std::string& devicePath, std::string* error = nullptr, unsigned mode = 0755);
  bool writeAtomically(const std::string& devicePath, const Data& bytes, std::string* error = nullptr,
                       unsigned mode = 0644);
  bool writeAtomically(const std::string& devicePath, const std::string& text, std::string* error = nullptr,
                       unsigned mode = 0644);
  bool writeAtomically(const std::string& devicePath, const std::function<bool(int fd, std::string* error)>& fill,
                       std::string* error = nullptr, unsigned mode = 0644);
  bool writeIfChanged(const std::string& devicePath, const std::string& text, std::string* error = nullptr,
                      unsigned mode = 0644);
  int openFile(const std::string& devicePath, int flags, unsigned mode = 0644, std::string* error = nullptr);
  bool copyFile(const std::string& from, const std::string& devicePath, std::string* error = nullptr,
                unsigned mode = 0644);
  bool moveFile(const std::string& from, const std::string& devicePath, std::string* error = nullptr);
  bool removeItem(const std::string& devicePath, std::string* error = nullptr);
  // A regular file's bytes (as readFile reads it); nothing when it is missing,
  // unreadable, a link, not a regular file or larger than `limit`.
  std::optional<Data> read(const std::string& devicePath, size_t limit = SIZE_MAX);
  // Whether anything has the name, a link included (a link is not followed).
  bool hasEntry(const std::string& devicePath);
  // Whether the path reaches a folder without leaving the root (nothing is repaired).
  bool isFolder(const std::string& devicePath) const;
  // A symbolic link with the given target text; an existing entry is left as it is.
  bool createLink(const std::string& target, const std::string& devicePath, std::string* error = nullptr);

 private:
  std::vector<std::string>* repairLog() { return repair_ ? &repairs_ : nullptr; }

  std::string root_;
  bool repair_;
  std::vector<std::string> repairs_;
};
}  // namespace DeviceFiles
