#include "database/KVDatabaseHooks.h"

#include <mutex>

namespace KVDatabaseHooks {

namespace {

// One filled-in call. It is copied out under the lock and called outside it, so a
// call may fill or empty slots itself.
template <typename Signature>
class Slot {
 public:
  void set(std::function<Signature> call) {
    std::lock_guard lock(mutex_);
    call_ = std::move(call);
  }
  std::function<Signature> get() {
    std::lock_guard lock(mutex_);
    return call_;
  }

 private:
  std::mutex mutex_;
  std::function<Signature> call_;
};

Slot<void()>& refreshAllSources() {
  static Slot<void()> slot;
  return slot;
}
Slot<void()>& rebuildPackagesCategoriesCache() {
  static Slot<void()> slot;
  return slot;
}
Slot<std::optional<Date>()>& currentRefreshDate() {
  static Slot<std::optional<Date>()> slot;
  return slot;
}

}  // namespace

void setRefreshAllSources(std::function<void()> call) { refreshAllSources().set(std::move(call)); }
void callRefreshAllSources() {
  if (auto f = refreshAllSources().get()) f();
}

void setRebuildPackagesCategoriesCache(std::function<void()> call) {
  rebuildPackagesCategoriesCache().set(std::move(call));
}
void callRebuildPackagesCategoriesCache() {
  if (auto f = rebuildPackagesCategoriesCache().get()) f();
}

void setCurrentRefreshDate(std::function<std::optional<Date>()> call) { currentRefreshDate().set(std::move(call)); }
std::optional<Date> callCurrentRefreshDate() {
  if (auto f = currentRefreshDate().get()) return f();
  return std::nullopt;
}

}  // namespace KVDatabaseHooks
