#pragma once
// What the refresh asks of a repository's payment service, whose client is built above
// the database: the service's address, whether the user holds credentials for the
// source, and the user's purchases there. The composition root hands it the payment
// client's own.
#include <functional>
#include <string>

class KVPaymentServiceAsking {
 public:
  // `failed`: the question could not be answered. `hasEndpoint` and `endpoint` are what
  // the repository announced (NO and empty when nothing usable).
  using EndpointCompletion = std::function<void(bool failed, bool hasEndpoint, const std::string& endpoint)>;

  virtual ~KVPaymentServiceAsking() = default;
  // Asks the repository at `location` for its payment endpoint. The completion runs once,
  // on a queue of the client's.
  virtual void endpointForSourceLocation(const std::string& location, EndpointCompletion completion) = 0;
  // Whether a payment token is stored for the source.
  virtual bool hasStoredToken(const std::string& location) = 0;
  // Reads the signed-in user's purchases at the source and marks them paid, in the
  // background; a failure is only logged.
  virtual void updatePurchasedPackagesForSource(const std::string& location) = 0;
};
