#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "foundation/RunLoop.h"
#include "StoreTestSchema.h"
#include "support/Latch.h"
#include "support/Written.h"

using storetest::TempDatabase;

namespace {

struct Delivery {
  std::vector<std::string> keys;
  bool initial = false;
  store::CollectionChange change;
  bool onMain = false;
};

struct Notifications : ::testing::Test {
  TempDatabase t;
  std::vector<Delivery> deliveries;
  store::NotificationToken token;

  void SetUp() override { RunLoop::main().reset(); }
  void TearDown() override { RunLoop::main().reset(); }

  void observe(const store::Results& results) {
    token = results.observe([this](const store::Results& r, const store::CollectionChange* change, const ErrorRef& error) {
      ASSERT_FALSE(error);
      Delivery d;
      d.keys = t.keys(r);
      d.initial = change == nullptr;
      if (change) d.change = *change;
      d.onMain = RunLoop::isMainThread();
      deliveries.push_back(d);
    });
  }
  void waitFor(size_t count) {
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return deliveries.size() >= count; }, 10)) << deliveries.size();
  }
};

TEST_F(Notifications, AResultIsDeliveredFirstAsItIsThenWithItsChanges) {
  t.addItem("b", {{"count", 1}});
  t.addItem("d", {{"count", 1}});
  observe(t.db->objects("Item", "count = 1").sorted("key"));
  waitFor(1);
  EXPECT_TRUE(deliveries[0].initial);
  EXPECT_EQ(deliveries[0].keys, (std::vector<std::string>{"b", "d"}));

  // Insert "a" and "c", change "d", drop "b" out of the result: one commit, one delivery.
  written(t.db->write([&] {
    t.db->add(t.item("a"));
    auto c = t.item("c");
    c.set("count", 1);
    t.db->add(c);
    auto a = *t.db->objectForPrimaryKey("Item", "a");
    t.db->setValue(a, "count", 1);
    t.db->setValue(*t.db->objectForPrimaryKey("Item", "d"), "name", "changed");
    t.db->setValue(*t.db->objectForPrimaryKey("Item", "b"), "count", 2);
  }));
  waitFor(2);
  const Delivery& d = deliveries[1];
  EXPECT_TRUE(d.onMain);
  EXPECT_EQ(d.keys, (std::vector<std::string>{"a", "c", "d"}));
  EXPECT_EQ(d.change.deletions, (std::vector<size_t>{0}));          // b, old position 0
  EXPECT_EQ(d.change.insertions, (std::vector<size_t>{0, 1}));      // a, c
  EXPECT_EQ(d.change.modifications, (std::vector<size_t>{1}));      // d, old position 1
  EXPECT_EQ(d.change.modificationsNew, (std::vector<size_t>{2}));   // d, new position 2

  // A write that changes nothing visible to the result is not delivered; writing the
  // same values again is no change at all.
  written(t.db->write([&] {
    t.db->add(t.item("z"));
    t.db->setValue(*t.db->objectForPrimaryKey("Item", "d"), "name", "changed");
  }));
  written(t.db->write([&] { t.db->setValue(*t.db->objectForPrimaryKey("Item", "a"), "name", "last"); }));
  waitFor(3);
  EXPECT_EQ(deliveries[2].change.modifications, (std::vector<size_t>{0}));
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(deliveries.size(), 3u);

  token.invalidate();
  written(t.db->write([&] { t.db->deleteAllObjects("Item"); }));
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(deliveries.size(), 3u);
}

TEST_F(Notifications, CommitsFromAnotherThreadArriveOnTheMainThread) {
  observe(t.db->objects("Item"));
  waitFor(1);
  std::thread writer([&] {
    for (int i = 0; i < 5; ++i) written(t.db->write([&] { t.db->add(t.item("k" + std::to_string(i))); }));
  });
  writer.join();
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return !deliveries.empty() && deliveries.back().keys.size() == 5; }));
  size_t inserted = 0;
  for (size_t i = 1; i < deliveries.size(); ++i) {
    EXPECT_TRUE(deliveries[i].onMain);
    inserted += deliveries[i].change.insertions.size();
  }
  EXPECT_EQ(inserted, 5u);
}

TEST_F(Notifications, ClassObserversSeeRowsAndCancelledWritesSayNothing) {
  std::vector<store::ClassChange> changes;
  int commits = 0;
  auto classToken = t.db->observeClass("Item", [&](const store::ClassChange& c) { changes.push_back(c); });
  auto commitToken = t.db->observe([&] { ++commits; });
  t.addItem("a", {});
  t.addItem("b", {});
  written(t.db->write([&] {
    t.db->add(t.item("never"));
    t.db->cancelWrite();
  }));
  // Commits that land before the main thread turns may be told together.
  auto inserted = [&] {
    size_t n = 0;
    for (const auto& c : changes) n += c.inserted.size();
    return n;
  };
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return inserted() == 2; }));
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(inserted(), 2u);
  EXPECT_GE(commits, 1);
  changes.clear();
  int64_t aId = t.db->objectForPrimaryKey("Item", "a")->objectId();
  written(t.db->write([&] {
    t.db->setValue(*t.db->objectForPrimaryKey("Item", "a"), "count", 5);
    t.db->deleteObject(*t.db->objectForPrimaryKey("Item", "b"));
    t.db->add(t.item("c"));
    t.db->deleteObject(*t.db->objectForPrimaryKey("Item", "c"));  // added and gone: nothing
  }));
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return !changes.empty(); }));
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].modified, (std::vector<int64_t>{aId}));
  EXPECT_EQ(changes[0].deleted.size(), 1u);
  EXPECT_TRUE(changes[0].inserted.empty());
}

TEST_F(Notifications, AnObserverMayAskForAnotherQueue) {
  auto queue = DispatchQueue::makeSerial("observer");
  Latch initial, changed;
  std::atomic<bool> onQueue{true};
  std::vector<std::string> keys;
  store::NotificationToken onItsQueue = t.db->objects("Item").sorted("key").observe(
      [&](const store::Results& r, const store::CollectionChange* change, const ErrorRef&) {
        onQueue = onQueue && queue->isCurrent();
        keys = t.keys(r);
        (change ? changed : initial).arrive();
      },
      queue.get());
  ASSERT_TRUE(initial.wait());
  t.addItem("a", {});
  ASSERT_TRUE(changed.wait());
  EXPECT_TRUE(onQueue);
  EXPECT_EQ(keys, (std::vector<std::string>{"a"}));
  onItsQueue.invalidate();  // before the queue goes
}

// Each round's observer state dies right after its token while a worker keeps
// committing; the store's own thread tells it. Under the thread and address
// sanitizers this reports a delivery that outlives its removal.
TEST_F(Notifications, AnObserverRemovedWhileCommitsAreToldIsNeverCalledAfterwards) {
  std::atomic<bool> stop{false};
  std::atomic<int> commits{0};
  std::thread writer([&] {
    for (int i = 0; !stop; ++i) {
      written(t.db->write([&] { t.db->add(t.item("k" + std::to_string(i))); }));
      ++commits;
    }
  });
  std::atomic<int> heard{0};
  for (int round = 0; round < 100; ++round) {
    auto seen = std::make_unique<std::vector<size_t>>();
    auto token = t.db->objects("Item").observe(
        [&heard, s = seen.get()](const store::Results& r, const store::CollectionChange*, const ErrorRef&) {
          s->push_back(r.count());
          ++heard;
        },
        nullptr);
    for (int seenCommits = commits; commits < seenCommits + 2;) std::this_thread::yield();
    token.invalidate();
    seen.reset();
  }
  stop = true;
  writer.join();
  EXPECT_GT(heard.load(), 0);
}

TEST(CollectionDiff, MovesAreADeletionAndAnInsertion) {
  auto c = store::diffResults({1, 2, 3, 4}, {2, 3, 1, 5, 4}, {4, 2});
  EXPECT_EQ(c.deletions, (std::vector<size_t>{0}));       // 1 moved from position 0
  EXPECT_EQ(c.insertions, (std::vector<size_t>{2, 3}));   // 1 at 2, 5 new at 3
  EXPECT_EQ(c.modifications, (std::vector<size_t>{1, 3}));
  EXPECT_EQ(c.modificationsNew, (std::vector<size_t>{0, 4}));
  EXPECT_TRUE(store::diffResults({7, 8}, {7, 8}, {}).empty());
}

}  // namespace
