#pragma once
// The manage tab: one scrolling page with two cards, the five packages installed last and
// every source with its icon, name, description, installed and total package counts and
// the time since its index was generated (rewritten every second on the minute's
// rhythm). From here sources are added (the locations found on the pasteboard, else the
// new-source form), refreshed (all, by a pull or the bar button, or one by its swipe),
// removed (behind the device owner's authentication when the settings ask for it),
// copied and shared; a source opens its categories and page, an installed package its
// page, and the card's button or a press on it the list of every installed package.
// The home screen's "Add Source" quick action calls `addSource`.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "database/KVRPackage.h"
#include "database/KVRSource.h"
#include "foundation/NotificationToken.h"
#include "foundation/RunLoop.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "store/TypedResults.h"
#include "uikit/UITableView.h"

class NSLayoutConstraint;
class UIActivityIndicatorView;
class UIBarButtonItem;
class UIButton;
class UIGestureRecognizer;
class UILabel;
class UIProgressView;
class UIRefreshControl;
class UIScrollView;
class SourcesCell;

class ManageViewController : public KVPalettedViewController, public UITableViewDataSource, public UITableViewDelegate {
 public:
  static constexpr double kInstalledRowHeight = 70;
  static constexpr double kSourceRowHeight = 99;
  static constexpr size_t kInstalledRows = 5;

  explicit ManageViewController(KVScreenContext context);
  ~ManageViewController() override;

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewDidLayoutSubviews() override;
  void viewWillTransitionToSize(CGSize size, UIViewControllerTransitionCoordinator& coordinator) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  // --- The two tables
  long tableViewNumberOfRowsInSection(UITableView& table, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  bool tableViewCanEditRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  double tableViewHeightForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  std::vector<std::shared_ptr<UITableViewRowAction>> tableViewEditActionsForRowAtIndexPath(UITableView& table,
                                                                                          const NSIndexPath& path) override;
  bool tableViewShouldShowMenuForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  bool tableViewCanPerformAction(UITableView& table, const std::string& action, const NSIndexPath& path) override;
  void tableViewPerformAction(UITableView& table, const std::string& action, const NSIndexPath& path) override;
  void scrollViewDidEndDecelerating(UIScrollView& scrollView) override;

  // --- Actions
  // The pasteboard's new source locations, offered with "Repositories Detected"; none:
  // the new-source form.
  void addSource();
  // Refreshes every source unless a refresh runs; a pulled control always ends.
  void handleRefresh();
  void seeAllInstalledPackages();
  void addSourceWithString(const std::string& location, bool httpApproval);
  void handleLongPressGesture(UIGestureRecognizer& recognizer);

  // --- What the page shows
  // Counts every source's installed packages off the main thread, then shows them.
  void rebuildSourcesCache();
  // `sources`: the sources table's height (else the installed one's), then the layout.
  void animateContentForTable(bool sources);
  void updateShadows();
  void iconChanged(const Notification& notification);
  void sourceIconChanged(const Notification& notification);

  // Outlets.
  UIScrollView* scrollView() const { return scrollView_.get(); }
  UIActivityIndicatorView* loadingIndicator() const { return loadingIndicator_.get(); }
  UIView* installedPackagesCard() const { return installedPackagesCard_.get(); }
  UILabel* installedPackagesTitle() const { return installedPackagesTitle_.get(); }
  UIButton* seeAllInstalledPackagesBtn() const { return seeAllInstalledPackagesBtn_.get(); }
  UITableView* installedPackagesTableView() const { return installedPackagesTableView_.get(); }
  NSLayoutConstraint* installedPackagesTableViewHeightConstraint() const { return installedHeight_.get(); }
  UIView* sourcesCard() const { return sourcesCard_.get(); }
  UILabel* sourcesTitle() const { return sourcesTitle_.get(); }
  UITableView* sourcesTableView() const { return sourcesTableView_.get(); }
  NSLayoutConstraint* sourcesTableViewHeightConstraint() const { return sourcesHeight_.get(); }
  UIRefreshControl* refreshController() const { return refreshController_.get(); }
  const std::map<std::string, std::string>& dictOfInstalledPackagesCount() const { return dictOfInstalledPackagesCount_; }
  uint32_t sourcesCount() const { return sourcesCount_; }
  bool isPressed() const { return isPressed_; }

 private:
  bool isInstalledTable(const UITableView& table) const { return &table == installedPackagesTableView_.get(); }
  void layoutCards();
  // The table's height for the rows its results hold (the sources', else the installed).
  void sizeTable(bool sources);
  void registerForDatabaseUpdates();
  void resultsChanged(bool sources, const ErrorRef& error);
  void tickTimeSince();
  void fillSourceRow(SourcesCell& cell, const KVRSource& source, bool lastRow);
  void selectSource(const KVRSource& source);
  void removeSource(const std::string& location, const std::string& name);
  void showAuthenticationAlert(const std::string& message);
  void presentNewSourceForm();
  void push(std::shared_ptr<UIViewController> screen);

  KVScreenContext context_;
  store::TypedResults<KVRSource> allSources_;
  store::TypedResults<KVRPackage> allPackages_;
  NotificationToken sourceNotification_;
  NotificationToken packageNotification_;
  std::map<std::string, std::string> dictOfInstalledPackagesCount_;
  uint32_t sourcesCount_ = 0;
  // A change came while the page was away: the counts are made again when it comes back.
  bool needsRecount_ = false;
  bool recountRunning_ = false;
  bool recountAgain_ = false;
  RunLoop::TimerId timeSinceTimer_ = 0;
  bool isPressed_ = false;
  NotificationToken iconObservation_;
  NotificationToken sourceIconObservation_;
  std::shared_ptr<UIViewController> lastPushed_;
  std::shared_ptr<UIViewController> lastPresented_;

  std::shared_ptr<UIScrollView> scrollView_;
  std::shared_ptr<UIActivityIndicatorView> loadingIndicator_;
  std::shared_ptr<UIProgressView> tasksProgressBar_;
  std::shared_ptr<UIView> installedPackagesCard_;
  std::shared_ptr<UILabel> installedPackagesTitle_;
  std::shared_ptr<UIButton> seeAllInstalledPackagesBtn_;
  std::shared_ptr<UITableView> installedPackagesTableView_;
  std::shared_ptr<NSLayoutConstraint> installedHeight_;
  std::shared_ptr<UIView> sourcesCard_;
  std::shared_ptr<UILabel> sourcesTitle_;
  std::shared_ptr<UITableView> sourcesTableView_;
  std::shared_ptr<NSLayoutConstraint> sourcesHeight_;
  std::shared_ptr<UIRefreshControl> refreshController_;
};
