#pragma once
// What the root hands the pipeline in place of the cache-update task until it is built:
// it makes no task and says so in the log, loudly.
#include "core/KVCacheUpdateTaskMaking.h"

class CacheUpdateTaskStandIn : public KVCacheUpdateTaskMaking {
 public:
  std::shared_ptr<KVTask> makeCacheUpdateTask() override;
};
