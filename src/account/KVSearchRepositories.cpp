#include "account/KVSearchRepositories.h"

#include <algorithm>

#include "account/KVVendorService.h"
#include "database/KVRSource.h"

using namespace KVVendorService;

namespace {
bool holds(const std::vector<KVSearchedRepo>& list, const KVSearchedRepo& entry) {
  return std::find(list.begin(), list.end(), entry) != list.end();
}
}  // namespace

KVSearchRepositories& KVSearchRepositories::instance() {
  static KVSearchRepositories* shared = new KVSearchRepositories();  // lives as long as the process
  return *shared;
}

std::vector<KVSearchedRepo> KVSearchRepositories::repositories() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return repositories_;
}

void KVSearchRepositories::resetForTesting() {
  std::lock_guard<std::mutex> lock(mutex_);
  repositories_.clear();
  submitted_.clear();
}

std::vector<KVSearchedRepo> KVSearchRepositories::replaceWithReply(const Value& reply) {
  std::vector<KVSearchedRepo> entries;
  for (const Value& element : *reply.arrayPtr()) {
    auto entry = KVSearchedRepo::searchedRepoWithJSON(element);
    if (entry && !holds(entries, *entry) && !entry->isInvalid()) entries.push_back(std::move(*entry));
  }
  std::lock_guard<std::mutex> lock(mutex_);
  repositories_ = entries;
  return entries;
}

void KVSearchRepositories::searchRepository(const std::string& query, Completion completion) {
  searchRepositoryEntries(query, [completion = std::move(completion)](std::optional<std::vector<KVSearchedRepo>> entries) {
    if (completion) completion(entries ? std::optional<std::string>("Success") : std::nullopt);
  });
}

bool KVSearchRepositories::searchRepositoryEntries(const std::string& query, EntriesCompletion completion) {
  return search("reposearch/reposearch.php", query, [this, completion = std::move(completion)](Expected<KVServiceReply> reply) {
    std::optional<std::vector<KVSearchedRepo>> entries;
    if (reply) entries = replaceWithReply(reply->json());
    if (completion) completion(std::move(entries));
  });
}

void KVSearchRepositories::listOnlineRepositoriesWithCompletionHandler(Completion completion) {
  listOnlineRepositories([completion = std::move(completion)](ErrorRef error) {
    if (completion) completion(error ? std::nullopt : std::optional<std::string>("Success"));
  });
}

void KVSearchRepositories::listOnlineRepositories(std::function<void(ErrorRef error)> completion) {
  get("reposearch/repolist.php", {{"key", kClientKey}}, Blank::Percent20,
      json(KVServiceCall::Acceptance::Body::JSONArray),
      [this, completion = std::move(completion)](Expected<KVServiceReply> reply) {
        if (reply) replaceWithReply(reply->json());
        if (completion) completion(reply ? nullptr : reply.error());
      });
}

void KVSearchRepositories::addRepository(const std::string& location, Completion completion) {
  if (location.size() < 10) return;
  auto source = KVRSource::objectForPrimaryKey(location);
  auto entry = KVSearchedRepo::searchedRepoWithSource(source ? &*source : nullptr);
  if (!entry || entry->isInvalid()) return;
  {
    // Checked and claimed in one step, so refreshes submitting at once send it once.
    std::lock_guard<std::mutex> lock(mutex_);
    if (holds(repositories_, *entry) || !submitted_.emplace(*entry->url, *entry->name).second) return;
  }
  post("reposearch/addrepo.php",
       {{"key", kClientKey},
        {"icon", entry->icon.value_or("")},
        {"name", *entry->name},
        {"url", *entry->url},
        {"description", *entry->desc},
        {"maintainer", *entry->maintainer},
        {"category", *entry->category}},
       KVServiceCall::Acceptance{}, [this, entry = *entry, completion](Expected<KVServiceReply> reply) {
         {
           std::lock_guard<std::mutex> lock(mutex_);
           if (!holds(repositories_, entry)) repositories_.push_back(entry);
         }
         if (completion) completion(reply ? std::optional(reply->text()) : std::nullopt);
       });
}
