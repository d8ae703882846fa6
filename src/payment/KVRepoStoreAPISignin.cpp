// The web sign-in and the two callbacks of the payment service's pages.
#include <map>

#include "account/KVKeychainBindings.h"
#include "core/KVPlatform.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Log.h"
#include "payment/KVRepoStoreAPI.h"
#include "payment/KVRepoStoreProtocol.h"
#include "payment/KVRepoStoreRecords.h"

using namespace KVRepoStoreProtocol;

namespace {
std::mutex gPresenterMutex;
KVRepoStoreAPI::PagePresenter gPresenter;

void present(const URL& url) {
  KVRepoStoreAPI::PagePresenter presenter;
  {
    std::lock_guard<std::mutex> lock(gPresenterMutex);
    presenter = gPresenter;
  }
  if (presenter) presenter(url);
  else KVLog("No browser to open %s", url.absoluteString().c_str());
}
}  // namespace

void KVRepoStoreAPI::setPagePresenter(PagePresenter presenter) {
  std::lock_guard<std::mutex> lock(gPresenterMutex);
  gPresenter = std::move(presenter);
}

std::optional<URL> KVRepoStoreAPI::authenticationURLForEndpoint(const std::string& endpoint) {
  std::string query = "authenticate?udid=" + URL::percentEncode(KVPlatform::deviceUDID().value_or("")) +
                      "&model=" + URL::percentEncode(KVPlatform::deviceModelID(), ",");
  return URLFromUnsafeString(joinAddress(endpoint, query));
}

void KVRepoStoreAPI::userSigninForSourceLocation(const std::string& location,
                                                 Completion<RepoStoreSigninResponse> completion) {
  auto response = KVRepoStoreResponseFactory::signinResponse();
  auto fail = [&](const std::string& message) {
    response->error = makeError(0, message);
    KVLog("ERROR: %s", message.c_str());
    if (completion) completion(true, response);
  };
  if (location.empty()) return fail("Signin failed, missing source location");
  auto source = KVRepoStoreRecords::sourceWithLocation(location);
  if (!source) return fail(qblog::format("Signin failed, source with url:(%s) can't be found", location.c_str()));
  if (trim(source->endpoint).empty())
    return fail(qblog::format("Signin failed, source with url:(%s) endpoint can't be found", location.c_str()));
  auto page = authenticationURLForEndpoint(source->endpoint);
  if (!page)
    return fail(qblog::format("Signin failed, source with url:(%s) authentication query unable to be built from "
                              "endpoint (%s)",
                              location.c_str(), source->endpoint.c_str()));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    _loginSessionLocation = location;
    signinCallback = std::move(completion);
  }
  performAuthenticationWithURL(*page);
}

void KVRepoStoreAPI::performAuthenticationWithURL(const URL& url) {
  performOnMainThread([url] { present(url); });
}

void KVRepoStoreAPI::performWebAuthenticationWithURL(const URL& url) {
  performOnMainThread([url] { present(url); });
}

void KVRepoStoreAPI::takePendingSignin(std::string* location, Completion<RepoStoreSigninResponse>* completion) {
  std::lock_guard<std::mutex> lock(mutex_);
  *location = std::move(_loginSessionLocation);
  *completion = std::move(signinCallback);
  _loginSessionLocation.clear();
  signinCallback = nullptr;
}

void KVRepoStoreAPI::signinAuthenticationCallBackHandler(const URL& url) {
  auto response = KVRepoStoreResponseFactory::signinResponse();
  std::string location;
  Completion<RepoStoreSigninResponse> completion;
  // The pending sign-in is taken whole, so one callback answers it exactly once.
  takePendingSignin(&location, &completion);
  auto fail = [&](const std::string& message) {
    response->error = makeError(0, message);
    KVLog("ERROR: %s", message.c_str());
    if (completion) completion(true, response);
  };
  if (location.empty()) {
    response->error = makeError(0, "Signin callback failed, session location not set");
    KVLog("ERROR: %s", "Signin callback failed, session location not set");
    return;
  }
  std::map<std::string, std::string> items;
  for (const auto& item : url.queryItems()) {
    if (item.value) items[item.name] = *item.value;
    else items.erase(item.name);
  }
  auto token = items.find("token");
  auto secret = items.find("payment_secret");
  if (token == items.end() || token->second.empty() || secret == items.end() || secret->second.empty())
    return fail(qblog::format("Signin callback failed, unable to parse credentials url:(%s)", location.c_str()));
  if (!KVRepoStoreRecords::sourceWithLocation(location))
    return fail(qblog::format("Signin failed, source with url:(%s) can't be found", location.c_str()));
  auto& keychain = KVKeychainBindings::sharedKeychainBindings();
  keychain.setObject(token->second, location + "_token");
  keychain.setObject(secret->second, location + "_payment");
  response->success = true;
  if (completion) completion(false, response);
}

void KVRepoStoreAPI::purchaseCompletedCallbackHandler() {
  Completion<RepoStorePackagePurchaseResponse> completion;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    completion = std::move(purchaseCallback);
    purchaseCallback = nullptr;
  }
  if (!completion) return;
  auto response = KVRepoStoreResponseFactory::packagePurchaseResponse();
  response->status = 0;
  completion(false, response);
}
