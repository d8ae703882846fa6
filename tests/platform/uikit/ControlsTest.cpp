// Buttons, a tap against a long press on one button, text fields and the keyboard, as a
// person uses them.
#include <gtest/gtest.h>

#include "foundation/NotificationCenter.h"
#include "support/UIDriver.h"
#include "uikit/UIButton.h"
#include "uikit/UIKeyboard.h"
#include "uikit/UILongPressGestureRecognizer.h"
#include "uikit/UISwitch.h"
#include "uikit/UITextField.h"

namespace {
using Log = std::vector<std::string>;

// A package row's GET button: a tap queues, a press of 0.2 s opens the options.
class Row : public UIViewController {
 public:
  std::shared_ptr<UIButton> get = UIButton::buttonWithType(UIButtonTypeCustom);
  Log log;
  void viewDidLoad() override {
    get->setTitle("GET");
    get->setTitle("QUEUED", UIControlStateSelected);
    get->setFrame(CGRect::make(200, 20, 60, 30));
    get->addTarget(this, [this](UIControl&) { log.push_back("down"); }, UIControlEventTouchDown);
    get->addTarget(this, [this](UIControl&) { log.push_back("tap"); }, UIControlEventTouchUpInside);
    get->addTarget(this, [this](UIControl&) { log.push_back("cancel"); }, UIControlEventTouchCancel);
    auto press = std::make_shared<UILongPressGestureRecognizer>([this](UIGestureRecognizer& r) {
      if (r.state() == UIGestureRecognizerStateBegan) log.push_back("options");
    });
    press->setMinimumPressDuration(0.2);
    get->addGestureRecognizer(press);
    view()->addSubview(get);
  }
};
}  // namespace

TEST(ControlsTest, ATapQueuesAndAPressOpensTheOptionsInstead) {
  UIDriver ui;
  auto row = std::make_shared<Row>();
  ui.show(row);
  ASSERT_TRUE(ui.tap("GET"));
  EXPECT_EQ(row->log, (Log{"down", "tap"}));
  row->log.clear();
  ASSERT_TRUE(ui.longPress("GET", 0.1)) << "shorter than the press: still a tap";
  EXPECT_EQ(row->log, (Log{"down", "tap"}));
  row->log.clear();
  ASSERT_TRUE(ui.longPress("GET", 0.2));
  EXPECT_EQ(row->log, (Log{"down", "options", "cancel"})) << "the press takes the touch from the button";

  // The title follows the state; a state without its own title shows the normal one.
  row->get->setSelected(true);
  EXPECT_EQ(row->get->currentTitle(), "QUEUED");
  row->get->setSelected(false);
  row->get->setHighlighted(true);
  EXPECT_EQ(row->get->currentTitle(), "GET");
  row->get->setHighlighted(false);
  row->get->setEnabled(false);
  EXPECT_TRUE(ui.screenShows("[GET] (disabled)")) << ui.screen();
  EXPECT_FALSE(ui.tap("GET"));
  row->get->setEnabled(true);
  row->get->removeTarget(row.get(), UIControlEventTouchUpInside);
  row->log.clear();
  ASSERT_TRUE(ui.tap("GET"));
  EXPECT_EQ(row->log, (Log{"down"}));
}

TEST(ControlsTest, ASwitchTellsOnlyWhatAPersonChanged) {
  UIDriver ui;
  auto screen = std::make_shared<UIViewController>();
  ui.show(screen);
  auto follow = std::make_shared<UISwitch>();
  follow->setAccessibilityLabel("Follow this repository");
  int changes = 0;
  follow->addTarget(nullptr, [&](UIControl&) { ++changes; }, UIControlEventValueChanged);
  screen->view()->addSubview(follow);
  follow->setOn(true);
  EXPECT_EQ(changes, 0) << "code setting the value sends nothing";
  ASSERT_TRUE(ui.toggle("Follow this repository"));
  EXPECT_FALSE(follow->isOn());
  EXPECT_EQ(changes, 1);
}

namespace {
// A reply form: a field that takes at most 10 characters (UTF-16 units), returns to
// end editing, and may refuse to start.
class Form : public UIViewController, public UITextFieldDelegate {
 public:
  std::shared_ptr<UITextField> field = std::make_shared<UITextField>();
  Log log;
  bool mayBegin = true;
  std::vector<NotificationToken> tokens;
  void viewDidLoad() override {
    field->setPlaceholder("Title");
    field->setDelegate(this);
    field->addTarget(this, [this](UIControl&) { log.push_back("changed"); }, UIControlEventEditingChanged);
    view()->addSubview(field);
    for (const char* name : {UIKeyboardWillShowNotification, UIKeyboardWillHideNotification})
      tokens.push_back(NotificationCenter::defaultCenter().addObserver(name, [this](const Notification& n) {
        double height = n.userInfo["UIKeyboardFrameEndUserInfoKey"]["height"].asDouble();
        log.push_back(n.name + " " + std::to_string(int(height)));
      }));
  }
  bool textFieldShouldBeginEditing(UITextField&) override { return mayBegin; }
  void textFieldDidBeginEditing(UITextField&) override { log.push_back("began"); }
  void textFieldDidEndEditing(UITextField&) override { log.push_back("ended"); }
  bool textFieldShouldChangeCharactersInRange(UITextField& f, NSRange range, const std::string& text) override {
    return NSAttributedString(f.text()).length() - range.length + NSAttributedString(text).length() <= 10;
  }
  bool textFieldShouldReturn(UITextField& f) override {
    f.resignFirstResponder();
    return true;
  }
};
}  // namespace

TEST(ControlsTest, FieldsEditWithTheKeyboardAndTheirDelegatesSay) {
  UIDriver ui;
  auto form = std::make_shared<Form>();
  ui.show(form);
  form->mayBegin = false;
  EXPECT_FALSE(ui.type("x", "Title")) << "the delegate refused to start";
  EXPECT_FALSE(UIKeyboard::isVisible());
  form->mayBegin = true;
  ASSERT_TRUE(ui.type("Caf\xC3\xA9 ok", "Title"));
  EXPECT_TRUE(UIKeyboard::isVisible());
  EXPECT_FALSE(ui.type(" and more", "Title")) << "past ten characters";
  ASSERT_TRUE(ui.type("!!!"));
  EXPECT_EQ(form->field->text(), "Caf\xC3\xA9 ok!!!");
  EXPECT_TRUE(ui.screenShows("field \"Title\": Caf\xC3\xA9 ok!!!_\n")) << ui.screen();
  ASSERT_TRUE(ui.submit());
  EXPECT_FALSE(UIKeyboard::isVisible());
  EXPECT_EQ(form->log, (Log{"UIKeyboardWillShowNotification 291", "began", "changed", "changed",
                            "UIKeyboardWillHideNotification 291", "ended"}));
  form->field->setSecureTextEntry(true);
  EXPECT_TRUE(ui.screenShows("field \"Title\": **********\n")) << "a password shows as stars";
}
