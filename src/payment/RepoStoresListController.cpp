#include "payment/RepoStoresListController.h"

#include "core/KVReplyLimits.h"
#include "database/KVIconProvider.h"
#include "database/KVRSources.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/URLSession.h"
#include "foundation/WeakSelf.h"
#include "interface/SearchCell.h"
#include "payment/KVOutsideStore.h"
#include "payment/KVRepoStoreAPI.h"
#include "payment/KVStoreLook.h"
#include "payment/RepoStoreDetailsViewController.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIButton.h"
#include "uikit/UIImage.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIRefreshControl.h"
#include "uikit/UIStackView.h"

namespace {
constexpr const char* kOutsideStoreName = "Cydia Store";
constexpr const char* kOutsideStoreImage = "KVCydiaSourceMorvik.jpg";

std::optional<std::string> nonEmpty(const std::string& text) {
  if (text.empty()) return std::nullopt;
  return text;
}

// What the vendor's answer says of its store; only the error when it failed.
KVStoreVendorInfo vendorInfoFromReply(bool failed, const std::shared_ptr<RepoStoreVendorInfoResponse>& response) {
  KVStoreVendorInfo info;
  if (failed || !response || response->error) {
    info.error = response && response->error ? response->error->localizedDescription() : std::string("Unknown error");
    return info;
  }
  info.name = nonEmpty(response->name);
  if (response->icon) info.icon = response->icon->absoluteString();
  if (const auto& banner = response->authenticationInfo) {
    info.buttonTitle = nonEmpty(banner->buttonTitle);
    info.message = nonEmpty(banner->message);
  }
  return info;
}
}  // namespace

RepoStoresListController::RepoStoresListController(KVScreenContext context) : context_(std::move(context)) {}
RepoStoresListController::~RepoStoresListController() = default;

void RepoStoresListController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  setTitle(NSLocalizedString("Stores"));
  vendorInfoCollection_.clear();
  tableView_ = std::make_shared<UITableView>(view()->bounds(), UITableViewStylePlain);
  setView(tableView_);
  tableView_->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
  tableView_->setRowHeight(70);
  tableView_->setDataSource(this);
  tableView_->setTableDelegate(this);
  refreshControl_ = std::make_shared<UIRefreshControl>();
  refreshControl_->addTarget(this, [this](UIControl&) { refreshEndpointList(true); }, UIControlEventValueChanged);
  tableView_->setRefreshControl(refreshControl_);
  navigationItem().setRightBarButtonItem(UIBarButtonItem::itemWithBarButtonSystemItem(
      UIBarButtonSystemItemRefresh, [this](UIBarButtonItem&) { refreshEndpointList(false); }));
  tableView_->setTableHeaderView(headerView());
  tableView_->registerNib("SearchCell", "cell");
  iconObservation_ = NotificationCenter::defaultCenter().addObserver(
      KVRSourceInfoIconChangedNotification, &DispatchQueue::mainQueue(), [this](const Notification& n) { iconChanged(n); });
  commercialSources_ = KVRSource::objectsWhere("hasEndpoint = 1").sorted("name", true);
  commercialSourcesNotification_ = commercialSources_.observe(
      [this](const store::TypedResults<KVRSource>& results, const store::CollectionChange*, const ErrorRef& error) {
        if (error) return;
        commercialSources_ = results;
        tableView_->reloadData();
      });
  fetchVendorInfoForAllSources();
}

std::shared_ptr<UIView> RepoStoresListController::headerView() {
  header_ = KVStoreHeader::make(view()->bounds().width(), 210, UIImage::imageNamed("iTunesArtwork.png"));
  header_.title->setText(NSLocalizedString("Korvale Quillbark"));
  header_.subtitle->setText(NSLocalizedString("Commercial Repos"));
  if (palette()) {
    header_.title->setTextColor(palette()->primaryTextColor());
    header_.subtitle->setTextColor(palette()->secondaryTextColor());
  }
  return header_.view;
}

long RepoStoresListController::tableViewNumberOfRowsInSection(UITableView&, long) {
  return static_cast<long>(commercialSources_.count()) + 1;
}

std::optional<KVRSource> RepoStoresListController::sourceAtIndexPath(const NSIndexPath& path) const {
  if (path.row < 0 || static_cast<size_t>(path.row) >= commercialSources_.count()) return std::nullopt;
  return commercialSources_.at(static_cast<size_t>(path.row));
}

std::optional<NSIndexPath> RepoStoresListController::indexPathForSourceLocation(const std::string& location) const {
  auto index = commercialSources_.indexOfObjectWhere("location = %@", location);
  if (!index) return std::nullopt;
  return NSIndexPath::indexPathForRow(static_cast<long>(*index), 0);
}

KVStoreVendorInfo RepoStoresListController::vendorInfoForSourceLocation(const std::string& location) const {
  auto it = vendorInfoCollection_.find(location);
  return it == vendorInfoCollection_.end() ? KVStoreVendorInfo{} : it->second;
}

std::shared_ptr<UITableViewCell> RepoStoresListController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                        const NSIndexPath& path) {
  auto cell = std::static_pointer_cast<SearchCell>(table.dequeueReusableCellWithIdentifier("cell", path));
  size_t count = commercialSources_.count();
  if (static_cast<size_t>(path.row) < count) {
    auto source = sourceAtIndexPath(path);
    std::string location = source ? source->location() : std::string();
    KVStoreVendorInfo info = vendorInfoForSourceLocation(location);
    cell->nameLbl()->setText(info.name.value_or(source ? source->name().value_or(location) : std::string()));
    cell->subinfoLbl()->setText(location);
    cell->iconView()->setImage(info.image ? info.image : KVRSources::iconForLocation(location));
  } else {
    cell->nameLbl()->setText(NSLocalizedString(kOutsideStoreName));
    cell->subinfoLbl()->setText(KVOutsideStore::httpLocation());
    cell->iconView()->setImage(UIImage::imageNamed(kOutsideStoreImage));
  }
  KVStoreLook::styleRow(*cell, palette(), static_cast<size_t>(path.row) == count);
  return cell;
}

void RepoStoresListController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, true);
  std::string location;
  KVStoreVendorInfo info;
  if (auto source = sourceAtIndexPath(path)) {
    location = source->location();
    info = vendorInfoForSourceLocation(location);
  } else {
    location = KVOutsideStore::location();
    info = vendorInfoForSourceLocation(location);
  }
  navigationController()->pushViewController(std::make_shared<RepoStoreDetailsViewController>(context_, location, info),
                                             true);
}

std::shared_ptr<UIView> RepoStoresListController::tableViewViewForFooterInSection(UITableView&, long) {
  return std::make_shared<UIView>();
}

void RepoStoresListController::fetchVendorInfoForAllSources() {
  vendorInfoCollection_.clear();
  KVStoreVendorInfo outside;
  outside.name = kOutsideStoreName;
  outside.image = UIImage::imageNamed(kOutsideStoreImage);
  vendorInfoCollection_[KVOutsideStore::location()] = outside;
  for (size_t i = 0; i < commercialSources_.count(); ++i) {
    auto source = commercialSources_.at(i);
    if (!source) continue;
    std::string location = source->location();
    if (vendorInfoForSourceLocation(location).image) continue;
    KVRepoStoreAPI::sharedRepoStore().vendorInfoForSourceLocation(
        location, [weak = weakSelf(this), location](bool failed, std::shared_ptr<RepoStoreVendorInfoResponse> response) {
          KVStoreVendorInfo info = vendorInfoFromReply(failed, response);
          performOnMainThread([weak, location, info] {
            if (auto self = weak.lock()) self->vendorInfoArrived(location, info);
          });
        });
  }
}

void RepoStoresListController::vendorInfoArrived(const std::string& location, KVStoreVendorInfo info) {
  // The row shows the vendor's name once it is drawn again: its icon's arrival, a palette
  // change or a change of the sources redraws it.
  std::optional<std::string> icon = info.icon;
  vendorInfoCollection_[location] = std::move(info);
  if (icon) fetchIconForURL(icon, location);
}

void RepoStoresListController::fetchIconForURL(const std::optional<std::string>& url,
                                               const std::optional<std::string>& location) {
  if (!url || !location || vendorInfoForSourceLocation(*location).image) return;
  auto address = URL::fromString(*url);
  if (!address) return;
  URLRequest request(address);
  request.setReplyLimits(KVReplyLimits::kIcon);
  auto task = URLSession::sharedSession()->dataTaskWithRequest(
      request, [weak = weakSelf(this), location = *location](std::optional<Data> body, URLResponseRef response,
                                                             ErrorRef error) {
        if (error || !body || !response || (response->statusCode() != 200 && response->statusCode() != 304)) return;
        auto image = UIImage::imageWithData(*body);
        if (!image) return;
        performOnMainThread([weak, location, image] {
          if (auto self = weak.lock()) self->iconArrived(location, image);
        });
      });
  task->resume();
}

void RepoStoresListController::iconArrived(const std::string& location, std::shared_ptr<UIImage> image) {
  vendorInfoCollection_[location].image = std::move(image);
  if (auto path = indexPathForSourceLocation(location))
    tableView_->reloadRowsAtIndexPaths({*path}, UITableViewRowAnimationNone);
}

void RepoStoresListController::iconChanged(const Notification& notification) {
  std::string location = notification.object.asString();
  if (vendorInfoForSourceLocation(location).image) return;
  setIcon(KVRSources::iconForLocation(location), location);
}

void RepoStoresListController::setIcon(std::shared_ptr<UIImage> image, const std::string& location) {
  if (!image || location.empty()) return;
  performOnMainThread([weak = weakSelf(this), image, location] {
    auto self = weak.lock();
    if (!self) return;
    for (const auto& cell : self->tableView_->visibleCells()) {
      auto* row = dynamic_cast<SearchCell*>(cell.get());
      if (row && row->subinfoLbl()->text() == location) row->iconView()->setImage(image);
    }
  });
}

void RepoStoresListController::refreshEndpointList(bool fromPullControl) {
  size_t before = commercialSources_.count();
  if (fromPullControl && !refreshControl_->isRefreshing()) refreshControl_->beginRefreshing();
  KVRepoStoreAPI::refreshEndpontsForAllSourcesWithCompletion([weak = weakSelf(this), before](bool) {
    performOnMainThread([weak, before] {
      auto self = weak.lock();
      if (!self) return;
      // Counted afresh: the results the screen holds may not have heard of the new answers yet.
      if (KVRSource::objectsWhere("hasEndpoint = 1").count() != before) self->fetchVendorInfoForAllSources();
      self->refreshControl_->endRefreshing();
    });
  });
}

void RepoStoresListController::paletteWillChangeToStyle(uint32_t style) {
  KVStoreLook::paletteWillChangeToStyle(*this, style);
}

void RepoStoresListController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!palette || !tableView_) return;
  view()->setBackgroundColor(palette->backgroundColor());
  tableView_->setBackgroundColor(palette->backgroundColor());
  if (header_.title) header_.title->setTextColor(palette->primaryTextColor());
  if (header_.subtitle) header_.subtitle->setTextColor(palette->secondaryTextColor());
  tableView_->reloadData();
}
