#pragma once
// The featured screen's five lists, read from the vendor service in one request: the
// banners at the top, a middle list, must-have tweaks, must-have themes, and packages
// that extend applications. Each list is absent before the first successful read and
// replaced whole by every one; it is read as a copy from any thread.
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "account/KVFeaturedPackagesExtendApps.h"
#include "account/KVFeaturedPackagesMiddle.h"
#include "account/KVFeaturedPackagesMustHaveThemes.h"
#include "account/KVFeaturedPackagesMustHaveTweaks.h"
#include "account/KVFeaturedPackagesTop.h"

class KVFeaturedPackagesMethods {
 public:
  using Completion = std::function<void(std::optional<std::string> status)>;

  static KVFeaturedPackagesMethods& instance();

  std::optional<std::vector<KVFeaturedPackagesTop>> packagesTop() const;
  std::optional<std::vector<KVFeaturedPackagesMiddle>> packagesMiddle() const;
  std::optional<std::vector<KVFeaturedPackagesMustHaveTweaks>> mustHaveTweaks() const;
  std::optional<std::vector<KVFeaturedPackagesMustHaveThemes>> mustHaveThemes() const;
  std::optional<std::vector<KVFeaturedPackagesExtendApps>> extendApps() const;

  // Reads the five lists (`unused` is not sent). "Success" once they hold the reply, a
  // missing list read as empty; "Error" when the reply is no JSON object; nothing on a
  // transport error. On a failure every list stays as it was.
  void fetchFeaturedPackages(const std::string& unused, Completion completion);

  // Forgets the lists, as a new process would. For tests.
  void resetForTesting();

 private:
  KVFeaturedPackagesMethods() = default;
  struct Lists {
    std::optional<std::vector<KVFeaturedPackagesTop>> top;
    std::optional<std::vector<KVFeaturedPackagesMiddle>> middle;
    std::optional<std::vector<KVFeaturedPackagesMustHaveTweaks>> tweaks;
    std::optional<std::vector<KVFeaturedPackagesMustHaveThemes>> themes;
    std::optional<std::vector<KVFeaturedPackagesExtendApps>> extendApps;
  };
  static Lists listsWithJSON(const Value& object);

  mutable std::mutex mutex_;
  Lists lists_;
};
