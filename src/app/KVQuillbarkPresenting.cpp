// The application delegate as the place that shows things: the task screens, the share
// sheets of sources and packages, the in-app browser, the news and new-packages screens,
// and the alerts other parts of the system ask for through notifications.
#include <mutex>

#include "app/KVQuillbark.h"
#include "app/KVRootScreens.h"
#include "app/QuillbarkRoot.h"
#include "database/KVRDeveloper.h"
#include "database/KVRDevelopers.h"
#include "database/KVRPackage.h"
#include "database/KVRSource.h"
#include "core/KVPipelineManager.h"
#include "core/KVShareLinks.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/URL.h"
#include "foundation/URLSession.h"
#include "interface/ErrorViewController.h"
#include "interface/KVTabBarController.h"
#include "payment/KVRepoStoreAPI.h"
#include "payment/RepoStoreSigninResponse.h"
#include "uikit/UIActivityViewController.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIDevice.h"
#include "uikit/ImageLoader.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIGestureRecognizer.h"
#include "uikit/UIImage.h"
#include "uikit/UINavigationController.h"

namespace {
// What asked for a presentation that comes a while later: held weakly (a gesture by its
// view), so a sender gone meanwhile anchors nothing rather than something freed.
struct HeldSender {
  std::weak_ptr<UIView> view;
  std::weak_ptr<UIBarButtonItem> item;

  static HeldSender of(KVPresentationSender sender) {
    HeldSender held;
    if (auto* gesture = std::get_if<UIGestureRecognizer*>(&sender); gesture && *gesture && (*gesture)->view())
      held.view = (*gesture)->view()->weak_from_this();
    else if (auto* view = std::get_if<UIView*>(&sender); view && *view)
      held.view = (*view)->weak_from_this();
    else if (auto* item = std::get_if<UIBarButtonItem*>(&sender); item && *item)
      held.item = (*item)->weak_from_this();
    return held;
  }
};

std::shared_ptr<KVRootScreens> screens() { return QuillbarkRoot::screens("KVQuillbark"); }
}  // namespace

UIViewController* KVQuillbark::topPresenter() const { return UIApplication::sharedApplication().topPresenter(); }

void KVQuillbark::presentFromTop(std::shared_ptr<UIViewController> controller) {
  if (!controller) return;
  UIViewController* presenter = topPresenter();
  if (!presenter) {
    KVLog("Nothing on screen to present %s from", controller->className().c_str());
    return;
  }
  presenter->presentViewController(std::move(controller), true);
}

void KVQuillbark::presentTasks() {
  if (auto tabs = tabController_.lock()) tabs->presentTasks();
}

// ---- Sharing

void KVQuillbark::shareAlertWithItems(std::vector<UIActivityItem> items, const std::optional<std::string>& title,
                                      KVPresentationSender sender) {
  auto sheet = std::make_shared<UIActivityViewController>(std::move(items));
  std::vector<std::string> excluded{UIActivityTypeOpenInIBooks, UIActivityTypeAirDrop, UIActivityTypeSaveToCameraRoll,
                                    UIActivityTypePrint, UIActivityTypeAssignToContact};
  if (UIDevice::currentDevice().systemVersionIsAtLeast("11.0")) excluded.insert(excluded.begin(), UIActivityTypeMarkupAsPDF);
  sheet->setExcludedActivityTypes(std::move(excluded));
  if (title) sheet->setTitle(*title);
  presentViewController(sheet, sender);
}

void KVQuillbark::shareAllSources(KVPresentationSender sender) {
  std::string text;
  for (const auto& location : KVRSource::allObjects().valuesForKey("location")) text += location.asString() + "\n";
  if (!text.empty()) text.pop_back();
  shareAlertWithItems({UIActivityItem::withText(text)}, NSLocalizedString("All Sources"), sender);
}

void KVQuillbark::shareSourceWithLocation(const std::string& location, KVPresentationSender sender) {
  auto source = KVRSource::objectForPrimaryKey(location);
  std::string name = source ? source->name().value_or("") : "";
  std::string maintainer = source ? source->maintainer().value_or("") : "";
  std::string text = NSLocalizedFormat(
      "Check out the source \"%@\" maintained by %@ on Quillbark!%@(Add the source : quillbark://add/repo=%@)",
      {name, maintainer, "\n", KVShareLinks::queryValue(location)});
  shareAlertWithItems({UIActivityItem::withText(text)}, NSLocalizedFormat("Share %@", {name}), sender);
}

void KVQuillbark::sharePackage(const std::string& identifier, KVPresentationSender sender) {
  auto package = KVRPackage::objectForPrimaryKey(identifier);
  if (!package) return;
  std::string name = package->name().value_or(identifier);
  std::string sourceName = NSLocalizedString("(Removed source)");
  std::string location = sourceName;
  if (auto source = package->sourceLocation() ? KVRSource::objectForPrimaryKey(*package->sourceLocation()) : std::nullopt) {
    sourceName = source->name().value_or("");
    location = source->location();
  }
  std::vector<UIActivityItem> items{UIActivityItem::withText(NSLocalizedFormat(
      "Check out \"%@\" by %@ from the source \"%@\" on Quillbark !%@(See the package : "
      "quillbark://show/shared=Quillbark&name=%@&bundleid=%@&repo=%@)",
      {name, package->maintainer().value_or(""), sourceName, "\n", KVShareLinks::linkName(name),
       KVShareLinks::queryValue(identifier), KVShareLinks::queryValue(location)}))};
  shareAlertWithItemsAndImages(std::move(items), package->screenshots(), name, sender);
}

void KVQuillbark::shareAlertWithItemsAndImages(std::vector<UIActivityItem> items,
                                               const std::vector<std::string>& imageAddresses,
                                               const std::optional<std::string>& title, KVPresentationSender sender) {
  // The sheet follows once each picture has answered, with them in their order.
  struct Sharing {
    std::vector<UIActivityItem> items;
    std::optional<std::string> title;
    HeldSender sender;
    std::vector<std::shared_ptr<UIImage>> images;
    size_t waiting = 0;
  };
  auto sharing = std::make_shared<Sharing>(Sharing{std::move(items), title, HeldSender::of(sender), {}, 0});
  auto share = [](const std::shared_ptr<Sharing>& done) {
    for (const auto& image : done->images)
      if (image) done->items.push_back(UIActivityItem::withImage(image));
    auto view = done->sender.view.lock();
    auto item = done->sender.item.lock();
    KVPresentationSender anchor = view ? KVPresentationSender(view.get())
                                  : item ? KVPresentationSender(item.get())
                                         : KVPresentationSender();
    sharedQuillbark().shareAlertWithItems(std::move(done->items), done->title, anchor);
  };
  std::vector<URL> addresses;
  for (const auto& address : imageAddresses)
    if (auto url = URL::fromString(address)) addresses.push_back(*url);
  sharing->images.resize(addresses.size());
  sharing->waiting = addresses.size();
  if (addresses.empty()) return share(sharing);
  for (size_t i = 0; i < addresses.size(); ++i) {
    ImageLoader::shared().loadImage(addresses[i], sharing, [sharing, i, share](std::shared_ptr<UIImage> image, ErrorRef) {
      sharing->images[i] = std::move(image);
      if (--sharing->waiting == 0) share(sharing);
    });
  }
}

// ---- Screens of other parts

void KVQuillbark::openWebsiteAtURL(const std::string& url, const std::string& packageName) {
  presentFromTop(std::make_shared<UINavigationController>(
      screens()->webPage(url, NSLocalizedFormat("%@'s website", {packageName}), true)));
}

void KVQuillbark::showNewsVC() { presentFromTop(screens()->news()); }

void KVQuillbark::showNewSourcePackages() {
  auto kind = KVPackageListKind::newPackagesFromFollowedSource(identifiersToShow());
  presentFromTop(std::make_shared<UINavigationController>(screens()->packageList(kind)));
}

void KVQuillbark::showDeveloperPage() {
  auto kind = KVPackageListKind::newPackagesFromFollowedDeveloper(
      KVRDeveloper::objectsWhere("name = %@", developerToShow()).first());
  presentFromTop(std::make_shared<UINavigationController>(screens()->packageList(kind)));
}

// ---- Announcements that become alerts

void KVQuillbark::observeAnnouncements() {
  auto& center = NotificationCenter::defaultCenter();
  // Task ends arrive on the main thread already; they are handled as they come.
  taskDoneObservation_ = center.addObserver(KVPipelineTaskFinishedNotification,
                                            [](const Notification& n) { sharedQuillbark().taskDone(n); });
  announcementTokens_.clear();
  auto observe = [&](const char* name, void (KVQuillbark::*handler)(const Notification&)) {
    announcementTokens_.push_back(center.addObserver(name, [handler](const Notification& n) {
      // Each handler acts on a later turn of the main loop.
      DispatchQueue::mainQueue().async([handler, n] { (sharedQuillbark().*handler)(n); });
    }));
  };
  observe(KVNewPackageByFollowedDeveloperNotification, &KVQuillbark::showNewPackagesByFollowedDeveloperAlert);
  observe("QuillbarkSetupBackupDone", &KVQuillbark::showQuillbarkSetupBackupDoneAlert);
  observe("PurchaseNotification", &KVQuillbark::showPurchaseAlert);
  // Made at once: its poster starts the tasks it shows right after, and what they report
  // before the screen listens (a download's failure) would never reach it.
  announcementTokens_.push_back(center.addObserver("ShowVerboseView", [](const Notification& n) {
    sharedQuillbark().showVerboseView(n);
  }));
  observe("SileoRepoLogin", &KVQuillbark::showLoginAlert);
  observe("ShowNewSourcePackages", &KVQuillbark::showNewSourcePackagesNotice);
}

void KVQuillbark::showNewPackagesByFollowedDeveloperAlert(const Notification& notification) {
  const Value& info = notification.userInfo;
  setDeveloperToShow(info["developer"].asString());
  auto card = std::make_shared<ErrorViewController>();
  card->showWithTitle(info["title"].asString(), info["message"].asString(), 2, NSLocalizedString("Cancel"),
                      NSLocalizedString("Yes"), [] { sharedQuillbark().showDeveloperPage(); });
  card->presentFromTopPresenter();
}

void KVQuillbark::showQuillbarkSetupBackupDoneAlert(const Notification& notification) {
  auto card = std::make_shared<ErrorViewController>();
  card->showWithTitle(notification.userInfo["title"].asString(), notification.userInfo["message"].asString(), 1,
                      NSLocalizedString("OK"), std::nullopt, std::string());
  card->presentFromTopPresenter();
}

void KVQuillbark::showPurchaseAlert(const Notification& notification) {
  std::string name = notification.userInfo["name"].asString();
  std::string url = notification.userInfo["url"].asString();
  auto alert = UIAlertController::alertControllerWithTitle(
      NSLocalizedString("Purchase Cydia Package"),
      NSLocalizedFormat("\"%@\" installation failed, you haven't bought it. Do you want to open the website to purchase it?",
                        {name}),
      UIAlertControllerStyleAlert);
  alert->addAction(UIAlertAction::actionWithTitle("Yes", UIAlertActionStyleDefault, [url, name](UIAlertAction&) {
    sharedQuillbark().openWebsiteAtURL(url, name);
  }));
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Cancel"), UIAlertActionStyleCancel));
  presentFromTop(alert);
}

void KVQuillbark::showLoginAlert(const Notification& notification) {
  std::string name = notification.userInfo["name"].asString();
  std::string location = notification.userInfo["sourceLocation"].asString();
  auto source = KVRSource::objectForPrimaryKey(location);
  auto alert = UIAlertController::alertControllerWithTitle(
      NSLocalizedString("Paid Package Installation"),
      NSLocalizedFormat("\"%@\" installation failed, you aren't logged into \"%@\". Do you want to open the login page?",
                        {name, source ? source->name().value_or("") : std::string()}),
      UIAlertControllerStyleAlert);
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Yes"), UIAlertActionStyleDefault, [location](UIAlertAction&) {
    KVRepoStoreAPI::sharedRepoStore().userSigninForSourceLocation(
        location, [location](bool failed, std::shared_ptr<RepoStoreSigninResponse> response) {
          ErrorRef error = response ? response->error : nullptr;
          if (failed || error)
            KVLog("Signin failed for source url (%s) with error: %s", location.c_str(),
                  error ? error->localizedDescription().c_str() : "none");
          else
            KVLog("Signin successful for source url (%s)", location.c_str());
        });
  }));
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Cancel"), UIAlertActionStyleCancel));
  presentFromTop(alert);
}

void KVQuillbark::showVerboseView(const Notification&) {
  auto log = screens()->verboseLog();
  auto navigation = std::make_shared<UINavigationController>(log);
  log->loadViewIfNeeded();  // listening from now on
  // Shown on a later turn, as the other announcements, once the tasks it shows are queued.
  DispatchQueue::mainQueue().async([navigation] { sharedQuillbark().presentFromTop(navigation); });
}

void KVQuillbark::showNewSourcePackagesNotice(const Notification& notification) {
  sourceNotification_ = true;
  std::vector<std::string> identifiers;
  if (const auto* list = notification.userInfo["Identifiers"].arrayPtr())
    for (const auto& value : *list) identifiers.push_back(value.asString());
  setIdentifiersToShow(std::move(identifiers));
  sendNotificationWithTitle(NSLocalizedString("New Package on Followed Source"),
                            NSLocalizedFormat("%@ released new packages, click here to see them",
                                              {notification.userInfo["SourceName"].asString()}),
                            false);
}

// ---- Fields other threads read

std::string KVQuillbark::developerToShow() const {
  std::lock_guard<std::mutex> lock(fieldsMutex_);
  return developerToShow_;
}
void KVQuillbark::setDeveloperToShow(std::string developer) {
  std::lock_guard<std::mutex> lock(fieldsMutex_);
  developerToShow_ = std::move(developer);
}
std::vector<std::string> KVQuillbark::identifiersToShow() const {
  std::lock_guard<std::mutex> lock(fieldsMutex_);
  return identifiersToShow_;
}
void KVQuillbark::setIdentifiersToShow(std::vector<std::string> identifiers) {
  std::lock_guard<std::mutex> lock(fieldsMutex_);
  identifiersToShow_ = std::move(identifiers);
}
