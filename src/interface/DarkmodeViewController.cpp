#include "interface/DarkmodeViewController.h"

#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "interface/KVFirstRunLayout.h"
#include "interface/KVPalette.h"
#include "interface/KVPaletteManager.h"
#include "interface/KVScreens.h"
#include "uikit/UIButton.h"
#include "uikit/UIDevice.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"

namespace {
// Shared by every chooser of the process, as the option was once a file-level variable.
int gOption = 0;

struct Option {
  const char* title;
  const char* banner;
  UIColor background;
  bool blackBar;  // the light option leaves the bar as it is
  bool darkMode, appleDarkMode, trueDarkMode;
  uint32_t style;  // the palette the option chooses
};

const Option& optionAt(int index) {
  static const Option kOptions[] = {
      {"Light", "lightBanner", UIColor::colorWithRed(1, 1, 1, 1), false, false, false, false, 0},
      {"Dark", "darkBanner", UIColor::colorWithRed(0.12, 0.12, 0.12, 1), true, false, true, false, 2},
      // Fully transparent, not opaque black: what shows through is the window's black.
      {"Pure Black", "pureBlackbanner", UIColor::colorWithRed(0, 0, 0, 0), true, false, false, true, 3},
      {"Blue Black", "blueDarkBanner", UIColor::colorWithRed(0.09, 0.15, 0.2, 1), true, true, false, false, 1},
  };
  return kOptions[index];
}
}  // namespace

DarkmodeViewController::DarkmodeViewController(KVScreenContext context) : context_(std::move(context)) {
  setTitle(NSLocalizedString("Appearance"));
}

int DarkmodeViewController::option() { return gOption; }
void DarkmodeViewController::resetOptionForTesting() { gOption = 0; }

// The interface file "DarkmodeViewController": a title, the banner previewing the option,
// the four options with their check boxes, and Continue.
void DarkmodeViewController::loadView() {
  KVPalettedViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  const double width = screen.width() - 48;
  // On a device the screen it is presented over is gone and the window's black shows
  // through the clear ground of Pure Black; here the screens below stay drawn, so the
  // chooser holds that black itself, behind all it shows.
  auto black = std::make_shared<UIView>(CGRect{{0, 0}, screen.size});
  black->setBackgroundColor(UIColor::blackColor());
  black->setUserInteractionEnabled(false);
  view()->addSubview(black);
  windowBlack_ = black.get();
  titleLabel_ = KVFirstRunLayout::addHeading(*view(), NSLocalizedString("Choose an Appearance"), 80, 28);
  auto banner = std::make_shared<UIImageView>();
  banner->setFrame(CGRect::make(24, 132, width, width * 100 / 240));
  bannerImage_ = banner.get();
  view()->addSubview(banner);
  double y = 148 + width * 100 / 240;
  void (DarkmodeViewController::*actions[4])() = {&DarkmodeViewController::lightMode, &DarkmodeViewController::darkMode,
                                                  &DarkmodeViewController::pureBlackMode,
                                                  &DarkmodeViewController::blueBlackMode};
  for (int i = 0; i < 4; ++i) {
    auto check = std::make_shared<UIImageView>();
    check->setFrame(CGRect::make(24, y + 13, 24, 24));
    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    button->setFrame(CGRect::make(60, y, width - 36, 50));
    button->setTitle(NSLocalizedString(optionAt(i).title));
    auto action = actions[i];
    button->addTarget(this, [this, action](UIControl&) { (this->*action)(); }, UIControlEventTouchUpInside);
    checkboxes_[i] = check.get();
    optionButtons_[i] = button.get();
    view()->addSubview(check);
    view()->addSubview(button);
    y += 56;
  }
  // Continue stores and applies the choice, then leads on to the sign-in.
  KVFirstRunLayout::addBottomButton(*view(), NSLocalizedString("Continue"), [this] {
    darkmodeContinueButton();
    showLoginViewController();
  });
}

void DarkmodeViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  if (UIDevice::currentDevice().systemVersionIsAtLeast("13.0")) setModalInPresentation(true);
  darkmodeHandler();
}

void DarkmodeViewController::choose(int option) {
  gOption = option;
  darkmodeHandler();
}

void DarkmodeViewController::lightMode() { choose(0); }
void DarkmodeViewController::darkMode() { choose(1); }
void DarkmodeViewController::pureBlackMode() { choose(2); }
void DarkmodeViewController::blueBlackMode() { choose(3); }

void DarkmodeViewController::darkmodeHandler() {
  const Option& chosen = optionAt(gOption);
  for (int i = 0; i < 4; ++i) {
    bool on = i == gOption;
    checkboxes_[i]->setImage(UIImage::imageNamed(on ? "repo-checked" : "repo-unselected"));
    optionButtons_[i]->setSelected(on);
  }
  bannerImage_->setImage(UIImage::imageNamed(chosen.banner));
  bannerImage_->setAccessibilityLabel(NSLocalizedFormat("Preview: %@", {NSLocalizedString(chosen.title)}));
  showOptionColours();
  if (chosen.blackBar)
    if (auto* navigation = navigationController()) navigation->navigationBar()->setBarStyle(UIBarStyleBlack);
}

void DarkmodeViewController::showOptionColours() {
  const Option& chosen = optionAt(gOption);
  view()->setBackgroundColor(chosen.background);
  windowBlack_->setHidden(chosen.background.alpha() > 0);
  titleLabel_->setTextColor(gOption == 0 ? UIColor::darkTextColor() : UIColor::whiteColor());
  // The options and Continue in the tint of the palette shown, which stands out from its
  // ground (the bright tint of the dark palettes does not from white, nor the deep one of
  // the light palette from the dark grounds).
  view()->setTintColor(KVPalette::paletteWithStyle(chosen.style)->tintColor());
}

void DarkmodeViewController::paletteDidChange(const std::shared_ptr<KVPalette>&) {
  if (isViewLoaded() && titleLabel_) showOptionColours();
}

void DarkmodeViewController::darkmodeContinueButton() {
  const Option& chosen = optionAt(gOption);
  auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
  preferences.setObject(Value(chosen.darkMode), "DarkMode");
  preferences.setObject(Value(chosen.appleDarkMode), "AppleDarkMode");
  preferences.setObject(Value(chosen.trueDarkMode), "TrueDarkMode");
  KVPaletteManager::updatePaletteFromSettings();
}

void DarkmodeViewController::showLoginViewController() { nextViewController(); }

void DarkmodeViewController::nextViewController() {
  performOnMainThread([weak = weakSelf(this)] {
    if (auto self = weak.lock()) self->presentViewController(self->context_.screens->signIn(false, nullptr), true);
  });
}
