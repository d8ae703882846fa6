#include "interface/SettingsPlistViewController.h"

#include <filesystem>

#include "core/KVConnections.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRSources.h"
#include "foundation/ByteCountFormatter.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/WeakSelf.h"
#include "interface/KVApplicationActions.h"
#include "interface/KVPaletteManager.h"
#include "interface/KVScreens.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIApplication.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"

SettingsPlistViewController::SettingsPlistViewController(KVScreenContext context, AccountName accountName)
    : RootViewController(dataWithPlist("Settings")), context_(std::move(context)), accountName_(std::move(accountName)) {
  registerSelectors();
}

void SettingsPlistViewController::registerSelectors() {
  exposeSelector("refreshAllSources", [this] { refreshAllSources(); });
  exposeSelector("importSources", [this] { importSources(); });
  exposeSelector("iconChanged", [this] { iconChanged(); });
  exposeStringSelector("iconCacheSize", [this] { return iconCacheSize(); });
  exposeSelector("clearIconCache", [this] { clearIconCache(); });
  exposeStringSelector("screenshotCacheSize", [this] { return screenshotCacheSize(); });
  exposeSelector("screenshotIconCache", [this] { screenshotIconCache(); });
  exposeSelector("shareAccountName", [this] { shareAccountName(); });
  exposeStringSelector("accountName", [this] { return accountName(); });
  exposeStringSelector("initialLocaleValue", [this] { return initialLocaleValue(); });
  exposeSelector("resetLocale", [this] { resetLocale(); });
  exposeStringSelector("activeURLSchemes", [this] { return activeURLSchemes(); });
  exposeSelector("rehookURLSchemes", [this] { rehookURLSchemes(); });
  exposeSelector("paletteUpdated", [this] { paletteUpdated(); });
  exposeSelector("observePaletteChangesUpdated", [this] { observePaletteChangesUpdated(); });
}

std::string SettingsPlistViewController::iconCachePath() {
  return DeviceRoot::devicePath(std::string(DeviceRoot::kApplicationSupport) + "/IconCache");
}

std::string SettingsPlistViewController::screenshotCachePath() {
  return DeviceRoot::devicePath(std::string(DeviceRoot::kApplicationSupport) + "/ScreenshotsCache");
}

std::string SettingsPlistViewController::applicationInfoPath() {
  return DeviceRoot::devicePath("/Applications/Quillbark.app/Info.plist");
}

// ---- The screen

void SettingsPlistViewController::viewDidLoad() {
  RootViewController::viewDidLoad();
  if (auto* navigation = navigationController()) navigation->setNavigationBarHidden(false, true);
  loadCacheSizes();
  tableView()->setTableHeaderView(headerView());
}

std::shared_ptr<UIView> SettingsPlistViewController::headerView() {
  return artworkHeader("Korvale Quillbark", 178, &iconLabel_, &settingsIcon_);
}

void SettingsPlistViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  RootViewController::paletteDidChange(palette);
  if (iconLabel_) iconLabel_->setTextColor(palette->primaryTextColor());
  if (tableView()) tableView()->reloadData();
}

void SettingsPlistViewController::reportFailure(const std::string& title, const std::string& message) {
  KVConnections::current("SettingsPlistViewController")
      ->environment.presentAlertCard({NSLocalizedString(title), message, NSLocalizedString("OK"), {}, {}});
}

// ---- Sources, icon, account, palette

void SettingsPlistViewController::refreshAllSources() { context_.sources->refreshAllSources(); }

void SettingsPlistViewController::importSources() {
  presentViewController(context_.screens->sourceImport(true), true);
}

void SettingsPlistViewController::iconChanged() {
  bool legacy = QuillbarkPersistentPreferences::sharedInstance().boolForKey("LegacyIcon");
  UIApplication::sharedApplication().setAlternateIconName(
      legacy ? std::optional<std::string>("LegacyIcon") : std::nullopt, [](std::optional<std::string> error) {
        if (error) KVLog("ERROR: Could not set icon. (%s)", error->c_str());
      });
}

std::optional<std::string> SettingsPlistViewController::accountName() const { return accountName_(); }

void SettingsPlistViewController::shareAccountName() {
  std::string text = NSLocalizedFormat("My Korvale account name is \"%@\"", {accountName_().value_or("")});
  KVPresentationSender sender;
  if (lastSelectedIndexPath())
    if (auto cell = tableView()->cellForRowAtIndexPath(*lastSelectedIndexPath())) sender = static_cast<UIView*>(cell.get());
  context_.actions->shareAlertWithItems({UIActivityItem::withText(text)}, std::nullopt, sender);
}

void SettingsPlistViewController::paletteUpdated() { KVPaletteManager::updatePaletteFromSettings(); }

void SettingsPlistViewController::observePaletteChangesUpdated() { checkForTraitChanged(); }

// ---- Caches

void SettingsPlistViewController::loadCacheSizes() {
  iconCacheBytes_ = sizeOfDirectoryAtPath(iconCachePath());
  screenshotCacheBytes_ = sizeOfDirectoryAtPath(screenshotCachePath());
  if (tableView()) tableView()->reloadData();
}

std::optional<uint64_t> SettingsPlistViewController::sizeOfDirectoryAtPath(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  uint64_t total = 0;
  bool any = false;
  // Links are counted as entries, never followed: a cache is files, nothing else.
  for (fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end; it.increment(ec)) {
    any = true;
    std::error_code entry;
    if (it->symlink_status(entry).type() != fs::file_type::regular) continue;
    uint64_t size = it->file_size(entry);
    if (!entry) total += size;
  }
  if (!any) return std::nullopt;
  return total;
}

std::string SettingsPlistViewController::iconCacheSize() const {
  return ByteCountFormatter::stringFromByteCount(int64_t(iconCacheBytes_.value_or(0)));
}

std::string SettingsPlistViewController::screenshotCacheSize() const {
  return ByteCountFormatter::stringFromByteCount(int64_t(screenshotCacheBytes_.value_or(0)));
}

void SettingsPlistViewController::clearIconCache() {
  confirmCacheDeletion("Clear Icon Cache", "Are you sure you want to delete the icon cache", iconCachePath());
}

void SettingsPlistViewController::screenshotIconCache() {
  confirmCacheDeletion("Clear Screenshot Cache", "Are you sure you want to delete the screenshot cache",
                       screenshotCachePath());
}

void SettingsPlistViewController::confirmCacheDeletion(const std::string& title, const std::string& message,
                                                       const std::string& folder) {
  auto alert = UIAlertController::alertControllerWithTitle(NSLocalizedString(title), NSLocalizedString(message),
                                                           UIAlertControllerStyleAlert);
  auto weak = weakSelf(this);
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Delete"), UIAlertActionStyleDestructive,
                                                  [weak, folder](UIAlertAction&) {
                                                    // Errors are of no matter: the sizes are counted again.
                                                    DeviceFiles::removeItem(folder);
                                                    DeviceFiles::createFolder(folder);
                                                    if (auto self = weak.lock())
                                                      self->loadCacheSizes();
                                                  }));
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Cancel"), UIAlertActionStyleCancel));
  UIViewController* presenter = navigationController();
  (presenter ? presenter : this)->presentViewController(alert, true);
}
