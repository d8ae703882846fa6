// The application delegate's start-up and lifecycle: the launch sequence, the
// application-support folders and default preferences, the quick actions, the routing of
// opened addresses other than the payment service's, the return to the foreground and
// the termination.
#include <chrono>
#include <future>

#include "account/KVSearchRepositories.h"
#include "app/KVDatabaseMigrationUtilityLaunch.h"
#include "app/KVRootScreens.h"
#include "app/QuillbarkRoot.h"
#include "app/KVQuillbark.h"
#include "app/KVURLSchemeTask.h"
#include "app/QuitGate.h"
#include "core/KVLogFile.h"
#include "core/KVPlatform.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVDatabaseMigrationUtility.h"
#include "database/KVParsingUtility.h"
#include "database/KVRDevelopers.h"
#include "database/KVRPackageManager.h"
#include "database/KVRPackages.h"
#include "database/TweakCompatibilityManager.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Clock.h"
#include "foundation/Files.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "foundation/URL.h"
#include "interface/ErrorViewController.h"
#include "interface/KVPaletteManager.h"
#include "interface/KVTabBarController.h"
#include "operations/KVAPTManager.h"
#include "operations/TasksVerboseViewController.h"
#include "sources/ManageViewController.h"
#include "system/AVAudioSession.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"
#include "system/DpkgStatusFile.h"
#include "uikit/UIDevice.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIStoryboard.h"
#include "uikit/UIWindow.h"

namespace {
constexpr const char* kSubfolders[] = {"Downloads", "Bash", "SourcesFiles", "ScreenshotsCache", "HomeCache",
                                       "DepictionsBanners"};

const char* jailbreakLine(int tool) {
  switch (tool) {
    case 1: return "- unc0ver jailbreak detected";
    case 2: return "- chimera jailbreak detected";
    case 3: return "- electra jailbreak detected";
    case 4: return "- checkra1n jailbreak detected";
    default: return "- unknown jailbreak detected";
  }
}

// What a package left in place of dpkg's status is said when the application starts: the
// records keep what dpkg last said, and the package tools are refused until it is put
// right.
void sayTheStatusIsUnreadable(ErrorRef error) {
  if (!error || error->domain != KVStatusImportErrorDomain || error->code != KVStatusImportErrorUnreadable) return;
  performOnMainThread([problem = error->localizedDescription()] {
    auto card = std::make_shared<ErrorViewController>();
    card->showWithTitle(NSLocalizedString("dpkg's Status Unreadable"), DpkgStatusFile::explanation(problem), 1,
                        NSLocalizedString("OK"), std::nullopt, std::string());
    card->presentFromTopPresenter();
  });
}

bool followsOwnStyle() {
  return !QuillbarkPersistentPreferences::sharedInstance().boolForKey("ObserveAppleDarkModeChanges") &&
         UIDevice::currentDevice().systemVersionIsAtLeast("13.0");
}
}  // namespace

bool KVQuillbark::applicationDidFinishLaunchingWithOptions(UIApplication& application, const Value&) {
  UIWindow* window = application.keyWindow();
  UIViewController* root = window ? window->rootViewController() : nullptr;
  tabController_ = root ? std::dynamic_pointer_cast<KVTabBarController>(root->shared_from_this()) : nullptr;
  configureShortcutItemsForApplication(application);
  KVLogFile::installUncaughtExceptionHandler();
  KVDatabaseMigrationUtility::deleteDatabaseIfOutdated();
  generateAppSupportIfNeeded();
  const bool listsLost = KVAPTManager::repairTreeAtLaunch();
  if (ErrorRef error = KVAPTManager::createAPTSandboxIfNeeded())
    KVLog("The APT tree could not be made: %s", error->localizedDescription().c_str());
  KVAPTManager::cleanUpArchivesAtLaunch();

  bool shouldRefresh = false;
  KVDatabaseMigrationUtilityLaunch::migrateDatabaseAtLaunch(window ? window->rootViewController() : nullptr,
                                                            &shouldRefresh);
  shouldRefresh = shouldRefresh || listsLost;
  // The card counted the queue of no database until now.
  if (auto tabs = tabController_.lock()) tabs->observeQueue();
  // The facade seeds the default sources and plans the due refresh when it is made.
  auto managers = QuillbarkRoot::managers("KVQuillbark");
  KVRPackageManager::startSharedPackageManager(managers.sources, managers.packages);
  checkStatusFileWithCompletion(sayTheStatusIsUnreadable);
  qblog::logPlain("- Quillbark 5 is up and running");
  qblog::logPlain("%s", jailbreakLine(KVPlatform::jailbreakTool()));
  TweakCompatibilityManager::prepare();
  // The directory the categories and search tabs show is read once, in the background.
  KVSearchRepositories::instance().listOnlineRepositoriesWithCompletionHandler();
  AVAudioSession::sharedInstance().setCategory(AVAudioSessionCategoryAmbient);
  registerToSendNotifications();
  observeAnnouncements();

  if (followsOwnStyle() && window) {
    window->setOverrideUserInterfaceStyle(static_cast<UIUserInterfaceStyle>(KVPaletteManager::interfaceStyle()));
    styleObservation_ = KVPaletteManager::sharedPaletteManager().addActiveStyleObserver([](uint32_t) {
      performOnMainThread([] { sharedQuillbark().observeActiveStyle(); });
    });
  }
  if (shouldRefresh) refreshAllSources();
  startupCompleted_ = true;
  auto repaired = std::make_shared<std::promise<void>>();
  startupRepair_ = repaired->get_future().share();
  startupRepairWorks_ = false;
  performOnBackgroundThread([repaired] {
    // Most starts find nothing to repair: only a repair that has packages to bring back
    // keeps a quit waiting, saying so (QuitGate).
    for (const auto& [identifier, record] : KVAPTManager::dpkgRecords()) {
      if (record.isUnfinished() || record.flag() == "reinstreq" || record.state() == "half-installed") {
        sharedQuillbark().startupRepairWorks_ = true;
        break;
      }
    }
    KVAPTManager::fixPartiallyInstalledPackages();
    repaired->set_value();
  });
  return true;
}

void KVQuillbark::waitForStartupRepair() {
  if (!startupRepair_.valid()) return;
  if (startupRepair_.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
    KVLog("Waiting for the repair of half-installed packages to end");
  startupRepair_.wait();
  startupRepair_ = {};
}

bool KVQuillbark::startupRepairRunning() const {
  return startupRepairWorks_ && startupRepair_.valid() &&
         startupRepair_.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

void KVQuillbark::resetForTesting() {
  waitForStartupRepair();
  taskDoneObservation_.invalidate();
  for (auto& token : announcementTokens_) token.invalidate();
  announcementTokens_.clear();
  styleObservation_.invalidate();
  tabController_.reset();
  startupCompleted_ = false;
  newsNotification_ = false;
  sourceNotification_ = false;
  if (newsTimer_) RunLoop::main().cancelTimer(newsTimer_);
  newsTimer_ = 0;
  lastShownError_.reset();
  setDeveloperToShow({});
  setIdentifiersToShow({});
}

void KVQuillbark::observeActiveStyle() {
  if (UIWindow* window = UIApplication::sharedApplication().keyWindow())
    window->setOverrideUserInterfaceStyle(static_cast<UIUserInterfaceStyle>(KVPaletteManager::interfaceStyle()));
}

void KVQuillbark::generateAppSupportIfNeeded() {
  const std::string support = DeviceRoot::devicePath(DeviceRoot::kApplicationSupport);
  DeviceFiles::createFolders(support);
  // The folders are the application's own, and so is what it keeps in them: a link or a
  // pipe a package left there goes, and the log says so.
  // (The database's files and the preferences have repairs of their own, as they open.)
  std::vector<std::string> repairs;
  std::string repair;
  auto ownFolder = [&](const std::string& folder) {
    if (DeviceFiles::makeOwnFolder(folder, &repair) && !repair.empty()) repairs.push_back(repair);
    DeviceFiles::removeForeignEntries(folder, repairs);
  };
  for (const char* folder : kSubfolders) ownFolder(support + "/" + folder);
  // The icons' folder is made when the first is kept.
  if (Files::exists(support + "/IconCache")) ownFolder(support + "/IconCache");
  if (DeviceFiles::clearForOwnFile(support + "/" + TweakCompatibilityManager::kCacheFileName, &repair) &&
      !repair.empty())
    repairs.push_back(repair);
  for (const auto& line : repairs) KVLog("Repaired the application's folder: %s", line.c_str());
  // A missing or misplaced preference file gets the defaults; an existing one only gains
  // the keys it lacks.
  QuillbarkPersistentPreferences::sharedInstance().mergeDefaultPreferences();
}

void KVQuillbark::reinitializeApplication() {
  UIWindow* window = UIApplication::sharedApplication().keyWindow();
  auto main = UIStoryboard::storyboardWithName("Main");
  auto root = main ? main->instantiateViewControllerWithIdentifier("TabBarVC") : nullptr;
  if (!window || !root) return;
  window->setRootViewController(root);
  window->makeKeyAndVisible();
  tabController_ = std::dynamic_pointer_cast<KVTabBarController>(root);
}

void KVQuillbark::checkStatusFileWithCompletion(std::function<void(ErrorRef)> completion) {
  KVParsingUtility::checkStatusFileWithCompletion([completion = std::move(completion)](ErrorRef error) {
    if (error) KVLog("The dpkg status import failed: %s", error->localizedDescription().c_str());
    if (completion) completion(error);
  });
}

void KVQuillbark::refreshAllSources() { KVRPackageManager::sharedPackageManager().refreshAllSources(); }

// ---- Quick actions

void KVQuillbark::configureShortcutItemsForApplication(UIApplication& application) {
  application.setShortcutItems({
      {KVShortcutItemActionRefresh, NSLocalizedString("Refresh Sources"), NSLocalizedString("Refresh all sources"),
       "ShortcutActionRefresh", Value()},
      {KVShortcutItemActionAdd, NSLocalizedString("Add Source"), NSLocalizedString("Add a new source"),
       "UIApplicationShortcutIconTypeAdd", Value()},
  });
}

void KVQuillbark::applicationPerformActionForShortcutItem(UIApplication&, const UIApplicationShortcutItem& item,
                                                          std::function<void(bool)> completion) {
  if (item.type == KVShortcutItemActionRefresh) {
    refreshAllSources();
    return completion(true);
  }
  if (item.type == KVShortcutItemActionAdd) {
    auto tabs = tabController_.lock();
    if (tabs && tabs->viewControllers().size() > 3) {
      tabs->setSelectedIndex(3);
      if (auto* navigation = dynamic_cast<UINavigationController*>(tabs->viewControllers()[3].get())) {
        navigation->popToRootViewControllerAnimated(false);
        auto root = navigation->viewControllers().empty() ? nullptr : navigation->viewControllers().front();
        if (auto* manage = dynamic_cast<ManageViewController*>(root.get())) manage->addSource();
      }
    }
    return completion(true);
  }
  completion(false);
}

// ---- Opened addresses other than the payment service's

void KVQuillbark::openOtherURL(const std::string& url) {
  auto address = URL::fromString(url);
  if (url.rfind("file", 0) == 0 && address && Files::pathExtension(address->path()) == "deb") {
    auto tabs = tabController_.lock();
    if (!tabs) return;
    auto screen = QuillbarkRoot::screens("KVQuillbark")->localPackage(address->path());
    tabs->presentViewController(std::make_shared<UINavigationController>(screen), true);
    return;
  }
  // Every other address, a file of another kind too, is the URL-scheme task's to decide.
  KVURLSchemeTask& task = KVURLSchemeTask::instance();
  task.setURL(url);
  task.doQueuedSchemeTask();
}

// ---- Foreground and termination

void KVQuillbark::applicationWillEnterForeground(UIApplication&) {
  if (startupCompleted_) checkStatusFile();
}

void KVQuillbark::applicationWillTerminate(UIApplication&) {
  // dpkg is not left half-way, and the repair reads the device root's globals to its end;
  // unless the person chose to leave while it ran (its dpkg finishes on its own).
  if (!QuitGate::leftWhileToolsRan()) waitForStartupRepair();
  if (auto db = store::Database::defaultDatabase()) {
    // At once: the process ends right after this call.
    if (ErrorRef error = KVRPackages::clearQueueState(*db))
      KVLog("The queue could not be cleared: %s", error->localizedDescription().c_str());
  }
  auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
  preferences.setObject(Value(Clock::now()), "LastVisitDate");
  preferences.saveToFile();
}
