#pragma once
// What the root hands on in place of the packages manager until it is built. The APT
// layer's queue and a package's install information come from the APT layer and the
// package records as the manager will give them; the category cache is not rebuilt and
// no cached image is removed, and each call says so in the log, loudly.
#include "core/KVPackagesManaging.h"

class PackagesManagerStandIn : public KVPackagesManaging {
 public:
  void rebuildPackagesCategoriesCache() override;
  void removeCachedImagesForPackages(const std::vector<std::string>& identifiers) override;
  std::vector<std::string> aptQueueIdentifiers() override;
  std::optional<KVPackageInstallInfo> packageInstallInfo(const std::string& identifier) override;
};
