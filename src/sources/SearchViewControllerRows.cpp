// The search tab's five tables: history, trending, packages, developers and
// repositories; what their rows show and open, the package swipes and the press on the
// packages card.
#include "browse/KVPackageRows.h"
#include "database/KVRDevelopers.h"
#include "database/KVRPackages.h"
#include "database/KVRSource.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "interface/KVApplicationActions.h"
#include "interface/KVPackageIcons.h"
#include "interface/KVRemoteImage.h"
#include "interface/KVScreens.h"
#include "interface/PackageCell.h"
#include "interface/SearchCell.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "sources/SearchViewController.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIButton.h"
#include "uikit/UIGestureRecognizer.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScrollView.h"

SearchViewController::Table SearchViewController::kind(const UITableView& table) const {
  if (&table == historyTable_.get()) return Table::History;
  if (&table == trendingTable_.get()) return Table::Trending;
  if (&table == packagesTable_.get()) return Table::Packages;
  if (&table == developersTable_.get()) return Table::Developers;
  if (&table == repositoriesTable_.get()) return Table::Repositories;
  return Table::None;
}

long SearchViewController::tableViewNumberOfRowsInSection(UITableView& table, long) {
  switch (kind(table)) {
    case Table::History: return static_cast<long>(std::min<size_t>(searchHistory_.count(), 3));
    case Table::Trending: return static_cast<long>(searchesTrending_.size());
    case Table::Packages: return static_cast<long>(std::min<size_t>(packagesCount(), 5));
    case Table::Developers: return static_cast<long>(developersArray_.size());
    case Table::Repositories: return static_cast<long>(repositoriesArray_.size());
    case Table::None: break;
  }
  return 0;
}

double SearchViewController::tableViewHeightForRowAtIndexPath(UITableView& table, const NSIndexPath&) {
  switch (kind(table)) {
    case Table::Packages: return 70;
    case Table::Developers:
    case Table::Repositories: return 56;
    default: return 44;
  }
}

bool SearchViewController::tableViewCanEditRowAtIndexPath(UITableView& table, const NSIndexPath&) {
  return kind(table) == Table::Packages;
}

std::shared_ptr<UIImage> SearchViewController::remoteImage(std::map<std::string, std::shared_ptr<UIImage>>& cache,
                                                           const std::string& key, const std::string& address,
                                                           UITableView* table) {
  auto found = cache.find(key);
  if (found != cache.end()) return found->second;
  const std::string asked = (table == developersTable_.get() ? "d:" : "r:") + key;
  if (imagesAsked_[asked]) return nullptr;
  imagesAsked_[asked] = true;
  auto* into = &cache;
  auto stored = [weak = weakSelf(this), into, key, table](std::shared_ptr<UIImage> image) {
    auto self = weak.lock();
    if (!self) return;
    (*into)[key] = image ? image : KVRemoteImage::placeholder();
    table->reloadData();
  };
  if (!KVRemoteImage::load(address, weak_from_this(), stored)) stored(nullptr);
  return nullptr;
}

std::shared_ptr<UITableViewCell> SearchViewController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                     const NSIndexPath& path) {
  const size_t row = static_cast<size_t>(path.row);
  const bool last = path.row == tableViewNumberOfRowsInSection(table, path.section) - 1;
  const Table which = kind(table);
  if (which == Table::History || which == Table::Trending) {
    auto cell = table.dequeueReusableCellWithIdentifier("genericCell", path);
    std::string text;
    if (which == Table::History) {
      if (auto record = searchHistory_.at(row)) text = record->search();
    } else if (row < searchesTrending_.size()) {
      text = searchesTrending_[row];
    }
    cell->textLabel()->setText(text);
    if (palette()) cell->textLabel()->setTextColor(palette()->tintColor());
    cell->setBackgroundColor(UIColor::clearColor());
    return cell;
  }
  if (which == Table::Packages) {
    auto cell = std::dynamic_pointer_cast<PackageCell>(table.dequeueReusableCellWithIdentifier("cell", path));
    auto package = packages_ && row < packages_->count() ? packages_->at(row) : std::nullopt;
    if (!cell) return std::make_shared<UITableViewCell>();
    if (!package) return cell;
    KVPackageRows::fill(*cell, package->identifier(), palette(), true, last);
    cell->iconView()->layer().cornerRadius = 0.2237 * cell->iconView()->frame().height();
    cell->iconView()->layer().masksToBounds = true;
    return cell;
  }
  auto cell = std::dynamic_pointer_cast<SearchCell>(table.dequeueReusableCellWithIdentifier("searchCell", path));
  if (!cell) return std::make_shared<UITableViewCell>();
  cell->setBackgroundColor(UIColor::clearColor());
  cell->iconView()->layer().cornerRadius = 8.948;
  cell->iconView()->layer().masksToBounds = true;
  cell->iconView()->setContentMode(UIViewContentModeScaleAspectFit);
  cell->separator()->setHidden(last);
  cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
  if (which == Table::Developers && row < developersArray_.size()) {
    const KVDeveloperProfile& profile = developersArray_[row];
    const std::string name = profile.fullName.value_or("");
    cell->setDelegate(weakSelf(this));
    cell->setDevelopers(context_.developers);
    cell->setDeveloperName(name);
    cell->nameLbl()->setText(name);
    cell->iconView()->setImage(
        remoteImage(developersAvatarDictionary_, name, profile.avatarURL.value_or(""), developersTable_.get()));
    const bool followed = context_.developers && context_.developers->isDeveloperFollowed(name);
    if (palette()) cell->nameLbl()->setTextColor(followed ? palette()->tintColor() : palette()->primaryTextColor());
    cell->followBtn()->setHidden(false);
    cell->followBtn()->setTitle("");
    cell->followBtn()->setImage(UIImage::imageNamed(followed ? "unfollow" : "follow"));
    cell->followBtn()->setAccessibilityLabel(NSLocalizedFormat(followed ? "Unfollow %@" : "Follow %@", {name}));
    if (palette()) cell->subinfoLbl()->setTextColor(palette()->secondaryTextColor());
    const bool handle = profile.twitter && !profile.twitter->empty();
    cell->subinfoLbl()->setText(handle ? "@" + *profile.twitter : std::string());
  } else if (which == Table::Repositories && row < repositoriesArray_.size()) {
    const KVSearchedRepo& repository = repositoriesArray_[row];
    const std::string name = repository.name.value_or("");
    cell->iconView()->setImage(
        remoteImage(repositoriesIconsDictionary_, name, repository.icon.value_or(""), repositoriesTable_.get()));
    cell->nameLbl()->setText(name);
    if (palette()) {
      cell->nameLbl()->setTextColor(palette()->primaryTextColor());
      cell->subinfoLbl()->setTextColor(palette()->secondaryTextColor());
    }
    cell->subinfoLbl()->setText(repository.desc.value_or(""));
    cell->followBtn()->setHidden(true);
  }
  return cell;
}

void SearchViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, false);
  const size_t row = static_cast<size_t>(path.row);
  switch (kind(table)) {
    case Table::History:
    case Table::Trending: {
      std::string text;
      if (kind(table) == Table::History) {
        auto record = searchHistory_.at(row);
        if (!record) return;
        text = record->search();
      } else {
        if (row >= searchesTrending_.size()) return;
        text = searchesTrending_[row];
      }
      showResults(true);
      setSearch(text);
      recordSearch(text, false);
      return;
    }
    case Table::Packages: {
      auto package = packages_ && row < packages_->count() ? packages_->at(row) : std::nullopt;
      if (package) push(context_.screens->package(package->identifier()));
      return;
    }
    case Table::Developers: {
      if (row >= developersArray_.size()) return;
      const KVDeveloperProfile& profile = developersArray_[row];
      auto avatar = developersAvatarDictionary_.find(profile.fullName.value_or(""));
      push(context_.screens->developer(profile, avatar == developersAvatarDictionary_.end() ? nullptr : avatar->second,
                                       false));
      return;
    }
    case Table::Repositories: {
      if (row >= repositoriesArray_.size()) return;
      const KVSearchedRepo& repository = repositoriesArray_[row];
      auto icon = repositoriesIconsDictionary_.find(repository.name.value_or(""));
      push(context_.screens->searchedRepository(repository,
                                                icon == repositoriesIconsDictionary_.end() ? nullptr : icon->second));
      return;
    }
    case Table::None: return;
  }
}

std::vector<std::shared_ptr<UITableViewRowAction>> SearchViewController::tableViewEditActionsForRowAtIndexPath(
    UITableView& table, const NSIndexPath& path) {
  const size_t row = static_cast<size_t>(path.row);
  if (kind(table) != Table::Packages || !packages_ || row >= packages_->count()) return {};
  auto package = packages_->at(row);
  if (!package) return {};
  return KVPackageRows::swipeActions(context_, table, package->identifier(), [weak = weakSelf(this)] {
    if (auto self = weak.lock()) self->navigationItem().setRightBarButtonItem(nullptr);
  });
}

void SearchViewController::handleLongPressGesture(UIGestureRecognizer& recognizer) {
  const unsigned long options = UIViewAnimationOptionAllowUserInteraction | UIViewAnimationOptionBeginFromCurrentState;
  UIView* card = packagesCard_.get();
  if (recognizer.state() == UIGestureRecognizerStateBegan) {
    if (isPressed_) return;
    isPressed_ = true;
    UIView::animateWithDuration(0.5, 0, 0.8, 0.2, options,
                                [card] { card->setTransform(CGAffineTransform::makeScale(0.95, 0.95)); });
    return;
  }
  const auto state = recognizer.state();
  if (state != UIGestureRecognizerStateEnded && state != UIGestureRecognizerStateCancelled) return;
  UIView::animateWithDuration(
      0.5, 0, 0.4, 0.2, options, [card] { card->setTransform(CGAffineTransform::identity()); },
      [weak = weakSelf(this)](bool) {
        if (auto self = weak.lock()) self->isPressed_ = false;
      });
  // Only a press that ends on the card opens the list, never one called off.
  if (state == UIGestureRecognizerStateEnded && packagesCount() > 0 &&
      card->frame().contains(recognizer.locationInView(searchScrollView_.get())))
    seeAllPackages();
}

void SearchViewController::iconChanged(const Notification& notification) {
  const std::string identifier = notification.object.asString();
  for (const auto& cell : packagesTable_->visibleCells())
    if (auto* row = dynamic_cast<PackageCell*>(cell.get()); row && row->packageIdentifier() == identifier)
      row->updatePackageIcon();
}
