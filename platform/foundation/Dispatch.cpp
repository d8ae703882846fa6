#include "foundation/Dispatch.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

#include "foundation/RunLoop.h"

namespace {
thread_local const DispatchQueue* tCurrentQueue = nullptr;

class MainQueue final : public DispatchQueue {
 public:
  void async(std::function<void()> block) override { RunLoop::main().post(std::move(block)); }
  void asyncAfter(double seconds, std::function<void()> block) override {
    RunLoop::main().addTimer(seconds, std::move(block));
  }
  bool isCurrent() const override { return RunLoop::isMainThread(); }
  const std::string& label() const override {
    static const std::string l = "main";
    return l;
  }
};

// A concurrent queue that grows a thread per waiting block (up to a cap) and lets idle
// threads go, so blocking work such as downloads never starves the others.
class GlobalQueue final : public DispatchQueue {
 public:
  explicit GlobalQueue(std::string label) : label_(std::move(label)) {}
  void async(std::function<void()> block) override {
    std::unique_lock<std::mutex> lock(mutex_);
    work_.push_back(std::move(block));
    ++pending_;
    if (idle_ == 0 && threads_ < kMaxThreads) {
      ++threads_;
      std::thread([this] { workerLoop(); }).detach();
    } else {
      cv_.notify_one();
    }
  }
  bool isCurrent() const override { return tCurrentQueue == this; }
  const std::string& label() const override { return label_; }
  bool drain(double timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return doneCv_.wait_for(lock, std::chrono::duration<double>(timeout), [this] { return pending_ == 0; });
  }

 private:
  static constexpr int kMaxThreads = 64;
  void workerLoop() {
    tCurrentQueue = this;
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
      if (work_.empty()) {
        ++idle_;
        bool got = cv_.wait_for(lock, std::chrono::seconds(5), [this] { return !work_.empty(); });
        --idle_;
        if (!got) {
          --threads_;
          return;
        }
      }
      auto block = std::move(work_.front());
      work_.pop_front();
      lock.unlock();
      block();
      block = nullptr;
      lock.lock();
      if (--pending_ == 0) doneCv_.notify_all();
    }
  }
  std::string label_;
  std::mutex mutex_;
  std::condition_variable cv_, doneCv_;
  std::deque<std::function<void()>> work_;
  int threads_ = 0, idle_ = 0;
  long pending_ = 0;
};

class SerialQueue final : public DispatchQueue, public std::enable_shared_from_this<SerialQueue> {
 public:
  explicit SerialQueue(std::string label) : label_(std::move(label)) {}
  ~SerialQueue() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) {
      if (thread_.get_id() == std::this_thread::get_id()) thread_.detach();
      else thread_.join();
    }
  }
  void async(std::function<void()> block) override {
    std::lock_guard<std::mutex> lock(mutex_);
    work_.push_back(std::move(block));
    if (!thread_.joinable()) thread_ = std::thread([this] { workerLoop(); });
    cv_.notify_one();
  }
  bool isCurrent() const override { return tCurrentQueue == this; }
  const std::string& label() const override { return label_; }

 private:
  void workerLoop() {
    tCurrentQueue = this;
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
      cv_.wait(lock, [this] { return stopping_ || !work_.empty(); });
      if (work_.empty()) return;  // stopping, and all queued work done
      auto block = std::move(work_.front());
      work_.pop_front();
      lock.unlock();
      block();
      block = nullptr;
      lock.lock();
    }
  }
  std::string label_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> work_;
  bool stopping_ = false;
  std::thread thread_;
};

GlobalQueue& background() {
  static GlobalQueue* q = new GlobalQueue("global.background");
  return *q;
}
GlobalQueue& defaultPriority() {
  static GlobalQueue* q = new GlobalQueue("global.default");
  return *q;
}
}  // namespace

void DispatchQueue::sync(std::function<void()> block) {
  if (isCurrent()) {
    block();
    return;
  }
  std::promise<void> done;
  auto future = done.get_future();
  async([&] {
    block();
    done.set_value();
  });
  future.wait();
}

void DispatchQueue::asyncAfter(double seconds, std::function<void()> block) {
  // Off the main queue a delay is real time on a helper thread.
  std::thread([this, seconds, block = std::move(block)]() mutable {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    async(std::move(block));
  }).detach();
}

DispatchQueue& DispatchQueue::mainQueue() {
  static MainQueue* q = new MainQueue();
  return *q;
}
DispatchQueue& DispatchQueue::globalBackground() { return background(); }
DispatchQueue& DispatchQueue::globalDefault() { return defaultPriority(); }

std::shared_ptr<DispatchQueue> DispatchQueue::makeSerial(const std::string& label) {
  return std::make_shared<SerialQueue>(label);
}

bool DispatchQueue::drainGlobalQueues(double timeoutSeconds) {
  return background().drain(timeoutSeconds) && defaultPriority().drain(timeoutSeconds);
}
