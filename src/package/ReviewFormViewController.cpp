#include "package/ReviewFormViewController.h"

#include "foundation/LocalizedStrings.h"
#include "foundation/NotificationCenter.h"
#include "foundation/StringEncoding.h"
#include "uikit/UIButton.h"
#include "uikit/UIDevice.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationBar.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIResponder.h"
#include "uikit/UIScreen.h"
#include "uikit/UISwipeGestureRecognizer.h"
#include "uikit/UITapGestureRecognizer.h"
#include "uikit/UIWindow.h"

namespace {
const UIColor kButtonGrey = UIColor::colorWithRed(0.24, 0.24, 0.24, 1);
}  // namespace

ReviewFormViewController::ReviewFormViewController(std::string placeholder) : placeholder_(std::move(placeholder)) {}

UIView* ReviewFormViewController::makeCard(const std::string& title, double rows,
                                           const std::function<void(UIView* card, double y)>& addRows,
                                           const std::string& actionTitle, std::function<void()> action) {
  CGRect screen = UIScreen::mainScreen().bounds();
  const double width = screen.width() - 40, inner = width - 32;
  const double height = 16 + 28 + 12 + rows + 160 + 16 + 44 + 16;
  auto card = std::make_shared<UIView>(CGRect::make(20, (screen.height() - height) / 2, width, height));
  card->setBackgroundColor(UIColor::colorWithRed(0.11, 0.11, 0.12, 1));
  card->layer().cornerRadius = 20;
  view()->addSubview(card);
  containerView_ = card.get();
  auto heading = std::make_shared<UILabel>(CGRect::make(16, 16, inner, 28));
  heading->setFont(UIFont::boldSystemFontOfSize(20));
  heading->setTextColor(UIColor::whiteColor());
  heading->setText(NSLocalizedString(title));
  card->addSubview(heading);
  cardTitle_ = heading.get();
  double y = 16 + 28 + 12;
  addRows(containerView_, y);
  y += rows;
  auto text = std::make_shared<UITextView>();
  text->setFrame(CGRect::make(16, y, inner, 160));
  text->setFont(UIFont::systemFontOfSize(15));
  text->setText(NSLocalizedString(placeholder_));
  text->setAccessibilityLabel(NSLocalizedString(placeholder_));
  text->setKeyboardAppearance(UIKeyboardAppearanceDark);
  card->addSubview(text);
  textView_ = text.get();
  y += 160 + 16;
  const double half = (inner - 12) / 2;
  auto cancel = UIButton::buttonWithType(UIButtonTypeSystem);
  cancel->setFrame(CGRect::make(16, y, half, 44));
  cancel->setTitle(NSLocalizedString("Cancel"));
  cancel->addTarget(this, [this](UIControl&) { this->cancel(); }, UIControlEventTouchUpInside);
  auto act = UIButton::buttonWithType(UIButtonTypeSystem);
  act->setFrame(CGRect::make(28 + half, y, half, 44));
  act->setTitle(NSLocalizedString(actionTitle));
  act->addTarget(this, [action = std::move(action)](UIControl&) { action(); }, UIControlEventTouchUpInside);
  card->addSubview(cancel);
  card->addSubview(act);
  cancelBtn_ = cancel.get();
  actionBtn_ = act.get();
  return containerView_;
}

void ReviewFormViewController::viewDidLoad() {
  UIViewController::viewDidLoad();
  textView_->setTextViewDelegate(this);
  auto& center = NotificationCenter::defaultCenter();
  keyboardShow_ = center.addObserver(UIKeyboardWillShowNotification, &DispatchQueue::mainQueue(),
                                     [this](const Notification& n) { keyboardWillShow(n); });
  keyboardHide_ = center.addObserver(UIKeyboardWillHideNotification, &DispatchQueue::mainQueue(),
                                     [this](const Notification& n) { keyboardWillHide(n); });
  auto tap = std::make_shared<UITapGestureRecognizer>([](UIGestureRecognizer&) {
    if (UIResponder* editing = UIResponder::currentFirstResponder()) editing->resignFirstResponder();
  });
  tap->setCancelsTouchesInView(false);
  view()->addGestureRecognizer(tap);
  auto swipe = std::make_shared<UISwipeGestureRecognizer>([this](UIGestureRecognizer&) { cancel(); });
  swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
  view()->addGestureRecognizer(swipe);
}

void ReviewFormViewController::viewWillAppear(bool animated) {
  UIViewController::viewWillAppear(animated);
  if (UIDevice::currentDevice().systemVersionIsAtLeast("13.0")) setOverrideUserInterfaceStyle(UIUserInterfaceStyleDark);
  setNeedsStatusBarAppearanceUpdate();
  if (!textView_->isFirstResponder()) textView_->setTextColor(UIColor::lightGrayColor());
  textView_->layer().cornerRadius = 10;
  for (UIButton* button : {cancelBtn_, actionBtn_}) styleButton(*button);
}

void ReviewFormViewController::styleButton(UIButton& button) {
  button.layer().cornerRadius = 15;
  button.setBackgroundColor(kButtonGrey);
  button.setTitleColor(UIColor::whiteColor());
  button.setTitleColor(UIColor::darkGrayColor(), UIControlStateHighlighted);
  button.titleLabel()->setAdjustsFontSizeToFitWidth(true);
  // A press lights the button up; letting go outside it puts it back.
  button.addTarget(this, [](UIControl& control) {
    UIView::animateWithDuration(0.3, [&control] { control.setBackgroundColor(UIColor::whiteColor()); });
  }, UIControlEventTouchDown);
  button.addTarget(this, [](UIControl& control) {
    UIView::animateWithDuration(0.3, [&control] { control.setBackgroundColor(kButtonGrey); });
  }, UIControlEventTouchUpOutside);
}

std::string ReviewFormViewController::writtenText() const {
  if (!textView_->isFirstResponder() && textView_->text() == NSLocalizedString(placeholder_)) return {};
  return textView_->text();
}

void ReviewFormViewController::textViewDidBeginEditing(UITextView& view) {
  if (view.text() != NSLocalizedString(placeholder_)) return;
  view.setText("");
  view.setTextColor(UIColor::whiteColor());
}

void ReviewFormViewController::textViewDidEndEditing(UITextView& view) {
  if (!view.text().empty()) return;
  view.setText(NSLocalizedString(placeholder_));
  view.setTextColor(UIColor::lightGrayColor());
}

bool ReviewFormViewController::acceptsEdit(const std::string& text, NSRange range, const std::string& replacement) {
  const size_t length = utf16FromUTF8(text).size();
  const size_t removed = range.location >= length ? 0 : std::min<size_t>(range.length, length - range.location);
  return length - removed + utf16FromUTF8(replacement).size() <= kMaximumLength;
}

bool ReviewFormViewController::textViewShouldChangeTextInRange(UITextView& view, NSRange range,
                                                               const std::string& replacement) {
  return acceptsEdit(view.text(), range, replacement);
}

void ReviewFormViewController::keyboardWillShow(const Notification& notification) {
  const double keyboard = notification.userInfo["UIKeyboardFrameEndUserInfoKey"]["height"].asDouble();
  const double viewHeight = view()->frame().height(), card = containerView_->frame().height();
  // The card stays centred while the keyboard leaves room below it.
  if ((viewHeight - card) / 2 > keyboard) return;
  UIView::animateWithDuration(0.3, [this, viewHeight, card, keyboard] {
    CGRect frame = containerView_->frame();
    frame.origin.y = viewHeight - card - keyboard;
    containerView_->setFrame(frame);
  });
}

void ReviewFormViewController::keyboardWillHide(const Notification&) {
  UIWindow* window = UIWindow::keyWindow();
  const double middle = (window ? window->bounds().height() : view()->frame().height()) / 2;
  const double bar = navigationController() ? navigationController()->navigationBar()->frame().height() : 0;
  UIView::animateWithDuration(0.3, [this, middle, bar] {
    containerView_->setCenter(CGPoint{containerView_->center().x, middle - bar});
  });
}

void ReviewFormViewController::cancel() { dismissViewControllerAnimated(true); }
