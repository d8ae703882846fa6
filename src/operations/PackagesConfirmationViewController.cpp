#include "operations/PackagesConfirmationViewController.h"

#include <algorithm>

#include "core/KVPipelineManager.h"
#include "core/KVQueueStateNotification.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVIconProvider.h"
#include "database/KVParsingUtility.h"
#include "database/KVRPackages.h"
#include "database/KVRSources.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Files.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/WeakSelf.h"
#include "interface/MultiLineHeaderFooterView.h"
#include "interface/PackageCell.h"
#include "operations/KVAPTManager.h"
#include "operations/KVPackageQueue.h"
#include "system/DeviceFiles.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"

namespace {

constexpr const char* kQueuedHeader = "Main Packages to Proceed";
constexpr const char* kRequiredHeader = "Other Packages";
constexpr const char* kIncompatibleHeader = "Packages that cannot be processed";
constexpr const char* kRemovedHeader = "Packages That Will Be Removed";
constexpr const char* kIncompatibleFooter =
    "You have queued packages that connot be installed on your device. Before Quillbark can determine all "
    "dependencies, you must remove the incompatible packages from the queue";

std::vector<KVRPackage> queuedRecords() { return KVPackageQueue::queuedPackages(); }

// The row of a local archive: a record of its control fields, kept by no database.
KVRPackage archiveRow(const KVLocalArchive& archive) {
  KVRPackage row;
  row.setIdentifier(archive.identifier);
  row.setName(archive.name);
  row.setVersion(archive.version);
  if (!archive.description.empty()) row.setDescription(archive.description);
  if (!archive.maintainer.empty()) row.setMaintainer(archive.maintainer);
  return row;
}

bool sameIdentifier(const KVRPackage& p, const std::string& identifier) { return p.identifier() == identifier; }

// The queue operation whose mark shows what the run does to a package.
int64_t operationOf(APTPlannedChange::Kind kind) {
  switch (kind) {
    case APTPlannedChange::Install: return KVQueueOperationInstall;
    case APTPlannedChange::Upgrade: return KVQueueOperationUpgrade;
    case APTPlannedChange::Downgrade: return KVQueueOperationDowngrade;
    case APTPlannedChange::Reinstall: return KVQueueOperationReinstall;
    case APTPlannedChange::Remove: return KVQueueOperationRemove;
  }
  return 0;
}

void postQueueState(const std::string& identifier) {
  // On the main queue's next turn, after the change that caused it.
  performAfterWithBlock(0, [identifier] {
    NotificationCenter::defaultCenter().post(KVQueueStateNotificationName(identifier), Value(),
                                             Value::dict({{"Message", Value("Canceled Operation")}}));
  });
}

}  // namespace

PackagesConfirmationViewController::PackagesConfirmationViewController(KVScreenContext context,
                                                                       std::optional<KVLocalArchive> archive)
    : context_(std::move(context)), archive_(std::move(archive)) {}

std::vector<KVLocalArchive> PackagesConfirmationViewController::archives() const {
  return archive_ ? std::vector<KVLocalArchive>{*archive_} : std::vector<KVLocalArchive>{};
}

std::vector<std::string> PackagesConfirmationViewController::archivePaths() const {
  return archive_ ? std::vector<std::string>{archive_->path} : std::vector<std::string>{};
}

// A local archive neither confirmed nor cancelled (the screen closed another way) is
// nobody's any more: it goes, as Cancel would have done.
PackagesConfirmationViewController::~PackagesConfirmationViewController() {
  if (archive_ && !archiveHandedOn_) DeviceFiles::removeItem(archive_->path);
}

void PackagesConfirmationViewController::loadView() {
  KVPalettedViewController::loadView();
  table_ = std::make_shared<UITableView>(CGRect{});
  view()->addSubview(table_);
  confirmBtn_ = std::make_shared<UIButton>();
  confirmBtn_->addTarget(
      this,
      [weak = weakSelf(this)](UIControl&) {
        if (auto self = weak.lock()) self->confirmQueue();
      },
      UIControlEventTouchUpInside);
  view()->addSubview(confirmBtn_);
}

// The list over the Confirm button at the bottom, in whatever room the screen is given (a
// sheet is shorter than the screen).
void PackagesConfirmationViewController::viewDidLayoutSubviews() {
  KVPalettedViewController::viewDidLayoutSubviews();
  CGRect bounds = view()->bounds();
  table_->setFrame(CGRect::make(0, 0, bounds.size.width, bounds.size.height - 70));
  confirmBtn_->setFrame(CGRect::make(16, bounds.size.height - 62, bounds.size.width - 32, 50));
}

void PackagesConfirmationViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  setOverrideLargeTitles(true);
  setOverrideTranslucentNavBar(true);
  auto weak = weakSelf(this);
  auto guard = [weak](void (PackagesConfirmationViewController::*member)()) {
    return [weak, member](auto&&...) {
      if (auto self = weak.lock()) ((*self).*member)();
    };
  };
  auto cancel = UIBarButtonItem::itemWithTitle(NSLocalizedString("Cancel"), UIBarButtonItemStylePlain,
                                               guard(&PackagesConfirmationViewController::cancelQueue));
  auto add = UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemAdd,
                                                          guard(&PackagesConfirmationViewController::continueQueuing));
  if (palette()) {
    cancel->setTintColor(palette()->tintColor());
    add->setTintColor(palette()->tintColor());
  }
  navigationItem().setLeftBarButtonItem(cancel);
  // A local archive is installed from here or not at all: nothing keeps it queued.
  if (!archive_) navigationItem().setRightBarButtonItem(add);

  observe(KVRSourceUpdatedNotification, [weak](const Notification&) {
    auto self = weak.lock();
    if (!self) return;
    self->needCacheRebuild_ = true;
    self->refreshQueue();
  });
  observe(KVRPackageInfoIconChangedNotification, [weak](const Notification&) {
    if (auto self = weak.lock(); self && self->table_) self->table_->reloadData();
  });
  // The number of running source refreshes, whenever the pipeline's tasks change.
  for (const char* name : {KVPipelineTaskQueuedNotification, KVPipelineTaskFinishedNotification}) {
    observations_.push_back(NotificationCenter::defaultCenter().addObserver(
        name, &DispatchQueue::mainQueue(), [weak](const Notification&) {
          if (auto self = weak.lock()) self->refreshCountChanged();
        }));
  }

  table_->setDataSource(this);
  table_->setTableDelegate(this);
  table_->registerNib("PackageCell", "cell");
  table_->registerClass<UITableViewCell>("genericCell");
  table_->registerClass<MultiLineHeaderFooterView>("footerCell");
  isScrolling_ = false;
  needCacheRebuild_ = true;
  refreshCountChanged();
  refreshQueue();
}

void PackagesConfirmationViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  confirmBtn_->layer().cornerRadius = 10;
}

void PackagesConfirmationViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  view()->setBackgroundColor(palette->backgroundColor());
  if (!table_) return;
  table_->setBackgroundColor(UIColor::clearColor());
  table_->setSeparatorColor(UIColor::clearColor());
  table_->reloadData();
}

// ---- The confirm button

std::string PackagesConfirmationViewController::currentTitle() const {
  if (waitingOnTasks_) {
    std::string text = NSLocalizedString(pendingRefreshes_ == 1 ? "Waiting On (%d) Task" : "Waiting On (%d) Tasks");
    if (auto at = text.find("%d"); at != std::string::npos) text.replace(at, 2, std::to_string(pendingRefreshes_));
    return text;
  }
  return NSLocalizedString("Confirm");
}

void PackagesConfirmationViewController::refreshCountChanged() {
  pendingRefreshes_ = KVPipelineManager::sharedManager().sourceRefreshCount();
  waitingOnTasks_ = pendingRefreshes_ > 0;
  setButtonTitle(currentTitle());
}

void PackagesConfirmationViewController::setButtonTitle(const std::string& title) {
  if (!confirmBtn_) return;
  // Nothing queued, nothing to confirm: a Confirm that does nothing is not offered.
  const bool empty = queued_.empty() && required_.empty() && incompatible_.empty() && removed_.empty();
  bool enabled = !waitingOnDependencies_ && !waitingOnTasks_ && canBeProcessed() && !empty;
  confirmBtn_->setEnabled(enabled);
  confirmBtn_->setAlpha(enabled ? 1.0 : 0.5);
  confirmBtn_->setTitle(title);
  // What a dimmed Confirm waits for, said to whoever reads the screen rather than sees it.
  confirmBtn_->setAccessibilityValue(waitingOnTasks_          ? NSLocalizedString("waiting for the source refreshes to end")
                                     : waitingOnDependencies_ ? NSLocalizedString("waiting for APT's dry run of the queue")
                                     : !canBeProcessed()      ? NSLocalizedString("the queue can't be processed")
                                     : empty                  ? NSLocalizedString("nothing is queued")
                                                              : std::string());
}

// ---- Rebuilding and the dry run

void PackagesConfirmationViewController::refreshQueue() {
  if (isScrolling_) {
    needCacheRebuild_ = true;  // owed once the scrolling ends
    return;
  }
  KVParsingUtility::checkStatusFileWithCompletion([](ErrorRef error) {
    if (error) KVLog("The dpkg status import failed: %s", error->localizedDescription().c_str());
  });
  needCacheRebuild_ = false;
  queued_ = queuedRecords();
  const std::string queue = KVAPTManager::queueStringForKVRPackageArray(queued_);
  if (archive_) queued_.insert(queued_.begin(), archiveRow(*archive_));
  required_.clear();
  incompatible_.clear();
  removed_.clear();
  const uint64_t generation = ++generation_;
  if (!queued_.empty()) {
    waitingOnDependencies_ = true;
    setButtonTitle(currentTitle());
    performOnBackgroundThread([weak = weakSelf(this), generation, queue, archives = archivePaths()] {
      KVAPTManager::unmetDependenciesForPackages(queue, archives, [weak, generation, queue](const APTDependsTree& tree) {
        KVLog("Downloads: %zu, removes: %zu, upgrades: %zu, installs: %zu, incompatible: %zu", tree.downloads.size(),
              tree.removes.size(), tree.upgrades.size(), tree.installs.size(), tree.incompatible.size());
        performOnMainThread([weak, generation, queue, tree] {
          if (auto self = weak.lock()) self->dryRunReturned(generation, queue, tree);
        });
      });
    });
  } else {
    // Nothing queued: nothing to confirm.
    resolvedQueue_.clear();
    dependsTree_ = {};
    setButtonTitle(currentTitle());
  }
  if (table_) table_->reloadData();
}

void PackagesConfirmationViewController::dryRunReturned(uint64_t generation, const std::string& queue,
                                                        const APTDependsTree& tree) {
  // A later change of the queue started another dry run; this answer is of an old queue.
  if (generation != generation_) return;
  dependsTree_ = tree;
  resolvedQueue_ = queue;
  // Every package the run changes beyond the queue: what it installs, upgrades,
  // downgrades or reinstalls for it, and apart, what it removes.
  auto listed = [&](const std::string& identifier) {
    for (const auto* list : {&queued_, &required_, &removed_})
      for (const auto& p : *list)
        if (sameIdentifier(p, identifier)) return true;
    return false;
  };
  auto place = [&](const std::string& identifier, bool removal) {
    auto record = KVRPackage::objectsWhere("identifier ==[c] %@", Value(identifier)).first();
    if (record && !listed(record->identifier())) (removal ? removed_ : required_).push_back(*record);
  };
  for (const auto& identifier : tree.depends) place(identifier, false);
  for (const auto& change : tree.changes) place(change.identifier, change.kind == APTPlannedChange::Remove);
  for (const auto& identifier : tree.removes) place(identifier, true);
  for (const auto& identifier : tree.incompatible) {
    for (auto* list : {&queued_, &required_}) {
      for (auto it = list->begin(); it != list->end();) {
        if (it->identifier() == identifier) {
          incompatible_.push_back(*it);
          it = list->erase(it);
        } else {
          ++it;
        }
      }
    }
  }
  waitingOnDependencies_ = false;
  setButtonTitle(currentTitle());
  table_->reloadData();
  if (!tree.unreadableSources.empty()) offerToRefreshOrRemove(tree.unreadableSources);
  else if (!tree.blockers.empty()) offerToUnblock(tree.blockers);
  // APT was running something else (the start-up repair): ask again shortly.
  if (!tree.problems.empty() && tree.problems.front().rfind(KVAPTManager::busyText().substr(0, 12), 0) == 0) {
    performAfterWithBlock(1, [weak = weakSelf(this)] {
      if (auto self = weak.lock()) self->refreshQueue();
    });
  }
}

void PackagesConfirmationViewController::offerToRefreshOrRemove(const std::vector<APTUnreadableSource>& sources) {
  std::string message;
  for (const auto& source : sources) {
    message += (message.empty() ? "" : "\n\n") +
               NSLocalizedFormat("APT can't read the packages of %@ (%@): %@", {source.name, source.location, source.reason});
    message += "\n" + NSLocalizedString(source.setAside
                                            ? "They were set aside, so the packages of the other sources can still be "
                                              "installed. Refresh the source to fetch them again, or remove it."
                                            : "Refresh the source or remove it.");
  }
  auto alert = UIAlertController::alertControllerWithTitle(NSLocalizedString("A Source APT Can't Read"), message,
                                                           UIAlertControllerStyleAlert);
  for (const auto& source : sources) {
    alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedFormat("Refresh %@", {source.name}),
                                                    UIAlertActionStyleDefault,
                                                    [sources = context_.sources, location = source.location](UIAlertAction&) {
                                                      sources->refreshSource(location);
                                                    }));
    alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedFormat("Remove %@", {source.name}),
                                                    UIAlertActionStyleDestructive,
                                                    [sources = context_.sources, location = source.location](UIAlertAction&) {
                                                      performOnBackgroundThread(
                                                          [sources, location] { sources->removeSourceWithLocation(location); });
                                                    }));
  }
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Close"), UIAlertActionStyleCancel, nullptr));
  presentViewController(alert, true);
}

void PackagesConfirmationViewController::offerToUnblock(const std::vector<std::string>& blockers) {
  // Asked once at a time: a dry run again (a source refreshed) while the offer shows adds none.
  UIViewController* presenter = navigationController() ? static_cast<UIViewController*>(navigationController()) : this;
  if (presenter->presentedViewController()) return;
  std::string message;
  auto alert = UIAlertController::alertControllerWithTitle(NSLocalizedString("A Removal That Failed"), std::nullopt,
                                                           UIAlertControllerStyleAlert);
  for (const auto& identifier : blockers) {
    auto record = KVRPackage::objectForPrimaryKey(Value(identifier));
    std::string name = record && record->name() && !record->name()->empty() ? *record->name() : identifier;
    message += (message.empty() ? "" : "\n\n") +
               NSLocalizedFormat("%@ was being removed when a script of it failed, and APT removes it again before "
                                 "anything else. Uninstall it again, with this queue, or reinstall it.",
                                 {name});
    // Either way the queue names it, and its dry run is asked again.
    auto requeue = [weak = weakSelf(this), identifier](std::optional<std::string> version, int64_t operation) {
      auto self = weak.lock();
      if (!self) return;
      if (ErrorRef error = self->context_.packages->setPackage(identifier, true, version, operation))
        KVLog("Cannot queue %s: %s", identifier.c_str(), error->localizedDescription().c_str());
      self->refreshQueue();
    };
    alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedFormat("Uninstall %@ Again", {name}),
                                                    UIAlertActionStyleDestructive, [requeue](UIAlertAction&) {
                                                      requeue(std::nullopt, KVQueueOperationRemove);
                                                    }));
    std::optional<std::string> version = record ? record->installedVersion() : std::nullopt;
    alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedFormat("Reinstall %@", {name}), UIAlertActionStyleDefault,
                                                    [requeue, version](UIAlertAction&) {
                                                      requeue(version, KVQueueOperationReinstall);
                                                    }));
  }
  alert->setMessage(message);
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Close"), UIAlertActionStyleCancel, nullptr));
  presentViewController(alert, true);
}

// ---- Confirming, cancelling, continuing

void PackagesConfirmationViewController::confirmQueue() {
  if (!KVPipelineManager::sharedManager().tasksArray().empty()) return;
  if (waitingOnDependencies_ || waitingOnTasks_ || !canBeProcessed()) return;
  // Only the queue the last dry run resolved is ever started: a queue changed since then
  // is resolved again first.
  std::string current = KVAPTManager::queueStringForKVRPackageArray(queuedRecords());
  if ((current.empty() && !archive_) || current != resolvedQueue_) {
    refreshQueue();
    return;
  }
  // What was confirmed is started whether or not the screen outlives its dismissal.
  archiveHandedOn_ = true;
  dismissViewControllerAnimated(true, [packages = context_.packages, queue = resolvedQueue_, tree = dependsTree_,
                                       archives = archives(), delegate = delegate_] {
    if (QuillbarkPersistentPreferences::sharedInstance().boolForKey("AutoVerboseViewForPackageTasks"))
      NotificationCenter::defaultCenter().post("ShowVerboseView");
    KVPackageQueue::launchQueueActions(*packages, queue, tree, archives);
    if (auto d = delegate.lock()) d->updateUI();
  });
}

void PackagesConfirmationViewController::launchQueueActions() {
  if (resolvedQueue_.empty() && !archive_) return;
  archiveHandedOn_ = true;
  KVPackageQueue::launchQueueActions(*context_.packages, resolvedQueue_, dependsTree_, archives());
}

void PackagesConfirmationViewController::cancelQueue() {
  // At once, before the screen goes: the card, the buttons and a confirmation opened
  // next read the queue as empty.
  if (ErrorRef error = context_.packages->clearQueueNow())
    KVLog("Cancelling the queue failed: %s", error->localizedDescription().c_str());
  if (archive_) DeviceFiles::removeItem(archive_->path);
  std::vector<std::string> cancelled;
  for (const auto& package : queued_)
    if (!isArchiveRow(package)) cancelled.push_back(package.identifier());
  std::weak_ptr<PackagesConfirmationViewControllerDelegate> delegate = delegate_;
  dismissViewControllerAnimated(true, [delegate, cancelled] {
    if (auto d = delegate.lock()) d->updateUI();
    for (const auto& identifier : cancelled) postQueueState(identifier);
  });
}

void PackagesConfirmationViewController::continueQueuing() { dismissViewControllerAnimated(true); }

void PackagesConfirmationViewController::closeQueueDueToUnmetDependency(const std::string& dependency,
                                                                       const std::string& parentIdentifier) {
  auto parent = KVRPackage::objectForPrimaryKey(Value(parentIdentifier));
  std::string name = parent && parent->name() ? *parent->name() : parentIdentifier;
  auto alert = UIAlertController::alertControllerWithTitle(
      NSLocalizedString("Dependency Error"),
      NSLocalizedFormat("The dependency \"%@\" required by \"%@\" cannot be found.", {dependency, name}),
      UIAlertControllerStyleAlert);
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("OK"), UIAlertActionStyleDefault,
                                                  [weak = weakSelf(this)](UIAlertAction&) {
                                                    if (auto self = weak.lock()) self->dismissViewControllerAnimated(true);
                                                  }));
  presentViewController(alert, true);
}

// ---- Deleting a row

void PackagesConfirmationViewController::deleteRow(const NSIndexPath& path) {
  auto* list = listForSection(path.section);
  if (!list || path.row < 0 || static_cast<size_t>(path.row) >= list->size()) return;
  KVRPackage removed = (*list)[static_cast<size_t>(path.row)];
  list->erase(list->begin() + path.row);
  // The queue is no longer what the last dry run resolved.
  ++generation_;
  waitingOnDependencies_ = true;
  resolvedQueue_.clear();
  setButtonTitle(currentTitle());
  (void)context_.packages->setPackage(removed.identifier(), false, std::nullopt, 0);
  postQueueState(removed.identifier());

  if (queued_.empty() && required_.empty()) {
    dismissViewControllerAnimated(true);
    return;
  }
  if (queued_.empty()) {
    // The dependencies left become the queue.
    for (const auto& dependency : required_) {
      queued_.push_back(dependency);
      (void)context_.packages->setPackage(dependency.identifier(), true, dependency.queuedVersion(), 0);
      postQueueState(dependency.identifier());
    }
    required_.clear();
  }
  table_->reloadData();
  performAfterWithBlock(1, [weak = weakSelf(this)] {
    if (auto self = weak.lock()) self->refreshQueue();
  });
}

// ---- Scrolling

void PackagesConfirmationViewController::scrollViewWillBeginDragging(UIScrollView&) { isScrolling_ = true; }

void PackagesConfirmationViewController::scrollViewDidEndDragging(UIScrollView&, bool willDecelerate) {
  // A drag released without momentum ends the scrolling here; no deceleration follows.
  if (willDecelerate) return;
  isScrolling_ = false;
  if (needCacheRebuild_) refreshQueue();
}

void PackagesConfirmationViewController::scrollViewDidEndDecelerating(UIScrollView&) {
  isScrolling_ = false;
  if (needCacheRebuild_) refreshQueue();
}

// ---- The table

std::vector<KVRPackage>* PackagesConfirmationViewController::listForSection(long section) {
  switch (section) {
    case QueuedSection: return &queued_;
    case RequiredSection: return &required_;
    case IncompatibleSection: return &incompatible_;
    case RemovedSection: return &removed_;
    default: return nullptr;
  }
}

const std::vector<KVRPackage>* PackagesConfirmationViewController::listForSection(long section) const {
  return const_cast<PackagesConfirmationViewController*>(this)->listForSection(section);
}

std::optional<KVRPackage> PackagesConfirmationViewController::packageForIndexPath(const NSIndexPath& path) const {
  const auto* list = listForSection(path.section);
  if (!list || path.row < 0 || static_cast<size_t>(path.row) >= list->size()) return std::nullopt;
  return (*list)[static_cast<size_t>(path.row)];
}

size_t PackagesConfirmationViewController::countOfItemsInSection(long section) const {
  const auto* list = listForSection(section);
  return list ? list->size() : 0;
}

long PackagesConfirmationViewController::tableViewNumberOfRowsInSection(UITableView&, long section) {
  return static_cast<long>(countOfItemsInSection(section));
}

std::optional<std::string> PackagesConfirmationViewController::tableViewTitleForHeaderInSection(UITableView&,
                                                                                               long section) {
  if (!hasDataAtInSection(section)) return std::string();
  const char* titles[] = {kQueuedHeader, kRequiredHeader, kIncompatibleHeader, kRemovedHeader};
  return NSLocalizedString(titles[section]);
}

// Under the incompatible packages APT's reasons and the explanation; with none, the
// reasons under the queue, or, for a queue that can be processed, what to know of it.
std::optional<std::string> PackagesConfirmationViewController::footerText(long section) const {
  std::string reasons;
  for (const auto& problem : dependsTree_.problems) reasons += (reasons.empty() ? "" : "\n") + problem;
  if (section == IncompatibleSection && hasDataAtInSection(section))
    return (reasons.empty() ? "" : reasons + "\n") + NSLocalizedString(kIncompatibleFooter);
  if (section == QueuedSection && !hasDataAtInSection(IncompatibleSection) && !reasons.empty())
    return NSLocalizedString("This queue can't be processed:") + "\n" + reasons;
  // What confirming does beyond the rows, said before it is done.
  if (section == QueuedSection && reasons.empty() && !dependsTree_.notes.empty()) {
    std::string notes;
    for (const auto& note : dependsTree_.notes) notes += (notes.empty() ? "" : "\n") + note;
    return notes;
  }
  return std::nullopt;
}

std::optional<std::string> PackagesConfirmationViewController::tableViewTitleForFooterInSection(UITableView&,
                                                                                               long section) {
  return footerText(section);
}

double PackagesConfirmationViewController::tableViewHeightForHeaderInSection(UITableView&, long section) {
  return hasDataAtInSection(section) ? 28 : 0.001;
}

double PackagesConfirmationViewController::tableViewHeightForFooterInSection(UITableView&, long section) {
  return footerText(section) ? 75 : 0.001;
}

std::shared_ptr<UIView> PackagesConfirmationViewController::tableViewViewForFooterInSection(UITableView& table,
                                                                                           long section) {
  auto text = footerText(section);
  if (!text) return nullptr;
  auto footer = table.dequeueReusableCellWithIdentifier("footerCell");
  if (!footer || !footer->detailTextLabel()) return nullptr;
  footer->detailTextLabel()->setText(*text);
  if (palette()) {
    footer->detailTextLabel()->setTextColor(palette()->secondaryTextColor());
    footer->setBackgroundColor(palette()->foregroundColor());
  }
  return footer;
}

// A queued package leaves the queue by a swipe; a local archive only with Cancel.
bool PackagesConfirmationViewController::tableViewCanEditRowAtIndexPath(UITableView&, const NSIndexPath& path) {
  auto package = packageForIndexPath(path);
  return (path.section == QueuedSection || path.section == IncompatibleSection) && package && !isArchiveRow(*package);
}

UITableViewCellEditingStyle PackagesConfirmationViewController::tableViewEditingStyleForRowAtIndexPath(
    UITableView& table, const NSIndexPath& path) {
  return tableViewCanEditRowAtIndexPath(table, path) ? UITableViewCellEditingStyleDelete : UITableViewCellEditingStyleNone;
}

void PackagesConfirmationViewController::tableViewCommitEditingStyle(UITableView& table, UITableViewCellEditingStyle style,
                                                                     const NSIndexPath& path) {
  if (style == UITableViewCellEditingStyleDelete && tableViewCanEditRowAtIndexPath(table, path)) deleteRow(path);
}

std::shared_ptr<UITableViewCell> PackagesConfirmationViewController::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& path) {
  auto cell = std::dynamic_pointer_cast<PackageCell>(table.dequeueReusableCellWithIdentifier("cell", path));
  auto package = packageForIndexPath(path);
  if (!cell || !package) return cell ? cell : std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "cell");
  cell->setPackageIdentifier(package->identifier());
  cell->updateWithPackage(*package);
  cell->updateQueuingIconWithPackage(*package);
  cell->updateVersionLabelShowingDowngradeIfNeededForPackage(*package);
  // What the run does to it, and the version it goes to.
  if (const auto* change = dependsTree_.changeFor(package->identifier())) {
    cell->updateQueuingIconWithOperation(operationOf(change->kind));
    std::string version = change->kind == APTPlannedChange::Remove ? change->fromVersion
                          : change->kind == APTPlannedChange::Upgrade || change->kind == APTPlannedChange::Downgrade
                              ? change->fromVersion + " \u2192 " + change->toVersion
                              : change->toVersion;
    if (!version.empty()) cell->versionLbl()->setText(version);
  }
  cell->updateConpatibilityIndicatorWithPackageIdentifier(package->identifier(), package->version().value_or(""));
  if (palette()) cell->nameLbl()->setTextColor(palette()->primaryTextColor());
  // Icons are fetched only while the list rests at its top; scrolling never starts downloads.
  std::shared_ptr<UIImage> icon;
  if (table.contentOffset().y == 0) icon = KVRPackages::iconForIdentifier(package->identifier());
  else if (package->iconURL() && Files::exists(package->iconPath())) icon = KVRPackages::iconForIdentifier(package->identifier());
  else icon = KVRPackages::getCategoryIconForIdentifier(package->identifier());
  cell->iconView()->setImage(icon);
  if (cell->separator()) cell->separator()->setHidden(static_cast<size_t>(path.row) + 1 == countOfItemsInSection(path.section));
  if (path.section == IncompatibleSection) {
    cell->installOrQueueStatusImageView()->setHidden(true);
    if (palette()) cell->nameLbl()->setTextColor(palette()->errorTextColor());
  }
  return cell;
}
