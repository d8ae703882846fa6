#include "app/CacheUpdateTaskStandIn.h"

#include "core/KVTask.h"
#include "foundation/Log.h"

std::shared_ptr<KVTask> CacheUpdateTaskStandIn::makeCacheUpdateTask() {
  KVLog("*** No cache-update task is built yet: the information cache was not updated");
  return nullptr;
}
