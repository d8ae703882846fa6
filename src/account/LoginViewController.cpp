#include "account/LoginViewController.h"

#include "account/KVAccount.h"
#include "account/KVVendorService.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "interface/KVScreens.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIApplication.h"
#include "uikit/UIButton.h"
#include "uikit/UIDevice.h"
#include "uikit/UIKeyboard.h"
#include "uikit/UILabel.h"
#include "uikit/UIStackView.h"
#include "uikit/UITapGestureRecognizer.h"

namespace {
constexpr double kRowHeight = 44;
constexpr double kRowSpacing = 8;
}  // namespace

LoginViewController::LoginViewController(KVScreenContext context, bool invokedFromSettings,
                                         std::function<void()> dismissCompletion)
    : context_(std::move(context)),
      isInvokedFromSettings_(invokedFromSettings),
      dismissCompletion_(std::move(dismissCompletion)) {
  setTitle(NSLocalizedString("Sign In"));
}

// The interface file "LoginViewController": one column in the middle of the screen with
// the heading, the two fields and the three buttons.
void LoginViewController::loadView() {
  KVPalettedViewController::loadView();
  UIView* root = view().get();
  auto header = std::make_shared<UILabel>();
  header->setFont(UIFont::boldSystemFontOfSize(28));
  header->setTextAlignment(NSTextAlignmentCenter);
  header->setText(NSLocalizedString("Your Account"));
  auto name = std::make_shared<UITextField>();
  name->setReturnKeyType(UIReturnKeyNext);
  auto password = std::make_shared<UITextField>();
  password->setSecureTextEntry(true);
  password->setReturnKeyType(UIReturnKeyGo);
  auto button = [this](const char* title, void (LoginViewController::*action)()) {
    auto b = UIButton::buttonWithType(UIButtonTypeSystem);
    b->setTitle(NSLocalizedString(title));
    b->addTarget(this, [this, action](UIControl&) { (this->*action)(); }, UIControlEventTouchUpInside);
    return b;
  };
  std::vector<std::shared_ptr<UIView>> rows = {header, name, password, button("Login", &LoginViewController::loginButton),
                                               button("Skip", &LoginViewController::nonLoginButton),
                                               button("Sign Up", &LoginViewController::signUpButton)};
  auto stack = std::make_shared<UIStackView>();
  stack->setAxis(UILayoutConstraintAxisVertical);
  stack->setSpacing(kRowSpacing);
  for (auto& row : rows) {
    row->heightAnchor().constraintEqualToConstant(kRowHeight)->setActive(true);
    stack->addArrangedSubview(row);
  }
  stack->setTranslatesAutoresizingMaskIntoConstraints(false);
  root->addSubview(stack);
  inputStackViewCenterConstraint_ = stack->centerYAnchor().constraintEqualToAnchor(root->centerYAnchor());
  NSLayoutConstraint::activateConstraints({
      inputStackViewCenterConstraint_,
      stack->leadingAnchor().constraintEqualToAnchor(root->leadingAnchor(), 30),
      stack->trailingAnchor().constraintEqualToAnchor(root->trailingAnchor(), -30),
      stack->heightAnchor().constraintEqualToConstant(rows.size() * kRowHeight + (rows.size() - 1) * kRowSpacing),
  });
  headerLabel_ = header.get();
  userNameTextField_ = name.get();
  PasswordTextField_ = password.get();
  inputStackView_ = stack.get();
}

void LoginViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  // The first run's sheet stays until its walk goes on.
  if (!isInvokedFromSettings_ && UIDevice::currentDevice().systemVersionIsAtLeast("13.0")) setModalInPresentation(true);
  userNameTextField_->setDelegate(this);
  PasswordTextField_->setDelegate(this);
  auto tap = std::make_shared<UITapGestureRecognizer>();
  tap->addTarget(this, [this](UIGestureRecognizer&) { dismissKeyboard(); });
  view()->addGestureRecognizer(tap);
  for (UITextField* field : {userNameTextField_, PasswordTextField_}) {
    field->setBackgroundColor(UIColor::colorWithRed(0.32, 0.70, 0.81, 0.16));
    field->setLeftView(std::make_shared<UIView>(CGRect::make(0, 0, 10, field->frame().height())));
    field->setLeftViewMode(UITextFieldViewModeAlways);
  }
}

void LoginViewController::registerScreenNotifications() {
  observe(UIKeyboardWillShowNotification, [this](const Notification& n) { keyboardWillShow(n); });
  observe(UIKeyboardWillHideNotification, [this](const Notification& n) { keyboardWillHide(n); });
}

void LoginViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  view()->setBackgroundColor(palette->backgroundColor());
  headerLabel_->setTextColor(palette->primaryTextColor());
  NSTextAttributes placeholder;
  placeholder.foregroundColor = palette->secondaryTextColor();
  // Not looked up: the two words stay as they are in every language.
  userNameTextField_->setAttributedPlaceholder(NSAttributedString("Username", placeholder));
  PasswordTextField_->setAttributedPlaceholder(NSAttributedString("Password", placeholder));
}

void LoginViewController::loginButton() { loginToAccount(); }
void LoginViewController::nonLoginButton() { nextViewController(); }

void LoginViewController::signUpButton() {
  auto browser = std::make_shared<SFSafariViewController>(KVVendorService::kRegistrationPageURL);
  browser->setDelegate(this);
  browser->setModalPresentationStyle(UIModalPresentationFormSheet);
  presentViewController(browser, true);
}

void LoginViewController::loginToAccount() {
  // The answer comes on the request's queue: the screen is looked at on the main thread
  // only, so it never ends on another one.
  KVAccount::instance().performLogin(userNameTextField_->text(), PasswordTextField_->text(),
                                     [weak = weakSelf(this)](const std::string& status) {
                                       performOnMainThread([weak, status] {
                                         if (auto self = weak.lock()) self->handleSignInStatus(status);
                                       });
                                     });
}

void LoginViewController::handleSignInStatus(const std::string& status) {
  // The account answers the literal "Success", whatever language the screen speaks.
  if (status == "Success") {
    nextViewController();
    return;
  }
  performOnMainThread([weak = weakSelf(this), status] {
    auto self = weak.lock();
    if (!self) return;
    auto alert = UIAlertController::alertControllerWithTitle(NSLocalizedString("Unable to login"), status,
                                                             UIAlertControllerStyleAlert);
    alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("OK"), UIAlertActionStyleDefault));
    alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Forgot"), UIAlertActionStyleDefault,
                                                    [](UIAlertAction&) {
                                                      UIApplication::sharedApplication().openURL(
                                                          KVVendorService::kLostPasswordPageURL);
                                                    }));
    self->presentViewController(alert, true);
  });
}

void LoginViewController::nextViewController() {
  performOnMainThread([weak = weakSelf(this)] {
    auto self = weak.lock();
    if (!self) return;
    if (self->isInvokedFromSettings_)
      self->dismissViewControllerAnimated(true, self->dismissCompletion_);
    else
      self->presentViewController(self->context_.screens->sourceImport(false), true);
  });
}

void LoginViewController::dismissKeyboard() {
  userNameTextField_->resignFirstResponder();
  PasswordTextField_->resignFirstResponder();
}

bool LoginViewController::textFieldShouldReturn(UITextField& field) {
  field.resignFirstResponder();
  return true;
}

void LoginViewController::keyboardWillShow(const Notification& notification) {
  const Value& info = notification.userInfo;
  double keyboardHeight = info["UIKeyboardFrameEndUserInfoKey"]["height"].asDouble();
  double duration = info["UIKeyboardAnimationDurationUserInfoKey"].asDouble();
  auto curve = static_cast<unsigned long>(info["UIKeyboardAnimationCurveUserInfoKey"].asInt());
  view()->layoutIfNeeded();
  CGRect stack = inputStackView_->frame();
  double freeSpace = view()->frame().height() - (stack.minY() + stack.height() + kKeyboardGap);
  // The curve number is handed on as the options word, as the keyboard gives it.
  UIView::animateWithDuration(duration, 0, curve, [this, keyboardHeight, freeSpace] {
    if (keyboardHeight <= freeSpace) return;
    inputStackViewCenterConstraint_->setConstant(-(keyboardHeight - freeSpace));
    view()->layoutIfNeeded();
  });
}

void LoginViewController::keyboardWillHide(const Notification& notification) {
  const Value& info = notification.userInfo;
  double duration = info["UIKeyboardAnimationDurationUserInfoKey"].asDouble();
  auto curve = static_cast<unsigned long>(info["UIKeyboardAnimationCurveUserInfoKey"].asInt());
  UIView::animateWithDuration(duration, 0, curve, [this] {
    if (inputStackViewCenterConstraint_->constant() >= 0) return;
    inputStackViewCenterConstraint_->setConstant(0);
    view()->layoutIfNeeded();
  });
}
