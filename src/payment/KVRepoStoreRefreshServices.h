#pragma once
// The payment client's answer to what the source refresh asks of a repository's payment
// service: the endpoint question, the stored token and the purchases update.
#include "core/KVPaymentServiceAsking.h"

class KVRepoStoreRefreshServices : public KVPaymentServiceAsking {
 public:
  void endpointForSourceLocation(const std::string& location, EndpointCompletion completion) override;
  bool hasStoredToken(const std::string& location) override;
  void updatePurchasedPackagesForSource(const std::string& location) override;
};
