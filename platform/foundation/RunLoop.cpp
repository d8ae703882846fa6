#include "foundation/RunLoop.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "foundation/Clock.h"

namespace {
// Captured while static objects are built, which happens on the process's first thread.
const std::thread::id kMainThreadId = std::this_thread::get_id();
}  // namespace

struct RunLoop::Impl {
  struct Timer {
    double fireAt;
    double interval;
    std::function<void()> block;
  };
  mutable std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::function<void()>> posted;
  // Ordered by (fire time, id) so equal times fire in the order they were added.
  std::map<std::pair<double, TimerId>, TimerId> schedule;
  std::map<TimerId, Timer> timers;
  TimerId nextId = 1;
  bool stopRequested = false;

  // Takes the earliest due timer, if any, out of the schedule (re-arming repeaters).
  bool takeDueTimer(double now, std::function<void()>& out) {
    if (schedule.empty()) return false;
    auto first = schedule.begin();
    if (first->first.first > now) return false;
    TimerId id = first->second;
    schedule.erase(first);
    auto it = timers.find(id);
    if (it == timers.end()) return false;
    out = it->second.block;
    if (it->second.interval > 0) {
      // Fires missed while the loop was busy are skipped, not made up in a burst.
      double interval = it->second.interval;
      it->second.fireAt += interval;
      if (it->second.fireAt <= now)
        it->second.fireAt += (std::floor((now - it->second.fireAt) / interval) + 1) * interval;
      schedule.emplace(std::make_pair(it->second.fireAt, id), id);
    } else {
      timers.erase(it);
    }
    return true;
  }
};

RunLoop::RunLoop() : impl_(std::make_unique<Impl>()) {}

RunLoop& RunLoop::main() {
  static RunLoop* loop = new RunLoop();  // never destroyed: blocks may be posted at exit
  return *loop;
}

bool RunLoop::isMainThread() { return std::this_thread::get_id() == kMainThreadId; }

void RunLoop::post(std::function<void()> block) {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->posted.push_back(std::move(block));
  }
  impl_->wake.notify_all();
}

RunLoop::TimerId RunLoop::addTimer(double delay, std::function<void()> block, double interval) {
  TimerId id;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    id = impl_->nextId++;
    double fireAt = Clock::now() + (delay > 0 ? delay : 0);
    impl_->timers[id] = Impl::Timer{fireAt, interval, std::move(block)};
    impl_->schedule.emplace(std::make_pair(fireAt, id), id);
  }
  impl_->wake.notify_all();
  return id;
}

void RunLoop::cancelTimer(TimerId id) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  auto it = impl_->timers.find(id);
  if (it == impl_->timers.end()) return;
  impl_->schedule.erase(std::make_pair(it->second.fireAt, id));
  impl_->timers.erase(it);
}

bool RunLoop::hasTimer(TimerId id) const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->timers.count(id) > 0;
}

bool RunLoop::runOnce() {
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    batch.swap(impl_->posted);
  }
  bool ran = !batch.empty();
  for (auto& block : batch) block();
  double now = Clock::now();
  while (true) {
    std::function<void()> block;
    {
      std::lock_guard<std::mutex> lock(impl_->mutex);
      if (!impl_->takeDueTimer(now, block)) break;
    }
    ran = true;
    block();
  }
  return ran;
}

void RunLoop::runUntilIdle() {
  for (int guard = 0; guard < 1000000 && runOnce(); ++guard) {
  }
}

double RunLoop::secondsToNextTimer() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (impl_->schedule.empty()) return -1;
  double d = impl_->schedule.begin()->first.first - Clock::now();
  return d < 0 ? 0 : d;
}

void RunLoop::advance(double seconds) {
  double target = Clock::now() + seconds;
  runUntilIdle();
  while (true) {
    double next;
    {
      std::lock_guard<std::mutex> lock(impl_->mutex);
      if (impl_->schedule.empty()) break;
      next = impl_->schedule.begin()->first.first;
    }
    if (next > target) break;
    if (next > Clock::now()) Clock::advanceBy(next - Clock::now());
    runUntilIdle();
  }
  if (target > Clock::now()) Clock::advanceBy(target - Clock::now());
  runUntilIdle();
}

void RunLoop::run() {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->stopRequested = false;
  }
  while (true) {
    runOnce();
    std::unique_lock<std::mutex> lock(impl_->mutex);
    if (impl_->stopRequested) break;
    if (!impl_->posted.empty()) continue;
    if (impl_->schedule.empty() || Clock::isManual()) {
      impl_->wake.wait_for(lock, std::chrono::milliseconds(250));
    } else {
      double wait = impl_->schedule.begin()->first.first - Clock::now();
      if (wait > 0)
        impl_->wake.wait_for(lock, std::chrono::duration<double>(wait < 0.25 ? wait : 0.25));
    }
    if (impl_->stopRequested) break;
  }
}

void RunLoop::stop() {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->stopRequested = true;
  }
  impl_->wake.notify_all();
}

bool RunLoop::runUntil(const std::function<bool()>& done, double timeoutSeconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
  while (true) {
    runUntilIdle();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return done();
    std::unique_lock<std::mutex> lock(impl_->mutex);
    if (impl_->posted.empty()) impl_->wake.wait_for(lock, std::chrono::milliseconds(5));
  }
}

void RunLoop::reset() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->posted.clear();
  impl_->schedule.clear();
  impl_->timers.clear();
}
