#include "app/KVPlaceholderViewController.h"

#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"

KVPlaceholderViewController::KVPlaceholderViewController(std::string screenName, std::string detail)
    : screenName_(std::move(screenName)), detail_(std::move(detail)) {
  setTitle(NSLocalizedString(screenName_));
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

void KVPlaceholderViewController::offer(std::string title, ScreenMaker open) {
  offers_.emplace_back(std::move(title), std::move(open));
}

void KVPlaceholderViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  setTitle(NSLocalizedString(screenName_));
  std::vector<std::shared_ptr<UIBarButtonItem>> items;
  for (const auto& [title, open] : offers_)
    items.push_back(UIBarButtonItem::itemWithTitle(NSLocalizedString(title), UIBarButtonItemStylePlain,
                                                   [this, open = open](UIBarButtonItem&) {
                                                     auto* navigation = navigationController();
                                                     if (!navigation) return;
                                                     if (auto screen = open()) navigation->pushViewController(screen, true);
                                                   }));
  if (!items.empty()) navigationItem().setRightBarButtonItems(items);
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
