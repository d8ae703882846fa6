#pragma once
// Every package whose maintainer text is exactly a given name (letter case included),
// sorted by name, each row with its Get button and opening the package's page. Packages
// known not to work are left out unless "ShowIncompatiblePackages" is on. Opened through
// KVScreens::developerPackages by the developer page and the package page.
#include <memory>
#include <string>
#include <vector>

#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "uikit/UITableView.h"

class GetPackageCell;

class AllDevPackagesViewController : public KVPalettedViewController,
                                     public UITableViewDataSource,
                                     public UITableViewDelegate {
 public:
  AllDevPackagesViewController(KVScreenContext context, std::string maintainer, std::string titleString);
  ~AllDevPackagesViewController() override;

  const std::string& maintainer() const { return maintainer_; }
  const std::string& titleString() const { return titleString_; }
  // The identifiers listed, as the last query read them.
  const std::vector<std::string>& packages() const { return packages_; }
  UITableView* devPackagesTableView() const { return tableView_.get(); }

  // The identifiers of the maintainer's packages (exactly that maintainer text), in the
  // database's order or sorted by name; the developer page reads the same.
  static std::vector<std::string> packagesOfMaintainer(const std::string& maintainer, bool sortedByName);
  // One row of a developer's packages: the record's name, maintainer line, icon and Get
  // button in the palette's colours; the separator hidden on the last row.
  static void fillRow(GetPackageCell& cell, const std::string& identifier, const KVPalette* palette, bool last);

  void loadView() override;
  void viewDidLoad() override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;
  void registerScreenNotifications() override;
  void iconChanged(const Notification& notification);
  void backSwipe();

  long tableViewNumberOfRowsInSection(UITableView&, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&, const NSIndexPath&) override;
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return 70; }
  void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath&) override;
  void scrollViewDidEndDecelerating(UIScrollView&) override;

 private:
  KVScreenContext context_;
  std::string maintainer_, titleString_;
  std::vector<std::string> packages_;
  std::shared_ptr<UITableView> tableView_;
  std::shared_ptr<UIViewController> packagePage_;
};
