#pragma once
// The page of one entry of the vendor's repository directory: icon, name, description,
// maintainer and location, and one row, "Add this source", which hands the location to
// the sources manager, or shows "Source Error" when the source is there already (with or
// without its closing "/", over http or https).
#include <memory>
#include <optional>

#include "account/KVSearchedRepo.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "uikit/UITableView.h"

class UIImage;
class UIImageView;
class UILabel;
class UIProgressView;
class UIScrollView;

class SearchedRepoViewController : public KVPalettedViewController,
                                   public UITableViewDataSource,
                                   public UITableViewDelegate {
 public:
  explicit SearchedRepoViewController(KVScreenContext context);
  ~SearchedRepoViewController() override;

  void setSearchedRepo(KVSearchedRepo repository) { searchedRepo_ = std::move(repository); }
  const KVSearchedRepo& searchedRepo() const { return searchedRepo_; }
  void setRepoIcon(std::shared_ptr<UIImage> icon) { repoIcon_ = std::move(icon); }

  void loadView() override;
  void viewDidLoad() override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  long tableViewNumberOfRowsInSection(UITableView&, long) override { return 1; }
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return 44; }
  void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;

  void backSwipe();
  // A source whose location is this one, give or take the closing "/" and the scheme.
  static bool isAlreadyAdded(const std::string& location);

  UIImageView* icon() const { return icon_.get(); }
  UILabel* nameLbl() const { return nameLbl_.get(); }
  UILabel* descriptionLbl() const { return descriptionLbl_.get(); }
  UILabel* sourceMaintainerLbl() const { return sourceMaintainerLbl_.get(); }
  UILabel* sourceURLLbl() const { return sourceURLLbl_.get(); }
  UITableView* addSourceTableView() const { return addSourceTableView_.get(); }

 private:
  KVScreenContext context_;
  KVSearchedRepo searchedRepo_;
  std::shared_ptr<UIImage> repoIcon_;
  std::shared_ptr<UIScrollView> scrollView_;
  std::shared_ptr<UIProgressView> tasksProgressBar_;
  std::shared_ptr<UIImageView> icon_;
  std::shared_ptr<UILabel> nameLbl_, descriptionLbl_, informationTitle_, maintainerLbl_, urlLbl_, sourceMaintainerLbl_,
      sourceURLLbl_;
  std::shared_ptr<UIView> maintainerSeparator_;
  std::shared_ptr<UITableView> addSourceTableView_;
};
