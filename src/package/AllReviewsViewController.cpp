#include "package/AllReviewsViewController.h"

#include <algorithm>

#include "account/KVPackageRatings.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "package/AllReviewsCell.h"
#include "package/FullReviewViewController.h"
#include "package/KVPackageSnapshot.h"
#include "package/KVReviewText.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"
#include "uikit/UISwipeGestureRecognizer.h"

AllReviewsViewController::AllReviewsViewController(KVScreenContext context, std::string packageIdentifier,
                                                   std::string maintainer)
    : context_(std::move(context)), packageIdentifier_(std::move(packageIdentifier)), maintainer_(std::move(maintainer)) {}

AllReviewsViewController::~AllReviewsViewController() {
  if (tableView_) {
    tableView_->setDataSource(nullptr);
    tableView_->setTableDelegate(nullptr);
  }
}

void AllReviewsViewController::loadView() {
  KVPalettedViewController::loadView();
  tableView_ = std::make_shared<UITableView>(UIScreen::mainScreen().bounds(), UITableViewStylePlain);
  view()->addSubview(tableView_);
}

void AllReviewsViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  navigationItem().setTitle(NSLocalizedString("All Reviews"));
  tableView_->setDataSource(this);
  tableView_->setTableDelegate(this);
  tableView_->setRowHeight(175);
  tableView_->registerNib("AllReviewsCell", "cell");
  tableView_->setSeparatorColor(UIColor::clearColor());
  auto swipe = std::make_shared<UISwipeGestureRecognizer>([this](UIGestureRecognizer&) {
    if (navigationController()) navigationController()->popViewControllerAnimated(true);
  });
  swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
  view()->addGestureRecognizer(swipe);
}

void AllReviewsViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  tableView_->setBackgroundColor(UIColor::clearColor());
  // A client of its own per fetch: a failed one leaves the list empty.
  auto ratings = std::make_shared<KVPackageRatings>();
  ratings->getReviews(packageIdentifier_, [weak = weakSelf(this), ratings](std::optional<std::string>) {
    performOnMainThread([weak, ratings] {
      auto self = weak.lock();
      if (!self) return;
      self->packageReviews_ = ratings->packageReviews().value_or(std::vector<KVReviews>{});
      std::reverse(self->packageReviews_.begin(), self->packageReviews_.end());
      self->tableView_->reloadData();
    });
  });
}

void AllReviewsViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (palette && isViewLoaded()) view()->setBackgroundColor(palette->backgroundColor());
}

long AllReviewsViewController::tableViewNumberOfRowsInSection(UITableView&, long) {
  return static_cast<long>(packageReviews_.size());
}

std::shared_ptr<UITableViewCell> AllReviewsViewController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                         const NSIndexPath& path) {
  auto cell = std::dynamic_pointer_cast<AllReviewsCell>(table.dequeueReusableCellWithIdentifier("cell", path));
  const size_t row = static_cast<size_t>(path.row);
  if (!cell || row >= packageReviews_.size()) return cell ? cell : std::make_shared<UITableViewCell>();
  const KVReviews& review = packageReviews_[row];
  cell->setBackgroundColor(UIColor::clearColor());
  cell->view()->layer().cornerRadius = 13;
  cell->titleLbl()->setText(KVPackageSnapshot::capitalized(review.title.value_or("")));
  cell->nameLbl()->setText(review.name.value_or(""));
  cell->voteLbl()->setAttributedText(KVReviewText::voteLine(review));
  KVReviewText::setStars(cell->ratings(), review.rating.value_or(0));
  cell->commentLbl()->setAttributedText(KVReviewText::cardComment(review, maintainer_));
  if (palette()) {
    cell->view()->setBackgroundColor(palette()->foregroundColor());
    cell->nameLbl()->setTextColor(palette()->primaryTextColor());
    cell->commentLbl()->setTextColor(palette()->primaryTextColor());
  }
  return cell;
}

void AllReviewsViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, true);
  const size_t row = static_cast<size_t>(path.row);
  if (row >= packageReviews_.size() || !navigationController()) return;
  lastPushed_ = std::make_shared<FullReviewViewController>(context_, packageReviews_[row], maintainer_);
  navigationController()->pushViewController(lastPushed_, true);
}
