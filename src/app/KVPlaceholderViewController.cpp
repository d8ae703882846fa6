#include "app/KVPlaceholderViewController.h"

#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UILabel.h"
#include "uikit/UINib.h"
#include "uikit/UIScreen.h"

namespace {
// The screens of later parts of the application that the frame opens already.
constexpr const char* kPlaceholderScreens[] = {
    "PackagesConfirmationViewController",  // the queue confirmation
    "ImportedPackageViewController",       // the local package screen
    "NewsViewController",                  // the news screen
    "WebViewViewController",               // the in-app browser of a package's website
    "PackageDetailsViewController",        // the package page
    "WebDepictionViewController",          // the package page of a package with a web depiction
};
}  // namespace

KVPlaceholderViewController::KVPlaceholderViewController(std::string screenName, std::string detail)
    : screenName_(std::move(screenName)), detail_(std::move(detail)) {}

void KVPlaceholderViewController::registerMissingInterfaceFiles() {
  for (const char* name : kPlaceholderScreens) {
    if (UINib::hasFile(name)) continue;
    UINib::registerController(name, [name] { return std::make_shared<KVPlaceholderViewController>(name); });
  }
}

void KVPlaceholderViewController::loadView() {
  KVPalettedViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  auto label = std::make_shared<UILabel>(CGRect::make(20, screen.height() / 2 - 40, screen.width() - 40, 80));
  label->setNumberOfLines(0);
  label->setTextAlignment(NSTextAlignmentCenter);
  label->setText(NSLocalizedString("This screen is not built yet.") + (detail_.empty() ? "" : "\n" + detail_));
  view()->addSubview(label);
}

void KVPlaceholderViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  setTitle(screenName_);
}

void KVPlaceholderViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  if (!presentingViewController() || logged_) return;
  // Opened over another screen, it closes itself.
  logged_ = true;
  navigationItem().setLeftBarButtonItem(UIBarButtonItem::itemWithTitle(
      NSLocalizedString("Close"), UIBarButtonItemStylePlain, [this](UIBarButtonItem&) { dismissViewControllerAnimated(true); }));
  KVLog("*** %s is not built yet: a placeholder was opened%s%s", screenName_.c_str(), detail_.empty() ? "" : ": ",
        detail_.c_str());
}
