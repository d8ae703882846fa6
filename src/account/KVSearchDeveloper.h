#pragma once
// Searches the vendor's directory of developers. The profiles of the last successful
// search are kept (absent before the first), replaced whole by every one and read as a
// copy from any thread.
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "account/KVDeveloperProfile.h"

class KVSearchDeveloper {
 public:
  using Completion = std::function<void(std::optional<std::string> status)>;
  // The profiles of one request's own reply; none when it failed.
  using ProfilesCompletion = std::function<void(std::optional<std::vector<KVDeveloperProfile>> profiles)>;

  static KVSearchDeveloper& instance();

  std::optional<std::vector<KVDeveloperProfile>> developers() const;

  // Nothing at all for a query of fewer than 3 characters; otherwise "Success" once
  // `developers` holds the reply, nothing (and `developers` unchanged) on a failure.
  void searchDeveloper(const std::string& query, Completion completion);
  // The same search, answering with the profiles its own reply held, so searches that
  // run at once never see each other's answers (`developers` still takes each reply).
  // False, and the completion never called, for a query of fewer than 3 characters.
  bool searchDeveloperProfiles(const std::string& query, ProfilesCompletion completion);

  // Forgets the profiles, as a new process would. For tests.
  void resetForTesting();

 private:
  KVSearchDeveloper() = default;
  mutable std::mutex mutex_;
  std::optional<std::vector<KVDeveloperProfile>> developers_;
};
