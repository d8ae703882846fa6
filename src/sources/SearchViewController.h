#pragma once
// The search tab: one text searched at once in the local packages (names, else
// maintainers, from the beginning or anywhere as the scope says; 0.4 s after typing
// stops), the vendor's developers and its repository directory. While the bar is idle and
// empty it shows the three newest past searches and the trending ones instead. Rows open
// their packages, developers and repositories; a package row swipes to queue or unqueue.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "account/KVDeveloperProfile.h"
#include "account/KVSearchedRepo.h"
#include "database/KVRPackage.h"
#include "database/KVRSearchHistory.h"
#include "foundation/NotificationToken.h"
#include "foundation/RunLoop.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "interface/SearchCellDelegate.h"
#include "store/TypedResults.h"
#include "uikit/UISearchBar.h"
#include "uikit/UITableView.h"

class NSLayoutConstraint;
class UIBarButtonItem;
class UIButton;
class UIGestureRecognizer;
class UIImage;
class UILabel;
class UIProgressView;
class UIScrollView;
class UISegmentedControl;

class SearchViewController : public KVPalettedViewController,
                             public UITableViewDataSource,
                             public UITableViewDelegate,
                             public UISearchBarDelegate,
                             public SearchCellDelegate {
 public:
  static constexpr double kDebounce = 0.4;
  static constexpr size_t kMinimumLength = 3;

  explicit SearchViewController(KVScreenContext context);
  ~SearchViewController() override;

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewWillDisappear(bool animated) override;
  void viewDidLayoutSubviews() override;
  void viewWillTransitionToSize(CGSize size, UIViewControllerTransitionCoordinator& coordinator) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  // A text searched from outside the bar (a history or trending row, "SearchDeveloper").
  void setSearch(const std::string& text);
  // The predicate of the scope and the settings; none for an unknown scope.
  std::optional<std::string> queryStringForSearchTextforMaintainer(bool maintainer) const;
  void updatePackagesSearch();
  void seeAllPackages();
  void segmentClicked(UISegmentedControl& control);
  void followStateChanged() override;
  void iconChanged(const Notification& notification);
  void handleLongPressGesture(UIGestureRecognizer& recognizer);

  // The bar.
  bool searchBarShouldBeginEditing(UISearchBar& bar) override;
  bool searchBarShouldEndEditing(UISearchBar& bar) override;
  void searchBarTextDidChange(UISearchBar& bar, const std::string& text) override;
  void searchBarSearchButtonClicked(UISearchBar& bar) override;
  void searchBarCancelButtonClicked(UISearchBar& bar) override;

  // The five tables.
  long tableViewNumberOfRowsInSection(UITableView& table, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  double tableViewHeightForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  bool tableViewCanEditRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  std::vector<std::shared_ptr<UITableViewRowAction>> tableViewEditActionsForRowAtIndexPath(UITableView& table,
                                                                                          const NSIndexPath& path) override;

  unsigned long searchQuery() const { return searchQuery_; }
  const std::optional<std::string>& searchText() const { return searchText_; }
  size_t packagesCount() const { return packages_ ? packages_->count() : 0; }
  const std::vector<KVDeveloperProfile>& developersArray() const { return developersArray_; }
  const std::vector<KVSearchedRepo>& repositoriesArray() const { return repositoriesArray_; }
  const std::vector<std::string>& searchesTrending() const { return searchesTrending_; }
  UISearchBar* searchBar() const { return searchBar_.get(); }
  UISegmentedControl* searchQueryControl() const { return searchQueryControl_.get(); }
  UIScrollView* statsScrollView() const { return statsScrollView_.get(); }
  UIScrollView* searchScrollView() const { return searchScrollView_.get(); }
  UILabel* packagesTitle() const { return packagesTitle_.get(); }
  UIButton* seeAllPackagesBtn() const { return seeAllPackagesBtn_.get(); }
  UITableView* historyTableView() const { return historyTable_.get(); }
  UITableView* trendingTableView() const { return trendingTable_.get(); }
  UITableView* packagesTableView() const { return packagesTable_.get(); }
  UITableView* developersTableView() const { return developersTable_.get(); }
  UITableView* repositoriesTableView() const { return repositoriesTable_.get(); }
  NSLayoutConstraint* historyHeight() const { return historyHeight_.get(); }
  NSLayoutConstraint* trendingHeight() const { return trendingHeight_.get(); }
  NSLayoutConstraint* packagesHeight() const { return packagesHeight_.get(); }
  NSLayoutConstraint* developersHeight() const { return developersHeight_.get(); }
  NSLayoutConstraint* repositoriesHeight() const { return repositoriesHeight_.get(); }

 private:
  enum class Table { History, Trending, Packages, Developers, Repositories, None };
  Table kind(const UITableView& table) const;
  // The local query of `text` now, then the two searches of the service.
  void runLocalQuery(const std::string& text);
  void startServiceSearches(const std::string& text);
  void clearResults();
  void cancelPendingQuery();
  void recordSearch(const std::string& text, bool onMainThread);
  void reloadHistory();
  void fetchTrending();
  void showResults(bool results);
  void animate(std::function<void()> change);
  void setPackagesCardHeight();
  void layoutCards();
  void updateShadows();
  void push(std::shared_ptr<UIViewController> screen);
  std::shared_ptr<UIImage> remoteImage(std::map<std::string, std::shared_ptr<UIImage>>& cache, const std::string& key,
                                       const std::string& address, UITableView* table);

  KVScreenContext context_;
  unsigned long searchQuery_ = 0;
  std::optional<std::string> searchText_;
  std::optional<store::TypedResults<KVRPackage>> packages_;
  std::vector<KVDeveloperProfile> developersArray_;
  std::map<std::string, std::shared_ptr<UIImage>> developersAvatarDictionary_;
  std::vector<KVSearchedRepo> repositoriesArray_;
  std::map<std::string, std::shared_ptr<UIImage>> repositoriesIconsDictionary_;
  std::map<std::string, bool> imagesAsked_;
  store::TypedResults<KVRSearchHistory> searchHistory_;
  std::vector<std::string> searchesTrending_;
  bool isPressed_ = false;
  RunLoop::TimerId pendingQuery_ = 0;
  std::vector<std::shared_ptr<UIBarButtonItem>> savedLeftItems_, savedRightItems_;
  NotificationToken iconObservation_;
  std::shared_ptr<UIViewController> lastPushed_;

  std::shared_ptr<UISearchBar> searchBar_;
  std::shared_ptr<UISegmentedControl> searchQueryControl_;
  std::shared_ptr<UIProgressView> tasksProgressBar_;
  std::shared_ptr<UIScrollView> statsScrollView_, searchScrollView_;
  std::shared_ptr<UIView> historyCard_, trendingCard_, packagesCard_, developersCard_, repositoriesCard_;
  std::shared_ptr<UILabel> historyTitle_, trendingTitle_, packagesTitle_, developersTitle_, repositoriesTitle_;
  std::shared_ptr<UIButton> seeAllPackagesBtn_;
  std::shared_ptr<UITableView> historyTable_, trendingTable_, packagesTable_, developersTable_, repositoriesTable_;
  std::shared_ptr<NSLayoutConstraint> historyHeight_, trendingHeight_, packagesHeight_, developersHeight_,
      repositoriesHeight_;
};
