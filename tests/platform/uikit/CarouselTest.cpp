// A banner carousel as the featured screen runs one: it advances every 4 seconds on the
// loop's clock, centring each banner, until a person drags it; then the banner nearest
// the middle is centred when the drag comes to rest.
#include <gtest/gtest.h>

#include <cmath>

#include "LabelledCell.h"
#include "support/UIDriver.h"
#include "uikit/UICollectionView.h"
#include "uikit/UILabel.h"

namespace {
using Banner = LabelledCell;

class Carousel : public UIViewController, public UICollectionViewDataSource, public UICollectionViewDelegate {
 public:
  std::shared_ptr<UICollectionView> strip;
  RunLoop::TimerId timer = 0;
  long page = 0;
  std::vector<long> opened;
  void viewDidLoad() override {
    UICollectionViewFlowLayout layout;
    layout.scrollDirection = UICollectionViewScrollDirectionHorizontal;
    layout.itemSize = {335, 335};
    layout.minimumLineSpacing = 10;
    layout.sectionInset = {0, 20, 0, 20};
    strip = std::make_shared<UICollectionView>(CGRect::make(0, 100, 375, 355), layout);
    strip->registerClass<Banner>("cell");
    strip->setDataSource(this);
    strip->setCollectionDelegate(this);
    view()->addSubview(strip);
    timer = RunLoop::main().addTimer(4.0, [this] { advance(); }, 4.0);
  }
  ~Carousel() override { RunLoop::main().cancelTimer(timer); }
  void advance() {
    page = page == 4 ? 0 : page + 1;
    strip->scrollToItemAtIndexPath({0, page}, UICollectionViewScrollPositionCenteredHorizontally, true);
  }
  long collectionViewNumberOfItemsInSection(UICollectionView&, long) override { return 5; }
  std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(UICollectionView& c,
                                                                             const NSIndexPath& p) override {
    auto cell = std::static_pointer_cast<Banner>(c.dequeueReusableCellWithReuseIdentifier("cell", p));
    cell->label->setText("Banner " + std::to_string(p.item()));
    return cell;
  }
  void collectionViewDidSelectItemAtIndexPath(UICollectionView&, const NSIndexPath& p) override { opened.push_back(p.item()); }
  void scrollViewWillBeginDragging(UIScrollView& s) override {
    if (&s != strip.get()) return;
    RunLoop::main().cancelTimer(timer);  // a person took over: no more advancing
  }
  void scrollViewDidEndDecelerating(UIScrollView& s) override {
    if (&s != strip.get()) return;
    // The visible banner whose centre is nearest the middle of what shows.
    double middle = strip->bounds().width() / 2 + strip->contentOffset().x;
    std::optional<NSIndexPath> nearest;
    double best = 0;
    for (auto& path : strip->indexPathsForVisibleItems()) {
      double distance = std::fabs(strip->frameForItemAtIndexPath(path).midX() - middle);
      if (!nearest || distance < best) nearest = path, best = distance;
    }
    if (nearest) strip->scrollToItemAtIndexPath(*nearest, UICollectionViewScrollPositionCenteredHorizontally, true);
  }
  long centred() const {
    double middle = strip->bounds().width() / 2 + strip->contentOffset().x;
    for (long i = 0; i < 5; ++i)
      if (std::fabs(strip->frameForItemAtIndexPath({0, i}).midX() - middle) < 1) return i;
    return -1;
  }
};
}  // namespace

TEST(CarouselTest, AdvancesOnTheClockUntilAPersonDragsIt) {
  UIDriver ui;
  auto carousel = std::make_shared<Carousel>();
  ui.show(carousel);
  EXPECT_EQ(carousel->strip->contentOffset().x, 0);
  ui.advance(3.9);
  EXPECT_EQ(carousel->strip->contentOffset().x, 0) << "not before 4 seconds";
  ui.advance(0.1);
  EXPECT_EQ(carousel->centred(), 1) << "the first advance shows the second banner";
  ui.advance(4.0 * 3);
  EXPECT_EQ(carousel->centred(), 4);
  EXPECT_EQ(carousel->strip->contentOffset().x, carousel->strip->maximumContentOffset().x) << "at the strip's very end";
  ui.advance(4.0);
  EXPECT_EQ(carousel->strip->contentOffset().x, 0) << "and back to the first";

  // A person drags it: the timer stops, and the nearest banner is centred.
  carousel->strip->scrollByUser({500, 0});
  ui.runUntilIdle();
  EXPECT_EQ(carousel->centred(), 1);
  ui.advance(20);
  EXPECT_EQ(carousel->centred(), 1) << "it no longer advances by itself";
  ASSERT_TRUE(ui.tap("Banner 1"));
  EXPECT_EQ(carousel->opened, (std::vector<long>{1}));
}
