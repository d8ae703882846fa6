#include "system/DpkgStatusFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "foundation/LocalizedStrings.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"

namespace DpkgStatusFile {
namespace {
std::string kindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a named pipe";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a file";
}

std::string inMiB(uint64_t bytes) { return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MiB"; }

std::string named(const std::string& devicePath) {
  return devicePath == kDevicePath ? "dpkg's status file " + devicePath : "dpkg's file " + devicePath;
}
}  // namespace

std::string path() { return DeviceRoot::devicePath(kDevicePath); }

Reader::Reader(const std::string& hostPath, uint64_t limit) : limit_(limit) {
  shown_ = named(DeviceRoot::isRealDevice() ? hostPath : DeviceRoot::deviceRelative(hostPath));
  // Without waiting: a named pipe opened for reading would wait for a writer.
  std::string reason;
  int fd = DeviceFiles::openFile(hostPath, O_RDONLY | O_NONBLOCK | O_NOCTTY, 0, &reason);
  const int openError = errno;
  take(fd, openError, reason);
}

Reader::Reader(int fd, int openError, const std::string& devicePath, uint64_t limit)
    : shown_(named(devicePath)), limit_(limit) {
  take(fd, openError, std::strerror(openError));
}

void Reader::take(int fd, int openError, const std::string& reason) {
  if (fd < 0) {
    missing_ = openError == ENOENT;
    link_ = openError == ELOOP;
    problem_ = link_ ? shown_ + " is a symbolic link, not a regular file" : shown_ + " can't be read: " + reason;
    return;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    problem_ = shown_ + " can't be read: " + std::strerror(errno);
  } else if (!S_ISREG(st.st_mode)) {
    problem_ = shown_ + " is " + kindOf(st.st_mode) + ", not a regular file";
  } else if (static_cast<uint64_t>(st.st_size) > limit_) {
    problem_ = shown_ + " is larger than " + inMiB(limit_) + " (" + inMiB(static_cast<uint64_t>(st.st_size)) +
               "), more than any device's";
  } else {
    fd_ = fd;
    return;
  }
  ::close(fd);
}

Reader::~Reader() {
  if (fd_ >= 0) ::close(fd_);
}

ssize_t Reader::read(char* bytes, size_t size) {
  if (fd_ < 0) return -1;
  // One byte past the limit tells a file that grew past it from one that ends there.
  const uint64_t room = limit_ + 1 - taken_;
  ssize_t n = ::read(fd_, bytes, size < room ? size : static_cast<size_t>(room));
  if (n < 0) {
    if (errno != EINTR) problem_ = shown_ + " can't be read: " + std::strerror(errno);
    return n;
  }
  taken_ += static_cast<uint64_t>(n);
  if (taken_ > limit_) {
    problem_ = shown_ + " grew past " + inMiB(limit_) + " while it was read, more than any device's";
    errno = EFBIG;
    return -1;
  }
  return n;
}

std::optional<std::string> problem() {
  Reader reader(path());
  if (reader.isOpen() || reader.isMissing()) return std::nullopt;
  return reader.problem();
}

std::string explanation(const std::string& problem) {
  return NSLocalizedFormat("%@. Quillbark keeps the packages as it last knew them, and installs, removes and upgrades "
                           "nothing until the file is repaired: dpkg keeps its copy from before its last change as %@.",
                           {problem, kPreviousCopyDevicePath});
}
}  // namespace DpkgStatusFile
