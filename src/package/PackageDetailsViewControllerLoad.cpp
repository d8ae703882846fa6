// The package page's load sequence: the texts from the snapshots, and the loads that
// need the network or the files (the banner, the developer's avatar, the screenshots,
// the before/after pair, the average rating, the reviews and the purchase information).
// Callbacks that can outlive the page hold it weakly; their caches are written anyway.
#include <algorithm>
#include <cctype>

#include "account/KVDeveloperProfile.h"
#include "account/KVPackageRatings.h"
#include "account/KVSearchDeveloper.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRPackage.h"
#include "foundation/BlockHelpers.h"
#include "foundation/ByteCountFormatter.h"
#include "foundation/DateFormatter.h"
#include "foundation/Files.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/URLReplyLimits.h"
#include "foundation/URLSession.h"
#include "interface/KVPackageIcons.h"
#include "interface/PackageCell.h"
#include "interface/UIScrollViewInteractiveHeader.h"
#include "package/KVPackageScreenshots.h"
#include "package/KVPackageSnapshot.h"
#include "foundation/WeakSelf.h"
#include "package/PackageDetailsViewController.h"
#include "payment/KVRepoStoreAPI.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"
#include "uikit/ImageLoader.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationBar.h"
#include "uikit/UINavigationController.h"
#include "webkit/WKWebView.h"

namespace {
using KVPackageSnapshot::text;

std::shared_ptr<UIImage> placeholderImage() { return UIImage::imageNamed("iTunesArtwork"); }

std::string bannerFolder() { return DeviceRoot::devicePath(DeviceRoot::kApplicationSupport) + "/DepictionsBanners"; }

// The banner file of the package, none for an identifier that cannot name a file.
std::optional<std::string> bannerPath(const std::string& identifier) {
  auto screenshot = KVPackageScreenshots::cachePath(identifier, 1);
  if (!screenshot) return std::nullopt;
  return bannerFolder() + "/" + identifier + ".png";
}

std::string joinedLines(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& item : items) out += (out.empty() ? "" : "\n") + item;
  return out;
}

std::string withoutBlanks(std::string text) {
  text.erase(std::remove_if(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c); }), text.end());
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string replacedAll(std::string text, const std::string& what, const std::string& with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
  return text;
}
}  // namespace

std::string PackageDetailsViewController::advertisementSnippet() {
  // One display unit of 300 x 250, drawn by the page itself: nothing is fetched.
  return "<!DOCTYPE html><html><head><meta name=\"viewport\" content=\"width=300\"></head>"
         "<body style=\"margin:0\"><div style=\"width:300px;height:250px;display:flex;align-items:center;"
         "justify-content:center;background:#eef3f8;font-family:-apple-system;color:#40566b\">"
         "Support this repository</div></body></html>";
}

// ---- The texts

void PackageDetailsViewController::getPackageInformation() {
  const Value& p = packageDictionary_;
  auto& o = outlets_;
  o.iconView->setImage(KVPackageIcons::iconForIdentifier(packageIdentifier_));
  o.nameLbl->setText(text(p, "name").value_or(""));
  o.nameLbl->setAdjustsFontSizeToFitWidth(true);
  auto location = text(p, "sourceLocation");
  o.verifiedIconView->setHidden(location != verifiedSourceLocation());
  updateGetButtonTitle();

  if (KVPackageSnapshot::isPresent(p, "myRating")) {
    int64_t rating = p["myRating"].asInt();
    setStars(rating);
    o.ratingLbl->setText(NSLocalizedFormat("%@ out of 5 rating", {std::to_string(rating)}));
  } else {
    setStars(0);
    o.ratingLbl->setText(NSLocalizedString("0 out of 5 rating"));
  }
  auto installed = text(p, "installedVersion");
  const bool isInstalled = KVPackageSnapshot::flag(p, "isInstalled") && installed;
  auto version = isInstalled ? installed : text(p, "version");
  o.packageVersionLbl->setText(
      version ? PackageCellLook::versionText(isInstalled, installed, text(p, "version"), KVPackageSnapshot::flag(p, "isUpdated"),
                                             KVPackageSnapshot::flag(p, "isHeld"))
              : NSLocalizedString("None"));
  o.packageCategoryLbl->setText(text(p, "category").value_or(NSLocalizedString("None")));

  if (isInfoJsonSource()) {
    if (auto youtube = text(p, "youtube"); youtube && youtube->find("watch?v=") != std::string::npos)
      loadVideoPreview(youtube->substr(youtube->find("watch?v=") + 8));
    auto description = text(p, "Description");
    o.descriptionLbl->setAttributedText(
        attributedTextFromMarkdown(description ? std::optional(replacedAll(*description, "/n", "  ")) : std::nullopt));
  } else {
    o.descriptionLbl->setText(text(p, "Description").value_or(""));
    if (location == grandelSourceLocation()) {
      auto base = URL::fromString(*location);
      auto page = base ? URL::fromString("/moreinfo/depiction.php?file=" +
                                             URL::percentEncode(withoutBlanks(text(p, "name").value_or("")), "") + "Dp",
                                         *base)
                       : std::nullopt;
      o.adsWebView->loadHTMLString(advertisementSnippet(), page);
    }
  }
  fitTextView(o.descriptionLbl);

  std::string developer = developerDisplayName();
  o.authorLbl->setText(developer);
  o.developerNameLbl->setText(developer);
  o.developerNameLbl->setAdjustsFontSizeToFitWidth(true);
  o.moreDevPackagesTitle->setText(NSLocalizedFormat("More by %@", {developer}));
  o.copyrightLbl->setText(NSLocalizedFormat("© %@ \n%@", {developer, packageIdentifier_}));

  auto size = text(p, "size");
  o.packageSizeLbl->setText(size ? ByteCountFormatter::stringFromByteCount(std::strtoll(size->c_str(), nullptr, 10)) : "");

  auto minimum = text(p, "minosversion");
  auto maximum = text(p, "maxosversion");
  o.compatibilityLbl->setText(NSLocalizedString("Compatibility"));
  if (minimum && maximum) {
    o.packageCompatibilityLbl->setText(NSLocalizedFormat("iOS %@ - %@", {*minimum, *maximum}));
  } else if (minimum || maximum) {
    o.compatibilityLbl->setText(NSLocalizedString(minimum ? "Minimum OS" : "Maximum OS"));
    o.packageCompatibilityLbl->setText(NSLocalizedFormat("iOS %@", {minimum ? *minimum : *maximum}));
  } else {
    o.packageCompatibilityLbl->setText(NSLocalizedString("Nothing specified"));
  }
  auto dependencies = KVPackageSnapshot::texts(p, "dependencies");
  o.packageDependenciesLbl->setText(dependencies.empty() ? NSLocalizedString("No dependencies") : joinedLines(dependencies));
  auto conflicts = KVPackageSnapshot::texts(p, "conflicts");
  o.packageConflictsLbl->setText(conflicts.empty() ? NSLocalizedString("No conflicts") : joinedLines(conflicts));
  auto action = text(p, "postinstallaction");
  o.packagePostInstallActionLbl->setText(action ? KVPackageSnapshot::capitalized(*action) : NSLocalizedString("Nothing"));

  std::string date;
  if (const Date* d = p["date"].datePtr()) date = DateFormatter("MM/dd/yyyy", "").format(*d);
  o.packageDateLbl->setText(date.empty() || date == "01/01/1970" ? NSLocalizedString("None") : date);
  o.packageIsBetaLbl->setText(NSLocalizedString(KVPackageSnapshot::flag(p, "isBeta") ? "Yes" : "No"));

  if (sourceFound_) {
    auto icon = location ? KVPackageIcons::iconForLocation(*location) : nullptr;
    o.repositoryIconImageView->setImage(icon ? icon : placeholderImage());
    o.repositoryNameLbl->setText(text(sourceDictionary_, "name").value_or(""));
    o.repositoryDescriptionLbl->setText(text(sourceDictionary_, "Description").value_or(""));
  } else {
    o.repositoryIconImageView->setImage(placeholderImage());
    bool dpkg = location == std::string(KVRPackage::kDPKGSourceLocation);
    o.repositoryNameLbl->setText(dpkg ? std::string("DPKG") : NSLocalizedString("Removed Source"));
    o.repositoryDescriptionLbl->setText(
        NSLocalizedString(dpkg ? "This package has been installed through another package manager"
                               : "The source of this package has been removed"));
  }
}

// ---- The background loads

void PackageDetailsViewController::loadInformationFromBackground() {
  loadBanner();
  loadDeveloper();
  // A missing record has nothing to fetch; the load reads the record as it is now.
  if (KVPackageSnapshot::isPresent(packageDictionary_, "identifier")) screenshots_->load();
  loadBeforeAfter();
  loadAverageRating();
}

void PackageDetailsViewController::loadBanner() {
  auto weak = weakSelf(this);
  const std::string identifier = packageIdentifier_;
  if (auto banner = text(packageDictionary_, "banner")) {
    if (auto url = URL::fromString(*banner)) fetchBanner(*url);
  } else if (text(packageDictionary_, "sileoDepiction")) {
    performOnDefaultThread([weak, identifier] {
      auto path = bannerPath(identifier);
      auto image = path && Files::exists(*path) ? UIImage::imageWithContentsOfFile(*path) : nullptr;
      if (!image) return;
      performOnMainThread([weak, image] {
        auto self = weak.lock();
        if (!self) return;
        self->bannerCached = true;
        self->showBanner(image);
      });
    });
  }
}

void PackageDetailsViewController::fetchBanner(const URL& url) {
  auto weak = weakSelf(this);
  const std::string identifier = packageIdentifier_;
  URLRequest request(url);
  request.setReplyLimits(URLReplyKinds::kImage);
  // A banner that does not arrive, or is no picture, leaves the page as it is; one that
  // does is cached even when the page is gone by then.
  URLSession::sharedSession()
      ->dataTaskWithRequest(request,
                            [weak, identifier](std::optional<Data> data, URLResponseRef, ErrorRef) {
                              if (!data) return;
                              performOnDefaultThread([weak, identifier, data = std::move(*data)] {
                                auto image = UIImage::imageWithData(data);
                                if (!image) return;
                                cacheBanner(identifier, *image);
                                performOnMainThread([weak, image] {
                                  if (auto self = weak.lock()) self->showBanner(image);
                                });
                              });
                            })
      ->resume();
}

void PackageDetailsViewController::cacheBanner(const std::string& identifier, const UIImage& image) {
  auto png = UIImagePNGRepresentation(image);
  auto path = bannerPath(identifier);
  std::string error;
  if (png && path &&
      !((Files::isDirectory(bannerFolder()) || DeviceFiles::createFolder(bannerFolder(), &error)) &&
        DeviceFiles::writeAtomically(*path, *png, &error)))
    KVLog("Writing the banner of %s failed: %s", identifier.c_str(), error.c_str());
}

void PackageDetailsViewController::showBanner(const std::shared_ptr<UIImage>& image) {
  auto scroll = std::static_pointer_cast<UIScrollView>(outlets_.scrollView->shared_from_this());
  UIScrollViewInteractiveHeader::addHeaderWithImage(scroll, image, 200);
  updateContentSize();  // the page's ground gives the banner its place
  scroll->setContentOffset(CGPoint{0, -400});
  if (auto* nav = navigationController()) nav->navigationBar()->setAlpha(0);
}

void PackageDetailsViewController::loadDeveloper() {
  auto weak = weakSelf(this);
  auto placeholder = [weak] {
    performOnMainThread([weak] {
      auto self = weak.lock();
      if (!self) return;
      self->authorAvatar_ = placeholderImage();
      self->outlets_.authorCollectionView->reloadData();
    });
  };
  auto maintainer = text(packageDictionary_, "maintainer");
  // The search answers nothing at all for fewer than 3 characters.
  if (!maintainer || maintainer->size() < 3) return placeholder();
  KVSearchDeveloper::instance().searchDeveloper(
      *maintainer, [weak, maintainer = *maintainer, placeholder](std::optional<std::string> status) {
        if (!status) return;  // a failed search is silent
        auto developers = KVSearchDeveloper::instance().developers().value_or(std::vector<KVDeveloperProfile>{});
        if (developers.empty()) return placeholder();
        performOnMainThread([weak, maintainer, developers] {
          auto self = weak.lock();
          if (!self) return;
          for (const auto& profile : developers) {
            if (profile.fullName != maintainer) {
              self->authorAvatar_ = placeholderImage();
              self->outlets_.authorCollectionView->reloadData();
              continue;
            }
            auto url = profile.avatarURL ? URL::fromString(*profile.avatarURL) : std::nullopt;
            if (!url) continue;
            ImageLoader::shared().loadImage(*url, weak, [weak](std::shared_ptr<UIImage> image, ErrorRef error) {
              auto self = weak.lock();
              if (!self || (!image && error)) return;  // no answer: nothing changes
              self->authorAvatar_ = image ? image : placeholderImage();
              self->outlets_.authorCollectionView->reloadData();
            });
          }
        });
      });
}

void PackageDetailsViewController::screenshotsFromCache(Images images) {
  screenshotsDictionary_ = std::move(images);
  refreshForCydiaPackages = true;
  screenshotRetrievingFail = false;
  setContent();
  outlets_.screenshotsCollectionView->reloadData();
}

void PackageDetailsViewController::screenshotsDownloaded(Images images, bool nothingDecoded) {
  screenshotsDictionary_ = std::move(images);
  refreshForCydiaPackages = true;
  screenshotRetrievingFail = screenshotsDictionary_.empty();
  if (!screenshotsDictionary_.empty()) outlets_.screenshotsCollectionView->reloadData();
  setContent();
  // None of the addresses was a picture: the depiction may know better ones. It is
  // asked once, so a depiction that gives the same addresses again ends here.
  if (nothingDecoded && !isInfoJsonSource() && depictionRoadIsOpen() && !depictionAskedAgain_) {
    depictionAskedAgain_ = true;
    auto location = text(packageDictionary_, "sourceLocation");
    if (text(packageDictionary_, "sileoDepiction")) {
      getSileoDepiction();
    } else if (location && std::find(nativeDepictionCompatibleCydiaSources_.begin(),
                                     nativeDepictionCompatibleCydiaSources_.end(),
                                     *location) != nativeDepictionCompatibleCydiaSources_.end()) {
      getHtmlPageForCydiaPackage();
    }
  }
}

void PackageDetailsViewController::loadBeforeAfter() {
  const Value& pair = packageDictionary_["beforeAfter"];
  if (!pair.isDictionary()) return;
  beforeAfterScreenshotsDictionary_.clear();
  auto weak = weakSelf(this);
  auto failed = [weak] {
    auto self = weak.lock();
    if (!self) return;
    self->beforeAfterScreenshotsRetrievingFail = true;
    self->setContent();
  };
  auto before = URL::fromString(pair["before"].asString());
  auto after = URL::fromString(pair["after"].asString());
  if (!before || !after) return failed();
  // "before" first, then "after".
  ImageLoader::shared().loadImage(*before, weak, [weak, after = *after, failed](std::shared_ptr<UIImage> image, ErrorRef) {
    auto self = weak.lock();
    if (!self) return;
    if (!image) return failed();
    self->beforeAfterScreenshotsDictionary_["before"] = makeRoundedImage(image, KVPackageScreenshots::kCornerRadius);
    ImageLoader::shared().loadImage(after, weak, [weak, failed](std::shared_ptr<UIImage> image, ErrorRef) {
      auto self = weak.lock();
      if (!self) return;
      if (!image) return failed();
      self->beforeAfterScreenshotsDictionary_["after"] = makeRoundedImage(image, KVPackageScreenshots::kCornerRadius);
      self->outlets_.beforeImageView->setImage(self->beforeAfterScreenshotsDictionary_["before"]);
      self->outlets_.beforeAfterCollectionView->reloadData();
    });
  });
}

void PackageDetailsViewController::loadAverageRating() {
  auto weak = weakSelf(this);
  KVPackageRatings().getAverageRate(packageIdentifier_, [weak](std::optional<std::string> rating) {
    if (!rating) return;  // a failed request leaves the text as it is
    performOnMainThread([weak, rating] {
      if (auto self = weak.lock()) self->outlets_.packageRatingLbl->setText(*rating);
    });
  });
}

void PackageDetailsViewController::loadDevPackages() {
  devPackages_.clear();
  if (auto maintainer = text(packageDictionary_, "maintainer")) {
    bool filterIncompatible = !QuillbarkPersistentPreferences::sharedInstance().boolForKey("ShowIncompatiblePackages");
    auto results = filterIncompatible
                       ? KVRPackage::objectsWhere("maintainer = %@ AND identifier != %@ AND tweakCompatibleStatus != %@",
                                                  *maintainer, packageIdentifier_, 1)
                       : KVRPackage::objectsWhere("maintainer = %@ AND identifier != %@", *maintainer, packageIdentifier_);
    for (const auto& value : results.sorted("name").valuesForKey("identifier"))
      if (value.isString()) devPackages_.push_back(value.asString());
  }
  outlets_.otherDevPackagesTableView->reloadData();
}

void PackageDetailsViewController::fetchReviews(std::function<void(PackageDetailsViewController&)> then) {
  auto weak = weakSelf(this);
  auto ratings = std::make_shared<KVPackageRatings>();
  ratings->getReviews(packageIdentifier_, [weak, ratings, then = std::move(then)](std::optional<std::string> status) {
    if (!status) return;  // a failed request leaves the reviews as they are
    auto reviews = ratings->packageReviews().value_or(std::vector<KVReviews>{});
    performOnMainThread([weak, then, reviews = std::move(reviews)] {
      auto self = weak.lock();
      if (!self) return;
      self->packageReviews_ = reviews;
      then(*self);
    });
  });
}

void PackageDetailsViewController::loadReviews() {
  fetchReviews([](PackageDetailsViewController& page) { page.outlets_.reviewsCollectionView->reloadData(); });
}

void PackageDetailsViewController::askPurchaseInformation() {
  auto location = text(packageDictionary_, "sourceLocation");
  if (KVPackageSnapshot::flag(packageDictionary_, "isFree") || !location ||
      !KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(*location))
    return;
  auto weak = weakSelf(this);
  KVRepoStoreAPI::sharedRepoStore().purchaseInfoForPackageWithIdentifier(
      packageIdentifier_, [weak](bool failed, std::shared_ptr<RepoStorePackageInfoResponse> info) {
        // A failure leaves the button as for a free package; a package the service does
        // not offer comes as a failure that carries its answer.
        if (!info || info->invalidate || (failed && !info->answered)) return;
        performOnMainThread([weak, info] {
          auto self = weak.lock();
          if (!self) return;
          self->packagePrice_ = info->price;
          self->packageOwned_ = info->purchased;
          self->packageAvailable_ = info->available;
          self->packageInfoWasFetched_ = true;
          self->buttonAlpha_ = info->available ? 1.0 : 0.5;
          self->updateGetButtonTitle();
        });
      });
}
