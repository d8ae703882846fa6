#include "account/KVSearchRepositories.h"

#include <algorithm>

#include "account/KVVendorService.h"
#include "database/KVRSource.h"

KVSearchRepositories& KVSearchRepositories::instance() {
  static KVSearchRepositories* shared = new KVSearchRepositories();  // lives as long as the process
  return *shared;
}

std::vector<KVSearchedRepo> KVSearchRepositories::repositories() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return repositories_;
}

void KVSearchRepositories::addRepository(const std::string& location, Completion completion) {
  if (location.size() < 10) return;
  auto source = KVRSource::objectForPrimaryKey(location);
  auto entry = KVSearchedRepo::searchedRepoWithSource(source ? &*source : nullptr);
  if (!entry || entry->isInvalid()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (std::find(repositories_.begin(), repositories_.end(), *entry) != repositories_.end()) return;
  }
  std::string body = KVVendorService::formBody({{"key", KVVendorService::kClientKey},
                                                {"icon", entry->icon.value_or("")},
                                                {"name", *entry->name},
                                                {"url", *entry->url},
                                                {"description", *entry->desc},
                                                {"maintainer", *entry->maintainer},
                                                {"category", *entry->category}});
  KVVendorService::postForm(KVVendorService::endpointURL("reposearch/addrepo.php"), body,
                            [this, entry = *entry, completion](std::optional<Data> reply, ErrorRef) {
                              {
                                std::lock_guard<std::mutex> lock(mutex_);
                                repositories_.push_back(entry);
                              }
                              if (!completion) return;
                              if (!reply) return completion(std::nullopt);
                              std::string text;
                              for (uint8_t byte : *reply) text.push_back(byte < 0x80 ? char(byte) : '?');
                              completion(text);
                            });
}

void KVSearchRepositories::resetForTesting() {
  std::lock_guard<std::mutex> lock(mutex_);
  repositories_.clear();
}
