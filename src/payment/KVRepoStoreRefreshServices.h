#pragma once
// The payment client's answer to what the source refresh asks of a repository's payment
// service: the endpoint question, the stored token, the purchases update and what the
// service says of one package.
#include "core/KVPaymentServiceAsking.h"

class KVRepoStoreRefreshServices : public KVPaymentServiceAsking {
 public:
  void endpointForSourceLocation(const std::string& location, EndpointCompletion completion) override;
  bool hasStoredToken(const std::string& location) override;
  std::optional<std::string> storedToken(const std::string& location) override;
  bool isExemptFromPayment(const std::string& location) override;
  void logPurchaseInfoForPackage(const std::string& identifier) override;
  std::string packageRequestAddress(const std::string& endpoint, const std::string& identifier,
                                    const std::string& request) override;
  void updatePurchasedPackagesForSource(const std::string& location) override;
};
