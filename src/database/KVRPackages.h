#pragma once
// The packages manager: the common questions about package records (counts, lookups,
// category lists), the queue state of a package (recorded, cleared, and the operation
// that queueing means), the title of a package's action button, the removal of a
// package's cached images, and the start of the downloads of a confirmed queue.
//
// The queue state lives on the record: `isInTheQueue`, `queuedVersion` (absent: the
// newest offered version) and `queueOperation`, one of the codes below, always 1 to 5
// while the package is queued (0 is resolved when it is written).
//
// The composition root makes the one manager, connects it (KVConnections::packages) and
// hands it to the screens and the database facade.
#include <cstdint>
#include <functional>
#include <memory>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/KVPackageDownloading.h"
#include "core/KVPackagesManaging.h"
#include "database/KVRPackage.h"
#include "database/KVRPackageListCaches.h"
#include "foundation/Error.h"

namespace store {
class Database;
}
class UIImage;

enum KVQueueOperation : int64_t {
  KVQueueOperationChoose = 0,  // from the package's state; never stored
  KVQueueOperationInstall = 1,
  KVQueueOperationRemove = 2,
  KVQueueOperationUpgrade = 3,
  KVQueueOperationDowngrade = 4,
  KVQueueOperationReinstall = 5,
};

class KVRPackages : public KVPackagesManaging, public std::enable_shared_from_this<KVRPackages> {
 public:
  KVRPackages() = default;

  // --- Lookups and counts (on the calling thread's default database)
  uint64_t countOfUpdatedPackages() const;
  uint64_t countOfPackagesInCategory(const std::string& category) const;
  uint64_t countOfPackagesInWishlist() const;
  std::optional<KVRPackage> packageWithIdentifier(const std::string& identifier) const;
  bool packageIsInstalled(const std::string& identifier) const;
  // The version of the first installed package whose identifier contains the text
  // (ignoring case and diacritics).
  std::optional<std::string> installedVersionForPackage(const std::string& text) const;
  std::vector<std::string> arrayOfPackagesInWishlist() const;
  std::vector<std::string> arrayOfInstalledPackagesByIdentifier() const;
  // The distinct non-empty subcategories of the category, sorted.
  std::vector<std::string> arrayOfSubcategoriesOfCategory(const std::string& category) const;
  // The distinct categories of the source's packages, sorted; an empty one stays.
  std::vector<std::string> arrayOfSourceCategories(const std::string& location) const;
  uint64_t countOfInstalledPackagesForSource(const std::string& location) const;
  // The same for every source at once, by location, from one pass over the installed
  // packages of `db` (a handle the caller holds for the whole of its count); a source
  // without any is absent.
  std::map<std::string, uint64_t> countsOfInstalledPackagesBySource(store::Database& db) const;
  uint64_t countOfPackagesInSourceWithLocation(const std::string& location) const;

  // --- Queue state. Each writer is one write transaction on the calling thread; its
  // answer says why the state could not be written. An identifier without a record
  // changes nothing.
  [[nodiscard]] ErrorRef setPackage(const std::string& identifier, bool inTheQueue,
                                    const std::optional<std::string>& versionToQueue, int64_t operation);
  [[nodiscard]] ErrorRef setPackageObject(const KVRPackage& package, bool inTheQueue,
                                          const std::optional<std::string>& versionToQueue, int64_t operation);
  // Every record matching the predicate (a complete predicate without arguments).
  [[nodiscard]] ErrorRef setPackagesWhere(const std::string& predicate, bool inTheQueue,
                                          const std::optional<std::string>& versionToQueue, int64_t operation);
  // The operation queueing means: a non-zero code as it is; with a version given to an
  // installed package an upgrade when it is newer than the installed one, else a
  // downgrade; an installed package with an update that is not held an upgrade, any
  // other installed one a removal; otherwise an install.
  static int64_t queueOperationForPackage(const KVRPackage& package, const std::optional<std::string>& versionToQueue,
                                          int64_t operation);
  // Clears the queue state of every package, on a background queue; returns at once.
  // `completion`, when given, runs there once the clearing has committed (or failed).
  void resetPackagesQueue(std::function<void(ErrorRef)> completion = nullptr);
  // The same, on the calling thread, in one transaction of `db`.
  [[nodiscard]] static ErrorRef clearQueueState(store::Database& db);
  // The queue state of these packages only, on the calling thread.
  [[nodiscard]] static ErrorRef clearQueueState(store::Database& db, const std::vector<std::string>& identifiers);
  // Every package's queue state, on the calling thread, in the default database: what
  // asks is told at once that nothing is queued, and so is whatever it redraws next.
  [[nodiscard]] ErrorRef clearQueueNow();

  // --- The package page's writers, each one write transaction on the calling thread;
  // an identifier without a record changes nothing.
  [[nodiscard]] ErrorRef setPackageInWishlist(const std::string& identifier, bool inWishlist);
  [[nodiscard]] ErrorRef setPackageRating(const std::string& identifier, int64_t rating);
  // The user's own rating gone (a review posted without stars).
  [[nodiscard]] ErrorRef clearPackageRating(const std::string& identifier);
  // Replaces the screenshot addresses and forgets the cached files of the old ones.
  [[nodiscard]] ErrorRef setPackageScreenshots(const std::string& identifier, const std::vector<std::string>& addresses);
  // The cached files of the screenshots, in their order; with `forAddresses` only while
  // the record's addresses are still those (a newer list keeps its own files).
  [[nodiscard]] ErrorRef setPackageScreenshotsLocalPaths(
      const std::string& identifier, const std::vector<std::string>& paths,
      const std::optional<std::vector<std::string>>& forAddresses = std::nullopt);

  // --- Other writers (background queue, one transaction each)
  void resetPackagesWishlist();
  void resetInstalledPackages();

  // --- The action button's title. None only for a package that no record has, when no
  // price is given.
  static std::optional<std::string> getButtonTitleForPackage(const std::optional<KVRPackage>& package, bool showsPrice,
                                                             bool available, bool owned,
                                                             const std::optional<std::string>& price);
  std::optional<std::string> getButtonTitleForPackageIdentifier(const std::string& identifier, bool showsPrice,
                                                                bool available, bool owned,
                                                                const std::optional<std::string>& price) const;
  static std::optional<std::string> getButtonTitleForPackage(const std::optional<KVRPackage>& package, bool showsPrice);
  std::optional<std::string> getButtonTitleForPackageIdentifier(const std::string& identifier, bool showsPrice) const;

  // --- Icons (KVIconProvider): answered at once; a missing icon is downloaded and
  // announced by "KVRPackageInfoIconChangedNotification".
  static std::shared_ptr<UIImage> iconForIdentifier(const std::string& identifier);
  static std::shared_ptr<UIImage> iconForIdentifier(const std::string& identifier, const std::string& overrideURL);
  static std::shared_ptr<UIImage> getCategoryIconForIdentifier(const std::string& identifier);

  // --- Cached images: every entry, at any depth, of the folder in the application-
  // support folder whose relative path contains the identifier.
  void removeScreenshotsForPackageWithIdentifier(const std::string& identifier);
  void removeHomeBannerForPackageWithIdentifier(const std::string& identifier);
  void removeDepictionsBannerForPackageIdentifier(const std::string& identifier);

  // --- Downloads: one download task of no queue (an empty identifier none).
  void downloadPackageWithIdentifier(const std::string& identifier);
  // One batch of download tasks of a confirmed queue, which installs it once all have
  // ended well (see KVPackageDownloading); answers how many were queued.
  size_t downloadPackagesWithIdentifiers(const std::vector<std::string>& identifiers, const KVConfirmedQueue& queue);

  // --- The package lists' caches: the category rows and the new-packages and
  // new-versions groupings, each published whole (KVRPackageListCaches).
  const std::shared_ptr<KVRPackageListCaches>& caches() const { return caches_; }
  void rebuildDictOfNewPackages();
  void rebuildDictOfNewPackagesVersions();

  // --- What the pipeline and the database ask (KVPackagesManaging)
  // On a background queue: the category rows, the badges, then "DoneRebuildingPackagesCache".
  void rebuildPackagesCategoriesCache() override;
  void removeCachedImagesForPackages(const std::vector<std::string>& identifiers) override;
  std::optional<KVPackageInstallInfo> packageInstallInfo(const std::string& identifier) override;

 private:
  std::shared_ptr<KVRPackageListCaches> caches_ = std::make_shared<KVRPackageListCaches>();
};
