// The alert card: its actions after the dismissal, its layouts and the copy on a long press.
#include <gtest/gtest.h>

#include "interface/ErrorViewController.h"
#include "support/UIDriver.h"
#include "uikit/UIButton.h"
#include "uikit/UILabel.h"
#include "uikit/UINib.h"
#include "uikit/UIPasteboard.h"

namespace {
class Listener : public KVErrorDelegate {
 public:
  int reboots = 0;
  bool cardWasGone = false;
  Listener() {
    exposeSelector("launchRebootCommand", [this] {
      ++reboots;
      cardWasGone = UIWindow::keyWindow()->rootViewController()->presentedViewController() == nullptr;
    });
  }
};

class ErrorViewControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ErrorViewController::registerInterfaceFile();
    ui.show(std::make_shared<UIViewController>());
  }
  std::shared_ptr<ErrorViewController> card() {
    return std::static_pointer_cast<ErrorViewController>(UINib::instantiateController("ErrorViewController"));
  }
  UIDriver ui;
};

TEST_F(ErrorViewControllerTest, TheNamedActionRunsOnceAfterTheCardIsGoneAndWinsOverTheBlock) {
  auto listener = std::make_shared<Listener>();
  auto c = card();
  bool blockRan = false;
  c->setDelegate(listener);
  // A caller may fill the card both ways; the named action wins.
  c->showWithTitle("Post Install Action", "Do you want to reboot now or later?", 2, "Later", std::string("Reboot now"),
                   std::function<void()>([&] { blockRan = true; }));
  c->showWithTitle("Post Install Action", "Do you want to reboot now or later?", 2, "Later", std::string("Reboot now"),
                   std::string("launchRebootCommand"));
  c->presentFromTopPresenter();
  EXPECT_TRUE(ui.screenShows("over: an untitled screen\nPost Install Action\n"
                             "Do you want to reboot now or later?\n[Later]\n[Reboot now]\n"));
  UIInteraction::tap("Reboot now");
  UIInteraction::tap("Reboot now");  // a second tap while it closes
  EXPECT_EQ(listener->reboots, 0) << "not before the dismissal";
  ui.runUntilIdle();
  EXPECT_EQ(listener->reboots, 1);
  EXPECT_TRUE(listener->cardWasGone);
  EXPECT_FALSE(blockRan);
}

TEST_F(ErrorViewControllerTest, WithADeadDelegateTheBlockRuns) {
  auto c = card();
  int ran = 0;
  c->showWithTitle("Title", "Message", 2, "Cancel", std::string("Yes"), std::function<void()>([&] { ++ran; }));
  {
    auto listener = std::make_shared<Listener>();
    c->setDelegate(listener);
  }
  c->presentFromTopPresenter();
  ui.runUntilIdle();
  EXPECT_TRUE(ui.tap("Yes"));
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(ui.window().rootViewController()->presentedViewController(), nullptr);
}

TEST_F(ErrorViewControllerTest, ADelegateWithoutTheNamedActionOnlyClosesTheCard) {
  auto listener = std::make_shared<Listener>();
  auto c = card();
  c->setDelegate(listener);
  c->showWithTitle("Title", "Message", 2, "Cancel", std::string("Yes"), std::string("noSuchAction"));
  c->presentFromTopPresenter();
  ui.runUntilIdle();
  EXPECT_TRUE(ui.tap("Yes"));
  EXPECT_EQ(listener->reboots, 0);
  EXPECT_EQ(ui.window().rootViewController()->presentedViewController(), nullptr);
}

TEST_F(ErrorViewControllerTest, TheOneButtonLayoutOnAPhoneAndAPad) {
  auto phone = card();
  phone->showWithTitle("Error", "Broken", 1, "OK", std::nullopt, std::string());
  phone->presentFromTopPresenter();
  ui.runUntilIdle();
  EXPECT_TRUE(phone->otherButton()->isHidden());
  EXPECT_FALSE(phone->closeBtnTrailingConstraint()->isActive());
  EXPECT_FALSE(phone->closeBtnWidthConstraint()->isActive());
  auto single = phone->singleButtonTrailingConstraint();
  ASSERT_TRUE(single);
  EXPECT_EQ(single->holder(), phone->containerView());
  EXPECT_EQ(single->firstItem().view, phone->closeBtn());
  EXPECT_EQ(single->firstAttribute(), NSLayoutAttributeTrailing);
  EXPECT_DOUBLE_EQ(single->constant(), -32);
  EXPECT_DOUBLE_EQ(phone->closeBtnLeadingConstraint()->constant(), 32);
  EXPECT_EQ(phone->traitCollection().userInterfaceStyle, UIUserInterfaceStyleDark);
  EXPECT_EQ(phone->preferredStatusBarStyle(), UIStatusBarStyleLightContent);
  EXPECT_TRUE(ui.tap("OK"));

  UIDevice::currentDevice().setUserInterfaceIdiom(UIUserInterfaceIdiomPad);
  auto pad = card();
  pad->showWithTitle("Error", "Broken", 1, "OK", std::nullopt, std::string());
  pad->presentFromTopPresenter();
  ui.runUntilIdle();
  EXPECT_DOUBLE_EQ(pad->singleButtonTrailingConstraint()->constant(), -768.0 / 4);
  EXPECT_DOUBLE_EQ(pad->closeBtnLeadingConstraint()->constant(), 768.0 / 4);
}

TEST_F(ErrorViewControllerTest, ALongPressCopiesTheMessageAndConfirmsForHalfASecond) {
  auto c = card();
  c->showWithTitle("Error", "Package foo failed to install", 1, "OK", std::nullopt, std::string());
  c->presentFromTopPresenter();
  ui.runUntilIdle();
  EXPECT_TRUE(ui.longPress("Package foo failed to install", 0.6));
  EXPECT_EQ(UIPasteboard::generalPasteboard().string(), "Package foo failed to install");
  EXPECT_TRUE(ui.screenShows("alert: The error has been copied")) << ui.screen();
  // The press began at 0.5 s and the confirmation appeared then; the press ended at 0.6 s.
  ui.advance(0.3);
  EXPECT_TRUE(ui.screenShows("alert: The error has been copied"));
  ui.advance(0.2);
  ui.runUntilIdle();
  EXPECT_FALSE(ui.screenShows("alert:"));
  EXPECT_TRUE(ui.screenShows("Package foo failed to install"));
  UIPasteboard::generalPasteboard().setString("something else");
  EXPECT_TRUE(ui.longPress("Package foo failed to install", 0.6));
  EXPECT_EQ(UIPasteboard::generalPasteboard().string(), "Package foo failed to install") << "a second press copies again";
}

TEST_F(ErrorViewControllerTest, EmptyTextsStayEmptyAndLongOnesWrapWithoutLimit) {
  auto c = card();
  std::string longText(2000, 'x');
  c->showWithTitle("", longText, 1, "OK", std::nullopt, std::string());
  c->presentFromTopPresenter();
  ui.runUntilIdle();
  EXPECT_EQ(c->errorTitle()->text(), "");
  EXPECT_EQ(c->errorLbl()->text(), longText);
  EXPECT_EQ(c->errorLbl()->numberOfLines(), 0);
  EXPECT_EQ(c->errorTitle()->numberOfLines(), 0);
}
}  // namespace
