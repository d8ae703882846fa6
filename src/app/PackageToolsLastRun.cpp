#include "app/PackageToolsLastRun.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "foundation/LocalizedStrings.h"
#include "launcher/RootLock.h"
#include "operations/KVPackageToolsRunNote.h"
#include "system/DeviceRoot.h"

std::optional<std::string> PackageToolsLastRun::waitAtStart(const sigset_t& signals, bool* started) {
  *started = true;
  if (DeviceRoot::isRealDevice()) return std::nullopt;
  // Read only, and only where a launcher made it: a new folder stays as it was.
  const std::string path = DeviceRoot::root() + "/" + launcher::kRootLockName;
  int lock = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (lock < 0) return std::nullopt;
  struct stat st;
  if (::fstat(lock, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(lock);
    return std::nullopt;
  }
  std::optional<std::string> waited;
  while (::flock(lock, LOCK_SH | LOCK_NB) != 0) {
    if (!waited) {
      auto note = KVPackageToolsRunNote::read();
      waited = note.value_or(NSLocalizedString("the package tools' last run"));
      std::fprintf(stderr, "quillbark: %s\n",
                   NSLocalizedFormat("the package tools' last run in this device root still goes on (%@); waiting "
                                     "for it to end before starting (Ctrl-C leaves)",
                                     {*waited})
                       .c_str());
    }
    timespec slice{0, 100 * 1000 * 1000};
    int signal = ::sigtimedwait(&signals, nullptr, &slice);
    if (signal > 0) {
      ::close(lock);
      std::fprintf(stderr, "quillbark: %s\n",
                   NSLocalizedString("not started: the package tools' last run still goes on").c_str());
      *started = false;
      return waited;
    }
  }
  ::close(lock);
  // Whatever the note says is over now: its application left, and its run has ended.
  KVPackageToolsRunNote::clear();
  if (waited)
    std::fprintf(stderr, "quillbark: %s\n", NSLocalizedString("the package tools' last run has ended; starting").c_str());
  return waited;
}
