#pragma once
// The native page of one package: a scrolling page with a header (icon, name, developer,
// the Get and share buttons, the user's own stars, version and category), then the
// changelog, the video, the screenshots strip, the before/after pair, the description
// and the developer card, and below them the reviews, the information rows, the
// repository card and the other packages of the developer.
//
// The page copies its package record and its source record once, when it loads, and
// reads only those copies (snapshots) afterwards. Every appearance fills the texts from
// them and starts the loads that need the network or the files: the banner, the
// developer's avatar, the screenshots (from their cache or the network, one load at a
// time), the before/after pair, the average rating and the reviews; the depiction the
// package's source offers fills in the rest (PackageDetailsViewControllerDepictions.cpp).
// Each load that changes what can be shown lays the page out again (setContent): a
// section with nothing to show gives up its space, as constraint values.
//
// The sources of the page, by what they do: the interface file (…Interface.cpp), the
// load sequence (this file and …Load.cpp), the layout (…Layout.cpp), the lists
// (…Lists.cpp), the actions and the Get button (…Actions.cpp), the snapshots, palette
// and collapsing header (…Header.cpp) and the depictions (…Depictions.cpp).
//
// Opened through KVScreens::package or nativePackagePage.
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "account/KVReviews.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Value.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "interface/KVScreens.h"
#include "package/LeaveReviewDelegate.h"
#include "uikit/NSAttributedString.h"
#include "uikit/UICollectionView.h"
#include "uikit/UITableView.h"
#include "uikit/UITextView.h"

class KVDepictionsParser;
class KVPackageScreenshots;
class NSLayoutConstraint;
class UIBarButtonItem;
class UIButton;
class UIGestureRecognizer;
class UIImage;
class UIImageView;
class UILabel;
class URL;
class WKWebView;

// Told with the package identifier as object when the package's average rating changed.
inline constexpr const char* KVRPackageInfoRatingChangedNotification = "KVRPackageInfoRatingChangedNotification";

// The page's views, as its interface file names them. Valid once the view is loaded.
struct PackageDetailsOutlets {
  UIScrollView* scrollView = nullptr;
  UIView* backgroundView = nullptr;        // behind the header
  UIView* secondBackgroundView = nullptr;  // behind the sections
  UIView* contentView = nullptr;           // the column the sections are laid out in

  // Header.
  UIImageView* iconView = nullptr;
  UILabel* nameLbl = nullptr;
  UILabel* authorLbl = nullptr;
  UIImageView* verifiedIconView = nullptr;
  UIButton* getBtn = nullptr;
  UIButton* shareBtn = nullptr;
  UIButton* rating1 = nullptr;
  UIButton* rating2 = nullptr;
  UIButton* rating3 = nullptr;
  UIButton* rating4 = nullptr;
  UIButton* rating5 = nullptr;
  UILabel* ratingLbl = nullptr;
  UILabel* versionLbl = nullptr;
  UILabel* packageVersionLbl = nullptr;
  UILabel* categoryLbl = nullptr;
  UILabel* packageCategoryLbl = nullptr;
  UIView* topSeparator = nullptr;

  // Changelog.
  UILabel* changelogTitle = nullptr;
  UILabel* changelogVersionLbl = nullptr;
  UITextView* changelogContentLbl = nullptr;
  UIView* changelogSeparator = nullptr;

  // Video: the place of the embedded player.
  UILabel* videoPreviewTitle = nullptr;
  UIView* videoPreviewPlayer = nullptr;
  UIView* videoPreviewSeparator = nullptr;

  // Screenshots and the before/after pair.
  UILabel* screenshotsTitle = nullptr;
  UICollectionView* screenshotsCollectionView = nullptr;
  UILabel* screenshotsLbl = nullptr;
  UILabel* beforeAfterTitle = nullptr;
  UICollectionView* beforeAfterCollectionView = nullptr;
  UIImageView* beforeImageView = nullptr;
  UILabel* beforeAfterLbl = nullptr;
  UIView* screenshotsSeparator = nullptr;

  // Description and the developer card.
  UILabel* descriptionTitle = nullptr;
  UITextView* descriptionLbl = nullptr;
  WKWebView* adsWebView = nullptr;
  UICollectionView* authorCollectionView = nullptr;
  UIView* authorSeparator = nullptr;

  // Reviews.
  UILabel* reviewsTitle = nullptr;
  UIButton* seeAllReviewsBtn = nullptr;
  UILabel* packageRatingLbl = nullptr;
  UILabel* packageRatingSubLbl = nullptr;
  UICollectionView* reviewsCollectionView = nullptr;
  UILabel* reviewsLbl = nullptr;
  UIButton* contactDeveloperBtn = nullptr;
  UIButton* leaveReviewBtn = nullptr;
  UIView* reviewsSeparator = nullptr;

  // Information.
  UILabel* informationsTitle = nullptr;
  UIButton* installedFilesBtn = nullptr;
  UILabel* developerLbl = nullptr;
  UILabel* developerNameLbl = nullptr;
  UIView* developerSeparator = nullptr;
  UILabel* sizeLbl = nullptr;
  UILabel* packageSizeLbl = nullptr;
  UIView* sizeSeparator = nullptr;
  UILabel* compatibilityLbl = nullptr;
  UILabel* packageCompatibilityLbl = nullptr;
  UIView* compatibilitySeparator = nullptr;
  UILabel* dependenciesLbl = nullptr;
  UILabel* packageDependenciesLbl = nullptr;
  UIView* dependenciesSeparator = nullptr;
  UILabel* conflictsLbl = nullptr;
  UILabel* packageConflictsLbl = nullptr;
  UIView* conflictsSeparator = nullptr;
  UILabel* postInstallActionLbl = nullptr;
  UILabel* packagePostInstallActionLbl = nullptr;
  UIView* postInstallActionSeparator = nullptr;
  UILabel* dateLbl = nullptr;
  UILabel* packageDateLbl = nullptr;
  UIView* dateSeparator = nullptr;
  UIButton* developerWebsiteBtn = nullptr;
  UIImageView* developerWebsiteImageView = nullptr;
  UIView* developerWebsiteSeparator = nullptr;
  UIButton* donateBtn = nullptr;
  UIImageView* donateImageView = nullptr;
  UIView* donateSeparator = nullptr;
  UILabel* isBetaLbl = nullptr;
  UILabel* packageIsBetaLbl = nullptr;
  UIView* informationsSeparator = nullptr;

  // Repository card.
  UILabel* repositoryTitle = nullptr;
  UIImageView* repositoryIconImageView = nullptr;
  UILabel* repositoryNameLbl = nullptr;
  UILabel* repositoryDescriptionLbl = nullptr;

  // Other packages of the developer.
  UILabel* moreDevPackagesTitle = nullptr;
  UILabel* otherDevPackagesLbl = nullptr;
  UITableView* otherDevPackagesTableView = nullptr;
  UIButton* seeAllDevPackagesBtn = nullptr;
  UILabel* copyrightLbl = nullptr;

  // The header's constraints.
  std::shared_ptr<NSLayoutConstraint> iconViewWidthConstraint, iconViewHeightConstraint;
  std::shared_ptr<NSLayoutConstraint> getBtnWidthConstraint;
  std::shared_ptr<NSLayoutConstraint> getBtnTopConstraintToIconView, getBtnTopConstraintToAuthorLbl;
  std::shared_ptr<NSLayoutConstraint> shareBtnTopConstraintToIconView, shareBtnTopConstraintToAuthorLbl;
  std::shared_ptr<NSLayoutConstraint> starWidthConstraint, starHeightConstraint;
};

class PackageDetailsViewController : public KVPalettedViewController,
                                     public UICollectionViewDataSource,
                                     public UICollectionViewDelegate,
                                     public UITableViewDataSource,
                                     public LeaveReviewDelegate {
 public:
  using Images = std::map<long, std::shared_ptr<UIImage>>;

  // The page of the package `identifier`, opened as `options` say.
  PackageDetailsViewController(KVScreenContext context, std::string packageIdentifier, KVPackagePageOptions options = {});
  ~PackageDetailsViewController() override;

  // ---- Inputs
  const std::string& packageIdentifier() const { return packageIdentifier_; }
  bool isComingFromFeatured() const { return isComingFromFeatured_; }
  void setIsComingFromFeatured(bool value) { isComingFromFeatured_ = value; }
  bool isComingFromURLScheme() const { return isComingFromURLScheme_; }
  void setIsComingFromURLScheme(bool value) { isComingFromURLScheme_ = value; }
  // Kept for the openers that give them; the page does not read them.
  const std::optional<std::string>& sourceLocation() const { return sourceLocation_; }
  void setSourceLocation(std::optional<std::string> location) { sourceLocation_ = std::move(location); }
  const std::optional<std::string>& selectedCategory() const { return selectedCategory_; }
  void setSelectedCategory(std::optional<std::string> category) { selectedCategory_ = std::move(category); }

  // ---- Snapshots (PackageDetailsViewControllerHeader.cpp)
  const Value& packageDictionary() const { return packageDictionary_; }
  const Value& sourceDictionary() const { return sourceDictionary_; }
  bool sourceFound() const { return sourceFound_; }
  void setPackageDictionaryFromPackageObject();
  void setSourceDictionaryFromSourceObject();
  // Tests and the depictions give the snapshot values the record does not hold
  // ("banner", "beforeAfter", "youtube", "date", "donateLink", "changelog", ...).
  Value& mutablePackageDictionary() { return packageDictionary_; }
  Value& mutableSourceDictionary() { return sourceDictionary_; }

  // ---- State
  const PackageDetailsOutlets& outlets() const { return outlets_; }
  const std::vector<std::string>& devPackages() const { return devPackages_; }
  const std::vector<KVReviews>& packageReviews() const { return packageReviews_; }
  // Screenshots by their place in the package's list (1 for the first); a place whose
  // screenshot did not arrive is missing. Lists show the held ones in ascending order.
  const Images& screenshotsDictionary() const { return screenshotsDictionary_; }
  const std::map<std::string, std::shared_ptr<UIImage>>& beforeAfterScreenshotsDictionary() const {
    return beforeAfterScreenshotsDictionary_;
  }
  const std::shared_ptr<UIImage>& authorAvatar() const { return authorAvatar_; }
  const std::vector<std::string>& nativeDepictionCompatibleCydiaSources() const {
    return nativeDepictionCompatibleCydiaSources_;
  }
  long reach() const { return reach_; }
  // Flags the loads set and the layout reads (the depictions set them too).
  bool bannerCached = false;
  bool screenshotRetrievingFail = false;
  bool beforeAfterScreenshotsRetrievingFail = false;
  bool refreshForCydiaPackages = false;
  bool cydiaPackageHaveChangelog = false;
  double buttonAlpha() const { return buttonAlpha_; }
  const std::array<UIButton*, 5>& ratingButtons() const { return ratingButtons_; }
  // The compact header's pieces.
  const std::shared_ptr<UIView>& customTitleView() const { return customTitleView_; }
  const std::shared_ptr<UIView>& defaultTitleView() const { return defaultTitleView_; }
  const std::shared_ptr<UIImage>& titleViewImg() const { return titleViewImg_; }
  UIImageView* titleViewImgView() const { return titleViewImgView_.get(); }
  UIButton* getBarBtn() const { return getBarBtn_.get(); }
  const std::shared_ptr<UIBarButtonItem>& getBarBtnItem() const { return getBarBtnItem_; }
  const std::shared_ptr<UIBarButtonItem>& wishlistBtn() const { return wishlistBtn_; }
  // Purchase information of a paid package (…Actions.cpp).
  bool packageInfoWasFetched() const { return packageInfoWasFetched_; }
  const std::optional<std::string>& packagePrice() const { return packagePrice_; }
  bool packageOwned() const { return packageOwned_; }
  bool packageAvailable() const { return packageAvailable_; }
  // Whether a screenshot load is running for this page.
  bool isLoadingScreenshots() const;

  // ---- Layout values a person's eyes would check: the spacing above a view of the
  // page's column and its height (0 for a section that gave up its space).
  NSLayoutConstraint* topConstraint(const UIView* view) const;
  NSLayoutConstraint* heightConstraint(const UIView* view) const;
  // Shown and taking space.
  bool isShown(const UIView* view) const;

  // ---- Lifecycle
  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewWillDisappear(bool animated) override;
  void viewDidLayoutSubviews() override;
  void viewWillTransitionToSize(CGSize size, UIViewControllerTransitionCoordinator& coordinator) override;

  // ---- The load sequence (…Load.cpp)
  void loadInformationFromBackground();
  void getPackageInformation();
  // The other packages of the same maintainer, by name; the more-by list reloads (the
  // next setContent sizes it).
  void loadDevPackages();
  // The reviews; the reviews card reloads.
  void loadReviews();
  // The depiction road: the preference, or a network.
  bool depictionRoadIsOpen() const;
  bool isInfoJsonSource() const;
  // The vendor's own repository, whose packages carry the verified mark.
  static std::string verifiedSourceLocation();
  // The repository of the advertisement snippet.
  static std::string grandelSourceLocation();
  // What the advertisement web view loads for the package: our own snippet, which
  // reaches no other host.
  static std::string advertisementSnippet();

  // ---- The layout (…Layout.cpp)
  void setContent();

  // ---- Depictions (…Depictions.cpp): what the page asks of its package's depiction,
  // the native one or the page of one of the default repositories.
  virtual void getSileoDepiction();
  virtual void getHtmlPageForCydiaPackage();
  // Stores the addresses in the record and downloads them (unless a load runs).
  void setPackageScreenshotsFromArray(const std::vector<std::string>& addresses);
  // What a depiction's screenshots give the page: a download when it has none yet,
  // else a layout.
  void depictionScreenshotsArrived(const std::vector<std::string>& addresses);
  NSAttributedString attributedTextFromMarkdown(const std::optional<std::string>& markdown) const;
  // The same in white (dark) or black text.
  static NSAttributedString attributedTextFromMarkdown(const std::optional<std::string>& markdown, bool darkMode);
  // The video of the package (its identifier at the video service) in the video section.
  void loadVideoPreview(const std::string& videoIdentifier);
  static std::shared_ptr<UIImage> makeRoundedImage(const std::shared_ptr<UIImage>& image, double radius);

  // ---- Actions (…Actions.cpp)
  void getPackage(UIButton* sender);
  void presentOptions(UIGestureRecognizer* recognizer);
  void presentOptionsFromButton(UIButton* sender);
  void sharePackage(UIButton* sender);
  void changeWishlistState();
  void developerWebsite();
  void donate();
  void contactDeveloper();
  void seeInstalledFiles();
  void seeAllReviews();
  void seeAllDevPackages();
  void leaveReview();
  void ratingPressed(UIButton* star);
  void setRating(int64_t rating);
  void dismissVC();
  void showAlert(std::shared_ptr<UIViewController> controller);
  void updateGetButtonTitle();
  void ratingChangedNotification(const Notification& notification);
  void showLeaveReviewWarning();
  void updateRatingInfo() override;
  void showReviewWarningWithTitle(const std::string& title, const std::string& text, int64_t rate) override;
  // A link tapped in the description or the changelog opens in the in-app browser.
  bool textViewShouldInteractWithURL(const std::string& url);
  // The developer's name as the page shows it: maintainer, the package's contact, the
  // source's contact, else "No dev name found".
  std::string developerDisplayName() const;
  // The title of the Get buttons by the package's state and its purchase information.
  std::string getButtonTitle() const;

  // ---- Snapshots, palette and the collapsing header (…Header.cpp)
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;
  void scrollViewDidScroll(UIScrollView& scrollView) override;
  void scrollViewWillEndDragging(UIScrollView& scrollView, CGPoint velocity, CGPoint& targetContentOffset) override;
  void transitionTopContent(bool compact);
  bool isHeaderCompact() const;
  static UIColor getDominantColor(const UIImage& image);
  static UIColor readableForegroundColorForBackgroundColor(const UIColor& color);

  // ---- Lists (…Lists.cpp)
  long collectionViewNumberOfItemsInSection(UICollectionView& view, long section) override;
  std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(UICollectionView& view,
                                                                             const NSIndexPath& path) override;
  CGSize collectionViewSizeForItemAtIndexPath(UICollectionView& view, const NSIndexPath& path) override;
  double collectionViewMinimumLineSpacingForSectionAtIndex(UICollectionView& view, long section) override;
  void collectionViewDidSelectItemAtIndexPath(UICollectionView& view, const NSIndexPath& path) override;
  long tableViewNumberOfRowsInSection(UITableView& view, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& view, const NSIndexPath& path) override;
  bool tableViewCanEditRowAtIndexPath(UITableView&, const NSIndexPath&) override { return false; }
  void moreByRowSelected(const NSIndexPath& path);
  // The screenshot of the strip's item: the held ones in ascending order of place.
  std::shared_ptr<UIImage> screenshotForItem(long item) const;

  // The screens the page pushed or presented last, one of each kind.
  const std::shared_ptr<UIViewController>& lastOpenedScreen() const { return lastOpened_; }

 private:
  // The more-by table's delegate and the text views' delegate: both are scroll-view
  // delegates, which the page already is for its own scroll view.
  class MoreByDelegate;
  class LinksDelegate;
  // One view of the page's column: the constraint above it and its height.
  struct Slot {
    std::shared_ptr<NSLayoutConstraint> top, height;
    double shownHeight = 0;
    bool intrinsic = false;
  };

  // The interface file (…Interface.cpp).
  void buildHeader(UIView* content, double width);
  void buildSections(UIView* content, double width);
  void buildNavigationItems();
  // Adds a view to the column below `previous`, `spacing` under it; a height below 0
  // takes the view's own (a label's text).
  template <class View>
  View* chain(std::shared_ptr<View> view, UIView*& previous, double spacing, double height, double x = 16,
              double width = -1);
  void setSpacing(const UIView* view, double spacing);
  void setHeight(const UIView* view, double height);
  void show(UIView* view);
  void collapse(UIView* view);
  // The height a text view needs for its text at its width.
  void fitTextView(UITextView* view);
  void updateContentSize();

  // Load helpers (…Load.cpp).
  void loadBanner();
  // Downloads a banner, caches it and shows it.
  void fetchBanner(const URL& url);
  // Writes the banner's PNG to the package's file in "DepictionsBanners" (any thread).
  static void cacheBanner(const std::string& identifier, const UIImage& image);
  void showBanner(const std::shared_ptr<UIImage>& image);
  void loadDeveloper();
  void loadBeforeAfter();
  void loadAverageRating();
  // Asks the service for the reviews; with its answer, on the main thread, the page holds
  // them and `then` runs.
  void fetchReviews(std::function<void(PackageDetailsViewController&)> then);
  void relayoutLowerHalf();
  void screenshotsFromCache(Images images);
  void screenshotsDownloaded(Images images, bool nothingDecoded);
  void askPurchaseInformation();

  // Depiction loading (…Depictions.cpp), each on the main thread.
  void sileoDepictionArrived(const std::shared_ptr<KVDepictionsParser>& parser);
  void loadDepictionBanner(std::optional<std::string> address);
  void showDepictionChangelog(std::optional<std::string> markdown, const std::shared_ptr<KVDepictionsParser>& parser);
  void getExternalChangelog(const std::string& address);
  void showPageChangelog(std::optional<std::string> text);
  void showDepictionDescription(std::optional<std::string> markdown);
  void cydiaPageArrived(const std::shared_ptr<KVDepictionsParser>& parser, const std::string& location,
                        const std::string& pageURL);

  // Layout helpers (…Layout.cpp).
  void layoutHeader();
  void layoutChangelogAndVideo();
  void layoutInfoJsonScreenshots();
  void layoutOtherScreenshots();
  void layoutLowerHalf();

  // Actions helpers.
  void showCard(const std::string& title, const std::string& message);
  void pushBrowser(const std::string& title, const std::string& address);
  void open(std::shared_ptr<UIViewController> screen);
  void setStars(int64_t rating);

  KVScreenContext context_;
  std::string packageIdentifier_;
  bool isComingFromFeatured_ = false;
  bool isComingFromURLScheme_ = false;
  std::optional<std::string> sourceLocation_;
  std::optional<std::string> selectedCategory_;

  Value packageDictionary_ = Value::dict();
  Value sourceDictionary_ = Value::dict();
  bool sourceFound_ = false;

  PackageDetailsOutlets outlets_;
  std::map<const UIView*, Slot> slots_;
  std::array<UIButton*, 5> ratingButtons_{};
  std::unique_ptr<MoreByDelegate> moreByDelegate_;
  std::unique_ptr<LinksDelegate> linksDelegate_;

  std::vector<std::string> devPackages_;
  std::vector<KVReviews> packageReviews_;
  Images screenshotsDictionary_;
  std::map<std::string, std::shared_ptr<UIImage>> beforeAfterScreenshotsDictionary_;
  std::shared_ptr<UIImage> authorAvatar_;
  std::vector<std::string> nativeDepictionCompatibleCydiaSources_;
  long reach_ = 0;
  std::shared_ptr<KVPackageScreenshots> screenshots_;
  // The depiction is asked again once, when none of the record's addresses was a picture.
  bool depictionAskedAgain_ = false;

  double buttonAlpha_ = 1.0;
  bool packageInfoWasFetched_ = false;
  std::optional<std::string> packagePrice_;
  bool packageOwned_ = false;
  bool packageAvailable_ = false;

  std::shared_ptr<UIImage> titleViewImg_;
  std::shared_ptr<UIImageView> titleViewImgView_;
  std::shared_ptr<UIView> customTitleView_;
  std::shared_ptr<UIView> defaultTitleView_;
  std::shared_ptr<UIButton> getBarBtn_;
  std::shared_ptr<UIBarButtonItem> getBarBtnItem_;
  std::shared_ptr<UIBarButtonItem> wishlistBtn_;

  std::shared_ptr<UIViewController> lastOpened_;
  NotificationToken ratingObservation_;
  NotificationToken queueStateObservation_;
  NotificationToken recordObservation_;
};
