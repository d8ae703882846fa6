#pragma once
// The application's settings: the "Settings" property list under a header of the
// application's artwork and name. Its switches are bound to preference keys; its other
// rows refresh all sources, open the import of other package managers' sources, show
// and clear the icon and screenshot caches, share the vendor account's name, choose the
// interface language and the URL schemes the application answers to, and apply the
// icon and palette choices. Opened through KVScreens::settings.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "interface/KVScreenContext.h"
#include "interface/RootViewController.h"

class UIImageView;
class UILabel;

class SettingsPlistViewController : public RootViewController {
 public:
  // The signed-in vendor account's user name; nothing when signed out.
  using AccountName = std::function<std::optional<std::string>()>;

  SettingsPlistViewController(KVScreenContext context, AccountName accountName);

  // The device paths of what the screen shows and changes.
  static std::string iconCachePath();
  static std::string screenshotCachePath();
  static std::string applicationInfoPath();  // the application's own Info.plist

  std::optional<uint64_t> iconCacheBytes() const { return iconCacheBytes_; }
  std::optional<uint64_t> screenshotCacheBytes() const { return screenshotCacheBytes_; }
  UILabel* iconLabel() const { return iconLabel_.get(); }
  UIImageView* settingsIcon() const { return settingsIcon_.get(); }

  // The rows' actions and values (named in "Settings").
  void refreshAllSources();
  void importSources();
  void iconChanged();
  // The sizes as file sizes read ("Zero KB" for a missing or empty folder).
  std::string iconCacheSize() const;
  void clearIconCache();
  std::string screenshotCacheSize() const;
  void screenshotIconCache();
  void shareAccountName();
  std::optional<std::string> accountName() const;
  std::string initialLocaleValue() const;
  void resetLocale();
  std::string activeURLSchemes() const;
  void rehookURLSchemes();
  void paletteUpdated();
  void observePaletteChangesUpdated();

  void loadCacheSizes();
  // Every byte of every file below the folder; nothing for a missing or empty folder.
  static std::optional<uint64_t> sizeOfDirectoryAtPath(const std::string& path);
  // Writes the schemes into the application's Info.plist, stores them and has the
  // system's application cache rebuilt. Answers false, having stored and run nothing,
  // when the list can't be read, holds no URL types, or can't be written; the reason is
  // shown on a card.
  bool setActiveURLSchemes(const std::vector<std::string>& schemes);

  std::shared_ptr<UIView> headerView();
  void viewDidLoad() override;
  void paletteWillChangeToStyle(uint32_t style) override { useGroupedLightColorsForStyle(style); }
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;
  void pickerCellDidFinalizeSelectionWithRow(KVUIPickerCell& cell, long row, const Value& value) override;

 private:
  void registerSelectors();
  // The language change: refused while a queue is being downloaded or installed.
  void changeLanguage(const std::optional<std::string>& code);
  void confirmCacheDeletion(const std::string& title, const std::string& message, const std::string& folder);
  void reportFailure(const std::string& title, const std::string& message);

  KVScreenContext context_;
  AccountName accountName_;
  std::optional<uint64_t> iconCacheBytes_;
  std::optional<uint64_t> screenshotCacheBytes_;
  std::shared_ptr<UILabel> iconLabel_;
  std::shared_ptr<UIImageView> settingsIcon_;
};
