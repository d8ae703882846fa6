// A package list bound to live query results, as the list screens bind theirs: the
// table applies each delivered change to its rows while a worker keeps deleting,
// inserting and renaming packages. Nothing raises, the table's row changes always
// match its data source, and at the end the list shows exactly what the store holds.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <set>
#include <thread>

#include "database/KVRPackage.h"
#include "foundation/RunLoop.h"
#include "store/TypedResults.h"
#include "support/RecordsDatabase.h"
#include "support/Written.h"
#include "uikit/UITableView.h"

namespace {

class PackageList : public UITableViewDataSource {
 public:
  store::TypedResults<KVRPackage> packages;
  size_t absentReads = 0;

  long tableViewNumberOfRowsInSection(UITableView&, long) override { return long(packages.count()); }
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override {
    auto cell = table.dequeueReusableCellWithIdentifier("cell", path);
    // A package a worker deleted since the results were taken reads as absent; its row
    // goes with the change notice that is on its way.
    auto package = packages.at(size_t(path.row));
    if (!package) ++absentReads;
    cell->textLabel()->setText(package ? package->name().value_or("") : "");
    return cell;
  }
};

std::vector<NSIndexPath> rows(const std::vector<size_t>& positions) {
  std::vector<NSIndexPath> out;
  for (size_t p : positions) out.push_back({0, long(p)});
  return out;
}

struct LiveResultsList : RecordsDatabase {
  void addPackage(const std::string& identifier, const std::string& name) {
    KVRPackage p;
    p.setIdentifier(identifier);
    p.setName(name);
    db->add(p.toObject());
  }
};

TEST_F(LiveResultsList, StaysEqualToTheStoreWhileAWorkerDeletesAndInsertsRows) {
  RunLoop::main().reset();
  constexpr int kInitial = 300, kCycles = 2000;
  std::vector<std::string> live;
  written(db->write([&] {
    for (int i = 0; i < kInitial; ++i) {
      live.push_back("pkg." + std::to_string(i));
      addPackage(live.back(), "Package " + std::to_string(i * 7919 % 1000));
    }
  }));

  auto table = std::make_shared<UITableView>(CGRect::make(0, 0, 375, 700));
  table->registerClass<UITableViewCell>("cell");
  PackageList list;
  table->setDataSource(&list);
  size_t deliveries = 0;
  auto query = store::allObjects<KVRPackage>(*db).sorted("name");
  auto token = query.observe([&](const store::TypedResults<KVRPackage>& results, const store::CollectionChange* change,
                                 const ErrorRef& error) {
    ASSERT_FALSE(error);
    ASSERT_TRUE(RunLoop::isMainThread());
    ++deliveries;
    list.packages = results;
    if (!change) {
      table->reloadData();
      return;
    }
    table->performBatchUpdates([&] {
      table->deleteRowsAtIndexPaths(rows(change->deletions), UITableViewRowAnimationAutomatic);
      table->insertRowsAtIndexPaths(rows(change->insertions), UITableViewRowAnimationAutomatic);
      table->reloadRowsAtIndexPaths(rows(change->modifications), UITableViewRowAnimationAutomatic);
    });
  });

  std::atomic<bool> done{false};
  std::thread worker([&] {
    std::mt19937 random(42);
    for (int cycle = 0; cycle < kCycles; ++cycle) {
      written(db->write([&] {
        size_t victim = random() % live.size();
        db->deleteObject(*db->objectForPrimaryKey(KVRPackage::className(), Value(live[victim])));
        live[victim] = "new." + std::to_string(cycle);
        addPackage(live[victim], "Package " + std::to_string(random() % 1000));
        if (cycle % 3 == 0) {
          auto renamed = db->objectForPrimaryKey(KVRPackage::className(), Value(live[random() % live.size()]));
          db->setValue(*renamed, "name", Value("Package " + std::to_string(random() % 1000)));
        }
      }));
    }
    done = true;
  });

  // Meanwhile the list is used: rows are read as they scroll into view.
  double offset = 0;
  bool finished = RunLoop::main().runUntil(
      [&] {
        offset = offset > 4000 ? 0 : offset + 97;
        table->setContentOffset({0, offset}, false);
        return done.load();
      },
      120);
  worker.join();
  ASSERT_TRUE(finished);

  auto store = store::allObjects<KVRPackage>(*db).sorted("name");
  ASSERT_TRUE(RunLoop::main().runUntil(
      [&] { return list.packages.results().objectIds() == store.results().objectIds(); }, 30))
      << "the last change never arrived";
  RunLoop::main().runUntilIdle();

  EXPECT_GT(deliveries, 1u);
  EXPECT_EQ(table->inconsistentUpdateCount(), 0u);
  ASSERT_EQ(table->numberOfRowsInSection(0), long(store.count()));
  // The rows on screen were kept, moved and reloaded through the changes; they show the
  // records now at their places, and so do rows scrolled to afresh.
  for (double top : {-1.0, 0.0, 1000.0}) {
    if (top >= 0) table->setContentOffset({0, top}, false);
    for (const auto& path : table->indexPathsForVisibleRows()) {
      EXPECT_EQ(table->cellForRowAtIndexPath(path)->textLabel()->text(), store[size_t(path.row)]->name().value_or(""))
          << "row " << path.row;
    }
  }
  token.invalidate();
}

}  // namespace
