#include "operations/KVCacheUpdateTaskMaker.h"

#include "core/KVConnections.h"
#include "operations/KVUpdateInformationCacheTask.h"

std::shared_ptr<KVTask> KVCacheUpdateTaskMaker::makeCacheUpdateTask() {
  return std::make_shared<KVUpdateInformationCacheTask>(KVConnections::current("KVCacheUpdateTaskMaker"));
}
