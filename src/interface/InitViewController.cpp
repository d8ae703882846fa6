#include "interface/InitViewController.h"

#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "interface/DarkmodeViewController.h"
#include "interface/KVScreens.h"
#include "uikit/UIButton.h"
#include "uikit/UIDevice.h"
#include "uikit/UILabel.h"
#include "uikit/UIScreen.h"

InitViewController::InitViewController(KVScreenContext context) : context_(std::move(context)) {
  setTitle(NSLocalizedString("Welcome"));
}

// The interface file "InitViewController": a title, a few words, and the button.
void InitViewController::loadView() {
  KVPalettedViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  const double width = screen.width() - 48;
  auto title = std::make_shared<UILabel>(CGRect::make(24, screen.height() * 0.3, width, 40));
  title->setFont(UIFont::boldSystemFontOfSize(32));
  title->setTextAlignment(NSTextAlignmentCenter);
  title->setText(NSLocalizedString("Welcome to Quillbark"));
  auto description = std::make_shared<UILabel>(CGRect::make(24, screen.height() * 0.3 + 56, width, 80));
  description->setNumberOfLines(0);
  description->setTextAlignment(NSTextAlignmentCenter);
  description->setText(
      NSLocalizedString("A few steps set it up: your account, and the sources of the package managers you used before."));
  auto button = UIButton::buttonWithType(UIButtonTypeSystem);
  button->setFrame(CGRect::make(24, screen.height() - 140, width, 50));
  button->setTitle(NSLocalizedString("Get Started"));
  button->addTarget(this, [this](UIControl&) { showRepoTransferVC(); }, UIControlEventTouchUpInside);
  titleLabel_ = title.get();
  descriptionLabel_ = description.get();
  continueButton_ = button.get();
  view()->addSubview(title);
  view()->addSubview(description);
  view()->addSubview(button);
}

void InitViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  view()->setBackgroundColor(palette->backgroundColor());
  titleLabel_->setTextColor(palette->primaryTextColor());
  descriptionLabel_->setTextColor(palette->secondaryTextColor());
}

void InitViewController::showRepoTransferVC() { nextViewController(); }

void InitViewController::nextViewController() {
  performOnMainThread([weak = weak_from_this(), this] {
    auto keep = weak.lock();
    if (!keep) return;
    if (UIDevice::currentDevice().systemVersionIsAtLeast("13.0"))
      presentViewController(context_.screens->signIn(false, nullptr), true);
    else
      presentViewController(std::make_shared<DarkmodeViewController>(context_), true);
  });
}
