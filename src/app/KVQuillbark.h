#pragma once
// The application delegate: start-up and the application's life (KVQuillbarkLaunch.cpp),
// the end of every task with its sounds and error messages, and the local notifications
// (KVQuillbarkTasks.cpp), the one door through which a package is queued (the operation
// chosen by the packages manager, a paid package taken through its repository's payment
// service first; KVQuillbarkQueueing.cpp), the options and version menus of a package,
// presenting, sharing and the alerts other parts ask for (KVQuillbarkPresenting.cpp), and
// the routing of opened addresses.
//
// Queueing a package announces it with "UpdateQueueStateNotification-" followed by the
// identifier (no object, no user information), always on a later turn of the main loop,
// on which every button showing the package redraws itself.
#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/KVDownloadStatsRegister.h"
#include "core/KVQueueStateNotification.h"
#include "foundation/Error.h"
#include "foundation/NotificationCenter.h"
#include "foundation/URL.h"
#include "system/UNUserNotificationCenter.h"
#include "uikit/UIActivityViewController.h"
#include "uikit/UIApplication.h"

class KVTabBarController;
class UIBarButtonItem;
class UIGestureRecognizer;
class UIView;
class UIViewController;

// The quick actions' types.
inline constexpr const char* KVShortcutItemActionRefresh = "me_korvale_quillbark_shortcuts_refresh";
inline constexpr const char* KVShortcutItemActionAdd = "me_korvale_quillbark_shortcuts_add";
// The application whose opened addresses the payment service's callbacks may be.
inline constexpr const char* KVBrowserSheetApplication = "com.apple.SafariViewService";

// What asked for a presentation, where it is anchored as a popover.
using KVPresentationSender = std::variant<std::monostate, UIGestureRecognizer*, UIBarButtonItem*, UIView*>;

class KVQuillbark : public UIApplicationDelegate, public UNUserNotificationCenterDelegate {
 public:
  static KVQuillbark& sharedQuillbark();

  // --- Start-up and the application's life (main thread)
  // The launch sequence, on the device root: folders and preferences, the APT tree, the
  // database, the dpkg status, the observers, the refresh a migration asks for, and the
  // repair of half-installed packages in the background.
  bool applicationDidFinishLaunchingWithOptions(UIApplication& application, const Value& options) override;
  void applicationWillEnterForeground(UIApplication& application) override;
  // Clears every package's queue state and stores "LastVisitDate", both at once, after
  // the start-up repair has ended: the process's globals go right after this call.
  void applicationWillTerminate(UIApplication& application) override;
  void applicationPerformActionForShortcutItem(UIApplication& application, const UIApplicationShortcutItem& item,
                                               std::function<void(bool)> completion) override;
  void configureShortcutItemsForApplication(UIApplication& application);
  // The application-support folders (with their parents) and the missing default preferences.
  static void generateAppSupportIfNeeded();
  // The interface made again from "Main" (after a language or URL-scheme change).
  void reinitializeApplication();
  void checkStatusFileWithCompletion(std::function<void(ErrorRef)> completion);
  void refreshAllSources();
  bool startupCompleted() const { return startupCompleted_; }
  std::shared_ptr<KVTabBarController> tabController() const { return tabController_.lock(); }

  // --- The end of every task and local notifications (main thread)
  void taskDone(const Notification& notification);
  // An error of the system's own domain without a description of its own gets the
  // "Errors" table's text for its code, with its package in place of "%@"; others stay.
  static ErrorRef describedError(const ErrorRef& error);
  void registerToSendNotifications();
  void sendNotificationWithTitle(const std::string& title, const std::string& body, bool alsoSetsBadge);
  void userNotificationCenterWillPresentNotification(const UNNotificationRequest& request,
                                                     std::function<void(unsigned long)> completion) override;
  void userNotificationCenterDidReceiveNotificationResponse(const UNNotificationRequest& request,
                                                            std::function<void()> completion) override;
  // Asks the service for its news and from then on again every 120 s: more entries than
  // "NewsCount" are counted there and announced by a local notification ("News"), which
  // opens the news list. Nothing starts it yet.
  void checkForNews();
  bool newsNotification() const { return newsNotification_; }
  void setNewsNotification(bool pending) { newsNotification_ = pending; }
  bool sourceNotification() const { return sourceNotification_; }
  // Back to a delegate that has not launched (tests launch it again and again); waits
  // for the start-up repair, which must not run into the next launch's device root.
  void resetForTesting();
  // Returns when the background repair of half-installed packages started by the launch
  // has ended (at once when none was started).
  void waitForStartupRepair();
  // The repair started by the launch has packages to bring back and has not ended yet.
  bool startupRepairRunning() const;

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
  // The queue confirmation screen and the task screens, opened by the tab bar.
  void presentQueue();
  void presentTasks();
  // The share sheets, with the platform's sheet's excluded activities.
  void shareAlertWithItems(std::vector<UIActivityItem> items, const std::optional<std::string>& title,
                           KVPresentationSender sender);
  // The same once the pictures at the addresses have come from the image loader, off the
  // main thread (at once without addresses); those that load follow the items, in order.
  void shareAlertWithItemsAndImages(std::vector<UIActivityItem> items, const std::vector<std::string>& imageAddresses,
                                    const std::optional<std::string>& title, KVPresentationSender sender);
  void shareAllSources(KVPresentationSender sender);
  void shareSourceWithLocation(const std::string& location, KVPresentationSender sender);
  // The sheet comes once the package's screenshots have been fetched by the image loader,
  // off the main thread (at once without screenshots); the main loop goes on meanwhile.
  void sharePackage(const std::string& identifier, KVPresentationSender sender);
  // The in-app browser with a package's website, from the top presenter.
  void openWebsiteAtURL(const std::string& url, const std::string& packageName);
  void showNewsVC();
  void showNewSourcePackages();
  void showDeveloperPage();
  // The announcements other parts post, each turned into an alert or a screen on the
  // main queue.
  void showNewPackagesByFollowedDeveloperAlert(const Notification& notification);
  void showQuillbarkSetupBackupDoneAlert(const Notification& notification);
  void showPurchaseAlert(const Notification& notification);
  void showLoginAlert(const Notification& notification);
  void showVerboseView(const Notification& notification);
  void showNewSourcePackagesNotice(const Notification& notification);
  std::string developerToShow() const;
  std::vector<std::string> identifiersToShow() const;
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
  void openOtherURL(const std::string& url);
  void observeAnnouncements();
  void observeActiveStyle();
  void postNotification(UNAuthorizationStatus status, const std::string& title, const std::string& body,
                        bool alsoSetsBadge);
  UIViewController* topPresenter() const;
  void presentFromTop(std::shared_ptr<UIViewController> controller);
  void setDeveloperToShow(std::string developer);
  void setIdentifiersToShow(std::vector<std::string> identifiers);
  void newsChecked();
  void queueDirectly(const std::string& identifier, const std::optional<std::string>& versionToQueue);
  void queuePaidPackage(const std::string& identifier, const std::optional<std::string>& versionToQueue,
                        const std::string& location, std::weak_ptr<void> button);
  void askPackageInformation(const std::string& identifier, const std::optional<std::string>& versionToQueue,
                             const std::string& location, std::weak_ptr<void> button);
  void purchasePackage(const std::string& identifier, const std::optional<std::string>& versionToQueue,
                       const std::string& location, std::weak_ptr<void> button);
  void changeHold(const std::string& identifier, bool hold);
  // dpkg sets up again a package it did not finish with (a task, in the verbose log).
  static void configureAgain(const std::string& identifier, const std::string& name);
  // Queued, so its download is to be counted once its archive has arrived.
  static void registerForDownloadStats(const std::string& identifier);

  std::weak_ptr<KVTabBarController> tabController_;
  bool startupCompleted_ = false;
  std::shared_future<void> startupRepair_;
  std::atomic<bool> startupRepairWorks_{false};
  std::atomic<bool> newsNotification_{false};
  std::atomic<bool> sourceNotification_{false};
  mutable std::mutex fieldsMutex_;
  std::string developerToShow_;
  std::vector<std::string> identifiersToShow_;
  // The error shown last, kept for the process: the same object is not shown twice.
  ErrorRef lastShownError_;
  NotificationToken taskDoneObservation_;
  std::vector<NotificationToken> announcementTokens_;
  NotificationToken styleObservation_;
  // The repeat of the news check; 0 before the first check ended.
  uint64_t newsTimer_ = 0;
};
