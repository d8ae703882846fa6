// Until the icon provider answers, the cached file of a package's icon is shown when it is
// there, and the application's artwork otherwise; no download is started.
#include "interface/KVPackageIcons.h"

#include <filesystem>

#include "database/KVRPackage.h"
#include "uikit/UIImage.h"

namespace KVPackageIcons {

std::shared_ptr<UIImage> iconForIdentifier(const std::string& identifier) {
  auto package = KVRPackage::objectForPrimaryKey(identifier);
  if (package && package->iconURL() && !package->iconURL()->empty()) {
    if (auto image = UIImage::imageWithContentsOfFile(package->iconPath())) return image;
  }
  return categoryIconForIdentifier(identifier);
}

std::shared_ptr<UIImage> categoryIconForIdentifier(const std::string&) { return UIImage::imageNamed("iTunesArtwork"); }

bool cachedIconExistsForIdentifier(const std::string& identifier) {
  auto package = KVRPackage::objectForPrimaryKey(identifier);
  if (!package || !package->iconURL() || package->iconURL()->empty()) return false;
  std::error_code ec;
  return std::filesystem::is_regular_file(package->iconPath(), ec);
}

std::shared_ptr<UIImage> iconForLocation(const std::string&) { return nullptr; }

}  // namespace KVPackageIcons
