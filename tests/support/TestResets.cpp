#include "support/TestResets.h"

#include <functional>

#include "core/KVPipelineManager.h"
#include "foundation/RunLoop.h"
#include "operations/KVAPTManager.h"
#include "support/TestRoot.h"

namespace {
struct Reset {
  const char* what;
  std::function<void()> reset;
};

// In order: nothing left queued, then the shared objects, then the connections, which a
// later reset may need.
const Reset kResets[] = {
    {"main loop", [] { RunLoop::main().reset(); }},
    {"pipeline", [] { KVPipelineManager::sharedManager().resetForTesting(); }},
    {"APT queue", [] { KVAPTManager::setQueue(""); }},
    {"connections", [] { TestRoot{}; }},
};
}  // namespace

namespace TestResets {
void resetAll() {
  for (const auto& entry : kResets) entry.reset();
}
}  // namespace TestResets
