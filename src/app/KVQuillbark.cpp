// The application delegate: the shared instance, presenting, and the URL handling of the
// payment service's callbacks. Queueing a package is in KVQuillbarkQueueing.cpp.
#include "app/KVQuillbark.h"

#include "app/QuillbarkRoot.h"
#include "database/KVParsingUtility.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "interface/KVPalette.h"
#include "interface/KVPaletteManager.h"
#include "interface/KVTabBarController.h"
#include "payment/KVRepoStoreAPI.h"
#include "uikit/SFSafariViewController.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIGestureRecognizer.h"
#include "uikit/UIPresentationController.h"
#include "uikit/UIWindow.h"

KVQuillbark& KVQuillbark::sharedQuillbark() {
  static KVQuillbark* delegate = new KVQuillbark();  // lives as long as the process
  return *delegate;
}

KVQuillbark::KVQuillbark() = default;

std::shared_ptr<KVDownloadStatsRegister> KVQuillbark::packagesToPostDownloadStatsFor() {
  return QuillbarkRoot::managers("KVQuillbark").downloadStats;
}

void KVQuillbark::registerForDownloadStats(const std::string& identifier) {
  packagesToPostDownloadStatsFor()->registerPackage(identifier);
}

void KVQuillbark::announceQueueStateOfPackage(const std::string& identifier) {
  // Always on a later turn, also when the caller is on the main thread already.
  performAfterWithBlock(0, [name = KVQueueStateNotificationName(identifier)] {
    NotificationCenter::defaultCenter().post(name);
  });
}

// ---- Presenting

void KVQuillbark::presentViewController(std::shared_ptr<UIViewController> controller, KVPresentationSender sender) {
  if (!controller) return;
  UIViewController* presenter = UIApplication::sharedApplication().topPresenter();
  if (!presenter) {
    KVLog("Nothing on screen to present %s from", controller->className().c_str());
    return;
  }
  if (UIPopoverPresentationController* popover = controller->popoverPresentationController()) {
    if (auto* gesture = std::get_if<UIGestureRecognizer*>(&sender); gesture && *gesture) {
      UIView* view = (*gesture)->view();
      popover->setSourceView(view);
      popover->setSourceRect(view ? view->bounds() : CGRect{});
    } else if (auto* item = std::get_if<UIBarButtonItem*>(&sender); item && *item) {
      popover->setBarButtonItem(*item);
    } else if (auto* view = std::get_if<UIView*>(&sender); view && *view) {
      popover->setSourceView(*view);
      popover->setSourceRect((*view)->bounds());
    }
  }
  if (std::dynamic_pointer_cast<UIAlertController>(controller))
    controller->view()->setTintColor(KVPaletteManager::getActivePalette()->tintColor());
  presenter->presentViewController(std::move(controller), true);
}

void KVQuillbark::openURLInSafariVC(const std::optional<URL>& url) {
  if (!url) return;
  performOnMainThread([address = url->absoluteString()] {
    UIWindow* window = UIApplication::sharedApplication().keyWindow();
    UIViewController* root = window ? window->rootViewController() : nullptr;
    if (!root) {
      KVLog("Nothing on screen to open %s from", address.c_str());
      return;
    }
    root->presentViewController(std::make_shared<SFSafariViewController>(address), true);
  });
}

void KVQuillbark::presentQueue() {
  if (auto tabs = tabController_.lock()) tabs->presentQueue();
}

void KVQuillbark::checkStatusFile() { checkStatusFileWithCompletion(nullptr); }

// ---- URL handling

bool KVQuillbark::applicationOpenURL(UIApplication&, const std::string& url, const Value& options) {
  if (url.rfind("sileo", 0) == 0) {
    // Only the browser sheet may bring the payment service's callbacks back.
    if (options[UIApplicationOpenURLOptionsSourceApplicationKey].asString() != KVBrowserSheetApplication) return true;
    if (auto address = URL::fromString(url)) KVRepoStoreAPI::sharedRepoStore().handleReturningAddress(*address);
    return true;
  }
  // Web pages are not the application's to open.
  if (url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0) return false;
  openOtherURL(url);
  return true;
}
