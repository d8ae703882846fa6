#include "browse/FollowedDevelopersViewController.h"

#include "account/KVSearchDeveloper.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRDevelopers.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Dispatch.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "interface/KVRemoteImage.h"
#include "interface/KVScreens.h"
#include "interface/SearchCell.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"
#include "uikit/UISwipeGestureRecognizer.h"

FollowedDevelopersViewController::FollowedDevelopersViewController(KVScreenContext context)
    : context_(std::move(context)) {}

FollowedDevelopersViewController::~FollowedDevelopersViewController() {
  if (tableView_) {
    tableView_->setDataSource(nullptr);
    tableView_->setTableDelegate(nullptr);
  }
}

void FollowedDevelopersViewController::loadView() {
  KVPalettedViewController::loadView();
  tableView_ = std::make_shared<UITableView>(UIScreen::mainScreen().bounds(), UITableViewStylePlain);
  view()->addSubview(tableView_);
}

void FollowedDevelopersViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  navigationItem().setTitle(NSLocalizedString("Followed Developers"));
  auto search = UIBarButtonItem::itemWithImage(UIImage::imageNamed("Searches Icon"), UIBarButtonItemStylePlain,
                                               [this](UIBarButtonItem&) { showSearchVC(); });
  navigationItem().setRightBarButtonItem(search);
  tableView_->setDataSource(this);
  tableView_->setTableDelegate(this);
  tableView_->setRowHeight(56);
  tableView_->registerNib("SearchCell", "cell");
  auto swipe = std::make_shared<UISwipeGestureRecognizer>([this](UIGestureRecognizer&) { backSwipe(); });
  swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
  view()->addGestureRecognizer(swipe);
}

void FollowedDevelopersViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  QuillbarkPersistentPreferences::sharedInstance().setObject(Value(false), "NewPackagesByFollowedDevelopers");
  tableView_->setBackgroundColor(UIColor::clearColor());
  setContent();
}

void FollowedDevelopersViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (palette && isViewLoaded()) view()->setBackgroundColor(palette->backgroundColor());
}

void FollowedDevelopersViewController::backSwipe() {
  if (navigationController()) navigationController()->popViewControllerAnimated(true);
}

void FollowedDevelopersViewController::setContent() {
  const uint64_t generation = ++generation_;
  followedDevelopersArray_.clear();
  rowNames_.clear();
  tableView_->reloadData();
  const std::vector<std::string> names = context_.developers->arrayOfFollowedDevelopers();
  if (names.empty()) {
    if (navigationController()) navigationController()->popToRootViewControllerAnimated(true);
    return;
  }
  for (const std::string& name : names) {
    // Every lookup runs at once; each answer is handled with its own request's profiles.
    bool asked = KVSearchDeveloper::instance().searchDeveloperProfiles(
        name, [weak = weakSelf(this), generation, name](std::optional<std::vector<KVDeveloperProfile>> profiles) {
          auto profile = profiles ? KVDeveloperProfile::profileNamed(*profiles, name) : std::nullopt;
          performOnMainThread([weak, generation, name, profile] {
            if (auto self = weak.lock()) self->lookupAnswered(generation, name, profile);
          });
        });
    // A name too short to search for is listed as it is stored.
    if (!asked) lookupAnswered(generation, name, std::nullopt);
  }
}

void FollowedDevelopersViewController::lookupAnswered(uint64_t generation, const std::string& name,
                                                      std::optional<KVDeveloperProfile> profile) {
  if (generation != generation_) return;  // a rebuild began since: its own lookups answer
  if (!profile) {
    KVDeveloperProfile local;
    local.fullName = name;
    followedDevelopersArray_.push_back(local);
    rowNames_.push_back(name);
    avatars_[name] = KVRemoteImage::placeholder();
    tableView_->reloadData();
    return;
  }
  const std::string fullName = profile->fullName.value_or(name);
  followedDevelopersArray_.push_back(*profile);
  rowNames_.push_back(name);
  if (avatars_.count(fullName)) {
    tableView_->reloadData();
    return;
  }
  auto stored = [weak = weakSelf(this), fullName](std::shared_ptr<UIImage> image) {
    auto self = weak.lock();
    if (!self) return;
    self->avatars_[fullName] = image ? image : KVRemoteImage::placeholder();
    self->tableView_->reloadData();
  };
  if (!KVRemoteImage::load(profile->avatarURL.value_or(""), weak_from_this(), stored)) stored(nullptr);
}

long FollowedDevelopersViewController::tableViewNumberOfRowsInSection(UITableView&, long) {
  return static_cast<long>(followedDevelopersArray_.size());
}

std::shared_ptr<UITableViewCell> FollowedDevelopersViewController::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& path) {
  auto cell = std::dynamic_pointer_cast<SearchCell>(table.dequeueReusableCellWithIdentifier("cell", path));
  const size_t row = static_cast<size_t>(path.row);
  if (!cell || row >= followedDevelopersArray_.size()) return cell ? cell : std::make_shared<UITableViewCell>();
  const KVDeveloperProfile& profile = followedDevelopersArray_[row];
  const std::string fullName = profile.fullName.value_or("");
  cell->setDelegate(weakSelf(this));
  cell->setDevelopers(context_.developers);
  cell->setBackgroundColor(UIColor::clearColor());
  // The button acts on the name as it is stored, whatever the directory calls it.
  cell->setDeveloperName(rowNames_[row]);
  cell->nameLbl()->setText(fullName);
  if (palette()) cell->nameLbl()->setTextColor(palette()->primaryTextColor());
  auto avatar = avatars_.find(fullName);
  cell->iconView()->setImage(avatar == avatars_.end() ? nullptr : avatar->second);
  cell->iconView()->layer().cornerRadius = 8.948;
  cell->iconView()->layer().masksToBounds = true;
  cell->iconView()->setContentMode(UIViewContentModeScaleAspectFit);
  const bool handle = profile.twitter && !profile.twitter->empty();
  cell->subinfoLbl()->setText(handle ? "@" + *profile.twitter : std::string());
  cell->separator()->setHidden(path.row == static_cast<long>(followedDevelopersArray_.size()) - 1);
  cell->followBtn()->setHidden(false);
  cell->followBtn()->setTitle("");
  cell->followBtn()->setImage(UIImage::imageNamed("unfollow"));
  cell->followBtn()->setAccessibilityLabel(NSLocalizedFormat("Unfollow %@", {fullName}));
  cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
  return cell;
}

void FollowedDevelopersViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, false);
  const size_t row = static_cast<size_t>(path.row);
  if (row >= followedDevelopersArray_.size()) return;
  KVDeveloperProfile profile = followedDevelopersArray_[row];
  const std::string name = profile.fullName.value_or("");
  bool asked = KVSearchDeveloper::instance().searchDeveloperProfiles(
      name, [weak = weakSelf(this), profile, name](std::optional<std::vector<KVDeveloperProfile>> profiles) {
        const bool known = profiles && KVDeveloperProfile::profileNamed(*profiles, name);
        performOnMainThread([weak, profile, name, known] {
          auto self = weak.lock();
          if (!self) return;
          if (!known) return self->searchTabFor(name);
          auto avatar = self->avatars_.find(name);
          auto page = self->context_.screens->developer(
              profile, avatar == self->avatars_.end() ? nullptr : avatar->second, false);
          self->lastPushed_ = page;
          if (self->navigationController()) self->navigationController()->pushViewController(page, true);
        });
      });
  if (!asked) searchTabFor(name);
}

void FollowedDevelopersViewController::searchTabFor(const std::string& name) {
  QuillbarkPersistentPreferences::sharedInstance().setObject(Value(name), "SearchDeveloper");
  context_.screens->selectTab(KVTab::Search);
}

void FollowedDevelopersViewController::followStateChanged() {
  // Told once the change is written: the rebuild reads the new state.
  DispatchQueue::mainQueue().asyncAfter(0.2, [weak = weakSelf(this)] {
    if (auto self = weak.lock()) self->setContent();
  });
}

void FollowedDevelopersViewController::showSearchVC() { context_.screens->selectTab(KVTab::Search); }
