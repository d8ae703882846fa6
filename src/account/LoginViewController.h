#pragma once
// The vendor-account sign-in: a user name, a password, and Login, Skip and Sign Up.
// In the first run it leads on, after a sign-in or a skip, to the import of other
// managers' sources; opened from the account tab it closes itself instead and runs the
// opener's `dismissCompletion`. A refusal shows "Unable to login" with the account's own
// text, and "Forgot" opens the lost-password page outside the application. While the
// keyboard covers the fields, they move up above it. Opened through KVScreens::signIn.
#include <functional>
#include <memory>
#include <string>

#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "uikit/SFSafariViewController.h"
#include "uikit/UITextField.h"

class NSLayoutConstraint;
class UIButton;
class UILabel;
class UIStackView;

class LoginViewController : public KVPalettedViewController,
                            public UITextFieldDelegate,
                            public SFSafariViewControllerDelegate {
 public:
  // Space kept between the fields' column and the keyboard.
  static constexpr double kKeyboardGap = 26;

  LoginViewController(KVScreenContext context, bool invokedFromSettings, std::function<void()> dismissCompletion);

  bool isInvokedFromSettings() const { return isInvokedFromSettings_; }
  const std::function<void()>& dismissCompletion() const { return dismissCompletion_; }

  void loadView() override;
  void viewDidLoad() override;
  void registerScreenNotifications() override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  // The three buttons.
  void loginButton();
  void nonLoginButton();
  void signUpButton();
  // Signs in with the two fields' texts as typed.
  void loginToAccount();
  // What the account answered: "Success" leads on, anything else is shown. Any thread.
  void handleSignInStatus(const std::string& status);
  // The next step (the import, or closing), on the main thread.
  void nextViewController();
  void dismissKeyboard();

  void keyboardWillShow(const Notification& notification);
  void keyboardWillHide(const Notification& notification);

  bool textFieldShouldReturn(UITextField& field) override;

  UILabel* headerLabel() const { return headerLabel_; }
  UITextField* userNameTextField() const { return userNameTextField_; }
  UITextField* PasswordTextField() const { return PasswordTextField_; }
  UIStackView* inputStackView() const { return inputStackView_; }
  NSLayoutConstraint* inputStackViewCenterConstraint() const { return inputStackViewCenterConstraint_.get(); }

 private:
  KVScreenContext context_;
  bool isInvokedFromSettings_ = false;
  std::function<void()> dismissCompletion_;
  UILabel* headerLabel_ = nullptr;
  UITextField* userNameTextField_ = nullptr;
  UITextField* PasswordTextField_ = nullptr;
  UIStackView* inputStackView_ = nullptr;
  std::shared_ptr<NSLayoutConstraint> inputStackViewCenterConstraint_;
};
