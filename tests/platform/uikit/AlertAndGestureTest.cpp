// System alerts as the screens use them, a confirmation that only flashes, and
// recognizers whose delegate holds them back.
#include <gtest/gtest.h>

#include "foundation/Dispatch.h"
#include "support/UIDriver.h"
#include "uikit/UIAlertController.h"
#include "uikit/UILabel.h"
#include "uikit/UILongPressGestureRecognizer.h"
#include "uikit/UITapGestureRecognizer.h"

namespace {
using Log = std::vector<std::string>;
}

TEST(AlertTest, AChoiceRunsAfterTheAlertHasGone) {
  UIDriver ui;
  auto screen = std::make_shared<UIViewController>();
  ui.show(screen);
  Log log;
  // The manage tab's offer to add what the pasteboard holds: "No" first, as a cancel.
  auto alert = UIAlertController::alertControllerWithTitle("Repositories Detected", "Would you like to add: \r\nhttps://a/",
                                                           UIAlertControllerStyleAlert);
  alert->addAction(UIAlertAction::actionWithTitle("No", UIAlertActionStyleCancel, [&](UIAlertAction&) { log.push_back("no"); }));
  alert->addAction(UIAlertAction::actionWithTitle("Yes", UIAlertActionStyleDefault, [&](UIAlertAction&) {
    log.push_back(std::string("yes, alert gone: ") + (screen->presentedViewController() ? "no" : "yes"));
  }));
  screen->presentViewController(alert, true);
  ui.runUntilIdle();
  EXPECT_TRUE(ui.screenShows("alert: Repositories Detected\nWould you like to add: / https://a/\n[No] (cancel)  [Yes]\n"))
      << ui.screen();
  ASSERT_TRUE(ui.tap("Yes"));
  EXPECT_EQ(log, (Log{"yes, alert gone: yes"}));
  EXPECT_FALSE(alert->chooseActionByUser("No")) << "a dismissed alert takes no second choice";

  // Closing an alert is its cancel button.
  auto again = UIAlertController::alertControllerWithTitle("Add Source", std::nullopt, UIAlertControllerStyleAlert);
  again->addAction(UIAlertAction::actionWithTitle("Add", UIAlertActionStyleDefault));
  again->addAction(UIAlertAction::actionWithTitle("Cancel", UIAlertActionStyleCancel, [&](UIAlertAction&) { log.push_back("cancel"); }));
  again->actions()[0]->setEnabled(false);
  screen->presentViewController(again, false);
  ui.runUntilIdle();
  EXPECT_FALSE(ui.tap("Add")) << "a disabled action cannot be chosen";
  ASSERT_TRUE(ui.close());
  EXPECT_EQ(log.back(), "cancel");
}

TEST(AlertTest, AConfirmationWithoutButtonsFlashesAndGoes) {
  UIDriver ui;
  auto screen = std::make_shared<UIViewController>();
  ui.show(screen);
  // "Followed": shown, then dismissed 0.1 s after it has appeared.
  auto flash = UIAlertController::alertControllerWithTitle("Followed", std::nullopt, UIAlertControllerStyleAlert);
  std::weak_ptr<UIAlertController> weakFlash = flash;
  screen->presentViewController(flash, true, [weakFlash] {
    DispatchQueue::mainQueue().asyncAfter(0.1, [weakFlash] {
      if (auto f = weakFlash.lock()) f->dismissViewControllerAnimated(true);
    });
  });
  ui.runUntilIdle();
  EXPECT_EQ(ui.front(), flash.get());
  ui.advance(0.09);
  ui.runUntilIdle();
  EXPECT_EQ(ui.front(), flash.get()) << "still there just before";
  ui.advance(0.01);
  ui.runUntilIdle();
  EXPECT_EQ(ui.front(), screen.get());
}

namespace {
// The device label of the featured screen: a 0.2 s press copies, unless the recognizer's
// delegate holds it back; an ordinary tap does something else.
class Specs : public UIViewController, public UIGestureRecognizerDelegate {
 public:
  std::shared_ptr<UILabel> label = std::make_shared<UILabel>();
  Log log;
  bool allowPress = true;
  void viewDidLoad() override {
    label->setText("iPhone10,3; iOS 14.4");
    label->setUserInteractionEnabled(true);
    auto press = std::make_shared<UILongPressGestureRecognizer>([this](UIGestureRecognizer& r) {
      log.push_back(r.state() == UIGestureRecognizerStateBegan ? "press began" : "press " + std::to_string(r.state()));
    });
    press->setMinimumPressDuration(0.2);
    press->setDelegate(this);
    auto tap = std::make_shared<UITapGestureRecognizer>([this](UIGestureRecognizer&) { log.push_back("tap"); });
    label->addGestureRecognizer(press);
    label->addGestureRecognizer(tap);
    view()->addSubview(label);
  }
  bool gestureRecognizerShouldBegin(UIGestureRecognizer&) override { return allowPress; }
};
}  // namespace

TEST(GestureTest, APressBeginsOnTheClockUnlessItsDelegateSaysNo) {
  UIDriver ui;
  auto specs = std::make_shared<Specs>();
  ui.show(specs);
  ASSERT_TRUE(ui.longPress("iPhone10,3; iOS 14.4", 0.5));
  ASSERT_GE(specs->log.size(), 2u);
  EXPECT_EQ(specs->log[0], "press began");
  EXPECT_EQ(specs->log[1], "press 3") << "it ends when the finger lifts";
  specs->log.clear();
  ASSERT_TRUE(ui.tap("iPhone10,3; iOS 14.4"));
  EXPECT_EQ(specs->log, (Log{"tap"}));
  specs->log.clear();
  specs->allowPress = false;
  ASSERT_TRUE(ui.longPress("iPhone10,3; iOS 14.4", 0.5));
  EXPECT_TRUE(std::find(specs->log.begin(), specs->log.end(), "press began") == specs->log.end());
}
