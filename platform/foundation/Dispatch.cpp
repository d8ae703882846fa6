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
// What the current thread serves: a global queue, or a serial queue's shared state.
thread_local const void* tCurrentQueue = nullptr;

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
    // An idle thread that was woken still counts as idle until it gets the lock, so
    // blocks queued in quick succession must be counted against the idle threads:
    // each idle thread takes one, and the rest need threads of their own, or they
    // would wait behind blocks that block.
    if (static_cast<long>(work_.size()) > idle_ && threads_ < kMaxThreads) {
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

// The queue's work and its thread share a state that the thread keeps alive, so the
// last reference to the queue may go anywhere, even inside one of its own blocks.
class SerialQueue final : public DispatchQueue {
 public:
  explicit SerialQueue(std::string label) : state_(std::make_shared<State>()) { state_->label = std::move(label); }
  ~SerialQueue() override {
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->stopping = true;
    state_->cv.notify_all();
    // Released from one of its own blocks: the thread finishes the queue's work by
    // itself. From anywhere else, what was queued runs before the release returns.
    if (tCurrentQueue == state_.get()) return;
    state_->idleCv.wait(lock, [this] { return !state_->running; });
  }
  void async(std::function<void()> block) override { enqueue(state_, std::move(block)); }
  void asyncAfter(double seconds, std::function<void()> block) override {
    // The delayed block keeps the queue's state, as the platform keeps the queue.
    std::thread([state = state_, seconds, block = std::move(block)]() mutable {
      std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
      enqueue(state, std::move(block));
    }).detach();
  }
  bool isCurrent() const override { return tCurrentQueue == state_.get(); }
  const std::string& label() const override { return state_->label; }

 private:
  struct State {
    std::string label;
    std::mutex mutex;
    std::condition_variable cv, idleCv;
    std::deque<std::function<void()>> work;
    bool stopping = false;
    bool running = false;  // a thread is serving the queue
  };

  static void enqueue(const std::shared_ptr<State>& state, std::function<void()> block) {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->work.push_back(std::move(block));
    if (!state->running) {
      state->running = true;
      std::thread([state] { workerLoop(state); }).detach();
    }
    state->cv.notify_one();
  }

  static void workerLoop(std::shared_ptr<State> state) {
    tCurrentQueue = state.get();
    std::unique_lock<std::mutex> lock(state->mutex);
    while (true) {
      state->cv.wait(lock, [&] { return state->stopping || !state->work.empty(); });
      if (state->work.empty()) break;  // released, and all queued work done
      auto block = std::move(state->work.front());
      state->work.pop_front();
      lock.unlock();
      block();
      block = nullptr;
      lock.lock();
    }
    state->running = false;
    state->idleCv.notify_all();
  }

  std::shared_ptr<State> state_;
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

bool DispatchQueue::globalQueuesIdle() { return background().drain(0) && defaultPriority().drain(0); }

bool DispatchQueue::drainGlobalQueues(double timeoutSeconds) {
  return background().drain(timeoutSeconds) && defaultPriority().drain(timeoutSeconds);
}
