#include "interface/welcomeScreenViewController.h"

#include <cmath>

#include "foundation/LocalizedStrings.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIButton.h"
#include "uikit/UILabel.h"
#include "uikit/UIScreen.h"
#include "uikit/UIStackView.h"

welcomeScreenViewController::welcomeScreenViewController() { setTitle(NSLocalizedString("What's New")); }

// The interface file: the heading, a column of three titled items, and Continue, laid
// out by constraints whose constants a small screen tightens.
void welcomeScreenViewController::loadView() {
  KVPalettedViewController::loadView();
  UIView* root = view().get();
  auto heading = std::make_shared<UILabel>();
  heading->setFont(UIFont::boldSystemFontOfSize(34));
  heading->setTextAlignment(NSTextAlignmentCenter);
  heading->setText(NSLocalizedString("What's New"));
  auto stack = std::make_shared<UIStackView>();
  stack->setAxis(UILayoutConstraintAxisVertical);
  stack->setDistribution(UIStackViewDistributionEqualSpacing);
  stack->setSpacing(16);
  const char* items[3][2] = {
      {"Four Palettes", "Light, grey, black or blue: choose how every screen looks."},
      {"Your Sources, Imported", "The sources of the package managers you used before come along in one step."},
      {"Your Account Everywhere", "Your wishlist and the developers you follow are kept with your account."},
  };
  for (int i = 0; i < 3; ++i) {
    auto title = std::make_shared<UILabel>();
    title->setFont(UIFont::boldSystemFontOfSize(17));
    title->setText(NSLocalizedString(items[i][0]));
    auto description = std::make_shared<UILabel>();
    description->setNumberOfLines(0);
    description->setText(NSLocalizedString(items[i][1]));
    labels_[i] = title.get();
    descriptions_[i] = description.get();
    stack->addArrangedSubview(title);
    stack->addArrangedSubview(description);
  }
  auto button = UIButton::buttonWithType(UIButtonTypeSystem);
  button->setTitle(NSLocalizedString("Continue"));
  button->addTarget(this, [this](UIControl&) { continueAction(); }, UIControlEventTouchUpInside);
  for (auto view : {std::static_pointer_cast<UIView>(heading), std::static_pointer_cast<UIView>(stack),
                    std::static_pointer_cast<UIView>(button)}) {
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(view);
  }
  whatsNewTop_ = heading->topAnchor().constraintEqualToAnchor(root->safeAreaLayoutGuide().topAnchor(), 60);
  topConstraint_ = stack->topAnchor().constraintEqualToAnchor(heading->bottomAnchor(), 30);
  sideConstraint_ = stack->leadingAnchor().constraintEqualToAnchor(root->leadingAnchor(), 30);
  rightConstraint_ = root->trailingAnchor().constraintEqualToAnchor(stack->trailingAnchor(), 30);
  stackHeight_ = stack->heightAnchor().constraintEqualToConstant(340);
  NSLayoutConstraint::activateConstraints({
      whatsNewTop_, topConstraint_, sideConstraint_, rightConstraint_, stackHeight_,
      heading->leadingAnchor().constraintEqualToAnchor(root->leadingAnchor(), 20),
      heading->trailingAnchor().constraintEqualToAnchor(root->trailingAnchor(), -20),
      button->leadingAnchor().constraintEqualToAnchor(root->leadingAnchor(), 30),
      button->trailingAnchor().constraintEqualToAnchor(root->trailingAnchor(), -30),
      button->heightAnchor().constraintEqualToConstant(50),
      button->bottomAnchor().constraintEqualToAnchor(root->safeAreaLayoutGuide().bottomAnchor(), -30),
  });
  stackView_ = stack.get();
  whatsNewLabel_ = heading.get();
  continueButton_ = button.get();
}

void welcomeScreenViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  if (std::floor(UIScreen::mainScreen().bounds().width()) != 320) return;
  stackView_->setTransform(CGAffineTransform::makeScale(0.8, 0.8));
  topConstraint_->setConstant(1);
  sideConstraint_->setConstant(5);
  rightConstraint_->setConstant(5);
  whatsNewTop_->setConstant(20);
}

// The second item takes its colours the other way round from the first and third.
void welcomeScreenViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  view()->setBackgroundColor(palette->backgroundColor());
  for (UILabel* label : {whatsNewLabel_, labels_[0], descriptions_[1], labels_[2]})
    label->setTextColor(palette->primaryTextColor());
  for (UILabel* label : {descriptions_[0], labels_[1], descriptions_[2]}) label->setTextColor(palette->secondaryTextColor());
}

void welcomeScreenViewController::continueAction() { dismissViewControllerAnimated(true); }
