#pragma once
// The process's one palette manager: the active style, its palette, and the
// notifications and observations that announce a change.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "foundation/ObserverList.h"
#include "interface/KVPalette.h"

inline constexpr const char* KVPaletteWillChangeNotification = "KVPaletteWillChangeNotification";
inline constexpr const char* KVPaletteDidChangeNotification = "KVPaletteDidChangeNotification";
inline constexpr const char* KVPaletteNeedsUIRefreshNotification = "KVPaletteNeedsUIRefreshNotification";

class KVPaletteManager {
 public:
  using StyleObserver = std::function<void(uint32_t newStyle)>;

  // Made on first use, which sets the style from the preferences (and so posts both
  // notifications once).
  static KVPaletteManager& sharedPaletteManager();
  // The style the preferences and the system's appearance choose.
  static uint32_t styleForSettings();
  static void updatePaletteFromSettings();
  static void setAppleInterfaceStyleIsLight(bool isLight);
  static bool appleInterfaceStyleIsLight();
  static uint32_t getActiveStyle();
  // A new palette of the active style, without overrides.
  static std::shared_ptr<KVPalette> getActivePalette();
  static std::shared_ptr<KVPalette> paletteForStyle(uint32_t style);
  static bool isDarkMode();
  static bool isLightMode();
  // 2 (dark) for a dark style, else 1 (light): the override for the window and screens.
  static long interfaceStyle();

  uint32_t activeStyle() const { return activeStyle_; }
  // Posts the will-change notification, stores the style and its palette, posts the
  // did-change notification, then tells the style observers; every call does all of
  // it, changed or not.
  void setActiveStyle(uint32_t style);
  std::shared_ptr<KVPalette> activePalete() const { return activePalette_; }
  // Each property of the active palette (the palette always exists once the manager does).
  const UIColor& backgroundColor() const { return activePalette_->backgroundColor(); }
  const UIColor& foregroundColor() const { return activePalette_->foregroundColor(); }
  const UIColor& queueBackgroundColor() const { return activePalette_->queueBackgroundColor(); }
  const UIColor& highlightColor() const { return activePalette_->highlightColor(); }
  const UIColor& tintColor() const { return activePalette_->tintColor(); }
  const UIColor& barTintColor() const { return activePalette_->barTintColor(); }
  const UIColor& primaryTextColor() const { return activePalette_->primaryTextColor(); }
  const UIColor& secondaryTextColor() const { return activePalette_->secondaryTextColor(); }
  const UIColor& paidTextColor() const { return activePalette_->paidTextColor(); }
  const UIColor& shadowColor() const { return activePalette_->shadowColor(); }
  const UIColor& navBarColor() const { return activePalette_->navBarColor(); }
  const UIColor& cellBackgroundColor() const { return activePalette_->cellBackgroundColor(); }
  const UIColor& getButtonBackgoundColor() const { return activePalette_->getButtonBackgoundColor(); }
  const UIColor& getButtonTextColor() const { return activePalette_->getButtonTextColor(); }
  int32_t barStyle() const { return activePalette_->barStyle(); }
  int32_t blurStyle() const { return activePalette_->blurStyle(); }
  int32_t keyboardAppearance() const { return activePalette_->keyboardAppearance(); }

  // Key-value observation of "activeStyle", told on the thread that sets the style,
  // as long as the token lives.
  [[nodiscard]] NotificationToken addActiveStyleObserver(StyleObserver observer);

  // Forgets the system-appearance flag and sets the style from the preferences again (tests).
  static void resetForTesting();

 private:
  KVPaletteManager() = default;
  uint32_t activeStyle_ = 0;
  std::shared_ptr<KVPalette> activePalette_;
  ObserverList<uint32_t> observers_;
};
