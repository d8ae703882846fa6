#pragma once
// The "Stores" screen: a row for every source that offers a payment service, in name
// order, each with its vendor's name and icon as the service describes them (else the
// source's own), and a last row for the outside package store. A row opens that store's
// screen; a pull, or the Refresh button, asks every source for its payment endpoint again
// and the vendors again when the number of stores changed.
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "database/KVRSource.h"
#include "foundation/NotificationToken.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "payment/KVStoreHeader.h"
#include "payment/KVStoreVendorInfo.h"
#include "store/TypedResults.h"
#include "uikit/UITableView.h"

class UIRefreshControl;

class RepoStoresListController : public KVPalettedViewController,
                                 public UITableViewDataSource,
                                 public UITableViewDelegate {
 public:
  explicit RepoStoresListController(KVScreenContext context);
  ~RepoStoresListController() override;

  void viewDidLoad() override;

  long numberOfSectionsInTableView(UITableView&) override { return 1; }
  long tableViewNumberOfRowsInSection(UITableView&, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  std::shared_ptr<UIView> tableViewViewForFooterInSection(UITableView&, long) override;
  double tableViewHeightForFooterInSection(UITableView&, long) override { return 44; }

  std::optional<KVRSource> sourceAtIndexPath(const NSIndexPath& path) const;
  std::optional<NSIndexPath> indexPathForSourceLocation(const std::string& location) const;
  KVStoreVendorInfo vendorInfoForSourceLocation(const std::string& location) const;
  const std::map<std::string, KVStoreVendorInfo>& vendorInfoCollection() const { return vendorInfoCollection_; }
  // Asks every store's vendor again, from an empty collection (on the main thread).
  void fetchVendorInfoForAllSources();
  // Downloads a vendor's icon into its store's information and redraws its row.
  void fetchIconForURL(const std::optional<std::string>& url, const std::optional<std::string>& location);
  // Puts the image into the visible rows of the location.
  void setIcon(std::shared_ptr<UIImage> image, const std::string& location);
  void iconChanged(const Notification& notification);
  // The pull's and the Refresh button's action: `fromPullControl` when the pull started it.
  void refreshEndpointList(bool fromPullControl);

  void paletteWillChangeToStyle(uint32_t style) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;
  std::shared_ptr<UIView> headerView();

  UITableView* tableView() const { return tableView_.get(); }
  UIRefreshControl* refreshControl() const { return refreshControl_.get(); }

 private:
  void vendorInfoArrived(const std::string& location, KVStoreVendorInfo info);
  void iconArrived(const std::string& location, std::shared_ptr<UIImage> image);

  KVScreenContext context_;
  std::shared_ptr<UITableView> tableView_;
  store::TypedResults<KVRSource> commercialSources_;
  NotificationToken commercialSourcesNotification_;
  NotificationToken iconObservation_;
  // Written and read on the main thread only: the vendors' answers arrive on network
  // threads and are handed over there.
  std::map<std::string, KVStoreVendorInfo> vendorInfoCollection_;
  std::shared_ptr<UIRefreshControl> refreshControl_;
  KVStoreHeader header_;
};
