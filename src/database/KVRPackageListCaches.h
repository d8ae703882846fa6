#pragma once
// The package lists' in-memory caches that the browse screens read: the rows of the
// categories screen, and the packages that are new or got a new version, grouped by the
// refresh in which they appeared ("yyyy-MM-dd HH:mm", newest first). Each rebuild is
// made whole and then published as one immutable snapshot, so a screen reading
// meanwhile sees the old one or the new one, never a half-built or mixed one; each
// grouping carries its own list of dates.
//
// The category rebuild also shows the update count on the badges and then posts
// "DoneRebuildingPackagesCache" on the main thread. It counts the newest refresh's
// packages without grouping them: a grouping orders every member by name, which after
// a large refresh is most of the work, so it is made when a screen asks for it and the
// packages changed since it was last made.
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
  // None until the first rebuild.
  std::shared_ptr<const std::vector<std::string>> arrayOfPackagesCategories() const;
  // As the packages read now: rebuilt first, on the calling thread, when the packages or
  // "ShowIncompatiblePackages" changed since the grouping was made (or it never was).
  std::shared_ptr<const KVPackageDateGrouping> newPackages();
  std::shared_ptr<const KVPackageDateGrouping> newPackagesVersions();

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

  // What a rebuild read: the database, the commits that had changed its packages (none
  // when they are not counted) and the incompatible packages' setting.
  struct BuiltFrom {
    static BuiltFrom now();
    std::weak_ptr<store::Database> database;
    std::optional<uint64_t> commits;
    bool showIncompatible = false;
    uint64_t updates = 0;  // what it counted
    bool sameAs(const BuiltFrom& other) const {
      return !database.owner_before(other.database) && !other.database.owner_before(database) &&
             !database.expired() && commits == other.commits && showIncompatible == other.showIncompatible;
    }
  };

  // One grouping: its snapshot and what it was made from.
  struct Grouping {
    std::mutex rebuild;  // one rebuild at a time
    std::optional<BuiltFrom> builtFrom;  // under the caches' mutex_
    std::shared_ptr<const KVPackageDateGrouping> snapshot;  // likewise
  };
  // The grouping's snapshot, made now when it is missing or `always`, or when it was
  // made from other packages or another setting than the database holds now.
  std::shared_ptr<const KVPackageDateGrouping> current(Grouping& grouping, bool always, KVPackageDateGrouping (*build)());

  mutable std::mutex mutex_;  // the published snapshots
  std::mutex categoriesRebuild_;  // one category rebuild at a time, and what it read
  std::optional<BuiltFrom> categoriesBuiltFrom_;
  std::shared_ptr<const std::vector<std::string>> categories_;
  Grouping newPackages_;
  Grouping newPackagesVersions_;
};
