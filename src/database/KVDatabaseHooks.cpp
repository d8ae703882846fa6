#include "database/KVDatabaseHooks.h"

#include <mutex>

namespace KVDatabaseHooks {

namespace {
std::mutex& slotMutex() {
  static std::mutex m;
  return m;
}
template <typename F>
F copySlot(F& slot) {
  std::lock_guard lock(slotMutex());
  return slot;
}
}  // namespace

std::function<void()>& refreshAllSources() {
  static std::function<void()> slot;
  return slot;
}

std::function<void()>& rebuildPackagesCategoriesCache() {
  static std::function<void()> slot;
  return slot;
}

std::function<std::optional<Date>()>& currentRefreshDate() {
  static std::function<std::optional<Date>()> slot;
  return slot;
}

void callRefreshAllSources() {
  if (auto f = copySlot(refreshAllSources())) f();
}

void callRebuildPackagesCategoriesCache() {
  if (auto f = copySlot(rebuildPackagesCategoriesCache())) f();
}

std::optional<Date> callCurrentRefreshDate() {
  if (auto f = copySlot(currentRefreshDate())) return f();
  return std::nullopt;
}

}  // namespace KVDatabaseHooks
