#include "account/KVFeaturedPackagesMethods.h"

#include "account/KVVendorService.h"

using namespace KVVendorService;

namespace {
// The objects of the list under `key`, in order; anything that is no object is skipped.
std::vector<Value> objectsOf(const Value& reply, const std::string& key) {
  std::vector<Value> objects;
  if (const Value::Array* items = reply[key].arrayPtr())
    for (const Value& item : *items)
      if (item.isDictionary()) objects.push_back(item);
  return objects;
}

template <typename Entry>
std::vector<Entry> bundleList(const Value& reply, const std::string& key) {
  std::vector<Entry> entries;
  for (const Value& object : objectsOf(reply, key)) entries.push_back(Entry{textMember(object, "bundle_id")});
  return entries;
}
}  // namespace

KVFeaturedPackagesMethods& KVFeaturedPackagesMethods::instance() {
  static KVFeaturedPackagesMethods* shared = new KVFeaturedPackagesMethods();  // lives as long as the process
  return *shared;
}

std::optional<std::vector<KVFeaturedPackagesTop>> KVFeaturedPackagesMethods::packagesTop() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lists_.top;
}

std::optional<std::vector<KVFeaturedPackagesMiddle>> KVFeaturedPackagesMethods::packagesMiddle() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lists_.middle;
}

std::optional<std::vector<KVFeaturedPackagesMustHaveTweaks>> KVFeaturedPackagesMethods::mustHaveTweaks() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lists_.tweaks;
}

std::optional<std::vector<KVFeaturedPackagesMustHaveThemes>> KVFeaturedPackagesMethods::mustHaveThemes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lists_.themes;
}

std::optional<std::vector<KVFeaturedPackagesExtendApps>> KVFeaturedPackagesMethods::extendApps() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lists_.extendApps;
}

void KVFeaturedPackagesMethods::resetForTesting() {
  std::lock_guard<std::mutex> lock(mutex_);
  lists_ = {};
}

KVFeaturedPackagesMethods::Lists KVFeaturedPackagesMethods::listsWithJSON(const Value& reply) {
  Lists lists;
  lists.top.emplace();
  for (const Value& object : objectsOf(reply, "featuredTop"))
    lists.top->push_back(KVFeaturedPackagesTop::featuredWithJSON(object));
  lists.middle = bundleList<KVFeaturedPackagesMiddle>(reply, "featuredMiddle");
  lists.tweaks = bundleList<KVFeaturedPackagesMustHaveTweaks>(reply, "mustHaveTweaks");
  lists.themes = bundleList<KVFeaturedPackagesMustHaveThemes>(reply, "mustHaveThemes");
  lists.extendApps = bundleList<KVFeaturedPackagesExtendApps>(reply, "extendApps");
  return lists;
}

void KVFeaturedPackagesMethods::fetchFeaturedPackages(const std::string&, Completion completion) {
  // Only the reply's shape tells a failure: a description may well say "Could".
  get("featured/featured.php", {{"key", kClientKey}}, Blank::Percent20, json(KVServiceCall::Acceptance::Body::JSONObject),
      [this, completion](Expected<KVServiceReply> reply) {
        if (reply) {
          Lists lists = listsWithJSON(reply->json());
          std::lock_guard<std::mutex> lock(mutex_);
          lists_ = std::move(lists);
        }
        if (!completion) return;
        if (reply) completion("Success");
        else completion(KVServiceCall::isTransportError(reply.error()) ? std::nullopt : std::optional<std::string>("Error"));
      });
}
