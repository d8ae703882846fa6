// The featured screen's interface and lifecycle: the page, the header's buttons, the
// first run and the what's-new page, the device's facts, and the notifications. The
// content is loaded in FeaturedViewControllerContent.cpp; the carousel and the cards
// are filled in FeaturedViewControllerLists.cpp.
#include "browse/FeaturedViewController.h"

#include <algorithm>

#include "account/KVAccount.h"
#include "account/KVFeaturedPackagesMethods.h"
#include "account/KVVendorService.h"
#include "browse/BigFeaturedCell.h"
#include "browse/KVCardLook.h"
#include "core/KVPipelineManager.h"
#include "core/KVPlatform.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVIconProvider.h"
#include "database/NSStringVersionCompare.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Bundle.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/NotificationCenter.h"
#include "foundation/WeakSelf.h"
#include "interface/ErrorViewController.h"
#include "interface/KVApplicationActions.h"
#include "interface/KVScreens.h"
#include "uikit/ImageLoader.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIApplication.h"
#include "uikit/UIButton.h"
#include "uikit/UIDevice.h"
#include "uikit/UIImage.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UILongPressGestureRecognizer.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIPasteboard.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScrollView.h"
#include "uikit/UISelectionFeedbackGenerator.h"
#include "uikit/UIViewControllerTransitionCoordinator.h"

namespace {
constexpr double kMargin = 20;
constexpr double kCarouselTop = 110;
constexpr double kCardSpacing = 24;
constexpr double kCardTitleHeight = 50;
constexpr double kRowHeight = 70;
const char* const kCardTitles[FeaturedViewController::kCardCount] = {"Most Downloaded", "Must Have Tweaks",
                                                                     "Must Have Themes", "Extend Your Apps"};

std::shared_ptr<UILabel> label(UIFont font, long lines = 1) {
  auto l = std::make_shared<UILabel>();
  l->setFont(std::move(font));
  l->setNumberOfLines(lines);
  return l;
}
}  // namespace

FeaturedViewController::FeaturedViewController(KVScreenContext context) : context_(std::move(context)) {
  setTitle(NSLocalizedString("Featured"));
}

FeaturedViewController::~FeaturedViewController() {
  invalidateTimer();
  if (carousel_) {
    carousel_->setDataSource(nullptr);
    carousel_->setCollectionDelegate(nullptr);
  }
  for (auto& card : cards_)
    if (card.table) {
      card.table->setDataSource(nullptr);
      card.table->setTableDelegate(nullptr);
    }
  if (scrollView_) scrollView_->setDelegate(nullptr);
}

// ---- The page

void FeaturedViewController::loadView() {
  KVPalettedViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  scrollView_ = std::make_shared<UIScrollView>(screen);
  scrollView_->setAlwaysBounceVertical(true);
  view()->addSubview(scrollView_);

  navBarPrompt_ = label(UIFont::systemFontOfSize(13));
  navBarFeatured_ = label(UIFont::boldSystemFontOfSize(35));
  navBarFeatured_->setText(NSLocalizedString("Featured"));
  newsButton_ = UIButton::buttonWithType(UIButtonTypeSystem);
  newsButton_->setTitle(NSLocalizedString("News"));
  newsButton_->addTarget(this, [this](UIControl&) { goToNews(); }, UIControlEventTouchUpInside);
  infoBtn_ = UIButton::buttonWithType(UIButtonTypeCustom);
  infoBtn_->setAccessibilityLabel(NSLocalizedString("Account"));
  infoBtn_->addTarget(this, [this](UIControl&) { accountInformations(); }, UIControlEventTouchUpInside);
  infoBadge_ = std::make_shared<UIView>();
  infoBadge_->setHidden(true);
  for (const std::shared_ptr<UIView>& v : std::vector<std::shared_ptr<UIView>>{navBarPrompt_, navBarFeatured_, newsButton_,
                                                                               infoBtn_, infoBadge_})
    scrollView_->addSubview(v);

  UICollectionViewFlowLayout layout;
  layout.scrollDirection = UICollectionViewScrollDirectionHorizontal;
  layout.minimumLineSpacing = 10;
  carousel_ = std::make_shared<UICollectionView>(CGRect{}, layout);
  carousel_->setShowsHorizontalScrollIndicator(false);
  carousel_->setPagingEnabled(true);
  scrollView_->addSubview(carousel_);
  carouselHeight_ = NSLayoutConstraint::constraintWithItem({carousel_.get(), nullptr}, NSLayoutAttributeHeight,
                                                           NSLayoutRelationEqual, {}, NSLayoutAttributeNotAnAttribute, 1,
                                                           screen.width() - 20);
  for (size_t c = 0; c < kCardCount; ++c) {
    CardViews& card = cards_[c];
    card.view = std::make_shared<UIView>();
    card.title = label(UIFont::boldSystemFontOfSize(22));
    card.title->setText(NSLocalizedString(kCardTitles[c]));
    card.table = std::make_shared<UITableView>(CGRect{}, UITableViewStylePlain);
    card.table->setScrollEnabled(false);  // the page scrolls, never a card
    card.table->setRowHeight(kRowHeight);
    card.height = NSLayoutConstraint::constraintWithItem({card.table.get(), nullptr}, NSLayoutAttributeHeight,
                                                         NSLayoutRelationEqual, {}, NSLayoutAttributeNotAnAttribute, 1, 0);
    card.view->addSubview(card.title);
    card.view->addSubview(card.table);
    scrollView_->addSubview(card.view);
  }
  deviceSpecs_ = label(UIFont::systemFontOfSize(12), 2);
  deviceSpecs_->setTextAlignment(NSTextAlignmentCenter);
  deviceSpecs_->setUserInteractionEnabled(true);
  scrollView_->addSubview(deviceSpecs_);
  layoutPage();
}

void FeaturedViewController::layoutPage() {
  if (!scrollView_) return;
  CGRect bounds = view()->bounds();
  double width = bounds.width();
  scrollView_->setFrame(bounds);
  navBarPrompt_->setFrame(CGRect::make(kMargin, 44, width - 2 * kMargin, 18));
  navBarFeatured_->setFrame(CGRect::make(kMargin, 62, std::max(0.0, width - 150), 42));
  newsButton_->setFrame(CGRect::make(width - 118, 66, 50, 34));
  infoBtn_->setFrame(CGRect::make(width - 60, 64, 40, 40));
  infoBadge_->setFrame(CGRect::make(width - 28, 60, 12, 12));
  double y = kCarouselTop;
  // Without banners the carousel takes no room: the cards follow the title.
  double carousel = banners_.empty() ? 0 : carouselHeight_->constant();
  carousel_->setHidden(banners_.empty());
  carousel_->setFrame(CGRect::make(0, y, width, carousel));
  y += carousel + kCardSpacing;
  for (auto& card : cards_) {
    double rows = card.height->constant();
    card.view->setFrame(CGRect::make(16, y, width - 32, kCardTitleHeight + rows + 10));
    card.title->setFrame(CGRect::make(20, 14, width - 72, 28));
    card.table->setFrame(CGRect::make(0, kCardTitleHeight, width - 32, rows));
    y += kCardTitleHeight + rows + 10 + kCardSpacing;
  }
  // The device's facts in as many lines as they take at this width.
  deviceSpecs_->setNumberOfLines(0);
  double specs = std::max(36.0, deviceSpecs_->sizeThatFits({width - 2 * kMargin, 0}).height + 6);
  deviceSpecs_->setFrame(CGRect::make(kMargin, y, width - 2 * kMargin, specs));
  scrollView_->setContentSize({width, y + specs + 40});
}

void FeaturedViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  // 1. The carousel's figures.
  firstAppearance_ = true;
  setContent();
  // 2. The carousel and the cards.
  scrollView_->setDelegate(static_cast<UITableViewDelegate*>(this));  // the page: one of its two scroll delegates
  carousel_->setBackgroundColor(UIColor::clearColor());
  carousel_->setDataSource(this);
  carousel_->setCollectionDelegate(this);
  carousel_->registerNib("BigFeaturedCell", "cell");
  for (auto& card : cards_) {
    card.table->setDataSource(this);
    card.table->setTableDelegate(this);
    card.table->registerNib("GetPackageCell", "getPackageCell");
  }
  // 3. For the screen's whole life (the tab lives as long as the process).
  auto& center = NotificationCenter::defaultCenter();
  observations_.push_back(center.addObserver(KVRPackageInfoIconChangedNotification, &DispatchQueue::mainQueue(),
                                             [this](const Notification& n) { iconChanged(n); }));
  observations_.push_back(center.addObserver(KVPipelineSourceRefreshComplete, &DispatchQueue::mainQueue(),
                                             [this](const Notification& n) { sourceRefreshed(n); }));
  observations_.push_back(center.addObserver(KVLongPressBeganNotification, &DispatchQueue::mainQueue(),
                                             [this](const Notification& n) { longPressBegan(n); }));
  observations_.push_back(center.addObserver(KVLongPressEndedNotification, &DispatchQueue::mainQueue(),
                                             [this](const Notification& n) { longPressEnded(n); }));
  // 4. and 5. The version and the device.
  navBarPrompt_->setText(NSLocalizedFormat("Korvale Quillbark %@", {Bundle::main().shortVersion()}));
  deviceSpecs_->setText(KVPlatform::deviceModelID() + "; iOS " + KVPlatform::firmwareVersion() +
                        " \nUDID: " + KVPlatform::deviceUDID().value_or(""));
  auto press = std::make_shared<UILongPressGestureRecognizer>([this](UIGestureRecognizer& r) { copyDeviceSpecs(r); });
  press->setMinimumPressDuration(0.2);
  press->setNumberOfTouchesRequired(1);
  press->setNumberOfTapsRequired(0);
  deviceSpecs_->addGestureRecognizer(press);
  // 6. The vendor's lists, whatever the answer.
  KVFeaturedPackagesMethods::instance().fetchFeaturedPackages("", [weak = weakSelf(this)](std::optional<std::string>) {
    performOnMainThread([weak] {
      if (auto self = weak.lock()) self->loadInformationsFromBackground();
    });
  });
  // 7.
  isScrolling_ = false;
  needCacheRebuild_ = true;
}

void FeaturedViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  infoBtn_->imageView()->setContentMode(UIViewContentModeScaleAspectFill);
  if (auto* navigation = navigationController()) navigation->setNavigationBarHidden(true, animated);
  bool large = QuillbarkPersistentPreferences::sharedInstance().boolForKey("prefersLargeTitles");
  navBarFeatured_->setFont(UIFont::boldSystemFontOfSize(large ? 35 : 25));
  updateAccountButton();
  RunLoop::main().post([weak = weakSelf(this)] {
    auto self = weak.lock();
    if (!self) return;
    self->stopScrolling();
    self->updateShadows();
  });
  if (firstAppearance_) firstAppearance_ = false;
  else retrieveFeaturedPackages();
  carousel_->reloadData();
  for (auto& card : cards_) card.table->reloadData();
}

void FeaturedViewController::viewDidAppear(bool animated) {
  KVPalettedViewController::viewDidAppear(animated);
  showFirstRunOrWhatsNew();
}

void FeaturedViewController::viewWillLayoutSubviews() {
  KVPalettedViewController::viewWillLayoutSubviews();
  // The carousel is sized again when the width changes (a rotation, a split view).
  double width = view()->bounds().width();
  if (width == contentWidth_) return;
  contentWidth_ = width;
  setContent();
}

void FeaturedViewController::viewDidLayoutSubviews() {
  KVPalettedViewController::viewDidLayoutSubviews();
  layoutPage();
}

void FeaturedViewController::viewWillTransitionToSize(CGSize size, UIViewControllerTransitionCoordinator& coordinator) {
  KVPalettedViewController::viewWillTransitionToSize(size, coordinator);
  coordinator.animateAlongsideTransition([weak = weakSelf(this)] {
    auto self = weak.lock();
    if (!self) return;
    for (auto& card : self->cards_) card.table->reloadData();
    self->updateShadows();
  });
}

void FeaturedViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!palette || !isViewLoaded()) return;
  view()->setBackgroundColor(palette->backgroundColor());
  navBarFeatured_->setTextColor(palette->primaryTextColor());
  // Not the labels' default black, which the dark palettes draw black on black.
  for (UILabel* l : {navBarPrompt_.get(), deviceSpecs_.get()}) l->setTextColor(palette->secondaryTextColor());
  for (auto& card : cards_) {
    card.view->setBackgroundColor(palette->backgroundColor());
    card.title->setTextColor(palette->primaryTextColor());
    card.table->reloadData();
  }
  carousel_->reloadData();
}

void FeaturedViewController::updateShadows() {
  if (!RunLoop::isMainThread()) {
    performOnMainThread([weak = weakSelf(this)] {
      if (auto self = weak.lock()) self->updateShadows();
    });
    return;
  }
  if (!isViewLoaded()) return;
  for (auto& card : cards_) KVCardLook::applyShadow(*card.view, palette());
}

void FeaturedViewController::stopScrolling() {
  if (scrollView_) scrollView_->setContentOffset(scrollView_->contentOffset(), false);
}

// ---- The account button

void FeaturedViewController::updateAccountButton() {
  std::optional<std::string> avatar = KVAccount::instance().returnAvatarURL();
  if (!avatar || avatar->empty()) {
    avatarImage_.reset();
    infoBtn_->setImage(UIImage::imageNamed("Info"));
    infoBtn_->imageView()->setContentMode(UIViewContentModeScaleAspectFit);
    infoBtn_->layer().cornerRadius = 0;
    infoBtn_->layer().borderWidth = 0;
    return;
  }
  if (avatarImage_) {
    infoBtn_->setImage(avatarImage_);
  } else if (auto url = URL::fromString(*avatar)) {
    ImageLoader::shared().loadImage(*url, weak_from_this(), [weak = weakSelf(this)](std::shared_ptr<UIImage> image, ErrorRef) {
      auto self = weak.lock();
      if (!self) return;
      self->avatarImage_ = image;
      self->infoBtn_->setImage(image ? image : UIImage::imageNamed("Info"));
    });
  } else {
    infoBtn_->setImage(UIImage::imageNamed("Info"));
  }
  // Signed in: a round picture, ringed in red while followed developers have new packages.
  infoBtn_->layer().cornerRadius = infoBtn_->frame().width() / 2;
  infoBtn_->setClipsToBounds(true);
  bool fresh = QuillbarkPersistentPreferences::sharedInstance().boolForKey("NewPackagesByFollowedDevelopers");
  infoBtn_->layer().borderWidth = fresh ? 2.0 : 0;
  if (fresh) infoBtn_->layer().borderColor = UIColor::systemRedColor();
}

// ---- The first run and the what's-new page

void FeaturedViewController::showFirstRunOrWhatsNew() {
  if (presentedViewController()) return;
  auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
  const std::string version = Bundle::main().shortVersion();
  if (!preferences.boolForKey("setupDone")) {
    // The version the walk is made with needs no what's-new page.
    preferences.setObject(Value(version), "welcomeScreenVersion");
    auto setup = context_.screens->onboarding();
    setup->presentationController()->setDelegate(this);
    presentViewController(setup, true);
    return;
  }
  std::optional<std::string> handled = preferences.stringForKey("welcomeScreenVersion");
  if (handled && !NSStringVersionCompare::lessThan(*handled, version)) return;
  preferences.setObject(Value(version), "welcomeScreenVersion");
  auto changelog = context_.screens->changelog();
  if (auto paletted = std::dynamic_pointer_cast<KVPalettedViewController>(changelog)) paletted->setOverrideLargeTitles(true);
  presentViewController(std::make_shared<UINavigationController>(changelog), true);
}

void FeaturedViewController::presentationControllerDidDismiss(UIPresentationController&) {
  // The walk swiped away comes back at the next appearance.
  UIView::animateWithDuration(0.3, [this] { viewWillAppear(true); });
}

// ---- Actions

void FeaturedViewController::push(std::shared_ptr<UIViewController> screen) {
  auto* navigation = navigationController();
  if (!navigation || !screen) return;
  // The page hides the bar; what it opens shows it.
  navigation->setNavigationBarHidden(false, false);
  lastPushed_ = screen;
  navigation->pushViewController(screen, true);
}

void FeaturedViewController::goToNews() { push(context_.screens->news()); }

void FeaturedViewController::accountInformations() { push(context_.screens->account(avatarImage_)); }

void FeaturedViewController::copyDeviceSpecs(UIGestureRecognizer& recognizer) {
  if (recognizer.state() != UIGestureRecognizerStateBegan) return;
  UISelectionFeedbackGenerator().selectionChanged();
  auto sheet = UIAlertController::alertControllerWithTitle(std::string("Copy Device Details"), std::nullopt,
                                                           UIAlertControllerStyleActionSheet);
  const std::string model = KVPlatform::deviceModelID();
  const std::string identifier = KVPlatform::deviceUDID().value_or("");
  auto copy = [](std::string text) {
    return [text = std::move(text)](UIAlertAction&) { UIPasteboard::generalPasteboard().setString(text); };
  };
  sheet->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Device Model"), UIAlertActionStyleDefault, copy(model)));
  sheet->addAction(
      UIAlertAction::actionWithTitle(NSLocalizedString("Device Identifier"), UIAlertActionStyleDefault, copy(identifier)));
  sheet->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Device Model & Identifier"), UIAlertActionStyleDefault,
                                                  copy("Device Model: " + model + "\nDevice Identifier: " + identifier)));
  sheet->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Cancel"), UIAlertActionStyleCancel));
  context_.actions->presentViewController(sheet, &recognizer);
}

void FeaturedViewController::showLoginFailure(const std::string& message) {
  auto card = std::make_shared<ErrorViewController>();
  card->setModalPresentationStyle(UIModalPresentationOverFullScreen);
  card->showWithTitle(NSLocalizedString("Unable to login"), message, 2, NSLocalizedString("OK"),
                      NSLocalizedString("Forgot"), std::function<void()>([] {
                        UIApplication::sharedApplication().openURL(KVVendorService::kLostPasswordPageURL);
                      }));
  presentViewController(card, true);
}

// ---- Notifications

void FeaturedViewController::sourceRefreshed(const Notification&) {
  if (!isViewLoaded() || !view()->window()) return;
  needCacheRebuild_ = true;
  retrieveFeaturedPackages();
}

void FeaturedViewController::longPressBegan(const Notification&) { invalidateTimer(); }

void FeaturedViewController::longPressEnded(const Notification& notification) {
  openPackageDepictionForIdentifier(notification.userInfo["identifier"].asString());
}

// ---- The auto-advance

void FeaturedViewController::startTimer() {
  timer_ = RunLoop::main().addTimer(
      4.0,
      [weak = weakSelf(this)] {
        if (auto self = weak.lock()) self->autoScrollFeaturedCollectionView();
      },
      4.0);
}

void FeaturedViewController::invalidateTimer() {
  if (timer_) RunLoop::main().cancelTimer(*timer_);
}

bool FeaturedViewController::isTimerValid() const { return timer_ && RunLoop::main().hasTimer(*timer_); }
