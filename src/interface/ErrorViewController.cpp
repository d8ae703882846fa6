#include "interface/ErrorViewController.h"

#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "foundation/WeakSelf.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIButton.h"
#include "uikit/UIDevice.h"
#include "uikit/UILabel.h"
#include "uikit/UILongPressGestureRecognizer.h"
#include "uikit/UINib.h"
#include "uikit/UIPasteboard.h"
#include "uikit/UIScreen.h"
#include "uikit/UIVisualEffectView.h"
#include "uikit/UIWindow.h"

namespace {
UIColor buttonGrey() { return UIColor::colorWithRed(0.24, 0.24, 0.24, 1.0); }
}  // namespace

ErrorViewController::ErrorViewController() { setModalPresentationStyle(UIModalPresentationOverFullScreen); }

void ErrorViewController::registerInterfaceFile() {
  UINib::registerController("ErrorViewController", [] { return std::make_shared<ErrorViewController>(); });
}

// The interface file's arrangement: backdrop, card, title, message, then the close
// button on the leading side and the other button on the trailing side.
void ErrorViewController::loadView() {
  CGRect screen = UIScreen::mainScreen().bounds();
  auto root = std::make_shared<UIView>(screen);
  root->setBackgroundColor(UIColor::clearColor());
  setView(root);

  auto blur = std::make_shared<UIVisualEffectView>(UIBlurEffectStyleDark);
  blur->setFrame(screen);
  root->addSubview(blur);
  auto card = std::make_shared<UIView>(CGRect::make(20, screen.height() / 2 - 120, screen.width() - 40, 240));
  card->setBackgroundColor(UIColor::colorWithRed(0.11, 0.11, 0.12, 1.0));
  card->layer().cornerRadius = 20;
  root->addSubview(card);
  auto title = std::make_shared<UILabel>(CGRect::make(32, 24, card->frame().width() - 64, 24));
  title->setFont(UIFont::boldSystemFontOfSize(20));
  title->setTextColor(UIColor::whiteColor());
  auto message = std::make_shared<UILabel>(CGRect::make(32, 60, card->frame().width() - 64, 80));
  message->setFont(UIFont::systemFontOfSize(15));
  message->setTextColor(UIColor::lightGrayColor());
  message->setUserInteractionEnabled(true);
  auto closeButton = UIButton::buttonWithType(UIButtonTypeCustom);
  closeButton->setFrame(CGRect::make(32, 170, (card->frame().width() - 80) / 2, 44));
  auto other = UIButton::buttonWithType(UIButtonTypeCustom);
  other->setFrame(CGRect::make(48 + (card->frame().width() - 80) / 2, 170, (card->frame().width() - 80) / 2, 44));
  for (auto& v : std::vector<std::shared_ptr<UIView>>{title, message, closeButton, other}) {
    v->setTranslatesAutoresizingMaskIntoConstraints(false);
    card->addSubview(v);
  }
  closeLeading_ = closeButton->leadingAnchor().constraintEqualToAnchor(card->leadingAnchor(), 32);
  closeTrailing_ = other->leadingAnchor().constraintEqualToAnchor(closeButton->trailingAnchor(), 16);
  closeWidth_ = closeButton->widthAnchor().constraintEqualToAnchor(other->widthAnchor());
  otherTrailing_ = card->trailingAnchor().constraintEqualToAnchor(other->trailingAnchor(), 32);
  NSLayoutConstraint::activateConstraints({
      card->centerYAnchor().constraintEqualToAnchor(root->centerYAnchor()),
      card->leadingAnchor().constraintEqualToAnchor(root->leadingAnchor(), 20),
      root->trailingAnchor().constraintEqualToAnchor(card->trailingAnchor(), 20),
      title->topAnchor().constraintEqualToAnchor(card->topAnchor(), 24),
      message->topAnchor().constraintEqualToAnchor(title->bottomAnchor(), 12),
      // The title and the message wrap inside the card, which grows with them.
      title->leadingAnchor().constraintEqualToAnchor(card->leadingAnchor(), 32),
      card->trailingAnchor().constraintEqualToAnchor(title->trailingAnchor(), 32),
      message->leadingAnchor().constraintEqualToAnchor(card->leadingAnchor(), 32),
      card->trailingAnchor().constraintEqualToAnchor(message->trailingAnchor(), 32),
      card->bottomAnchor().constraintEqualToAnchor(closeButton->bottomAnchor(), 24),
      closeButton->topAnchor().constraintEqualToAnchor(message->bottomAnchor(), 24),
      closeButton->heightAnchor().constraintEqualToConstant(44),
      other->centerYAnchor().constraintEqualToAnchor(closeButton->centerYAnchor()),
      other->heightAnchor().constraintEqualToConstant(44),
      closeLeading_, closeTrailing_, closeWidth_, otherTrailing_,
  });
  closeButton->addTarget(this, [this](UIControl&) { close(); }, UIControlEventTouchUpInside);
  other->addTarget(this, [this](UIControl&) { otherBtnAction(); }, UIControlEventTouchUpInside);

  blurredBackground_ = blur.get();
  containerView_ = card.get();
  errorTitle_ = title.get();
  errorLbl_ = message.get();
  closeBtn_ = closeButton.get();
  otherButton_ = other.get();
}

void ErrorViewController::viewDidLoad() {
  UIViewController::viewDidLoad();
  auto press = std::make_shared<UILongPressGestureRecognizer>(
      [this](UIGestureRecognizer& r) { handleLongPress(r); }, this);
  press->setMinimumPressDuration(0.5);
  errorLbl_->addGestureRecognizer(press);
}

void ErrorViewController::viewWillAppear(bool animated) {
  UIViewController::viewWillAppear(animated);
  if (UIDevice::currentDevice().systemVersionIsAtLeast("13.0")) setOverrideUserInterfaceStyle(UIUserInterfaceStyleDark);
  setNeedsStatusBarAppearanceUpdate();
  setContent();
}

void ErrorViewController::fill(const std::string& title, const std::string& message, int32_t buttons,
                               const std::string& closeText, const std::optional<std::string>& otherText) {
  titleTxt_ = title;
  errorTxt_ = message;
  numberOfBtn_ = buttons;
  closeBtnTxt_ = closeText;
  otherBtnTxt_ = otherText;
}

void ErrorViewController::showWithTitle(const std::string& title, const std::string& errorMessage,
                                        int32_t numberOfButtons, const std::string& closeButtonText,
                                        const std::optional<std::string>& otherButtonText,
                                        const std::string& otherButtonSelector) {
  fill(title, errorMessage, numberOfButtons, closeButtonText, otherButtonText);
  otherBtnAction_ = otherButtonSelector;
}

void ErrorViewController::showWithTitle(const std::string& title, const std::string& errorMessage,
                                        int32_t numberOfButtons, const std::string& closeButtonText,
                                        const std::optional<std::string>& otherButtonText,
                                        std::function<void()> otherButtonAction) {
  fill(title, errorMessage, numberOfButtons, closeButtonText, otherButtonText);
  otherButtonActionBlock_ = std::move(otherButtonAction);
}

void ErrorViewController::presentFromTopPresenter() {
  UIWindow* window = UIWindow::keyWindow();
  UIViewController* presenter = window ? window->topPresenter() : nullptr;
  if (!presenter) {
    // Nothing is on screen to show it over; the card's text is kept in the log.
    KVLog("alert card not shown (no screen): %s: %s", titleTxt_.c_str(), errorTxt_.c_str());
    return;
  }
  setModalPresentationStyle(UIModalPresentationOverFullScreen);
  presenter->presentViewController(shared_from_this(), true);
}

void ErrorViewController::styleButton(UIButton& button, const std::string& title) {
  button.layer().cornerRadius = 15;
  button.setBackgroundColor(buttonGrey());
  button.setTitle(title);
  button.setTitleColor(UIColor::whiteColor());
  button.setTitleColor(UIColor::darkGrayColor(), UIControlStateHighlighted);
  button.titleLabel()->setAdjustsFontSizeToFitWidth(true);
}

void ErrorViewController::setContent() {
  errorTitle_->setText(titleTxt_);
  errorTitle_->setNumberOfLines(0);
  errorTitle_->sizeToFit();
  errorLbl_->setText(errorTxt_);
  errorLbl_->setNumberOfLines(0);
  errorLbl_->sizeToFit();

  styleButton(*closeBtn_, closeBtnTxt_);
  closeBtn_->removeTarget(nullptr, UIControlEventTouchDown | UIControlEventTouchUpOutside);
  closeBtn_->addTarget(this, [this](UIControl&) { closeButtonHighlight(); }, UIControlEventTouchDown);
  closeBtn_->addTarget(this, [this](UIControl&) { closeButtonRelease(); }, UIControlEventTouchUpOutside);

  double quarter = UIScreen::mainScreen().bounds().width() / 4;
  bool pad = UIDevice::currentDevice().userInterfaceIdiom() == UIUserInterfaceIdiomPad;
  if (numberOfBtn_ == 1) {
    otherButton_->setHidden(true);
    closeTrailing_->setActive(false);
    closeWidth_->setActive(false);
    // Every appearance fills the card again; the added constraint is replaced, not stacked.
    if (singleTrailing_) singleTrailing_->setActive(false);
    singleTrailing_ = closeBtn_->trailingAnchor().constraintEqualToAnchor(containerView_->trailingAnchor(),
                                                                         pad ? -quarter : -32);
    containerView_->addConstraint(singleTrailing_);
    if (pad) closeLeading_->setConstant(quarter);
  } else if (numberOfBtn_ == 2) {
    if (pad) {
      closeLeading_->setConstant(quarter);
      otherTrailing_->setConstant(quarter);
    }
    otherButton_->setHidden(false);
    styleButton(*otherButton_, otherBtnTxt_.value_or(""));
    otherButton_->removeTarget(nullptr, UIControlEventTouchDown | UIControlEventTouchUpOutside);
    otherButton_->addTarget(this, [this](UIControl&) { otherButtonHighlight(); }, UIControlEventTouchDown);
    otherButton_->addTarget(this, [this](UIControl&) { otherButtonRelease(); }, UIControlEventTouchUpOutside);
  }
  view()->layoutIfNeeded();
}

void ErrorViewController::close() {
  if (closing_) return;
  closing_ = true;
  dismissViewControllerAnimated(true);
}

void ErrorViewController::otherBtnAction() {
  if (closing_) return;  // one tap, one action
  closing_ = true;
  auto self = std::static_pointer_cast<ErrorViewController>(shared_from_this());
  dismissViewControllerAnimated(true, [self] {
    auto delegate = self->delegate_.lock();
    if (!self->otherBtnAction_.empty() && delegate && delegate->respondsToSelector(self->otherBtnAction_)) {
      delegate->performSelector(self->otherBtnAction_);
    } else if (self->otherButtonActionBlock_) {
      self->otherButtonActionBlock_();
    }
  });
}

void ErrorViewController::closeButtonHighlight() {
  UIView::animateWithDuration(0.3, [this] { closeBtn_->setBackgroundColor(UIColor::whiteColor()); });
}
void ErrorViewController::otherButtonHighlight() {
  UIView::animateWithDuration(0.3, [this] { otherButton_->setBackgroundColor(UIColor::whiteColor()); });
}
void ErrorViewController::closeButtonRelease() {
  UIView::animateWithDuration(0.3, [this] { closeBtn_->setBackgroundColor(buttonGrey()); });
}
void ErrorViewController::otherButtonRelease() {
  UIView::animateWithDuration(0.3, [this] { otherButton_->setBackgroundColor(buttonGrey()); });
}

void ErrorViewController::handleLongPress(UIGestureRecognizer& recognizer) {
  if (recognizer.state() != UIGestureRecognizerStateBegan) return;
  UIPasteboard::generalPasteboard().setString(errorLbl_->text());
  auto alert = UIAlertController::alertControllerWithTitle(NSLocalizedString("The error has been copied"), std::nullopt,
                                                           UIAlertControllerStyleAlert);
  auto self = weakSelf(this);
  presentViewController(alert, true, [self, alert] {
    RunLoop::main().addTimer(0.5, [self, alert] {
      if (auto card = self.lock()) card->dismissAlertController(alert);
    });
  });
}

void ErrorViewController::dismissAlertController(const std::shared_ptr<UIAlertController>& alert) {
  if (alert) alert->dismissViewControllerAnimated(true);
}
