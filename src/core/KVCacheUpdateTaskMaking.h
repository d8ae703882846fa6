#pragma once
// Makes the cache-update task (KVUpdateInformationCacheTask) that the pipeline queues when
// it runs empty after a refresh asked for a rebuild. The task is built above the pipeline;
// the composition root hands the pipeline one maker.
#include <memory>

class KVTask;

class KVCacheUpdateTaskMaking {
 public:
  virtual ~KVCacheUpdateTaskMaking() = default;
  // A new task each time; nullptr when none can be made.
  virtual std::shared_ptr<KVTask> makeCacheUpdateTask() = 0;
};
