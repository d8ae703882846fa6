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
  KVVendorService::search("developers/devs.php", query, [this, completion](Expected<KVServiceReply> reply) {
    if (reply) {
      std::vector<KVDeveloperProfile> profiles;
      for (const Value& element : *reply->json().arrayPtr())
        if (element.isDictionary()) profiles.push_back(KVDeveloperProfile::profileWithJSON(element));
      std::lock_guard<std::mutex> lock(mutex_);
      developers_ = std::move(profiles);
    }
    if (completion) completion(reply ? std::optional<std::string>("Success") : std::nullopt);
  });
}
