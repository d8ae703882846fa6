#include "foundation/OperationQueue.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "foundation/DebugChecks.h"
#include "foundation/ObserverList.h"
#include "foundation/RunLoop.h"

struct Operation::State {
  mutable std::mutex mutex;
  mutable std::condition_variable cv;
  bool cancelled = false, executing = false, finished = false;
  std::function<void()> completion;
  std::function<void()> onFinish;  // set by the queue that runs the operation
  std::string name;
  std::string mainMustNotWaitFor;  // the queue's name when its workers wait for the main thread
};

namespace {
void checkMainMayWait(const std::string& queueName) {
  if (!DebugChecks::kEnabled || queueName.empty() || !RunLoop::isMainThread()) return;
  std::string what = "the main thread waits for a worker of " + queueName +
                     ", which may itself be waiting for the main thread";
  DebugChecks::fail(what.c_str());
}
}  // namespace

Operation::Operation() : state_(std::make_shared<State>()) {}
Operation::~Operation() = default;

void Operation::start() {
  if (isFinished()) return;  // an operation runs once
  if (isCancelled()) {
    finish();
    return;
  }
  setExecuting();
  main();
  if (!isAsynchronous()) finish();
}

void Operation::cancel() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->cancelled || state_->finished) return;
    state_->cancelled = true;
  }
  didCancel();
}

bool Operation::isCancelled() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->cancelled;
}
bool Operation::isExecuting() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->executing;
}
bool Operation::isFinished() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->finished;
}
void Operation::setCompletionBlock(std::function<void()> block) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->completion = std::move(block);
}
void Operation::waitUntilFinished() const {
  std::unique_lock<std::mutex> lock(state_->mutex);
  if (!state_->finished) checkMainMayWait(state_->mainMustNotWaitFor);
  state_->cv.wait(lock, [this] { return state_->finished; });
}
const std::string& Operation::name() const { return state_->name; }
void Operation::setName(std::string name) { state_->name = std::move(name); }

void Operation::setExecuting() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->executing = true;
}

void Operation::finish() {
  std::function<void()> completion, onFinish;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->finished) return;
    state_->finished = true;
    state_->executing = false;
    completion = std::move(state_->completion);
    onFinish = std::move(state_->onFinish);
  }
  state_->cv.notify_all();
  if (completion) completion();
  if (onFinish) onFinish();
}

struct OperationQueue::Impl : std::enable_shared_from_this<OperationQueue::Impl> {
  mutable std::mutex mutex;
  mutable std::condition_variable emptyCv;
  std::vector<std::shared_ptr<Operation>> ops;  // queued and running, in order
  std::vector<Operation*> running;
  int maxConcurrent = -1;
  ObserverList<> observers;
  std::string name;
  bool mainMustNotWait = false;

  void notifyObservers() { observers.notify(); }

  // Starts as many waiting operations as the maximum allows, each on its own thread.
  void startWaiting() {
    std::vector<std::shared_ptr<Operation>> toStart;
    {
      std::lock_guard<std::mutex> lock(mutex);
      for (auto& op : ops) {
        if (maxConcurrent > 0 && static_cast<int>(running.size()) >= maxConcurrent) break;
        if (std::find(running.begin(), running.end(), op.get()) != running.end()) continue;
        running.push_back(op.get());
        toStart.push_back(op);
      }
    }
    for (auto& op : toStart) {
      std::weak_ptr<Impl> weak = shared_from_this();
      Operation* raw = op.get();
      bool alreadyFinished;
      {
        std::lock_guard<std::mutex> lock(op->state_->mutex);
        alreadyFinished = op->state_->finished;
        if (!alreadyFinished)
          op->state_->onFinish = [weak, raw] {
            if (auto self = weak.lock()) self->operationFinished(raw);
          };
      }
      // One that finished elsewhere before is not run again; it just leaves.
      if (alreadyFinished) operationFinished(raw);
      else std::thread([op] { op->start(); }).detach();
    }
  }

  void operationFinished(Operation* raw) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      std::erase(running, raw);
      std::erase_if(ops, [raw](const auto& o) { return o.get() == raw; });
      if (ops.empty()) emptyCv.notify_all();
    }
    notifyObservers();
    startWaiting();
  }
};

OperationQueue::OperationQueue() : impl_(std::make_shared<Impl>()) {}
OperationQueue::~OperationQueue() = default;

void OperationQueue::addOperation(std::shared_ptr<Operation> operation) {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (impl_->mainMustNotWait) {
      std::lock_guard<std::mutex> stateLock(operation->state_->mutex);
      operation->state_->mainMustNotWaitFor = impl_->name.empty() ? "an operation queue" : impl_->name;
    }
    impl_->ops.push_back(std::move(operation));
  }
  impl_->notifyObservers();
  impl_->startWaiting();
}

void OperationQueue::addOperationWithBlock(std::function<void()> block) {
  addOperation(std::make_shared<BlockOperation>(std::move(block)));
}

std::vector<std::shared_ptr<Operation>> OperationQueue::operations() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->ops;
}

size_t OperationQueue::operationCount() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->ops.size();
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->maxConcurrent = count;
  }
  impl_->startWaiting();
}

int OperationQueue::maxConcurrentOperationCount() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->maxConcurrent;
}

void OperationQueue::cancelAllOperations() {
  for (auto& op : operations()) op->cancel();
}

bool OperationQueue::waitUntilAllOperationsAreFinished(double timeoutSeconds) const {
  std::unique_lock<std::mutex> lock(impl_->mutex);
  if (impl_->mainMustNotWait && !impl_->ops.empty())
    checkMainMayWait(impl_->name.empty() ? "an operation queue" : impl_->name);
  return impl_->emptyCv.wait_for(lock, std::chrono::duration<double>(timeoutSeconds),
                                 [this] { return impl_->ops.empty(); });
}

NotificationToken OperationQueue::addOperationsObserver(std::function<void()> observer) {
  return impl_->observers.add(std::move(observer));
}

void OperationQueue::setName(std::string name) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->name = std::move(name);
}

void OperationQueue::setMainThreadMustNotWait(bool mustNot) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->mainMustNotWait = mustNot;
}
