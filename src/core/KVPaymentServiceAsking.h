#pragma once
// What the refresh and the package download ask of a repository's payment service, whose
// client is built above them: the service's address, the credentials the user holds for
// a source, the user's purchases there, and what the service says of one package. The
// composition root hands them the payment client's own.
#include <functional>
#include <optional>
#include <string>

#include "foundation/Expected.h"

class KVPaymentServiceAsking {
 public:
  // The endpoint the repository announced (none when nothing usable), or why the
  // question could not be answered.
  using EndpointCompletion = std::function<void(Expected<std::optional<std::string>> endpoint)>;

  virtual ~KVPaymentServiceAsking() = default;
  // Asks the repository at `location` for its payment endpoint. The completion runs once,
  // on a queue of the client's.
  virtual void endpointForSourceLocation(const std::string& location, EndpointCompletion completion) = 0;
  // Whether a payment token is stored for the source.
  virtual bool hasStoredToken(const std::string& location) = 0;
  // The stored payment token of the source; none when there is none or it is empty.
  virtual std::optional<std::string> storedToken(const std::string& location) = 0;
  // The one repository whose paid packages are fetched without the payment service.
  virtual bool isExemptFromPayment(const std::string& location) = 0;
  // Asks the service what it says of the package (available, price, purchased) and
  // only logs the answer.
  virtual void logPurchaseInfoForPackage(const std::string& identifier) = 0;
  // The address of a request about one package below the service's endpoint ("info",
  // "authorize_download"), joined as every request of the service is.
  virtual std::string packageRequestAddress(const std::string& endpoint, const std::string& identifier,
                                            const std::string& request) = 0;
  // Reads the signed-in user's purchases at the source and marks them paid, in the
  // background; a failure is only logged.
  virtual void updatePurchasedPackagesForSource(const std::string& location) = 0;
};
