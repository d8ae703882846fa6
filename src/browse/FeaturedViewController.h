#pragma once
// The first tab, for the life of the process: the application's version and title, the
// news and account buttons, a carousel of the vendor's featured banners, four cards of
// featured packages the database holds, and the device's model and identifier (a long
// press copies them). The featured lists are read once, when the view loads; each later
// appearance, source refresh or the end of a scroll re-derives only the cards whose
// length no longer matches the vendor's list. Banner pictures are cached in "HomeCache"
// (the address with "/" as "_", PNG bytes) and "default-banner.jpeg" stands in while one
// loads. With exactly five banners the carousel advances every 4 s on the main loop's
// clock until the user drags it or presses a banner.
//
// Loading runs off the main thread and hands the screen whole snapshots: the image map
// and the four lists the screen shows are the main thread's own, replaced on it at each
// apply step, which follows the end of the last banner download (however they finish).
//
// The screen also presents the first run's walk while "setupDone" is missing, and the
// application's changelog once per higher version ("welcomeScreenVersion").
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "account/KVFeaturedPackagesTop.h"
#include "foundation/NotificationToken.h"
#include "foundation/RunLoop.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "uikit/UICollectionView.h"
#include "uikit/UIPresentationController.h"
#include "uikit/UITableView.h"

class NSLayoutConstraint;
class UIButton;
class UIGestureRecognizer;
class UIImage;
class UILabel;
class UIScrollView;

class FeaturedViewController : public KVPalettedViewController,
                               public UICollectionViewDataSource,
                               public UICollectionViewDelegate,
                               public UITableViewDataSource,
                               public UITableViewDelegate,
                               public UIAdaptivePresentationControllerDelegate {
 public:
  // The four cards, in their order on the page.
  enum Card { MostDownloaded = 0, MustHaveTweaks = 1, MustHaveThemes = 2, ExtendYourApps = 3 };
  static constexpr size_t kCardCount = 4;

  explicit FeaturedViewController(KVScreenContext context);
  ~FeaturedViewController() override;

  // ---- What the screen shows (main thread).
  // The banners of the last apply step, in the vendor's order.
  const std::vector<KVFeaturedPackagesTop>& banners() const { return banners_; }
  const std::map<long, std::shared_ptr<UIImage>>& dictionaryOfBackgroundImages() const { return images_; }
  const std::vector<std::string>& cardList(Card card) const { return lists_[card]; }
  const std::vector<std::string>& arrayOfFeaturedPackagesMiddle() const { return lists_[MostDownloaded]; }
  const std::vector<std::string>& arrayOfMustHaveTweaks() const { return lists_[MustHaveTweaks]; }
  const std::vector<std::string>& arrayOfMustHaveThemes() const { return lists_[MustHaveThemes]; }
  const std::vector<std::string>& arrayOfExtendApps() const { return lists_[ExtendYourApps]; }
  const std::shared_ptr<UIImage>& avatarImage() const { return avatarImage_; }
  bool firstAppearance() const { return firstAppearance_; }
  bool isScrolling() const { return isScrolling_; }
  bool needCacheRebuild() const { return needCacheRebuild_; }
  long featuredCollectionViewPage() const { return featuredCollectionViewPage_; }
  // Whether the 4 s timer was made, and whether it still runs.
  bool hasTimer() const { return timer_.has_value(); }
  bool isTimerValid() const;

  // ---- Outlets (valid once the view is loaded).
  UIScrollView* scrollView() const { return scrollView_.get(); }
  UILabel* navBarPrompt() const { return navBarPrompt_.get(); }
  UILabel* navBarFeatured() const { return navBarFeatured_.get(); }
  UIButton* newsButton() const { return newsButton_.get(); }
  UIButton* infoBtn() const { return infoBtn_.get(); }
  UICollectionView* topFeaturedCollectionView() const { return carousel_.get(); }
  NSLayoutConstraint* topFeaturedCollectionViewHeightConstraint() const { return carouselHeight_.get(); }
  UIView* card(Card card) const { return cards_[card].view.get(); }
  UILabel* cardTitle(Card card) const { return cards_[card].title.get(); }
  UITableView* cardTableView(Card card) const { return cards_[card].table.get(); }
  NSLayoutConstraint* cardTableViewHeightConstraint(Card card) const { return cards_[card].height.get(); }
  UILabel* deviceSpecs() const { return deviceSpecs_.get(); }

  // ---- The content.
  // Where a banner's picture is cached: "HomeCache" in the application-support folder,
  // the address with every "/" as "_"; none for an address that names no file there.
  static std::optional<std::string> bannerCachePath(const std::string& address);
  // Reads the vendor's lists as they are now into new cards and banner pictures.
  void loadInformationsFromBackground();
  // Rebuilds the cards whose length no longer matches the vendor's list.
  void retrieveFeaturedPackages();
  // The carousel's figures (queued on the main queue).
  void setContent();
  void updateShadows();
  void autoScrollFeaturedCollectionView();
  void openPackageDepictionForIdentifier(const std::string& identifier);

  // ---- Actions.
  void goToNews();
  void accountInformations();
  void copyDeviceSpecs(UIGestureRecognizer& recognizer);
  // The sign-in failure card: "Unable to login", the message, "OK" and "Forgot" (the
  // vendor's page for a lost password, in the system's browser). Nothing presents it.
  void showLoginFailure(const std::string& message);

  // ---- Notifications.
  void iconChanged(const Notification& notification);
  void sourceRefreshed(const Notification& notification);
  void longPressBegan(const Notification& notification);
  void longPressEnded(const Notification& notification);

  // ---- Lifecycle.
  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewDidAppear(bool animated) override;
  void viewWillLayoutSubviews() override;
  void viewDidLayoutSubviews() override;
  void viewWillTransitionToSize(CGSize size, UIViewControllerTransitionCoordinator& coordinator) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;
  void presentationControllerDidDismiss(UIPresentationController& controller) override;

  // ---- The carousel.
  long collectionViewNumberOfItemsInSection(UICollectionView&, long section) override;
  std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(UICollectionView&, const NSIndexPath&) override;
  void collectionViewDidSelectItemAtIndexPath(UICollectionView&, const NSIndexPath&) override;
  CGSize collectionViewSizeForItemAtIndexPath(UICollectionView&, const NSIndexPath&) override;
  UIEdgeInsets collectionViewInsetForSectionAtIndex(UICollectionView&, long section) override;
  double collectionViewMinimumLineSpacingForSectionAtIndex(UICollectionView&, long) override { return 10; }

  // ---- The cards.
  long tableViewNumberOfRowsInSection(UITableView& table, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return 70; }
  void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;

  // ---- Scrolling: the page's and the carousel's.
  void scrollViewWillBeginDragging(UIScrollView& scrollView) override;
  void scrollViewDidEndDragging(UIScrollView& scrollView, bool willDecelerate) override;
  void scrollViewDidEndDecelerating(UIScrollView& scrollView) override;

  struct Load;

 private:
  struct CardViews {
    std::shared_ptr<UIView> view;
    std::shared_ptr<UILabel> title;
    std::shared_ptr<UITableView> table;
    std::shared_ptr<NSLayoutConstraint> height;
  };
  // The apply step: the load's snapshot becomes what the screen shows.
  void apply(const std::shared_ptr<Load>& load);
  void cardsRebuilt(std::array<std::optional<std::vector<std::string>>, kCardCount> rebuilt);
  void startTimer();
  void invalidateTimer();
  void stopScrolling();
  void layoutPage();
  void updateAccountButton();
  void showFirstRunOrWhatsNew();
  void snapCarouselToNearestBanner();
  void scrollingEnded(UIScrollView& scrollView);
  void push(std::shared_ptr<UIViewController> screen);
  std::optional<Card> cardOfTable(const UITableView& table) const;

  KVScreenContext context_;
  std::vector<KVFeaturedPackagesTop> banners_;
  std::map<long, std::shared_ptr<UIImage>> images_;
  std::array<std::vector<std::string>, kCardCount> lists_;
  std::shared_ptr<Load> load_;  // the newest load; older ones apply nothing
  std::shared_ptr<UIImage> avatarImage_;
  bool firstAppearance_ = true;
  bool isScrolling_ = false;
  bool needCacheRebuild_ = false;
  bool rebuildingCache_ = false;
  size_t cardsGeneration_ = 0;  // how many times the cards were rebuilt (main thread)
  long featuredCollectionViewPage_ = 0;
  std::optional<RunLoop::TimerId> timer_;
  double contentWidth_ = -1;  // the width setContent last sized the carousel for

  std::shared_ptr<UIScrollView> scrollView_;
  std::shared_ptr<UILabel> navBarPrompt_, navBarFeatured_, deviceSpecs_;
  std::shared_ptr<UIButton> newsButton_, infoBtn_;
  std::shared_ptr<UIView> infoBadge_;
  std::shared_ptr<UICollectionView> carousel_;
  std::shared_ptr<NSLayoutConstraint> carouselHeight_;
  std::array<CardViews, kCardCount> cards_;
  std::shared_ptr<UIViewController> lastPushed_;
  std::vector<NotificationToken> observations_;
};
