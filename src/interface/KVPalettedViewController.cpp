#include "interface/KVPalettedViewController.h"

#include <cfloat>

#include "core/QuillbarkPersistentPreferences.h"
#include "interface/KVPaletteManager.h"
#include "interface/UIImageColoredImage.h"
#include "uikit/UIApplication.h"
#include "uikit/UIDevice.h"
#include "uikit/UINavigationController.h"
#include "uikit/UITabBarController.h"

namespace {
bool preference(const char* key, bool fallback) {
  Value v = QuillbarkPersistentPreferences::sharedInstance().objectForKey(key);
  return v.isNull() ? fallback : v.asBool();
}
bool modernSystem() { return UIDevice::currentDevice().systemVersionIsAtLeast("13.0"); }
}  // namespace

KVPalettedViewController::KVPalettedViewController() = default;

// The registrations go first: their blocks reach into the screen.
KVPalettedViewController::~KVPalettedViewController() { observations_.clear(); }

bool KVPalettedViewController::isDarkMode() const { return KVPaletteManager::isDarkMode(); }

void KVPalettedViewController::observe(const std::string& name, NotificationCenter::Block block) {
  // One registration per name: an appearance that reverses a disappearance before it
  // ended registers again without the registrations having gone.
  observations_[name] = NotificationCenter::defaultCenter().addObserver(name, std::move(block));
}

void KVPalettedViewController::loadView() {
  UIViewController::loadView();
  auto* nav = navigationController();
  if (!nav || !nav->navigationBar()) return;
  auto& bar = nav->navigationBar();
  if (UIView* existing = bar->viewWithTag(kBackingViewTag)) {
    fakeStatusBar_ = existing->shared_from_this();
    return;
  }
  auto backing = std::make_shared<UIView>(CGRect::make(0, 0, view()->bounds().width(), 44));
  backing->setTag(kBackingViewTag);
  bar->addSubview(backing);
  backing->setTranslatesAutoresizingMaskIntoConstraints(false);
  NSLayoutConstraint::activateConstraints({
      backing->heightAnchor().constraintEqualToConstant(44),
      backing->bottomAnchor().constraintEqualToAnchor(bar->topAnchor()),
      backing->leadingAnchor().constraintEqualToAnchor(bar->leadingAnchor()),
      backing->trailingAnchor().constraintEqualToAnchor(bar->trailingAnchor()),
  });
  fakeStatusBar_ = backing;
}

void KVPalettedViewController::viewDidLoad() {
  if (modernSystem()) observeTraitCollection_ = true;
  _paletteDidChangeInternal();
  UIViewController::viewDidLoad();
}

void KVPalettedViewController::viewWillAppear(bool animated) {
  fakeStatusBar_.reset();
  if (auto* nav = navigationController())
    if (UIView* backing = nav->navigationBar()->viewWithTag(kBackingViewTag)) fakeStatusBar_ = backing->shared_from_this();
  observe(UIApplicationDidBecomeActiveNotification, [this](const Notification& n) { applicationDidBecomeActive(n); });
  observe(KVPaletteDidChangeNotification, [this](const Notification&) { _paletteDidChangeInternal(); });
  registerScreenNotifications();
  checkForTraitChanged();
  _paletteDidChangeInternal();
  UIViewController::viewWillAppear(animated);
  setNeedsStatusBarAppearanceUpdate();
}

void KVPalettedViewController::viewDidDisappear(bool animated) {
  observations_.clear();
  UIViewController::viewDidDisappear(animated);
}

UIStatusBarStyle KVPalettedViewController::preferredStatusBarStyle() const {
  return isDarkMode() ? UIStatusBarStyleLightContent : UIStatusBarStyleDefault;
}

void KVPalettedViewController::traitCollectionDidChange(const UITraitCollection& previous) {
  UIViewController::traitCollectionDidChange(previous);
  checkForTraitChanged();
}

void KVPalettedViewController::applicationDidBecomeActive(const Notification&) {
  checkForTraitChanged();
  _paletteDidChangeInternal();
}

void KVPalettedViewController::_paletteDidChangeInternal() {
  const uint32_t now = KVPaletteManager::getActiveStyle();
  // The subclass's hooks and the announcement run outside the lock: they may re-theme
  // this screen again, and the lock guards only the screen's palette state.
  paletteWillChangeToStyle(now);
  std::shared_ptr<KVPalette> palette;
  bool switchedMode = false;
  {
    std::lock_guard<std::mutex> lock(themeLock_);
    const uint32_t old = paletteStyle_;
    paletteStyle_ = now;
    palette_ = KVPalette::paletteWithStyle(now, overrideColors_);
    switchedMode = didLastPaletteChangeUpdateDarkmode_ = (old != 0) != isDarkMode();
    palette = palette_;
  }
  _updateAppearanceInternal();
  // The appearance update can re-theme the screen once more (its bars' style changes its
  // traits): that inner re-theme saw no switch, but this change made one.
  didLastPaletteChangeUpdateDarkmode_ = switchedMode;
  paletteDidChange(palette);
  NotificationCenter::defaultCenter().post(KVPaletteNeedsUIRefreshNotification);
  setNeedsStatusBarAppearanceUpdate();
}

void KVPalettedViewController::_updateAppearanceInternal() {
  if (!palette_) return;
  bool translucent = preference("UseTranslucentBars", true);
  bool observeApple = preference("ObserveAppleDarkModeChanges", false);
  setExtendedLayoutIncludesOpaqueBars(true);
  if (auto* nav = navigationController()) {
    auto& bar = nav->navigationBar();
    if (!useLegacyNavbarAppearance_ && modernSystem()) {
      applyLegacyAppearance();
    } else {
      setNavigationBarColor(palette_->navBarColor());
    }
    bar->setTintColor(palette_->tintColor());
    if (UIDevice::currentDevice().systemVersionIsAtLeast("11.0")) {
      NSTextAttributes attributes;
      attributes.foregroundColor = palette_->primaryTextColor();
      bar->setPrefersLargeTitles(overrideLargeTitles_ ? false : preference("prefersLargeTitles", true));
      bar->setLargeTitleTextAttributes(attributes);
      bar->setTitleTextAttributes(attributes);
    }
  }
  // The screen's controls and the tab bar take the palette's tint, as the navigation bar
  // does: the platform's own blue stands out from white and the dark grounds by 4 to 1.
  if (isViewLoaded()) view()->setTintColor(palette_->tintColor());
  if (auto* tabs = tabBarController()) {
    auto& tabBar = tabs->tabBar();
    tabBar->setTintColor(palette_->tintColor());
    if (!modernSystem() || !observeApple) tabBar->setBarStyle(UIBarStyle(palette_->barStyle()));
    tabBar->setBarTintColor(translucent ? std::nullopt : std::optional<UIColor>(palette_->barTintColor()));
    tabBar->setTranslucent(translucent);
  }
  if (!observeApple && modernSystem())
    setOverrideUserInterfaceStyle(UIUserInterfaceStyle(KVPaletteManager::interfaceStyle()));
  setNeedsStatusBarAppearanceUpdate();
}

void KVPalettedViewController::setNavigationBarColor(const UIColor& color) {
  auto* nav = navigationController();
  if (!nav || !palette_) return;
  auto& bar = nav->navigationBar();
  bool translucent = overrideTranslucentNavBar_ ? false : preference("UseTranslucentBars", true);
  double alpha = color.alpha();
  bar->setTranslucent(translucent || alpha < FLT_MIN);
  if (fakeStatusBar_) {
    fakeStatusBar_->setHidden(translucent);
    fakeStatusBar_->setBackgroundColor(color);
  }
  bool setsStyle = !modernSystem() || !preference("ObserveAppleDarkModeChanges", false);
  if (setsStyle) bar->setBarStyle(UIBarStyle(palette_->barStyle()));
  if (translucent && alpha > 0) {
    bar->setBarTintColor(std::nullopt);
    bar->setBackgroundColor(std::nullopt);
    bar->setBackgroundImage(nullptr, UIBarMetricsDefault);
  } else {
    bar->setBackgroundImage(alpha > 0 ? UIImageColoredImage::imageWithColor(color) : std::make_shared<UIImage>(),
                            UIBarMetricsDefault);
    bar->setBarTintColor(std::nullopt);
    bar->setBackgroundColor(color);
  }
  bar->setShadowImage(std::make_shared<UIImage>());
}

// The bar appearance objects of system 13 and later, for screens that ask for them.
void KVPalettedViewController::applyLegacyAppearance() {
  auto& bar = navigationController()->navigationBar();
  if (fakeStatusBar_) fakeStatusBar_->setHidden(true);
  NSTextAttributes attributes;
  attributes.foregroundColor = palette_->primaryTextColor();
  auto standard = std::make_shared<UINavigationBarAppearance>();
  standard->configureWithDefaultBackground();
  auto transparent = std::make_shared<UINavigationBarAppearance>();
  transparent->configureWithTransparentBackground();
  for (auto* a : {standard.get(), transparent.get()}) {
    a->titleTextAttributes = attributes;
    a->largeTitleTextAttributes = attributes;
    a->shadowImage = std::make_shared<UIImage>();
    a->shadowColor = UIColor::clearColor();
  }
  transparent->backgroundColor = palette_->navBarColor();
  bar->setStandardAppearance(preference("UseTranslucentBars", true) ? standard : transparent);
  bar->setScrollEdgeAppearance(transparent);
  // The default background is the bar style's material: a bar first coloured here (a page
  // that opens a sheet of its own) would otherwise keep the light one under the dark
  // palettes' white title.
  if (!preference("ObserveAppleDarkModeChanges", false)) bar->setBarStyle(UIBarStyle(palette_->barStyle()));
}

void KVPalettedViewController::checkForTraitChanged() {
  if (!observeTraitCollection_ || !modernSystem()) return;
  bool isLight = traitCollection().userInterfaceStyle == UIUserInterfaceStyleLight;
  bool stored = KVPaletteManager::appleInterfaceStyleIsLight();
  uint32_t style = KVPaletteManager::getActiveStyle();
  if (stored == isLight && ((stored && style == 0) || (!stored && style != 0))) return;
  KVPaletteManager::setAppleInterfaceStyleIsLight(isLight);
  _paletteDidChangeInternal();
}

void KVPalettedViewController::setOverrideColor(const std::optional<UIColor>& color, const std::string& keyPath) {
  if (color) overrideColors_[keyPath] = *color;
  else overrideColors_.erase(keyPath);
}

void KVPalettedViewController::useGroupedLightColorsForStyle(uint32_t style) {
  if (style == 0) {
    setOverrideColor(UIColor::colorWithRed(0.94, 0.94, 0.96, 1), "backgroundColor");
    setOverrideColor(UIColor::whiteColor(), "cellBackgroundColor");
  } else {
    resetOverridesColors();
  }
}

std::optional<UIColor> KVPalettedViewController::overrideColorForKeyPath(const std::string& keyPath) const {
  auto it = overrideColors_.find(keyPath);
  return it == overrideColors_.end() ? std::nullopt : std::optional<UIColor>(it->second);
}
