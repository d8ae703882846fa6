#pragma once
// View-layer objects are touched on the main thread only. In builds made with
// QB_MAIN_THREAD_CHECKS (debug builds and the build the tests run in) the first
// view-layer change made on another thread stops the process with a line naming the
// call; other builds check nothing. Reading is not checked, only changes.
#include "foundation/RunLoop.h"

namespace UIMainThread {
[[noreturn]] void stopOffMainThread(const char* call);
// Whether this build checks.
bool checksEnabled();
}  // namespace UIMainThread

#if defined(QB_MAIN_THREAD_CHECKS) && QB_MAIN_THREAD_CHECKS
#define UI_MAIN_THREAD_ONLY()                                                        \
  do {                                                                               \
    if (!RunLoop::isMainThread()) UIMainThread::stopOffMainThread(__PRETTY_FUNCTION__); \
  } while (0)
#else
#define UI_MAIN_THREAD_ONLY() \
  do {                        \
  } while (0)
#endif
