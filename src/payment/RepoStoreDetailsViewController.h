#pragma once
// One store: its vendor's icon, the signed-in user's name and e-mail address, a sign-in
// or sign-out button, and the packages the user bought there, by name. A repository's
// store signs in and out through its payment service and reads the user's purchases
// there (a pull, or Refresh, reads them again); the outside store takes its sign-in state
// from the preference its account page keeps, and its button opens that page. A
// package row opens the package as every list does. The stores list makes it.
#include <memory>
#include <optional>
#include <string>

#include "database/KVRPackage.h"
#include "foundation/NotificationToken.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "payment/KVStoreHeader.h"
#include "payment/KVStoreVendorInfo.h"
#include "store/TypedResults.h"
#include "uikit/UITableView.h"

class UIButton;
class UIRefreshControl;

class RepoStoreDetailsViewController : public KVPalettedViewController,
                                       public UITableViewDataSource,
                                       public UITableViewDelegate {
 public:
  // The store at `location` (a repository's, or the outside store's location); without
  // vendor information the screen counts it as an error in reading it.
  RepoStoreDetailsViewController(KVScreenContext context, std::string location,
                                 std::optional<KVStoreVendorInfo> vendorInfo);
  ~RepoStoreDetailsViewController() override;

  const std::string& sourceLocation() const { return sourceLocation_; }
  const KVStoreVendorInfo& vendorInfo() const { return vendorInfo_; }
  bool isCydiaStore() const { return isCydiaStore_; }
  bool errorRetreivingVendorInfo() const { return errorRetreivingVendorInfo_; }
  bool isSignedIn() const { return isSignedIn_; }
  bool hasZeroPackages() const { return hasZeroPackages_; }

  void viewDidLoad() override;

  // The state and the header, on the main thread.
  void setSignedIn(bool signedIn);
  void logInOutButtonPressed();
  // Reads the user's data again; `fromPullControl` when the pull started it.
  void refreshUserInfo(bool fromPullControl);
  void cydiaSigninChanged(const Notification& notification);
  void iconChanged(const Notification& notification);
  std::optional<KVRPackage> packageAtIndexPath(const NSIndexPath& path) const;
  std::shared_ptr<UIView> headerView();

  long numberOfSectionsInTableView(UITableView&) override { return 1; }
  long tableViewNumberOfRowsInSection(UITableView&, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  std::shared_ptr<UIView> tableViewViewForFooterInSection(UITableView&, long) override;
  double tableViewHeightForFooterInSection(UITableView&, long) override { return 44; }

  void paletteWillChangeToStyle(uint32_t style) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  UITableView* tableView() const { return tableView_.get(); }
  UIRefreshControl* refreshControl() const { return refreshControl_.get(); }
  UIButton* signInOutButton() const { return button_.get(); }
  UILabel* userNameLabel() const { return header_.title; }
  UILabel* emailLabel() const { return header_.subtitle; }

 private:
  bool showsPackages() const { return isSignedIn_ && !hasZeroPackages_; }
  std::shared_ptr<UITableViewCell> bannerCell(UITableView& table);
  void userInfoArrived(const std::string& name, const std::string& email, bool hasPurchases);

  KVScreenContext context_;
  std::string sourceLocation_;
  KVStoreVendorInfo vendorInfo_;
  bool isCydiaStore_ = false;
  bool errorRetreivingVendorInfo_ = false;
  bool isSignedIn_ = false;
  bool hasZeroPackages_ = false;
  store::TypedResults<KVRPackage> purchasedPackages_;
  NotificationToken purchasedPackagesNotification_;
  NotificationToken sourceIconObservation_, packageIconObservation_, signinObservation_;
  std::shared_ptr<UITableView> tableView_;
  std::shared_ptr<UIRefreshControl> refreshControl_;
  std::shared_ptr<UIButton> button_;
  KVStoreHeader header_;
};
