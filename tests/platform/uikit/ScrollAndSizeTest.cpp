// Scrolling as a person does it, content-size observation, the layout calls of a
// screen, and a turn of the device.
#include <gtest/gtest.h>

#include "support/UIDriver.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScrollView.h"
#include "uikit/UITabBarController.h"

namespace {
using Log = std::vector<std::string>;

class Scroller : public UIViewController, public UIScrollViewDelegate {
 public:
  Log calls;
  std::optional<double> snapTo;
  std::shared_ptr<UIScrollView> scroll;
  void viewDidLoad() override {
    scroll = std::make_shared<UIScrollView>(CGRect::make(0, 0, 375, 600));
    scroll->setContentSize({375, 3000});
    scroll->setDelegate(this);
    view()->addSubview(scroll);
  }
  void scrollViewWillBeginDragging(UIScrollView&) override { calls.push_back("willBeginDragging"); }
  void scrollViewDidScroll(UIScrollView& s) override { calls.push_back("didScroll " + std::to_string(int(s.contentOffset().y))); }
  void scrollViewWillEndDragging(UIScrollView& s, CGPoint velocity, CGPoint& target) override {
    EXPECT_TRUE(s.isDragging());
    calls.push_back("willEndDragging v" + std::to_string(int(velocity.y)) + " to " + std::to_string(int(target.y)));
    if (snapTo) target.y = *snapTo;
  }
  void scrollViewDidEndDragging(UIScrollView&, bool decelerate) override {
    calls.push_back(std::string("didEndDragging") + (decelerate ? " decelerating" : ""));
  }
  void scrollViewWillBeginDecelerating(UIScrollView&) override { calls.push_back("willBeginDecelerating"); }
  void scrollViewDidEndDecelerating(UIScrollView&) override { calls.push_back("didEndDecelerating"); }
};

class ScrollAndSizeTest : public ::testing::Test {
 protected:
  UIDriver ui;
};

TEST_F(ScrollAndSizeTest, ADragCallsTheDelegateInOrderAndMayBeSnappedWhereItEnds) {
  auto screen = std::make_shared<Scroller>();
  ui.show(screen);
  ASSERT_TRUE(ui.scroll("down"));
  EXPECT_EQ(screen->calls, (Log{"willBeginDragging", "didScroll 480", "willEndDragging v1 to 480", "didEndDragging decelerating",
                                "willBeginDecelerating", "didEndDecelerating"}));
  screen->calls.clear();
  screen->snapTo = 200;
  ASSERT_TRUE(ui.scroll("down"));
  EXPECT_EQ(screen->calls, (Log{"willBeginDragging", "didScroll 960", "willEndDragging v1 to 960", "didEndDragging decelerating",
                                "willBeginDecelerating", "didScroll 200", "didEndDecelerating"}));
  EXPECT_EQ(screen->scroll->contentOffset().y, 200) << "the deceleration ends where the delegate asked";
  screen->calls.clear();
  screen->snapTo.reset();
  ASSERT_TRUE(ui.scroll("top"));
  EXPECT_EQ(screen->calls[2], "willEndDragging v-1 to 0");
  screen->scroll->setScrollEnabled(false);
  screen->calls.clear();
  ui.scroll("bottom");
  EXPECT_TRUE(screen->calls.empty()) << "a scroll view that cannot scroll ignores the drag";
}

TEST_F(ScrollAndSizeTest, ContentSizeObserversHearOnlyChanges) {
  UIScrollView scroll(CGRect::make(0, 0, 100, 100));
  std::vector<double> heights;
  auto observation = scroll.addContentSizeObserver([&](CGSize s) { heights.push_back(s.height); });
  scroll.setContentSize({100, 500});
  scroll.setContentSize({100, 500});
  scroll.setContentSize({100, 800});
  observation.invalidate();
  scroll.setContentSize({100, 900});
  EXPECT_EQ(heights, (std::vector<double>{500, 800}));
}

class Sized : public UIViewController {
 public:
  explicit Sized(std::string name, Log& log) : name_(std::move(name)), log_(log) { setTitle(name_); }
  void viewWillLayoutSubviews() override { log_.push_back(name_ + ".willLayout"); }
  void viewDidLayoutSubviews() override { log_.push_back(name_ + ".didLayout"); }
  void viewWillTransitionToSize(CGSize size, UIViewControllerTransitionCoordinator& coordinator) override {
    UIViewController::viewWillTransitionToSize(size, coordinator);
    log_.push_back(name_ + ".willTransition " + std::to_string(int(size.width)) + "x" + std::to_string(int(size.height)));
    coordinator.animateAlongsideTransition([this] { log_.push_back(name_ + ".alongside"); },
                                           [this] { log_.push_back(name_ + ".completed"); });
  }

 private:
  std::string name_;
  Log& log_;
};

TEST_F(ScrollAndSizeTest, AScreenHearsItsLayoutPassesAndATurnOfTheDevice) {
  Log log;
  auto tabs = std::make_shared<UITabBarController>();
  auto one = std::make_shared<Sized>("One", log), two = std::make_shared<Sized>("Two", log);
  tabs->setViewControllers({std::make_shared<UINavigationController>(one), std::make_shared<UINavigationController>(two)});
  ui.show(tabs);
  EXPECT_NE(std::find(log.begin(), log.end(), "One.willLayout"), log.end());
  auto willLayout = std::find(log.begin(), log.end(), "One.willLayout");
  EXPECT_EQ(*(willLayout + 1), "One.didLayout");

  log.clear();
  CGSize before = UIScreen::mainScreen().bounds().size;
  ASSERT_TRUE(ui.rotate());
  // Every screen of the tabs is told (also the one not shown), before any change runs.
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[0], "One.willTransition " + std::to_string(int(before.height)) + "x" + std::to_string(int(before.width)));
  EXPECT_EQ(log[1], "Two.willTransition " + std::to_string(int(before.height)) + "x" + std::to_string(int(before.width)));
  EXPECT_EQ(log[2], "One.alongside");
  EXPECT_EQ(log[3], "Two.alongside");
  EXPECT_NE(std::find(log.begin(), log.end(), "One.completed"), log.end()) << "completions ran on the next turn";
  EXPECT_LT(std::find(log.begin(), log.end(), "One.willLayout"), std::find(log.begin(), log.end(), "One.completed"));
  EXPECT_EQ(UIScreen::mainScreen().bounds().size, (CGSize{before.height, before.width}));
  EXPECT_EQ(tabs->view()->bounds().size, (CGSize{before.height, before.width}));
  EXPECT_EQ(one->view()->bounds().size, (CGSize{before.height, before.width})) << "the shown screen follows";
  EXPECT_EQ(tabs->tabBar()->frame().maxY(), before.width);
  EXPECT_EQ(one->navigationController()->navigationBar()->frame().width(), before.height);
}
}  // namespace
