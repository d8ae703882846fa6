#include "interface/InitViewController.h"

#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "interface/DarkmodeViewController.h"
#include "interface/KVFirstRunLayout.h"
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
  titleLabel_ = KVFirstRunLayout::addHeading(*view(), NSLocalizedString("Welcome to Quillbark"), screen.height() * 0.3,
                                            32, NSTextAlignmentCenter);
  auto description = std::make_shared<UILabel>(CGRect::make(24, screen.height() * 0.3 + 56, width, 80));
  description->setNumberOfLines(0);
  description->setTextAlignment(NSTextAlignmentCenter);
  description->setText(
      NSLocalizedString("A few steps set it up: your account, and the sources of the package managers you used before."));
  descriptionLabel_ = description.get();
  view()->addSubview(description);
  continueButton_ =
      KVFirstRunLayout::addBottomButton(*view(), NSLocalizedString("Get Started"), [this] { showRepoTransferVC(); });
}

void InitViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  view()->setBackgroundColor(palette->backgroundColor());
  titleLabel_->setTextColor(palette->primaryTextColor());
  descriptionLabel_->setTextColor(palette->secondaryTextColor());
}

void InitViewController::showRepoTransferVC() { nextViewController(); }

void InitViewController::nextViewController() {
  performOnMainThread([weak = weakSelf(this)] {
    auto self = weak.lock();
    if (!self) return;
    if (UIDevice::currentDevice().systemVersionIsAtLeast("13.0"))
      self->presentViewController(self->context_.screens->signIn(false, nullptr), true);
    else
      self->presentViewController(std::make_shared<DarkmodeViewController>(self->context_), true);
  });
}
