#pragma once
// The base of nearly every screen: keeps its own copy of the active palette, applies it
// to the navigation bar, tab bar, status bar and titles whenever the palette or the
// system appearance may have changed, and gives subclasses two hooks to colour their
// own views. A screen loses all its notification registrations when it disappears;
// registrations made in registerScreenNotifications are made again on every appearance.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "foundation/NotificationCenter.h"
#include "interface/KVPalette.h"
#include "uikit/UIViewController.h"

class KVPalettedViewController : public UIViewController {
 public:
  static constexpr long kBackingViewTag = 41054834;

  KVPalettedViewController();
  ~KVPalettedViewController() override;

  std::map<std::string, UIColor>& overrideColors() { return overrideColors_; }
  void setOverrideColors(std::map<std::string, UIColor> colors) { overrideColors_ = std::move(colors); }
  const std::shared_ptr<UIView>& fakeStatusBar() const { return fakeStatusBar_; }
  void setFakeStatusBar(std::shared_ptr<UIView> view) { fakeStatusBar_ = std::move(view); }
  bool observeTraitCollection() const { return observeTraitCollection_; }
  void setObserveTraitCollection(bool v) { observeTraitCollection_ = v; }
  bool overrideLargeTitles() const { return overrideLargeTitles_; }
  void setOverrideLargeTitles(bool v) { overrideLargeTitles_ = v; }
  bool overrideTranslucentNavBar() const { return overrideTranslucentNavBar_; }
  void setOverrideTranslucentNavBar(bool v) { overrideTranslucentNavBar_ = v; }
  bool useLegacyNavbarAppearance() const { return useLegacyNavbarAppearance_; }
  void setUseLegacyNavbarAppearance(bool v) { useLegacyNavbarAppearance_ = v; }
  const std::shared_ptr<KVPalette>& palette() const { return palette_; }
  uint32_t paletteStyle() const { return paletteStyle_; }
  bool isDarkMode() const;
  bool didLastPaletteChangeUpdateDarkmode() const { return didLastPaletteChangeUpdateDarkmode_; }

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewDidDisappear(bool animated) override;
  UIStatusBarStyle preferredStatusBarStyle() const override;
  void traitCollectionDidChange(const UITraitCollection& previous) override;
  void applicationDidBecomeActive(const Notification& notification);

  // The locked re-theme; also what the palette's did-change notification runs.
  void _paletteDidChangeInternal();
  void _updateAppearanceInternal();
  void setNavigationBarColor(const UIColor& color);
  // Reports the system's appearance to the palette manager (system 13 and later).
  void checkForTraitChanged();

  // Hooks: set overrides before the palette is rebuilt; colour own views after.
  virtual void paletteWillChangeToStyle(uint32_t) {}
  virtual void paletteDidChange(const std::shared_ptr<KVPalette>&) {}
  // Registrations a screen wants back each time it appears (they go when it disappears).
  virtual void registerScreenNotifications() {}

  // A nil colour removes the override; it takes effect at the next re-theme.
  void setOverrideColor(const std::optional<UIColor>& color, const std::string& keyPath);
  std::optional<UIColor> overrideColorForKeyPath(const std::string& keyPath) const;
  // The screen's live notification registrations.
  size_t observationCount() const { return observations_.size(); }
  void resetOverridesColors() { overrideColors_.clear(); }
  // The light palette's grouped look that several screens share: light grey behind white
  // rows in style 0, the palette's own colours otherwise (from paletteWillChangeToStyle).
  void useGroupedLightColorsForStyle(uint32_t style);

 protected:
  // Registers for a notification on the screen's behalf, delivered on the main queue
  // (removed when it disappears); replaces the screen's earlier registration of the
  // same name.
  void observe(const std::string& name, NotificationCenter::Block block);

 private:
  void applyLegacyAppearance();
  std::map<std::string, UIColor> overrideColors_;
  std::shared_ptr<UIView> fakeStatusBar_;
  bool observeTraitCollection_ = false;
  bool overrideLargeTitles_ = false;
  bool overrideTranslucentNavBar_ = false;
  bool useLegacyNavbarAppearance_ = true;
  std::shared_ptr<KVPalette> palette_;
  uint32_t paletteStyle_ = 0;
  bool didLastPaletteChangeUpdateDarkmode_ = false;
  std::mutex themeLock_;
  std::map<std::string, NotificationToken> observations_;
};
