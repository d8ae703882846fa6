#include "payment/RepoStoreDetailsViewController.h"

#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVIconProvider.h"
#include "database/KVRPackages.h"
#include "database/KVRSources.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "interface/KVScreens.h"
#include "interface/SearchCell.h"
#include "payment/CydiaStoreLoginController.h"
#include "payment/KVOutsideStore.h"
#include "payment/KVRepoStoreAPI.h"
#include "payment/KVStoreLook.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIButton.h"
#include "uikit/UIImage.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIRefreshControl.h"
#include "uikit/UIStackView.h"

namespace {
constexpr double kSignedOutHeaderHeight = 210, kSignedInHeaderHeight = 256;

bool outsideStorePreference() {
  return QuillbarkPersistentPreferences::sharedInstance().boolForKey(KVOutsideStore::kSignedInPreference);
}

// A localized format with its one "%@" filled in.
std::string localizedFormat(const std::string& key, const std::string& value) {
  std::string text = NSLocalizedString(key);
  if (auto at = text.find("%@"); at != std::string::npos) text.replace(at, 2, value);
  return text;
}
}  // namespace

RepoStoreDetailsViewController::RepoStoreDetailsViewController(KVScreenContext context, std::string location,
                                                               std::optional<KVStoreVendorInfo> vendorInfo)
    : context_(std::move(context)),
      sourceLocation_(std::move(location)),
      vendorInfo_(vendorInfo.value_or(KVStoreVendorInfo{})),
      isCydiaStore_(sourceLocation_ == KVOutsideStore::location()),
      errorRetreivingVendorInfo_(!vendorInfo || vendorInfo->error.has_value()) {
  setTitle(vendorInfo_.name.value_or(NSLocalizedString("User Info")));
}

RepoStoreDetailsViewController::~RepoStoreDetailsViewController() = default;

void RepoStoreDetailsViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  tableView_ = std::make_shared<UITableView>(view()->bounds(), UITableViewStylePlain);
  setView(tableView_);
  tableView_->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
  tableView_->setRowHeight(70);
  tableView_->setDataSource(this);
  tableView_->setTableDelegate(this);
  tableView_->setTableHeaderView(headerView());
  tableView_->registerNib("SearchCell", "cell");
  tableView_->registerClass<UITableViewCell>("banner");
  auto& center = NotificationCenter::defaultCenter();
  auto icon = [this](const Notification& n) { iconChanged(n); };
  sourceIconObservation_ = center.addObserver(KVRSourceInfoIconChangedNotification, &DispatchQueue::mainQueue(), icon);
  packageIconObservation_ = center.addObserver(KVRPackageInfoIconChangedNotification, &DispatchQueue::mainQueue(), icon);
  signinObservation_ = center.addObserver(KVOutsideStore::kSigninStatusDidChangeNotification, &DispatchQueue::mainQueue(),
                                          [this](const Notification& n) { cydiaSigninChanged(n); });
  if (isCydiaStore_) {
    setSignedIn(outsideStorePreference());
  } else {
    refreshControl_ = std::make_shared<UIRefreshControl>();
    refreshControl_->addTarget(this, [this](UIControl&) { refreshUserInfo(true); }, UIControlEventValueChanged);
    tableView_->setRefreshControl(refreshControl_);
    navigationItem().setRightBarButtonItem(UIBarButtonItem::itemWithBarButtonSystemItem(
        UIBarButtonSystemItemRefresh, [this](UIBarButtonItem&) { refreshUserInfo(false); }));
    setSignedIn(KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(sourceLocation_));
    refreshUserInfo(false);
  }
  purchasedPackages_ = (isCydiaStore_ ? KVRPackage::objectsWhere("isPaidThroughCydia = 1")
                                      : KVRPackage::objectsWhere("sourceLocation = %@ AND isPaidThroughSileo = 1",
                                                                 sourceLocation_))
                           .sorted("name", true);
  purchasedPackagesNotification_ = purchasedPackages_.observe(
      [this](const store::TypedResults<KVRPackage>& results, const store::CollectionChange*, const ErrorRef& error) {
        if (error) return;
        purchasedPackages_ = results;
        hasZeroPackages_ = isSignedIn_ && results.empty();
        tableView_->reloadData();
      });
}

std::shared_ptr<UIView> RepoStoreDetailsViewController::headerView() {
  auto image = vendorInfo_.image ? vendorInfo_.image : KVRSources::iconForLocation(sourceLocation_);
  if (!image) image = UIImage::imageNamed("iTunesArtwork.png");
  button_ = UIButton::buttonWithType(UIButtonTypeSystem);
  button_->layer().cornerRadius = 13;
  button_->setClipsToBounds(true);
  button_->setTitleColor(UIColor::whiteColor());
  button_->setTitle(vendorInfo_.buttonTitle.value_or(NSLocalizedString("Login")));
  button_->addTarget(this, [this](UIControl&) { logInOutButtonPressed(); }, UIControlEventTouchUpInside);
  header_ = KVStoreHeader::make(view()->bounds().width(), kSignedOutHeaderHeight, image, button_);
  header_.title->setText(NSLocalizedString("Username:"));
  header_.subtitle->setText(NSLocalizedString("Email:"));
  if (palette()) {
    button_->setBackgroundColor(palette()->tintColor());
    header_.title->setTextColor(palette()->primaryTextColor());
    header_.subtitle->setTextColor(palette()->secondaryTextColor());
  }
  return header_.view;
}

void RepoStoreDetailsViewController::setSignedIn(bool signedIn) {
  performOnMainThread([weak = weakSelf(this), signedIn] {
    auto self = weak.lock();
    if (!self || !self->tableView_) return;
    bool labels = false;
    if (self->isCydiaStore_) {
      // The account page keeps the state; the announcement only says that it changed.
      self->isSignedIn_ = outsideStorePreference();
    } else {
      self->isSignedIn_ = signedIn;
      labels = signedIn;
    }
    self->header_.setHeight(labels ? kSignedInHeaderHeight : kSignedOutHeaderHeight);
    self->header_.title->setHidden(!labels);
    self->header_.subtitle->setHidden(!labels);
    self->tableView_->setTableHeaderView(self->header_.view);
    self->button_->setTitle(signedIn ? NSLocalizedString("Logout")
                                     : NSLocalizedString(self->vendorInfo_.buttonTitle.value_or("Login")));
    // The rows follow the new state: the purchases, or the banner that fits it.
    bool queried = self->purchasedPackages_.results().isValid();
    self->hasZeroPackages_ = self->isSignedIn_ && queried && self->purchasedPackages_.reloaded().empty();
    self->tableView_->reloadData();
  });
}

void RepoStoreDetailsViewController::logInOutButtonPressed() {
  if (isCydiaStore_) {
    auto navigation = std::make_shared<UINavigationController>(std::make_shared<CydiaStoreLoginController>());
    navigation->setModalPresentationStyle(UIModalPresentationFormSheet);
    presentViewController(navigation, true);
    return;
  }
  auto weak = weakSelf(this);
  auto changed = [weak](bool signedIn) {
    return [weak, signedIn](bool success) {
      if (!success) return;  // the screen stays as it was
      performOnMainThread([weak, signedIn] {
        if (auto self = weak.lock()) self->setSignedIn(signedIn);
      });
    };
  };
  if (KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(sourceLocation_))
    KVRepoStoreAPI::logoutOfSource(sourceLocation_, changed(false));
  else
    KVRepoStoreAPI::loginToSource(sourceLocation_, changed(true));
}

void RepoStoreDetailsViewController::refreshUserInfo(bool fromPullControl) {
  if (!isSignedIn_) return;
  if (fromPullControl && refreshControl_ && !refreshControl_->isRefreshing()) refreshControl_->beginRefreshing();
  std::string location = sourceLocation_;
  KVRepoStoreAPI::sharedRepoStore().userInfoForSourceLocation(
      location, [weak = weakSelf(this), location](bool failed, std::shared_ptr<RepoStoreUserInfoResponse> response) {
        bool read = !failed && response && !response->error;
        if (read) KVRepoStoreAPI::updatePurchasesForSourceWithLocation(location, response);
        std::string name = read ? response->name : std::string(), email = read ? response->email : std::string();
        bool hasPurchases = read && !response->purchases.empty();
        performOnMainThread([weak, read, name, email, hasPurchases] {
          auto self = weak.lock();
          if (!self) return;
          if (read) self->userInfoArrived(name, email, hasPurchases);
          if (self->refreshControl_) self->refreshControl_->endRefreshing();
        });
      });
}

void RepoStoreDetailsViewController::userInfoArrived(const std::string& name, const std::string& email,
                                                     bool hasPurchases) {
  header_.subtitle->setText(email);
  header_.title->setText(name);
  hasZeroPackages_ = !hasPurchases;
  tableView_->reloadData();
}

void RepoStoreDetailsViewController::cydiaSigninChanged(const Notification& notification) {
  setSignedIn(notification.object.asBool());
}

void RepoStoreDetailsViewController::iconChanged(const Notification& notification) {
  std::string object = notification.object.asString();
  if (notification.name == KVRSourceInfoIconChangedNotification) {
    if (object != sourceLocation_ || vendorInfo_.image) return;
    if (auto image = KVRSources::iconForLocation(sourceLocation_)) header_.image->setImage(image);
  } else if (notification.name == KVRPackageInfoIconChangedNotification) {
    for (const auto& cell : tableView_->visibleCells()) {
      auto path = tableView_->indexPathForCell(cell.get());
      auto* row = dynamic_cast<SearchCell*>(cell.get());
      if (!row || !path || !showsPackages()) continue;
      auto package = packageAtIndexPath(*path);
      if (package && package->identifier() == object) row->iconView()->setImage(KVRPackages::iconForIdentifier(object));
    }
  }
}

std::optional<KVRPackage> RepoStoreDetailsViewController::packageAtIndexPath(const NSIndexPath& path) const {
  if (path.row < 0 || static_cast<size_t>(path.row) >= purchasedPackages_.count()) return std::nullopt;
  return purchasedPackages_.at(static_cast<size_t>(path.row));
}

long RepoStoreDetailsViewController::tableViewNumberOfRowsInSection(UITableView&, long) {
  return showsPackages() ? static_cast<long>(purchasedPackages_.count()) : 1;
}

std::shared_ptr<UITableViewCell> RepoStoreDetailsViewController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                              const NSIndexPath& path) {
  if (!showsPackages()) return bannerCell(table);
  auto cell = std::static_pointer_cast<SearchCell>(table.dequeueReusableCellWithIdentifier("cell", path));
  auto package = packageAtIndexPath(path);
  std::string identifier = package ? package->identifier() : std::string();
  cell->nameLbl()->setText(package ? package->name().value_or(identifier) : std::string());
  cell->subinfoLbl()->setText(package ? package->maintainer().value_or("") : std::string());
  cell->iconView()->setImage(identifier.empty() ? nullptr : KVRPackages::iconForIdentifier(identifier));
  KVStoreLook::styleRow(*cell, palette(), static_cast<size_t>(path.row) + 1 == purchasedPackages_.count());
  return cell;
}

std::shared_ptr<UITableViewCell> RepoStoreDetailsViewController::bannerCell(UITableView&) {
  auto cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "banner");
  cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
  if (palette()) cell->setBackgroundColor(isDarkMode() ? palette()->highlightColor() : palette()->cellBackgroundColor());
  UILabel* text = cell->textLabel();
  text->setNumberOfLines(0);
  if (errorRetreivingVendorInfo_) {
    if (palette()) text->setTextColor(palette()->errorTextColor());
    text->setText(localizedFormat("There was an error while retrieving vendor information for this store. Information "
                                  "displayed here might not be acurate. Error: (%@)",
                                  vendorInfo_.error.value_or("")));
    return cell;
  }
  if (palette()) text->setTextColor(palette()->secondaryTextColor());
  if (isSignedIn_) text->setText(NSLocalizedString("You have no purchased packages for this account."));
  else
    text->setText(NSLocalizedString(
        vendorInfo_.message.value_or("You must sign in before you can view your purchased packages.")));
  return cell;
}

void RepoStoreDetailsViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, true);
  if (!showsPackages()) return;
  auto package = packageAtIndexPath(path);
  if (!package || !navigationController()) return;
  auto screen = context_.screens->package(package->identifier());
  screen->setTitle(package->name().value_or(package->identifier()));
  navigationController()->pushViewController(screen, true);
}

std::shared_ptr<UIView> RepoStoreDetailsViewController::tableViewViewForFooterInSection(UITableView&, long) {
  return std::make_shared<UIView>();
}

void RepoStoreDetailsViewController::paletteWillChangeToStyle(uint32_t style) {
  KVStoreLook::paletteWillChangeToStyle(*this, style);
}

void RepoStoreDetailsViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!palette || !tableView_) return;
  view()->setBackgroundColor(palette->backgroundColor());
  tableView_->setBackgroundColor(palette->backgroundColor());
  header_.title->setTextColor(palette->primaryTextColor());
  header_.subtitle->setTextColor(palette->secondaryTextColor());
  button_->setBackgroundColor(palette->tintColor());
  tableView_->reloadData();
}
