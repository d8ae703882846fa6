#pragma once
// Calls from the database facade and the status import into managers that are built
// on their own (the sources manager's refresh batch and refresh of all sources, the
// packages manager's category cache). Their owners fill the slots at start-up; an
// empty slot does nothing (or, for the refresh date, answers none). Filling and
// calling may happen on any thread.
#include <functional>
#include <optional>

#include "foundation/Date.h"

namespace KVDatabaseHooks {

// KVRSources.refreshAllSources
void setRefreshAllSources(std::function<void()> call);
void callRefreshAllSources();
// KVRPackages.rebuildPackagesCategoriesCache
void setRebuildPackagesCategoriesCache(std::function<void()> call);
void callRebuildPackagesCategoriesCache();
// KVRSources.currentRefreshDate while a refresh batch runs
void setCurrentRefreshDate(std::function<std::optional<Date>()> call);
std::optional<Date> callCurrentRefreshDate();

}  // namespace KVDatabaseHooks
