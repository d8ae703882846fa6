#include "foundation/RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "foundation/BlockHelpers.h"
#include "foundation/Clock.h"
#include "foundation/Date.h"
#include "support/ManualClock.h"

namespace {

struct Fired {
  std::string name;
  double at;  // seconds after the test's start, read inside the block
};

class RunLoopTest : public ::testing::Test {
 protected:
  ManualClock clock;
  double start = Clock::now();
  std::vector<Fired> fired;
  RunLoop& loop = RunLoop::main();

  std::function<void()> record(const std::string& name) {
    return [this, name] { fired.push_back({name, Clock::now() - start}); };
  }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& f : fired) out.push_back(f.name);
    return out;
  }
};

TEST_F(RunLoopTest, TimersFireInTimeOrderEachAtItsOwnTime) {
  loop.addTimer(3, record("c"));
  loop.addTimer(1, record("a"));
  loop.addTimer(2.5, record("b"));
  loop.addTimer(7, record("late"));
  clock.advance(0.999);
  EXPECT_TRUE(fired.empty());
  clock.advance(4.001);
  ASSERT_EQ(names(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_DOUBLE_EQ(fired[0].at, 1);
  EXPECT_DOUBLE_EQ(fired[1].at, 2.5);
  EXPECT_DOUBLE_EQ(fired[2].at, 3);
  EXPECT_DOUBLE_EQ(Clock::now() - start, 5);  // the clock ends at the target, not the last timer
  EXPECT_NEAR(loop.secondsToNextTimer(), 2, 1e-9);
  clock.advance(2);
  EXPECT_EQ(fired.back().name, "late");
  EXPECT_LT(loop.secondsToNextTimer(), 0);
}

TEST_F(RunLoopTest, EqualTimesFireInTheOrderTheyWereAdded) {
  for (const char* n : {"1", "2", "3", "4"}) loop.addTimer(2, record(n));
  loop.addTimer(0, record("now"));
  clock.advance(2);
  EXPECT_EQ(names(), (std::vector<std::string>{"now", "1", "2", "3", "4"}));
}

TEST_F(RunLoopTest, ATimerAddedByAnotherFiresInTheSameAdvanceAtItsTime) {
  loop.addTimer(1, [this] {
    record("first")();
    loop.addTimer(2, record("chained"));
  });
  clock.advance(10);
  ASSERT_EQ(names(), (std::vector<std::string>{"first", "chained"}));
  EXPECT_DOUBLE_EQ(fired[1].at, 3);
}

TEST_F(RunLoopTest, CancelledTimersNeverFire) {
  auto a = loop.addTimer(1, record("a"));
  auto b = loop.addTimer(2, record("b"));
  // "x" cancels "y", which falls due in the same turn.
  RunLoop::TimerId y = 0;
  loop.addTimer(3, [&] {
    record("x")();
    loop.cancelTimer(y);
  });
  y = loop.addTimer(3, record("y"));
  EXPECT_TRUE(loop.hasTimer(a));
  loop.cancelTimer(a);
  loop.cancelTimer(a);      // twice is harmless
  loop.cancelTimer(99999);  // unknown too
  EXPECT_FALSE(loop.hasTimer(a));
  clock.advance(5);
  EXPECT_EQ(names(), (std::vector<std::string>{"b", "x"}));
  EXPECT_FALSE(loop.hasTimer(b));  // a one-shot timer is gone once it fired
}

TEST_F(RunLoopTest, RepeatingTimersFireAtEveryIntervalUntilCancelled) {
  RunLoop::TimerId id = loop.addTimer(2, record("tick"), 1.5);
  clock.advance(6);
  ASSERT_EQ(fired.size(), 3u);  // at 2, 3.5 and 5
  EXPECT_DOUBLE_EQ(fired[0].at, 2);
  EXPECT_DOUBLE_EQ(fired[1].at, 3.5);
  EXPECT_DOUBLE_EQ(fired[2].at, 5);
  EXPECT_TRUE(loop.hasTimer(id));
  loop.cancelTimer(id);
  clock.advance(10);
  EXPECT_EQ(fired.size(), 3u);

  // When the loop could not turn for a while, the missed fires are skipped and the
  // timer keeps its rhythm.
  fired.clear();
  RunLoop::TimerId busy = loop.addTimer(1, record("busy"), 1);
  Clock::advanceBy(5.5);  // the clock moves while the loop is held up
  loop.runOnce();
  EXPECT_EQ(fired.size(), 1u);
  EXPECT_NEAR(loop.secondsToNextTimer(), 0.5, 1e-9);
  loop.cancelTimer(busy);

  // A repeating timer may cancel itself from its own block.
  int count = 0;
  RunLoop::TimerId self = 0;
  self = loop.addTimer(1, [&] {
    if (++count == 2) loop.cancelTimer(self);
  }, 1);
  clock.advance(10);
  EXPECT_EQ(count, 2);
  EXPECT_FALSE(loop.hasTimer(self));
}

TEST_F(RunLoopTest, AdvanceWithoutTimersMovesTheClockAndDateNow) {
  Date before = Date::now();
  clock.advance(3600);
  EXPECT_DOUBLE_EQ(Clock::now() - start, 3600);
  EXPECT_NEAR(Date::now().timeIntervalSinceDate(before), 3600, 1e-6);
  // runUntilIdle never moves a manual clock.
  loop.addTimer(1, record("t"));
  loop.runUntilIdle();
  EXPECT_TRUE(fired.empty());
  EXPECT_DOUBLE_EQ(Clock::now() - start, 3600);
}

TEST_F(RunLoopTest, BlocksPostedFromAnotherThreadRunOnTheMainThreadInOrder) {
  std::vector<int> order;
  std::atomic<bool> allOnMain{true};
  std::thread producer([&] {
    EXPECT_FALSE(RunLoop::isMainThread());
    for (int i = 0; i < 200; ++i)
      loop.post([&, i] {
        if (!RunLoop::isMainThread()) allOnMain = false;
        order.push_back(i);
      });
  });
  EXPECT_TRUE(loop.runUntil([&] { return order.size() == 200; }));
  producer.join();
  EXPECT_TRUE(allOnMain);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(order[i], i);
}

TEST_F(RunLoopTest, RunUntilWaitsForABackgroundThreadAndGivesUpAfterItsTimeOut) {
  std::atomic<bool> started{false};
  bool delivered = false;
  std::thread worker([&] {
    started = true;
    loop.post([&] { delivered = true; });
  });
  EXPECT_TRUE(loop.runUntil([&] { return delivered; }, 10));
  worker.join();
  EXPECT_TRUE(started);

  EXPECT_FALSE(loop.runUntil([] { return false; }, 0.05));
}

TEST_F(RunLoopTest, RunReturnsWhenStoppedFromAnotherThread) {
  bool ran = false;
  loop.post([&] { ran = true; });
  std::thread stopper([&] { loop.post([&] { loop.stop(); }); });
  loop.run();
  stopper.join();
  EXPECT_TRUE(ran);
}

TEST_F(RunLoopTest, PerformAfterCutsTheDelayToWholeSeconds) {
  performAfterWithBlock(2.7, record("after"));
  performAfterWithBlock(0.4, record("soon"));
  clock.advance(0);
  EXPECT_EQ(names(), (std::vector<std::string>{"soon"}));
  clock.advance(1.999);
  EXPECT_EQ(fired.size(), 1u);
  clock.advance(0.001);
  ASSERT_EQ(names(), (std::vector<std::string>{"soon", "after"}));
  EXPECT_DOUBLE_EQ(fired[1].at, 2);
}

TEST_F(RunLoopTest, PerformOnMainThreadRunsInlineOnMainAndQueuesFromElsewhere) {
  bool inline_ = false;
  performOnMainThread([&] { inline_ = true; });
  EXPECT_TRUE(inline_);

  std::atomic<bool> ranOnMain{false};
  std::atomic<bool> queued{false};
  std::thread worker([&] {
    performOnMainThread([&] { ranOnMain = RunLoop::isMainThread(); });
    queued = true;
  });
  worker.join();
  EXPECT_TRUE(queued);
  EXPECT_FALSE(ranOnMain);  // not yet: it waits for the loop's next turn
  loop.runUntilIdle();
  EXPECT_TRUE(ranOnMain);
}

TEST_F(RunLoopTest, ResetDropsQueuedBlocksAndTimers) {
  loop.post(record("posted"));
  auto id = loop.addTimer(1, record("timer"));
  loop.reset();
  clock.advance(5);
  EXPECT_TRUE(fired.empty());
  EXPECT_FALSE(loop.hasTimer(id));
}

}  // namespace
