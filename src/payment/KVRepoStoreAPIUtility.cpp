// The workflows that chain calls of the payment client and write what they learn into
// the database.
#include "foundation/BlockHelpers.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "payment/KVRepoStoreAPI.h"
#include "payment/KVRepoStoreRecords.h"

namespace {
bool nonEmpty(const std::optional<std::string>& s) { return s && !s->empty(); }

std::string messageOf(const ErrorRef& error) { return error ? error->localizedDescription() : std::string(); }
}  // namespace

bool KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(const std::string& location) {
  auto& api = sharedRepoStore();
  return nonEmpty(api.storedTokenForSourceLocation(location)) && nonEmpty(api.storedSecretForSourceLocation(location));
}

void KVRepoStoreAPI::updadatePurchasedPackagesForSource(const std::string& location) {
  sharedRepoStore().userInfoForSourceLocation(
      location, [location](bool failed, std::shared_ptr<RepoStoreUserInfoResponse> response) {
        if (failed || response->error) {
          KVLog("error: %s", messageOf(response->error).c_str());
          return;
        }
        KVRepoStoreRecords::updatePurchasesForSource(location, response->purchases);
      });
}

void KVRepoStoreAPI::loginToSource(const std::string& location) { loginToSource(location, nullptr); }

void KVRepoStoreAPI::loginToSource(const std::string& location, std::function<void(bool success)> completion) {
  auto finish = [completion](bool success) {
    if (completion) completion(success);
  };
  auto readPurchases = [location, finish](bool failed, std::shared_ptr<RepoStoreUserInfoResponse> info) {
    if (failed || info->error) {
      KVLog("error: %s", messageOf(info->error).c_str());
      return finish(false);
    }
    if (info->purchases.empty()) {
      KVLog("no purchases found for %s", location.c_str());
      return finish(true);
    }
    KVRepoStoreRecords::updatePurchasesForSource(location, info->purchases, [location, finish](bool written) {
      finish(written);
      performAfterWithBlock(1, [location] {
        NotificationCenter::defaultCenter().post("KVRSourceUpdatedNotification", Value(location));
      });
    });
  };
  sharedRepoStore().userSigninForSourceLocation(
      location, [location, finish, readPurchases](bool failed, std::shared_ptr<RepoStoreSigninResponse> signin) {
        if (failed || signin->error || !signin->success) {
          KVLog("ERROR: %s", messageOf(signin->error).c_str());
          return finish(false);
        }
        sharedRepoStore().userInfoForSourceLocation(location, readPurchases);
      });
}
