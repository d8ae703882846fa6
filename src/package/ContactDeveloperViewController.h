#pragma once
// The small page about a package's developer, pushed from the package page's developer
// card: the round avatar and the name, Follow or Unfollow, the contact rows (Twitter:
// the Twitter application when it can be opened, else the profile in the in-app
// browser; Email: the system's mail link) and the donation rows (PayPal; Other, which
// opens nothing). Opened through KVScreens::contactDeveloper.
#include <memory>
#include <string>
#include <vector>

#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "interface/KVScreens.h"
#include "uikit/UITableView.h"

class NSLayoutConstraint;
class UIBarButtonItem;
class UIImageView;
class UILabel;
class UIProgressView;
class UIScrollView;

class ContactDeveloperViewController : public KVPalettedViewController,
                                       public UITableViewDataSource,
                                       public UITableViewDelegate {
 public:
  ContactDeveloperViewController(KVScreenContext context, KVContactDeveloperInputs inputs);
  ~ContactDeveloperViewController() override;

  const KVContactDeveloperInputs& inputs() const { return inputs_; }
  bool isFollowed() const { return isFollowed_; }
  UIBarButtonItem* followedBtn() const { return followedBtn_.get(); }
  const std::vector<std::string>& donationLinks() const { return donationLinks_; }

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void paletteWillChangeToStyle(uint32_t style) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  void setContent();
  void changeIsDeveloperFollowedState();

  long tableViewNumberOfRowsInSection(UITableView&, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&, const NSIndexPath&) override;
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return 44; }
  void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath&) override;

  // Outlets (valid once the view is loaded).
  UIImageView* authorIcon() const { return authorIcon_; }
  UILabel* authorLbl() const { return authorLbl_; }
  UIImageView* verifiedIcon() const { return verifiedIcon_; }
  UITableView* contactTableView() const { return contactTableView_; }
  UILabel* donationLinksTitle() const { return donationLinksTitle_; }
  UITableView* donationLinksTableView() const { return donationLinksTableView_; }
  NSLayoutConstraint* donationLinksTableViewHeightConstraint() const { return donationHeight_.get(); }
  const std::shared_ptr<UIViewController>& lastPushed() const { return lastPushed_; }

 private:
  void openTwitter();
  void showCard(const std::string& title, const std::string& message);
  void push(std::shared_ptr<UIViewController> screen);

  KVScreenContext context_;
  KVContactDeveloperInputs inputs_;
  bool isFollowed_ = false;
  std::shared_ptr<UIBarButtonItem> followedBtn_;
  std::vector<std::string> donationLinks_;
  std::shared_ptr<UIViewController> lastPushed_;

  UIProgressView* tasksProgressBar_ = nullptr;
  UIScrollView* scrollView_ = nullptr;
  UIImageView* authorIcon_ = nullptr;
  UILabel* authorLbl_ = nullptr;
  UIImageView* verifiedIcon_ = nullptr;
  UITableView* contactTableView_ = nullptr;
  UILabel* donationLinksTitle_ = nullptr;
  UITableView* donationLinksTableView_ = nullptr;
  std::shared_ptr<NSLayoutConstraint> donationHeight_;
};
