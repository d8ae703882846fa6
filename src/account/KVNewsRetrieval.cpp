#include "account/KVNewsRetrieval.h"

#include "account/KVVendorService.h"

using namespace KVVendorService;

KVNewsRetrieval& KVNewsRetrieval::instance() {
  static KVNewsRetrieval* shared = new KVNewsRetrieval();  // lives as long as the process
  return *shared;
}

std::optional<std::vector<KVNews>> KVNewsRetrieval::news() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return news_;
}

void KVNewsRetrieval::resetForTesting() {
  std::lock_guard<std::mutex> lock(mutex_);
  news_.reset();
}

void KVNewsRetrieval::fetchNewsWithCompletionHandler(Completion completion) {
  get("news/retrievenews.php", {}, Blank::Percent20, json(KVServiceCall::Acceptance::Body::JSONArray),
      [this, completion](Expected<KVServiceReply> reply) {
        if (reply) {
          std::vector<KVNews> entries;
          for (const Value& element : *reply->json().arrayPtr())
            if (element.isDictionary()) entries.push_back(KVNews::newsWithJSON(element));
          std::lock_guard<std::mutex> lock(mutex_);
          news_ = std::move(entries);
        }
        if (completion) completion(reply ? "Success" : reply.error()->localizedDescription());
      });
}
