// The manage tab's rows and what a person does with them: selecting, the swipes, Copy,
// adding from the pasteboard, refreshing, and the press on the installed card.
#include "browse/KVPackageRows.h"
#include "core/KVConnections.h"
#include "core/NSStringKorvaleExtensions.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRPackages.h"
#include "database/KVRSources.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "interface/KVApplicationActions.h"
#include "interface/KVCategorySpecial.h"
#include "interface/KVPackageIcons.h"
#include "interface/KVScreens.h"
#include "interface/PackageCell.h"
#include "interface/SegmentedViewController.h"
#include "markdown/NSStringURLsFromString.h"
#include "sources/ManageViewController.h"
#include "sources/SourceViewController.h"
#include "sources/SourcesCell.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIGestureRecognizer.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIPasteboard.h"
#include "uikit/UIRefreshControl.h"
#include "uikit/UIScrollView.h"

// ---- Rows

long ManageViewController::tableViewNumberOfRowsInSection(UITableView& table, long) {
  if (isInstalledTable(table)) return static_cast<long>(std::min(allPackages_.count(), kInstalledRows));
  return static_cast<long>(allSources_.count());
}

double ManageViewController::tableViewHeightForRowAtIndexPath(UITableView& table, const NSIndexPath&) {
  return isInstalledTable(table) ? kInstalledRowHeight : kSourceRowHeight;
}

bool ManageViewController::tableViewCanEditRowAtIndexPath(UITableView& table, const NSIndexPath&) {
  return !isInstalledTable(table);
}

std::shared_ptr<UITableViewCell> ManageViewController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                     const NSIndexPath& path) {
  const bool lastRow = path.row == tableViewNumberOfRowsInSection(table, path.section) - 1;
  if (!isInstalledTable(table)) {
    auto cell = std::dynamic_pointer_cast<SourcesCell>(table.dequeueReusableCellWithIdentifier("sourcesCell", path));
    auto source = static_cast<size_t>(path.row) < allSources_.count() ? allSources_.at(path.row) : std::nullopt;
    if (!cell) return std::make_shared<UITableViewCell>();
    // A source removed since the list was taken reads as an empty row until its change comes.
    fillSourceRow(*cell, source.value_or(KVRSource()), lastRow);
    return cell;
  }
  auto cell = std::dynamic_pointer_cast<PackageCell>(table.dequeueReusableCellWithIdentifier("cell", path));
  if (!cell) return std::make_shared<UITableViewCell>();
  auto package = static_cast<size_t>(path.row) < allPackages_.count() ? allPackages_.at(path.row) : std::nullopt;
  if (!package) return cell;
  // Away from the top of the list only an icon already fetched is shown.
  KVPackageRows::fill(*cell, package->identifier(), palette(), table.contentOffset().y == 0, lastRow);
  if (palette()) cell->setBackgroundColor(palette()->backgroundColor());
  return cell;
}

void ManageViewController::fillSourceRow(SourcesCell& cell, const KVRSource& source, bool lastRow) {
  const std::string& location = source.location();
  // Every label is set on every fill: a reused row shows nothing of its last source.
  cell.setRegenDate(source.regenDate().value_or(""));
  cell.setSourceLocation(location);
  if (palette()) {
    cell.setBackgroundColor(palette()->backgroundColor());
    cell.nameLbl()->setTextColor(palette()->primaryTextColor());
    // The counts too: the labels' default black is black on black in the dark palettes.
    for (UILabel* count : {cell.installedPackagesLbl(), cell.totalPackagesLbl(), cell.lastRepoRegenLbl()})
      count->setTextColor(palette()->secondaryTextColor());
  }
  const bool hasErrors = source.hasErrors().value_or(false);
  if (source.name() && !source.name()->empty()) {
    cell.nameLbl()->setText(*source.name());
  } else if (hasErrors) {
    cell.nameLbl()->setText(NSLocalizedString("Invalid Source"));
    if (palette()) cell.nameLbl()->setTextColor(palette()->errorTextColor());
  } else {
    cell.nameLbl()->setText(NSLocalizedString("New Source"));
  }
  auto icon = location.empty() ? nullptr : KVPackageIcons::iconForLocation(location);
  cell.iconView()->setImage(icon ? icon : UIImage::imageNamed("KVCydiaSource.png"));
  cell.iconView()->layer().setValue(Value(true), "continuousCorners");
  cell.iconView()->layer().cornerRadius = cell.iconView()->frame().height() / 4;
  cell.iconView()->layer().masksToBounds = true;
  cell.descriptionLbl()->setText(source.Description().value_or(""));
  if (hasErrors && palette()) cell.descriptionLbl()->setTextColor(palette()->errorTextColor());
  else if (palette()) cell.descriptionLbl()->setTextColor(palette()->secondaryTextColor());
  auto count = dictOfInstalledPackagesCount_.find(location);
  cell.installedPackagesLbl()->setText(count == dictOfInstalledPackagesCount_.end() ? "" : count->second);
  cell.totalPackagesLbl()->setText(source.totalPackages().value_or(""));
  cell.lastRepoRegenLbl()->setText(NSStringKorvaleExtensions::timeSince(cell.regenDate()).value_or("never"));
  cell.setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
  cell.separator()->setHidden(lastRow);
}

// ---- Selecting

void ManageViewController::push(std::shared_ptr<UIViewController> screen) {
  if (!navigationController() || !screen) return;
  lastPushed_ = screen;
  navigationController()->pushViewController(std::move(screen), true);
}

void ManageViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, false);
  if (isInstalledTable(table)) {
    auto package = static_cast<size_t>(path.row) < allPackages_.count() ? allPackages_.at(path.row) : std::nullopt;
    if (package) push(context_.screens->package(package->identifier()));
    return;
  }
  auto source = static_cast<size_t>(path.row) < allSources_.count() ? allSources_.at(path.row) : std::nullopt;
  if (source) selectSource(*source);
}

void ManageViewController::selectSource(const KVRSource& source) {
  const std::string& location = source.location();
  if (source.hasErrors().value_or(false) || context_.packages->countOfPackagesInSourceWithLocation(location) == 0) {
    push(context_.screens->sourcePage(location, false));
    return;
  }
  const std::string name = source.name().value_or("");
  auto categories = context_.screens->subcategories(kCategorySpecial_SourcePackages, location);
  categories->setTitle(NSLocalizedFormat("%@ Packages", {name}));
  auto segmented = SegmentedViewController::initWithControllers(
      {categories, context_.screens->sourcePage(location, false)},
      {NSLocalizedString("Categories"), NSLocalizedString("Source Info")}, 0);
  segmented->setTitle(name);
  push(segmented);
}

void ManageViewController::seeAllInstalledPackages() {
  auto kind = KVPackageListKind::ofCategory(kCategorySpecial_InstalledPackages);
  kind.title = NSLocalizedString(kCategorySpecial_InstalledPackages);
  push(context_.screens->packageList(kind));
}

void ManageViewController::handleLongPressGesture(UIGestureRecognizer& recognizer) {
  const unsigned long options = UIViewAnimationOptionAllowUserInteraction | UIViewAnimationOptionBeginFromCurrentState;
  UIView* card = installedPackagesCard_.get();
  if (recognizer.state() == UIGestureRecognizerStateBegan) {
    isPressed_ = true;
    UIView::animateWithDuration(0.5, 0, 0.4, 0.2, options,
                                [card] { card->setTransform(CGAffineTransform::makeScale(0.95, 0.95)); });
    return;
  }
  if (recognizer.state() != UIGestureRecognizerStateEnded && recognizer.state() != UIGestureRecognizerStateCancelled)
    return;
  UIView::animateWithDuration(
      0.5, 0, 0.4, 0.2, options, [card] { card->setTransform(CGAffineTransform::identity()); },
      [weak = weakSelf(this)](bool) {
        if (auto self = weak.lock()) self->isPressed_ = false;
      });
  if (card->frame().contains(recognizer.locationInView(scrollView_.get()))) seeAllInstalledPackages();
}

// ---- Swipes and Copy

std::vector<std::shared_ptr<UITableViewRowAction>> ManageViewController::tableViewEditActionsForRowAtIndexPath(
    UITableView& table, const NSIndexPath& path) {
  if (isInstalledTable(table) || static_cast<size_t>(path.row) >= allSources_.count()) return {};
  auto source = allSources_.at(path.row);
  if (!source) return {};
  const std::string location = source->location();
  const std::string name = source->name().value_or(location);
  auto refresh = UITableViewRowAction::rowActionWithStyle(
      UITableViewRowActionStyleDefault, NSLocalizedString("Refresh"),
      [this, location](UITableViewRowAction&, const NSIndexPath&) { context_.sources->refreshSource(location); });
  refresh->setBackgroundColor(UIColor::systemGreenColor());
  auto info = UITableViewRowAction::rowActionWithStyle(
      UITableViewRowActionStyleDefault, NSLocalizedString("Info"), [this, location](UITableViewRowAction&, const NSIndexPath&) {
        if (!navigationController()) return;
        lastPresented_ = KVScreens::inNavigation(context_.screens->sourcePage(location, true));
        navigationController()->presentViewController(lastPresented_, true);
      });
  info->setBackgroundColor(UIColor::systemBlueColor());
  // The vendor's own repository can be refreshed and shown, not removed.
  if (location == SourceViewController::vendorRepositoryLocation()) return {refresh, info};
  auto remove = UITableViewRowAction::rowActionWithStyle(
      UITableViewRowActionStyleDefault, NSLocalizedString("Remove"),
      [this, location, name](UITableViewRowAction&, const NSIndexPath&) { removeSource(location, name); });
  remove->setBackgroundColor(UIColor::systemRedColor());
  return {remove, refresh, info};
}

void ManageViewController::removeSource(const std::string& location, const std::string& name) {
  // Forgetting the source's lists waits for APT's caches: never on the main thread.
  auto removal = [sources = context_.sources, location] {
    performOnBackgroundThread([sources, location] { sources->removeSourceWithLocation(location); });
  };
  if (!QuillbarkPersistentPreferences::sharedInstance().boolForKey("AuthenticationForPackagesManagementTasks")) {
    removal();
    return;
  }
  auto authenticate = KVConnections::current("ManageViewController")->environment.authenticateDeviceOwner;
  authenticate(NSLocalizedFormat("Please authenticate yourself to remove %@", {name}),
               [weak = weakSelf(this), removal](KVOwnerAuthentication outcome) {
                 if (outcome == KVOwnerAuthentication::Succeeded) {
                   removal();
                   return;
                 }
                 std::string message =
                     outcome == KVOwnerAuthentication::Failed
                         ? "Failed to authenticate yourself. Try again."
                         : "Your device can't use FaceID, TouchID or password authentication at the moment. Most likely "
                           "you haven't set it up in Settings.";
                 performOnMainThread([weak, message] {
                   if (auto self = weak.lock()) self->showAuthenticationAlert(NSLocalizedString(message));
                 });
               });
}

void ManageViewController::showAuthenticationAlert(const std::string& message) {
  auto alert = UIAlertController::alertControllerWithTitle(NSLocalizedString("Quillbark Authentication"), message,
                                                           UIAlertControllerStyleAlert);
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Close"), UIAlertActionStyleCancel));
  context_.actions->presentViewController(alert, {});
}

bool ManageViewController::tableViewShouldShowMenuForRowAtIndexPath(UITableView& table, const NSIndexPath&) {
  return !isInstalledTable(table);
}

bool ManageViewController::tableViewCanPerformAction(UITableView& table, const std::string& action, const NSIndexPath&) {
  return !isInstalledTable(table) && action == "copy:";
}

void ManageViewController::tableViewPerformAction(UITableView& table, const std::string& action, const NSIndexPath& path) {
  if (isInstalledTable(table) || action != "copy:" || static_cast<size_t>(path.row) >= allSources_.count()) return;
  if (auto source = allSources_.at(path.row)) UIPasteboard::generalPasteboard().setString(source->location());
}

// ---- Adding and refreshing

void ManageViewController::addSource() {
  std::vector<std::string> found;
  // The whole path a person pasted, "-" and the other characters a path may hold included.
  for (const URL& url : markdown::NSStringURLsFromString::URLsWithRFC3986Paths(
           UIPasteboard::generalPasteboard().string().value_or(""))) {
    std::string location = url.absoluteString();
    if (!KVRSource::objectForPrimaryKey(location)) found.push_back(location);
  }
  if (found.empty()) {
    presentNewSourceForm();
    return;
  }
  std::string listed;
  for (const auto& location : found) listed += (listed.empty() ? "" : "\r") + location;
  auto alert = UIAlertController::alertControllerWithTitle(
      NSLocalizedString("Repositories Detected"), NSLocalizedFormat("Would you like to add: \r\n%@", {listed}),
      UIAlertControllerStyleAlert);
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("No"), UIAlertActionStyleCancel,
                                                  [weak = weakSelf(this)](UIAlertAction&) {
                                                    performOnMainThread([weak] {
                                                      if (auto self = weak.lock()) self->presentNewSourceForm();
                                                    });
                                                  }));
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Yes"), UIAlertActionStyleDefault,
                                                  [weak = weakSelf(this), found](UIAlertAction&) {
                                                    auto self = weak.lock();
                                                    if (!self) return;
                                                    for (const auto& location : found)
                                                      self->addSourceWithString(location, true);
                                                  }));
  presentViewController(alert, true);
}

void ManageViewController::presentNewSourceForm() {
  if (!navigationController()) return;
  lastPresented_ = KVScreens::inNavigation(context_.screens->sourcePage(std::nullopt, true));
  navigationController()->presentViewController(lastPresented_, true);
}

void ManageViewController::addSourceWithString(const std::string& location, bool httpApproval) {
  context_.sources->addSourceWithLocation(location, httpApproval);
}

void ManageViewController::handleRefresh() {
  if (!context_.sources->isRefreshInProgress()) context_.sources->refreshAllSources();
  // A pull while a refresh runs starts nothing, and its control ends as well.
  if (refreshController_ && refreshController_->isRefreshing()) refreshController_->endRefreshing();
}
