// Item inserts, deletes and reloads of a collection: the cells that stay keep their
// views, the selection follows its item, and a change the data source does not match
// falls back to a reload, as tables do.
#include <gtest/gtest.h>

#include "LabelledCell.h"
#include "support/UIDriver.h"
#include "uikit/UICollectionView.h"
#include "uikit/UILabel.h"

namespace {
using Tile = LabelledCell;

class Reviews : public UIViewController, public UICollectionViewDataSource, public UICollectionViewDelegate {
 public:
  std::vector<std::string> items{"a", "b", "c", "d"};
  std::vector<std::string> asked;
  std::shared_ptr<UICollectionView> list;
  void viewDidLoad() override {
    UICollectionViewFlowLayout layout;
    layout.itemSize = {300, 50};
    layout.minimumLineSpacing = 0;
    list = std::make_shared<UICollectionView>(CGRect::make(0, 0, 300, 500), layout);
    list->registerClass<Tile>("cell");
    list->setDataSource(this);
    list->setCollectionDelegate(this);
    view()->addSubview(list);
  }
  long collectionViewNumberOfItemsInSection(UICollectionView&, long) override { return long(items.size()); }
  std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(UICollectionView& c,
                                                                             const NSIndexPath& p) override {
    auto cell = std::static_pointer_cast<Tile>(c.dequeueReusableCellWithReuseIdentifier("cell", p));
    cell->label->setText(items[size_t(p.item())]);
    asked.push_back(items[size_t(p.item())]);
    return cell;
  }
  UICollectionViewCell* cell(long item) { return list->cellForItemAtIndexPath({0, item}).get(); }
};

class CollectionViewUpdatesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui.show(screen);
    screen->asked.clear();
  }
  UIDriver ui;
  std::shared_ptr<Reviews> screen = std::make_shared<Reviews>();
};
}  // namespace

TEST_F(CollectionViewUpdatesTest, AnInsertedItemIsAskedForAndTheOthersMove) {
  UICollectionViewCell* b = screen->cell(1);
  screen->list->selectItemAtIndexPath({0, 2}, false);
  screen->items.insert(screen->items.begin() + 1, "new");
  screen->list->insertItemsAtIndexPaths({{0, 1}});
  EXPECT_EQ(screen->asked, (std::vector<std::string>{"new"})) << "only the new item is asked for";
  EXPECT_EQ(screen->cell(2), b) << "b kept its cell and moved down";
  EXPECT_EQ(screen->cell(2)->frame().minY(), 100);
  EXPECT_EQ(screen->list->indexPathsForSelectedItems(), (std::vector<NSIndexPath>{{0, 3}})) << "the selection follows c";
  EXPECT_EQ(screen->list->contentSize().height, 250);
  EXPECT_TRUE(ui.screenShows("  0.0: a\n  0.1: new\n  0.2: b\n  0.3: c\n  0.4: d\n"));
  EXPECT_EQ(screen->list->inconsistentUpdateCount(), 0u);
}

TEST_F(CollectionViewUpdatesTest, DeletesAndReloadsInOneBatch) {
  UICollectionViewCell* d = screen->cell(3);
  screen->list->selectItemAtIndexPath({0, 0}, false);
  bool completed = false;
  screen->list->performBatchUpdates(
      [&] {
        screen->items.erase(screen->items.begin());  // a goes
        screen->items[1] = "C";                      // c changes
        screen->list->deleteItemsAtIndexPaths({{0, 0}});
        screen->list->reloadItemsAtIndexPaths({{0, 2}});  // named as it was
        EXPECT_TRUE(screen->asked.empty()) << "nothing is applied inside the batch";
      },
      [&](bool finished) { completed = finished; });
  EXPECT_EQ(screen->asked, (std::vector<std::string>{"C"}));
  EXPECT_EQ(screen->cell(2), d);
  EXPECT_EQ(static_cast<Tile*>(screen->cell(1))->label->text(), "C") << "a reloaded item is asked again";
  EXPECT_TRUE(screen->list->indexPathsForSelectedItems().empty()) << "the deleted item's selection goes with it";
  EXPECT_FALSE(completed);
  ui.runUntilIdle();
  EXPECT_TRUE(completed);
  EXPECT_TRUE(ui.screenShows("collection: 3 items\n  0.0: b\n  0.1: C\n  0.2: d\n"));
}

TEST_F(CollectionViewUpdatesTest, ChangesTheDataSourceDoesNotMatchReloadEverything) {
  // The list grew by two but only one insert was announced.
  screen->items.push_back("e");
  screen->items.push_back("f");
  screen->list->insertItemsAtIndexPaths({{0, 4}});
  EXPECT_EQ(screen->list->inconsistentUpdateCount(), 1u);
  EXPECT_EQ(screen->list->numberOfItemsInSection(0), 6);
  EXPECT_TRUE(ui.screenShows("  0.5: f\n"));
  // Deleting an item that does not exist, or the same one twice.
  screen->items.pop_back();
  screen->list->deleteItemsAtIndexPaths({{0, 9}});
  EXPECT_EQ(screen->list->inconsistentUpdateCount(), 2u);
  screen->items.erase(screen->items.begin());
  screen->list->deleteItemsAtIndexPaths({{0, 0}, {0, 0}});
  EXPECT_EQ(screen->list->inconsistentUpdateCount(), 3u);
  EXPECT_TRUE(ui.screenShows("collection: 4 items\n  0.0: b\n"));
  // A section change always reloads, and is no inconsistency.
  screen->list->reloadSections({0});
  EXPECT_EQ(screen->list->inconsistentUpdateCount(), 3u);
}

TEST_F(CollectionViewUpdatesTest, ChangesBeforeTheFirstLayoutAreReadWithIt) {
  auto fresh = std::make_shared<Reviews>();
  fresh->loadViewIfNeeded();
  fresh->items.push_back("e");
  fresh->list->insertItemsAtIndexPaths({{0, 4}});
  EXPECT_EQ(fresh->list->numberOfItemsInSection(0), 5);
  EXPECT_EQ(fresh->list->inconsistentUpdateCount(), 0u);
}
