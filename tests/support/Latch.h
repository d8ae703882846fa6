#pragma once
// What a test waits for from other threads, with a time-out and never a sleep: each
// arrive() counts one, and wait() blocks until `count` have arrived or the time-out
// passes (false then). What a thread writes before it arrives is seen by the waiter.
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "support/TimeBound.h"

class Latch {
 public:
  explicit Latch(int count = 1) : count_(count) {}
  void arrive() {
    std::lock_guard<std::mutex> lock(m_);
    ++arrived_;
    cv_.notify_all();
  }
  bool wait(double seconds = 10) {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, std::chrono::duration<double>(testsupport::timeBound(seconds)), [this] { return arrived_ >= count_; });
  }
  int arrived() {
    std::lock_guard<std::mutex> lock(m_);
    return arrived_;
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  int count_;
  int arrived_ = 0;
};
