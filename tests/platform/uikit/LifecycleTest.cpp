// The appearance calls of pushes, pops and presentations, in the platform's order.
#include <gtest/gtest.h>

#include "support/UIDriver.h"
#include "uikit/UINavigationController.h"
#include "uikit/UITabBarController.h"

namespace {
std::vector<std::string> gLog;

class Screen : public UIViewController {
 public:
  explicit Screen(std::string name) : name_(std::move(name)) { setTitle(name_); }
  void loadView() override {
    gLog.push_back(name_ + ".load");
    UIViewController::loadView();
  }
  void viewDidLoad() override { gLog.push_back(name_ + ".didLoad"); }
  void viewWillAppear(bool a) override { gLog.push_back(name_ + ".willAppear" + (a ? "(animated)" : "")); }
  void viewDidAppear(bool) override { gLog.push_back(name_ + ".didAppear"); }
  void viewWillDisappear(bool) override { gLog.push_back(name_ + ".willDisappear"); }
  void viewDidDisappear(bool) override { gLog.push_back(name_ + ".didDisappear"); }

 private:
  std::string name_;
};

using Log = std::vector<std::string>;

class LifecycleTest : public ::testing::Test {
 protected:
  void SetUp() override { gLog.clear(); }
  UIDriver ui;
};

TEST_F(LifecycleTest, PushAndPopCallTheScreensInOrderAndFinishOnTheNextTurn) {
  auto a = std::make_shared<Screen>("A");
  auto nav = std::make_shared<UINavigationController>(a);
  ui.show(nav);
  EXPECT_EQ(gLog, (Log{"A.load", "A.didLoad", "A.willAppear", "A.didAppear"}));

  gLog.clear();
  auto b = std::make_shared<Screen>("B");
  nav->pushViewController(b, true);
  EXPECT_EQ(gLog, (Log{"A.willDisappear", "B.load", "B.didLoad", "B.willAppear(animated)"}));
  EXPECT_TRUE(b->isMovingToParentViewController());
  RunLoop::main().runOnce();
  EXPECT_EQ(gLog, (Log{"A.willDisappear", "B.load", "B.didLoad", "B.willAppear(animated)", "A.didDisappear",
                       "B.didAppear"}));
  EXPECT_FALSE(b->isMovingToParentViewController());
  EXPECT_EQ(b->navigationController(), nav.get());

  gLog.clear();
  EXPECT_TRUE(ui.back());
  EXPECT_EQ(gLog, (Log{"B.willDisappear", "A.willAppear(animated)", "B.didDisappear", "A.didAppear"}));
  EXPECT_EQ(nav->viewControllers().size(), 1u);
  EXPECT_EQ(b->parentViewController(), nullptr);
  EXPECT_FALSE(ui.back()) << "the root has no way back";
}

TEST_F(LifecycleTest, PopToRootSkipsTheScreensBetween) {
  auto nav = std::make_shared<UINavigationController>(std::make_shared<Screen>("A"));
  ui.show(nav);
  nav->pushViewController(std::make_shared<Screen>("B"), false);
  nav->pushViewController(std::make_shared<Screen>("C"), false);
  gLog.clear();
  auto popped = nav->popToRootViewControllerAnimated(false);
  EXPECT_EQ(popped.size(), 2u);
  EXPECT_EQ(gLog, (Log{"C.willDisappear", "A.willAppear", "C.didDisappear", "A.didAppear"}));
}

TEST_F(LifecycleTest, FullScreenPresentationMakesThePresenterDisappear) {
  auto a = std::make_shared<Screen>("A");
  ui.show(a);
  gLog.clear();
  auto b = std::make_shared<Screen>("B");
  b->setModalPresentationStyle(UIModalPresentationFullScreen);
  bool presented = false;
  a->presentViewController(b, true, [&] { presented = true; });
  EXPECT_FALSE(presented) << "the completion runs on the next turn, not inline";
  EXPECT_TRUE(b->isBeingPresented());
  RunLoop::main().runOnce();
  EXPECT_TRUE(presented);
  EXPECT_EQ(gLog, (Log{"B.load", "B.didLoad", "A.willDisappear", "B.willAppear(animated)", "B.didAppear",
                       "A.didDisappear"}));
  EXPECT_EQ(b->presentingViewController(), a.get());

  gLog.clear();
  bool dismissed = false;
  b->dismissViewControllerAnimated(true, [&] { dismissed = true; });
  EXPECT_TRUE(b->isBeingDismissed());
  EXPECT_EQ(ui.window().topPresenter(), a.get()) << "a screen being dismissed is no top presenter";
  EXPECT_FALSE(dismissed);
  ui.runUntilIdle();
  EXPECT_TRUE(dismissed);
  EXPECT_EQ(gLog, (Log{"B.willDisappear", "A.willAppear(animated)", "B.didDisappear", "A.didAppear"}));
  EXPECT_EQ(a->presentedViewController(), nullptr);
}

TEST_F(LifecycleTest, OverFullScreenPresentationLeavesThePresenterOnScreen) {
  auto a = std::make_shared<Screen>("A");
  ui.show(a);
  gLog.clear();
  auto b = std::make_shared<Screen>("B");
  b->setModalPresentationStyle(UIModalPresentationOverFullScreen);
  a->presentViewController(b, false);
  EXPECT_EQ(gLog, (Log{"B.load", "B.didLoad", "B.willAppear", "B.didAppear"}));
  EXPECT_EQ(ui.window().topPresenter(), b.get());
  gLog.clear();
  b->dismissViewControllerAnimated(false);
  EXPECT_EQ(gLog, (Log{"B.willDisappear", "B.didDisappear"}));
}

TEST_F(LifecycleTest, ASecondPresentationIsRefusedAndAutomaticFollowsTheSystem) {
  auto a = std::make_shared<Screen>("A");
  ui.show(a);
  auto b = std::make_shared<Screen>("B");
  EXPECT_EQ(b->effectivePresentationStyle(), UIModalPresentationPageSheet);
  UIDevice::currentDevice().setSystemVersion("12.4");
  EXPECT_EQ(b->effectivePresentationStyle(), UIModalPresentationFullScreen);
  a->presentViewController(b, false);
  bool ran = false;
  a->presentViewController(std::make_shared<Screen>("C"), false, [&] { ran = true; });
  ui.runUntilIdle();
  EXPECT_FALSE(ran);
  EXPECT_EQ(a->presentedViewController(), b.get());
}

TEST_F(LifecycleTest, TabsSwitchWithAppearanceCallsAndTheTopPresenterRule) {
  auto tabs = std::make_shared<UITabBarController>();
  auto one = std::make_shared<Screen>("One"), two = std::make_shared<Screen>("Two");
  tabs->setViewControllers({std::make_shared<UINavigationController>(one), std::make_shared<UINavigationController>(two)});
  ui.show(tabs);
  gLog.clear();
  EXPECT_TRUE(ui.tab("Two"));
  EXPECT_EQ(gLog, (Log{"One.willDisappear", "Two.load", "Two.didLoad", "Two.willAppear", "One.didDisappear", "Two.didAppear"}));
  EXPECT_EQ(tabs->selectedIndex(), 1);
  tabs->tabBar()->items()[0]->setBadgeValue("3");
  EXPECT_TRUE(ui.screenShows("tabs: One(3) [Two]"));
  EXPECT_FALSE(ui.tab("Nine"));
}
}  // namespace
