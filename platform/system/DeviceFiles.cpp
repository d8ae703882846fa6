#include "system/DeviceFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <optional>
#include <vector>

#include "foundation/Files.h"
#include "system/DeviceRoot.h"

namespace DeviceFiles {
namespace {
constexpr int kMaxLinks = 40;        // as the kernel allows in one lookup
constexpr int kMaxRemovalDepth = 256;  // deeper trees are refused rather than risk the stack

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { reset(); }
  Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = other.release();
    }
    return *this;
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

bool failWith(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

std::vector<std::string> componentsOf(const std::string& relative) {
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= relative.size()) {
    size_t slash = relative.find('/', i);
    if (slash == std::string::npos) slash = relative.size();
    std::string part = relative.substr(i, slash - i);
    if (!part.empty() && part != ".") parts.push_back(std::move(part));
    i = slash + 1;
  }
  return parts;
}

// `path` as the root and the device path below it; nothing when the path is not below
// the current device root (or the root is "/").
struct BelowRoot {
  std::string root;
  std::string devicePath;
};
std::optional<BelowRoot> belowRoot(const std::string& path) {
  std::string root = DeviceRoot::root();
  if (root.empty() || path.compare(0, root.size(), root) != 0) return std::nullopt;
  if (path.size() > root.size() && path[root.size()] != '/') return std::nullopt;
  return BelowRoot{root, path.substr(root.size())};
}

std::string devicePathOf(const std::vector<std::string>& names) {
  std::string out;
  for (const auto& n : names) out += "/" + n;
  return out.empty() ? "/" : out;
}

// Opens the folder that `components` reach from `root`, one component at a time and
// never through a link that leaves the root. With `create`, missing folders are made.
// With `repairs`, a link that leads out of the root or to no folder is replaced by an
// empty folder, and the replacement noted there.
Descriptor openFolderBelow(const std::string& root, const std::vector<std::string>& components, bool create,
                           unsigned mode, std::string* error, std::vector<std::string>* repairs = nullptr) {
  std::vector<Descriptor> path;  // the folders from the root down to where the walk is
  std::vector<std::string> names;  // the names of path[1...] in their parents
  path.emplace_back(::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!path.back().valid()) {
    failWith(error, root + ": " + std::strerror(errno));
    return Descriptor();
  }
  std::deque<std::string> pending(components.begin(), components.end());
  std::string shown = root;  // the path walked so far, for messages
  int links = 0;
  while (!pending.empty()) {
    std::string name = std::move(pending.front());
    pending.pop_front();
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      if (path.size() == 1) {
        failWith(error, shown + ": \"..\" leads out of the device root");
        return Descriptor();
      }
      path.pop_back();
      names.pop_back();
      continue;
    }
    shown += "/" + name;
    Descriptor next(::openat(path.back().get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!next.valid() && errno == ENOENT && create) {
      if (::mkdirat(path.back().get(), name.c_str(), mode) != 0 && errno != EEXIST) {
        failWith(error, shown + ": " + std::strerror(errno));
        return Descriptor();
      }
      next = Descriptor(::openat(path.back().get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    }
    struct stat st;
    if (!next.valid() || ::fstat(next.get(), &st) != 0) {
      failWith(error, shown + ": " + std::strerror(errno));
      return Descriptor();
    }
    if (S_ISLNK(st.st_mode)) {
      char target[PATH_MAX];
      ssize_t n = ::readlinkat(next.get(), "", target, sizeof target);
      if (n < 0 || ++links > kMaxLinks) {
        failWith(error, shown + ": " + std::strerror(n < 0 ? errno : ELOOP));
        return Descriptor();
      }
      std::string to(target, static_cast<size_t>(n));
      auto parts = componentsOf(to);
      // The host reads an absolute link from its own "/": that is out of the root.
      bool leaves = to.empty() || to[0] == '/';
      if (!leaves && repairs) {
        std::vector<std::string> whole = names;
        whole.insert(whole.end(), parts.begin(), parts.end());
        leaves = !openFolderBelow(root, whole, false, 0, nullptr).valid();
      }
      if (leaves && repairs) {
        names.push_back(name);
        std::string device = devicePathOf(names);
        names.pop_back();
        if (::unlinkat(path.back().get(), name.c_str(), 0) != 0 ||
            (::mkdirat(path.back().get(), name.c_str(), mode) != 0 && errno != EEXIST)) {
          failWith(error, shown + " is a link (to " + to + ") that can't be replaced: " + std::strerror(errno));
          return Descriptor();
        }
        repairs->push_back(device + " was a link to " + to + "; it is a folder again");
        pending.push_front(name);
        shown.resize(shown.size() - name.size() - 1);
        continue;
      }
      if (leaves) {
        failWith(error, shown + " is a link out of the device root (to " + to + ")");
        return Descriptor();
      }
      pending.insert(pending.begin(), parts.begin(), parts.end());
      shown.resize(shown.size() - name.size() - 1);
      continue;
    }
    if (!S_ISDIR(st.st_mode)) {
      failWith(error, shown + ": " + std::strerror(ENOTDIR));
      return Descriptor();
    }
    path.push_back(std::move(next));
    names.push_back(name);
  }
  return std::move(path.back());
}

// The folder that holds a path and the name in it.
struct Place {
  Descriptor folder;
  std::string name;
};

// Below `root`, by device path.
std::optional<Place> placeBelow(const std::string& root, const std::string& devicePath, bool createParents,
                                std::string* error, std::vector<std::string>* repairs) {
  auto components = componentsOf(devicePath);
  if (components.empty()) {
    failWith(error, root + devicePath + " is the device root itself");
    return std::nullopt;
  }
  Place place;
  place.name = components.back();
  components.pop_back();
  if (place.name == "..") {
    failWith(error, root + devicePath + " names no file");
    return std::nullopt;
  }
  place.folder = openFolderBelow(root, components, createParents, 0755, error, repairs);
  if (!place.folder.valid()) return std::nullopt;
  return place;
}

// A host path: below the current root safely, as a plain path elsewhere.
std::optional<Place> placeOf(const std::string& path, bool createParents, std::string* error) {
  if (auto below = belowRoot(path)) return placeBelow(below->root, below->devicePath, createParents, error, nullptr);
  Place place;
  std::string parent = Files::deletingLastPathComponent(path);
  place.name = Files::lastPathComponent(path);
  if (createParents && !parent.empty()) Files::createDirectories(parent);
  place.folder = Descriptor(::open(parent.empty() ? "." : parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!place.folder.valid()) {
    failWith(error, parent + ": " + std::strerror(errno));
    return std::nullopt;
  }
  if (place.name == "..") {
    failWith(error, path + " names no file");
    return std::nullopt;
  }
  return place;
}

bool removeAt(int folder, const std::string& name, int depth, std::string* error) {
  struct stat st;
  if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT || failWith(error, name + ": " + std::strerror(errno));
  if (S_ISDIR(st.st_mode)) {
    if (depth > kMaxRemovalDepth) return failWith(error, name + ": too deeply nested to remove");
    int fd = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return failWith(error, name + ": " + std::strerror(errno));
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
      ::close(fd);
      return failWith(error, name + ": " + std::strerror(errno));
    }
    std::vector<std::string> entries;
    while (dirent* entry = ::readdir(dir)) {
      std::string entryName = entry->d_name;
      if (entryName != "." && entryName != "..") entries.push_back(std::move(entryName));
    }
    bool emptied = true;
    for (const auto& entry : entries) emptied = removeAt(::dirfd(dir), entry, depth + 1, error) && emptied;
    ::closedir(dir);
    if (!emptied) return false;
  }
  if (::unlinkat(folder, name.c_str(), S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0) != 0 && errno != ENOENT)
    return failWith(error, name + ": " + std::strerror(errno));
  return true;
}

bool writeAt(const Place& place, const std::function<bool(int, std::string*)>& fill, std::string* error,
             unsigned mode) {
  return Files::writeAtomicallyAt(place.folder.get(), place.name, fill, error, mode);
}

int openAt(const Place& place, const std::string& shown, int flags, unsigned mode, std::string* error) {
  int fd = ::openat(place.folder.get(), place.name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) failWith(error, shown + ": " + std::strerror(errno));
  return fd;
}

bool copyTo(const std::string& from, const Place& place, std::string* error, unsigned mode) {
  Descriptor source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (!source.valid()) return failWith(error, from + ": " + std::strerror(errno));
  auto fill = [&](int fd, std::string* e) {
    std::vector<uint8_t> buffer(1 << 16);
    for (;;) {
      ssize_t n = ::read(source.get(), buffer.data(), buffer.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return failWith(e, from + ": " + std::strerror(errno));
      if (n == 0) return true;
      if (!Files::writeAll(fd, buffer.data(), static_cast<size_t>(n), e)) return false;
    }
  };
  return Files::writeAtomicallyAt(place.folder.get(), place.name, fill, error, mode);
}

bool moveTo(const std::string& from, const Place& place, const std::string& shown, std::string* error) {
  if (::renameat(AT_FDCWD, from.c_str(), place.folder.get(), place.name.c_str()) == 0) return true;
  if (errno != EXDEV) return failWith(error, from + " -> " + shown + ": " + std::strerror(errno));
  if (!copyTo(from, place, error, 0644)) return false;
  ::unlink(from.c_str());
  return true;
}

std::optional<Contents> readRegular(const Place& place, const std::string& shown, size_t limit, std::string* error) {
  // Opening a named pipe for reading would wait for a writer, for good: nothing opens
  // here blocking, and what is open is read only when it is a regular file.
  Descriptor file(::openat(place.folder.get(), place.name.c_str(),
                           O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st;
  if (!file.valid() || ::fstat(file.get(), &st) != 0) {
    failWith(error, shown + ": " + std::strerror(errno));
    return std::nullopt;
  }
  if (!S_ISREG(st.st_mode)) {
    failWith(error, shown + " is not a regular file");
    return std::nullopt;
  }
  Contents out;
  uint8_t buffer[1 << 14];
  for (;;) {
    // One byte past the limit tells whether anything is left.
    size_t left = limit - out.bytes.size();
    size_t room = left < sizeof buffer ? left + 1 : sizeof buffer;
    ssize_t n = ::read(file.get(), buffer, room);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      failWith(error, shown + ": " + std::strerror(errno));
      return std::nullopt;
    }
    if (n == 0) return out;
    size_t kept = std::min(size_t(n), limit - out.bytes.size());
    out.bytes.insert(out.bytes.end(), buffer, buffer + kept);
    if (kept < size_t(n)) {
      out.complete = false;
      return out;
    }
  }
}

// Whether the place already is a regular file of exactly these bytes and permissions.
bool holds(const Place& place, const Data& bytes, unsigned mode) {
  Descriptor file(::openat(place.folder.get(), place.name.c_str(),
                           O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st;
  if (!file.valid() || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & 07777) != mode ||
      static_cast<uint64_t>(st.st_size) != bytes.size())
    return false;
  Data found(bytes.size() + 1);
  size_t got = 0;
  for (;;) {
    ssize_t n = ::read(file.get(), found.data() + got, found.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
    if (got == found.size()) return false;  // it grew meanwhile
  }
  return got == bytes.size() && std::equal(bytes.begin(), bytes.end(), found.begin());
}

std::string kindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a named pipe";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISREG(mode)) return "a file";
  if (S_ISSOCK(mode)) return "a socket";
  return "a device";
}

// What is at the place, for a repair's note: "a link to /y", "a named pipe".
std::string describeEntry(const Place& place, const struct stat& st) {
  if (!S_ISLNK(st.st_mode)) return kindOf(st.st_mode);
  char target[PATH_MAX];
  ssize_t n = ::readlinkat(place.folder.get(), place.name.c_str(), target, sizeof target);
  return "a link to " + (n < 0 ? std::string("somewhere unreadable") : std::string(target, static_cast<size_t>(n)));
}

std::string shownPath(const std::string& path) {
  auto below = belowRoot(path);
  return below ? below->devicePath : path;
}

void removeForeignEntriesAt(int folder, const std::string& shown, int depth, std::vector<std::string>& repairs) {
  DIR* dir = ::fdopendir(folder);
  if (!dir) {
    ::close(folder);
    return;
  }
  std::vector<std::string> foreign, folders;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    unsigned char type = entry->d_type;
    struct stat st;
    if (type == DT_UNKNOWN && ::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : S_ISLNK(st.st_mode) ? DT_LNK : DT_FIFO;
    if (type == DT_DIR) folders.push_back(name);
    else if (type != DT_REG && type != DT_UNKNOWN) foreign.push_back(name);
  }
  for (const auto& name : foreign) {
    Place place{Descriptor(::dup(::dirfd(dir))), name};
    struct stat st;
    if (::fstatat(place.folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISREG(st.st_mode) ||
        S_ISDIR(st.st_mode))
      continue;
    std::string was = describeEntry(place, st);
    if (::unlinkat(place.folder.get(), name.c_str(), 0) == 0)
      repairs.push_back(shown + "/" + name + " was " + was + "; it is removed");
  }
  if (depth < kMaxRemovalDepth) {
    for (const auto& name : folders) {
      int inner = ::openat(::dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (inner >= 0) removeForeignEntriesAt(inner, shown + "/" + name, depth + 1, repairs);
    }
  }
  ::closedir(dir);
}

std::function<bool(int, std::string*)> bytesFill(const Data& bytes) {
  return [&bytes](int fd, std::string* e) { return Files::writeAll(fd, bytes.data(), bytes.size(), e); };
}
}  // namespace

bool createFolders(const std::string& path, std::string* error, unsigned mode) {
  auto below = belowRoot(path);
  if (!below) return Files::createDirectories(path) || failWith(error, "cannot create " + path);
  return Tree(below->root).createFolders(below->devicePath, error, mode);
}

bool createFolder(const std::string& path, std::string* error, unsigned mode) {
  auto place = placeOf(path, false, error);
  if (!place) return false;
  if (::mkdirat(place->folder.get(), place->name.c_str(), mode) != 0 && errno != EEXIST)
    return failWith(error, path + ": " + std::strerror(errno));
  // What has the name now must be a folder reached without leaving the root.
  if (auto below = belowRoot(path))
    return openFolderBelow(below->root, componentsOf(below->devicePath), false, mode, error).valid();
  return Files::isDirectory(path) || failWith(error, path + ": " + std::strerror(ENOTDIR));
}

bool writeAtomically(const std::string& path, const Data& bytes, std::string* error, unsigned mode) {
  auto place = placeOf(path, false, error);
  return place && writeAt(*place, bytesFill(bytes), error, mode);
}

bool writeAtomically(const std::string& path, const std::string& text, std::string* error, unsigned mode) {
  return writeAtomically(path, Data(text.begin(), text.end()), error, mode);
}

bool writeIfChanged(const std::string& path, const std::string& text, std::string* error, unsigned mode) {
  const Data bytes(text.begin(), text.end());
  auto place = placeOf(path, false, error);
  return place && (holds(*place, bytes, mode) || writeAt(*place, bytesFill(bytes), error, mode));
}

bool writeAtomically(const std::string& path, const std::function<bool(int fd, std::string* error)>& fill,
                     std::string* error, unsigned mode) {
  auto place = placeOf(path, false, error);
  return place && writeAt(*place, fill, error, mode);
}

bool writeAtomicallyPlacing(const std::string& path,
                            const std::function<bool(int fd, std::string* error, const Files::PlaceNow& placeNow)>& fill,
                            std::string* error, unsigned mode) {
  auto place = placeOf(path, false, error);
  return place && Files::writeAtomicallyPlacingAt(place->folder.get(), place->name, fill, error, mode);
}

int openFile(const std::string& path, int flags, unsigned mode, std::string* error) {
  auto place = placeOf(path, false, error);
  return place ? openAt(*place, path, flags, mode, error) : -1;
}

std::optional<Contents> readFile(const std::string& path, size_t limit, std::string* error) {
  auto place = placeOf(path, false, error);
  return place ? readRegular(*place, path, limit, error) : std::nullopt;
}

bool makeOwnFolder(const std::string& path, std::string* repair, std::string* error, unsigned mode) {
  if (repair) repair->clear();
  auto place = placeOf(path, false, error);
  if (!place) return false;
  struct stat st;
  if (::fstatat(place->folder.get(), place->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    std::string was = describeEntry(*place, st);
    if (!removeAt(place->folder.get(), place->name, 0, error)) return false;
    if (repair) *repair = shownPath(path) + " was " + was + "; it is a folder again";
  } else if (errno != ENOENT) {
    return failWith(error, path + ": " + std::strerror(errno));
  }
  if (::mkdirat(place->folder.get(), place->name.c_str(), mode) != 0 && errno != EEXIST)
    return failWith(error, path + ": " + std::strerror(errno));
  return true;
}

bool clearForOwnFile(const std::string& path, std::string* repair, std::string* error) {
  if (repair) repair->clear();
  auto place = placeOf(path, false, error);
  if (!place) return false;
  struct stat st;
  if (::fstatat(place->folder.get(), place->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT || failWith(error, path + ": " + std::strerror(errno));
  if (S_ISREG(st.st_mode)) return true;
  std::string was = describeEntry(*place, st);
  if (!removeAt(place->folder.get(), place->name, 0, error)) return false;
  if (repair) *repair = shownPath(path) + " was " + was + "; it is removed";
  return true;
}

void removeForeignEntries(const std::string& folder, std::vector<std::string>& repairs) {
  auto place = placeOf(folder, false, nullptr);
  if (!place) return;
  int fd = ::openat(place->folder.get(), place->name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) removeForeignEntriesAt(fd, shownPath(folder), 0, repairs);
}

bool copyFile(const std::string& from, const std::string& to, std::string* error, unsigned mode) {
  auto place = placeOf(to, false, error);
  return place && copyTo(from, *place, error, mode);
}

bool moveFile(const std::string& from, const std::string& to, std::string* error) {
  auto place = placeOf(to, false, error);
  return place && moveTo(from, *place, to, error);
}

bool removeItem(const std::string& path, std::string* error) {
  auto place = placeOf(path, false, error);
  // A missing parent folder leaves nothing to remove.
  if (!place) return !Files::exists(path) && !Files::exists(Files::deletingLastPathComponent(path));
  return removeAt(place->folder.get(), place->name, 0, error);
}

// ---- Tree

Tree::Tree(std::string root, bool repair) : root_(std::move(root)), repair_(repair) {
  while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

bool Tree::createFolders(const std::string& devicePath, std::string* error, unsigned mode) {
  return openFolderBelow(root_, componentsOf(devicePath), true, mode, error, repairLog()).valid();
}

bool Tree::writeAtomically(const std::string& devicePath, const Data& bytes, std::string* error, unsigned mode) {
  auto place = placeBelow(root_, devicePath, false, error, repairLog());
  return place && writeAt(*place, bytesFill(bytes), error, mode);
}

bool Tree::writeAtomically(const std::string& devicePath, const std::string& text, std::string* error,
                           unsigned mode) {
  return writeAtomically(devicePath, Data(text.begin(), text.end()), error, mode);
}

bool Tree::writeIfChanged(const std::string& devicePath, const std::string& text, std::string* error, unsigned mode) {
  const Data bytes(text.begin(), text.end());
  auto place = placeBelow(root_, devicePath, false, error, repairLog());
  return place && (holds(*place, bytes, mode) || writeAt(*place, bytesFill(bytes), error, mode));
}

bool Tree::writeAtomically(const std::string& devicePath, const std::function<bool(int fd, std::string* error)>& fill,
                           std::string* error, unsigned mode) {
  auto place = placeBelow(root_, devicePath, false, error, repairLog());
  return place && writeAt(*place, fill, error, mode);
}

int Tree::openFile(const std::string& devicePath, int flags, unsigned mode, std::string* error) {
  auto place = placeBelow(root_, devicePath, false, error, repairLog());
  return place ? openAt(*place, root_ + devicePath, flags, mode, error) : -1;
}

bool Tree::copyFile(const std::string& from, const std::string& devicePath, std::string* error, unsigned mode) {
  auto place = placeBelow(root_, devicePath, false, error, repairLog());
  return place && copyTo(from, *place, error, mode);
}

bool Tree::moveFile(const std::string& from, const std::string& devicePath, std::string* error) {
  auto place = placeBelow(root_, devicePath, false, error, repairLog());
  return place && moveTo(from, *place, root_ + devicePath, error);
}

bool Tree::removeItem(const std::string& devicePath, std::string* error) {
  std::string ignored;
  auto place = placeBelow(root_, devicePath, false, &ignored, repairLog());
  if (!place) return !hasEntry(devicePath) || failWith(error, ignored);
  return removeAt(place->folder.get(), place->name, 0, error);
}

std::optional<Data> Tree::read(const std::string& devicePath, size_t limit) {
  auto place = placeBelow(root_, devicePath, false, nullptr, repairLog());
  auto contents = place ? readRegular(*place, root_ + devicePath, limit, nullptr) : std::nullopt;
  if (!contents || !contents->complete) return std::nullopt;
  return std::move(contents->bytes);
}

bool Tree::hasEntry(const std::string& devicePath) {
  auto place = placeBelow(root_, devicePath, false, nullptr, nullptr);
  struct stat st;
  return place && ::fstatat(place->folder.get(), place->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool Tree::isFolder(const std::string& devicePath) const {
  return openFolderBelow(root_, componentsOf(devicePath), false, 0, nullptr).valid();
}

bool Tree::createLink(const std::string& target, const std::string& devicePath, std::string* error) {
  auto place = placeBelow(root_, devicePath, false, error, repairLog());
  if (!place) return false;
  if (::symlinkat(target.c_str(), place->folder.get(), place->name.c_str()) == 0 || errno == EEXIST) return true;
  return failWith(error, root_ + devicePath + ": " + std::strerror(errno));
}
}  // namespace DeviceFiles
