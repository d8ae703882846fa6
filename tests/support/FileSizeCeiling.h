#pragma once
// While it lives, no file this process writes may grow past `bytes` (the process's file
// size limit): writes beyond it fail with EFBIG, as on a full disk, instead of stopping
// the process. For tests of what a full disk does to a write.
#include <signal.h>
#include <sys/resource.h>

class FileSizeCeiling {
 public:
  explicit FileSizeCeiling(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &previous_);
    previousSignal_ = signal(SIGXFSZ, SIG_IGN);
    rlimit ceiling = previous_;
    ceiling.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &ceiling);
  }
  ~FileSizeCeiling() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    signal(SIGXFSZ, previousSignal_);
  }
  FileSizeCeiling(const FileSizeCeiling&) = delete;
  FileSizeCeiling& operator=(const FileSizeCeiling&) = delete;

 private:
  rlimit previous_{};
  sighandler_t previousSignal_ = SIG_DFL;
};
