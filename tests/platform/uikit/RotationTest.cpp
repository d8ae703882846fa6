// A turn of the device: views laid out by constraints follow the new size by themselves,
// and a carousel sized from the screen's width places its banners again alongside.
#include <gtest/gtest.h>

#include "LabelledCell.h"
#include "support/UIDriver.h"
#include "uikit/UICollectionView.h"
#include "uikit/UIScreen.h"

namespace {
class Featured : public UIViewController, public UICollectionViewDataSource, public UICollectionViewDelegate {
 public:
  std::shared_ptr<UIView> card = std::make_shared<UIView>();
  std::shared_ptr<UICollectionView> strip;
  std::vector<std::string> told;
  void viewDidLoad() override {
    card->setTranslatesAutoresizingMaskIntoConstraints(false);
    view()->addSubview(card);
    NSLayoutConstraint::activateConstraints({
        card->leadingAnchor().constraintEqualToAnchor(view()->leadingAnchor(), 20),
        view()->trailingAnchor().constraintEqualToAnchor(card->trailingAnchor(), 20),
        card->topAnchor().constraintEqualToAnchor(view()->safeAreaLayoutGuide().topAnchor(), 400),
        card->heightAnchor().constraintEqualToConstant(210),
    });
    UICollectionViewFlowLayout layout;
    layout.scrollDirection = UICollectionViewScrollDirectionHorizontal;
    strip = std::make_shared<UICollectionView>(CGRect::make(0, 0, 375, 355), layout);
    strip->registerClass<LabelledCell>("cell");
    strip->setDataSource(this);
    strip->setCollectionDelegate(this);
    view()->addSubview(strip);
  }
  void viewWillTransitionToSize(CGSize size, UIViewControllerTransitionCoordinator& coordinator) override {
    UIViewController::viewWillTransitionToSize(size, coordinator);
    told.push_back(std::to_string(int(size.width)) + "x" + std::to_string(int(size.height)));
    coordinator.animateAlongsideTransition([this, size] {
      strip->setFrame(CGRect::make(0, 0, size.width, 355));
      strip->invalidateLayout();
    });
  }
  long collectionViewNumberOfItemsInSection(UICollectionView&, long) override { return 3; }
  std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(UICollectionView& c, const NSIndexPath& p) override {
    return c.dequeueReusableCellWithReuseIdentifier("cell", p);
  }
  // A banner is a square as wide as the screen less 40.
  CGSize collectionViewSizeForItemAtIndexPath(UICollectionView& c, const NSIndexPath&) override {
    double side = std::min(c.bounds().width() - 40, 335.0);
    return {side, side};
  }
};
}  // namespace

TEST(RotationTest, ConstraintsAndLayoutsFollowTheNewSize) {
  UIDriver ui;
  auto screen = std::make_shared<Featured>();
  ui.show(screen);
  CGSize portrait = UIScreen::mainScreen().bounds().size;
  double top = screen->view()->safeAreaInsets().top;
  EXPECT_EQ(screen->card->frame(), CGRect::make(20, top + 400, portrait.width - 40, 210));
  ASSERT_TRUE(ui.rotate());
  CGSize landscape = UIScreen::mainScreen().bounds().size;
  EXPECT_EQ(landscape.width, portrait.height);
  EXPECT_EQ(screen->told, (std::vector<std::string>{std::to_string(int(landscape.width)) + "x" +
                                                     std::to_string(int(landscape.height))}));
  EXPECT_EQ(screen->card->frame().width(), landscape.width - 40) << "the card follows without a line of code";
  EXPECT_EQ(screen->strip->frameForItemAtIndexPath({0, 1}).minX(), 335 + 10) << "banners placed again, 335 at most";
  ASSERT_TRUE(ui.rotate());
  EXPECT_EQ(screen->card->frame().width(), portrait.width - 40);
  EXPECT_EQ(screen->strip->frameForItemAtIndexPath({0, 0}).size.width, portrait.width - 40);
}
