// The packages and sources managers' icons, and whether a package's icon is cached.
#include "interface/KVPackageIcons.h"

#include <filesystem>

#include "database/KVRPackage.h"
#include "database/KVRPackages.h"
#include "database/KVRSources.h"
#include "uikit/UIImage.h"

namespace KVPackageIcons {

std::shared_ptr<UIImage> iconForIdentifier(const std::string& identifier) {
  return KVRPackages::iconForIdentifier(identifier);
}

std::shared_ptr<UIImage> categoryIconForIdentifier(const std::string& identifier) {
  return KVRPackages::getCategoryIconForIdentifier(identifier);
}

bool cachedIconExistsForIdentifier(const std::string& identifier) {
  auto package = KVRPackage::objectForPrimaryKey(identifier);
  if (!package || !package->iconURL() || package->iconURL()->empty()) return false;
  std::error_code ec;
  return std::filesystem::is_regular_file(package->iconPath(), ec);
}

std::shared_ptr<UIImage> iconForLocation(const std::string& location) { return KVRSources::iconForLocation(location); }

}  // namespace KVPackageIcons
