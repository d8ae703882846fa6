// The collapsing header driven by its scroll view's content offset, the bar that follows
// it, the segmented screen's children and the force press.
#include <gtest/gtest.h>

#include "interface/InteractiveHeaderImageView.h"
#include "interface/KVForceTouchGestureRecognizer.h"
#include "interface/KVPaletteManager.h"
#include "interface/SegmentedViewController.h"
#include "interface/UINavigationBarInteractiveHeader.h"
#include "interface/UIScrollViewInteractiveHeader.h"
#include "support/UIDriver.h"
#include "uikit/UIFeedbackGenerator.h"
#include "uikit/UIImpactFeedbackGenerator.h"
#include "uikit/UIStackView.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIFont.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationBar.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScrollView.h"
#include "uikit/UISegmentedControl.h"

namespace {

namespace Header = UIScrollViewInteractiveHeader;

class CollapsingHeaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scroll = std::make_shared<UIScrollView>(CGRect::make(0, 0, 375, 667));
    scroll->setSafeAreaInsetsOverride(UIEdgeInsets{44, 0, 34, 0});
    scroll->setContentSize({375, 2000});
  }
  void TearDown() override { KVPaletteManager::resetForTesting(); }
  // The content pulled so that `y` points of the header area show.
  void pullTo(const std::shared_ptr<InteractiveHeaderImageView>& header, double y) {
    scroll->setContentOffset({0, -y});
    header->layoutIfNeeded();
  }

  UIDriver ui;
  std::shared_ptr<UIScrollView> scroll;
};

TEST_F(CollapsingHeaderTest, GeometryFollowsTheContentOffset) {
  auto header = Header::addHeaderWithImage(scroll, std::make_shared<UIImage>(CGSize{10, 10}, 1), 200);
  EXPECT_EQ(scroll->contentInset().top, 156) << "room for the header below the top bar";
  EXPECT_EQ(scroll->subviews().front(), header) << "behind the content";

  pullTo(header, 200);
  EXPECT_EQ(header->frame(), CGRect::make(0, -200, 375, 200));
  EXPECT_DOUBLE_EQ(header->revealProgress(), 1);
  EXPECT_DOUBLE_EQ(header->extendedRevealProgress(), 1);
  EXPECT_EQ(scroll->contentInset(), (UIEdgeInsets{156, 0, 34, 0}));

  pullTo(header, 260);
  EXPECT_EQ(header->frame(), CGRect::make(0, -260, 375, 260)) << "stretched to the top of the visible area";
  EXPECT_DOUBLE_EQ(header->extendedRevealProgress(), 1.3);
  EXPECT_DOUBLE_EQ(header->revealProgress(), 1);
  EXPECT_EQ(scroll->verticalScrollIndicatorInsets().top, 216);

  pullTo(header, 44);
  EXPECT_EQ(header->frame(), CGRect::make(0, -200, 375, 200));
  EXPECT_DOUBLE_EQ(header->revealProgress(), 0) << "fully under the top bar";
  pullTo(header, -100);
  EXPECT_LT(header->revealProgress(), 0) << "negative beyond";
}

TEST_F(CollapsingHeaderTest, LabelsFadeAndGrowWithinTheirRange) {
  auto header = Header::addHeaderWithImage(scroll, nullptr, 200);
  header->setUseAlphaFade(true);
  header->setUseFontScaling(true);
  pullTo(header, 122);
  EXPECT_DOUBLE_EQ(header->labelStack()->alpha(), 0.5);

  pullTo(header, 300);
  EXPECT_DOUBLE_EQ(header->titleLabel()->font().pointSize(), 42);
  EXPECT_DOUBLE_EQ(header->subtitleLabel()->font().pointSize(), 25.5);
  EXPECT_DOUBLE_EQ(header->labelStack()->alpha(), 1);
  pullTo(header, 360);
  EXPECT_DOUBLE_EQ(header->titleLabel()->font().pointSize(), 42) << "beyond 1.75 the last size stays";

  header->setLabelOffset(12);
  EXPECT_EQ(header->labelCenter()->constant(), 12);
}

TEST_F(CollapsingHeaderTest, ASecondHeaderReplacesTheFirstWhichStopsFollowing) {
  auto first = Header::addHeaderWithImage(scroll, nullptr, 200);
  auto second = Header::addHeaderWithImage(scroll, nullptr, 120);
  EXPECT_EQ(Header::interactiveHeader(*scroll), second);
  EXPECT_EQ(first->superview(), nullptr);
  EXPECT_EQ(first->scrollView(), nullptr);
  pullTo(second, 20);
  first->layoutIfNeeded();
  EXPECT_EQ(first->needsLayout(), false) << "no longer told of the offset";
  EXPECT_EQ(scroll->contentInset().top, 76);

  Header::removeHeaderView(*scroll);
  EXPECT_EQ(Header::interactiveHeader(*scroll), nullptr);
  EXPECT_EQ(second->scrollView(), nullptr);
}

TEST_F(CollapsingHeaderTest, AHeaderNoTallerThanTheTopBarNeverDividesByZero) {
  auto header = Header::addHeaderWithImage(scroll, nullptr, 44);
  pullTo(header, 30);
  EXPECT_DOUBLE_EQ(header->revealProgress(), 0);
  pullTo(header, 44);
  EXPECT_DOUBLE_EQ(header->revealProgress(), 1);

  auto flat = Header::addHeaderWithImage(scroll, nullptr, 0);
  pullTo(flat, 10);
  EXPECT_TRUE(std::isfinite(flat->revealProgress()));
  EXPECT_TRUE(std::isfinite(flat->extendedRevealProgress()));
}

TEST_F(CollapsingHeaderTest, TheHeaderDoesNotKeepItsScrollViewAlive) {
  auto header = Header::addHeaderWithImage(scroll, nullptr, 200);
  std::weak_ptr<UIScrollView> weak = scroll;
  scroll.reset();
  EXPECT_TRUE(weak.expired()) << "the scroll view holds its header, never the other way round";
  EXPECT_EQ(header->scrollView(), nullptr);
  header->layoutSubviews();  // nothing left to follow
  EXPECT_EQ(header->superview(), nullptr);
}

TEST_F(CollapsingHeaderTest, ANavigationBarFillsAsTheHeaderSlidesUnderIt) {
  namespace Bar = UINavigationBarInteractiveHeader;
  auto bar = std::make_shared<UINavigationBar>();
  auto header = Header::addHeaderWithImage(scroll, nullptr, 200);
  Bar::setScrollColor(*bar, UIColor::blackColor());
  Bar::setScrollView(bar, scroll);
  EXPECT_EQ(bar->titleTextAttributes().foregroundColor, UIColor::whiteColor());

  scroll->setContentOffset({0, -200});
  EXPECT_NE(bar->backgroundImageForBarMetrics(), nullptr);
  EXPECT_EQ(bar->backgroundImageForBarMetrics()->size(), (CGSize{0, 0})) << "see-through while the header shows";
  scroll->setContentOffset({0, 0});
  EXPECT_EQ(bar->backgroundImageForBarMetrics(), nullptr) << "its own background once the header is well gone";
  scroll->setContentOffset({0, -122});
  ASSERT_NE(bar->backgroundImageForBarMetrics(), nullptr);
  ASSERT_TRUE(bar->backgroundImageForBarMetrics()->fillColor());
  EXPECT_NEAR(bar->backgroundImageForBarMetrics()->fillColor()->alpha(), 0.4, 1e-9);

  Bar::resetAppearance(*bar);
  EXPECT_EQ(Bar::scrollView(*bar), nullptr);
  EXPECT_EQ(bar->backgroundImageForBarMetrics(), nullptr);
  scroll->setContentOffset({0, -200});
  EXPECT_EQ(bar->backgroundImageForBarMetrics(), nullptr) << "no longer following";
}

TEST_F(CollapsingHeaderTest, TheSegmentedScreenShowsOneChildAtATime) {
  auto a = std::make_shared<UIViewController>(), b = std::make_shared<UIViewController>();
  auto screen = SegmentedViewController::initWithControllers({a, b}, {"Categories", "Source Info"}, 0);
  screen->setActiveIndex(1);
  EXPECT_EQ(screen->activeIndex(), 1);
  EXPECT_EQ(screen->activeViewController(), nullptr) << "before the view loads only the index is kept";

  ui.show(std::make_shared<UINavigationController>(screen));
  EXPECT_EQ(screen->activeViewController(), b);
  EXPECT_EQ(screen->viewSelector()->selectedSegmentIndex(), 1);
  EXPECT_TRUE(screen->overrideLargeTitles());

  screen->viewSelector()->setSelectedSegmentIndex(0);
  screen->viewSelectorIndexDidChange(*screen->viewSelector());
  ui.advance(SegmentedViewController::kTransitionDuration);
  EXPECT_EQ(screen->activeViewController(), a);
  EXPECT_EQ(a->view()->superview(), screen->view().get());
  EXPECT_EQ(a->view()->frame(), screen->view()->bounds());
  EXPECT_EQ(b->view()->superview(), nullptr);
  EXPECT_EQ(b->parentViewController(), nullptr);
  EXPECT_EQ(screen->childViewControllers().size(), 1u);
}

TEST_F(CollapsingHeaderTest, AForcePressIsRecognisedOncePerTouch) {
  int actions = 0;
  KVForceTouchGestureRecognizer press([&](UIGestureRecognizer&) { ++actions; }, this);
  EXPECT_FALSE(press.cancelsTouchesInView());
  EXPECT_FALSE(press.canPreventGestureRecognizer(press));
  UIFeedbackGenerator::clearRecordedFeedback();

  auto touch = [](double force, double maximum) {
    UITouch t;
    t.force = force;
    t.maximumPossibleForce = maximum;
    return UITouchSet{t};
  };
  press.touchesBegan(touch(1, 6.67));
  EXPECT_DOUBLE_EQ(press.force(), 0.25) << "a maximum beyond 4 counts as 4";
  EXPECT_FALSE(press.recognized());
  press.touchesMoved(touch(2.5, 4));
  EXPECT_TRUE(press.recognized());
  EXPECT_EQ(press.state(), UIGestureRecognizerStateRecognized);
  press.touchesMoved(touch(3.5, 4));
  EXPECT_EQ(actions, 1);
  ASSERT_EQ(UIFeedbackGenerator::recordedFeedback().size(), 1u);
  EXPECT_EQ(UIFeedbackGenerator::recordedFeedback()[0].style, UIImpactFeedbackStyleLight);

  press.reset();
  EXPECT_EQ(press.force(), 0);
  EXPECT_FALSE(press.recognized());
  press.touchesBegan(touch(1, 0));
  EXPECT_EQ(press.force(), 0) << "a touch without force sensing";
}

}  // namespace
