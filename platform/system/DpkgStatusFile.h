#pragma once
// dpkg's status file as this system reads it. It lies in the device root, where a
// package's script or hook can leave anything in its place after dpkg's last write: a
// named pipe (whose opening would wait for a writer for good), a folder, or a file no
// device has (gigabytes of zeros). Only a regular file of at most kMaximumBytes is read,
// opened without following a link and without waiting; a reader stops at the ceiling
// should the file grow meanwhile. Anything else is refused with its reason, which names
// the file by its device path.
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

namespace DpkgStatusFile {
// Far above the status of a device with thousands of packages (a few hundred bytes each).
inline constexpr uint64_t kMaximumBytes = 64ull * 1024 * 1024;
inline constexpr const char* kDevicePath = "/var/lib/dpkg/status";
// The copy of the status dpkg keeps from before its last write.
inline constexpr const char* kPreviousCopyDevicePath = "/var/lib/dpkg/status-old";

// The status file's path in the current device root.
std::string path();

// A dpkg file (its status, or an entry of its journal) open for reading.
class Reader {
 public:
  // Opens `hostPath`: isOpen() when it is a regular file of at most `limit` bytes. When
  // it is missing, isMissing(); otherwise problem() says why it is not read.
  explicit Reader(const std::string& hostPath, uint64_t limit = kMaximumBytes);
  // The same for a file already opened (without following a link or waiting), which it
  // takes: `fd` is -1 and `openError` the errno when it could not be opened.
  Reader(int fd, int openError, const std::string& devicePath, uint64_t limit = kMaximumBytes);
  ~Reader();
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  bool isMissing() const { return missing_; }
  bool isLink() const { return link_; }
  int descriptor() const { return fd_; }
  const std::string& problem() const { return problem_; }
  // The file as messages name it ("dpkg's status file /var/lib/dpkg/status").
  const std::string& name() const { return shown_; }
  // As read(2), never past the limit: once the file has grown past it, -1 and problem().
  ssize_t read(char* bytes, size_t size);

 private:
  void take(int fd, int openError, const std::string& reason);

  std::string shown_;  // as messages name it
  uint64_t limit_;
  uint64_t taken_ = 0;
  int fd_ = -1;
  bool missing_ = false;
  bool link_ = false;
  std::string problem_;
};

// Why the current root's status file can't be read ("dpkg's status file
// /var/lib/dpkg/status is a named pipe, not a regular file"); nothing when it can be, or
// when there is none.
std::optional<std::string> problem();
// What a person is told about it: the problem, what the application does meanwhile, and
// how it is put right.
std::string explanation(const std::string& problem);
}  // namespace DpkgStatusFile
