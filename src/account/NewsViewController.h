#pragma once
// The vendor's news: a list of the entries fetched afresh each time it appears (a failed
// fetch leaves it empty and says why on a card), and a row opens the entry's page.
// Opening the list clears the application's badge. Opened through KVScreens::news (the
// featured screen pushes it; the application delegate presents it when it announces news).
#include <cstdint>
#include <memory>
#include <vector>

#include "account/KVNews.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "uikit/UITableView.h"

class KVRequestFailureView;
class UIProgressView;

class NewsViewController : public KVPalettedViewController, public UITableViewDataSource, public UITableViewDelegate {
 public:
  static constexpr double kRowHeight = 134;

  explicit NewsViewController(KVScreenContext context);

  const std::vector<KVNews>& newsArray() const { return newsArray_; }
  UITableView* newsTableView() const { return newsTableView_.get(); }
  UIProgressView* tasksProgressBar() const { return tasksProgressBar_.get(); }
  // Why the news could not be read, and "Try Again"; hidden while there is no failure.
  KVRequestFailureView* failureView() const { return failureView_.get(); }

  // Empties the list, on screen too, and asks the service again.
  void fetchNews();

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewWillDisappear(bool animated) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  long numberOfSectionsInTableView(UITableView&) override { return 1; }
  long tableViewNumberOfRowsInSection(UITableView&, long) override { return long(newsArray_.size()); }
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return kRowHeight; }

 private:
  // What the fetch numbered `fetch` answered (main thread); an older fetch's answer is
  // not shown over a newer one.
  void newsArrived(uint64_t fetch, const std::optional<std::string>& status);

  KVScreenContext context_;
  std::vector<KVNews> newsArray_;
  uint64_t fetches_ = 0;
  std::shared_ptr<UITableView> newsTableView_;
  std::shared_ptr<UIProgressView> tasksProgressBar_;
  std::shared_ptr<KVRequestFailureView> failureView_;
};
