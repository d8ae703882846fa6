// The workflows that chain calls of the payment client and write what they learn into
// the database.
#include <atomic>

#include "foundation/BlockHelpers.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "payment/KVRepoStoreAPI.h"
#include "payment/KVRepoStoreProtocol.h"
#include "payment/KVRepoStoreRecords.h"

namespace {
bool nonEmpty(const std::optional<std::string>& s) { return s && !s->empty(); }

std::string messageOf(const ErrorRef& error) { return error ? error->localizedDescription() : std::string(); }

// The screens that list the source's packages reload a second later.
void announceSourceLater(const std::string& location) {
  performAfterWithBlock(1, [location] {
    NotificationCenter::defaultCenter().post("KVRSourceUpdatedNotification", Value(location));
  });
}

// On the default-priority queue: the source's endpoint as the answer gives it (a failed
// question clears it), then `stored`.
void storeEndpointAnswer(const std::string& location, bool failed, std::shared_ptr<RepoStoreEndpointResponse> response,
                         std::function<void()> stored) {
  bool hasEndpoint = !failed && response && response->hasEndpoint;
  std::string endpoint = hasEndpoint ? response->endpoint : std::string();
  performOnDefaultThread([location, hasEndpoint, endpoint, stored] {
    if (ErrorRef error = KVRepoStoreRecords::setEndpoint(location, hasEndpoint, endpoint))
      KVLog("ERROR: %s", error->localizedDescription().c_str());
    stored();
  });
}
}  // namespace

bool KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(const std::string& location) {
  auto& api = sharedRepoStore();
  return nonEmpty(api.storedTokenForSourceLocation(location)) && nonEmpty(api.storedSecretForSourceLocation(location));
}

void KVRepoStoreAPI::updadatePurchasedPackagesForSource(const std::string& location) {
  updadatePurchasedPackagesForSource(location, nullptr);
}

void KVRepoStoreAPI::updadatePurchasedPackagesForSource(const std::string& location,
                                                        std::function<void(ErrorRef error)> completion) {
  sharedRepoStore().userInfoForSourceLocation(
      location, [location, completion](bool failed, std::shared_ptr<RepoStoreUserInfoResponse> response) {
        if (failed || !response || response->error) {
          ErrorRef error = response && response->error
                               ? response->error
                               : KVRepoStoreProtocol::makeError(0, "User info request failed");
          KVLog("error: %s", messageOf(error).c_str());
          if (completion) completion(error);
          return;
        }
        KVRepoStoreRecords::updatePurchasesForSource(location, response->purchases, completion);
      });
}

void KVRepoStoreAPI::updatePurchasesForSourceWithLocation(const std::string& location,
                                                          std::shared_ptr<RepoStoreUserInfoResponse> userInfo,
                                                          std::function<void(bool success)> completion) {
  std::vector<std::string> purchases = userInfo ? userInfo->purchases : std::vector<std::string>();
  KVRepoStoreRecords::updatePurchasesForSource(location, purchases, [completion](ErrorRef error) {
    if (completion) completion(error == nullptr);
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
    // Owning nothing is an answer too: marks left from an earlier account or sign-in
    // are cleared like any the user no longer owns.
    if (info->purchases.empty()) KVLog("no purchases found for %s", location.c_str());
    updatePurchasesForSourceWithLocation(location, info, [location, finish](bool written) {
      finish(written);
      announceSourceLater(location);
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

void KVRepoStoreAPI::logoutOfSource(const std::string& location) { logoutOfSource(location, nullptr); }

void KVRepoStoreAPI::logoutOfSource(const std::string& location, std::function<void(bool success)> completion) {
  sharedRepoStore().userSignoutForSourceLocation(
      location, [location, completion](bool, std::shared_ptr<RepoStoreSignoutResponse>) {
        // Whatever the service said, the device no longer shows the source's purchases.
        announceSourceLater(location);
        KVRepoStoreRecords::updatePurchasesForSource(location, {}, [completion](ErrorRef) {
          if (completion) completion(true);
        });
      });
}

void KVRepoStoreAPI::updateEndpointForSourceLocation(const std::string& location,
                                                     std::function<void(bool success)> completion) {
  sharedRepoStore().endpointForSourceLocation(
      location, [location, completion](bool failed, std::shared_ptr<RepoStoreEndpointResponse> response) {
        storeEndpointAnswer(location, failed, response, [completion, failed] {
          if (completion) completion(!failed);
        });
      });
}

void KVRepoStoreAPI::refreshEndpontsForAllSourcesWithCompletion(std::function<void(bool success)> completion) {
  std::vector<std::string> locations = KVRepoStoreRecords::allSourceLocations();
  if (locations.empty()) {
    if (completion) completion(true);
    return;
  }
  // Answers arrive in any order: the refresh has ended when every one is stored, not
  // when the last source of the list happens to answer.
  auto waiting = std::make_shared<std::atomic<size_t>>(locations.size());
  for (const auto& location : locations) {
    sharedRepoStore().endpointForSourceLocation(
        location, [location, waiting, completion](bool failed, std::shared_ptr<RepoStoreEndpointResponse> response) {
          storeEndpointAnswer(location, failed, response, [waiting, completion] {
            if (waiting->fetch_sub(1) == 1 && completion) completion(true);
          });
        });
  }
}
