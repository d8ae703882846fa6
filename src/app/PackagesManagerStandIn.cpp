#include "app/PackagesManagerStandIn.h"

#include "database/KVRPackage.h"
#include "foundation/Log.h"
#include "operations/KVAPTManager.h"
#include "store/Store.h"

void PackagesManagerStandIn::rebuildPackagesCategoriesCache() {
  KVLog("*** No packages manager is built yet: the category cache was not rebuilt");
}

void PackagesManagerStandIn::removeCachedImagesForPackages(const std::vector<std::string>& identifiers) {
  KVLog("*** No packages manager is built yet: the cached images of %zu packages were not removed", identifiers.size());
}

std::vector<std::string> PackagesManagerStandIn::aptQueueIdentifiers() { return KVAPTManager::queueArray(); }

std::optional<KVPackageInstallInfo> PackagesManagerStandIn::packageInstallInfo(const std::string& identifier) {
  auto package = KVRPackage::objectForPrimaryKey(identifier);  // a read that fails is logged and absent
  if (!package) return std::nullopt;
  return KVPackageInstallInfo{package->postinstallaction().value_or(""), package->installedFiles()};
}
