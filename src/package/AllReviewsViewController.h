#pragma once
// Every review of a package, the last the rating service lists first, fetched again at
// each appearance; a row opens the review in full. Pushed by the package page through
// KVScreens::reviews.
#include <memory>
#include <string>
#include <vector>

#include "account/KVReviews.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "uikit/UITableView.h"

class AllReviewsViewController : public KVPalettedViewController,
                                 public UITableViewDataSource,
                                 public UITableViewDelegate {
 public:
  // `maintainer`: the package's maintainer text, whom a reply is shown from.
  AllReviewsViewController(KVScreenContext context, std::string packageIdentifier, std::string maintainer);
  ~AllReviewsViewController() override;

  const std::string& packageIdentifier() const { return packageIdentifier_; }
  const std::string& maintainer() const { return maintainer_; }
  const std::vector<KVReviews>& packageReviews() const { return packageReviews_; }
  UITableView* reviewsTableView() const { return tableView_.get(); }
  const std::shared_ptr<UIViewController>& lastPushed() const { return lastPushed_; }

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  long tableViewNumberOfRowsInSection(UITableView&, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&, const NSIndexPath&) override;
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return 175; }
  void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath&) override;

 private:
  KVScreenContext context_;
  std::string packageIdentifier_, maintainer_;
  std::vector<KVReviews> packageReviews_;
  std::shared_ptr<UITableView> tableView_;
  std::shared_ptr<UIViewController> lastPushed_;
};
