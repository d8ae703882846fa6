// Navigation stacks and presented screens as a person moves through them: back buttons,
// tabs that refuse or return to their root, sheets swiped away or kept, and screens
// presented over screens that are presented.
#include <gtest/gtest.h>

#include "support/UIDriver.h"
#include "uikit/UIDevice.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIPresentationController.h"
#include "uikit/UITabBarController.h"

namespace {
using Log = std::vector<std::string>;

std::shared_ptr<UIViewController> titled(const std::string& title) {
  auto c = std::make_shared<UIViewController>();
  c->setTitle(title);
  return c;
}

struct Watcher : UINavigationControllerDelegate, UITabBarControllerDelegate, UIAdaptivePresentationControllerDelegate {
  Log log;
  bool allowSearch = true;
  bool mayDismiss = true;
  void navigationControllerWillShowViewController(UINavigationController&, UIViewController& c, bool animated) override {
    log.push_back("will show " + c.title() + (animated ? " animated" : ""));
  }
  void navigationControllerDidShowViewController(UINavigationController&, UIViewController& c, bool) override {
    log.push_back("did show " + c.title());
  }
  bool tabBarControllerShouldSelectViewController(UITabBarController&, UIViewController& c) override {
    return allowSearch || c.title() != "Search";
  }
  void tabBarControllerDidSelectViewController(UITabBarController&, UIViewController& c) override {
    log.push_back("selected " + c.title());
  }
  bool presentationControllerShouldDismiss(UIPresentationController&) override { return mayDismiss; }
  void presentationControllerDidAttemptToDismiss(UIPresentationController&) override { log.push_back("kept"); }
  void presentationControllerWillDismiss(UIPresentationController&) override { log.push_back("will dismiss"); }
  void presentationControllerDidDismiss(UIPresentationController&) override { log.push_back("did dismiss"); }
};
}  // namespace

TEST(NavigationTest, AnUntitledScreenBelowIsGoneBackToByBack) {
  UIDriver ui;
  auto nav = std::make_shared<UINavigationController>(std::make_shared<UIViewController>());
  ui.show(nav);
  nav->pushViewController(titled("Packages"), false);
  ui.runUntilIdle();
  EXPECT_TRUE(ui.screenShows("bar: [< Back]\n")) << ui.screen();
}

TEST(NavigationTest, BackButtonsFollowTheStackAndTheScreensSay) {
  UIDriver ui;
  Watcher watcher;
  auto nav = std::make_shared<UINavigationController>(titled("Sources"));
  nav->setDelegate(&watcher);
  ui.show(nav);
  nav->pushViewController(titled("BigBoss"), true);
  ui.runUntilIdle();
  EXPECT_TRUE(ui.screenShows("bar: [< Sources]\n")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("title: BigBoss\n"));
  auto package = titled("Package");
  package->navigationItem().setBackBarButtonItem(UIBarButtonItem::itemWithTitle("Back", UIBarButtonItemStylePlain, nullptr));
  nav->pushViewController(package, false);
  nav->pushViewController(titled("Depiction"), false);
  ui.runUntilIdle();
  EXPECT_TRUE(ui.screenShows("bar: [< Back]\n")) << "the screen below names the way back";

  EXPECT_EQ(watcher.log, (Log{"will show BigBoss animated", "did show BigBoss", "will show Package", "did show Package",
                              "will show Depiction", "did show Depiction"}));
  watcher.log.clear();
  ASSERT_TRUE(ui.tap("<"));
  EXPECT_EQ(nav->topViewController(), package.get());
  EXPECT_EQ(watcher.log, (Log{"will show Package animated", "did show Package"}));
  // A screen that hides its back button keeps the person there.
  package->navigationItem().setHidesBackButton(true);
  EXPECT_FALSE(ui.back());
  package->navigationItem().setHidesBackButton(false);
  auto popped = nav->popToViewController(nav->viewControllers()[0].get(), false);
  EXPECT_EQ(popped.size(), 2u);
  EXPECT_FALSE(ui.back()) << "there is nothing below the root";
  nav->setNavigationBarHidden(true);
  EXPECT_FALSE(ui.screenShows("bar:"));
}

TEST(NavigationTest, TabsMaySayNoAndATappedTabReturnsToItsRoot) {
  UIDriver ui;
  Watcher watcher;
  auto tabs = std::make_shared<UITabBarController>();
  auto manage = std::make_shared<UINavigationController>(titled("Manage"));
  manage->setTitle("Manage");
  auto search = titled("Search");
  tabs->setViewControllers({manage, search});
  tabs->setDelegate(&watcher);
  ui.show(tabs);
  manage->pushViewController(titled("Source"), false);
  ui.runUntilIdle();
  watcher.allowSearch = false;
  EXPECT_FALSE(ui.tab("Search"));
  EXPECT_EQ(tabs->selectedIndex(), 0);
  watcher.allowSearch = true;
  ASSERT_TRUE(ui.tab("Search"));
  ASSERT_TRUE(ui.tab("Manage"));
  EXPECT_EQ(manage->viewControllers().size(), 2u) << "switching back keeps the stack";
  ASSERT_TRUE(ui.tab("Manage"));
  EXPECT_EQ(manage->viewControllers().size(), 1u) << "tapping the shown tab goes to its root";
  EXPECT_EQ(watcher.log, (Log{"selected Search", "selected Manage", "selected Manage"}));
}

TEST(PresentationTest, ASheetIsSwipedAwayUnlessItIsModalOrItsDelegateSaysNo) {
  UIDriver ui;
  Watcher watcher;
  auto root = titled("Featured");
  ui.show(root);
  auto setup = titled("Setup");
  setup->setModalPresentationStyle(UIModalPresentationPageSheet);
  setup->presentationController()->setDelegate(&watcher);
  root->presentViewController(setup, true);
  ui.runUntilIdle();
  EXPECT_EQ(ui.front(), setup.get());
  EXPECT_EQ(setup->effectivePresentationStyle(), UIModalPresentationPageSheet);
  setup->setModalInPresentation(true);
  EXPECT_FALSE(ui.close()) << "a modal sheet cannot be swiped away";
  setup->setModalInPresentation(false);
  watcher.mayDismiss = false;
  EXPECT_FALSE(ui.close());
  watcher.mayDismiss = true;
  ASSERT_TRUE(ui.close());
  EXPECT_EQ(root->presentedViewController(), nullptr);
  EXPECT_EQ(watcher.log, (Log{"kept", "kept", "will dismiss", "did dismiss"}));
  // A full-screen presentation cannot be swiped away at all, and asks no one.
  auto card = titled("Card");
  card->setModalPresentationStyle(UIModalPresentationOverFullScreen);
  root->presentViewController(card, false);
  ui.runUntilIdle();
  EXPECT_FALSE(ui.close());
  EXPECT_EQ(watcher.log.size(), 4u);
}

TEST(PresentationTest, SheetsAdaptToTheSystemAndTheDevice) {
  UIDriver ui;
  auto sheet = titled("Source");
  sheet->setModalPresentationStyle(UIModalPresentationFormSheet);
  UIDevice::currentDevice().setSystemVersion("12.4");
  EXPECT_EQ(sheet->effectivePresentationStyle(), UIModalPresentationFullScreen) << "a phone before system 13";
  UIDevice::currentDevice().setUserInterfaceIdiom(UIUserInterfaceIdiomPad);
  EXPECT_EQ(sheet->effectivePresentationStyle(), UIModalPresentationFormSheet) << "a pad keeps its form sheet";
  auto options = titled("Options");
  options->setModalPresentationStyle(UIModalPresentationPopover);
  EXPECT_EQ(options->effectivePresentationStyle(), UIModalPresentationPopover);
  UIDevice::currentDevice().setUserInterfaceIdiom(UIUserInterfaceIdiomPhone);
  EXPECT_EQ(options->effectivePresentationStyle(), UIModalPresentationFullScreen) << "a phone shows popovers full screen";
  UIDevice::currentDevice().setSystemVersion("14.4");
  EXPECT_EQ(titled("Plain")->effectivePresentationStyle(), UIModalPresentationPageSheet) << "automatic is a sheet";
}

TEST(PresentationTest, DismissingAPresenterClosesEverythingAboveItInOrder) {
  UIDriver ui;
  auto root = titled("Account");
  ui.show(root);
  auto login = std::make_shared<UINavigationController>(titled("Login"));
  login->setModalPresentationStyle(UIModalPresentationFullScreen);
  root->presentViewController(login, false);
  auto browser = titled("Register");
  login->topViewController()->presentViewController(browser, false);
  ui.runUntilIdle();
  EXPECT_EQ(login->presentedViewController(), browser.get()) << "the container presents for its screen";
  EXPECT_EQ(browser->presentingViewController(), login.get());
  Log done;
  root->dismissViewControllerAnimated(true, [&] { done.push_back("closed"); });
  EXPECT_TRUE(login->isBeingDismissed());
  EXPECT_TRUE(browser->isBeingDismissed());
  EXPECT_TRUE(done.empty()) << "the completion waits for the transition";
  ui.runUntilIdle();
  EXPECT_EQ(done, (Log{"closed"}));
  EXPECT_EQ(root->presentedViewController(), nullptr);
  EXPECT_EQ(browser->presentingViewController(), nullptr);
  // With nothing presented the completion still runs, on the next turn.
  root->dismissViewControllerAnimated(false, [&] { done.push_back("nothing to close"); });
  EXPECT_EQ(done.size(), 1u);
  ui.runUntilIdle();
  EXPECT_EQ(done.back(), "nothing to close");
}
