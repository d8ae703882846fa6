#pragma once
// The gate in front of one observer: deliveries pass while it is open; closing it
// stops new ones and waits for those already running on other threads, so whatever
// the observer's block holds may be released as soon as close() returns.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/NotificationToken.h"

class DeliveryGate {
 public:
  // Runs the block unless the gate is closed; answers whether it ran.
  template <typename Block>
  bool run(Block&& block) {
    if (!enter()) return false;
    struct Leave {
      DeliveryGate* gate;
      ~Leave() { gate->leave(); }
    } leave{this};
    block();
    return true;
  }

  // After this returns no delivery starts and none runs on another thread. A delivery
  // running on the calling thread (an observer that ends its own observation) is not
  // waited for: it is the caller.
  void close();
  bool isOpen() const;

 private:
  bool enter();
  void leave();

  mutable std::mutex mutex_;
  std::condition_variable idle_;
  bool open_ = true;
  std::vector<std::thread::id> running_;  // one entry per delivery in progress
};

// The token of one observer (an object with a `gate`) in its owner's list (an object
// with `remove(observer)`): ending it closes the gate, then takes the observer out of
// the list when the owner is still there.
template <typename Owner, typename Observer>
NotificationToken gatedObserverToken(const std::shared_ptr<Owner>& owner, const std::shared_ptr<Observer>& observer) {
  std::weak_ptr<Owner> weakOwner = owner;
  std::weak_ptr<Observer> weakObserver = observer;
  return NotificationToken([weakOwner, weakObserver] {
    auto observer = weakObserver.lock();
    if (!observer) return;
    observer->gate.close();
    if (auto owner = weakOwner.lock()) owner->remove(observer);
  });
}
