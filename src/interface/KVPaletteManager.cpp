#include "interface/KVPaletteManager.h"

#include <algorithm>
#include <atomic>

#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "uikit/UIDevice.h"

namespace {
std::atomic<bool> gAppleInterfaceStyleIsLight{false};
}

KVPaletteManager& KVPaletteManager::sharedPaletteManager() {
  static KVPaletteManager* manager = [] {
    auto* m = new KVPaletteManager();  // lives for the process
    m->setActiveStyle(styleForSettings());
    return m;
  }();
  return *manager;
}

uint32_t KVPaletteManager::styleForSettings() {
  auto& prefs = QuillbarkPersistentPreferences::sharedInstance();
  if (UIDevice::currentDevice().systemVersionIsAtLeast("13.0") && prefs.boolForKey("ObserveAppleDarkModeChanges") &&
      appleInterfaceStyleIsLight())
    return 0;
  if (prefs.boolForKey("DarkMode")) return 1;
  if (prefs.boolForKey("AppleDarkMode")) return 2;
  if (prefs.boolForKey("TrueDarkMode")) return 3;
  return 0;
}

void KVPaletteManager::updatePaletteFromSettings() { sharedPaletteManager().setActiveStyle(styleForSettings()); }

void KVPaletteManager::setAppleInterfaceStyleIsLight(bool isLight) {
  gAppleInterfaceStyleIsLight = isLight;
  sharedPaletteManager().setActiveStyle(styleForSettings());
}

bool KVPaletteManager::appleInterfaceStyleIsLight() { return gAppleInterfaceStyleIsLight; }
uint32_t KVPaletteManager::getActiveStyle() { return sharedPaletteManager().activeStyle(); }
std::shared_ptr<KVPalette> KVPaletteManager::getActivePalette() { return KVPalette::paletteWithStyle(getActiveStyle()); }
std::shared_ptr<KVPalette> KVPaletteManager::paletteForStyle(uint32_t style) { return KVPalette::paletteWithStyle(style); }
bool KVPaletteManager::isDarkMode() { return getActiveStyle() != 0; }
bool KVPaletteManager::isLightMode() { return getActiveStyle() == 0; }
long KVPaletteManager::interfaceStyle() { return isDarkMode() ? 2 : 1; }

void KVPaletteManager::setActiveStyle(uint32_t style) {
  if (style > 3) {
    // A style without a palette would leave every screen without colours.
    KVLog("palette style %u does not exist; using the light palette", style);
    style = 0;
  }
  NotificationCenter::defaultCenter().post(KVPaletteWillChangeNotification);
  activePalette_ = paletteForStyle(style);
  activeStyle_ = style;
  NotificationCenter::defaultCenter().post(KVPaletteDidChangeNotification);
  observers_.notify(style);
}

NotificationToken KVPaletteManager::addActiveStyleObserver(StyleObserver observer) {
  return observers_.add(std::move(observer));
}

void KVPaletteManager::resetForTesting() {
  gAppleInterfaceStyleIsLight = false;
  sharedPaletteManager().setActiveStyle(styleForSettings());
}
