#include "interface/KVApplicationActions.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {
std::mutex& actionsMutex() {
  static std::mutex m;
  return m;
}
std::shared_ptr<KVApplicationActions>& installed() {
  static std::shared_ptr<KVApplicationActions> actions;
  return actions;
}
}  // namespace

void KVApplicationActions::install(std::shared_ptr<KVApplicationActions> actions) {
  std::lock_guard<std::mutex> lock(actionsMutex());
  installed() = std::move(actions);
}

KVApplicationActions& KVApplicationActions::shared(const char* user) {
  std::shared_ptr<KVApplicationActions> actions;
  {
    std::lock_guard<std::mutex> lock(actionsMutex());
    actions = installed();
  }
  if (!actions) {
    std::fprintf(stderr, "*** %s asked the application delegate before start-up installed it\n", user);
    std::abort();
  }
  // The installed actions live for the process once start-up has run (the root keeps them).
  return *actions;
}
