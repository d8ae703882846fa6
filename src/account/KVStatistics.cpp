#include "account/KVStatistics.h"

#include "account/KVVendorService.h"
#include "foundation/Bundle.h"

using namespace KVVendorService;

namespace {
std::string statisticsPath(const std::string& script) {
  return "stats/" + encodedValue(Bundle::main().shortVersion()) + "/" + script;
}

void report(const Fields& query, Blank blank, KVStatistics::Completion completion) {
  get(statisticsPath("stats.php"), query, blank, KVServiceCall::Acceptance{},
      [completion](Expected<KVServiceReply> reply) {
        if (completion) completion(reply ? std::optional(reply->text()) : std::nullopt);
      });
}
}  // namespace

KVStatistics& KVStatistics::instance() {
  static KVStatistics* shared = new KVStatistics();  // lives as long as the process
  return *shared;
}

std::optional<std::vector<std::string>> KVStatistics::searchesTrending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return searchesTrending_;
}

std::optional<std::vector<std::string>> KVStatistics::downloadsHistory() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return downloadsHistory_;
}

void KVStatistics::resetForTesting() {
  std::lock_guard<std::mutex> lock(mutex_);
  searchesTrending_.reset();
  downloadsHistory_.reset();
}

void KVStatistics::postPackageStatisticForIdentifier(const std::string& identifier, const std::string& devName,
                                                     const std::string& repoURL, const std::string& version,
                                                     int64_t downloadCount, int64_t seenCount, Completion completion) {
  report({{"packageID", identifier},
          {"devName", devName},
          {"repoURL", repoURL},
          {"version", version},
          {"downloadCount", std::to_string(downloadCount)},
          {"seenCount", std::to_string(seenCount)},
          {"key", kClientKey}},
         Blank::Percent20, std::move(completion));
}

void KVStatistics::postSearchStatistic(const std::string& search, Completion completion) {
  report({{"searchStat", "1"}, {"search", search}, {"key", kClientKey}}, Blank::Plus, std::move(completion));
}

void KVStatistics::postDownloadStatsForIdentifier(const std::string& identifier, int64_t userID,
                                                  Completion completion) {
  report({{"downloadHistory", "1"}, {"packageID", identifier}, {"userID", std::to_string(userID)}, {"key", kClientKey}},
         Blank::Percent20, std::move(completion));
}

void KVStatistics::retrieveSearchesTrendingWithCompletionHandler(Completion completion) {
  retrieveList("trending.php", {{"key", kClientKey}}, &KVStatistics::searchesTrending_, std::move(completion));
}

void KVStatistics::retrieveDownloadStatsForUser(int64_t userID, Completion completion) {
  retrieveList("stats.php", {{"retrieveDownloadHistory", "1"}, {"userID", std::to_string(userID)}, {"key", kClientKey}},
               &KVStatistics::downloadsHistory_, std::move(completion));
}

void KVStatistics::retrieveList(const std::string& script, const Fields& query, List list, Completion completion) {
  get(statisticsPath(script), query, Blank::Percent20, json(KVServiceCall::Acceptance::Body::JSONArray),
      [this, list, completion](Expected<KVServiceReply> reply) {
        if (reply) {
          // The callers show texts; anything else in the list is left out.
          std::vector<std::string> items;
          for (const Value& element : *reply->json().arrayPtr())
            if (const std::string* text = element.stringPtr()) items.push_back(*text);
          std::lock_guard<std::mutex> lock(mutex_);
          this->*list = std::move(items);
        }
        if (completion) completion(reply ? "Success" : "Error");
      });
}
