#pragma once
// Items handed from one thread to another in order, with a bound on how many may wait: a
// producer that runs ahead waits, a consumer that gives up lets the producer stop. The
// consumer takes what has arrived in batches, and each side wakes the other only when the
// other waits, so that handing over many small items costs little more than the items.
// A producer that found the handoff full is woken once half of it is free again, not
// for every few places given back: waking a thread costs more than many small items.
//
// The items wait in a ring of places that are made once and then reused, so handing
// over allocates nothing per item, and nothing made by one thread is let go by the other.
// An item is swapped into its place, so the producer gets back what the place held:
// whatever the consumer left there, which the producer may fill again in place (its room
// reused) rather than make anew.
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

template <typename T>
class KVHandoff {
 public:
  explicit KVHandoff(size_t maxWaiting)
      : max_(maxWaiting > 0 ? maxWaiting : 1), giveBackEvery_(max_ / 8 > 0 ? max_ / 8 : 1), roomAgain_(max_ / 2) {
    places_.reserve(max_);
  }

  // Producer: waits while the handoff is full; false once the consumer has given up.
  // `item` is swapped with what its place held (a default item the first time round).
  bool push(T&& item) { return push(item); }
  bool push(T& item) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!abandoned_ && count_ >= max_) {
      ++producersWaiting_;
      changed_.wait(lock, [this] { return abandoned_ || count_ <= roomAgain_; });
      --producersWaiting_;
    }
    if (abandoned_) return false;
    // The places past the end of the ring are made as it first reaches them.
    const size_t tail = (head_ + count_) % max_;
    if (tail == places_.size()) places_.emplace_back();
    std::swap(places_[tail], item);
    ++count_;
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
    T* item = take();
    if (!item) return std::nullopt;
    return std::optional<T>(std::move(*item));
  }
  // The same, in its place: the consumer's until it takes the next one, to work on and
  // to leave there what should go back to the producer.
  T* take() {
    if ((batch_ == 0 || taken_ >= giveBackEvery_) && !refill() && batch_ == 0) return nullptr;
    // The places of the batch are the consumer's until they are given back: the producer
    // writes only past them.
    T* item = &places_[next_];
    next_ = (next_ + 1) % max_;
    --batch_;
    ++taken_;
    return item;
  }
  // Consumer (or any thread once the consumer is done): nothing more is taken; a waiting
  // or later push answers false. The items waiting go with the handoff.
  void abandon() {
    std::lock_guard<std::mutex> lock(mutex_);
    abandoned_ = true;
    changed_.notify_all();
  }

 private:
  // Gives back the places taken, so that the producer may fill them again, and takes
  // every item that has arrived, waiting for one when there is none; false at the end
  // (the consumer's batch, if any, is still its own).
  bool refill() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (abandoned_) return false;
    if (taken_ > 0) {
      head_ = (head_ + taken_) % max_;
      count_ -= taken_;
      taken_ = 0;
      if (producersWaiting_ > 0 && count_ <= roomAgain_) changed_.notify_all();
    }
    if (count_ == 0 && !closed_) {
      consumerWaiting_ = true;
      changed_.wait(lock, [this] { return closed_ || abandoned_ || count_ > 0; });
      consumerWaiting_ = false;
    }
    if (abandoned_ || count_ == 0) return false;
    next_ = head_;
    batch_ = count_;
    return true;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<T> places_;  // the ring, made up to max_ places as it is first filled
  const size_t max_;
  // The consumer gives back the places it has taken this often, so that a producer that
  // waits for room goes on while the rest of the batch is worked on.
  const size_t giveBackEvery_;
  // A full handoff's producer waits until no more than this many items are left.
  const size_t roomAgain_;
  size_t head_ = 0;   // the oldest item not given back by the consumer
  size_t count_ = 0;  // items from head_ on, the consumer's batch among them
  // The consumer's own: its batch (from next_, batch_ items left), and how many of it
  // it has taken since the last refill.
  size_t next_ = 0, batch_ = 0, taken_ = 0;
  int producersWaiting_ = 0;
  bool consumerWaiting_ = false;
  bool closed_ = false, abandoned_ = false;
};
