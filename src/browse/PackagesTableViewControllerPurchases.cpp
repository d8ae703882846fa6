// The purchased packages' list: its rows are the packages marked bought, which the
// payment services of the sources signed in to are asked for when it loads; a service
// that could not answer is said over the rows, with a way to ask again.
#include "browse/PackagesTableViewController.h"

#include "database/KVRSource.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "interface/KVRequestFailureView.h"
#include "payment/KVRepoStoreAPI.h"

void PackagesTableViewController::askPurchases() {
  std::vector<std::string> locations;
  if (sourceLocation_) {
    locations.push_back(*sourceLocation_);
  } else {
    for (const Value& location : KVRSource::objectsWhere("hasEndpoint = 1").valuesForKey("location"))
      locations.push_back(location.asString());
  }
  std::erase_if(locations, [](const std::string& location) {
    return !KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(location);
  });
  const uint64_t asking = ++purchasesAsking_;
  purchasesPending_ = locations.size();
  purchaseFailures_.clear();
  if (locations.empty()) return purchasesAnswered(asking, {}, nullptr);
  for (const auto& location : locations)
    KVRepoStoreAPI::updadatePurchasedPackagesForSource(location, [weak = weakSelf(this), asking, location](ErrorRef error) {
      performOnMainThread([weak, asking, location, error] {
        if (auto self = weak.lock()) self->purchasesAnswered(asking, location, error);
      });
    });
}

void PackagesTableViewController::purchasesAnswered(uint64_t asking, const std::string& location, ErrorRef error) {
  if (asking != purchasesAsking_) return;  // a later asking owns the screen
  if (error) {
    auto source = KVRSource::objectForPrimaryKey(location);
    std::string name = source && source->name() && !source->name()->empty() ? *source->name() : location;
    purchaseFailures_.push_back(name + ": " + error->localizedDescription());
  }
  if (purchasesPending_ > 0 && --purchasesPending_ > 0) return;
  rebuildCache();
  if (!purchaseFailures_.empty()) {
    std::string reasons;
    for (const auto& failure : purchaseFailures_) reasons += (reasons.empty() ? "" : "\n") + failure;
    failureView_->showFailure(NSLocalizedFormat("The purchased packages could not be loaded:\n%@", {reasons}),
                              [weak = weakSelf(this)] {
                                if (auto self = weak.lock()) self->askPurchases();
                              });
  } else if (packages_.results().isValid() && packages_.size() == 0) {
    failureView_->showMessage(NSLocalizedString("There are no purchased packages."));
  } else {
    failureView_->hide();
  }
}
