#pragma once
// The changes tab: one scrolling page with two cards, the packages with an update that is
// not held (with "Update All", which queues them all and opens the confirmation) and the
// packages that changed last, grouped by the refresh that changed them: the newest group
// (at most 50 rows), then under "Older Changes" the group before it (at most 49), and
// "Show All Changes" opening the full list. Both lists follow every database change.
#include <memory>
#include <optional>

#include "database/KVRPackage.h"
#include "foundation/NotificationToken.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "store/TypedResults.h"
#include "uikit/UITableView.h"

class NSLayoutConstraint;
class UIButton;
class UILabel;
class UIProgressView;
class UIScrollView;

class ChangesViewController : public KVPalettedViewController, public UITableViewDataSource, public UITableViewDelegate {
 public:
  static constexpr double kPackageRowHeight = 70;
  static constexpr double kPlainRowHeight = 50;  // "Older Changes" and "Show All Changes"
  static constexpr long kNewestRows = 50;
  // Bits of `animateContentForTable`.
  static constexpr int kNewestTable = 1;
  static constexpr int kUpdatesTable = 2;

  explicit ChangesViewController(KVScreenContext context);
  ~ChangesViewController() override;

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewDidLayoutSubviews() override;
  void viewWillTransitionToSize(CGSize size, UIViewControllerTransitionCoordinator& coordinator) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  long numberOfSectionsInTableView(UITableView& table) override;
  long tableViewNumberOfRowsInSection(UITableView& table, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  double tableViewHeightForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;

  void registerForRealmUpdates();
  // Queues every update that is not held in one write, tells each row of it, and opens
  // the confirmation (also when nothing was queued).
  void updateAllPackages();
  void showPackagesTableView();
  // The package a row shows; none for the header and button rows.
  std::optional<KVRPackage> tableViewPackageAtIndexPath(UITableView& table, const NSIndexPath& path) const;
  bool tableViewHasPackageCellAtIndexPath(UITableView& table, const NSIndexPath& path) const;
  double heightForNewPackagesTableView();
  void animateContentForTable(int tables);
  void updateConstraints();
  void updateShadows();
  void iconChanged(const Notification& notification);

  long newCount() const { return newCount_; }
  long oldCount() const { return oldCount_; }
  UIView* updatedPackagesCard() const { return updatedPackagesCard_.get(); }
  UILabel* updatedPackagesTitle() const { return updatedPackagesTitle_.get(); }
  UIButton* updateAllBtn() const { return updateAllBtn_.get(); }
  UITableView* updatedPackagesTableView() const { return updatedPackagesTableView_.get(); }
  NSLayoutConstraint* updatedPackagesTableViewHeightConstraint() const { return updatedHeight_.get(); }
  UIView* NewPackagesCard() const { return newPackagesCard_.get(); }
  UILabel* NewPackagesTitle() const { return newPackagesTitle_.get(); }
  UIButton* seeAllNewPackagesBtn() const { return seeAllNewPackagesBtn_.get(); }
  UITableView* NewPackagesTableView() const { return newPackagesTableView_.get(); }
  NSLayoutConstraint* NewPackagesTableViewHeightConstraint() const { return newHeight_.get(); }
  NSLayoutConstraint* NewPackagesCardTopConstraint() const { return newTop_.get(); }

 private:
  bool isNewestTable(const UITableView& table) const { return &table == newPackagesTableView_.get(); }
  // Rows of the newest table's first section that show packages.
  long newestPackageRows() const;
  void countGroups();
  void layoutCards();

  KVScreenContext context_;
  store::TypedResults<KVRPackage> newestPackages_;
  store::TypedResults<KVRPackage> updatedPackages_;
  NotificationToken newestPackageNotification_;
  NotificationToken updatedPackageNotification_;
  NotificationToken iconObservation_;
  long newCount_ = 0;
  long oldCount_ = 0;
  bool showsIncompatible_ = true;
  bool isPressed_ = false;
  std::shared_ptr<UIViewController> lastPushed_;

  std::shared_ptr<UIScrollView> scrollView_;
  std::shared_ptr<UIProgressView> tasksProgressBar_;
  std::shared_ptr<UIView> updatedPackagesCard_;
  std::shared_ptr<UILabel> updatedPackagesTitle_;
  std::shared_ptr<UIButton> updateAllBtn_;
  std::shared_ptr<UITableView> updatedPackagesTableView_;
  std::shared_ptr<NSLayoutConstraint> updatedHeight_;
  std::shared_ptr<UIView> newPackagesCard_;
  std::shared_ptr<UILabel> newPackagesTitle_;
  std::shared_ptr<UIButton> seeAllNewPackagesBtn_;
  std::shared_ptr<UITableView> newPackagesTableView_;
  std::shared_ptr<NSLayoutConstraint> newHeight_;
  std::shared_ptr<NSLayoutConstraint> newTop_;
};
