#include "uikit/UIMainThread.h"

#include <cstdio>
#include <cstdlib>

namespace UIMainThread {
void stopOffMainThread(const char* call) {
  std::fprintf(stderr,
               "Quillbark: %s was called off the main thread; view-layer objects are touched on the main thread "
               "only (move the call to the main queue)\n",
               call);
  std::fflush(stderr);
  std::abort();
}

bool checksEnabled() {
#if defined(QB_MAIN_THREAD_CHECKS) && QB_MAIN_THREAD_CHECKS
  return true;
#else
  return false;
#endif
}
}  // namespace UIMainThread
