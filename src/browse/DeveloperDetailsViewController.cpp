#include "browse/DeveloperDetailsViewController.h"

#include <algorithm>
#include <map>

#include "browse/AllDevPackagesViewController.h"
#include "core/KVMailLink.h"
#include "database/KVIconProvider.h"
#include "database/KVRDevelopers.h"
#include "database/KVRPackage.h"
#include "database/KVRSource.h"
#include "database/KVRSources.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "interface/ErrorViewController.h"
#include "interface/GetPackageCell.h"
#include "interface/KVRemoteImage.h"
#include "interface/KVScreens.h"
#include "interface/KVShortConfirmation.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIApplication.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIProgressView.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScrollView.h"
#include "uikit/UISwipeGestureRecognizer.h"

namespace {
// The information rows a profile can have, in the order they are listed.
constexpr const char* kInformationKeys[] = {"location", "repository", "homepage", "github", "twitter", "email"};
// Where a bare social-network handle is looked up.
constexpr const char* kSocialProfileBase = "https://twitter.com/";

const std::optional<std::string>& profileValue(const KVDeveloperProfile& profile, const std::string& key) {
  if (key == "location") return profile.location;
  if (key == "repository") return profile.repository;
  if (key == "homepage") return profile.homepage;
  if (key == "github") return profile.github;
  if (key == "twitter") return profile.twitter;
  return profile.email;
}

bool present(const std::optional<std::string>& text) { return text && !text->empty(); }

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

std::shared_ptr<NSLayoutConstraint> active(std::shared_ptr<NSLayoutConstraint> constraint) {
  constraint->setActive(true);
  return constraint;
}

// A view of the page's column, laid out by its constraints.
template <class View>
View* place(UIView* content, std::shared_ptr<View> view, double x, double width) {
  view->setFrame(CGRect::make(x, 0, width, 0));
  view->setTranslatesAutoresizingMaskIntoConstraints(false);
  content->addSubview(view);
  return view.get();
}
}  // namespace

DeveloperDetailsViewController::DeveloperDetailsViewController(KVScreenContext context,
                                                               KVDeveloperProfile developerProfile,
                                                               std::shared_ptr<UIImage> img, bool isShownModally)
    : context_(std::move(context)),
      developerProfile_(std::move(developerProfile)),
      img_(std::move(img)),
      isShownModally_(isShownModally) {}

DeveloperDetailsViewController::~DeveloperDetailsViewController() {
  for (UITableView* table : {informationsTableView_, pkgByThisDevTableView_}) {
    if (!table) continue;
    table->setDataSource(nullptr);
    table->setTableDelegate(nullptr);
  }
}

// The interface file's arrangement: one scrolling column whose spacings are constraints.
void DeveloperDetailsViewController::loadView() {
  KVPalettedViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  const double w = screen.width() - 32;
  auto scroll = std::make_shared<UIScrollView>(screen);
  scroll->setAlwaysBounceVertical(true);
  view()->addSubview(scroll);
  // The page fills the screen's view, which a sheet makes shorter than the screen.
  NSLayoutConstraint::activateEdges(*scroll, *view());
  scrollView_ = scroll.get();
  auto content = std::make_shared<UIView>(CGRect::make(0, 0, screen.width(), screen.height()));
  scroll->addSubview(content);
  contentView_ = content.get();
  auto progress = std::make_shared<UIProgressView>(UIProgressViewStyleDefault);
  progress->setFrame(CGRect::make(0, 0, screen.width(), 2));
  view()->addSubview(progress);
  tasksProgressBar_ = progress.get();

  auto avatar = std::make_shared<UIImageView>();
  avatar->setFrame(CGRect::make(16, 20, 100, 100));
  avatar->setContentMode(UIViewContentModeScaleAspectFill);
  content->addSubview(avatar);
  avatar_ = avatar.get();
  auto label = [](UIFont font, long lines) {
    auto l = std::make_shared<UILabel>();
    l->setFont(std::move(font));
    l->setNumberOfLines(lines);
    return l;
  };
  nameLbl_ = place(contentView_, label(UIFont::boldSystemFontOfSize(24), 1), 16, w);
  active(nameLbl_->topAnchor().constraintEqualToAnchor(avatar_->bottomAnchor(), 16));
  bioLbl_ = place(contentView_, label(UIFont::systemFontOfSize(15), 0), 16, w);
  bioTop_ = active(bioLbl_->topAnchor().constraintEqualToAnchor(nameLbl_->bottomAnchor(), 8));
  informationsTitle_ = place(contentView_, label(UIFont::boldSystemFontOfSize(20), 1), 16, w);
  informationsTitle_->setText(NSLocalizedString("Information"));
  informationsTitleTop_ = active(informationsTitle_->topAnchor().constraintEqualToAnchor(bioLbl_->bottomAnchor(), 30));
  informationsTitleTopToName_ =
      active(informationsTitle_->topAnchor().constraintEqualToAnchor(nameLbl_->bottomAnchor(), 30));
  auto information = std::make_shared<UITableView>(CGRect{}, UITableViewStylePlain);
  information->setScrollEnabled(false);
  informationsTableView_ = place(contentView_, information, 0, screen.width());
  active(informationsTableView_->topAnchor().constraintEqualToAnchor(informationsTitle_->bottomAnchor(), 10));
  informationsHeight_ = active(informationsTableView_->heightAnchor().constraintEqualToConstant(0));
  pkgByThisDevTitle_ = place(contentView_, label(UIFont::boldSystemFontOfSize(20), 1), 16, w - 96);
  active(pkgByThisDevTitle_->topAnchor().constraintEqualToAnchor(informationsTableView_->bottomAnchor(), 30));
  auto seeAll = UIButton::buttonWithType(UIButtonTypeSystem);
  seeAll->setTitle(NSLocalizedString("See All"));
  seeAllPkgByThisDevBtn_ = place(contentView_, seeAll, w - 64, 80);
  seeAllPkgByThisDevBtn_->addTarget(this, [this](UIControl&) { seeAllPkgFromThisDev(); }, UIControlEventTouchUpInside);
  seeAllTop_ = active(seeAllPkgByThisDevBtn_->topAnchor().constraintEqualToAnchor(pkgByThisDevTitle_->topAnchor()));
  seeAllWidth_ = active(seeAllPkgByThisDevBtn_->widthAnchor().constraintEqualToConstant(80));
  seeAllHeight_ = active(seeAllPkgByThisDevBtn_->heightAnchor().constraintEqualToConstant(30));
  auto packages = std::make_shared<UITableView>(CGRect{}, UITableViewStylePlain);
  packages->setScrollEnabled(false);
  pkgByThisDevTableView_ = place(contentView_, packages, 0, screen.width());
  packagesTop_ = active(pkgByThisDevTableView_->topAnchor().constraintEqualToAnchor(pkgByThisDevTitle_->bottomAnchor(), 10));
  packagesHeight_ = active(pkgByThisDevTableView_->heightAnchor().constraintEqualToConstant(0));
  noPackagesLbl_ = place(contentView_, label(UIFont::systemFontOfSize(15), 0), 16, w);
  noPackagesLbl_->setText(NSLocalizedString("This developer has no packages in your sources."));
  noPackagesTop_ = active(noPackagesLbl_->topAnchor().constraintEqualToAnchor(pkgByThisDevTitle_->bottomAnchor(), 10));
  noPackagesBottom_ = active(noPackagesLbl_->heightAnchor().constraintEqualToConstant(40));
}

void DeveloperDetailsViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  tasksProgressBar_->setHidden(true);
  if (isShownModally_)
    navigationItem().setLeftBarButtonItem(UIBarButtonItem::itemWithTitle(
        NSLocalizedString("Close"), UIBarButtonItemStylePlain, [this](UIBarButtonItem&) { dismissVC(); }));
  auto swipe = std::make_shared<UISwipeGestureRecognizer>([this](UIGestureRecognizer&) { backSwipe(); });
  swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
  view()->addGestureRecognizer(swipe);
  isFollowed_ = context_.developers->isDeveloperFollowed(fullName());
  followedBtn_ = UIBarButtonItem::itemWithTitle(NSLocalizedString(isFollowed_ ? "Unfollow" : "Follow"),
                                                UIBarButtonItemStylePlain,
                                                [this](UIBarButtonItem&) { changeIsDeveloperFollowedState(); });
  navigationItem().setRightBarButtonItem(followedBtn_);
  informationKeys_.clear();
  informationValues_.clear();
  navigationItem().setTitle(NSLocalizedString("Developer Page"));
  getDeveloperInformations();
  for (UITableView* table : {informationsTableView_, pkgByThisDevTableView_}) {
    table->setDataSource(this);
    table->setTableDelegate(this);
  }
  // The interface file "GenericCell": a plain row with its standard label.
  informationsTableView_->registerClass<UITableViewCell>("genericCell");
  pkgByThisDevTableView_->registerNib("GetPackageCell", "getPackageCell");
}

void DeveloperDetailsViewController::registerScreenNotifications() {
  observe(KVRPackageInfoIconChangedNotification, [this](const Notification& n) { iconChanged(n); });
}

void DeveloperDetailsViewController::getDeveloperInformations() {
  if (img_) {
    avatar_->setImage(img_);
  } else if (present(developerProfile_.avatarURL)) {
    // Off the main thread; what is no picture leaves the avatar empty.
    KVRemoteImage::load(*developerProfile_.avatarURL, weak_from_this(), [weak = weakSelf(this)](std::shared_ptr<UIImage> image) {
      if (auto self = weak.lock()) self->avatar_->setImage(image);
    });
  } else {
    avatar_->setImage(KVRemoteImage::placeholder());
  }
  nameLbl_->setText(fullName());
  if (present(developerProfile_.biography)) bioLbl_->setText(*developerProfile_.biography);
  for (const char* key : kInformationKeys) {
    const auto& value = profileValue(developerProfile_, key);
    if (!present(value)) continue;
    informationKeys_.push_back(key);
    informationValues_.push_back(*value);
  }
  devPackages_ = AllDevPackagesViewController::packagesOfMaintainer(fullName(), false);
  pkgByThisDevTitle_->setText(NSLocalizedFormat("Packages by %@", {fullName()}));
}

void DeveloperDetailsViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  pkgByThisDevTableView_->setSeparatorColor(UIColor::clearColor());
  setContent();
}

void DeveloperDetailsViewController::setContent() {
  avatar_->layer().cornerRadius = 20.133;
  avatar_->layer().masksToBounds = true;
  if (present(developerProfile_.biography)) {
    bioLbl_->setHidden(false);
    informationsTitleTopToName_->setActive(false);
  } else {
    bioLbl_->setHidden(true);
    bioTop_->setActive(false);
    informationsTitleTop_->setActive(false);
    informationsTitleTopToName_->setConstant(30);
    informationsTitleTopToName_->setActive(true);
  }
  // A profile without links has an empty table, no height at all.
  const double rows = static_cast<double>(informationKeys_.size());
  informationsHeight_->setConstant(std::max(0.0, 44 * rows - 1));
  informationsTableView_->setBackgroundColor(UIColor::clearColor());
  informationsTableView_->setSeparatorColor(UIColor::clearColor());
  if (!devPackages_.empty()) {
    noPackagesLbl_->setHidden(true);
    NSLayoutConstraint::deactivateConstraints({noPackagesTop_, noPackagesBottom_});
    packagesHeight_->setConstant(devPackages_.size() == 1 ? 70 : 140);
  } else {
    seeAllPkgByThisDevBtn_->setHidden(true);
    NSLayoutConstraint::deactivateConstraints({seeAllTop_, seeAllWidth_, seeAllHeight_});
    pkgByThisDevTableView_->setHidden(true);
    NSLayoutConstraint::deactivateConstraints({packagesTop_, packagesHeight_});
  }
  informationsTableView_->reloadData();
  pkgByThisDevTableView_->reloadData();
  view()->setNeedsLayout();
}

void DeveloperDetailsViewController::viewDidLayoutSubviews() {
  KVPalettedViewController::viewDidLayoutSubviews();
  contentView_->layoutIfNeeded();
  double bottom = 0;
  for (UIView* v : {static_cast<UIView*>(nameLbl_), static_cast<UIView*>(bioLbl_), static_cast<UIView*>(informationsTableView_),
                    static_cast<UIView*>(pkgByThisDevTitle_), static_cast<UIView*>(pkgByThisDevTableView_),
                    static_cast<UIView*>(noPackagesLbl_)})
    if (!v->isHidden()) bottom = std::max(bottom, v->frame().maxY());
  const double width = scrollView_->frame().width();
  contentView_->setFrame(CGRect::make(0, 0, width, bottom + 30));
  scrollView_->setContentSize(CGSize{width, bottom + 30});
}

void DeveloperDetailsViewController::viewWillTransitionToSize(CGSize size,
                                                             UIViewControllerTransitionCoordinator& coordinator) {
  KVPalettedViewController::viewWillTransitionToSize(size, coordinator);
  pkgByThisDevTableView_->reloadData();
}

void DeveloperDetailsViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!palette || !isViewLoaded()) return;
  view()->setBackgroundColor(palette->backgroundColor());
  for (UILabel* label : {nameLbl_, informationsTitle_, pkgByThisDevTitle_}) label->setTextColor(palette->primaryTextColor());
  pkgByThisDevTableView_->setBackgroundColor(palette->foregroundColor());
}

// ---- Tables

long DeveloperDetailsViewController::tableViewNumberOfRowsInSection(UITableView& table, long) {
  if (&table == informationsTableView_) return static_cast<long>(informationKeys_.size());
  return static_cast<long>(std::min<size_t>(devPackages_.size(), 2));
}

double DeveloperDetailsViewController::tableViewHeightForRowAtIndexPath(UITableView& table, const NSIndexPath&) {
  return &table == informationsTableView_ ? 44 : 70;
}

std::shared_ptr<UITableViewCell> DeveloperDetailsViewController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                               const NSIndexPath& path) {
  const size_t row = static_cast<size_t>(path.row);
  if (&table == pkgByThisDevTableView_) {
    auto cell = std::dynamic_pointer_cast<GetPackageCell>(table.dequeueReusableCellWithIdentifier("getPackageCell", path));
    if (!cell || row >= devPackages_.size()) return cell ? cell : std::make_shared<UITableViewCell>();
    AllDevPackagesViewController::fillRow(*cell, devPackages_[row], palette().get(),
                                          path.row == tableViewNumberOfRowsInSection(table, 0) - 1);
    if (palette()) cell->setBackgroundColor(palette()->cellBackgroundColor());
    return cell;
  }
  auto cell = table.dequeueReusableCellWithIdentifier("genericCell", path);
  if (!cell || row >= informationKeys_.size()) return cell ? cell : std::make_shared<UITableViewCell>();
  if (palette()) {
    cell->setBackgroundColor(palette()->cellBackgroundColor());
    cell->textLabel()->setTextColor(palette()->primaryTextColor());
  }
  const std::string& key = informationKeys_[row];
  if (key == "location") {
    // Not through the string table: the location is the profile's own text.
    cell->textLabel()->setText("Location: " + informationValues_[row]);
    cell->setAccessoryType(UITableViewCellAccessoryNone);
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    return cell;
  }
  static const std::map<std::string, const char*> titles = {{"repository", "Add developer repository"},
                                                            {"homepage", "Visit website"},
                                                            {"github", "Visit GitHub page"},
                                                            {"twitter", "Go to Twitter profile"},
                                                            {"email", "Contact by email"}};
  cell->textLabel()->setText(NSLocalizedString(titles.at(key)));
  cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
  cell->setSelectionStyle(UITableViewCellSelectionStyleDefault);
  return cell;
}

void DeveloperDetailsViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, true);
  const size_t row = static_cast<size_t>(path.row);
  if (&table == informationsTableView_) {
    if (row < informationKeys_.size()) informationRowSelected(informationKeys_[row], informationValues_[row]);
    return;
  }
  if (row >= devPackages_.size()) return;
  auto page = context_.screens->nativePackagePage(devPackages_[row], {});
  auto package = KVRPackage::objectForPrimaryKey(devPackages_[row]);
  page->navigationItem().setTitle(package ? package->name().value_or(devPackages_[row]) : devPackages_[row]);
  push(page);
}

void DeveloperDetailsViewController::informationRowSelected(const std::string& key, const std::string& value) {
  if (key == "repository") {
    if (KVRSource::objectForPrimaryKey(value)) {
      auto card = std::make_shared<ErrorViewController>();
      card->setModalPresentationStyle(UIModalPresentationOverFullScreen);
      card->showWithTitle(NSLocalizedString("Source Error"),
                          NSLocalizedFormat("The source specified by %@ has already been configured on your device.",
                                            {fullName()}),
                          1, NSLocalizedString("Close"), std::nullopt, std::string());
      presentViewController(card, true);
      return;
    }
    // The sources manager checks the location, asks about plain http, adds and refreshes.
    context_.sources->addSourceWithLocation(value, false);
  } else if (key == "homepage") {
    push(context_.screens->webPage(value, NSLocalizedString("Website"), false));
  } else if (key == "github") {
    push(context_.screens->webPage(value, NSLocalizedString("GitHub"), false));
  } else if (key == "twitter") {
    const bool link = startsWith(value, "https") || startsWith(value, "http");
    push(context_.screens->webPage(link ? value : kSocialProfileBase + value, NSLocalizedString("Twitter"), false));
  } else if (key == "email") {
    UIApplication::sharedApplication().openURL(KVMailLink::url(value, "Question from Quillbark 5"));
  }
}

void DeveloperDetailsViewController::push(std::shared_ptr<UIViewController> screen) {
  lastPushed_ = screen;
  if (auto* navigation = navigationController()) navigation->pushViewController(std::move(screen), true);
}

// ---- Actions

void DeveloperDetailsViewController::seeAllPkgFromThisDev() {
  push(context_.screens->developerPackages(fullName(), NSLocalizedFormat("%@'s Packages", {fullName()})));
}

void DeveloperDetailsViewController::changeIsDeveloperFollowedState() {
  // The write runs in the background; the page does not wait for it.
  isFollowed_ = !isFollowed_;
  context_.developers->setDeveloper(fullName(), isFollowed_);
  followedBtn_->setTitle(NSLocalizedString(isFollowed_ ? "Unfollow" : "Follow"));
  KVShortConfirmation::show(*this, isFollowed_ ? "Followed" : "Unfollowed");
}

void DeveloperDetailsViewController::iconChanged(const Notification& notification) {
  performOnMainThread([weak = weakSelf(this), identifier = notification.object.asString()] {
    auto self = weak.lock();
    if (!self) return;
    for (const auto& cell : self->pkgByThisDevTableView_->visibleCells())
      if (auto row = std::dynamic_pointer_cast<GetPackageCell>(cell); row && row->packageIdentifier() == identifier)
        row->updatePackageIcon();
  });
}

void DeveloperDetailsViewController::dismissVC() { dismissViewControllerAnimated(true); }

void DeveloperDetailsViewController::backSwipe() {
  if (navigationController()) navigationController()->popViewControllerAnimated(true);
}
