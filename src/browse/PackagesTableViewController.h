#pragma once
// The one generic list of packages: every screen that lists packages opens it with a list
// kind (a special category constant, or a real category with a subcategory) and the
// inputs that kind needs. It runs one query for the kind, groups the result into
// sections by the user's sort preference (the two "new" kinds by date), shows one
// package row per package, opens the package page on a tap and offers "Queue" or
// "Remove" on a swipe. A rebuild asked for while the user scrolls waits for the end of
// the scroll. Opened through KVScreens::packageList.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "database/KVRDeveloper.h"
#include "database/KVRPackage.h"
#include "database/KVRPackageListCaches.h"
#include "interface/KVPackageListKind.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "interface/PackagesConfirmationViewControllerDelegate.h"
#include "store/TypedResults.h"
#include "uikit/UITableView.h"

class KVRequestFailureView;
class UIBarButtonItem;

// The sections of a list: their keys in order, the identifiers of each, and the index
// letters (the sort by name only). Built from identifiers and sort-key values in sort
// order, so the screen and the benchmark build it the same way.
struct KVPackageListSections {
  std::vector<std::string> sections;
  std::map<std::string, std::vector<std::string>> sectionsDictionary;
  std::vector<std::string> indexTitles;

  // `keys` are the sort-key values of the records, in the records' order; the
  // identifiers' texts are taken over.
  static KVPackageListSections build(const std::string& sortKey, std::vector<Value> identifiers,
                                     const std::vector<Value>& keys);
  // The section letter of a name: its first character, capitalized.
  static std::string nameSectionKey(const std::string& name);
};

class PackagesTableViewController : public KVPalettedViewController,
                                    public UITableViewDataSource,
                                    public UITableViewDelegate,
                                    public PackagesConfirmationViewControllerDelegate {
 public:
  PackagesTableViewController(KVScreenContext context, const KVPackageListKind& kind);
  ~PackagesTableViewController() override;

  // --- Inputs: the kind's, or set before the screen is shown.
  const std::string& category() const { return category_; }
  void setCategory(std::string category) { category_ = std::move(category); }
  void setSubcategory(std::optional<std::string> subcategory) { subcategory_ = std::move(subcategory); }
  void setSearch(std::optional<std::string> search) { search_ = std::move(search); }
  const std::optional<std::string>& sourceLocation() const { return sourceLocation_; }
  void setSourceLocation(std::optional<std::string> location) { sourceLocation_ = std::move(location); }
  void setFollowedDeveloper(std::optional<KVRDeveloper> developer) { followedDeveloper_ = std::move(developer); }
  void setNewsSourcePackagesToShow(std::vector<std::string> identifiers) { newsSourcePackagesToShow_ = std::move(identifiers); }
  void setDownloadsHistory(std::vector<std::string> identifiers) { downloadsHistory_ = std::move(identifiers); }

  // --- Derived state.
  const store::TypedResults<KVRPackage>& packages() const { return packages_; }
  const std::vector<std::string>& sections() const { return sections_.sections; }
  const std::map<std::string, std::vector<std::string>>& sectionsDictionary() const { return sections_.sectionsDictionary; }
  const std::vector<std::string>& indexTitles() const { return sections_.indexTitles; }
  bool isScrolling() const { return isScrolling_; }
  bool needCacheRebuild() const { return needCacheRebuild_; }
  UITableView* tableView() const { return tableView_.get(); }

  void rebuildCache();
  void rebuildSectionsCacheForSortCriteria(const std::string& sortKey);
  std::string sortPropertyForPrefs() const;
  void sortPackages(UIBarButtonItem* sender);
  void sourceRefreshed(const Notification& notification);
  void iconChanged(const Notification& notification);
  void updateUI() override;
  void sourceInfo();
  void seeSileoPurchasedPackages();

  // --- Lifecycle
  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;
  void registerScreenNotifications() override;

  // --- Table
  long numberOfSectionsInTableView(UITableView&) override;
  long tableViewNumberOfRowsInSection(UITableView&, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&, const NSIndexPath&) override;
  std::optional<std::string> tableViewTitleForHeaderInSection(UITableView&, long section) override;
  std::vector<std::string> sectionIndexTitlesForTableView(UITableView&) override;
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return 70; }
  void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath&) override;
  std::vector<std::shared_ptr<UITableViewRowAction>> tableViewEditActionsForRowAtIndexPath(UITableView&,
                                                                                          const NSIndexPath&) override;
  void scrollViewWillBeginDragging(UIScrollView&) override;
  void scrollViewDidEndDragging(UIScrollView&, bool willDecelerate) override;
  void scrollViewDidEndDecelerating(UIScrollView&) override;

  // The identifier a row shows (none past the end).
  std::optional<std::string> identifierAtIndexPath(const NSIndexPath& path) const;
  // Over the rows: why the purchased packages could not be asked, with "Try Again", or
  // that there are none; hidden otherwise.
  KVRequestFailureView* failureView() const { return failureView_.get(); }

 private:
  bool isNewKind() const;
  const std::vector<std::string>* rowsOfSection(long section) const;
  void runQuery(const std::string& sortKey);
  void scrollingEnded();
  // The purchased packages: asked of the payment service of every source signed in to
  // (or of the one source) when the list loads, then shown with what failed.
  void askPurchases();
  void purchasesAnswered(uint64_t asking, const std::string& location, ErrorRef error);

  KVScreenContext context_;
  std::string category_;
  std::optional<std::string> subcategory_, search_, sourceLocation_;
  std::optional<KVRDeveloper> followedDeveloper_;
  std::vector<std::string> newsSourcePackagesToShow_, downloadsHistory_;

  store::TypedResults<KVRPackage> packages_;
  KVPackageListSections sections_;
  // The "new" kinds' grouping: the snapshot the package list caches held at the rebuild.
  std::shared_ptr<const KVPackageDateGrouping> dates_;
  bool isScrolling_ = false;
  bool needCacheRebuild_ = true;
  std::shared_ptr<UITableView> tableView_;
  std::shared_ptr<UIViewController> lastPushed_;
  std::shared_ptr<KVRequestFailureView> failureView_;
  uint64_t purchasesAsking_ = 0;
  size_t purchasesPending_ = 0;
  std::vector<std::string> purchaseFailures_;
};
