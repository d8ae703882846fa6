#include "sources/OnlineRepositoriesViewController.h"

#include "account/KVSearchRepositories.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "interface/KVRemoteImage.h"
#include "interface/KVRequestFailureView.h"
#include "interface/KVScreens.h"
#include "interface/SearchCell.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"
#include "uikit/UISwipeGestureRecognizer.h"
#include "uikit/UIViewControllerTransitionCoordinator.h"

OnlineRepositoriesViewController::OnlineRepositoriesViewController(KVScreenContext context)
    : context_(std::move(context)) {}

OnlineRepositoriesViewController::~OnlineRepositoriesViewController() {
  if (!tableView_) return;
  tableView_->setDataSource(nullptr);
  tableView_->setTableDelegate(nullptr);
}

void OnlineRepositoriesViewController::loadView() {
  KVPalettedViewController::loadView();
  tableView_ = std::make_shared<UITableView>(UIScreen::mainScreen().bounds(), UITableViewStylePlain);
  view()->addSubview(tableView_);
  failureView_ = std::make_shared<KVRequestFailureView>(UIScreen::mainScreen().bounds());
  view()->addSubview(failureView_);
}

void OnlineRepositoriesViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  navigationItem().setRightBarButtonItem(UIBarButtonItem::itemWithImage(
      UIImage::imageNamed("Searches Icon"), UIBarButtonItemStylePlain, [this](UIBarButtonItem&) { showSearchVC(); }));
  tableView_->setDataSource(this);
  tableView_->setTableDelegate(this);
  tableView_->registerNib("SearchCell", "cell");
  auto swipe = std::make_shared<UISwipeGestureRecognizer>([this](UIGestureRecognizer&) { backSwipe(); });
  swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
  view()->addGestureRecognizer(swipe);
  listRepositories();
}

void OnlineRepositoriesViewController::listRepositories() {
  // Whatever the answer, the rows are what the shared client holds by then; a failure
  // says why above them, with a way to ask again.
  KVSearchRepositories::instance().listOnlineRepositories([weak = weakSelf(this)](ErrorRef error) {
    performOnMainThread([weak, error] {
      auto self = weak.lock();
      if (!self) return;
      self->repositoriesArray_ = KVSearchRepositories::instance().repositories();
      self->tableView_->reloadData();
      if (!error) return self->failureView_->hide();
      self->failureView_->showFailure(
          NSLocalizedFormat("The repositories could not be loaded: %@", {error->localizedDescription()}), [weak] {
            if (auto again = weak.lock()) again->listRepositories();
          });
    });
  });
}

void OnlineRepositoriesViewController::viewWillTransitionToSize(CGSize size,
                                                                UIViewControllerTransitionCoordinator& coordinator) {
  KVPalettedViewController::viewWillTransitionToSize(size, coordinator);
  coordinator.animateAlongsideTransition([weak = weakSelf(this)] {
    if (auto self = weak.lock()) self->tableView_->reloadData();
  });
}

void OnlineRepositoriesViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!palette || !isViewLoaded()) return;
  view()->setBackgroundColor(palette->backgroundColor());
  tableView_->reloadData();
}

void OnlineRepositoriesViewController::showSearchVC() { context_.screens->selectTab(KVTab::Search); }

void OnlineRepositoriesViewController::backSwipe() {
  if (navigationController()) navigationController()->popViewControllerAnimated(true);
}

void OnlineRepositoriesViewController::refreshTableView(UITableView& table, const NSIndexPath& path) {
  table.reloadRowsAtIndexPaths({path}, UITableViewRowAnimationNone);
}

long OnlineRepositoriesViewController::tableViewNumberOfRowsInSection(UITableView&, long) {
  return static_cast<long>(repositoriesArray_.size());
}

std::shared_ptr<UITableViewCell> OnlineRepositoriesViewController::tableViewCellForRowAtIndexPath(
    UITableView& table, const NSIndexPath& path) {
  auto cell = std::dynamic_pointer_cast<SearchCell>(table.dequeueReusableCellWithIdentifier("cell", path));
  const size_t row = static_cast<size_t>(path.row);
  if (!cell || row >= repositoriesArray_.size()) return cell ? cell : std::make_shared<UITableViewCell>();
  const KVSearchedRepo& repository = repositoriesArray_[row];
  const std::string name = repository.name.value_or("");
  cell->setBackgroundColor(UIColor::clearColor());
  auto icon = icons_.find(name);
  cell->iconView()->setImage(icon == icons_.end() ? nullptr : icon->second);
  if (icon == icons_.end() && !asked_[name]) {
    asked_[name] = true;
    auto stored = [weak = weakSelf(this), name](std::shared_ptr<UIImage> image) {
      auto self = weak.lock();
      if (!self) return;
      self->icons_[name] = image ? image : KVRemoteImage::placeholder();
      // The entry's row, wherever it is by now.
      for (size_t i = 0; i < self->repositoriesArray_.size(); ++i)
        if (self->repositoriesArray_[i].name.value_or("") == name)
          self->refreshTableView(*self->tableView_, NSIndexPath::indexPathForRow(static_cast<long>(i), 0));
    };
    if (!KVRemoteImage::load(repository.icon.value_or(""), weak_from_this(), stored)) stored(nullptr);
  }
  cell->iconView()->layer().cornerRadius = 8.948;
  cell->iconView()->layer().masksToBounds = true;
  cell->iconView()->setContentMode(UIViewContentModeScaleAspectFit);
  cell->nameLbl()->setText(name);
  if (palette()) cell->nameLbl()->setTextColor(palette()->primaryTextColor());
  cell->subinfoLbl()->setText(repository.desc.value_or(""));
  cell->subinfoLbl()->setNumberOfLines(2);
  cell->separator()->setHidden(row + 1 == repositoriesArray_.size());
  cell->followBtn()->setHidden(true);
  cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
  return cell;
}

void OnlineRepositoriesViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, false);
  const size_t row = static_cast<size_t>(path.row);
  if (row >= repositoriesArray_.size() || !navigationController()) return;
  const KVSearchedRepo& repository = repositoriesArray_[row];
  auto icon = icons_.find(repository.name.value_or(""));
  lastPushed_ = context_.screens->searchedRepository(repository, icon == icons_.end() ? nullptr : icon->second);
  navigationController()->pushViewController(lastPushed_, true);
}
