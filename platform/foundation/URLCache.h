#pragma once
// An in-memory store of replies in place of the platform's URL cache. Only GET
// replies with status 200 that say how long they stay fresh (Cache-Control max-age,
// or Expires) are kept; "no-store" keeps nothing and "no-cache" keeps the reply but
// never counts it as fresh.
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "foundation/URLRequest.h"
#include "foundation/URLResponse.h"

class URLCache {
 public:
  struct CachedResponse {
    URLResponseRef response;
    Data data;
    double storedAt = 0;   // Clock seconds
    double freshFor = 0;   // seconds after storedAt during which it is fresh
    bool isFresh() const;
  };

  explicit URLCache(size_t memoryCapacity = 8 * 1024 * 1024);
  // The process-wide cache of the default configuration and the shared session.
  static std::shared_ptr<URLCache> sharedURLCache();

  std::optional<CachedResponse> cachedResponseForRequest(const URLRequest& request) const;
  // Keeps the reply when the rules above allow it and it fits (at most a twentieth of
  // the capacity); older entries go first when the store is full.
  void storeCachedResponse(const URLRequest& request, const URLResponseRef& response, const Data& data);
  void removeCachedResponseForRequest(const URLRequest& request);
  void removeAllCachedResponses();
  size_t memoryCapacity() const { return capacity_; }
  size_t currentMemoryUsage() const;

 private:
  static std::string keyFor(const URLRequest& request);
  // Drops the entry under `key`, if any, with its place in the order.
  void eraseLocked(const std::string& key);
  void evictLocked(size_t needed);

  size_t capacity_;
  mutable std::mutex mutex_;
  size_t usage_ = 0;
  std::list<std::string> order_;  // oldest first
  std::unordered_map<std::string, CachedResponse> entries_;
};
