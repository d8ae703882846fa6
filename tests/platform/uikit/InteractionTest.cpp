// The screen text and a person's verbs: buttons, bar buttons, alerts, gestures, images.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/UIDriver.h"
#include "uikit/SFSafariViewController.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIApplication.h"
#include "uikit/UIButton.h"
#include "uikit/UIImpactFeedbackGenerator.h"
#include "uikit/UILongPressGestureRecognizer.h"
#include "uikit/UINavigationController.h"
#include "uikit/UINotificationFeedbackGenerator.h"
#include "uikit/UIPickerView.h"
#include "uikit/UISegmentedControl.h"
#include "uikit/UISelectionFeedbackGenerator.h"
#include "uikit/UISwipeGestureRecognizer.h"
#include "uikit/UISwitch.h"
#include "uikit/UITabBarController.h"
#include "uikit/UITextField.h"

namespace {
class Form : public UIViewController, public UIPickerViewDataSource, public UIPickerViewDelegate {
 public:
  std::vector<std::string> events;
  std::shared_ptr<UIButton> save;
  std::shared_ptr<UISwitch> toggle;
  std::shared_ptr<UILabel> note;
  std::shared_ptr<UIPickerView> picker;
  std::shared_ptr<UITextField> name;
  void viewDidLoad() override {
    setTitle("Form");
    navigationItem().setRightBarButtonItem(UIBarButtonItem::itemWithBarButtonSystemItem(
        UIBarButtonSystemItemDone, [this](UIBarButtonItem&) { events.push_back("done"); }));
    note = std::make_shared<UILabel>();
    note->setText("Hold me");
    note->setUserInteractionEnabled(true);
    auto press = std::make_shared<UILongPressGestureRecognizer>([this](UIGestureRecognizer& r) {
      events.push_back("press " + std::to_string(r.state()));
    });
    note->addGestureRecognizer(press);
    save = UIButton::buttonWithType(UIButtonTypeSystem);
    save->setTitle(std::string("Save"));
    save->addTarget(this, [this](UIControl&) { events.push_back("save"); }, UIControlEventTouchUpInside);
    save->addTarget(this, [this](UIControl&) { events.push_back("down"); }, UIControlEventTouchDown);
    toggle = std::make_shared<UISwitch>();
    toggle->setAccessibilityLabel("Wi-Fi");
    toggle->addTarget(this, [this](UIControl& c) { events.push_back(static_cast<UISwitch&>(c).isOn() ? "on" : "off"); },
                      UIControlEventValueChanged);
    picker = std::make_shared<UIPickerView>();
    picker->setDataSource(this);
    picker->setDelegate(this);
    name = std::make_shared<UITextField>();
    name->setPlaceholder("Name");
    for (auto v : std::vector<std::shared_ptr<UIView>>{note, save, toggle, picker, name}) view()->addSubview(v);
  }
  long numberOfComponentsInPickerView(UIPickerView&) override { return 1; }
  long pickerViewNumberOfRowsInComponent(UIPickerView&, long) override { return 3; }
  std::optional<std::string> pickerViewTitleForRow(UIPickerView&, long row, long) override {
    return std::vector<std::string>{"Red", "Green", "Blue"}[size_t(row)];
  }
  void pickerViewDidSelectRow(UIPickerView&, long row, long) override { events.push_back("row " + std::to_string(row)); }
};

class InteractionTest : public ::testing::Test {
 protected:
  void SetUp() override { ui.show(std::make_shared<UINavigationController>(form)); }
  UIDriver ui;
  std::shared_ptr<Form> form = std::make_shared<Form>();
};

TEST_F(InteractionTest, TheScreenTextShowsTheFrontScreen) {
  EXPECT_EQ(ui.screen(),
            "title: Form\n"
            "bar: | [Done]\n"
            "Hold me\n"
            "[Save]\n"
            "switch [off]\n"
            "picker: (Red) | Green | Blue\n"
            "field \"Name\": \n");
  // The classes only when asked for.
  std::string verbose = UIInteraction::screen(true);
  EXPECT_EQ(verbose.rfind("screens: UINavigationController\nscreen: ", 0), 0u) << verbose;
  EXPECT_NE(verbose.find("Form\ntitle: Form\nstack: Form\nbar: | [Done]\n"), std::string::npos) << verbose;
  form->save->setEnabled(false);
  EXPECT_TRUE(ui.screenShows("[Save] (disabled)"));
  EXPECT_FALSE(ui.tap("Save"));
}

TEST_F(InteractionTest, ButtonsSwitchesPickersAndFieldsObeyThePersonsVerbs) {
  EXPECT_TRUE(ui.tap("Save"));
  EXPECT_TRUE(ui.tap("Done"));
  EXPECT_TRUE(ui.toggle("Wi-Fi"));
  EXPECT_TRUE(ui.pick("Blue"));
  EXPECT_EQ(form->events, (std::vector<std::string>{"down", "save", "done", "on", "row 1", "row 2"}));
  EXPECT_TRUE(ui.type("Ada"));
  EXPECT_EQ(form->name->text(), "Ada");
  EXPECT_TRUE(form->name->isFirstResponder());
  // The delete key takes a whole character, however many bytes it is.
  EXPECT_TRUE(ui.type("\u00e9"));
  EXPECT_TRUE(UIInteraction::eraseBackward());
  EXPECT_EQ(form->name->text(), "Ada");
  EXPECT_FALSE(ui.tap("Nothing like this"));
}

// The wheel shows its chosen row in the middle and the others above and below it: a tap
// on one shown turns the wheel there, past every row between.
TEST_F(InteractionTest, APickersWheelTurnsByRowsAndToARowTappedWhereItShows) {
  UIPickerView& picker = *form->picker;  // 216 points high, rows of 32
  EXPECT_EQ(picker.rectForRow(0, 0), CGRect::make(0, 92, 320, 32));
  EXPECT_EQ(picker.rectForRow(2, 0), CGRect::make(0, 156, 320, 32));
  EXPECT_TRUE(picker.tapByUser({160, 170}));
  EXPECT_EQ(picker.rectForRow(0, 0).minY(), 28) << "the first row two above the middle now";
  EXPECT_FALSE(picker.tapByUser({160, 130})) << "no row below the last";
  EXPECT_FALSE(picker.turnByUser(1));
  EXPECT_TRUE(picker.turnByUser(-5));
  EXPECT_EQ(picker.selectedRowInComponent(0), 0);
  EXPECT_EQ(form->events, (std::vector<std::string>{"row 1", "row 2", "row 1", "row 0"}));
}

TEST_F(InteractionTest, ALongPressBeginsAfterItsMinimumDurationOnTheLoopsClock) {
  EXPECT_TRUE(ui.longPress("Hold me", 0.4));
  EXPECT_TRUE(form->events.empty()) << "0.4 s is shorter than the 0.5 s minimum";
  EXPECT_TRUE(ui.longPress("Hold me", 0.6));
  EXPECT_EQ(form->events, (std::vector<std::string>{"press 1", "press 3"}));
}

TEST_F(InteractionTest, WhatOnlyAnswersALongPressIsHeldNotTappedAndNumbersCountWhatCanBeTapped) {
  auto held = ui.tap("Hold me");
  EXPECT_FALSE(held);
  EXPECT_EQ(held.message, "\"Hold me\" answers a long press, not a tap (long Hold me)");
  EXPECT_TRUE(form->events.empty());
  // A field is tapped to type into it, by its placeholder.
  EXPECT_EQ(UIInteraction::tappableTexts(), (std::vector<std::string>{"Done", "Save", "Name"}));
  auto pressable = UIInteraction::pressableTexts();
  EXPECT_NE(std::find(pressable.begin(), pressable.end(), "Hold me"), pressable.end());
  EXPECT_TRUE(ui.tap("#2"));
  EXPECT_EQ(form->events, (std::vector<std::string>{"down", "save"}));
  EXPECT_TRUE(ui.tap("#3"));
  EXPECT_TRUE(form->name->isFirstResponder());
  auto beyond = ui.tap("#4");
  EXPECT_FALSE(beyond);
  EXPECT_EQ(beyond.message, "there is no #4; what can be tapped: #1 Done, #2 Save, #3 Name");
  EXPECT_FALSE(ui.tap("#99999999999999999999"));
  auto noSuchSwitch = ui.toggle("Bluetooth");
  EXPECT_EQ(noSuchSwitch.message, "no switch \"Bluetooth\"; #1 Wi-Fi");
}

TEST_F(InteractionTest, AlertActionsRunAfterTheAlertIsGone) {
  auto alert = UIAlertController::alertControllerWithTitle("Remove?", "It goes for good.", UIAlertControllerStyleAlert);
  bool removed = false;
  alert->addAction(UIAlertAction::actionWithTitle("Cancel", UIAlertActionStyleCancel));
  alert->addAction(UIAlertAction::actionWithTitle("Remove", UIAlertActionStyleDestructive, [&](UIAlertAction&) {
    removed = true;
    EXPECT_EQ(ui.window().rootViewController()->presentedViewController(), nullptr);
  }));
  ui.window().topPresenter()->presentViewController(alert, true);
  EXPECT_TRUE(ui.screenShows("alert: Remove?\nIt goes for good.\n[Cancel] (cancel)  [Remove] (destructive)\n"));
  EXPECT_TRUE(ui.screenShows("title: Form") == false);
  EXPECT_TRUE(ui.tap("Remove"));
  EXPECT_TRUE(removed);
  EXPECT_TRUE(ui.screenShows("title: Form"));
}

TEST_F(InteractionTest, AnimationsApplyAtOnceAndCompleteOnTheNextTurn) {
  bool done = false;
  UIView::animateWithDuration(0.35, 0, 0.3, 7.0, UIViewAnimationOptionAllowUserInteraction,
                              [&] { form->save->setTransform(CGAffineTransform::makeScale(0.975, 0.975)); },
                              [&](bool) { done = true; });
  EXPECT_EQ(form->save->transform(), CGAffineTransform::makeScale(0.975, 0.975));
  EXPECT_FALSE(done);
  RunLoop::main().runOnce();
  EXPECT_TRUE(done);
  auto& last = UIView::recordedAnimations().back();
  EXPECT_EQ(last.kind, "spring");
  EXPECT_DOUBLE_EQ(last.duration, 0.35);
  EXPECT_DOUBLE_EQ(last.damping, 0.3);
  EXPECT_DOUBLE_EQ(last.velocity, 7.0);
}

TEST(ApplicationTest, UrlsGrantsAndIcons) {
  UIDriver ui;
  auto& app = UIApplication::sharedApplication();
  app.setInstalledURLSchemes({"https", "cydia"});
  EXPECT_TRUE(app.canOpenURL("cydia://package/x"));
  EXPECT_FALSE(app.canOpenURL("sileo://package/x"));
  std::optional<bool> opened;
  app.openURL("sileo://x", {}, [&](bool ok) { opened = ok; });
  EXPECT_FALSE(opened.has_value());
  ui.runUntilIdle();
  EXPECT_EQ(opened, false);
  EXPECT_EQ(app.openedURLs(), (std::vector<std::string>{"sileo://x"}));
  bool expired = false;
  auto grant = app.beginBackgroundTaskWithExpirationHandler([&] { expired = true; });
  EXPECT_EQ(app.activeBackgroundTaskCount(), 1u);
  app.expireBackgroundTasks();
  EXPECT_TRUE(expired);
  app.endBackgroundTask(grant);
  EXPECT_EQ(app.activeBackgroundTaskCount(), 0u);
  std::optional<std::string> error = "unset";
  app.setAlternateIconName("Nope", [&](std::optional<std::string> e) { error = e; });
  ui.runUntilIdle();
  EXPECT_TRUE(error.has_value() && error->find("Nope") != std::string::npos);
  EXPECT_FALSE(app.alternateIconName().has_value());
}
TEST(FeedbackTest, PlayedFeedbackIsRecorded) {
  UIDriver ui;
  UISelectionFeedbackGenerator selection;
  selection.prepare();
  selection.selectionChanged();
  UIImpactFeedbackGenerator(UIImpactFeedbackStyleHeavy).impactOccurred();
  UINotificationFeedbackGenerator().notificationOccurred(UINotificationFeedbackTypeError);
  auto played = UIFeedbackGenerator::recordedFeedback();
  ASSERT_EQ(played.size(), 3u);
  EXPECT_EQ(played[0].kind, "selection");
  EXPECT_TRUE(played[0].prepared);
  EXPECT_EQ(played[1].kind, "impact");
  EXPECT_EQ(played[1].style, UIImpactFeedbackStyleHeavy);
  EXPECT_FALSE(played[1].prepared);
  EXPECT_EQ(played[2].style, UINotificationFeedbackTypeError);
}

TEST(TabTapTest, ATabIsTappedByItsTitleButTheScreensOwnTextsComeFirst) {
  UIDriver ui;
  auto tabs = std::make_shared<UITabBarController>();
  auto first = std::make_shared<UIViewController>();
  first->setTitle("Home");
  auto button = UIButton::buttonWithType(UIButtonTypeSystem);
  button->setTitle(std::string("Search"));
  int pressed = 0;
  button->addTarget(nullptr, [&](UIControl&) { ++pressed; }, UIControlEventTouchUpInside);
  first->view()->addSubview(button);
  auto second = std::make_shared<UIViewController>();
  second->setTitle("Search");
  auto third = std::make_shared<UIViewController>();
  third->setTitle("Manage");
  tabs->setViewControllers({first, second, third});
  ui.show(tabs);
  EXPECT_TRUE(ui.tap("Search"));
  EXPECT_EQ(pressed, 1) << "the button named like a tab wins";
  EXPECT_EQ(tabs->selectedIndex(), 0);
  EXPECT_TRUE(ui.tap("Manage"));
  EXPECT_EQ(tabs->selectedIndex(), 2);
  EXPECT_EQ(ui.tab("9").message, "no tab \"9\"; the tabs are 1 Home, 2 Search, 3 Manage");
  first->presentViewController(std::make_shared<UIViewController>(), false);
  EXPECT_FALSE(ui.tap("Home")) << "tabs are out of reach behind a presented screen";
}
TEST_F(InteractionTest, ASwipeOverTheScreenReachesTheRecognizerOfItsDirection) {
  int dismissals = 0;
  auto swipe = std::make_shared<UISwipeGestureRecognizer>([&](UIGestureRecognizer&) { ++dismissals; });
  swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
  form->view()->addGestureRecognizer(swipe);
  EXPECT_TRUE(ui.swipe("right"));
  EXPECT_EQ(dismissals, 1);
  auto refused = ui.swipe("left");
  EXPECT_FALSE(refused);
  EXPECT_EQ(refused.message, "nothing here answers a swipe left");
  EXPECT_FALSE(ui.swipe("sideways"));
  swipe->setEnabled(false);
  EXPECT_FALSE(ui.swipe("right"));
  EXPECT_EQ(dismissals, 1);
}
TEST(SegmentedControlTest, WidthsStayWithTheirSegments) {
  UISegmentedControl control({"Packages", "Developers"});
  control.setWidth(178, 0);
  control.setWidth(-5, 1);
  control.insertSegmentWithTitle("All", 0);
  EXPECT_EQ(control.widthForSegmentAtIndex(0), 0) << "a new segment sizes to its title";
  EXPECT_EQ(control.widthForSegmentAtIndex(1), 178);
  EXPECT_EQ(control.widthForSegmentAtIndex(2), 0) << "a negative width counts as none";
  EXPECT_EQ(control.widthForSegmentAtIndex(9), 0);
}
class BrowserListener : public SFSafariViewControllerDelegate {
 public:
  int finished = 0;
  bool gone = false;
  void safariViewControllerDidFinish(SFSafariViewController& browser) override {
    ++finished;
    gone = browser.presentingViewController() == nullptr;
  }
};

TEST_F(InteractionTest, TheBrowserViewShowsItsAddressAndDoneClosesItBeforeTheDelegateHears) {
  BrowserListener listener;
  auto browser = std::make_shared<SFSafariViewController>("https://example.org/register/");
  browser->setDelegate(&listener);
  browser->setModalPresentationStyle(UIModalPresentationFormSheet);
  form->presentViewController(browser, true);
  EXPECT_TRUE(ui.screenShows("browser: https://example.org/register/"));
  EXPECT_EQ(SFSafariViewController::shownURLs(), (std::vector<std::string>{"https://example.org/register/"}));
  EXPECT_TRUE(ui.close()) << "close finds the Done button";
  EXPECT_EQ(listener.finished, 1);
  EXPECT_TRUE(listener.gone);
  EXPECT_TRUE(ui.screenShows("title: Form"));
}
}  // namespace
