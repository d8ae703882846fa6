#pragma once
// What the root hands on in place of the sources manager until it is built: every call
// says in the log, loudly, that nothing happened.
#include "core/KVSourcesManaging.h"

class SourcesManagerStandIn : public KVSourcesManaging {
 public:
  void refreshAllSources() override;
  std::optional<Date> currentRefreshDate() override;  // none: no batch ever runs
  void refreshBatchEnded() override;
};
