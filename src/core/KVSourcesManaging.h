#pragma once
// What the pipeline calls in the sources manager (KVRSources), which is built above it.
// The composition root hands it the manager.
#include <optional>

#include "foundation/Date.h"

class KVSourcesManaging {
 public:
  virtual ~KVSourcesManaging() = default;
  // Starts a refresh batch over every source; answers whether one was started.
  virtual bool refreshAllSources() = 0;
  // The date every record written by the running refresh batch carries; none between batches.
  virtual std::optional<Date> currentRefreshDate() = 0;
  // The last refresh task of a batch has ended: the batch flag and date are cleared.
  virtual void refreshBatchEnded() = 0;
};
