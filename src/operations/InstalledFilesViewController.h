#pragma once
// What dpkg installed for one package, one row per line of its file list, indented like
// a tree: a file three folders deep sits behind two tabs. The package page opens it.
#include <memory>
#include <optional>
#include <string>

#include "database/KVRPackage.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "uikit/UITableView.h"

class UIProgressView;

class InstalledFilesViewController : public KVPalettedViewController,
                                     public UITableViewDataSource,
                                     public UITableViewDelegate {
 public:
  InstalledFilesViewController(KVScreenContext context, std::string packageIdentifier);

  const std::string& packageIdentifier() const { return packageIdentifier_; }
  const std::optional<KVRPackage>& package() const { return package_; }
  UITableView* installedFilesTableView() const { return table_.get(); }
  UIProgressView* tasksProgressBar() const { return progressBar_.get(); }

  // A line of the file list as its row shows it.
  static std::string rowTextForLine(const std::string& line);

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  long tableViewNumberOfRowsInSection(UITableView&, long) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return UITableViewAutomaticDimension; }

 private:
  // The record as it is now: a status import may change the list while the screen shows.
  std::optional<KVRPackage> currentPackage() const;

  KVScreenContext context_;
  std::string packageIdentifier_;
  std::optional<KVRPackage> package_;
  // The file list as the table last counted it.
  TextList lines_;
  std::shared_ptr<UITableView> table_;
  std::shared_ptr<UIProgressView> progressBar_;
};
