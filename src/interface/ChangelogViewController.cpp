#include "interface/ChangelogViewController.h"

#include "foundation/LocalizedStrings.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"

ChangelogViewController::ChangelogViewController() : RootViewController(dataWithPlist("Changelog")) {}

void ChangelogViewController::viewDidLoad() {
  RootViewController::viewDidLoad();
  if (auto* navigation = navigationController(); navigation && navigation->presentingViewController())
    navigationItem().setRightBarButtonItem(
        UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemDone, [this](UIBarButtonItem&) { done(); }));
  tableView()->setTableHeaderView(headerView());
  tableView()->setSeparatorStyle(UITableViewCellSeparatorStyleSingleLine);
}

std::shared_ptr<UIView> ChangelogViewController::headerView() {
  return artworkHeader(NSLocalizedString("Changelog"), 178, &headerLabel_);
}

void ChangelogViewController::done() {
  if (UIViewController* presenting = presentingViewController()) presenting->dismissViewControllerAnimated(true);
}

void ChangelogViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  RootViewController::paletteDidChange(palette);
  if (headerLabel_) headerLabel_->setTextColor(palette->primaryTextColor());
  if (tableView()) tableView()->reloadData();
}
