#pragma once
// The what's-new page: three new things with a line each, and Continue, which closes it.
// Nothing in the application opens it; it is kept for a release that announces itself
// this way. On a 320-point-wide screen its content is scaled to 0.8 and its margins
// tightened.
#include <memory>

#include "interface/KVPalettedViewController.h"

class NSLayoutConstraint;
class UIButton;
class UILabel;
class UIStackView;

class welcomeScreenViewController : public KVPalettedViewController {
 public:
  welcomeScreenViewController();

  void loadView() override;
  void viewDidLoad() override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  // Its button: dismisses the page.
  void continueAction();

  UIStackView* stackView() const { return stackView_; }
  UILabel* whatsNewLabel() const { return whatsNewLabel_; }
  UILabel* firstLabel() const { return labels_[0]; }
  UILabel* firstDescription() const { return descriptions_[0]; }
  UILabel* secondLabel() const { return labels_[1]; }
  UILabel* secondDescription() const { return descriptions_[1]; }
  UILabel* thirdLabel() const { return labels_[2]; }
  UILabel* thirdDescription() const { return descriptions_[2]; }
  UIButton* continueButton() const { return continueButton_; }
  NSLayoutConstraint* topConstraint() const { return topConstraint_.get(); }
  NSLayoutConstraint* sideConstraint() const { return sideConstraint_.get(); }
  NSLayoutConstraint* stackHeight() const { return stackHeight_.get(); }
  NSLayoutConstraint* rightConstraint() const { return rightConstraint_.get(); }
  NSLayoutConstraint* whatsNewTop() const { return whatsNewTop_.get(); }

 private:
  UIStackView* stackView_ = nullptr;
  UILabel* whatsNewLabel_ = nullptr;
  UILabel* labels_[3] = {};
  UILabel* descriptions_[3] = {};
  UIButton* continueButton_ = nullptr;
  std::shared_ptr<NSLayoutConstraint> topConstraint_, sideConstraint_, stackHeight_, rightConstraint_, whatsNewTop_;
};
