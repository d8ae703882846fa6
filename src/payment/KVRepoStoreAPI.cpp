#include "payment/KVRepoStoreAPI.h"

#include "account/KVKeychainBindings.h"
#include "core/KVPlatform.h"
#include "core/NSURLSessionConfigurationNoCache.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Log.h"
#include "foundation/URLSession.h"
#include "payment/KVRepoStoreProtocol.h"
#include "payment/KVRepoStoreRecords.h"

using namespace KVRepoStoreProtocol;

namespace {
std::string tokenKey(const std::string& location) { return location + "_token"; }
std::string secretKey(const std::string& location) { return location + "_payment"; }

// Sends one request on a session of its own; the reply comes on that session's queue.
void send(const URLRequest& request, URLSessionDataCompletion completion) {
  auto session = URLSession::sessionWithConfiguration(NSURLSessionConfigurationNoCache::noCacheConfigureation());
  session->dataTaskWithRequest(request, std::move(completion))->resume();
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

// The address of a request to the source's service, or an error of the transport kind
// when the source has no endpoint to form it from.
std::optional<URL> serviceURL(const KVRepoStoreRecords::Source& source, const std::string& path) {
  if (trim(source.endpoint).empty()) return std::nullopt;
  return URL::fromString(joinAddress(source.endpoint, path));
}

ErrorRef noEndpointError(const std::string& location) {
  Value info = Value::dict({{NSLocalizedDescriptionKey, "unsupported URL"},
                            {NSLocalizedFailureReasonErrorKey, "The source " + location + " has no payment endpoint"}});
  return ::makeError(NSURLErrorDomain, NSURLErrorUnsupportedURL, std::move(info));
}
}  // namespace

KVRepoStoreAPI& KVRepoStoreAPI::sharedRepoStore() {
  static KVRepoStoreAPI* api = new KVRepoStoreAPI();
  return *api;
}

bool KVRepoStoreAPI::sourceWithLoacationIsBlacklisted(const std::string& location) {
  return location == kBlacklistedSourceLocation;
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

bool KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(const std::string& location) {
  auto& api = sharedRepoStore();
  return nonEmpty(api.storedTokenForSourceLocation(location)) && nonEmpty(api.storedSecretForSourceLocation(location));
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
  send(request, [location, response, completion](std::optional<Data> data, URLResponseRef reply, ErrorRef error) {
    int status = statusOf(reply);
    bool failed = true;
    if (error) {
      response->error = error;
    } else if (status != 200 && status != 304) {
      response->error = makeError(
          status, qblog::format("Endpoint request failed, communication with the server failed (%ld)", long(status)));
    } else {
      readEndpointReply(location, data.value_or(Data{}), status, *response, &failed);
    }
    if (response->error) logError(response->error);
    if (completion) completion(failed, response);
  });
}

void KVRepoStoreAPI::vendorInfoForSourceLocation(const std::string& location,
                                                 Completion<RepoStoreVendorInfoResponse> completion) {
  auto response = KVRepoStoreResponseFactory::vendorInfoResponse();
  if (location.empty()) return failCheck(completion, response, "Vendor info request failed, missing source location");
  auto source = KVRepoStoreRecords::sourceWithLocation(location);
  if (!source)
    return failCheck(completion, response,
                     qblog::format("Vendor info request failed, source with url:(%s) can't be found", location.c_str()));
  auto url = serviceURL(*source, "info");
  if (!url) {
    response->error = noEndpointError(location);
    logError(response->error);
    if (completion) completion(true, response);
    return;
  }
  send(makeRequest(url, "GET"), [response, completion](std::optional<Data> data, URLResponseRef reply, ErrorRef e) {
    Value json;
    ErrorRef error = acceptReply(e, reply, data, "Vendor info request failed, communication with the server failed (%ld)",
                                 "Vendor info request failed, unable to parse response", &json);
    if (error) {
      response->error = error;
      logError(error);
      if (completion) completion(true, response);
      return;
    }
    readVendorInfo(json, statusOf(reply), *response);
    if (completion) completion(false, response);
  });
}

void KVRepoStoreAPI::userSignoutForSourceLocation(const std::string& location,
                                                  Completion<RepoStoreSignoutResponse> completion) {
  auto response = KVRepoStoreResponseFactory::signoutResponse();
  if (location.empty()) return failCheck(completion, response, "Signout failed, missing source location");
  auto source = KVRepoStoreRecords::sourceWithLocation(location);
  if (!source)
    return failCheck(completion, response,
                     qblog::format("Signout failed, source with url:(%s) can't be found", location.c_str()));
  auto token = nonEmpty(storedTokenForSourceLocation(location));
  if (!token) {
    response->success = true;
    response->error =
        makeError(0, qblog::format("Signout failed, user not signed in to source with url:(%s)", location.c_str()));
    if (completion) completion(false, response);
    return;
  }
  auto url = serviceURL(*source, "sign_out");
  if (!url) {
    response->error = noEndpointError(location);
    if (completion) completion(true, response);
    return;
  }
  URLRequest request = makeRequest(url, "POST", Value::dict({{"token", *token}}));
  send(request, [this, location, response, completion](std::optional<Data> data, URLResponseRef reply, ErrorRef e) {
    int status = statusOf(reply);
    // Any JSON object is the service's answer, whatever the status.
    std::string parserError;
    auto json = data && !e ? Value::fromJSON(*data, &parserError) : std::nullopt;
    if (json && json->isDictionary()) {
      invalidateCredentialsForSourceLocation(location);
      readSignout(*json, status, *response);
      if (completion) completion(false, response);
      return;
    }
    if (e || (status != 200 && status != 304)) {
      response->error = e;
    } else if (json || parserError.empty()) {
      response->error = makeError(status, "Failed to parse response");
    } else {
      response->error = ::makeError("NSCocoaErrorDomain", 3840, parserError);
    }
    KVLog("Failed to sign out of source (%s) with error: (%s)", location.c_str(),
          response->error ? response->error->localizedDescription().c_str() : qblog::format("status: %ld", long(status)).c_str());
    if (completion) completion(true, response);
  });
}

void KVRepoStoreAPI::userInfoForSourceLocation(const std::string& location,
                                               Completion<RepoStoreUserInfoResponse> completion) {
  auto response = KVRepoStoreResponseFactory::userInfoResponse();
  if (location.empty()) return failCheck(completion, response, "User info request failed, missing source location");
  auto source = KVRepoStoreRecords::sourceWithLocation(location);
  if (!source)
    return failCheck(completion, response,
                     qblog::format("User info request failed, source with url:(%s) can't be found", location.c_str()));
  if (!nonEmpty(storedTokenForSourceLocation(location)))
    return failCheck(completion, response,
                     qblog::format("User info request failed, user not signed in to source with url:(%s)",
                                   location.c_str()));
  auto url = serviceURL(*source, "user_info");
  if (!url) {
    response->error = noEndpointError(location);
    if (completion) completion(true, response);
    return;
  }
  Value body = Value::dict({{"token", storedTokenForSourceLocation(location).value_or("")},
                            {"udid", KVPlatform::deviceUDID().value_or("")},
                            {"device", KVPlatform::deviceModelID()}});
  send(makeRequest(url, "POST", body), [response, completion](std::optional<Data> data, URLResponseRef reply, ErrorRef e) {
    Value json;
    ErrorRef error = acceptReply(e, reply, data, "User info request failed, communication with the server failed (%ld)",
                                 "User info request failed, unable to parse response", &json);
    if (error) {
      response->error = error;
      logError(error);
      if (completion) completion(true, response);
      return;
    }
    readUserInfo(json, statusOf(reply), *response);
    if (completion) completion(false, response);
  });
}

void KVRepoStoreAPI::purchaseInfoForPackageWithIdentifier(const std::string& identifier,
                                                          Completion<RepoStorePackageInfoResponse> completion) {
  auto response = KVRepoStoreResponseFactory::packageInfoResponse();
  if (identifier.empty()) return failCheck(completion, response, "Purchase Info request failed, missing identifier");
  auto location = KVRepoStoreRecords::sourceLocationOfPackage(identifier);
  if (!location)
    return failCheck(completion, response,
                     qblog::format("Purchase Info request failed, package with identifier:(%s) can't be found",
                                   identifier.c_str()));
  auto token = nonEmpty(storedTokenForSourceLocation(*location));
  if (!token)
    return failCheck(completion, response,
                     qblog::format("Purchase Info request failed, user not signed in to source with url:(%s)",
                                   location->c_str()));
  auto source = KVRepoStoreRecords::sourceWithLocation(*location);
  if (!source)
    return failCheck(completion, response,
                     qblog::format("Purchase Info request failed, source with url:(%s) can't be found",
                                   location->c_str()));
  auto url = serviceURL(*source, "package/" + identifier + "/info");
  if (!url) {
    response->error = noEndpointError(*location);
    if (completion) completion(true, response);
    return;
  }
  Value body = Value::dict(
      {{"token", *token}, {"udid", KVPlatform::deviceUDID().value_or("")}, {"device", KVPlatform::deviceModelID()}});
  send(makeRequest(url, "POST", body),
       [identifier, response, completion](std::optional<Data> data, URLResponseRef reply, ErrorRef e) {
         Value json;
         ErrorRef error = acceptReply(e, reply, data, "Communication with the server failed (%ld)",
                                      "Failed to parse response", &json);
         if (error) {
           KVLog("Paid package check failed for (%s) with error: (%s)", identifier.c_str(),
                 e ? e->localizedDescription().c_str()
                   : qblog::format("status: %ld", long(statusOf(reply))).c_str());
           response->error = error;
           if (completion) completion(true, response);
           return;
         }
         bool failed = readPackageInfo(json, statusOf(reply), *response);
         if (completion) completion(failed, response);
       });
}

void KVRepoStoreAPI::purchasePackageWithIdentifier(const std::string& identifier,
                                                   Completion<RepoStorePackagePurchaseResponse> completion) {
  auto response = KVRepoStoreResponseFactory::packagePurchaseResponse();
  if (identifier.empty()) return failCheck(completion, response, "Purchase request failed, missing identifier");
  auto location = KVRepoStoreRecords::sourceLocationOfPackage(identifier);
  if (!location)
    return failCheck(completion, response,
                     qblog::format("Purchase request failed, package with identifier:(%s) can't be found",
                                   identifier.c_str()));
  auto source = KVRepoStoreRecords::sourceWithLocation(*location);
  if (!source)
    return failCheck(completion, response,
                     qblog::format("Purchase request failed, source with url:(%s) can't be found", location->c_str()));
  auto token = nonEmpty(storedTokenForSourceLocation(*location));
  auto secret = nonEmpty(storedSecretForSourceLocation(*location));
  if (!token || !secret)
    return failCheck(completion, response,
                     qblog::format("Purchase request failed, user not signed in to source with url:(%s)",
                                   location->c_str()));
  auto url = serviceURL(*source, "package/" + identifier + "/purchase");
  if (!url) {
    response->error = noEndpointError(*location);
    if (completion) completion(true, response);
    return;
  }
  Value body = Value::dict({{"token", *token},
                            {"payment_secret", *secret},
                            {"udid", KVPlatform::deviceUDID().value_or("")},
                            {"device", KVPlatform::deviceModelID()}});
  send(makeRequest(url, "POST", body),
       [this, identifier, response, completion](std::optional<Data> data, URLResponseRef reply, ErrorRef e) {
         Value json;
         int status = statusOf(reply);
         ErrorRef error =
             acceptReply(e, reply, data, "Purchase request failed, communication with the server failed (%ld)",
                         "Purchase request failed, unable to parse response", &json);
         if (error) {
           KVLog("Purchase check failed for (%s) with error: (%s)", identifier.c_str(),
                 e ? e->localizedDescription().c_str() : qblog::format("status: %ld", long(status)).c_str());
           response->error = error;
           if (completion) completion(true, response);
           return;
         }
         readPurchase(json, status, *response);
         if (response->status != 1) {
           if (completion) completion(false, response);
           return;
         }
         if (!response->url) {
           // A page that cannot be opened would leave the caller waiting for ever.
           response->error = makeError(status, "Purchase request failed, the service gave no purchase page");
           logError(response->error);
           if (completion) completion(true, response);
           return;
         }
         {
           std::lock_guard<std::mutex> lock(mutex_);
           purchaseCallback = completion;
         }
         performWebAuthenticationWithURL(*response->url);
       });
}

void KVRepoStoreAPI::updadatePurchasedPackagesForSource(const std::string& location) {
  sharedRepoStore().userInfoForSourceLocation(
      location, [location](bool failed, std::shared_ptr<RepoStoreUserInfoResponse> response) {
        if (failed || response->error) {
          KVLog("error: %s", response->error ? response->error->localizedDescription().c_str() : "");
          return;
        }
        KVRepoStoreRecords::updatePurchasesForSource(location, response->purchases);
      });
}
