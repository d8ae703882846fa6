#pragma once
// The device root's lock: one run of the package tools at a time in a root, from the
// launcher's start to the end of the last process of its sandbox. Two locks make it:
//
// - the launcher's own, on the root's folder itself, which nothing can replace, and
//   which no process of the sandbox holds a descriptor of (so none can undo it);
// - the lock file at the top of the root, held exclusively by a descriptor the launcher
//   hands into its sandbox, where every process keeps it (APT keeps it open into dpkg
//   and its other helpers: the device's APT configuration says so), so a launcher
//   killed outright still holds up the next one until its dpkg, and dpkg's own locks,
//   are gone. Whatever a package puts in the file's place, the next launcher replaces
//   (it follows nothing there).
//
// The application waits for the lock file alone (openRootLock, takeRootLock, header
// only); the launcher takes both (lockRootForRun, RootLock.cpp).
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace launcher {
// A file at the top of the root, and how long anyone waits for it: the application, then
// goes ahead (the tools themselves say what holds their locks); a launcher, then refuses.
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

// The launcher's side (RootLock.cpp, in the launcher alone). Takes both locks of the root
// whose folder is `rootFd`, waiting up to `seconds` in all: the folder's on `rootFd`
// itself, held while it stays open, then the lock file's. Whatever stands at the file's
// name that is not a plain file of its own (a link, a named pipe, a folder, a second name
// of another file) is removed and a new file made, never followed. Answers the lock file's
// descriptor, to hand into the sandbox; -1 with `error` set when the root stays busy or
// the file can't be made.
int lockRootForRun(int rootFd, int seconds, std::string& error);
}  // namespace launcher
