#pragma once
// What the composition root hands the pipeline to make the cache-update task.
#include "core/KVCacheUpdateTaskMaking.h"

class KVCacheUpdateTaskMaker : public KVCacheUpdateTaskMaking {
 public:
  std::shared_ptr<KVTask> makeCacheUpdateTask() override;
};
