#pragma once
// The second level of browsing: one category across every source (its subcategories,
// then its packages in letter sections), or the categories of one source led by "All
// Packages" with "Source Info" and, once signed in to the source's payment service,
// "Purchased" (whose marks are read again at every rebuild). Subcategory rows fold into
// the four groups as the categories tab's do; a subcategory opens the package list, a
// package its page. A source's screen lists no packages of its own under its categories,
// and it closes itself once its source is gone. A rebuild asked for while the user
// scrolls waits for the end of the scroll. Opened through KVScreens::subcategories.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browse/KVCategoryGroups.h"
#include "browse/PackagesTableViewController.h"
#include "database/KVRPackage.h"
#include "database/KVRSource.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "interface/PackagesConfirmationViewControllerDelegate.h"
#include "store/TypedResults.h"
#include "uikit/UITableView.h"

class UIProgressView;

class SubcategoriesViewController : public KVPalettedViewController,
                                    public UITableViewDataSource,
                                    public UITableViewDelegate,
                                    public PackagesConfirmationViewControllerDelegate {
 public:
  // `category` is a category's name, or kCategorySpecial_SourcePackages with the source's
  // location.
  SubcategoriesViewController(KVScreenContext context, std::string category, std::optional<std::string> sourceLocation);
  ~SubcategoriesViewController() override;

  const std::string& category() const { return category_; }
  const std::optional<std::string>& sourceLocation() const { return sourceLocation_; }
  bool isSource() const;
  const std::vector<std::string>& subcategoriesArray() const { return groups_.rows(); }
  const KVCategoryGroups& groups() const { return groups_; }
  const std::vector<std::string>& sections() const { return sections_.sections; }
  const std::map<std::string, std::vector<std::string>>& sectionsDictionary() const { return sections_.sectionsDictionary; }
  bool isScrolling() const { return isScrolling_; }
  bool needCacheRebuild() const { return needCacheRebuild_; }
  UITableView* tableView() const { return tableView_.get(); }

  void rebuildCache();
  void updateUI() override;
  void manipulateAddonsArray(bool addons, bool themes, bool tweaks, bool widgets);
  void rebuildSectionsCacheForSortCriteria(const std::string& sortKey);
  void sourceInfo();
  void backSwipe();  // a right swipe goes back
  void seeSileoPurchasedPackages();
  void sourceRefreshed(const Notification& notification);
  void iconChanged(const Notification& notification);

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewWillTransitionToSize(CGSize size, UIViewControllerTransitionCoordinator& coordinator) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;
  void registerScreenNotifications() override;

  long numberOfSectionsInTableView(UITableView&) override;
  long tableViewNumberOfRowsInSection(UITableView&, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&, const NSIndexPath&) override;
  std::optional<std::string> tableViewTitleForHeaderInSection(UITableView&, long section) override;
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override;
  void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath&) override;
  std::vector<std::shared_ptr<UITableViewRowAction>> tableViewEditActionsForRowAtIndexPath(UITableView&,
                                                                                          const NSIndexPath&) override;
  void scrollViewWillBeginDragging(UIScrollView&) override;
  void scrollViewDidEndDragging(UIScrollView&, bool willDecelerate) override;
  void scrollViewDidEndDecelerating(UIScrollView&) override;

  // The package a row shows (none on a subcategory row or past the end).
  std::optional<std::string> identifierAtIndexPath(const NSIndexPath& path) const;

 private:
  bool hasSubcategorySection() const { return !groups_.rows().empty(); }
  // The package section a table section shows (none for the subcategories).
  const std::vector<std::string>* packageRows(long section) const;
  bool signedInToPaymentService() const;
  void setRightBarButtons();
  void scrollingEnded();

  KVScreenContext context_;
  std::string category_;
  std::optional<std::string> sourceLocation_;
  std::optional<KVRSource> source_;
  KVCategoryGroups groups_;
  store::TypedResults<KVRPackage> packages_;
  KVPackageListSections sections_;
  bool isScrolling_ = false;
  bool needCacheRebuild_ = true;
  std::shared_ptr<UITableView> tableView_;
  std::shared_ptr<UIProgressView> tasksProgressBar_;
  std::shared_ptr<UIViewController> lastPushed_;
};
