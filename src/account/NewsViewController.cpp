#include "account/NewsViewController.h"

#include "account/KVNewsRetrieval.h"
#include "account/NewsCell.h"
#include "account/NewsDetailsViewController.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "interface/ErrorViewController.h"
#include "interface/KVRequestFailureView.h"
#include "uikit/UIApplication.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIProgressView.h"
#include "uikit/UIScreen.h"

NewsViewController::NewsViewController(KVScreenContext context) : context_(std::move(context)) {}

void NewsViewController::loadView() {
  KVPalettedViewController::loadView();
  newsTableView_ = std::make_shared<UITableView>(UIScreen::mainScreen().bounds(), UITableViewStylePlain);
  view()->addSubview(newsTableView_);
  tasksProgressBar_ = std::make_shared<UIProgressView>();
  view()->addSubview(tasksProgressBar_);
  failureView_ = std::make_shared<KVRequestFailureView>(UIScreen::mainScreen().bounds());
  view()->addSubview(failureView_);
}

void NewsViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  tasksProgressBar_->setHidden(true);
  setTitle(NSLocalizedString("News"));
  newsTableView_->setTableDelegate(this);
  newsTableView_->setDataSource(this);
  newsTableView_->registerNib("NewsCell", "cell");
  UIApplication::sharedApplication().setApplicationIconBadgeNumber(0);
}

void NewsViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  if (auto* navigation = navigationController()) navigation->setNavigationBarHidden(false, true);
  fetchNews();
  newsTableView_->setBackgroundColor(UIColor::clearColor());
  newsTableView_->setSeparatorColor(UIColor::clearColor());
}

void NewsViewController::viewWillDisappear(bool animated) {
  KVPalettedViewController::viewWillDisappear(animated);
  if (auto* navigation = navigationController()) navigation->setNavigationBarHidden(true, true);
}

void NewsViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  view()->setBackgroundColor(palette->backgroundColor());
  if (newsTableView_) newsTableView_->reloadData();
}

void NewsViewController::fetchNews() {
  const uint64_t fetch = ++fetches_;
  // The table forgets the old rows as the list does.
  newsArray_.clear();
  newsTableView_->reloadData();
  KVNewsRetrieval::instance().fetchNewsWithCompletionHandler(
      [weak = weakSelf(this), fetch](std::optional<std::string> status) {
        performOnMainThread([weak, fetch, status] {
          if (auto self = weak.lock()) self->newsArrived(fetch, status);
        });
      });
}

void NewsViewController::newsArrived(uint64_t fetch, const std::optional<std::string>& status) {
  if (fetch != fetches_) return;
  if (status != "Success") {
    // Once the card is closed, the list says why it is empty and offers to ask again.
    failureView_->showFailure(NSLocalizedFormat("The news could not be loaded: %@", {status.value_or("")}),
                              [this] { fetchNews(); });
    auto card = std::make_shared<ErrorViewController>();
    card->setModalPresentationStyle(UIModalPresentationOverFullScreen);
    card->setDelegate(weakSelf(this));
    card->showWithTitle(NSLocalizedString("News Retrieval"),
                        NSLocalizedFormat("There was an error during the news retrieval: %@", {status.value_or("")}), 1,
                        NSLocalizedString("OK"), std::nullopt, std::string());
    presentViewController(card, true);
    return;
  }
  failureView_->hide();
  newsArray_ = KVNewsRetrieval::instance().news().value_or(std::vector<KVNews>{});
  newsTableView_->reloadData();
}

std::shared_ptr<UITableViewCell> NewsViewController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                  const NSIndexPath& path) {
  auto cell = std::static_pointer_cast<NewsCell>(table.dequeueReusableCellWithIdentifier("cell", path));
  cell->setBackgroundColor(UIColor::clearColor());
  const KVNews& entry = newsArray_.at(size_t(path.row));
  cell->newsTitleLbl()->setText(entry.title.value_or(""));
  cell->newsAuthorLbl()->setText(NSLocalizedFormat("by %@", {entry.author.value_or("")}));
  cell->newsDateLbl()->setText(entry.date.value_or(""));
  cell->newsContentLbl()->setText(entry.content.value_or(""));
  if (palette()) cell->newsTitleLbl()->setTextColor(palette()->primaryTextColor());
  cell->separator()->setHidden(size_t(path.row) + 1 == newsArray_.size());
  return cell;
}

void NewsViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, true);
  if (path.row < 0 || size_t(path.row) >= newsArray_.size()) return;
  auto details = std::make_shared<NewsDetailsViewController>(newsArray_[size_t(path.row)]);
  presentViewController(details, true);
}
