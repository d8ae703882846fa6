#pragma once
// The packages the user put on the wishlist (the heart of a package's page), read again
// at every appearance, each row opening the package's native page. An empty wishlist
// says so and goes back to the root of the navigation stack. The screen only reads the
// list: a package leaves it on its own page. Opened through KVScreens::wishlist.
#include <memory>
#include <string>
#include <vector>

#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "uikit/UITableView.h"

class UIProgressView;

class PackagesWishlistViewController : public KVPalettedViewController,
                                       public UITableViewDataSource,
                                       public UITableViewDelegate {
 public:
  explicit PackagesWishlistViewController(KVScreenContext context);
  ~PackagesWishlistViewController() override;

  // The wishlisted packages, in the database's order, as read at the last appearance.
  const std::vector<std::string>& packages() const { return packages_; }
  UITableView* wishlistTableView() const { return tableView_.get(); }

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;
  void backSwipe();

  long tableViewNumberOfRowsInSection(UITableView&, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&, const NSIndexPath&) override;
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return 70; }
  void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath&) override;

 private:
  KVScreenContext context_;
  std::vector<std::string> packages_;
  std::shared_ptr<UITableView> tableView_;
  UIProgressView* tasksProgressBar_ = nullptr;
  std::shared_ptr<UIViewController> packagePage_;
};
