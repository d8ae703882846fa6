#include "app/SourcesManagerStandIn.h"

#include "foundation/Log.h"

void SourcesManagerStandIn::refreshAllSources() {
  KVLog("*** No sources manager is built yet: the refresh of all sources did not run");
}

std::optional<Date> SourcesManagerStandIn::currentRefreshDate() { return std::nullopt; }

void SourcesManagerStandIn::refreshBatchEnded() {
  KVLog("*** No sources manager is built yet: no refresh batch to end");
}
