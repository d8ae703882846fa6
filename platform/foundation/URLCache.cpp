#include "foundation/URLCache.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "foundation/Clock.h"
#include "foundation/HTTPDate.h"

namespace {
std::string lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

struct Freshness {
  bool store = false;
  double freshFor = 0;
};

Freshness freshnessOf(const URLResponse& response) {
  Freshness f;
  std::string control = lower(response.valueForHTTPHeaderField("Cache-Control").value_or(""));
  if (control.find("no-store") != std::string::npos) return f;
  if (control.find("no-cache") != std::string::npos) {
    f.store = true;
    return f;
  }
  size_t at = control.find("max-age=");
  if (at != std::string::npos) {
    f.store = true;
    f.freshFor = std::max(0.0, std::atof(control.c_str() + at + 8));
    return f;
  }
  if (auto expires = response.valueForHTTPHeaderField("Expires")) {
    auto exp = HTTPDate::parse(*expires);
    auto date = HTTPDate::parse(response.valueForHTTPHeaderField("Date").value_or(""));
    if (exp) {
      f.store = true;
      f.freshFor = std::max(0.0, exp->unixSeconds() - (date ? date->unixSeconds() : Clock::now()));
    }
  }
  return f;
}
}  // namespace

bool URLCache::CachedResponse::isFresh() const { return Clock::now() - storedAt < freshFor; }

URLCache::URLCache(size_t memoryCapacity) : capacity_(memoryCapacity) {}

std::shared_ptr<URLCache> URLCache::sharedURLCache() {
  static auto* cache = new std::shared_ptr<URLCache>(std::make_shared<URLCache>());
  return *cache;
}

std::string URLCache::keyFor(const URLRequest& request) {
  return request.url() ? request.url()->absoluteString() : std::string();
}

std::optional<URLCache::CachedResponse> URLCache::cachedResponseForRequest(const URLRequest& request) const {
  if (request.HTTPMethod() != "GET" || !request.url()) return std::nullopt;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(keyFor(request));
  if (it == entries_.end()) return std::nullopt;
  return it->second;
}

void URLCache::storeCachedResponse(const URLRequest& request, const URLResponseRef& response, const Data& data) {
  if (!response || request.HTTPMethod() != "GET" || !request.url() || response->statusCode() != 200) return;
  Freshness f = freshnessOf(*response);
  if (!f.store || data.size() > capacity_ / 20) return;
  std::lock_guard<std::mutex> lock(mutex_);
  std::string key = keyFor(request);
  eraseLocked(key);
  evictLocked(data.size());
  entries_[key] = CachedResponse{response, data, Clock::now(), f.freshFor};
  order_.push_back(key);
  usage_ += data.size();
}

void URLCache::evictLocked(size_t needed) {
  while (!order_.empty() && usage_ + needed > capacity_) eraseLocked(std::string(order_.front()));
}

void URLCache::eraseLocked(const std::string& key) {
  if (auto it = entries_.find(key); it != entries_.end()) {
    usage_ -= it->second.data.size();
    entries_.erase(it);
  }
  order_.remove(key);
}

void URLCache::removeCachedResponseForRequest(const URLRequest& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  eraseLocked(keyFor(request));
}

void URLCache::removeAllCachedResponses() {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
  order_.clear();
  usage_ = 0;
}

size_t URLCache::currentMemoryUsage() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return usage_;
}
