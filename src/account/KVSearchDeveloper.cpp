#include "account/KVSearchDeveloper.h"

#include "account/KVVendorService.h"

KVSearchDeveloper& KVSearchDeveloper::instance() {
  static KVSearchDeveloper* shared = new KVSearchDeveloper();  // lives as long as the process
  return *shared;
}

std::optional<std::vector<KVDeveloperProfile>> KVSearchDeveloper::developers() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return developers_;
}

void KVSearchDeveloper::resetForTesting() {
  std::lock_guard<std::mutex> lock(mutex_);
  developers_.reset();
}

void KVSearchDeveloper::searchDeveloper(const std::string& query, Completion completion) {
  searchDeveloperProfiles(query, [completion](std::optional<std::vector<KVDeveloperProfile>> profiles) {
    if (completion) completion(profiles ? std::optional<std::string>("Success") : std::nullopt);
  });
}

bool KVSearchDeveloper::searchDeveloperProfiles(const std::string& query, ProfilesCompletion completion) {
  return KVVendorService::search("developers/devs.php", query, [this, completion](Expected<KVServiceReply> reply) {
    std::optional<std::vector<KVDeveloperProfile>> profiles;
    if (reply) {
      profiles.emplace();
      for (const Value& element : *reply->json().arrayPtr())
        if (element.isDictionary()) profiles->push_back(KVDeveloperProfile::profileWithJSON(element));
      std::lock_guard<std::mutex> lock(mutex_);
      developers_ = profiles;
    }
    if (completion) completion(std::move(profiles));
  });
}
