#pragma once
// The package lists' in-memory caches that the browse screens read: the rows of the
// categories screen, and the packages that are new or got a new version, grouped by the
// refresh in which they appeared ("yyyy-MM-dd HH:mm", newest first). Each rebuild is
// made whole and then published as one immutable snapshot, so a screen reading
// meanwhile sees the old one or the new one, never a half-built or mixed one; each
// grouping carries its own list of dates.
//
// The category rebuild also shows the update count on the badges and then posts
// "DoneRebuildingPackagesCache" on the main thread.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace store {
class Database;
}

inline constexpr const char* KVDoneRebuildingPackagesCacheNotification = "DoneRebuildingPackagesCache";
inline constexpr const char* kCategorySpecial_AllPackages = "__ALL_PACKAGES__";
inline constexpr const char* kCategorySpecial_InstalledPackages = "__INSTALLED_PACKAGES__";

// Packages grouped by the date text of the refresh that brought them.
struct KVPackageDateGrouping {
  std::vector<std::string> dates;  // newest first
  std::map<std::string, std::vector<std::string>> identifiersByDate;
};

// Held by a shared pointer (the category rebuild outlives the call).
class KVRPackageListCaches : public std::enable_shared_from_this<KVRPackageListCaches> {
 public:
  // None until the first rebuild of each.
  std::shared_ptr<const std::vector<std::string>> arrayOfPackagesCategories() const;
  std::shared_ptr<const KVPackageDateGrouping> newPackages() const;
  std::shared_ptr<const KVPackageDateGrouping> newPackagesVersions() const;

  // Synchronous, on the calling thread's database. Members of one date of the new
  // packages are ordered by name, of the new versions in database order. Packages rated
  // incompatible stay out unless "ShowIncompatiblePackages" is on.
  void rebuildDictOfNewPackages();
  void rebuildDictOfNewPackagesVersions();
  // On the default-priority queue, returns at once: the update count, the new-packages
  // grouping, the badges (on the main thread), the category rows, then the notification.
  void rebuildPackagesCategoriesCache();

  // The grouping as it reads now, without publishing it.
  static KVPackageDateGrouping buildNewPackages();
  static KVPackageDateGrouping buildNewPackagesVersions();

 private:
  void buildCategories();

  // What the last category rebuild read: the database, the commits that had changed its
  // packages (none when they are not counted) and the incompatible packages' setting.
  struct BuiltFrom {
    std::weak_ptr<store::Database> database;
    std::optional<uint64_t> commits;
    bool showIncompatible = false;
    uint64_t updates = 0;  // what it counted
    bool sameAs(const BuiltFrom& other) const {
      return !database.owner_before(other.database) && !other.database.owner_before(database) &&
             !database.expired() && commits == other.commits && showIncompatible == other.showIncompatible;
    }
  };

  mutable std::mutex mutex_;  // the published snapshots
  std::mutex categoriesRebuild_;  // one category rebuild at a time, and what it read
  std::optional<BuiltFrom> categoriesBuiltFrom_;
  std::mutex newPackagesRebuild_;  // one new-packages rebuild at a time
  std::shared_ptr<const std::vector<std::string>> categories_;
  std::shared_ptr<const KVPackageDateGrouping> newPackages_;
  std::shared_ptr<const KVPackageDateGrouping> newPackagesVersions_;
};
