// A collection's section headers and footers, horizontal flow, scrolling to an item's
// place, and paging as a person swipes.
#include <gtest/gtest.h>

#include "LabelledCell.h"
#include "support/UIDriver.h"
#include "uikit/UICollectionView.h"
#include "uikit/UILabel.h"

namespace {
using Tile = LabelledCell;

class Caption : public UICollectionReusableView {
 public:
  Caption() {
    ++made;
    label = std::make_shared<UILabel>();
    addSubview(label);
  }
  void prepareForReuse() override { ++reused; }
  static inline int made = 0;
  int reused = 0;
  std::shared_ptr<UILabel> label;
};

// Two sections of twelve 100-point tiles, each with a header and a footer.
class Shelves : public UIViewController, public UICollectionViewDataSource, public UICollectionViewDelegate {
 public:
  std::shared_ptr<UICollectionView> grid;
  std::vector<std::string> displayed;
  void viewDidLoad() override {
    UICollectionViewFlowLayout layout;
    layout.itemSize = {100, 100};
    layout.headerReferenceSize = {0, 40};
    layout.footerReferenceSize = {0, 20};
    layout.sectionInset = {10, 5, 10, 5};
    grid = std::make_shared<UICollectionView>(CGRect::make(0, 0, 330, 480), layout);
    grid->registerClass<Tile>("tile");
    grid->registerClassForSupplementaryViewOfKind<Caption>(UICollectionElementKindSectionHeader, "caption");
    grid->registerClassForSupplementaryViewOfKind<Caption>(UICollectionElementKindSectionFooter, "caption");
    grid->setDataSource(this);
    grid->setCollectionDelegate(this);
    view()->addSubview(grid);
  }
  long numberOfSectionsInCollectionView(UICollectionView&) override { return 2; }
  long collectionViewNumberOfItemsInSection(UICollectionView&, long) override { return 12; }
  std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(UICollectionView& c,
                                                                             const NSIndexPath& p) override {
    auto cell = std::static_pointer_cast<Tile>(c.dequeueReusableCellWithReuseIdentifier("tile", p));
    cell->label->setText("Tile " + p.description());
    return cell;
  }
  std::shared_ptr<UICollectionReusableView> collectionViewViewForSupplementaryElementOfKind(
      UICollectionView& c, const std::string& kind, const NSIndexPath& p) override {
    auto view = std::static_pointer_cast<Caption>(c.dequeueReusableSupplementaryViewOfKind(kind, "caption", p));
    bool header = kind == UICollectionElementKindSectionHeader;
    view->label->setText((header ? "Shelf " : "End of shelf ") + std::to_string(p.section));
    return view;
  }
  CGSize collectionViewReferenceSizeForFooterInSection(UICollectionView& c, long section) override {
    return section == 1 ? CGSize{} : UICollectionViewDelegate::collectionViewReferenceSizeForFooterInSection(c, section);
  }
  void collectionViewWillDisplaySupplementaryView(UICollectionView&, UICollectionReusableView&, const std::string& kind,
                                                  const NSIndexPath& p) override {
    displayed.push_back(kind.substr(kind.size() - 6) + " " + std::to_string(p.section));
  }
};
}  // namespace

TEST(CollectionViewLayoutTest, HeadersAndFootersFrameEachSection) {
  Caption::made = 0;
  UIDriver ui;
  auto screen = std::make_shared<Shelves>();
  ui.show(screen);
  auto& grid = *screen->grid;
  // Header 40, inset 10, four rows of three (100 high, 10 apart), inset 10, footer 20.
  EXPECT_EQ(grid.frameForSupplementaryElementOfKind(UICollectionElementKindSectionHeader, 0), CGRect::make(0, 0, 330, 40));
  EXPECT_EQ(grid.frameForItemAtIndexPath({0, 0}), CGRect::make(5, 50, 100, 100));
  EXPECT_EQ(grid.frameForItemAtIndexPath({0, 4}), CGRect::make(115, 160, 100, 100));
  EXPECT_EQ(grid.frameForSupplementaryElementOfKind(UICollectionElementKindSectionFooter, 0), CGRect::make(0, 490, 330, 20));
  EXPECT_EQ(grid.frameForSupplementaryElementOfKind(UICollectionElementKindSectionHeader, 1), CGRect::make(0, 510, 330, 40));
  EXPECT_TRUE(grid.frameForSupplementaryElementOfKind(UICollectionElementKindSectionFooter, 1).isEmpty())
      << "a zero reference size means no footer";
  EXPECT_EQ(grid.contentSize().height, 510 + 40 + 10 + 430 + 10);
  EXPECT_EQ(screen->displayed, (std::vector<std::string>{"Header 0"}));
  EXPECT_TRUE(ui.screenShows("collection: 24 items\n  -- Shelf 0 --\n  0.0: Tile 0.0\n"));
  EXPECT_EQ(grid.indexPathForItemAtPoint({120, 170}), (NSIndexPath{0, 4}));
  EXPECT_FALSE(grid.indexPathForItemAtPoint({2, 2}));

  // Scrolling the footer into view and the first header out of it.
  grid.setContentOffset({0, 300});
  ui.runUntilIdle();
  EXPECT_TRUE(ui.screenShows("  0.11: Tile 0.11\n  -- End of shelf 0 --\n  -- Shelf 1 --\n"));
  EXPECT_EQ(grid.supplementaryViewForElementKind(UICollectionElementKindSectionHeader, {0, 0}), nullptr);
  EXPECT_EQ(grid.visibleSupplementaryViewsOfKind(UICollectionElementKindSectionHeader).size(), 1u);
  int made = Caption::made;
  grid.setContentOffset({0, 0});
  ui.runUntilIdle();
  EXPECT_EQ(Caption::made, made) << "the header came back from the pool";
  auto header = std::static_pointer_cast<Caption>(
      grid.supplementaryViewForElementKind(UICollectionElementKindSectionHeader, {0, 0}));
  ASSERT_TRUE(header);
  EXPECT_EQ(header->reused, 2) << "one header view served shelf 1 and then shelf 0 again";
  EXPECT_EQ(header->label->text(), "Shelf 0");
}

namespace {
// The featured screen's carousel: one section of square banners side by side.
class Carousel : public UIViewController, public UICollectionViewDataSource, public UICollectionViewDelegate {
 public:
  long banners = 5;
  std::shared_ptr<UICollectionView> strip;
  void viewDidLoad() override {
    UICollectionViewFlowLayout layout;
    layout.scrollDirection = UICollectionViewScrollDirectionHorizontal;
    layout.itemSize = {335, 335};
    layout.minimumLineSpacing = 10;
    layout.sectionInset = {0, 16, 0, 16};
    strip = std::make_shared<UICollectionView>(CGRect::make(0, 0, 375, 355), layout);
    strip->registerClass<Tile>("cell");
    strip->setDataSource(this);
    strip->setCollectionDelegate(this);
    view()->addSubview(strip);
  }
  long collectionViewNumberOfItemsInSection(UICollectionView&, long) override { return banners; }
  std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(UICollectionView& c,
                                                                             const NSIndexPath& p) override {
    auto cell = std::static_pointer_cast<Tile>(c.dequeueReusableCellWithReuseIdentifier("cell", p));
    cell->label->setText("Banner " + std::to_string(p.item()));
    return cell;
  }
};
}  // namespace

TEST(CollectionViewLayoutTest, HorizontalItemsLineUpAndScrollToTheirPlace) {
  UIDriver ui;
  auto screen = std::make_shared<Carousel>();
  ui.show(screen);
  auto& strip = *screen->strip;
  // One column of one banner each (335 of 355 fits once), 10 between columns.
  EXPECT_EQ(strip.frameForItemAtIndexPath({0, 0}), CGRect::make(16, 0, 335, 335));
  EXPECT_EQ(strip.frameForItemAtIndexPath({0, 1}), CGRect::make(361, 0, 335, 335));
  EXPECT_EQ(strip.contentSize(), (CGSize{16 + 5 * 335 + 4 * 10 + 16, 355}));
  EXPECT_EQ(strip.indexPathsForVisibleItems(), (std::vector<NSIndexPath>{{0, 0}, {0, 1}}));

  strip.scrollToItemAtIndexPath({0, 2}, UICollectionViewScrollPositionCenteredHorizontally, false);
  EXPECT_EQ(strip.contentOffset(), (CGPoint{706 + 167.5 - 187.5, 0}));
  EXPECT_EQ(strip.indexPathsForVisibleItems(), (std::vector<NSIndexPath>{{0, 1}, {0, 2}, {0, 3}}));
  strip.scrollToItemAtIndexPath({0, 1}, UICollectionViewScrollPositionLeft, false);
  EXPECT_EQ(strip.contentOffset().x, 361);
  strip.scrollToItemAtIndexPath({0, 3}, UICollectionViewScrollPositionRight, false);
  EXPECT_EQ(strip.contentOffset().x, 1051 + 335 - 375);
  // The last banner cannot be centred: the strip stops at its end.
  strip.scrollToItemAtIndexPath({0, 4}, UICollectionViewScrollPositionCenteredHorizontally, false);
  EXPECT_EQ(strip.contentOffset().x, strip.contentSize().width - 375);
  strip.scrollToItemAtIndexPath({0, 0}, UICollectionViewScrollPositionCenteredHorizontally, false);
  EXPECT_EQ(strip.contentOffset().x, 0) << "nor the first past its start";
  strip.scrollToItemAtIndexPath({0, 9}, UICollectionViewScrollPositionCenteredHorizontally, false);
  EXPECT_EQ(strip.contentOffset().x, 0) << "an item that does not exist moves nothing";

  // Changing the layout's figures and invalidating places the banners again.
  strip.collectionViewLayout().sectionInset = {0, 30, 0, 30};
  strip.invalidateLayout();
  EXPECT_EQ(strip.frameForItemAtIndexPath({0, 0}).minX(), 30);
  // A person swipes the strip sideways and taps what comes into view.
  ASSERT_TRUE(ui.scroll("right"));
  EXPECT_EQ(strip.contentOffset().x, 300);
  EXPECT_TRUE(ui.tap("Banner 1"));
}

TEST(CollectionViewLayoutTest, PagingScrollViewsRestOnAPageBoundary) {
  UIDriver ui;
  auto screen = std::make_shared<UIViewController>();
  ui.show(screen);
  auto pages = std::make_shared<UIScrollView>(CGRect::make(0, 0, 320, 480));
  pages->setContentSize({320 * 4, 480});
  pages->setPagingEnabled(true);
  screen->view()->addSubview(pages);
  struct Watcher : UIScrollViewDelegate {
    std::vector<double> targets;
    void scrollViewWillEndDragging(UIScrollView&, CGPoint, CGPoint& target) override { targets.push_back(target.x); }
  } watcher;
  pages->setDelegate(&watcher);
  pages->scrollByUser({100, 0});
  EXPECT_EQ(pages->contentOffset().x, 0) << "a short drag falls back to its page";
  pages->scrollByUser({500, 0});
  EXPECT_EQ(pages->contentOffset().x, 640);
  pages->scrollByUser({5000, 0});
  EXPECT_EQ(pages->contentOffset().x, 960) << "never past the last page";
  EXPECT_EQ(watcher.targets, (std::vector<double>{0, 640, 960})) << "the delegate is told the page it will rest on";
  ASSERT_TRUE(ui.scroll("left"));
  EXPECT_EQ(pages->contentOffset().x, 640) << "a swipe is one page";
  ASSERT_TRUE(ui.scroll("left"));
  ASSERT_TRUE(ui.scroll("left"));
  ASSERT_TRUE(ui.scroll("left"));
  EXPECT_EQ(pages->contentOffset().x, 0);
  pages->setDelegate(nullptr);
}
