#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "StoreTestSchema.h"
#include "support/Latch.h"

using storetest::TempDatabase;

namespace {

TEST(StoreConcurrency, ReadersDoNotWaitForAnOpenWriteTransaction) {
  TempDatabase t;
  t.addItem("old", {});
  Latch inside, release;
  std::thread writer([&] {
    t.db->write([&] {
      t.db->add(t.item("new"));
      EXPECT_EQ(t.db->objects("Item").count(), 2u);  // the writer sees its own changes
      inside.arrive();
      release.wait();
    });
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
        t.db->write([&] {
          auto c = *t.db->objectForPrimaryKey("Item", "counter");
          t.db->setValue(c, "count", *c.getInt("count") + 1);
        });
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
  auto again = store::Database::open(storetest::configuration(t.path));
  EXPECT_EQ(again.get(), t.db.get());
  store::Database::setDefaultConfiguration(storetest::configuration(t.path));
  EXPECT_EQ(store::Database::defaultDatabase().get(), t.db.get());
  store::Database::setDefaultConfiguration({});
}

}  // namespace
