#pragma once
// What the pipeline and the database call in the packages manager (KVRPackages), which is
// built above them. The composition root hands them the manager.
#include <optional>
#include <string>
#include <vector>

// What a package asks for after it is installed, from its record.
struct KVPackageInstallInfo {
  std::string postInstallAction;
  std::vector<std::string> installedFiles;
};

class KVPackagesManaging {
 public:
  virtual ~KVPackagesManaging() = default;
  // Rebuilds the category grouping of the package lists.
  virtual void rebuildPackagesCategoriesCache() = 0;
  // Deletes the cached screenshots, home banners and depiction banners of the packages.
  virtual void removeCachedImagesForPackages(const std::vector<std::string>& identifiers) = 0;
  // None when no record has this identifier.
  virtual std::optional<KVPackageInstallInfo> packageInstallInfo(const std::string& identifier) = 0;
};
