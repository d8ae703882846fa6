#pragma once
// The one client of repositories' payment services: endpoint discovery, vendor
// information, sign-in and sign-out per repository, the user's purchases, package
// information and purchases. Credentials live in the keychain under the source
// location followed by "_token" and "_payment". Every completion takes a failed flag
// and a response object that always exists; it runs on the request's URL-session
// queue, or on the calling thread when a check fails before anything is sent.
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "foundation/URL.h"
#include "payment/KVRepoStoreResponseFactory.h"

class KVRepoStoreAPI {
 public:
  template <typename Response>
  using Completion = std::function<void(bool failed, std::shared_ptr<Response> response)>;
  // Shows a web page of a payment service (sign-in or purchase page).
  using PagePresenter = std::function<void(const URL& page)>;

  // The one repository whose paid packages are queued without the payment service.
  static constexpr const char* kBlacklistedSourceLocation = "https://repo.korvale.me/legacy/";

  static KVRepoStoreAPI& sharedRepoStore();

  void endpointForSourceLocation(const std::string& location, Completion<RepoStoreEndpointResponse> completion);
  void vendorInfoForSourceLocation(const std::string& location, Completion<RepoStoreVendorInfoResponse> completion);
  void userSigninForSourceLocation(const std::string& location, Completion<RepoStoreSigninResponse> completion);
  void userSignoutForSourceLocation(const std::string& location, Completion<RepoStoreSignoutResponse> completion);
  void userInfoForSourceLocation(const std::string& location, Completion<RepoStoreUserInfoResponse> completion);
  void purchaseInfoForPackageWithIdentifier(const std::string& identifier,
                                            Completion<RepoStorePackageInfoResponse> completion);
  void purchasePackageWithIdentifier(const std::string& identifier,
                                     Completion<RepoStorePackagePurchaseResponse> completion);

  void invalidateCredentialsForSourceLocation(const std::string& location);
  std::optional<std::string> storedTokenForSourceLocation(const std::string& location) const;
  std::optional<std::string> storedSecretForSourceLocation(const std::string& location) const;
  static bool sourceWithLoacationIsBlacklisted(const std::string& location);
  // Tests point the exempt repository at one they serve (the default is the constant).
  static void setBlacklistedSourceLocation(const std::string& location);

  // The "authentication_success" and "payment_completed" callbacks. Each pending
  // completion is called once: a second callback of the same kind finds none.
  void signinAuthenticationCallBackHandler(const URL& url);
  void purchaseCompletedCallbackHandler();
  // An address a page of the service returned with, routed by the first part of its
  // host: "authentication_success" and "payment_completed"; any other is dropped.
  void handleReturningAddress(const URL& url);
  // The sign-in page in a web authentication session whose returning address goes to
  // the handlers (a browser sheet before iOS 11); on the main thread.
  void performAuthenticationWithURL(const URL& url);
  // The page in a browser sheet over the root screen; what it returns with comes back
  // through the application's URL handling. On the main thread.
  void performWebAuthenticationWithURL(const URL& url);
  // Tests only: pages go to `presenter` instead of the sheets (none: the sheets).
  static void setPagePresenter(PagePresenter presenter);

  // The sign-in page of an endpoint: "authenticate?udid=…&model=…" one "/" after it.
  static std::optional<URL> authenticationURLForEndpoint(const std::string& endpoint);
  // The download task's two addresses, joined the same way.
  static std::string packageInfoAddress(const std::string& endpoint, const std::string& identifier);
  static std::string authorizeDownloadAddress(const std::string& endpoint, const std::string& identifier);

  // Utility: workflows over the client that write the database.
  static bool userIsAuthenticatedForStoreLocation(const std::string& location);
  // Signs in through the web sign-in, then reads the user's purchases at the source and
  // marks them paid; true when both succeeded (also with no purchases), false on any
  // error; never called when the user leaves the sign-in page. After marking,
  // "KVRSourceUpdatedNotification" for the location follows 1 s later on the main thread.
  static void loginToSource(const std::string& location, std::function<void(bool success)> completion);
  static void loginToSource(const std::string& location);
  // Asks for the signed-in user's purchases at the source and marks them paid; an
  // error is only logged.
  static void updadatePurchasedPackagesForSource(const std::string& location);
  // The same for a screen that shows them: `completion` hears why they could not be read
  // or marked (nothing once they are marked), on any thread.
  static void updadatePurchasedPackagesForSource(const std::string& location,
                                                 std::function<void(ErrorRef error)> completion);
  // Re-marks the source's packages from a user-information reply in hand: true once the
  // marks are committed, false when the write failed.
  static void updatePurchasesForSourceWithLocation(const std::string& location,
                                                   std::shared_ptr<RepoStoreUserInfoResponse> userInfo,
                                                   std::function<void(bool success)> completion = nullptr);
  // Signs out of the source's service and unmarks its packages, whatever the service
  // answered; completes with true once the marks are cleared, and announces the source
  // 1 s after the sign-out ended.
  static void logoutOfSource(const std::string& location, std::function<void(bool success)> completion);
  static void logoutOfSource(const std::string& location);
  // Asks every source for its payment endpoint and stores each answer (a failed question
  // clears the endpoint); completes with true once every answer is stored, at once when
  // there is no source.
  static void refreshEndpontsForAllSourcesWithCompletion(std::function<void(bool success)> completion = nullptr);
  // The same for one source: true when the endpoint question did not fail.
  static void updateEndpointForSourceLocation(const std::string& location,
                                              std::function<void(bool success)> completion = nullptr);

 private:
  KVRepoStoreAPI() = default;
  // Hands over the pending sign-in and clears it, so one callback answers it once.
  void takePendingSignin(std::string* location, Completion<RepoStoreSigninResponse>* completion);

  mutable std::mutex mutex_;
  std::string _loginSessionLocation;
  Completion<RepoStoreSigninResponse> signinCallback;
  Completion<RepoStorePackagePurchaseResponse> purchaseCallback;
};
