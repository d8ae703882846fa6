#include "foundation/WeakSelf.h"
#include "package/PackageDetailsViewController.h"

#include <algorithm>

#include "core/KVKnownRepositories.h"
#include "core/KVQueueStateNotification.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRPackage.h"
#include "foundation/LocalizedStrings.h"
#include "interface/InteractiveHeaderImageView.h"
#include "interface/KVPackageIcons.h"
#include "interface/UIScrollViewInteractiveHeader.h"
#include "package/KVPackageScreenshots.h"
#include "package/KVPackageSnapshot.h"
#include "payment/KVRepoStoreAPI.h"
#include "store/Store.h"
#include "system/Reachability.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationBar.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScrollView.h"

// The more-by table's taps.
class PackageDetailsViewController::MoreByDelegate : public UITableViewDelegate {
 public:
  explicit MoreByDelegate(PackageDetailsViewController& page) : page_(page) {}
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return 70; }
  void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath& path) override { page_.moreByRowSelected(path); }

 private:
  PackageDetailsViewController& page_;
};

// Links tapped in the description and the changelog.
class PackageDetailsViewController::LinksDelegate : public UITextViewDelegate {
 public:
  explicit LinksDelegate(PackageDetailsViewController& page) : page_(page) {}
  bool textViewShouldInteractWithURL(UITextView&, const std::string& url, NSRange) override {
    return page_.textViewShouldInteractWithURL(url);
  }

 private:
  PackageDetailsViewController& page_;
};

PackageDetailsViewController::PackageDetailsViewController(KVScreenContext context, std::string packageIdentifier,
                                                           KVPackagePageOptions options)
    : context_(std::move(context)),
      packageIdentifier_(std::move(packageIdentifier)),
      isComingFromFeatured_(options.isComingFromFeatured),
      isComingFromURLScheme_(options.isComingFromURLScheme),
      moreByDelegate_(std::make_unique<MoreByDelegate>(*this)),
      linksDelegate_(std::make_unique<LinksDelegate>(*this)) {}

// The views that point back at the page go first; the observations end with their tokens.
PackageDetailsViewController::~PackageDetailsViewController() {
  if (!isViewLoaded()) return;
  for (UICollectionView* c : {outlets_.screenshotsCollectionView, outlets_.beforeAfterCollectionView,
                              outlets_.authorCollectionView, outlets_.reviewsCollectionView}) {
    c->setDataSource(nullptr);
    c->setCollectionDelegate(nullptr);
  }
  outlets_.otherDevPackagesTableView->setDataSource(nullptr);
  outlets_.otherDevPackagesTableView->setDelegate(nullptr);
  outlets_.scrollView->setDelegate(nullptr);
  outlets_.descriptionLbl->setTextViewDelegate(nullptr);
  outlets_.changelogContentLbl->setTextViewDelegate(nullptr);
}

bool PackageDetailsViewController::isLoadingScreenshots() const { return screenshots_ && screenshots_->isLoading(); }

std::string PackageDetailsViewController::verifiedSourceLocation() {
  // The first of the default sources.
  return "https://repo.korvale.example/repo/";
}

std::string PackageDetailsViewController::grandelSourceLocation() {
  return KVKnownRepositories::current().largeDefaultRepository;
}

bool PackageDetailsViewController::depictionRoadIsOpen() const {
  Value preference = QuillbarkPersistentPreferences::sharedInstance().objectForKey("GetCydiaPackageInfoFromDepiction");
  bool fetchAlways = preference.isNull() ? true : preference.asBool();  // its default is YES
  return fetchAlways || reach_ == ReachableViaWWAN || reach_ == ReachableViaWiFi;
}

bool PackageDetailsViewController::isInfoJsonSource() const {
  return KVPackageSnapshot::flag(sourceDictionary_, "isUsingInfoJson");
}

// ---- Lifecycle

void PackageDetailsViewController::viewDidLoad() {
  // 1. The page's own figures.
  buttonAlpha_ = 1.0;
  setOverrideLargeTitles(true);
  setUseLegacyNavbarAppearance(false);
  outlets_.descriptionLbl->setTextViewDelegate(linksDelegate_.get());
  outlets_.changelogContentLbl->setTextViewDelegate(linksDelegate_.get());
  // 2. The snapshots.
  setPackageDictionaryFromPackageObject();
  setSourceDictionaryFromSourceObject();
  // 3. Where it was opened from.
  if (isComingFromFeatured_) {
    if (auto* nav = navigationController()) nav->setNavigationBarHidden(false, true);
  } else if (isComingFromURLScheme_) {
    navigationItem().setLeftBarButtonItem(UIBarButtonItem::itemWithTitle(
        NSLocalizedString("Close"), UIBarButtonItemStylePlain, [this](UIBarButtonItem&) { dismissVC(); }));
  }
  // 4. The lists and their cells.
  navigationItem().setTitle("");
  // The name the back button and the terminal show, unless the opener gave one.
  if (title().empty()) setTitle(KVPackageSnapshot::text(packageDictionary_, "name").value_or(packageIdentifier_));
  for (UICollectionView* c : {outlets_.screenshotsCollectionView, outlets_.beforeAfterCollectionView,
                              outlets_.authorCollectionView, outlets_.reviewsCollectionView}) {
    c->setDataSource(this);
    c->setCollectionDelegate(this);
    c->setBackgroundColor(UIColor::clearColor());
  }
  outlets_.screenshotsCollectionView->registerNib("ScreenshotsCell", "cell");
  outlets_.beforeAfterCollectionView->registerNib("ScreenshotsCell", "cell");
  outlets_.authorCollectionView->registerNib("DeveloperCell", "cell");
  outlets_.reviewsCollectionView->registerNib("ReviewsCell", "cell");
  auto* table = outlets_.otherDevPackagesTableView;
  table->registerNib("GetPackageCell", "getPackageCell");
  table->setDataSource(this);
  table->setDelegate(moreByDelegate_.get());
  table->setRowHeight(70);
  table->setBackgroundColor(UIColor::clearColor());
  outlets_.scrollView->setDelegate(static_cast<UICollectionViewDelegate*>(this));
  // 6. What the page hears for its whole life.
  auto weak = weakSelf(this);
  ratingObservation_ = NotificationCenter::defaultCenter().addObserver(
      KVRPackageInfoRatingChangedNotification, &DispatchQueue::mainQueue(), [weak](const Notification& n) {
        if (auto self = weak.lock()) self->ratingChangedNotification(n);
      });
  queueStateObservation_ = NotificationCenter::defaultCenter().addObserver(
      KVQueueStateNotificationPrefix + packageIdentifier_, &DispatchQueue::mainQueue(), [weak](const Notification&) {
        if (auto self = weak.lock()) self->updateGetButtonTitle();
      });
  // An install or a removal ends without the queue-state notice: the Get button follows
  // the record itself.
  if (auto db = store::Database::defaultDatabase())
    if (auto object = db->objectForPrimaryKey(KVRPackage::className(), Value(packageIdentifier_))) {
      int64_t row = object->objectId();
      recordObservation_ = db->observeClass(KVRPackage::className(), [weak, row](const store::ClassChange& change) {
        auto self = weak.lock();
        if (self && std::find(change.modified.begin(), change.modified.end(), row) != change.modified.end())
          self->updateGetButtonTitle();
      });
    }
  // 8, 9. The compact header: the icon as title, the bar's Get button.
  titleViewImg_ = KVPackageIcons::iconForIdentifier(packageIdentifier_);
  buildNavigationItems();
  getBarBtn_->setTitle(getButtonTitle());
  wishlistBtn_ = UIBarButtonItem::itemWithImage(nullptr, UIBarButtonItemStylePlain,
                                                [this](UIBarButtonItem&) { changeWishlistState(); });
  // 10. Nothing has arrived yet.
  screenshotRetrievingFail = false;
  beforeAfterScreenshotsRetrievingFail = false;
  refreshForCydiaPackages = false;
  cydiaPackageHaveChangelog = false;
  bannerCached = false;
  screenshots_ = std::make_shared<KVPackageScreenshots>(
      packageIdentifier_, context_.packages,
      KVPackageScreenshots::Handlers{
          [weak](Images images) {
            if (auto self = weak.lock()) self->screenshotsFromCache(std::move(images));
          },
          [weak](Images images, bool nothingDecoded) {
            if (auto self = weak.lock()) self->screenshotsDownloaded(std::move(images), nothingDecoded);
          }});
  // 11. What the payment service says of a paid package.
  askPurchaseInformation();
  KVPalettedViewController::viewDidLoad();
}

void PackageDetailsViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  loadInformationFromBackground();
  getPackageInformation();
  auto known = KVKnownRepositories::current();
  nativeDepictionCompatibleCydiaSources_ = {known.largeDefaultRepository, known.storeRepository,
                                            known.archivedRepositoryA, known.archivedRepositoryB};
  reach_ = Reachability::reachabilityForInternetConnection()->currentReachabilityStatus();
  if (depictionRoadIsOpen()) {
    if (KVPackageSnapshot::text(packageDictionary_, "sileoDepiction")) {
      setExtendedLayoutIncludesOpaqueBars(true);
      if (auto header = UIScrollViewInteractiveHeader::interactiveHeader(*outlets_.scrollView)) header->setUseAlphaFade(true);
      getSileoDepiction();
    } else if (auto location = KVPackageSnapshot::text(packageDictionary_, "sourceLocation");
               location && std::find(nativeDepictionCompatibleCydiaSources_.begin(),
                                     nativeDepictionCompatibleCydiaSources_.end(),
                                     *location) != nativeDepictionCompatibleCydiaSources_.end()) {
      getHtmlPageForCydiaPackage();
    }
  }
  updateGetButtonTitle();
  // The other packages of the maintainer are known before the layout, which sizes their list.
  loadDevPackages();
  setContent();
  double offset = outlets_.scrollView->contentOffset().y;
  if (offset < 100) {
    wishlistBtn_->setImage(UIImage::imageNamed(KVPackageSnapshot::flag(packageDictionary_, "isInWishlist") ? "Fav" : "Not Fav"));
    navigationItem().setRightBarButtonItem(wishlistBtn_);
  }
  if ((KVPackageSnapshot::text(packageDictionary_, "banner") || KVPackageSnapshot::text(packageDictionary_, "sileoDepiction")) &&
      offset < 0)
    if (auto* nav = navigationController())
      nav->navigationBar()->setAlpha(std::clamp(2 * (1 + offset / 200), 0.0, 1.0));
  loadReviews();
}

void PackageDetailsViewController::viewWillDisappear(bool animated) {
  KVPalettedViewController::viewWillDisappear(animated);
  auto* nav = navigationController();
  if (!nav) return;
  if (palette()) nav->navigationBar()->setTintColor(palette()->tintColor());
  if (isMovingFromParentViewController() && isComingFromFeatured_) nav->setNavigationBarHidden(true, true);
}

void PackageDetailsViewController::viewDidLayoutSubviews() {
  KVPalettedViewController::viewDidLayoutSubviews();
  updateContentSize();
}

void PackageDetailsViewController::viewWillTransitionToSize(CGSize size,
                                                            UIViewControllerTransitionCoordinator& coordinator) {
  KVPalettedViewController::viewWillTransitionToSize(size, coordinator);
  for (UICollectionView* c :
       {outlets_.screenshotsCollectionView, outlets_.beforeAfterCollectionView, outlets_.authorCollectionView})
    c->reloadData();
  outlets_.otherDevPackagesTableView->reloadData();
}

// ---- The column's spacings and heights

NSLayoutConstraint* PackageDetailsViewController::topConstraint(const UIView* view) const {
  auto it = slots_.find(view);
  return it == slots_.end() ? nullptr : it->second.top.get();
}

NSLayoutConstraint* PackageDetailsViewController::heightConstraint(const UIView* view) const {
  auto it = slots_.find(view);
  return it == slots_.end() ? nullptr : it->second.height.get();
}

bool PackageDetailsViewController::isShown(const UIView* view) const {
  if (view->isHidden()) return false;
  auto it = slots_.find(view);
  return it == slots_.end() || !it->second.height->isActive() || it->second.height->constant() > 0;
}

void PackageDetailsViewController::setSpacing(const UIView* view, double spacing) {
  slots_.at(view).top->setConstant(spacing);
}

void PackageDetailsViewController::setHeight(const UIView* view, double height) {
  Slot& slot = slots_.at(view);
  slot.shownHeight = height;
  if (!view->isHidden()) slot.height->setConstant(height);
}

void PackageDetailsViewController::show(UIView* view) {
  view->setHidden(false);
  Slot& slot = slots_.at(view);
  if (slot.intrinsic) {
    slot.height->setActive(false);
  } else {
    slot.height->setConstant(slot.shownHeight);
  }
}

// A hidden view gives up its space: no height and no spacing above it.
void PackageDetailsViewController::collapse(UIView* view) {
  view->setHidden(true);
  Slot& slot = slots_.at(view);
  slot.height->setConstant(0);
  slot.height->setActive(true);
  slot.top->setConstant(0);
}

void PackageDetailsViewController::fitTextView(UITextView* view) {
  UILabel measure;
  measure.setFont(view->font());
  measure.setNumberOfLines(0);
  if (!view->attributedText().empty()) measure.setAttributedText(view->attributedText());
  else measure.setText(view->text());
  double width = view->frame().width();
  double height = measure.text().empty() ? 0 : measure.sizeThatFits({width, 100000}).height + 16;
  setHeight(view, height);
}

void PackageDetailsViewController::updateContentSize() {
  if (!isViewLoaded()) return;
  UIView* content = outlets_.contentView;
  double bottom = outlets_.copyrightLbl->frame().maxY() + 30;
  double width = outlets_.scrollView->frame().width();
  content->setFrame(CGRect::make(0, 0, width, bottom));
  outlets_.secondBackgroundView->setFrame(CGRect::make(0, outlets_.topSeparator->frame().maxY(), width,
                                                       bottom - outlets_.topSeparator->frame().maxY()));
  // The ground reaches far above the page for a pull past its top, unless a banner is
  // shown there.
  double above = UIScrollViewInteractiveHeader::interactiveHeader(*outlets_.scrollView) ? 0 : 1000;
  outlets_.backgroundView->setFrame(CGRect::make(0, -above, width, above + outlets_.topSeparator->frame().maxY()));
  outlets_.scrollView->setContentSize(CGSize{width, bottom});
}
