#include "payment/KVRepoStoreRefreshServices.h"

#include "payment/KVRepoStoreAPI.h"

void KVRepoStoreRefreshServices::endpointForSourceLocation(const std::string& location,
                                                           EndpointCompletion completion) {
  KVRepoStoreAPI::sharedRepoStore().endpointForSourceLocation(
      location, [completion](bool failed, std::shared_ptr<RepoStoreEndpointResponse> response) {
        if (!completion) return;
        if (!response) return completion(true, false, std::string());
        completion(failed, response->hasEndpoint, response->hasEndpoint ? response->endpoint : std::string());
      });
}

bool KVRepoStoreRefreshServices::hasStoredToken(const std::string& location) {
  auto token = KVRepoStoreAPI::sharedRepoStore().storedTokenForSourceLocation(location);
  return token && !token->empty();
}

void KVRepoStoreRefreshServices::updatePurchasedPackagesForSource(const std::string& location) {
  KVRepoStoreAPI::updadatePurchasedPackagesForSource(location);
}
