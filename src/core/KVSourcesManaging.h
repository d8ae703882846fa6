#pragma once
// What the pipeline and the database call in the sources manager (KVRSources), which is
// built above them. The composition root hands them one: the manager itself, or a named
// stand-in until it exists.
#include <optional>

#include "foundation/Date.h"

class KVSourcesManaging {
 public:
  virtual ~KVSourcesManaging() = default;
  // Starts a refresh batch over every source.
  virtual void refreshAllSources() = 0;
  // The date every record written by the running refresh batch carries; none between batches.
  virtual std::optional<Date> currentRefreshDate() = 0;
  // The last refresh task of a batch has ended: the batch flag and date are cleared.
  virtual void refreshBatchEnded() = 0;
};
