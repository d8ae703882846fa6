#pragma once
// Observers of one value (key-value observation): each registration answers a token,
// and the value's owner tells every live observer on its own thread, in registration
// order. Dropping a token stops delivery and waits for a call running on another
// thread. An observer added or removed during a call takes effect from the next one.
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "foundation/DeliveryGate.h"

template <typename... Args>
class ObserverList {
 public:
  using Block = std::function<void(Args...)>;

  ObserverList() = default;
  ObserverList(const ObserverList&) = delete;
  ObserverList& operator=(const ObserverList&) = delete;

  [[nodiscard]] NotificationToken add(Block block) {
    auto entry = std::make_shared<Entry>();
    entry->block = std::move(block);
    {
      std::lock_guard lock(state_->mutex);
      state_->entries.push_back(entry);
    }
    return gatedObserverToken(state_, entry);
  }

  void notify(const Args&... args) const {
    std::vector<std::shared_ptr<Entry>> entries;
    {
      std::lock_guard lock(state_->mutex);
      entries = state_->entries;
    }
    for (const auto& entry : entries) entry->gate.run([&] { entry->block(args...); });
  }

  size_t size() const {
    std::lock_guard lock(state_->mutex);
    return state_->entries.size();
  }

 private:
  struct Entry {
    Block block;
    DeliveryGate gate;
  };
  struct State {
    std::mutex mutex;
    std::vector<std::shared_ptr<Entry>> entries;
    void remove(const std::shared_ptr<Entry>& entry) {
      std::lock_guard lock(mutex);
      std::erase(entries, entry);
    }
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};
