#include "foundation/DebugChecks.h"

#include <cstdio>
#include <cstdlib>

#include "foundation/Log.h"

namespace DebugChecks {
void fail(const char* what) {
  std::fprintf(stderr, "Debug check failed: %s\n", what);
  std::fflush(stderr);
  KVLog("Debug check failed: %s", what);
  std::abort();
}
}  // namespace DebugChecks
