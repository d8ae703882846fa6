#pragma once
// The application's own modal alert card: a dark card over a blurred backdrop with a
// title, a message and one or two buttons. The close button dismisses it; the other
// button dismisses it and then sends its named action to the delegate, or else runs
// its block. A long press on the message copies it.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "interface/KVErrorDelegate.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIViewController.h"

class UIAlertController;
class UIButton;
class UIGestureRecognizer;
class UILabel;
class UIVisualEffectView;

class ErrorViewController : public UIViewController {
 public:
  ErrorViewController();
  // The interface file "ErrorViewController" (start-up registers it).
  static void registerInterfaceFile();

  std::weak_ptr<KVErrorDelegate> delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<KVErrorDelegate> delegate) { delegate_ = std::move(delegate); }

  // Fills the card (nothing is shown yet). `otherButtonSelector` names a method of the
  // delegate taking no argument; empty for none.
  void showWithTitle(const std::string& title, const std::string& errorMessage, int32_t numberOfButtons,
                     const std::string& closeButtonText, const std::optional<std::string>& otherButtonText,
                     const std::string& otherButtonSelector);
  void showWithTitle(const std::string& title, const std::string& errorMessage, int32_t numberOfButtons,
                     const std::string& closeButtonText, const std::optional<std::string>& otherButtonText,
                     std::function<void()> otherButtonAction);
  // Over the full screen, animated, from the top presenter of the key window.
  void presentFromTopPresenter();

  const std::string& titleTxt() const { return titleTxt_; }
  const std::string& errorTxt() const { return errorTxt_; }
  int32_t numberOfBtn() const { return numberOfBtn_; }
  const std::string& closeBtnTxt() const { return closeBtnTxt_; }
  const std::optional<std::string>& otherBtnTxt() const { return otherBtnTxt_; }
  const std::string& otherBtnActionSelector() const { return otherBtnAction_; }

  // Outlets (valid once the view is loaded).
  UIVisualEffectView* blurredBackground() const { return blurredBackground_; }
  UIView* containerView() const { return containerView_; }
  UILabel* errorTitle() const { return errorTitle_; }
  UILabel* errorLbl() const { return errorLbl_; }
  UIButton* closeBtn() const { return closeBtn_; }
  UIButton* otherButton() const { return otherButton_; }
  const std::shared_ptr<NSLayoutConstraint>& closeBtnLeadingConstraint() const { return closeLeading_; }
  const std::shared_ptr<NSLayoutConstraint>& closeBtnTrailingConstraint() const { return closeTrailing_; }
  const std::shared_ptr<NSLayoutConstraint>& closeBtnWidthConstraint() const { return closeWidth_; }
  const std::shared_ptr<NSLayoutConstraint>& otherButtonTrailingConstraint() const { return otherTrailing_; }
  // The constraint a one-button card adds: close button trailing = card trailing + c.
  const std::shared_ptr<NSLayoutConstraint>& singleButtonTrailingConstraint() const { return singleTrailing_; }

  // Actions.
  void close();
  void otherBtnAction();
  void closeButtonHighlight();
  void otherButtonHighlight();
  void closeButtonRelease();
  void otherButtonRelease();
  void handleLongPress(UIGestureRecognizer& recognizer);
  void dismissAlertController(const std::shared_ptr<UIAlertController>& alert);

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  UIStatusBarStyle preferredStatusBarStyle() const override { return UIStatusBarStyleLightContent; }

 private:
  void setContent();
  void styleButton(UIButton& button, const std::string& title);
  void fill(const std::string& title, const std::string& message, int32_t buttons, const std::string& closeText,
            const std::optional<std::string>& otherText);

  std::weak_ptr<KVErrorDelegate> delegate_;
  std::string titleTxt_, errorTxt_, closeBtnTxt_;
  int32_t numberOfBtn_ = 1;
  std::optional<std::string> otherBtnTxt_;
  std::string otherBtnAction_;
  std::function<void()> otherButtonActionBlock_;
  bool closing_ = false;

  UIVisualEffectView* blurredBackground_ = nullptr;
  UIView* containerView_ = nullptr;
  UILabel* errorTitle_ = nullptr;
  UILabel* errorLbl_ = nullptr;
  UIButton* closeBtn_ = nullptr;
  UIButton* otherButton_ = nullptr;
  std::shared_ptr<NSLayoutConstraint> closeLeading_, closeTrailing_, closeWidth_, otherTrailing_, singleTrailing_;
};
