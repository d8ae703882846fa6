#pragma once
// The vendor's news entries: the last list read, absent before the first successful
// read, replaced whole by every one and read as a copy from any thread.
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "account/KVNews.h"

class KVNewsRetrieval {
 public:
  using Completion = std::function<void(std::optional<std::string> status)>;

  static KVNewsRetrieval& instance();

  std::optional<std::vector<KVNews>> news() const;

  // "Success" once `news` holds the reply; otherwise the description of the transport
  // error, or of the reply not being a JSON list, and `news` stays as it was.
  void fetchNewsWithCompletionHandler(Completion completion);

  // Forgets the news, as a new process would. For tests.
  void resetForTesting();

 private:
  KVNewsRetrieval() = default;
  mutable std::mutex mutex_;
  std::optional<std::vector<KVNews>> news_;
};
