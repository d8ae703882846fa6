#include "payment/KVRepoStoreAPI.h"

#include "account/KVKeychainBindings.h"
#include "core/KVErrorDomain.h"
#include "core/KVPlatform.h"
#include "core/KVReplyLimits.h"
#include "core/KVServiceCall.h"
#include "core/NSURLSessionConfigurationNoCache.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Log.h"
#include "payment/KVRepoStoreProtocol.h"
#include "payment/KVRepoStoreRecords.h"

using namespace KVRepoStoreProtocol;

namespace {
std::string tokenKey(const std::string& location) { return location + "_token"; }
std::string secretKey(const std::string& location) { return location + "_payment"; }

using Acceptance = KVServiceCall::Acceptance;

// Sends one request on a session of its own; the reply comes on that session's queue.
void send(const URLRequest& request, const Acceptance& acceptance, KVServiceCall::Handler handler) {
  URLSessionConfiguration configuration = NSURLSessionConfigurationNoCache::noCacheConfigureation();
  configuration.replyLimits = KVReplyLimits::kPaymentService;
  KVServiceCall::send(request, configuration, acceptance, std::move(handler));
}

// A failed check before any request: code 0, logged, completion at once.
template <typename R>
void failCheck(const KVRepoStoreAPI::Completion<R>& completion, const std::shared_ptr<R>& response,
               const std::string& message) {
  response->error = makeError(0, message);
  KVLog("ERROR: %s", message.c_str());
  if (completion) completion(true, response);
}

void logError(const ErrorRef& error) { KVLog("ERROR: %s", error->localizedDescription().c_str()); }

std::optional<std::string> nonEmpty(std::optional<std::string> s) {
  if (s && s->empty()) return std::nullopt;
  return s;
}

ErrorRef noEndpointError(const std::string& location) {
  Value info = Value::dict({{NSLocalizedDescriptionKey, "unsupported URL"},
                            {NSLocalizedFailureReasonErrorKey, "The source " + location + " has no payment endpoint"}});
  return ::makeError(NSURLErrorDomain, NSURLErrorUnsupportedURL, std::move(info));
}

// The checks of one operation before it sends anything. Each failure completes the call
// at once with "<prefix>, <what failed>"; the caller then returns.
template <typename R>
class Checks {
 public:
  Checks(const char* prefix, const KVRepoStoreAPI::Completion<R>& completion, const std::shared_ptr<R>& response)
      : prefix_(prefix), completion_(completion), response_(response) {}

  void fail(const std::string& what) const { failCheck(completion_, response_, std::string(prefix_) + ", " + what); }

  // The source record of a location the caller gave, which must not be empty.
  std::optional<KVRepoStoreRecords::Source> source(const std::string& location) const {
    if (location.empty()) {
      fail("missing source location");
      return std::nullopt;
    }
    return record(location);
  }
  // The source record of a location read from a package record.
  std::optional<KVRepoStoreRecords::Source> record(const std::string& location) const {
    auto source = KVRepoStoreRecords::sourceWithLocation(location);
    if (!source) fail(qblog::format("source with url:(%s) can't be found", location.c_str()));
    return source;
  }
  // The source location of the package with that identifier.
  std::optional<std::string> packageSourceLocation(const std::string& identifier) const {
    if (identifier.empty()) {
      fail("missing identifier");
      return std::nullopt;
    }
    auto location = KVRepoStoreRecords::sourceLocationOfPackage(identifier);
    if (!location) fail(qblog::format("package with identifier:(%s) can't be found", identifier.c_str()));
    return location;
  }
  void notSignedIn(const std::string& location) const {
    fail(qblog::format("user not signed in to source with url:(%s)", location.c_str()));
  }
  // A request to the source's service; without an endpoint to form its address from,
  // the call fails as the transport would.
  std::optional<URLRequest> request(const KVRepoStoreRecords::Source& source, const std::string& path,
                                    const std::string& method, const std::optional<Value>& body = std::nullopt) const {
    if (trim(source.endpoint).empty()) {
      response_->error = noEndpointError(source.location);
      logError(response_->error);
      if (completion_) completion_(true, response_);
      return std::nullopt;
    }
    return makeRequest(URL::fromString(joinAddress(source.endpoint, path)), method, body);
  }

 private:
  const char* prefix_;
  const KVRepoStoreAPI::Completion<R>& completion_;
  const std::shared_ptr<R>& response_;
};

// The members every package and user request sends besides the token.
Value deviceMembers(Value members) {
  members.set("udid", KVPlatform::deviceUDID().value_or(""));
  members.set("device", KVPlatform::deviceModelID());
  return members;
}

// Sends a request whose reply must pass acceptance. A failure completes the call with
// failed YES after one log line: "<check> failed for (<subject>) with error: (...)"
// naming the transport error or the status when `check` is given, else the error's
// message. An accepted reply goes to `read`, which answers the failed flag, or nothing
// when the completion is kept for later.
template <typename R>
void sendAccepted(const URLRequest& request, std::shared_ptr<R> response, KVRepoStoreAPI::Completion<R> completion,
                  const char* statusMessage, std::string parseMessage,
                  std::function<std::optional<bool>(const Value& json, int status)> read,
                  const char* check = nullptr, std::string subject = {}) {
  Acceptance acceptance{Acceptance::Body::JSONObject, statusMessage, std::move(parseMessage)};
  send(request, acceptance, [=](Expected<KVServiceReply> reply) {
    if (!reply) {
      const ErrorRef& error = reply.error();
      if (check)
        KVLog("%s failed for (%s) with error: (%s)", check, subject.c_str(),
              error->domain == KVErrorDomain ? qblog::format("status: %ld", long(error->code)).c_str()
                                             : error->localizedDescription().c_str());
      else
        logError(error);
      response->error = error;
      if (completion) completion(true, response);
      return;
    }
    std::optional<bool> failed = read(reply->json(), reply->status());
    if (failed && completion) completion(*failed, response);
  });
}
}  // namespace

KVRepoStoreAPI& KVRepoStoreAPI::sharedRepoStore() {
  static KVRepoStoreAPI* api = new KVRepoStoreAPI();
  return *api;
}

namespace {
std::mutex gBlacklistMutex;
std::string& blacklistedLocation() {
  static std::string location = KVRepoStoreAPI::kBlacklistedSourceLocation;
  return location;
}
}  // namespace

bool KVRepoStoreAPI::sourceWithLoacationIsBlacklisted(const std::string& location) {
  std::lock_guard<std::mutex> lock(gBlacklistMutex);
  return location == blacklistedLocation();
}

void KVRepoStoreAPI::setBlacklistedSourceLocation(const std::string& location) {
  std::lock_guard<std::mutex> lock(gBlacklistMutex);
  blacklistedLocation() = location;
}

std::optional<std::string> KVRepoStoreAPI::storedTokenForSourceLocation(const std::string& location) const {
  if (location.empty()) return std::nullopt;
  return KVKeychainBindings::sharedKeychainBindings().objectForKey(tokenKey(location));
}

std::optional<std::string> KVRepoStoreAPI::storedSecretForSourceLocation(const std::string& location) const {
  if (location.empty()) return std::nullopt;
  return KVKeychainBindings::sharedKeychainBindings().objectForKey(secretKey(location));
}

void KVRepoStoreAPI::invalidateCredentialsForSourceLocation(const std::string& location) {
  auto& keychain = KVKeychainBindings::sharedKeychainBindings();
  keychain.removeObjectForKey(tokenKey(location));
  keychain.removeObjectForKey(secretKey(location));
}

std::string KVRepoStoreAPI::packageInfoAddress(const std::string& endpoint, const std::string& identifier) {
  return joinAddress(endpoint, "package/" + identifier + "/info");
}

std::string KVRepoStoreAPI::authorizeDownloadAddress(const std::string& endpoint, const std::string& identifier) {
  return joinAddress(endpoint, "package/" + identifier + "/authorize_download");
}

void KVRepoStoreAPI::endpointForSourceLocation(const std::string& location,
                                               Completion<RepoStoreEndpointResponse> completion) {
  auto response = KVRepoStoreResponseFactory::endpointResponse();
  if (sourceWithLoacationIsBlacklisted(location))
    return failCheck(completion, response, "Endpoint request failed, source is blacklisted");
  if (location.empty()) return failCheck(completion, response, "Endpoint request failed, missing source location");
  // A plain GET: no factory headers.
  URLRequest request(URL::fromString(joinAddress(location, "payment_endpoint")));
  request.setReplyLimits(KVReplyLimits::kPaymentEndpoint);
  Acceptance acceptance;
  acceptance.statusMessage = "Endpoint request failed, communication with the server failed (%ld)";
  send(request, acceptance, [location, response, completion](Expected<KVServiceReply> reply) {
    bool failed = true;
    if (!reply) response->error = reply.error();
    else readEndpointReply(location, reply->body(), reply->status(), *response, &failed);
    if (response->error) logError(response->error);
    if (completion) completion(failed, response);
  });
}

void KVRepoStoreAPI::vendorInfoForSourceLocation(const std::string& location,
                                                 Completion<RepoStoreVendorInfoResponse> completion) {
  auto response = KVRepoStoreResponseFactory::vendorInfoResponse();
  Checks check("Vendor info request failed", completion, response);
  auto source = check.source(location);
  if (!source) return;
  auto request = check.request(*source, "info", "GET");
  if (!request) return;
  sendAccepted<RepoStoreVendorInfoResponse>(*request,
                     response, completion, "Vendor info request failed, communication with the server failed (%ld)",
                     "Vendor info request failed, unable to parse response", [response](const Value& json, int status) {
                       readVendorInfo(json, status, *response);
                       return std::optional<bool>(false);
                     });
}

void KVRepoStoreAPI::userSignoutForSourceLocation(const std::string& location,
                                                  Completion<RepoStoreSignoutResponse> completion) {
  auto response = KVRepoStoreResponseFactory::signoutResponse();
  Checks check("Signout failed", completion, response);
  auto source = check.source(location);
  if (!source) return;
  auto token = nonEmpty(storedTokenForSourceLocation(location));
  if (!token) {
    response->success = true;
    response->error =
        makeError(0, qblog::format("Signout failed, user not signed in to source with url:(%s)", location.c_str()));
    if (completion) completion(false, response);
    return;
  }
  auto request = check.request(*source, "sign_out", "POST", Value::dict({{"token", *token}}));
  if (!request) return;
  send(*request, Acceptance{}, [this, location, response, completion](Expected<KVServiceReply> reply) {
    int status = reply ? reply->status() : 0;
    if (!reply) {
      response->error = reply.error();
    } else {
      // Any JSON object is the service's answer, whatever the status.
      auto json = KVServiceReply::parseJSON(reply->body());
      if (json && json->isDictionary()) {
        invalidateCredentialsForSourceLocation(location);
        readSignout(*json, status, *response);
        if (completion) completion(false, response);
        return;
      }
      if (status != 200 && status != 304) response->error = nullptr;
      else if (json) response->error = makeError(status, "Failed to parse response");
      else response->error = json.error();
    }
    KVLog("Failed to sign out of source (%s) with error: (%s)", location.c_str(),
          response->error ? response->error->localizedDescription().c_str() : qblog::format("status: %ld", long(status)).c_str());
    if (completion) completion(true, response);
  });
}

void KVRepoStoreAPI::userInfoForSourceLocation(const std::string& location,
                                               Completion<RepoStoreUserInfoResponse> completion) {
  auto response = KVRepoStoreResponseFactory::userInfoResponse();
  Checks check("User info request failed", completion, response);
  auto source = check.source(location);
  if (!source) return;
  if (!nonEmpty(storedTokenForSourceLocation(location))) return check.notSignedIn(location);
  // The token is read again for the body, as the request is formed.
  Value body = deviceMembers(Value::dict({{"token", storedTokenForSourceLocation(location).value_or("")}}));
  auto request = check.request(*source, "user_info", "POST", body);
  if (!request) return;
  sendAccepted<RepoStoreUserInfoResponse>(*request,
                     response, completion, "User info request failed, communication with the server failed (%ld)",
                     "User info request failed, unable to parse response", [response](const Value& json, int status) {
                       readUserInfo(json, status, *response);
                       return std::optional<bool>(false);
                     });
}

void KVRepoStoreAPI::purchaseInfoForPackageWithIdentifier(const std::string& identifier,
                                                          Completion<RepoStorePackageInfoResponse> completion) {
  auto response = KVRepoStoreResponseFactory::packageInfoResponse();
  Checks check("Purchase Info request failed", completion, response);
  auto location = check.packageSourceLocation(identifier);
  if (!location) return;
  auto token = nonEmpty(storedTokenForSourceLocation(*location));
  if (!token) return check.notSignedIn(*location);
  auto source = check.record(*location);
  if (!source) return;
  auto request = check.request(*source, "package/" + identifier + "/info", "POST",
                               deviceMembers(Value::dict({{"token", *token}})));
  if (!request) return;
  sendAccepted<RepoStorePackageInfoResponse>(*request,
                     response, completion, "Communication with the server failed (%ld)", "Failed to parse response",
                     [response](const Value& json, int status) {
                       return std::optional<bool>(readPackageInfo(json, status, *response));
                     },
                     "Paid package check", identifier);
}

void KVRepoStoreAPI::purchasePackageWithIdentifier(const std::string& identifier,
                                                   Completion<RepoStorePackagePurchaseResponse> completion) {
  auto response = KVRepoStoreResponseFactory::packagePurchaseResponse();
  Checks check("Purchase request failed", completion, response);
  auto location = check.packageSourceLocation(identifier);
  if (!location) return;
  auto source = check.record(*location);
  if (!source) return;
  auto token = nonEmpty(storedTokenForSourceLocation(*location));
  auto secret = nonEmpty(storedSecretForSourceLocation(*location));
  if (!token || !secret) return check.notSignedIn(*location);
  auto request = check.request(*source, "package/" + identifier + "/purchase", "POST",
                               deviceMembers(Value::dict({{"token", *token}, {"payment_secret", *secret}})));
  if (!request) return;
  auto read = [this, response, completion](const Value& json, int status) -> std::optional<bool> {
    readPurchase(json, status, *response);
    if (response->status != 1) return false;
    if (!response->url) {
      // A page that cannot be opened would leave the caller waiting for ever.
      response->error = makeError(status, "Purchase request failed, the service gave no purchase page");
      logError(response->error);
      return true;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      purchaseCallback = completion;
    }
    performWebAuthenticationWithURL(*response->url);
    return std::nullopt;
  };
  sendAccepted<RepoStorePackagePurchaseResponse>(*request,
                     response, completion, "Purchase request failed, communication with the server failed (%ld)",
                     "Purchase request failed, unable to parse response", read, "Purchase check", identifier);
}
