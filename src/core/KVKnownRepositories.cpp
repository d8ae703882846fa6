#include "core/KVKnownRepositories.h"

#include <mutex>

namespace KVKnownRepositories {

namespace {
std::mutex gMutex;
Locations& locations() {
  static Locations shared;
  return shared;
}
}  // namespace

Locations current() {
  std::lock_guard<std::mutex> lock(gMutex);
  return locations();
}

void setLocations(Locations replacement) {
  std::lock_guard<std::mutex> lock(gMutex);
  locations() = std::move(replacement);
}

void resetLocations() { setLocations(Locations{}); }

}  // namespace KVKnownRepositories
