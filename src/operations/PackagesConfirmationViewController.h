#pragma once
// What the floating queue card opens: the queued packages, the others APT will install,
// upgrade, downgrade or reinstall for them, those it will remove (for a conflict or
// because they depend on a removed one), and the queued ones this device cannot take, as
// a simulated APT run of the current queue says, each row marked with what the run does
// to it and the version it goes to. Confirm starts the downloads and the APT run of
// exactly the queue that run resolved; it stays disabled while a dry run or source
// refreshes run, after any change of the queue until the dry run of the new queue has
// returned, and while the queue can't be processed, whose reasons the screen shows. A
// source whose list APT could not read is named, with an offer to refresh or remove it.
//
// Opened for a local archive (the local package screen's Install), it shows the archive
// among the queued packages, resolves and installs it with the queue through APT, so
// that its dependencies come from the sources, and deletes it when cancelled.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/KVPackageDownloading.h"
#include "database/KVRPackage.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "interface/PackagesConfirmationViewControllerDelegate.h"
#include "operations/APTDependsTree.h"
#include "uikit/UITableView.h"

class UIButton;

class PackagesConfirmationViewController : public KVPalettedViewController,
                                           public UITableViewDataSource,
                                           public UITableViewDelegate {
 public:
  enum Section : long { QueuedSection = 0, RequiredSection = 1, IncompatibleSection = 2, RemovedSection = 3 };
  static constexpr double kRowHeight = 70;

  explicit PackagesConfirmationViewController(KVScreenContext context, std::optional<KVLocalArchive> archive = {});
  ~PackagesConfirmationViewController() override;

  void loadView() override;
  void viewDidLoad() override;
  void viewDidLayoutSubviews() override;
  void viewWillAppear(bool animated) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  void refreshQueue();
  void confirmQueue();
  void cancelQueue();
  void continueQueuing();
  void launchQueueActions();
  void setButtonTitle(const std::string& title);
  void closeQueueDueToUnmetDependency(const std::string& dependency, const std::string& parentIdentifier);

  // Table
  long numberOfSectionsInTableView(UITableView&) override { return 4; }
  long tableViewNumberOfRowsInSection(UITableView&, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&, const NSIndexPath&) override;
  std::optional<std::string> tableViewTitleForHeaderInSection(UITableView&, long section) override;
  std::optional<std::string> tableViewTitleForFooterInSection(UITableView&, long section) override;
  bool tableViewCanEditRowAtIndexPath(UITableView&, const NSIndexPath&) override;
  void tableViewCommitEditingStyle(UITableView&, UITableViewCellEditingStyle, const NSIndexPath&) override;
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return kRowHeight; }
  double tableViewHeightForHeaderInSection(UITableView&, long section) override;
  double tableViewHeightForFooterInSection(UITableView&, long section) override;
  std::shared_ptr<UIView> tableViewViewForFooterInSection(UITableView&, long section) override;
  UITableViewCellEditingStyle tableViewEditingStyleForRowAtIndexPath(UITableView&, const NSIndexPath&) override;
  // Scrolling
  void scrollViewWillBeginDragging(UIScrollView&) override;
  void scrollViewDidEndDragging(UIScrollView&, bool willDecelerate) override;
  void scrollViewDidEndDecelerating(UIScrollView&) override;

  std::optional<KVRPackage> packageForIndexPath(const NSIndexPath& path) const;
  size_t countOfItemsInSection(long section) const;
  bool hasDataAtInSection(long section) const { return countOfItemsInSection(section) > 0; }

  void setDelegate(std::weak_ptr<PackagesConfirmationViewControllerDelegate> d) { delegate_ = std::move(d); }
  bool isScrolling() const { return isScrolling_; }
  // A dry run of the current queue is under way.
  bool isResolving() const { return waitingOnDependencies_; }
  bool needCacheRebuild() const { return needCacheRebuild_; }
  const APTDependsTree& dependsTree() const { return dependsTree_; }
  // Why the queue can't be processed, as the last dry run said; empty when it can.
  const std::vector<std::string>& problems() const { return dependsTree_.problems; }
  // The queue string the last returned dry run resolved.
  const std::string& resolvedQueue() const { return resolvedQueue_; }
  // The local archive installed with the queue, if any.
  const std::optional<KVLocalArchive>& archive() const { return archive_; }
  const std::shared_ptr<UITableView>& packagesConfirmationTableView() const { return table_; }
  const std::shared_ptr<UIButton>& confirmBtn() const { return confirmBtn_; }

 private:
  std::vector<KVRPackage>* listForSection(long section);
  const std::vector<KVRPackage>* listForSection(long section) const;
  void dryRunReturned(uint64_t generation, const std::string& queue, const APTDependsTree& tree);
  // Sources whose lists APT could not read: says so, and offers to refresh or remove each.
  void offerToRefreshOrRemove(const std::vector<APTUnreadableSource>& sources);
  // Packages whose failed removal APT tries again first: says so, and offers to uninstall
  // each again or to reinstall it, with the queue.
  void offerToUnblock(const std::vector<std::string>& blockers);
  void queueChanged();
  void refreshCountChanged();
  void deleteRow(const NSIndexPath& path);
  std::string currentTitle() const;
  bool canBeProcessed() const { return dependsTree_.problems.empty() && incompatible_.empty(); }
  bool isArchiveRow(const KVRPackage& package) const { return archive_ && package.identifier() == archive_->identifier; }
  std::vector<std::string> archivePaths() const;
  std::vector<KVLocalArchive> archives() const;
  std::optional<std::string> footerText(long section) const;

  KVScreenContext context_;
  std::optional<KVLocalArchive> archive_;
  bool archiveHandedOn_ = false;  // to the run that installs it
  std::weak_ptr<PackagesConfirmationViewControllerDelegate> delegate_;
  std::vector<KVRPackage> queued_, required_, incompatible_, removed_;
  bool isScrolling_ = false;
  bool needCacheRebuild_ = true;
  APTDependsTree dependsTree_;
  std::string resolvedQueue_;
  std::shared_ptr<UITableView> table_;
  std::shared_ptr<UIButton> confirmBtn_;
  bool waitingOnDependencies_ = false;
  bool waitingOnTasks_ = false;
  uint32_t pendingRefreshes_ = 0;
  // Each dry run's number: only the answer of the latest counts.
  uint64_t generation_ = 0;
  std::vector<NotificationToken> observations_;
};
