#pragma once
// Items handed from one thread to another in order, with a bound on how many may wait: a
// producer that runs ahead waits, a consumer that gives up lets the producer stop. The
// consumer takes what has arrived in batches, and each side wakes the other only when the
// other waits, so that handing over many small items costs little more than the items.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

template <typename T>
class KVHandoff {
 public:
  explicit KVHandoff(size_t maxWaiting) : max_(maxWaiting) {}

  // Producer: waits while the handoff is full; false once the consumer has given up.
  bool push(T item) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!abandoned_ && items_.size() >= max_) {
      ++producersWaiting_;
      changed_.wait(lock, [this] { return abandoned_ || items_.size() < max_; });
      --producersWaiting_;
    }
    if (abandoned_) return false;
    items_.push_back(std::move(item));
    if (consumerWaiting_) changed_.notify_all();
    return true;
  }
  // Producer: no more items come.
  void close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    changed_.notify_all();
  }
  // Consumer: the next item, waiting for it; nothing once the producer closed and
  // everything was taken (or the consumer gave up).
  std::optional<T> pop() {
    if (taken_.empty() && !refill()) return std::nullopt;
    T item = std::move(taken_.front());
    taken_.pop_front();
    return item;
  }
  // Consumer: nothing more is taken; a waiting or later push answers false.
  void abandon() {
    std::lock_guard<std::mutex> lock(mutex_);
    abandoned_ = true;
    items_.clear();
    changed_.notify_all();
  }

 private:
  // Takes every item that has arrived, waiting for one; false at the end.
  bool refill() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (items_.empty() && !closed_ && !abandoned_) {
      consumerWaiting_ = true;
      changed_.wait(lock, [this] { return closed_ || abandoned_ || !items_.empty(); });
      consumerWaiting_ = false;
    }
    if (items_.empty()) return false;
    taken_.swap(items_);
    if (producersWaiting_ > 0) changed_.notify_all();
    return true;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<T> items_;
  std::deque<T> taken_;  // the consumer's own batch, outside the lock
  size_t max_;
  int producersWaiting_ = 0;
  bool consumerWaiting_ = false;
  bool closed_ = false, abandoned_ = false;
};
