// A collection's items from its flow layout, cells from the reuse pool, and selection.
#include <gtest/gtest.h>

#include "support/UIDriver.h"
#include "uikit/UICollectionView.h"
#include "uikit/UILabel.h"

namespace {
class Tile : public UICollectionViewCell {
 public:
  Tile() {
    ++made;
    label = std::make_shared<UILabel>();
    contentView()->addSubview(label);
  }
  void prepareForReuse() override { ++prepared; }
  static inline int made = 0;
  int prepared = 0;
  std::shared_ptr<UILabel> label;
};

class Tiles : public UIViewController, public UICollectionViewDataSource, public UICollectionViewDelegate {
 public:
  std::shared_ptr<UICollectionView> grid;
  std::vector<long> chosen;
  void viewDidLoad() override {
    UICollectionViewFlowLayout layout;
    layout.itemSize = {100, 100};
    layout.minimumLineSpacing = 10;
    layout.minimumInteritemSpacing = 10;
    grid = std::make_shared<UICollectionView>(CGRect::make(0, 0, 320, 400), layout);
    grid->registerClass<Tile>("tile");
    grid->setDataSource(this);
    grid->setCollectionDelegate(this);
    view()->addSubview(grid);
  }
  long collectionViewNumberOfItemsInSection(UICollectionView&, long) override { return 60; }
  std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(UICollectionView& c,
                                                                             const NSIndexPath& p) override {
    auto cell = std::static_pointer_cast<Tile>(c.dequeueReusableCellWithReuseIdentifier("tile", p));
    cell->label->setText("Tile " + std::to_string(p.item()));
    return cell;
  }
  void collectionViewDidSelectItemAtIndexPath(UICollectionView&, const NSIndexPath& p) override { chosen.push_back(p.item()); }
};

class CollectionViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Tile::made = 0;
    ui.show(screen);
  }
  UIDriver ui;
  std::shared_ptr<Tiles> screen = std::make_shared<Tiles>();
};

TEST_F(CollectionViewTest, ItemsFlowInRowsAndOnlyTheViewportHasCells) {
  // Three 100-point items fit in 320 points with 10 between; rows are 110 points apart.
  EXPECT_EQ(screen->grid->frameForItemAtIndexPath({0, 4}), CGRect::make(110, 110, 100, 100));
  EXPECT_EQ(screen->grid->contentSize().height, 20 * 100 + 19 * 10);
  // 400 points show rows 0 to 3 (y 0 to 430): twelve items.
  EXPECT_EQ(screen->grid->indexPathsForVisibleItems().size(), 12u);
  EXPECT_EQ(Tile::made, 12);
  EXPECT_TRUE(ui.screenShows("collection: 60 items\n  0.0: Tile 0\n"));
}

TEST_F(CollectionViewTest, ScrollingReusesCellsAndTappingSelects) {
  std::set<UICollectionViewCell*> first;
  for (auto& c : screen->grid->visibleCells()) first.insert(c.get());
  screen->grid->scrollToItemAtIndexPath({0, 45}, UICollectionViewScrollPositionNone, false);
  ui.runUntilIdle();
  EXPECT_EQ(Tile::made, 12) << "the cells that left came back from the pool";
  for (auto& c : screen->grid->visibleCells()) {
    EXPECT_TRUE(first.count(c.get()));
    EXPECT_EQ(static_cast<Tile*>(c.get())->prepared, 1);
  }
  EXPECT_EQ(screen->grid->cellForItemAtIndexPath({0, 0}), nullptr);
  EXPECT_TRUE(ui.tap("Tile 46"));
  EXPECT_EQ(screen->chosen, (std::vector<long>{46}));
  EXPECT_EQ(screen->grid->indexPathsForSelectedItems(), (std::vector<NSIndexPath>{{0, 46}}));
  screen->grid->reloadData();
  EXPECT_TRUE(screen->grid->indexPathsForSelectedItems().empty());
  EXPECT_GE(screen->grid->reusePoolSize("tile"), 1u);
}
}  // namespace
