#include "foundation/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;

namespace Files {
bool writeAll(int fd, const uint8_t* bytes, size_t size, std::string* error) {
  size_t off = 0;
  while (off < size) {
    ssize_t n = ::write(fd, bytes + off, size - off);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (error) *error = std::strerror(errno);
      return false;
    }
    off += static_cast<size_t>(n);
  }
  return true;
}

bool writeAtomicallyAt(int folder, const std::string& name, const std::function<bool(int, std::string*)>& fill,
                       std::string* error, unsigned mode) {
  return writeAtomicallyPlacingAt(
      folder, name, [&fill](int fd, std::string* e, const PlaceNow&) { return fill(fd, e); }, error, mode);
}

bool writeAtomicallyPlacingAt(int folder, const std::string& name,
                              const std::function<bool(int fd, std::string* error, const PlaceNow& placeNow)>& fill,
                              std::string* error, unsigned mode) {
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
    if (error) *error = "\"" + name + "\" is no file name";
    return false;
  }
  static std::atomic<unsigned> counter{0};
  const std::string unique = std::to_string(getpid()) + "." + std::to_string(counter++);
  const std::string tmp = name + ".tmp." + unique;
  // O_NOFOLLOW and O_EXCL: a link planted under the temporary name is never written through.
  int fd = ::openat(folder, tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  fchmod(fd, mode);  // the umask must not widen or narrow what the caller asked for
  // Placed early, the file replaced stays under a second name until the fill answers.
  const std::string aside = name + ".previous." + unique;
  bool placed = false, keptAside = false;
  PlaceNow placeNow = [&](std::string* e) {
    if (placed) return true;
    if (::fsync(fd) != 0) {
      if (e) *e = std::strerror(errno);
      return false;
    }
    // A second name, not a copy; a link with the name is kept as the link it is.
    if (::linkat(folder, name.c_str(), folder, aside.c_str(), 0) == 0) keptAside = true;
    else if (errno != ENOENT) {
      if (e) *e = std::strerror(errno);
      return false;
    }
    if (::renameat(folder, tmp.c_str(), folder, name.c_str()) != 0) {
      if (e) *e = std::strerror(errno);
      if (keptAside) ::unlinkat(folder, aside.c_str(), 0);
      keptAside = false;
      return false;
    }
    placed = true;
    return true;
  };
  const bool filled = fill(fd, error, placeNow);
  if (placed) {
    ::close(fd);
    if (filled) {
      if (keptAside) ::unlinkat(folder, aside.c_str(), 0);
      return true;
    }
    if (keptAside) ::renameat(folder, aside.c_str(), folder, name.c_str());
    else ::unlinkat(folder, name.c_str(), 0);
    return false;
  }
  if (!filled) {
    ::close(fd);
    ::unlinkat(folder, tmp.c_str(), 0);
    return false;
  }
  // The descriptor is closed whether or not the flush worked.
  bool synced = ::fsync(fd) == 0;
  int syncErrno = errno;
  bool closed = ::close(fd) == 0;
  if (!synced || !closed) {
    if (error) *error = std::strerror(synced ? errno : syncErrno);
    ::unlinkat(folder, tmp.c_str(), 0);
    return false;
  }
  // The rename replaces whatever has the name, a link included, and never follows it.
  if (::renameat(folder, tmp.c_str(), folder, name.c_str()) != 0) {
    if (error) *error = std::strerror(errno);
    ::unlinkat(folder, tmp.c_str(), 0);
    return false;
  }
  return true;
}

bool writeAtomicallyAt(int folder, const std::string& name, const Data& bytes, std::string* error, unsigned mode) {
  return writeAtomicallyAt(
      folder, name, [&](int fd, std::string* e) { return writeAll(fd, bytes.data(), bytes.size(), e); }, error, mode);
}

bool writeAtomically(const std::string& path, const Data& bytes, std::string* error, unsigned mode) {
  std::string parent = deletingLastPathComponent(path);
  int folder = ::open(parent.empty() ? "." : parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  bool written = writeAtomicallyAt(folder, lastPathComponent(path), bytes, error, mode);
  ::close(folder);
  return written;
}

bool writeAtomically(const std::string& path, const std::string& text, std::string* error, unsigned mode) {
  return writeAtomically(path, Data(text.begin(), text.end()), error, mode);
}

std::optional<Data> read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in || isDirectory(path)) return std::nullopt;
  in.seekg(0, std::ios::end);
  auto size = in.tellg();
  in.seekg(0, std::ios::beg);
  Data d(size > 0 ? static_cast<size_t>(size) : 0);
  if (!d.empty()) in.read(reinterpret_cast<char*>(d.data()), static_cast<std::streamsize>(d.size()));
  if (!in && !in.eof()) return std::nullopt;
  return d;
}

std::optional<std::string> readText(const std::string& path) {
  auto d = read(path);
  if (!d) return std::nullopt;
  return std::string(d->begin(), d->end());
}

bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

bool createDirectories(const std::string& path) {
  std::error_code ec;
  fs::create_directories(path, ec);
  return isDirectory(path);
}

bool removeItem(const std::string& path) {
  std::error_code ec;
  return fs::remove_all(path, ec) > 0 && !ec;
}

bool moveItem(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::rename(from, to, ec);
  return !ec;
}

bool copyItem(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  return !ec;
}

std::vector<std::string> contentsOfDirectory(const std::string& path) {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto it = fs::directory_iterator(path, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
    out.push_back(it->path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

std::optional<Date> modificationDate(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return Date::fromUnix(static_cast<double>(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec / 1e9);
}

std::optional<uint64_t> fileSize(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

std::string lastPathComponent(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p == "/") return p;  // the root is its own last component
  auto slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string deletingLastPathComponent(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  auto slash = p.rfind('/');
  if (slash == std::string::npos) return "";
  if (slash == 0) return "/";
  return p.substr(0, slash);
}

std::string appendingPathComponent(const std::string& path, const std::string& component) {
  if (path.empty()) return component;
  std::string c = component;
  while (!c.empty() && c.front() == '/') c.erase(c.begin());
  return path.back() == '/' ? path + c : path + "/" + c;
}

std::string pathExtension(const std::string& path) {
  std::string last = lastPathComponent(path);
  auto dot = last.rfind('.');
  if (dot == std::string::npos || dot == 0) return "";
  return last.substr(dot + 1);
}
}  // namespace Files
