#include "foundation/OperationQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/DebugChecks.h"
#include "foundation/RunLoop.h"
#include "support/Latch.h"

namespace {

// Shared bookkeeping for operations that block until the test lets them go.
class Gate {
 public:
  // Called from an operation: counts it running, then waits for a pass.
  void enter() {
    std::unique_lock<std::mutex> lock(m_);
    ++running_;
    ++started_;
    if (running_ > peak_) peak_ = running_;
    cv_.notify_all();
    cv_.wait(lock, [this] { return passes_ > 0 || open_; });
    if (!open_) --passes_;
    --running_;
    cv_.notify_all();
  }
  void letOneThrough() {
    std::lock_guard<std::mutex> lock(m_);
    ++passes_;
    cv_.notify_all();
  }
  void open() {
    std::lock_guard<std::mutex> lock(m_);
    open_ = true;
    cv_.notify_all();
  }
  // Waits until `pred(running, started)` holds; false after ten seconds.
  bool waitFor(const std::function<bool(int running, int started)>& pred) {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, std::chrono::seconds(10), [&] { return pred(running_, started_); });
  }
  int peak() {
    std::lock_guard<std::mutex> lock(m_);
    return peak_;
  }
  int started() {
    std::lock_guard<std::mutex> lock(m_);
    return started_;
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  int running_ = 0, started_ = 0, peak_ = 0, passes_ = 0;
  bool open_ = false;
};

class RecordingOperation : public Operation {
 public:
  explicit RecordingOperation(Gate* gate = nullptr) : gate_(gate) {}
  void main() override {
    ++mainRuns;
    if (gate_) gate_->enter();
  }
  std::atomic<int> mainRuns{0};

 private:
  Gate* gate_;
};

// Finishes only when told to, like a download.
class AsyncOperation : public Operation {
 public:
  bool isAsynchronous() const override { return true; }
  void main() override {
    std::lock_guard<std::mutex> lock(m_);
    mainRan = true;
    cv_.notify_all();
  }
  bool waitForMain() {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, std::chrono::seconds(10), [this] { return mainRan; });
  }
  void complete() { finish(); }
  bool mainRan = false;
  std::atomic<int> cancelCalls{0};

 private:
  std::mutex m_;
  std::condition_variable cv_;

 protected:
  void didCancel() override {
    ++cancelCalls;
    finish();
  }
};

TEST(OperationQueue, NeverRunsMoreThanTheMaximumAtOnce) {
  OperationQueue queue;
  queue.setMaxConcurrentOperationCount(3);
  EXPECT_EQ(queue.maxConcurrentOperationCount(), 3);
  Gate gate;
  for (int i = 0; i < 12; ++i) queue.addOperation(std::make_shared<RecordingOperation>(&gate));
  for (int finished = 0; finished < 12; ++finished) {
    int expectRunning = std::min(3, 12 - finished);
    ASSERT_TRUE(gate.waitFor([&](int running, int) { return running == expectRunning; })) << finished;
    gate.letOneThrough();
  }
  EXPECT_TRUE(queue.waitUntilAllOperationsAreFinished(10));
  EXPECT_EQ(gate.peak(), 3);
  EXPECT_EQ(gate.started(), 12);
  EXPECT_EQ(queue.operationCount(), 0u);
}

TEST(OperationQueue, RaisingTheMaximumStartsWaitingOperations) {
  OperationQueue queue;
  queue.setMaxConcurrentOperationCount(1);
  Gate gate;
  for (int i = 0; i < 4; ++i) queue.addOperation(std::make_shared<RecordingOperation>(&gate));
  ASSERT_TRUE(gate.waitFor([](int running, int) { return running == 1; }));
  queue.setMaxConcurrentOperationCount(4);
  EXPECT_TRUE(gate.waitFor([](int running, int) { return running == 4; }));
  gate.open();
  EXPECT_TRUE(queue.waitUntilAllOperationsAreFinished(10));

  // No limit at all.
  OperationQueue unlimited;
  unlimited.setMaxConcurrentOperationCount(0);
  Gate wide;
  for (int i = 0; i < 16; ++i) unlimited.addOperation(std::make_shared<RecordingOperation>(&wide));
  EXPECT_TRUE(wide.waitFor([](int running, int) { return running == 16; }));
  wide.open();
  EXPECT_TRUE(unlimited.waitUntilAllOperationsAreFinished(10));
}

TEST(OperationQueue, ListsItsOperationsInOrderAndTellsTheObserverOfEveryChange) {
  OperationQueue queue;
  queue.setMaxConcurrentOperationCount(1);
  std::mutex m;
  std::vector<size_t> seenCounts;
  auto observer = queue.addOperationsObserver([&] {
    std::lock_guard<std::mutex> lock(m);
    seenCounts.push_back(queue.operationCount());
  });
  Gate gate;
  auto a = std::make_shared<RecordingOperation>(&gate);
  auto b = std::make_shared<RecordingOperation>(&gate);
  auto c = std::make_shared<RecordingOperation>(&gate);
  a->setName("a");
  for (auto& op : {a, b, c}) queue.addOperation(op);
  auto ops = queue.operations();
  ASSERT_EQ(ops.size(), 3u);
  EXPECT_EQ(ops[0], a);
  EXPECT_EQ(ops[1], b);
  EXPECT_EQ(ops[2], c);
  EXPECT_EQ(ops[0]->name(), "a");
  {
    std::lock_guard<std::mutex> lock(m);
    EXPECT_EQ(seenCounts, (std::vector<size_t>{1, 2, 3}));
  }
  ASSERT_TRUE(gate.waitFor([](int running, int) { return running == 1; }));
  EXPECT_TRUE(a->isExecuting());
  EXPECT_FALSE(b->isExecuting());
  gate.letOneThrough();
  ASSERT_TRUE(gate.waitFor([](int, int started) { return started == 2; }));
  a->waitUntilFinished();
  ops = queue.operations();
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(ops[0], b);
  EXPECT_TRUE(a->isFinished());
  EXPECT_FALSE(a->isExecuting());

  observer.invalidate();
  gate.open();
  ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(10));
  std::lock_guard<std::mutex> lock(m);
  ASSERT_GE(seenCounts.size(), 4u);
  EXPECT_EQ(seenCounts[3], 2u);  // after a left
  EXPECT_LE(seenCounts.size(), 6u);
}

TEST(OperationQueue, CancelledBeforeStartFinishesWithoutRunningMain) {
  OperationQueue queue;
  queue.setMaxConcurrentOperationCount(1);
  Gate gate;
  auto first = std::make_shared<RecordingOperation>(&gate);
  auto second = std::make_shared<RecordingOperation>();
  std::atomic<int> completions{0};
  second->setCompletionBlock([&] { ++completions; });
  queue.addOperation(first);
  queue.addOperation(second);
  ASSERT_TRUE(gate.waitFor([](int running, int) { return running == 1; }));
  second->cancel();
  EXPECT_TRUE(second->isCancelled());
  EXPECT_FALSE(second->isFinished());
  gate.open();
  ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(10));
  EXPECT_TRUE(second->isFinished());
  EXPECT_EQ(second->mainRuns, 0);
  EXPECT_EQ(completions, 1);
  EXPECT_EQ(first->mainRuns, 1);
  EXPECT_FALSE(first->isCancelled());
}

TEST(OperationQueue, CancelAllReachesRunningAndWaitingOperations) {
  OperationQueue queue;
  queue.setMaxConcurrentOperationCount(1);
  Gate gate;
  auto running = std::make_shared<RecordingOperation>(&gate);
  auto waiting = std::make_shared<RecordingOperation>(&gate);
  queue.addOperation(running);
  queue.addOperation(waiting);
  ASSERT_TRUE(gate.waitFor([](int r, int) { return r == 1; }));
  queue.cancelAllOperations();
  EXPECT_TRUE(running->isCancelled());  // a running operation sees the flag and decides
  EXPECT_TRUE(waiting->isCancelled());
  gate.open();
  ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(10));
  EXPECT_EQ(running->mainRuns, 1);
  EXPECT_EQ(waiting->mainRuns, 0);
  // Cancelling a finished operation changes nothing.
  running->cancel();
  EXPECT_TRUE(running->isFinished());
}

TEST(OperationQueue, AsynchronousOperationsFinishOnlyWhenTheySaySo) {
  OperationQueue queue;
  auto op = std::make_shared<AsyncOperation>();
  std::atomic<int> completions{0};
  op->setCompletionBlock([&] { ++completions; });
  queue.addOperation(op);
  ASSERT_TRUE(op->waitForMain());
  EXPECT_TRUE(op->isExecuting());
  EXPECT_FALSE(op->isFinished());
  EXPECT_EQ(queue.operationCount(), 1u);
  EXPECT_FALSE(queue.waitUntilAllOperationsAreFinished(0.05));

  op->complete();
  op->complete();  // a second finish is ignored
  EXPECT_TRUE(op->isFinished());
  EXPECT_FALSE(op->isExecuting());
  EXPECT_TRUE(queue.waitUntilAllOperationsAreFinished(10));
  EXPECT_EQ(completions, 1);

  // Cancelling one that is running lets it finish itself; cancel twice calls it once.
  auto cancelled = std::make_shared<AsyncOperation>();
  queue.addOperation(cancelled);
  cancelled->cancel();
  cancelled->cancel();
  EXPECT_TRUE(queue.waitUntilAllOperationsAreFinished(10));
  EXPECT_EQ(cancelled->cancelCalls, 1);
  EXPECT_TRUE(cancelled->isFinished());
}

TEST(OperationQueue, WaitsForManyBlockOperationsAndRunsEachCompletionOnce) {
  OperationQueue queue;
  queue.setMaxConcurrentOperationCount(4);
  std::atomic<int> ran{0}, completions{0};
  std::vector<std::shared_ptr<Operation>> ops;
  for (int i = 0; i < 40; ++i) {
    auto op = std::make_shared<BlockOperation>([&] { ++ran; });
    op->setCompletionBlock([&] { ++completions; });
    ops.push_back(op);
    queue.addOperation(op);
  }
  queue.addOperationWithBlock([&] { ++ran; });
  EXPECT_TRUE(queue.waitUntilAllOperationsAreFinished(10));
  EXPECT_EQ(ran, 41);
  EXPECT_EQ(completions, 40);
  for (auto& op : ops) {
    op->waitUntilFinished();  // returns at once for a finished operation
    EXPECT_TRUE(op->isFinished());
  }
  EXPECT_TRUE(queue.operations().empty());
  EXPECT_TRUE(queue.waitUntilAllOperationsAreFinished(0));
}

TEST(OperationQueue, AnOperationThatAlreadyFinishedLeavesTheQueueAtOnce) {
  OperationQueue first, second;
  auto op = std::make_shared<RecordingOperation>();
  first.addOperation(op);
  ASSERT_TRUE(first.waitUntilAllOperationsAreFinished(10));
  ASSERT_TRUE(op->isFinished());
  second.addOperation(op);
  EXPECT_TRUE(second.waitUntilAllOperationsAreFinished(10));
  EXPECT_EQ(op->mainRuns, 1);  // never run twice
  EXPECT_FALSE(op->isExecuting());
}

}  // namespace

// A queue whose workers wait for the main thread: the main thread waiting for one of its
// operations would hang both, so debug builds stop there, naming the queue. Other
// threads may wait, and so may the main thread for an ordinary queue.
class MainThreadWaitCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!DebugChecks::kEnabled) GTEST_SKIP() << "a release build has no debug checks";
    queue.setName("HoldingQueue");
    queue.setMainThreadMustNotWait(true);
    queue.addOperation(held);
  }
  void TearDown() override {
    gate.arrive();
    queue.setMainThreadMustNotWait(false);
    queue.waitUntilAllOperationsAreFinished(10);
  }
  Latch gate;
  OperationQueue queue;
  std::shared_ptr<Operation> held = std::make_shared<BlockOperation>([this] { gate.wait(); });
};

TEST_F(MainThreadWaitCheck, WaitingForTheQueueOnTheMainThreadStops) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ASSERT_TRUE(RunLoop::isMainThread());
  EXPECT_DEATH(queue.waitUntilAllOperationsAreFinished(1),
               "Debug check failed: the main thread waits for a worker of HoldingQueue");
  EXPECT_DEATH(held->waitUntilFinished(), "the main thread waits for a worker of HoldingQueue");
}

TEST_F(MainThreadWaitCheck, OtherThreadsMayWaitAndAFinishedOperationIsNoWait) {
  std::thread waiter([this] { EXPECT_TRUE(queue.waitUntilAllOperationsAreFinished(10)); });
  gate.arrive();
  waiter.join();
  held->waitUntilFinished();  // already finished: the main thread does not wait
  EXPECT_TRUE(queue.waitUntilAllOperationsAreFinished(0));

  OperationQueue ordinary;
  ordinary.addOperationWithBlock([] {});
  EXPECT_TRUE(ordinary.waitUntilAllOperationsAreFinished(10));
}
