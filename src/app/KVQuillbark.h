#pragma once
// The application delegate: the one door through which a package is queued (the
// operation chosen by the packages manager, a paid package taken through its
// repository's payment service first), the options and version menus of a package, the
// presentations they need, and the application's URL handling of the payment service's
// "sileo" callbacks.
//
// Queueing a package announces it with "UpdateQueueStateNotification-" followed by the
// identifier (no object, no user information), always on a later turn of the main loop,
// on which every button showing the package redraws itself.
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "app/KVDownloadStatsRegister.h"
#include "core/KVQueueStateNotification.h"
#include "foundation/URL.h"
#include "uikit/UIApplication.h"

class UIBarButtonItem;
class UIGestureRecognizer;
class UIView;
class UIViewController;

// The application whose opened addresses the payment service's callbacks may be.
inline constexpr const char* KVBrowserSheetApplication = "com.apple.SafariViewService";

// What asked for a presentation, where it is anchored as a popover.
using KVPresentationSender = std::variant<std::monostate, UIGestureRecognizer*, UIBarButtonItem*, UIView*>;

class KVQuillbark : public UIApplicationDelegate {
 public:
  static KVQuillbark& sharedQuillbark();

  // --- Queueing a package (main thread; the paid road continues on the payment
  // client's threads). `button` is only handed on to the repeated calls of the paid road.
  void queuePackageWithIdentifier(const std::string& identifier, const std::optional<std::string>& versionToQueue,
                                  std::weak_ptr<void> button = {});
  // The version menu: one button per available version, lowest first.
  void showVersionSelectionMenuForIdentifier(const std::string& identifier, KVPresentationSender sender);
  // The options menu: reinstall, uninstall, hold or release updates, versions, share.
  void presentOptions(const std::string& identifier, KVPresentationSender sender);
  // Posts the package's queue-state notification on a later turn of the main loop.
  static void announceQueueStateOfPackage(const std::string& identifier);

  // --- Presenting (main thread)
  // From the top presenter, anchored at the sender where it is shown as a popover.
  void presentViewController(std::shared_ptr<UIViewController> controller, KVPresentationSender sender);
  // The address in the platform browser view, from the root screen.
  void openURLInSafariVC(const std::optional<URL>& url);
  // The queue confirmation screen, opened by the tab bar.
  void presentQueue();
  // The share sheet of a package.
  void sharePackage(const std::string& identifier, KVPresentationSender sender);
  // Re-reads the dpkg status into the package records, in the background.
  void checkStatusFile();

  // The packages queued since the last APT run whose download is to be counted: the
  // register the composition root connected.
  static std::shared_ptr<KVDownloadStatsRegister> packagesToPostDownloadStatsFor();

  // --- URL handling: a "sileo" address opened by the browser sheet goes to the payment
  // client ("authentication_success" and "payment_completed"); every address counts as
  // handled.
  bool applicationOpenURL(UIApplication& application, const std::string& url, const Value& options) override;

 private:
  KVQuillbark();
  void queueDirectly(const std::string& identifier, const std::optional<std::string>& versionToQueue);
  void queuePaidPackage(const std::string& identifier, const std::optional<std::string>& versionToQueue,
                        const std::string& location, std::weak_ptr<void> button);
  void askPackageInformation(const std::string& identifier, const std::optional<std::string>& versionToQueue,
                             const std::string& location, std::weak_ptr<void> button);
  void purchasePackage(const std::string& identifier, const std::optional<std::string>& versionToQueue,
                       const std::string& location, std::weak_ptr<void> button);
  void changeHold(const std::string& identifier, bool hold);
  // Queued, so its download is to be counted once its archive has arrived.
  static void registerForDownloadStats(const std::string& identifier);
};
