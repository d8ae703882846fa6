#pragma once
// A developer of the vendor's directory: the avatar, name and biography, the links the
// profile has (location, repository, website, code page, social profile, e-mail) in that
// order, two of the packages whose maintainer text is exactly the developer's name with
// a button to see them all, and Follow or Unfollow in the navigation bar. Pushed by the
// search tab and the followed developers; presented, with "Close", by the developer
// link. Opened through KVScreens::developer.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "account/KVDeveloperProfile.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "uikit/UITableView.h"

class NSLayoutConstraint;
class UIBarButtonItem;
class UIButton;
class UIImage;
class UIImageView;
class UILabel;
class UIProgressView;
class UIScrollView;

class DeveloperDetailsViewController : public KVPalettedViewController,
                                       public UITableViewDataSource,
                                       public UITableViewDelegate {
 public:
  // `img`: an avatar the opener already holds (none: the page fetches the profile's).
  DeveloperDetailsViewController(KVScreenContext context, KVDeveloperProfile developerProfile,
                                 std::shared_ptr<UIImage> img, bool isShownModally);
  ~DeveloperDetailsViewController() override;

  const KVDeveloperProfile& developerProfile() const { return developerProfile_; }
  bool isShownModally() const { return isShownModally_; }
  bool isFollowed() const { return isFollowed_; }
  UIBarButtonItem* followedBtn() const { return followedBtn_.get(); }
  const std::vector<std::string>& developerInformationsKeys() const { return informationKeys_; }
  const std::vector<std::string>& developerInformationsValues() const { return informationValues_; }
  // The identifiers of the developer's packages, in the database's order.
  const std::vector<std::string>& devPackages() const { return devPackages_; }

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewDidLayoutSubviews() override;
  void viewWillTransitionToSize(CGSize size, UIViewControllerTransitionCoordinator& coordinator) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;
  void registerScreenNotifications() override;

  void getDeveloperInformations();
  void setContent();
  void changeIsDeveloperFollowedState();
  void seeAllPkgFromThisDev();
  void iconChanged(const Notification& notification);
  void dismissVC();
  void backSwipe();

  long tableViewNumberOfRowsInSection(UITableView&, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&, const NSIndexPath&) override;
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override;
  void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath&) override;

  // Outlets (valid once the view is loaded).
  UIScrollView* scrollView() const { return scrollView_; }
  UIImageView* avatar() const { return avatar_; }
  UILabel* nameLbl() const { return nameLbl_; }
  UILabel* bioLbl() const { return bioLbl_; }
  UILabel* informationsTitle() const { return informationsTitle_; }
  UITableView* informationsTableView() const { return informationsTableView_; }
  UILabel* pkgByThisDevTitle() const { return pkgByThisDevTitle_; }
  UIButton* seeAllPkgByThisDevBtn() const { return seeAllPkgByThisDevBtn_; }
  UITableView* pkgByThisDevTableView() const { return pkgByThisDevTableView_; }
  UILabel* noPackagesLbl() const { return noPackagesLbl_; }
  UIProgressView* tasksProgressBar() const { return tasksProgressBar_; }
  NSLayoutConstraint* informationsTableViewHeightConstraint() const { return informationsHeight_.get(); }
  NSLayoutConstraint* pkgByThisDevTableViewHeightConstraint() const { return packagesHeight_.get(); }
  // The screen last pushed from here (a browser, a package page, the whole list).
  const std::shared_ptr<UIViewController>& lastPushed() const { return lastPushed_; }

 private:
  void informationRowSelected(const std::string& key, const std::string& value);
  void push(std::shared_ptr<UIViewController> screen);
  std::string fullName() const { return developerProfile_.fullName.value_or(""); }

  KVScreenContext context_;
  KVDeveloperProfile developerProfile_;
  std::shared_ptr<UIImage> img_;
  bool isShownModally_ = false;
  bool isFollowed_ = false;
  std::shared_ptr<UIBarButtonItem> followedBtn_;
  std::vector<std::string> informationKeys_, informationValues_;
  std::vector<std::string> devPackages_;
  std::shared_ptr<UIViewController> lastPushed_;

  UIProgressView* tasksProgressBar_ = nullptr;
  UIScrollView* scrollView_ = nullptr;
  UIView* contentView_ = nullptr;
  UIImageView* avatar_ = nullptr;
  UILabel* nameLbl_ = nullptr;
  UILabel* bioLbl_ = nullptr;
  UILabel* informationsTitle_ = nullptr;
  UITableView* informationsTableView_ = nullptr;
  UILabel* pkgByThisDevTitle_ = nullptr;
  UIButton* seeAllPkgByThisDevBtn_ = nullptr;
  UITableView* pkgByThisDevTableView_ = nullptr;
  UILabel* noPackagesLbl_ = nullptr;
  std::shared_ptr<NSLayoutConstraint> bioTop_, informationsTitleTop_, informationsTitleTopToName_, informationsHeight_;
  std::shared_ptr<NSLayoutConstraint> seeAllTop_, seeAllWidth_, seeAllHeight_, packagesTop_, packagesHeight_;
  std::shared_ptr<NSLayoutConstraint> noPackagesTop_, noPackagesBottom_;
};
