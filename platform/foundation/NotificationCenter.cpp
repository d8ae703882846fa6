#include "foundation/NotificationCenter.h"

#include <future>
#include <mutex>
#include <vector>

#include "foundation/DeliveryGate.h"
#include "foundation/RunLoop.h"

namespace {

struct Registration {
  std::string name;
  std::optional<Value> object;
  DispatchQueue* queue;  // null: the posting thread
  NotificationCenter::Block block;
  DeliveryGate gate;

  bool wants(const Notification& n) const { return name == n.name && (!object || *object == n.object); }
  void deliver(const Notification& n) {
    gate.run([&] { block(n); });
  }
};

}  // namespace

struct NotificationCenter::Impl {
  mutable std::mutex mutex;
  std::vector<std::shared_ptr<Registration>> registrations;  // in registration order

  void remove(const std::shared_ptr<Registration>& r) {
    std::lock_guard lock(mutex);
    std::erase(registrations, r);
  }

  void post(const Notification& n) {
    std::vector<std::shared_ptr<Registration>> targets;
    {
      std::lock_guard lock(mutex);
      for (const auto& r : registrations) {
        if (r->wants(n)) targets.push_back(r);
      }
    }
    std::shared_ptr<const Notification> queued;  // one copy shared by every queued delivery
    for (const auto& r : targets) {
      if (!r->queue || r->queue->isCurrent()) {
        r->deliver(n);
        continue;
      }
      if (!queued) queued = std::make_shared<const Notification>(n);
      r->queue->async([r, queued] { r->deliver(*queued); });
    }
  }
};

NotificationCenter::NotificationCenter() : impl_(std::make_shared<Impl>()) {}
NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::defaultCenter() {
  static NotificationCenter* center = new NotificationCenter();  // lives as long as the process
  return *center;
}

NotificationToken NotificationCenter::addObserver(const std::string& name, Block block) {
  return addObserver(name, &DispatchQueue::mainQueue(), std::move(block));
}

NotificationToken NotificationCenter::addObserver(const std::string& name, DispatchQueue* queue, Block block,
                                                  std::optional<Value> object) {
  auto r = std::make_shared<Registration>();
  r->name = name;
  r->object = std::move(object);
  r->queue = queue;
  r->block = std::move(block);
  {
    std::lock_guard lock(impl_->mutex);
    impl_->registrations.push_back(r);
  }
  return gatedObserverToken(impl_, r);
}

size_t NotificationCenter::observerCount(const std::string& name) const {
  std::lock_guard lock(impl_->mutex);
  size_t n = 0;
  for (const auto& r : impl_->registrations) n += r->name == name ? 1 : 0;
  return n;
}

void NotificationCenter::post(const Notification& n) { impl_->post(n); }

void NotificationCenter::post(const std::string& name, Value object, Value userInfo) {
  impl_->post(Notification{name, std::move(object), std::move(userInfo), nullptr, nullptr});
}

void NotificationCenter::postOnMainThreadAsync(Notification n) {
  std::weak_ptr<Impl> weak = impl_;
  RunLoop::main().post([weak, n = std::move(n)] {
    if (auto impl = weak.lock()) impl->post(n);
  });
}

void NotificationCenter::postOnMainThreadAndWait(Notification n) {
  if (RunLoop::isMainThread()) {
    impl_->post(n);
    return;
  }
  auto done = std::make_shared<std::promise<void>>();
  auto future = done->get_future();
  std::weak_ptr<Impl> weak = impl_;
  RunLoop::main().post([weak, n = std::move(n), done] {
    if (auto impl = weak.lock()) impl->post(n);
    done->set_value();
  });
  // A main loop that drops its queued blocks (a reset) breaks the promise, which also
  // ends the wait.
  future.wait();
}
