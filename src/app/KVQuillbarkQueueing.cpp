// Queueing a package: the operation the packages manager chooses, the paid road through
// the repository's payment service, and the options and version menus.
#include <algorithm>

#include "app/KVQuillbark.h"
#include "app/QuillbarkRoot.h"
#include "core/KVPipelineManager.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRPackages.h"
#include "database/KVRSource.h"
#include "database/NSStringVersionCompare.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "operations/KVAPTManager.h"
#include "operations/KVPackageConfigureTask.h"
#include "payment/KVRepoStoreAPI.h"
#include "payment/KVRepoStoreRecords.h"
#include "system/DeviceRoot.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIWindow.h"

namespace {

std::shared_ptr<KVRPackages> packages() { return QuillbarkRoot::managers("KVQuillbark").packages; }

std::string describe(const ErrorRef& error) { return error ? error->localizedDescription() : std::string(); }

struct AlertButton {
  std::string title;
  UIAlertActionStyle style;
  std::function<void()> action;
};

// An alert of this road, shown by the window's root screen on the main thread.
void showAlert(const std::string& title, const std::string& message, std::vector<AlertButton> buttons) {
  performOnMainThread([title, message, buttons = std::move(buttons)] {
    auto alert = UIAlertController::alertControllerWithTitle(NSLocalizedString(title), message,
                                                             UIAlertControllerStyleAlert);
    for (const auto& button : buttons) {
      auto action = button.action;
      alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString(button.title), button.style,
                                                      [action](UIAlertAction&) {
                                                        if (action) action();
                                                      }));
    }
    UIWindow* window = UIApplication::sharedApplication().keyWindow();
    UIViewController* root = window ? window->rootViewController() : nullptr;
    if (!root) {
      KVLog("Nothing on screen to show the alert \"%s\" from", title.c_str());
      return;
    }
    root->presentViewController(alert, true);
  });
}

void showOK(const std::string& title, const std::string& message) {
  showAlert(title, message, {{"OK", UIAlertActionStyleCancel, nullptr}});
}

}  // namespace

// ---- Queueing

void KVQuillbark::queueDirectly(const std::string& identifier, const std::optional<std::string>& versionToQueue) {
  if (ErrorRef error = packages()->setPackage(identifier, true, versionToQueue, KVQueueOperationChoose))
    KVLog("Cannot queue %s: %s", identifier.c_str(), describe(error).c_str());
  registerForDownloadStats(identifier);
  announceQueueStateOfPackage(identifier);
}

void KVQuillbark::queuePackageWithIdentifier(const std::string& identifier,
                                             const std::optional<std::string>& versionToQueue,
                                             std::weak_ptr<void> button) {
  auto package = packages()->packageWithIdentifier(identifier);
  if (!package) {
    KVLog("Cannot queue %s: no package has that identifier", identifier.c_str());
    return;
  }
  // dpkg did not finish with it: the user chooses to configure it again or to remove it.
  if (!versionToQueue && !package->isInTheQueue().value_or(false) && package->unfinishedInstallText())
    return presentOptions(identifier, std::monostate{});
  // Built for another device: APT would not find it, so it is not queued, and the person is told why.
  if (!versionToQueue && !package->isInstalled().value_or(false) && package->isForAnotherArchitecture()) {
    std::string name = package->name().value_or(identifier);
    return showOK("Not for This Device",
                  NSLocalizedFormat("%@ is built for %@, and this device installs packages built for %@.",
                                    {name, package->architecture().value_or(""), DeviceRoot::kArchitecture}));
  }
  int64_t operation = KVRPackages::queueOperationForPackage(*package, versionToQueue, KVQueueOperationChoose);
  if (operation == KVQueueOperationRemove || package->isFree() || package->isPaidThroughCydia().value_or(false))
    return queueDirectly(identifier, versionToQueue);
  queuePaidPackage(identifier, versionToQueue, package->sourceLocation().value_or(""), std::move(button));
}

void KVQuillbark::queuePaidPackage(const std::string& identifier, const std::optional<std::string>& versionToQueue,
                                   const std::string& location, std::weak_ptr<void> button) {
  auto source = KVRSource::objectForPrimaryKey(location);
  if (source && source->hasEndpoint().value_or(false)) {
    if (KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(location))
      return askPackageInformation(identifier, versionToQueue, location, std::move(button));
    KVLog("User not signed in, cant purchase items");
    KVRepoStoreAPI::loginToSource(location, [this, identifier, versionToQueue, button](bool success) {
      if (!success) return;
      queuePackageWithIdentifier(identifier, versionToQueue, button);
      registerForDownloadStats(identifier);
      announceQueueStateOfPackage(identifier);
    });
    return;
  }
  if (KVRepoStoreAPI::sourceWithLoacationIsBlacklisted(location)) return queueDirectly(identifier, versionToQueue);
  KVLog("No Endpoint For Package");
  std::string name = source ? source->name().value_or(location) : location;
  showOK("Can't get package",
         NSLocalizedFormat("You are either not signed into %@, or this repo does not support modern payments. If this "
                           "package was purchased using the Cydia Store, please login from Account Settings>Stores>"
                           "Cydia Store",
                           {name}));
}

void KVQuillbark::askPackageInformation(const std::string& identifier,
                                        const std::optional<std::string>& versionToQueue, const std::string& location,
                                        std::weak_ptr<void> button) {
  KVRepoStoreAPI::sharedRepoStore().purchaseInfoForPackageWithIdentifier(
      identifier, [this, identifier, versionToQueue, location, button](
                      bool, std::shared_ptr<RepoStorePackageInfoResponse> info) {
        if (info->invalidate) {
          KVRepoStoreAPI::sharedRepoStore().invalidateCredentialsForSourceLocation(location);
          if (!info->error) {
            queuePackageWithIdentifier(identifier, versionToQueue, button);
            registerForDownloadStats(identifier);
            announceQueueStateOfPackage(identifier);
            return;
          }
        }
        if (info->error) {
          KVLog("Purchase info error %s", describe(info->error).c_str());
          std::vector<AlertButton> buttons;
          if (info->recovery_url) {
            URL recovery = *info->recovery_url;
            buttons.push_back({"More Info", UIAlertActionStyleDefault, [this, recovery] { openURLInSafariVC(recovery); }});
          }
          buttons.push_back({"OK", UIAlertActionStyleCancel, nullptr});
          showAlert("Error fetching package info", describe(info->error), std::move(buttons));
          return;
        }
        if (info->available && info->purchased) return queueDirectly(identifier, versionToQueue);
        if (info->available) return purchasePackage(identifier, versionToQueue, location, button);
      });
}

void KVQuillbark::purchasePackage(const std::string& identifier, const std::optional<std::string>& versionToQueue,
                                  const std::string& location, std::weak_ptr<void> button) {
  KVRepoStoreAPI::sharedRepoStore().purchasePackageWithIdentifier(
      identifier, [this, identifier, versionToQueue, location, button](
                      bool failed, std::shared_ptr<RepoStorePackagePurchaseResponse> purchase) {
        if (purchase->invalidate) {
          KVRepoStoreAPI::sharedRepoStore().invalidateCredentialsForSourceLocation(location);
          queuePackageWithIdentifier(identifier, versionToQueue, button);
          registerForDownloadStats(identifier);
          announceQueueStateOfPackage(identifier);
          return;
        }
        // The failed flag decides before the status: a failed call carries a fresh status.
        if (failed || purchase->status == RepoStorePackagePurchaseResponse::kNoStatus) {
          KVLog("Purchase Failed or canceled");
          std::string message = purchase->error ? describe(purchase->error)
                                                : NSLocalizedString(
                                                      "The purchase was unsuccessful. This could mean there was an "
                                                      "issue with your payment, or the repo maintainer denied your "
                                                      "purchase request");
          showOK("Purchase Failed", message);
          return;
        }
        if (purchase->status != 0) return;
        KVLog("Purchase One Tap completed");
        // The mark is committed before the package is queued, so whatever the
        // announcement redraws sees it bought.
        KVRepoStoreRecords::markPackagePaid(identifier, [this, identifier, versionToQueue](ErrorRef) {
          queueDirectly(identifier, versionToQueue);
        });
      });
}

// ---- The version menu

void KVQuillbark::showVersionSelectionMenuForIdentifier(const std::string& identifier, KVPresentationSender sender) {
  auto package = packages()->packageWithIdentifier(identifier);
  if (!package) return;
  std::string name = package->name().value_or("");
  if (name.empty()) name = identifier;
  std::vector<std::string> versions;
  for (const auto& record : package->availableVersions())
    if (record.version()) versions.push_back(*record.version());
  std::stable_sort(versions.begin(), versions.end(), [](const std::string& a, const std::string& b) {
    return NSStringVersionCompare::lessThan(a, b);
  });
  auto sheet = UIAlertController::alertControllerWithTitle(
      NSLocalizedString("Select Version"), NSLocalizedFormat("Select the version of %@ you would like to install.", {name}),
      UIAlertControllerStyleActionSheet);
  // The version on the device says so.
  std::optional<std::string> installed;
  if (package->isInstalled().value_or(false)) installed = package->installedVersion();
  for (const auto& version : versions) {
    std::string title = version == installed ? NSLocalizedFormat("%@ (Installed)", {version}) : version;
    sheet->addAction(UIAlertAction::actionWithTitle(title, UIAlertActionStyleDefault, [this, identifier, version](UIAlertAction&) {
      queuePackageWithIdentifier(identifier, version);
    }));
  }
  sheet->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Cancel"), UIAlertActionStyleCancel));
  presentViewController(sheet, sender);
}

// ---- The options menu

void KVQuillbark::changeHold(const std::string& identifier, bool hold) {
  auto finished = [this](const std::string&, const std::string&, bool done, int32_t) {
    if (done) checkStatusFile();
  };
  if (hold) KVAPTManager::hold(identifier, finished);
  else KVAPTManager::unhold(identifier, finished);
}

void KVQuillbark::configureAgain(const std::string& identifier, const std::string& name) {
  if (QuillbarkPersistentPreferences::sharedInstance().boolForKey("AutoVerboseViewForPackageTasks"))
    NotificationCenter::defaultCenter().post("ShowVerboseView");
  KVPipelineManager::sharedManager().queueTask(std::make_shared<KVPackageConfigureTask>(identifier, name));
}

void KVQuillbark::presentOptions(const std::string& identifier, KVPresentationSender sender) {
  auto package = packages()->packageWithIdentifier(identifier);
  if (!package) return;
  bool installed = package->isInstalled().value_or(false);
  bool held = package->isHeld().value_or(false);
  std::string name = package->name().value_or(identifier);
  // A package dpkg did not finish with says so, and what dpkg can do for it: set up again
  // one whose files are in place; one whose files are half in place (its install or its
  // removal cut off or failed) only installed anew or removed.
  std::optional<std::string> unfinished = package->unfinishedInstallText();
  const bool halfInstalled = unfinished && package->installState() == KVRPackage::kHalfInstalledState;
  bool failedRemoval = false;
  if (halfInstalled) {
    auto records = KVAPTManager::dpkgRecords();
    auto record = records.find(identifier);
    failedRemoval = record != records.end() && record->second.isFailedRemoval();
  }
  std::optional<std::string> message;
  if (failedRemoval)
    message = NSLocalizedFormat("%@ was being removed when a script of it failed: its files are half gone. Uninstall it "
                                "again, or reinstall it.",
                                {name});
  else if (halfInstalled)
    message = NSLocalizedFormat("%@ is not fully installed: its installation stopped half way. Reinstall it, or "
                                "uninstall it.",
                                {name});
  else if (unfinished)
    message = NSLocalizedFormat("%@ needs configuring: its installation stopped before it was set up. Configure it "
                                "again, or uninstall it.",
                                {name});
  auto sheet = UIAlertController::alertControllerWithTitle(NSLocalizedString("What would you like to do?"), message,
                                                           UIAlertControllerStyleActionSheet);
  auto add = [&](const std::string& title, std::function<void()> action) {
    sheet->addAction(UIAlertAction::actionWithTitle(title, UIAlertActionStyleDefault,
                                                    [action](UIAlertAction&) { action(); }));
  };
  if (installed) {
    std::optional<std::string> installedVersion = package->installedVersion();
    // Neither passes through the payment road nor is counted or announced: the queue
    // screen opens at once.
    // dpkg sets it up again, its scripts run anew; APT would not reinstall it as it is.
    if (unfinished && !halfInstalled)
      add(NSLocalizedString("Configure Again"), [identifier, name] { configureAgain(identifier, name); });
    else add(NSLocalizedString("Reinstall"), [this, identifier, installedVersion] {
      if (ErrorRef error = packages()->setPackage(identifier, true, installedVersion, KVQueueOperationReinstall))
        KVLog("Cannot queue %s: %s", identifier.c_str(), describe(error).c_str());
      presentQueue();
    });
    add(NSLocalizedString(failedRemoval ? "Uninstall Again" : "Uninstall"), [this, identifier] {
      if (ErrorRef error = packages()->setPackage(identifier, true, std::nullopt, KVQueueOperationRemove))
        KVLog("Cannot queue %s: %s", identifier.c_str(), describe(error).c_str());
      presentQueue();
    });
    if (held) add(NSLocalizedString("Show Updates"), [this, identifier] { changeHold(identifier, false); });
    else add(NSLocalizedString("Ignore Updates"), [this, identifier] { changeHold(identifier, true); });
  }
  if (!package->availableVersions().empty())
    add(NSLocalizedString("Select Version"),
        [this, identifier, sender] { showVersionSelectionMenuForIdentifier(identifier, sender); });
  add(NSLocalizedFormat("Share %@", {name}), [this, identifier, sender] { sharePackage(identifier, sender); });
  sheet->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Cancel"), UIAlertActionStyleCancel));
  presentViewController(sheet, sender);
}
