#include "account/QuillbarkSetupRestorationViewController.h"

#include <algorithm>

#include "core/KVConnections.h"
#include "core/KVPipelineManager.h"
#include "core/KVSourceLocation.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRPackages.h"
#include "database/KVRSources.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/WeakSelf.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIFont.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScrollView.h"
#include "uikit/UISwipeGestureRecognizer.h"

namespace {
constexpr const char* kTitle = "Quillbark Setup Restoration";
constexpr double kMargin = 16;

std::vector<std::string> chosenKeys(const KVRestoreChecklist& list) {
  std::vector<std::string> keys;
  for (const auto& [key, chosen] : list)
    if (chosen) keys.push_back(key);
  return keys;
}

size_t chosenCount(const KVRestoreChecklist& list) {
  return size_t(std::count_if(list.begin(), list.end(), [](const auto& entry) { return entry.second; }));
}
}  // namespace

QuillbarkSetupRestorationViewController::QuillbarkSetupRestorationViewController(KVScreenContext context,
                                                                                 KVRestoreChecklist sourcesToRestore,
                                                                                 KVRestoreChecklist packagesToRestore)
    : context_(std::move(context)), sources_(std::move(sourcesToRestore)), packages_(std::move(packagesToRestore)) {}

size_t QuillbarkSetupRestorationViewController::countOfSelectedSources() const { return chosenCount(sources_); }
size_t QuillbarkSetupRestorationViewController::countOfSelectedPackages() const { return chosenCount(packages_); }
std::vector<std::string> QuillbarkSetupRestorationViewController::selectedSources() const { return chosenKeys(sources_); }
std::vector<std::string> QuillbarkSetupRestorationViewController::selectedPackages() const {
  return chosenKeys(packages_);
}

// ---- The screen: the interface file "QuillbarkSetupRestorationViewController"

void QuillbarkSetupRestorationViewController::loadView() {
  KVPalettedViewController::loadView();
  auto scroll = std::make_shared<UIScrollView>(UIScreen::mainScreen().bounds());
  view()->addSubview(scroll);
  auto label = [&](UIFont font) {
    auto made = std::make_shared<UILabel>();
    made->setFont(std::move(font));
    scroll->addSubview(made);
    return made.get();
  };
  auto table = [&] {
    auto made = std::make_shared<UITableView>(CGRect::make(0, 0, 0, 0), UITableViewStylePlain);
    made->setScrollEnabled(false);
    scroll->addSubview(made);
    return made.get();
  };
  sourcesTitle_ = label(UIFont::boldSystemFontOfSize(22));
  sourcesTitle_->setText(NSLocalizedString("Sources"));
  selectedSourcesLabel_ = label(UIFont::systemFontOfSize(15));
  sourcesTableView_ = table();
  packagesTitle_ = label(UIFont::boldSystemFontOfSize(22));
  packagesTitle_->setText(NSLocalizedString("Packages"));
  selectedPackagesLabel_ = label(UIFont::systemFontOfSize(15));
  packagesTableView_ = table();
  sourcesHeight_ = sourcesTableView_->heightAnchor().constraintEqualToConstant(kRowHeight);
  packagesHeight_ = packagesTableView_->heightAnchor().constraintEqualToConstant(kRowHeight);
  sourcesHeight_->setActive(true);
  packagesHeight_->setActive(true);
  scrollView_ = scroll.get();
}

void QuillbarkSetupRestorationViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  setTitle(NSLocalizedString("Setup Restoration"));
  restoreButton_ = UIBarButtonItem::itemWithTitle(NSLocalizedString("Restore now"), UIBarButtonItemStylePlain,
                                                  [this](UIBarButtonItem&) { restoreQuillbarkSetup(); });
  navigationItem().setRightBarButtonItem(restoreButton_);
  for (UITableView* table : {sourcesTableView_, packagesTableView_}) {
    table->setDataSource(this);
    table->setTableDelegate(this);
    table->registerClass<UITableViewCell>("genericCell");
  }
  // Any refresh's end is heard from now until the screen goes; only a restore acts on it.
  sourceUpdates_ = NotificationCenter::defaultCenter().addObserver(
      KVRSourceUpdatedNotification, &DispatchQueue::mainQueue(), [this](const Notification& n) { sourceRefreshed(n); });
  // A refresh's notice can be handled before the pipeline counted its end; the run's end
  // comes after that count.
  refreshRunEnded_ = NotificationCenter::defaultCenter().addObserver(
      KVPipelineSourceRefreshComplete, &DispatchQueue::mainQueue(), [this](const Notification&) { refreshesEnded(); });
  auto swipe = std::make_shared<UISwipeGestureRecognizer>([this](UIGestureRecognizer&) { backSwipe(); });
  swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
  view()->addGestureRecognizer(swipe);
  setContent();
}

void QuillbarkSetupRestorationViewController::setContent() {
  auto rows = [](const KVRestoreChecklist& list) { return double(std::max<size_t>(list.size(), 1)); };
  sourcesHeight_->setConstant(rows(sources_) * kRowHeight);
  packagesHeight_->setConstant(rows(packages_) * kRowHeight);
  showSelectedCounts();
  // Laid out from top to bottom: each title, its count and its whole list.
  double width = view()->bounds().width(), y = kMargin;
  auto place = [&](UIView* item, double height, double after) {
    item->setFrame(CGRect::make(kMargin, y, width - 2 * kMargin, height));
    y += height + after;
  };
  place(sourcesTitle_, 28, 4);
  place(selectedSourcesLabel_, 20, 8);
  place(sourcesTableView_, sourcesHeight_->constant(), 24);
  place(packagesTitle_, 28, 4);
  place(selectedPackagesLabel_, 20, 8);
  place(packagesTableView_, packagesHeight_->constant(), kMargin);
  scrollView_->setFrame(view()->bounds());
  scrollView_->setContentSize(CGSize{width, y});
  for (UITableView* table : {sourcesTableView_, packagesTableView_}) {
    table->setBackgroundColor(UIColor::clearColor());
    table->setSeparatorColor(UIColor::clearColor());
    table->reloadData();
  }
}

void QuillbarkSetupRestorationViewController::showSelectedCounts() {
  selectedSourcesLabel_->setText(NSLocalizedFormat("Selected (%lu)", {std::to_string(countOfSelectedSources())}));
  selectedPackagesLabel_->setText(NSLocalizedFormat("Selected (%lu)", {std::to_string(countOfSelectedPackages())}));
}

void QuillbarkSetupRestorationViewController::paletteWillChangeToStyle(uint32_t style) {
  if (style == 0) {
    setOverrideColor(UIColor::colorWithRed(0.94, 0.94, 0.96, 1.0), "backgroundColor");
    setOverrideColor(UIColor::whiteColor(), "cellBackgroundColor");
  } else {
    resetOverridesColors();
  }
}

void QuillbarkSetupRestorationViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!sourcesTableView_) return;
  view()->setBackgroundColor(palette->backgroundColor());
  sourcesTitle_->setTextColor(palette->primaryTextColor());
  packagesTitle_->setTextColor(palette->primaryTextColor());
  selectedSourcesLabel_->setTextColor(palette->secondaryTextColor());
  selectedPackagesLabel_->setTextColor(palette->secondaryTextColor());
  sourcesTableView_->reloadData();
  packagesTableView_->reloadData();
}

void QuillbarkSetupRestorationViewController::backSwipe() {
  if (navigationController()) navigationController()->popViewControllerAnimated(true);
}

// ---- The two checklists

KVRestoreChecklist& QuillbarkSetupRestorationViewController::listOf(UITableView& table) {
  return &table == sourcesTableView_ ? sources_ : packages_;
}

long QuillbarkSetupRestorationViewController::tableViewNumberOfRowsInSection(UITableView& table, long) {
  return long(std::max<size_t>(listOf(table).size(), 1));
}

std::shared_ptr<UITableViewCell> QuillbarkSetupRestorationViewController::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& path) {
  auto cell = table.dequeueReusableCellWithIdentifier("genericCell", path);
  if (palette()) cell->setBackgroundColor(palette()->cellBackgroundColor());
  const KVRestoreChecklist& list = listOf(table);
  bool selected = false;
  if (path.row >= 0 && size_t(path.row) < list.size()) {
    cell->textLabel()->setText(list[size_t(path.row)].first);
    selected = list[size_t(path.row)].second;
  } else {
    cell->textLabel()->setText(NSLocalizedString(&table == sourcesTableView_ ? "0 sources to restore"
                                                                              : "0 packages to restore"));
  }
  cell->textLabel()->setFont(UIFont::systemFontOfSize(17));
  setCell(*cell, selected);
  if (palette()) cell->setTintColor(palette()->tintColor());
  return cell;
}

void QuillbarkSetupRestorationViewController::setCell(UITableViewCell& cell, bool selected) {
  if (palette()) cell.textLabel()->setTextColor(selected ? palette()->tintColor() : palette()->secondaryTextColor());
  cell.setAccessoryType(selected ? UITableViewCellAccessoryCheckmark : UITableViewCellAccessoryNone);
}

void QuillbarkSetupRestorationViewController::tableViewDidSelectRowAtIndexPath(UITableView& table,
                                                                               const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, true);
  KVRestoreChecklist& list = listOf(table);
  // The placeholder row of an empty list, and the lists once restoring, change nothing.
  if (restoring_ || path.row < 0 || size_t(path.row) >= list.size()) return;
  bool& chosen = list[size_t(path.row)].second;
  chosen = !chosen;
  if (auto cell = table.cellForRowAtIndexPath(path)) setCell(*cell, chosen);
  showSelectedCounts();
}

// ---- Restoring

void QuillbarkSetupRestorationViewController::showAlert(const std::string& title, const std::string& message,
                                                        const std::string& closeTitle, std::function<void()> close) {
  auto alert = UIAlertController::alertControllerWithTitle(NSLocalizedString(title), NSLocalizedString(message),
                                                           UIAlertControllerStyleAlert);
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString(closeTitle), UIAlertActionStyleCancel,
                                                  [close](UIAlertAction&) {
                                                    if (close) close();
                                                  }));
  presentViewController(alert, true);
}

void QuillbarkSetupRestorationViewController::restoreQuillbarkSetup() {
  if (restoring_) return;
  if (countOfSelectedSources() == 0 && countOfSelectedPackages() == 0) {
    showAlert(kTitle,
              "You do not have any sources, or packages selected for restoration. Please select some items in the "
              "list before attempting to restore",
              "OK");
    return;
  }
  auto alert = UIAlertController::alertControllerWithTitle(
      NSLocalizedString(kTitle),
      NSLocalizedString("Do you really want to restore the backup as selected? Please note that if you don't restore "
                        "all your sources, packages may be not found and so couldn't be restored."),
      UIAlertControllerStyleAlert);
  alert->addAction(UIAlertAction::actionWithTitle(
      NSLocalizedString("Restore now"), UIAlertActionStyleDefault, [weak = weakSelf(this)](UIAlertAction&) {
        auto self = weak.lock();
        if (!self) return;
        if (!QuillbarkPersistentPreferences::sharedInstance().boolForKey("AuthenticationForPackagesManagementTasks")) {
          self->launchSetupRestoration();
          return;
        }
        auto authenticate = KVConnections::current("QuillbarkSetupRestorationViewController")
                                ->environment.authenticateDeviceOwner;
        std::string reason = NSLocalizedString("Please authenticate yourself to restore your Quillbark setup");
        performOnBackgroundThread([weak, authenticate, reason] {
          authenticate(reason, [weak](KVOwnerAuthentication outcome) {
            performOnMainThread([weak, outcome] {
              auto self = weak.lock();
              if (!self) return;
              if (outcome == KVOwnerAuthentication::Succeeded) {
                self->launchSetupRestoration();
              } else if (outcome == KVOwnerAuthentication::Failed) {
                self->showAlert("Quillbark Authentication", "Failed to authenticate yourself. Try again.", "Close",
                                [weak] {
                                  if (auto screen = weak.lock()) screen->dismissViewControllerAnimated(true);
                                });
              } else {
                self->showAlert("Quillbark Authentication",
                                "Your device can't use FaceID, TouchID or password authentication at the moment. "
                                "Most likely you haven't set it up in Settings.",
                                "Close");
              }
            });
          });
        });
      }));
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Cancel"), UIAlertActionStyleCancel));
  presentViewController(alert, true);
}

void QuillbarkSetupRestorationViewController::launchSetupRestoration() {
  if (restoring_) return;
  restoring_ = true;
  restoreButton_->setEnabled(false);
  if (countOfSelectedSources() > 0) launchSetupRestorationSourcesPart();
  else launchSetupRestorationPackagesPart();
}

void QuillbarkSetupRestorationViewController::launchSetupRestorationSourcesPart() {
  // Only the sources the device lacks: one it has keeps its line, its lists and its
  // records as they are.
  std::set<std::string> missing;
  for (const auto& location : selectedSources())
    if (!KVRSources::sourceExists(location)) missing.insert(location);
  performOnDefaultThread([weak = weakSelf(this), sources = context_.sources, missing] {
    auto lists = KVConnections::current("QuillbarkSetupRestorationViewController")->sourceLists;
    // What an earlier source of that location may have left in the private APT tree.
    for (const auto& location : missing) {
      auto typed = KVSourceLocation::fromText(location);
      if (!typed) continue;  // refused again by the import below
      if (ErrorRef error = lists->purgeSource(*typed))
        KVLog("Cannot remove %s from the APT lists: %s", location.c_str(), error->localizedDescription().c_str());
    }
    // Checked as a typed location is, and written in one transaction.
    std::vector<std::string> added = sources->addImportedSources(missing);
    // Heard on the main queue before any of their refreshes can end.
    performOnMainThread([weak, added] {
      if (auto self = weak.lock()) self->sourcesAdded(added);
    });
    sources->refreshSources(added);
  });
}

void QuillbarkSetupRestorationViewController::sourcesAdded(std::vector<std::string> added) {
  refreshing_ = std::set<std::string>(added.begin(), added.end());
  // Nothing to wait for: every chosen source was there already.
  if (refreshing_->empty()) launchSetupRestorationPackagesPart();
}

void QuillbarkSetupRestorationViewController::sourceRefreshed(const Notification& notification) {
  if (!restoring_ || !refreshing_ || packagesQueued_) return;
  refreshing_->erase(notification.object.asString());
  refreshesEnded();
}

void QuillbarkSetupRestorationViewController::refreshesEnded() {
  if (!restoring_ || !refreshing_ || packagesQueued_) return;
  if (refreshing_->empty() && KVPipelineManager::sharedManager().sourceRefreshCount() == 0)
    launchSetupRestorationPackagesPart();
}

void QuillbarkSetupRestorationViewController::launchSetupRestorationPackagesPart() {
  if (packagesQueued_) return;
  packagesQueued_ = true;
  for (const auto& identifier : selectedPackages())
    if (ErrorRef error = context_.packages->setPackage(identifier, true, std::nullopt, KVQueueOperationChoose))
      KVLog("Cannot queue %s: %s", identifier.c_str(), error->localizedDescription().c_str());
  if (navigationController()) navigationController()->popViewControllerAnimated(true);
}
