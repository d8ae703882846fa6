#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "StoreTestSchema.h"
#include "support/Latch.h"
#include "support/Written.h"

using storetest::TempDatabase;

namespace {

TEST(StoreConcurrency, ReadersDoNotWaitForAnOpenWriteTransaction) {
  TempDatabase t;
  t.addItem("old", {});
  Latch inside, release;
  std::thread writer([&] {
    written(t.db->write([&] {
      t.db->add(t.item("new"));
      EXPECT_EQ(t.db->objects("Item").count(), 2u);  // the writer sees its own changes
      inside.arrive();
      release.wait();
    }));
  });
  ASSERT_TRUE(inside.wait());
  // While the writer holds its transaction, reads on this thread answer at once with
  // the committed state.
  EXPECT_FALSE(t.db->inWriteTransaction());
  EXPECT_EQ(t.db->objects("Item").count(), 1u);
  EXPECT_FALSE(t.db->objectForPrimaryKey("Item", "new"));
  release.arrive();
  writer.join();
  EXPECT_EQ(t.db->objects("Item").count(), 2u);
}

TEST(StoreConcurrency, WritersTakeTurnsAndLoseNoUpdate) {
  TempDatabase t;
  t.addItem("counter", {{"count", 0}});
  constexpr int kThreads = 6, kRounds = 40;
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&] {
      for (int r = 0; r < kRounds; ++r) {
        written(t.db->write([&] {
          auto c = *t.db->objectForPrimaryKey("Item", "counter");
          t.db->setValue(c, "count", *c.getInt("count") + 1);
        }));
        // Reads in between, from the pool of connections.
        EXPECT_TRUE(t.db->objectForPrimaryKey("Item", "counter"));
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(t.db->objectForPrimaryKey("Item", "counter")->getInt("count"), kThreads * kRounds);
}

TEST(StoreConcurrency, TheSameFileOpenedTwiceIsOneDatabase) {
  TempDatabase t;
  auto again = store::Database::open(storetest::configuration(t.path)).value();
  EXPECT_EQ(again.get(), t.db.get());
  store::Database::setDefaultConfiguration(storetest::configuration(t.path));
  EXPECT_EQ(store::Database::defaultDatabase().get(), t.db.get());
  store::Database::setDefaultConfiguration({});
}

TEST(StoreConcurrency, ARowAWorkerDeletedReadsAsAbsentFromAnEarlierResult) {
  TempDatabase t;
  for (const char* key : {"a", "b", "c"}) t.addItem(key, {});
  auto items = t.db->objects("Item").sorted("key");
  ASSERT_EQ(items.count(), 3u);  // the snapshot is taken here
  std::thread([&] { written(t.db->write([&] { t.db->deleteObject(*t.db->objectForPrimaryKey("Item", "b")); })); }).join();
  EXPECT_EQ(items.count(), 3u) << "the snapshot keeps its rows until it is taken again";
  EXPECT_EQ(items.at(0)->getString("key"), "a");
  EXPECT_FALSE(items.at(1)) << "gone since the snapshot";
  EXPECT_EQ(items[2]->getString("key"), "c");
  EXPECT_EQ(items.objects().size(), 2u);
  EXPECT_EQ(t.keys(items), (std::vector<std::string>{"a", "c"}));
  EXPECT_FALSE(items.error());
  // A position past the end is the caller's mistake.
  EXPECT_THROW(items.at(3), std::out_of_range);
  EXPECT_EQ(items.reload().count(), 2u);
}

}  // namespace
