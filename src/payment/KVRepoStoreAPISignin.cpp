// The web sign-in and the two callbacks of the payment service's pages.
#include <map>

#include "account/KVKeychainBindings.h"
#include "core/KVPlatform.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Log.h"
#include "payment/KVRepoStoreAPI.h"
#include "payment/KVRepoStoreProtocol.h"
#include "payment/KVRepoStoreRecords.h"
#include "uikit/SFAuthenticationSession.h"
#include "uikit/SFSafariViewController.h"
#include "uikit/UIApplication.h"
#include "uikit/UIDevice.h"
#include "uikit/UIWindow.h"

using namespace KVRepoStoreProtocol;

namespace {
std::mutex gPresenterMutex;
KVRepoStoreAPI::PagePresenter gPresenter;

// Where a test sends the pages instead of the browser; nothing in the application.
KVRepoStoreAPI::PagePresenter pagePresenter() {
  std::lock_guard<std::mutex> lock(gPresenterMutex);
  return gPresenter;
}

// The web authentication session of the latest sign-in lives until the next one.
std::shared_ptr<SFAuthenticationSession>& currentSession() {
  static std::shared_ptr<SFAuthenticationSession> session;
  return session;
}

// The browser sheets' delegate: closing a sheet ends nothing.
class SheetDelegate : public SFSafariViewControllerDelegate {};
SheetDelegate gSheetDelegate;
}  // namespace

void KVRepoStoreAPI::setPagePresenter(PagePresenter presenter) {
  std::lock_guard<std::mutex> lock(gPresenterMutex);
  gPresenter = std::move(presenter);
}

void KVRepoStoreAPI::handleReturningAddress(const URL& url) {
  const std::string& host = url.host();
  std::string first = host.substr(0, host.find('/'));
  if (first == "authentication_success") signinAuthenticationCallBackHandler(url);
  else if (first == "payment_completed") purchaseCompletedCallbackHandler();
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
  performOnMainThread([this, url] {
    if (auto presenter = pagePresenter()) return presenter(url);
    if (!UIDevice::currentDevice().systemVersionIsAtLeast("11.0")) return performWebAuthenticationWithURL(url);
    // The session hands the returning address straight to its handler; a session the
    // user cancels reports none, and nothing is called.
    auto session = std::make_shared<SFAuthenticationSession>(
        url, "sileo", [this](std::optional<URL> callbackURL, ErrorRef) {
          if (callbackURL) handleReturningAddress(*callbackURL);
        });
    currentSession() = session;
    session->start();
  });
}

void KVRepoStoreAPI::performWebAuthenticationWithURL(const URL& url) {
  performOnMainThread([url] {
    if (auto presenter = pagePresenter()) return presenter(url);
    UIWindow* window = UIApplication::sharedApplication().keyWindow();
    UIViewController* root = window ? window->rootViewController() : nullptr;
    if (!root) {
      KVLog("Nothing on screen to show %s from", url.absoluteString().c_str());
      return;
    }
    auto sheet = std::make_shared<SFSafariViewController>(url.absoluteString());
    sheet->setDelegate(&gSheetDelegate);
    sheet->setModalPresentationStyle(UIModalPresentationFormSheet);
    if (UIDevice::currentDevice().systemVersionIsAtLeast("11.0"))
      sheet->setDismissButtonStyle(SFSafariViewControllerDismissButtonStyleCancel);
    // The service's page leads back to the application through the system.
    sheet->setFollowsNavigation(true);
    root->presentViewController(sheet, true);
  });
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
