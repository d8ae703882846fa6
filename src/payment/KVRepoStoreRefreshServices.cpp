#include "payment/KVRepoStoreRefreshServices.h"

#include "core/KVErrorDomain.h"
#include "foundation/Log.h"
#include "payment/KVRepoStoreAPI.h"

void KVRepoStoreRefreshServices::endpointForSourceLocation(const std::string& location,
                                                           EndpointCompletion completion) {
  KVRepoStoreAPI::sharedRepoStore().endpointForSourceLocation(
      location, [completion, location](bool failed, std::shared_ptr<RepoStoreEndpointResponse> response) {
        if (!completion) return;
        if (failed || !response) {
          ErrorRef error = response ? response->error : nullptr;
          return completion(error ? error : makeError(KVErrorDomain, KVErrorPaymentService,
                                                      "The payment endpoint of " + location + " could not be asked"));
        }
        completion(response->hasEndpoint ? std::optional<std::string>(response->endpoint) : std::nullopt);
      });
}

bool KVRepoStoreRefreshServices::hasStoredToken(const std::string& location) {
  return storedToken(location).has_value();
}

std::optional<std::string> KVRepoStoreRefreshServices::storedToken(const std::string& location) {
  auto token = KVRepoStoreAPI::sharedRepoStore().storedTokenForSourceLocation(location);
  if (!token || token->empty()) return std::nullopt;
  return token;
}

bool KVRepoStoreRefreshServices::isExemptFromPayment(const std::string& location) {
  return KVRepoStoreAPI::sourceWithLoacationIsBlacklisted(location);
}

void KVRepoStoreRefreshServices::logPurchaseInfoForPackage(const std::string& identifier) {
  KVRepoStoreAPI::sharedRepoStore().purchaseInfoForPackageWithIdentifier(
      identifier, [](bool, std::shared_ptr<RepoStorePackageInfoResponse> info) {
        KVLog("Package available: %d price: %s purchased: %d error: %s", info->available ? 1 : 0, info->price.c_str(),
              info->purchased ? 1 : 0, info->error ? info->error->localizedDescription().c_str() : "(null)");
      });
}

void KVRepoStoreRefreshServices::updatePurchasedPackagesForSource(const std::string& location) {
  KVRepoStoreAPI::updadatePurchasedPackagesForSource(location);
}

std::string KVRepoStoreRefreshServices::packageRequestAddress(const std::string& endpoint, const std::string& identifier,
                                                              const std::string& request) {
  return request == "info" ? KVRepoStoreAPI::packageInfoAddress(endpoint, identifier)
                           : KVRepoStoreAPI::authorizeDownloadAddress(endpoint, identifier);
}
