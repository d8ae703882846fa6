#include "RootLock.h"

#include <dirent.h>
#include <signal.h>
#include <sys/time.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>

namespace launcher {
namespace {
constexpr int kDeepestFolder = 128;

double now() {
  timespec t;
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void interrupted(int) {}

// flock, waited for in the kernel (so the wait shows among the system's locks) until
// `deadline`: a timer interrupts the wait ten times a second to look at the clock.
bool lockBy(int fd, double deadline) {
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
  if (errno != EWOULDBLOCK) return false;
  struct sigaction wake = {}, before;
  wake.sa_handler = interrupted;  // no SA_RESTART: the wait ends with EINTR
  ::sigemptyset(&wake.sa_mask);
  ::sigaction(SIGALRM, &wake, &before);
  sigset_t timerSignal, mask;  // whoever started us may have blocked it
  ::sigemptyset(&timerSignal);
  ::sigaddset(&timerSignal, SIGALRM);
  ::sigprocmask(SIG_UNBLOCK, &timerSignal, &mask);
  const itimerval tick = {{0, 100000}, {0, 100000}}, off = {};
  ::setitimer(ITIMER_REAL, &tick, nullptr);
  bool locked = false;
  while (!(locked = ::flock(fd, LOCK_EX) == 0) && errno == EINTR && now() < deadline) {
  }
  ::setitimer(ITIMER_REAL, &off, nullptr);
  ::sigprocmask(SIG_SETMASK, &mask, nullptr);
  ::sigaction(SIGALRM, &before, nullptr);
  return locked;
}

bool isOwnPlainFile(const struct stat& st) { return S_ISREG(st.st_mode) && st.st_nlink == 1; }

// The mount `fd` lies on, 0 when the kernel can't say.
uint64_t mountOf(int fd) {
  struct statx st;
  if (::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &st) != 0 || !(st.stx_mask & STATX_MNT_ID))
    return 0;
  return st.stx_mnt_id;
}

// Removes `name` in `folder` and everything below it, never through a link and never
// into another mount.
bool removeEntry(int folder, const char* name, uint64_t mount, int depth) {
  if (::unlinkat(folder, name, 0) == 0) return true;
  if (errno != EISDIR || depth >= kDeepestFolder) return false;
  int inner = ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (inner < 0 || mount == 0 || mountOf(inner) != mount) {
    if (inner >= 0) ::close(inner);
    return false;
  }
  DIR* entries = ::fdopendir(inner);
  if (!entries) {
    ::close(inner);
    return false;
  }
  bool removed = true;
  while (const dirent* entry = ::readdir(entries)) {
    const char* n = entry->d_name;
    if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
    removed = removeEntry(inner, n, mount, depth + 1) && removed;
  }
  ::closedir(entries);
  return removed && ::unlinkat(folder, name, AT_REMOVEDIR) == 0;
}

std::string reason(const std::string& what) { return what + ": " + std::strerror(errno); }
}  // namespace

int lockRootForRun(int rootFd, int seconds, std::string& error) {
  const double deadline = now() + seconds;
  const std::string busy = "another run of the package tools in this device root goes on after " +
                           std::to_string(seconds) + " seconds; nothing was run";
  if (!lockBy(rootFd, deadline)) return error = busy, -1;
  // The only launcher here now: nobody else puts anything at the name meanwhile.
  struct stat st;
  if (::fstatat(rootFd, kRootLockName, &st, AT_SYMLINK_NOFOLLOW) == 0 && !isOwnPlainFile(st)) {
    if (!removeEntry(rootFd, kRootLockName, mountOf(rootFd), 0))
      return error = reason(std::string("cannot remove what stands in place of the root's ") + kRootLockName), -1;
  }
  int fd = ::openat(rootFd, kRootLockName, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
  if (fd < 0) return error = reason(std::string("cannot open the root's ") + kRootLockName), -1;
  if (::fstat(fd, &st) != 0 || !isOwnPlainFile(st)) {
    ::close(fd);
    return error = std::string("something other than a plain file stands at the root's ") + kRootLockName, -1;
  }
  if (!lockBy(fd, deadline)) {
    ::close(fd);
    return error = busy, -1;
  }
  return fd;
}
}  // namespace launcher
