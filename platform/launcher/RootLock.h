#pragma once
// The device root's lock: one run of the package tools at a time in a root, from the
// launcher's start to the end of the last process of its sandbox. A launcher holds it
// exclusively and hands it into its sandbox, where every process keeps it (APT keeps it
// open into dpkg and its other helpers: the device's APT configuration says so), so a
// launcher killed outright still holds it until its dpkg, and dpkg's own locks, are gone.
// Header only: the launcher and the application read it alike.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace launcher {
// A file at the top of the root, and how long anyone waits for it (then goes ahead: the
// tools themselves say what holds their locks).
inline constexpr const char* kRootLockName = ".dedev.lock";
inline constexpr int kRootLockWait = 30;

// A descriptor of the root's lock file (made when missing), not inheritable; -1 when
// something other than a plain file stands at its name (a link is never followed).
inline int openRootLock(const std::string& root) {
  int folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return -1;
  int fd = ::openat(folder, kRootLockName, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
  ::close(folder);
  struct stat st;
  if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Waits up to `seconds` for the lock `fd` (LOCK_EX or LOCK_SH); answers whether it was had.
inline bool takeRootLock(int fd, int operation, int seconds) {
  for (int tries = 0; fd >= 0; ++tries) {
    if (::flock(fd, operation | LOCK_NB) == 0) return true;
    if (tries >= seconds * 100) return false;
    ::usleep(10000);
  }
  return false;
}
}  // namespace launcher
