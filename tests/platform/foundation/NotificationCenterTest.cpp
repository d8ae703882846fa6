#include "foundation/NotificationCenter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "foundation/RunLoop.h"
#include "support/Latch.h"
#include "support/ManualClock.h"

namespace {

class NotificationCenterTest : public ::testing::Test {
 protected:
  ManualClock clock;  // a clean main loop
  NotificationCenter center;
  std::vector<std::string> calls;
  std::vector<NotificationToken> tokens;
};

TEST_F(NotificationCenterTest, MainQueueObserversHearAPostFromTheMainThreadAtOnceInRegistrationOrder) {
  tokens.push_back(center.addObserver("Changed", [&](const Notification& n) {
    calls.push_back("a:" + n.userInfo["key"].asString());
  }));
  tokens.push_back(center.addObserver("Changed", [&](const Notification&) { calls.push_back("b"); }));
  tokens.push_back(center.addObserver("Other", [&](const Notification&) { calls.push_back("other"); }));
  EXPECT_EQ(center.observerCount("Changed"), 2u);
  center.post("Changed", {}, Value::dict({{"key", "v"}}));
  EXPECT_EQ(calls, (std::vector<std::string>{"a:v", "b"}));  // before post returns
}

TEST_F(NotificationCenterTest, EachObserverIsToldWhereItAsked) {
  std::thread::id onMain, onPoster, onSerial;
  Latch serialHeard;
  auto serial = DispatchQueue::makeSerial("observer");
  tokens.push_back(center.addObserver("FromWorker", [&](const Notification&) { onMain = std::this_thread::get_id(); }));
  tokens.push_back(center.addObserver("FromWorker", NotificationCenter::kPostingThread,
                                      [&](const Notification&) { onPoster = std::this_thread::get_id(); }));
  tokens.push_back(center.addObserver("FromWorker", serial.get(), [&](const Notification&) {
    onSerial = std::this_thread::get_id();
    serialHeard.arrive();
  }));
  std::thread::id workerId;
  std::thread worker([&] {
    workerId = std::this_thread::get_id();
    center.post("FromWorker");  // returns without waiting for the main thread
  });
  worker.join();
  EXPECT_EQ(onPoster, workerId);
  EXPECT_EQ(onMain, std::thread::id()) << "queued for the main thread's next turn";
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(onMain, std::this_thread::get_id());
  ASSERT_TRUE(serialHeard.wait());
  EXPECT_NE(onSerial, workerId);
  EXPECT_NE(onSerial, onMain);
  tokens.clear();  // before the serial queue goes
}

TEST_F(NotificationCenterTest, DroppingATokenStopsDeliveryEvenOfWhatWasAlreadyQueued) {
  auto token = center.addObserver("Late", [&](const Notification&) { calls.push_back("late"); });
  std::thread([&] { center.post("Late"); }).join();
  token.invalidate();
  RunLoop::main().runUntilIdle();
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(center.observerCount("Late"), 0u);

  {
    auto scoped = center.addObserver("Scoped", [&](const Notification&) { calls.push_back("scoped"); });
    center.post("Scoped");
  }
  center.post("Scoped");
  EXPECT_EQ(calls, (std::vector<std::string>{"scoped"}));
}

TEST_F(NotificationCenterTest, AnObjectFilterOnlyLetsThatObjectThrough) {
  tokens.push_back(center.addObserver(
      "Updated", NotificationCenter::kPostingThread,
      [&](const Notification& n) { calls.push_back("a:" + n.object.asString()); }, Value("https://repo.one/")));
  tokens.push_back(center.addObserver("Updated", [&](const Notification& n) { calls.push_back("b:" + n.object.asString()); }));
  center.post("Updated", Value("https://repo.two/"));
  center.post("Updated", Value("https://repo.one/"));
  center.post("Updated");
  EXPECT_EQ(calls, (std::vector<std::string>{"b:https://repo.two/", "a:https://repo.one/", "b:https://repo.one/", "b:"}));
}

TEST_F(NotificationCenterTest, AnObserverRemovedDuringAPostIsNotCalled) {
  NotificationToken second, third;
  tokens.push_back(center.addObserver("Go", [&](const Notification&) {
    calls.push_back("first");
    second.invalidate();
    third = NotificationToken();
    // One added during the post waits for the next post.
    tokens.push_back(center.addObserver("Go", [&](const Notification&) { calls.push_back("late"); }));
  }));
  second = center.addObserver("Go", [&](const Notification&) { calls.push_back("second"); });
  third = center.addObserver("Go", [&](const Notification&) { calls.push_back("third"); });
  center.post("Go");
  EXPECT_EQ(calls, (std::vector<std::string>{"first"}));

  // An observer may also end its own observation while being told.
  calls.clear();
  NotificationToken self;
  self = center.addObserver("Once", [&](const Notification&) {
    calls.push_back("once");
    self.invalidate();
  });
  center.post("Once");
  center.post("Once");
  EXPECT_EQ(calls, (std::vector<std::string>{"once"}));
}

TEST_F(NotificationCenterTest, RemovalWaitsForADeliveryRunningOnAnotherThread) {
  Latch inside, release;
  std::atomic<bool> finished{false};
  auto token = center.addObserver("Slow", NotificationCenter::kPostingThread, [&](const Notification&) {
    inside.arrive();
    release.wait();
    finished = true;
  });
  std::thread poster([&] { center.post("Slow"); });
  ASSERT_TRUE(inside.wait());
  std::atomic<bool> removing{false};
  std::thread releaser([&] {
    while (!removing) std::this_thread::yield();
    release.arrive();
  });
  removing = true;
  token.invalidate();
  EXPECT_TRUE(finished) << "invalidate() returned while the block still ran";
  releaser.join();
  poster.join();
}

// The observer's state dies right after its token; a thread keeps posting meanwhile.
// Under the thread and address sanitizers this reports any delivery that outlives
// its removal.
TEST_F(NotificationCenterTest, ObserversRemovedWhileAnotherThreadPostsAreNeverCalledAfterwards) {
  std::atomic<bool> stop{false};
  std::atomic<long> posts{0};
  auto serial = DispatchQueue::makeSerial("observers");
  std::thread poster([&] {
    while (!stop) {
      center.post("Busy", Value(static_cast<long long>(posts++)));
    }
  });
  std::atomic<long> heard{0};
  for (int round = 0; round < 1000; ++round) {
    auto state = std::make_unique<std::vector<long>>();
    DispatchQueue* queue = round % 2 ? serial.get() : NotificationCenter::kPostingThread;
    auto token = center.addObserver("Busy", queue, [&heard, s = state.get()](const Notification& n) {
      s->push_back(n.object.asInt());
      ++heard;
    });
    // Let the poster reach the observer, then remove it while posts go on.
    for (long seen = posts; posts < seen + 2;) std::this_thread::yield();
    token.invalidate();
    state.reset();
  }
  stop = true;
  poster.join();
  serial.reset();  // runs what was queued: every delivery finds its token gone
  EXPECT_GT(heard.load(), 0);
  EXPECT_EQ(center.observerCount("Busy"), 0u);
}

TEST_F(NotificationCenterTest, PostOnMainThreadAndWaitBlocksTheCallerUntilDelivered) {
  std::atomic<bool> deliveredOnMain{false};
  std::atomic<bool> returned{false};
  tokens.push_back(center.addObserver("Done", [&](const Notification& n) {
    EXPECT_EQ(n.userInfo["count"].asInt(), 3);
    EXPECT_FALSE(returned.load());  // the poster is still waiting
    deliveredOnMain = RunLoop::isMainThread();
  }));
  std::thread worker([&] {
    Notification n;
    n.name = "Done";
    n.userInfo = Value::dict({{"count", 3}});
    n.error = makeError(NSCocoaErrorDomain, 4, "gone");
    center.postOnMainThreadAndWait(n);
    returned = true;
  });
  EXPECT_TRUE(RunLoop::main().runUntil([&] { return returned.load(); }));
  worker.join();
  EXPECT_TRUE(deliveredOnMain);

  // On the main thread it is delivered inline.
  bool inlineDelivered = false;
  tokens.push_back(center.addObserver("Inline", [&](const Notification&) { inlineDelivered = true; }));
  center.postOnMainThreadAndWait(Notification{"Inline", {}, {}, nullptr, nullptr});
  EXPECT_TRUE(inlineDelivered);
}

TEST_F(NotificationCenterTest, PostOnMainThreadAsyncWaitsForTheNextTurnAndKeepsTheError) {
  std::string domain, description;
  tokens.push_back(center.addObserver("Failed", [&](const Notification& n) {
    domain = n.error ? n.error->domain : "";
    description = n.error ? n.error->localizedDescription() : "";
  }));
  center.postOnMainThreadAsync(Notification{"Failed", {}, {}, nullptr, makeError(NSURLErrorDomain, -1001)});
  EXPECT_TRUE(domain.empty());
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(domain, NSURLErrorDomain);
  EXPECT_EQ(description, "The operation couldn\u2019t be completed. (NSURLErrorDomain error -1001.)");
  EXPECT_EQ(makeError(NSCocoaErrorDomain, 4, "gone")->localizedDescription(), "gone");
}

TEST(NotificationCenterDefault, IsOneSharedCenter) {
  EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
  int got = 0;
  auto token = NotificationCenter::defaultCenter().addObserver("NotificationCenterTestPing",
                                                               [&](const Notification&) { ++got; });
  NotificationCenter::defaultCenter().post("NotificationCenterTestPing");
  token.invalidate();
  NotificationCenter::defaultCenter().post("NotificationCenterTestPing");
  EXPECT_EQ(got, 1);
}

}  // namespace
