#include "foundation/NotificationCenter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "foundation/RunLoop.h"
#include "support/ManualClock.h"

namespace {

class NotificationCenterTest : public ::testing::Test {
 protected:
  ManualClock clock;  // a clean main loop
  NotificationCenter center;
  int ownerA = 0, ownerB = 0;  // addresses stand for observing objects
  std::vector<std::string> calls;
};

TEST_F(NotificationCenterTest, DeliversSynchronouslyOnThePostingThreadInRegistrationOrder) {
  center.addObserver(&ownerA, "Changed", [&](const Notification& n) {
    calls.push_back("a:" + n.userInfo["key"].asString());
  });
  center.addObserver(&ownerB, "Changed", [&](const Notification&) { calls.push_back("b"); });
  center.addObserver(&ownerB, "Other", [&](const Notification&) { calls.push_back("other"); });
  center.post("Changed", {}, Value::dict({{"key", "v"}}));
  EXPECT_EQ(calls, (std::vector<std::string>{"a:v", "b"}));  // before post returns

  std::thread::id seen;
  center.addObserver(&ownerA, "FromWorker", [&](const Notification&) { seen = std::this_thread::get_id(); });
  std::thread::id workerId;
  std::thread worker([&] {
    workerId = std::this_thread::get_id();
    center.post("FromWorker");
  });
  worker.join();
  EXPECT_EQ(seen, workerId);
}

TEST_F(NotificationCenterTest, RemovingAnOwnerDropsAllItsRegistrations) {
  center.addObserver(&ownerA, "One", [&](const Notification&) { calls.push_back("a1"); });
  center.addObserver(&ownerA, "Two", [&](const Notification&) { calls.push_back("a2"); });
  center.addObserver(&ownerA, "Two", [&](const Notification&) { calls.push_back("a2bis"); });
  center.addObserver(&ownerB, "Two", [&](const Notification&) { calls.push_back("b2"); });
  EXPECT_EQ(center.observerCount(&ownerA), 3u);
  center.removeObserver(&ownerA, "Two");
  EXPECT_EQ(center.observerCount(&ownerA), 1u);
  center.post("Two");
  EXPECT_EQ(calls, (std::vector<std::string>{"b2"}));
  center.removeObserver(static_cast<const void*>(&ownerA));
  EXPECT_EQ(center.observerCount(&ownerA), 0u);
  center.post("One");
  EXPECT_EQ(calls, (std::vector<std::string>{"b2"}));
  EXPECT_EQ(center.observerCount(&ownerB), 1u);

  auto token = center.addObserver(&ownerB, "Three", [&](const Notification&) { calls.push_back("b3"); });
  center.removeObserver(token);
  center.post("Three");
  EXPECT_EQ(center.observerCount(&ownerB), 1u);
  EXPECT_EQ(calls.size(), 1u);
}

TEST_F(NotificationCenterTest, AnObjectFilterOnlyLetsThatObjectThrough) {
  center.addObserver(&ownerA, "Updated", [&](const Notification& n) { calls.push_back("a:" + n.object.asString()); },
                     Value("https://repo.one/"));
  center.addObserver(&ownerB, "Updated", [&](const Notification& n) { calls.push_back("b:" + n.object.asString()); });
  center.post("Updated", Value("https://repo.two/"));
  center.post("Updated", Value("https://repo.one/"));
  center.post("Updated");
  EXPECT_EQ(calls, (std::vector<std::string>{"b:https://repo.two/", "a:https://repo.one/", "b:https://repo.one/", "b:"}));
}

TEST_F(NotificationCenterTest, AnObserverRemovedDuringAPostIsNotCalled) {
  NotificationCenter::Token second = 0;
  center.addObserver(&ownerA, "Go", [&](const Notification&) {
    calls.push_back("first");
    center.removeObserver(second);
    center.removeObserver(static_cast<const void*>(&ownerB));
    // One added during the post waits for the next post.
    center.addObserver(&ownerA, "Go", [&](const Notification&) { calls.push_back("late"); });
  });
  second = center.addObserver(&ownerA, "Go", [&](const Notification&) { calls.push_back("second"); });
  center.addObserver(&ownerB, "Go", [&](const Notification&) { calls.push_back("third"); });
  center.post("Go");
  EXPECT_EQ(calls, (std::vector<std::string>{"first"}));

  // An observer may also remove itself while being called.
  calls.clear();
  NotificationCenter::Token self = 0;
  self = center.addObserver(&ownerB, "Once", [&](const Notification&) {
    calls.push_back("once");
    center.removeObserver(self);
  });
  center.post("Once");
  center.post("Once");
  EXPECT_EQ(calls, (std::vector<std::string>{"once"}));
}

TEST_F(NotificationCenterTest, PostOnMainThreadAndWaitBlocksTheCallerUntilDelivered) {
  std::atomic<bool> deliveredOnMain{false};
  std::atomic<bool> returned{false};
  center.addObserver(&ownerA, "Done", [&](const Notification& n) {
    EXPECT_EQ(n.userInfo["count"].asInt(), 3);
    EXPECT_FALSE(returned.load());  // the poster is still waiting
    deliveredOnMain = RunLoop::isMainThread();
  });
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
  center.addObserver(&ownerB, "Inline", [&](const Notification&) { inlineDelivered = true; });
  center.postOnMainThreadAndWait(Notification{"Inline", {}, {}, nullptr, nullptr});
  EXPECT_TRUE(inlineDelivered);
}

TEST_F(NotificationCenterTest, PostOnMainThreadAsyncWaitsForTheNextTurnAndKeepsTheError) {
  std::string domain, description;
  center.addObserver(&ownerA, "Failed", [&](const Notification& n) {
    domain = n.error ? n.error->domain : "";
    description = n.error ? n.error->localizedDescription() : "";
  });
  center.postOnMainThreadAsync(Notification{"Failed", {}, {}, nullptr, makeError(NSURLErrorDomain, -1001)});
  EXPECT_TRUE(domain.empty());
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(domain, NSURLErrorDomain);
  EXPECT_EQ(description, "The operation couldn\u2019t be completed. (NSURLErrorDomain error -1001.)");
  EXPECT_EQ(makeError(NSCocoaErrorDomain, 4, "gone")->localizedDescription(), "gone");
}

TEST(NotificationCenterDefault, IsOneSharedCenter) {
  EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
  int owner = 0;
  int got = 0;
  NotificationCenter::defaultCenter().addObserver(&owner, "NotificationCenterTestPing",
                                                  [&](const Notification&) { ++got; });
  NotificationCenter::defaultCenter().post("NotificationCenterTestPing");
  NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(&owner));
  NotificationCenter::defaultCenter().post("NotificationCenterTestPing");
  EXPECT_EQ(got, 1);
}

}  // namespace
