#pragma once
// The vendor service's directory of repositories: searching it, reading it whole, and
// submitting the sources users add and refresh, so that it grows from their devices.
// The entries of the last search or read (extended by submissions) are read as a copy
// from any thread; up to 15 refreshes submit at once.
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "account/KVSearchedRepo.h"
#include "foundation/Error.h"

class KVSearchRepositories {
 public:
  using Completion = std::function<void(std::optional<std::string> reply)>;
  // The entries of one request's own reply; none when it failed.
  using EntriesCompletion = std::function<void(std::optional<std::vector<KVSearchedRepo>> entries)>;

  static KVSearchRepositories& instance();

  std::vector<KVSearchedRepo> repositories() const;

  // Nothing at all for a query of fewer than 3 characters; otherwise "Success" once
  // `repositories` holds the reply's valid entries (each once), nothing (and the entries
  // unchanged) on a failure.
  void searchRepository(const std::string& query, Completion completion);
  // The same search, answering with the entries its own reply held, so searches that run
  // at once never see each other's answers (`repositories` still takes each reply).
  // False, and the completion never called, for a query of fewer than 3 characters.
  bool searchRepositoryEntries(const std::string& query, EntriesCompletion completion);
  // The whole directory, answered as the search is; `completion` may be empty.
  void listOnlineRepositoriesWithCompletionHandler(Completion completion = nullptr);
  // The same, answering with why it failed (nothing once `repositories` holds the reply).
  void listOnlineRepositories(std::function<void(ErrorRef error)> completion);

  // Submits the source at `location` (10 characters at least) when its record makes a
  // valid entry that the list lacks and that this run has not submitted yet. Whatever
  // the reply, the entry then joins the list; `completion` hears the reply as text
  // (nothing after a transport error), on the request's queue.
  void addRepository(const std::string& location, Completion completion = nullptr);

  // Forgets every entry and submission, as a new process would. For tests.
  void resetForTesting();

 private:
  KVSearchRepositories() = default;
  // Replaces the entries with the reply's, as a search and a read of the directory do.
  std::vector<KVSearchedRepo> replaceWithReply(const Value& reply);

  mutable std::mutex mutex_;
  std::vector<KVSearchedRepo> repositories_;
  // Location and name of every entry submitted in this run, answered or not.
  std::set<std::pair<std::string, std::string>> submitted_;
};
