#pragma once
// The developers the user follows: every followed name is looked up in the vendor's
// directory at once, and each answer adds its row (avatar, name, "@handle" and an
// unfollow button) in the order the answers come. A name the directory does not know,
// or too short to search for, is listed as it is stored, with the default avatar. A row
// opens the developer's page, or the search tab for a developer the directory does not
// know. Opening the screen clears the mark of new packages by followed developers; with
// nobody followed it goes back to the root of its navigation stack. Opened through
// KVScreens::followedDevelopers.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "account/KVDeveloperProfile.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "interface/SearchCellDelegate.h"
#include "uikit/UITableView.h"

class UIImage;

class FollowedDevelopersViewController : public KVPalettedViewController,
                                         public UITableViewDataSource,
                                         public UITableViewDelegate,
                                         public SearchCellDelegate {
 public:
  explicit FollowedDevelopersViewController(KVScreenContext context);
  ~FollowedDevelopersViewController() override;

  // One profile per row, in answer order.
  const std::vector<KVDeveloperProfile>& followedDevelopersArray() const { return followedDevelopersArray_; }
  const std::map<std::string, std::shared_ptr<UIImage>>& developersAvatarDictionary() const { return avatars_; }
  UITableView* followedDevelopersTableView() const { return tableView_.get(); }
  const std::shared_ptr<UIViewController>& lastPushed() const { return lastPushed_; }

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  // Rebuilds the list from the database and the directory.
  void setContent();
  void followStateChanged() override;
  void showSearchVC();
  void backSwipe();

  long tableViewNumberOfRowsInSection(UITableView&, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&, const NSIndexPath&) override;
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return 56; }
  void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath&) override;

 private:
  // A row for `name` (as stored) from its lookup's answer, in the rebuild `generation`.
  void lookupAnswered(uint64_t generation, const std::string& name, std::optional<KVDeveloperProfile> profile);
  void searchTabFor(const std::string& name);

  KVScreenContext context_;
  std::vector<KVDeveloperProfile> followedDevelopersArray_;
  // The stored name each row stands for: what its button unfollows.
  std::vector<std::string> rowNames_;
  std::map<std::string, std::shared_ptr<UIImage>> avatars_;
  // Answers of an earlier rebuild than this one are dropped.
  uint64_t generation_ = 0;
  std::shared_ptr<UITableView> tableView_;
  std::shared_ptr<UIViewController> lastPushed_;
};
