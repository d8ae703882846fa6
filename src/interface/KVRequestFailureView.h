#pragma once
// What a screen that asks a service shows where its content would be when the request
// failed: why, and "Try Again", which asks once more. Hidden until a failure is shown;
// the screen hides it again when an answer comes.
#include <functional>
#include <memory>
#include <string>

#include "uikit/UIView.h"

class UIButton;
class UILabel;

class KVRequestFailureView : public UIView {
 public:
  explicit KVRequestFailureView(CGRect frame);

  // Shows `message` over the screen's content; "Try Again" hides the view and runs `retry`.
  void showFailure(const std::string& message, std::function<void()> retry);
  // A message with nothing to try again (the screen has nothing to show, and no request
  // failed).
  void showMessage(const std::string& message);
  void hide() { setHidden(true); }

  UILabel* messageLabel() const { return message_.get(); }
  UIButton* retryButton() const { return retry_.get(); }

  void layoutSubviews() override;

 private:
  std::shared_ptr<UILabel> message_;
  std::shared_ptr<UIButton> retry_;
  std::function<void()> retryAction_;
};
