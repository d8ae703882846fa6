#pragma once
// What the pipeline and the database call in the packages manager (KVRPackages) and the
// APT queue, which are built above them. The composition root hands them one: the
// manager itself, or a named stand-in until it exists.
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
  // The identifiers of the APT layer's current queue, in order.
  virtual std::vector<std::string> aptQueueIdentifiers() = 0;
  // None when no record has this identifier.
  virtual std::optional<KVPackageInstallInfo> packageInstallInfo(const std::string& identifier) = 0;
};
