#include "foundation/NotificationCenter.h"

#include <future>
#include <map>
#include <mutex>
#include <vector>

#include "foundation/RunLoop.h"

struct NotificationCenter::Impl {
  struct Entry {
    const void* owner;
    std::string name;
    std::shared_ptr<Block> block;
    std::optional<Value> object;
  };
  mutable std::mutex mutex;
  std::map<Token, Entry> entries;  // ordered by registration
  Token next = 1;
};

NotificationCenter::NotificationCenter() : impl_(std::make_unique<Impl>()) {}
NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::defaultCenter() {
  static NotificationCenter* center = new NotificationCenter();
  return *center;
}

NotificationCenter::Token NotificationCenter::addObserver(const void* owner, const std::string& name, Block block,
                                                          std::optional<Value> object) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  Token t = impl_->next++;
  impl_->entries.emplace(t, Impl::Entry{owner, name, std::make_shared<Block>(std::move(block)), std::move(object)});
  return t;
}

void NotificationCenter::removeObserver(Token token) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->entries.erase(token);
}

void NotificationCenter::removeObserver(const void* owner) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  std::erase_if(impl_->entries, [owner](const auto& e) { return e.second.owner == owner; });
}

void NotificationCenter::removeObserver(const void* owner, const std::string& name) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  std::erase_if(impl_->entries,
                [&](const auto& e) { return e.second.owner == owner && e.second.name == name; });
}

size_t NotificationCenter::observerCount(const void* owner) const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  size_t n = 0;
  for (const auto& [_, e] : impl_->entries)
    if (e.owner == owner) ++n;
  return n;
}

void NotificationCenter::post(const Notification& n) {
  std::vector<std::pair<Token, std::shared_ptr<Block>>> targets;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    for (const auto& [t, e] : impl_->entries) {
      if (e.name != n.name) continue;
      if (e.object && !(*e.object == n.object)) continue;
      targets.emplace_back(t, e.block);
    }
  }
  for (auto& [token, block] : targets) {
    // An observer removed by an earlier one during this post is not called.
    {
      std::lock_guard<std::mutex> lock(impl_->mutex);
      if (!impl_->entries.count(token)) continue;
    }
    (*block)(n);
  }
}

void NotificationCenter::post(const std::string& name, Value object, Value userInfo) {
  post(Notification{name, std::move(object), std::move(userInfo), nullptr, nullptr});
}

void NotificationCenter::postOnMainThreadAsync(Notification n) {
  RunLoop::main().post([this, n = std::move(n)] { post(n); });
}

void NotificationCenter::postOnMainThreadAndWait(Notification n) {
  if (RunLoop::isMainThread()) {
    post(n);
    return;
  }
  auto done = std::make_shared<std::promise<void>>();
  auto future = done->get_future();
  RunLoop::main().post([this, n = std::move(n), done] {
    post(n);
    done->set_value();
  });
  future.wait();
}
