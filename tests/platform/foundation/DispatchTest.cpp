#include "foundation/Dispatch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/BlockHelpers.h"
#include "foundation/RunLoop.h"
#include "support/Latch.h"
#include "support/ManualClock.h"

namespace {

TEST(DispatchSerialQueue, RunsBlocksOneAtATimeInOrderOnItsOwnThread) {
  auto queue = DispatchQueue::makeSerial("test.serial");
  EXPECT_EQ(queue->label(), "test.serial");
  EXPECT_FALSE(queue->isCurrent());
  std::vector<int> order;
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false}, alwaysCurrent{true};
  Latch done(100);
  for (int i = 0; i < 100; ++i) {
    queue->async([&, i] {
      if (++inside > 1) overlapped = true;
      if (!queue->isCurrent() || RunLoop::isMainThread()) alwaysCurrent = false;
      order.push_back(i);
      --inside;
      done.arrive();
    });
  }
  ASSERT_TRUE(done.wait());
  EXPECT_FALSE(overlapped);
  EXPECT_TRUE(alwaysCurrent);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(order[i], i);
}

TEST(DispatchSerialQueue, SyncWaitsFromOtherThreadsAndRunsInlineOnItsOwn) {
  auto queue = DispatchQueue::makeSerial("test.sync");
  std::vector<int> order;
  queue->async([&] { order.push_back(1); });
  queue->sync([&] { order.push_back(2); });  // from the main thread: waits for 1, then 2
  EXPECT_EQ(order, (std::vector<int>{1, 2}));

  std::atomic<int> fromWorker{0};
  std::thread worker([&] { queue->sync([&] { fromWorker = 7; }); });
  worker.join();
  EXPECT_EQ(fromWorker, 7);

  // sync from inside the queue would wait on itself; it runs inline instead.
  bool nestedRan = false;
  queue->sync([&] { queue->sync([&] { nestedRan = true; }); });
  EXPECT_TRUE(nestedRan);
}

TEST(DispatchSerialQueue, ReleasingTheQueueFinishesWhatWasQueued) {
  std::atomic<int> ran{0};
  {
    auto queue = DispatchQueue::makeSerial("test.release");
    for (int i = 0; i < 20; ++i) queue->async([&] { ++ran; });
  }
  EXPECT_EQ(ran, 20);
}

TEST(DispatchSerialQueue, MayBeReleasedFromInsideItsOwnBlock) {
  // The queue's thread must not touch the queue after its last reference went away
  // inside one of its own blocks (run under AddressSanitizer to see a fault here).
  for (int round = 0; round < 20; ++round) {
    auto holder = std::make_shared<std::shared_ptr<DispatchQueue>>(DispatchQueue::makeSerial("test.self"));
    Latch released(1);
    (*holder)->async([holder, &released] {
      holder->reset();  // the last reference goes while this block runs
      released.arrive();
    });
    ASSERT_TRUE(released.wait());
  }
}

TEST(DispatchSerialQueue, AsyncAfterDeliversOnTheQueue) {
  auto queue = DispatchQueue::makeSerial("test.after");
  Latch done(1);
  std::atomic<bool> onQueue{false};
  queue->asyncAfter(0.01, [&] {
    onQueue = queue->isCurrent();
    done.arrive();
  });
  ASSERT_TRUE(done.wait());
  EXPECT_TRUE(onQueue);
}

TEST(DispatchGlobalQueues, RunManyBlockingBlocksAtOnce) {
  // Each block waits until all of its round have started: a pool that let any of them
  // wait behind the others would never get there. Later rounds find idle threads left
  // by earlier ones, and must still start a thread for every block the idle ones can't
  // take.
  for (DispatchQueue* queue : {&DispatchQueue::globalDefault(), &DispatchQueue::globalBackground()}) {
    for (int blocks : {20, 10, 40}) {
      Latch started(blocks);
      std::atomic<int> sawAll{0};
      for (int i = 0; i < blocks; ++i) {
        queue->async([&] {
          started.arrive();
          if (started.wait(5)) ++sawAll;
        });
      }
      EXPECT_TRUE(DispatchQueue::drainGlobalQueues(30));
      EXPECT_EQ(sawAll, blocks) << queue->label() << " round of " << blocks;
    }
  }
}

TEST(DispatchGlobalQueues, BlocksQueuedInQuickSuccessionAllStartWhileOthersBlock) {
  // Blocks added one right after another, from several threads, while earlier ones
  // are still waking their threads.
  for (int round = 0; round < 30; ++round) {
    Latch started(8);
    std::atomic<int> sawAll{0};
    std::vector<std::thread> producers;
    for (int t = 0; t < 4; ++t)
      producers.emplace_back([&] {
        for (int i = 0; i < 2; ++i)
          performOnDefaultThread([&] {
            started.arrive();
            if (started.wait(5)) ++sawAll;
          });
      });
    for (auto& p : producers) p.join();
    ASSERT_TRUE(DispatchQueue::drainGlobalQueues(30));
    ASSERT_EQ(sawAll, 8) << "round " << round;
  }
}

TEST(DispatchGlobalQueues, IsCurrentTellsTheQueuesApart) {
  std::atomic<bool> defaultCurrent{false}, backgroundCurrent{true}, mainCurrent{true};
  Latch done(1);
  performOnDefaultThread([&] {
    defaultCurrent = DispatchQueue::globalDefault().isCurrent();
    backgroundCurrent = DispatchQueue::globalBackground().isCurrent();
    mainCurrent = DispatchQueue::mainQueue().isCurrent();
    done.arrive();
  });
  ASSERT_TRUE(done.wait());
  EXPECT_TRUE(defaultCurrent);
  EXPECT_FALSE(backgroundCurrent);
  EXPECT_FALSE(mainCurrent);
  EXPECT_TRUE(DispatchQueue::mainQueue().isCurrent());
  EXPECT_FALSE(DispatchQueue::globalDefault().isCurrent());
}

TEST(DispatchGlobalQueues, DrainWaitsForBlocksQueuedByOtherBlocks) {
  std::atomic<int> ran{0};
  for (int i = 0; i < 50; ++i) {
    performOnBackgroundThread([&] {
      ++ran;
      performOnDefaultThread([&] { ++ran; });
    });
  }
  EXPECT_TRUE(DispatchQueue::drainGlobalQueues(30));
  EXPECT_EQ(ran, 100);
}

TEST(DispatchMainQueue, AsyncPostsToTheLoopAndAsyncAfterReadsItsClock) {
  ManualClock clock;
  std::vector<std::string> order;
  DispatchQueue::mainQueue().asyncAfter(2, [&] { order.push_back("after"); });
  DispatchQueue::mainQueue().async([&] { order.push_back("async"); });
  EXPECT_TRUE(order.empty());
  clock.advance(1.5);
  EXPECT_EQ(order, (std::vector<std::string>{"async"}));
  clock.advance(0.5);
  EXPECT_EQ(order, (std::vector<std::string>{"async", "after"}));

  // sync onto the main queue from a worker waits for the loop to run the block.
  std::atomic<bool> synced{false};
  std::thread worker([&] {
    DispatchQueue::mainQueue().sync([&] { EXPECT_TRUE(RunLoop::isMainThread()); });
    synced = true;
  });
  EXPECT_TRUE(RunLoop::main().runUntil([&] { return synced.load(); }));
  worker.join();
}

}  // namespace
