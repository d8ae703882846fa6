#pragma once
// The vendor service's directory of repositories, as far as the refresh needs it: the
// entries known to this process, and the submission of a refreshed source so that the
// directory grows from its users' devices.
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "account/KVSearchedRepo.h"

class KVSearchRepositories {
 public:
  using Completion = std::function<void(std::optional<std::string> reply)>;

  static KVSearchRepositories& instance();

  std::vector<KVSearchedRepo> repositories() const;

  // Submits the source at `location` (10 characters at least) when its record makes a
  // valid entry that the list lacks. Whatever the reply, the entry then joins the list,
  // so the source is submitted once per run; `completion` hears the reply as ASCII text
  // (nothing after a transport error), on the request's queue.
  void addRepository(const std::string& location, Completion completion = nullptr);

  // Forgets every entry, as a new process would. For tests.
  void resetForTesting();

 private:
  KVSearchRepositories() = default;
  mutable std::mutex mutex_;
  std::vector<KVSearchedRepo> repositories_;
};
