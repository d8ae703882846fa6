#pragma once
// Usage reported to the vendor service's statistics (a package's downloads, a search, a
// user's download history) and two lists read back: the searches trending among all
// users and the user's download history. Every address holds the application's version.
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class KVStatistics {
 public:
  using Completion = std::function<void(std::optional<std::string> status)>;

  static KVStatistics& instance();

  // The texts of the last trending reply; absent before the first successful read.
  std::optional<std::vector<std::string>> searchesTrending() const;
  // The package identifiers of the last download-history reply; likewise.
  std::optional<std::vector<std::string>> downloadsHistory() const;

  // The reporting calls answer the service's reply text; nothing after a transport error.
  void postPackageStatisticForIdentifier(const std::string& identifier, const std::string& devName,
                                         const std::string& repoURL, const std::string& version,
                                         int64_t downloadCount, int64_t seenCount, Completion completion);
  void postSearchStatistic(const std::string& search, Completion completion);
  void postDownloadStatsForIdentifier(const std::string& identifier, int64_t userID, Completion completion);
  // The list readers answer "Success" once the list holds the reply, and "Error" when
  // the request failed or the reply is no JSON list; the list then stays as it was.
  void retrieveSearchesTrendingWithCompletionHandler(Completion completion);
  void retrieveDownloadStatsForUser(int64_t userID, Completion completion);

  // Forgets both lists, as a new process would. For tests.
  void resetForTesting();

 private:
  KVStatistics() = default;
  using List = std::optional<std::vector<std::string>> KVStatistics::*;
  void retrieveList(const std::string& script, const std::vector<std::pair<std::string, std::string>>& query,
                    List list, Completion completion);

  mutable std::mutex mutex_;
  std::optional<std::vector<std::string>> searchesTrending_;
  std::optional<std::vector<std::string>> downloadsHistory_;
};
