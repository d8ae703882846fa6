#include "foundation/DeliveryGate.h"

#include <algorithm>

bool DeliveryGate::enter() {
  std::lock_guard lock(mutex_);
  if (!open_) return false;
  running_.push_back(std::this_thread::get_id());
  return true;
}

void DeliveryGate::leave() {
  {
    std::lock_guard lock(mutex_);
    running_.erase(std::find(running_.begin(), running_.end(), std::this_thread::get_id()));
  }
  idle_.notify_all();
}

void DeliveryGate::close() {
  std::unique_lock lock(mutex_);
  open_ = false;
  auto self = std::this_thread::get_id();
  idle_.wait(lock, [&] {
    return std::all_of(running_.begin(), running_.end(), [&](std::thread::id id) { return id == self; });
  });
}

bool DeliveryGate::isOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}
