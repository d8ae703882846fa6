#pragma once
// Calls from the database facade and the status import into managers that are built
// on their own (the sources manager's refresh batch and refresh of all sources, the
// packages manager's category cache). Their owners fill the slots at start-up; an
// empty slot does nothing (or, for the refresh date, answers none).
#include <functional>
#include <optional>

#include "foundation/Date.h"

namespace KVDatabaseHooks {

// KVRSources.refreshAllSources
std::function<void()>& refreshAllSources();
// KVRPackages.rebuildPackagesCategoriesCache
std::function<void()>& rebuildPackagesCategoriesCache();
// KVRSources.currentRefreshDate while a refresh batch runs
std::function<std::optional<Date>()>& currentRefreshDate();

// Calls a slot when it is filled.
void callRefreshAllSources();
void callRebuildPackagesCategoriesCache();
std::optional<Date> callCurrentRefreshDate();

}  // namespace KVDatabaseHooks
