#pragma once
// The categories tab: one page with two cards. The first holds the five fixed rows of
// the category cache (all, installed, updated and new packages, the repository
// directory); the second every category of the database, those of the four groups
// folded under their header rows (KVCategoryGroups: one group open at a time, the page
// scrolled to the opened header). The rows come from the package lists' published
// category snapshot, read again on every "DoneRebuildingPackagesCache", which also closes
// every group. A row opens the package list, the subcategories of a category or the
// repository directory on the tab's navigation stack.
#include <memory>
#include <string>
#include <vector>

#include "browse/KVCategoryGroups.h"
#include "foundation/NotificationToken.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "uikit/UITableView.h"

class NSLayoutConstraint;
class UILabel;
class UIProgressView;
class UIScrollView;

class CategoriesTableViewController : public KVPalettedViewController,
                                      public UITableViewDataSource,
                                      public UITableViewDelegate {
 public:
  explicit CategoriesTableViewController(KVScreenContext context);
  ~CategoriesTableViewController() override;

  const std::vector<std::string>& defaultPackagesCategories() const { return defaultPackagesCategories_; }
  const std::vector<std::string>& otherPackagesCategories() const { return groups_.rows(); }
  const KVCategoryGroups& groups() const { return groups_; }
  UIScrollView* scrollView() const { return scrollView_.get(); }
  UITableView* defaultCategoriesTableView() const { return defaultTable_.get(); }
  UITableView* otherCategoriesTableView() const { return otherTable_.get(); }
  UIView* defaultCategoriesCard() const { return defaultCard_.get(); }
  UIView* otherCategoriesCard() const { return otherCard_.get(); }
  NSLayoutConstraint* otherCategoriesTableViewHeightConstraint() const { return otherTableHeight_.get(); }

  // Rebuilds both lists from the category snapshot, every group closed, and redraws.
  void setCategoriesArrays();
  // Opens the group whose flag is set (the first, in this order) when closed, else closes it.
  void manipulateAddonsArray(bool addons, bool themes, bool tweaks, bool widgets);
  void updateShadows();

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewDidLayoutSubviews() override;
  void viewWillTransitionToSize(CGSize size, UIViewControllerTransitionCoordinator& coordinator) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  long tableViewNumberOfRowsInSection(UITableView& table, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return 44; }
  void tableViewWillDisplayCell(UITableView& table, UITableViewCell& cell, const NSIndexPath& path) override;
  void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;

 private:
  void selectDefaultRow(long row);
  void push(std::shared_ptr<UIViewController> screen, std::shared_ptr<UIViewController>& kept);
  void layoutCards();
  void setOtherTableHeight();
  void scheduleShadows();

  KVScreenContext context_;
  std::vector<std::string> defaultPackagesCategories_;
  KVCategoryGroups groups_;
  NotificationToken rebuildObservation_;

  std::shared_ptr<UIScrollView> scrollView_;
  std::shared_ptr<UIView> defaultCard_, otherCard_;
  std::shared_ptr<UILabel> defaultTitle_, otherTitle_;
  std::shared_ptr<UITableView> defaultTable_, otherTable_;
  std::shared_ptr<NSLayoutConstraint> otherTableHeight_;
  std::shared_ptr<UIProgressView> tasksProgressBar_;
  // The last screen of each kind pushed.
  std::shared_ptr<UIViewController> lastList_, lastSubcategories_, lastDirectory_;
};
