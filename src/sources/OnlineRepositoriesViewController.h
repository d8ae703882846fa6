#pragma once
// The vendor's directory of repositories, opened from the categories tab: one row per
// entry (icon, name, two lines of description), read once when the screen loads. A row
// opens the entry's page; the search button switches to the search tab, the directory
// staying where it is.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "account/KVSearchedRepo.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "uikit/UITableView.h"

class KVRequestFailureView;
class UIImage;

class OnlineRepositoriesViewController : public KVPalettedViewController,
                                         public UITableViewDataSource,
                                         public UITableViewDelegate {
 public:
  explicit OnlineRepositoriesViewController(KVScreenContext context);
  ~OnlineRepositoriesViewController() override;

  void loadView() override;
  void viewDidLoad() override;
  void viewWillTransitionToSize(CGSize size, UIViewControllerTransitionCoordinator& coordinator) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  long tableViewNumberOfRowsInSection(UITableView& table, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return 56; }
  void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;

  void showSearchVC();
  void refreshTableView(UITableView& table, const NSIndexPath& path);
  void backSwipe();

  const std::vector<KVSearchedRepo>& repositoriesArray() const { return repositoriesArray_; }
  const std::map<std::string, std::shared_ptr<UIImage>>& repositoriesIconsDictionary() const { return icons_; }
  UITableView* repositoriesTableView() const { return tableView_.get(); }
  // Why the directory could not be read, and "Try Again"; hidden while there is no failure.
  KVRequestFailureView* failureView() const { return failureView_.get(); }

 private:
  // Reads the directory into the rows.
  void listRepositories();

  KVScreenContext context_;
  std::vector<KVSearchedRepo> repositoriesArray_;
  std::map<std::string, std::shared_ptr<UIImage>> icons_;
  // Names whose icon is on its way: asked for once.
  std::map<std::string, bool> asked_;
  std::shared_ptr<UITableView> tableView_;
  std::shared_ptr<UIViewController> lastPushed_;
  std::shared_ptr<KVRequestFailureView> failureView_;
};
