#include "PaymentTestSupport.h"
#include "core/KVPlatform.h"
#include "foundation/Dispatch.h"
#include "payment/KVRepoStoreRecords.h"
#include "support/Written.h"

TEST_F(PaymentTest, VendorInformationOfTheTestRepository) {
  addPaidRepo(endpoint_.substr(0, endpoint_.size() - 1));  // an endpoint without its final "/"
  Outcome<RepoStoreVendorInfoResponse> out;
  api().vendorInfoForSourceLocation(location_, out.completion());
  ASSERT_TRUE(out.wait());
  EXPECT_FALSE(out.failed) << out.message();
  EXPECT_EQ(out.response->name, "Example Paid Repository");
  EXPECT_EQ(out.response->tagline, "Packages that cost a little");
  ASSERT_TRUE(out.response->icon);
  EXPECT_EQ(out.response->icon->absoluteString(), "https://pay.example.com/store/icon.png");
  ASSERT_TRUE(out.response->authenticationInfo);
  EXPECT_EQ(out.response->authenticationInfo->message, "Sign in to buy packages");
  EXPECT_EQ(out.response->authenticationInfo->buttonTitle, "Sign in");
  auto seen = server_.requestsTo("/paidrepo/api/info");
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].header("Accept"), "application/json");
  EXPECT_EQ(seen[0].header("Content-Type"), "application/json");
  EXPECT_EQ(seen[0].header("User-Agent").rfind("Quill/5.0 (", 0), 0u);
  EXPECT_FALSE(seen[0].hasHeader("Content-Length") && seen[0].header("Content-Length") != "0");
}

TEST_F(PaymentTest, VendorInformationFailuresAndServiceErrors) {
  addPaidRepo(server_.url("/svc/"));
  server_.respond("/svc/info", TestHttpResponse::json(R"({"name":"Shop","error":"closed for stock-taking"})"));
  Outcome<RepoStoreVendorInfoResponse> withError;
  api().vendorInfoForSourceLocation(location_, withError.completion());
  ASSERT_TRUE(withError.wait());
  EXPECT_FALSE(withError.failed) << "the caller decides what a service error means";
  EXPECT_EQ(withError.message(), "closed for stock-taking");
  EXPECT_EQ(withError.code(), 200);
  ASSERT_TRUE(withError.response->authenticationInfo);
  EXPECT_EQ(withError.response->authenticationInfo->message, "");

  for (auto [body, status, message] : std::vector<std::tuple<std::string, int, std::string>>{
           {R"(["not","an","object"])", 200, "Vendor info request failed, unable to parse response"},
           {"{}", 503, "Vendor info request failed, communication with the server failed (503)"}}) {
    server_.respond("/svc/info", TestHttpResponse::json(body, status));
    Outcome<RepoStoreVendorInfoResponse> out;
    api().vendorInfoForSourceLocation(location_, out.completion());
    ASSERT_TRUE(out.wait());
    EXPECT_TRUE(out.failed);
    EXPECT_EQ(out.message(), message);
    EXPECT_EQ(out.code(), status);
  }
  server_.respond("/svc/info", TestHttpResponse::text("<html>oops</html>"));
  Outcome<RepoStoreVendorInfoResponse> html;
  api().vendorInfoForSourceLocation(location_, html.completion());
  ASSERT_TRUE(html.wait());
  EXPECT_TRUE(html.failed);
  EXPECT_NE(html.message(), "<none>") << "the parser's own error";

  Outcome<RepoStoreVendorInfoResponse> unknown, none;
  api().vendorInfoForSourceLocation("https://unknown.example.com/", unknown.completion());
  EXPECT_EQ(unknown.message(), "Vendor info request failed, source with url:(https://unknown.example.com/) can't be found");
  api().vendorInfoForSourceLocation("", none.completion());
  EXPECT_EQ(none.message(), "Vendor info request failed, missing source location");
}

TEST_F(PaymentTest, UserInformationSendsTheCredentialsAndReadsTheUser) {
  addPaidRepo(endpoint_);
  Outcome<RepoStoreUserInfoResponse> notSignedIn;
  api().userInfoForSourceLocation(location_, notSignedIn.completion());
  EXPECT_TRUE(notSignedIn.failed);
  EXPECT_EQ(notSignedIn.message(), "User info request failed, user not signed in to source with url:(" + location_ + ")");
  EXPECT_EQ(server_.requestCount("/paidrepo/api/user_info"), 0u);

  signIn("T0KEN");
  Outcome<RepoStoreUserInfoResponse> out;
  api().userInfoForSourceLocation(location_, out.completion());
  ASSERT_TRUE(out.wait());
  EXPECT_FALSE(out.failed) << out.message();
  EXPECT_EQ(out.response->name, "test");
  EXPECT_EQ(out.response->email, "buyer@example.com");
  EXPECT_TRUE(out.response->purchases.empty());
  auto seen = server_.requestsTo("/paidrepo/api/user_info");
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].method, "POST");
  auto body = Value::fromJSON(seen[0].body);
  ASSERT_TRUE(body);
  EXPECT_EQ((*body)["token"].asString(), "T0KEN");
  EXPECT_EQ((*body)["udid"].asString(), KVPlatform::deviceUDID().value_or(""));
  EXPECT_EQ((*body)["device"].asString(), KVPlatform::deviceModelID());
  EXPECT_EQ(seen[0].header("Content-Length"), std::to_string(seen[0].body.size()));
}

TEST_F(PaymentTest, UserInformationThatSaysInvalidateIsReportedNotActedOn) {
  addPaidRepo(endpoint_);
  signIn();
  answerPost("/paidrepo/api/user_info", R"({"invalidate":true,"error":"token expired","items":["a",7,null,"b"]})");
  Outcome<RepoStoreUserInfoResponse> out;
  api().userInfoForSourceLocation(location_, out.completion());
  ASSERT_TRUE(out.wait());
  EXPECT_FALSE(out.failed);
  EXPECT_TRUE(out.response->invalidate);
  EXPECT_EQ(out.message(), "token expired");
  EXPECT_EQ(out.code(), 200);
  EXPECT_EQ(out.response->purchases, (std::vector<std::string>{"a", "b"})) << "items that are no text are skipped";
  EXPECT_TRUE(KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(location_)) << "the keychain is unchanged";
}

TEST_F(PaymentTest, SignOutForgetsTheCredentialsOnAnyJSONObject) {
  addPaidRepo(endpoint_);
  Outcome<RepoStoreSignoutResponse> notSignedIn;
  api().userSignoutForSourceLocation(location_, notSignedIn.completion());
  EXPECT_FALSE(notSignedIn.failed);
  EXPECT_TRUE(notSignedIn.response->success);
  EXPECT_EQ(notSignedIn.message(), "Signout failed, user not signed in to source with url:(" + location_ + ")");

  signIn();
  Outcome<RepoStoreSignoutResponse> out;
  api().userSignoutForSourceLocation(location_, out.completion());
  ASSERT_TRUE(out.wait());
  EXPECT_FALSE(out.failed);
  EXPECT_TRUE(out.response->success);
  EXPECT_FALSE(KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(location_));
  EXPECT_FALSE(api().storedTokenForSourceLocation(location_));
  auto body = Value::fromJSON(server_.requestsTo("/paidrepo/api/sign_out")[0].body);
  EXPECT_EQ((*body)["token"].asString(), "tok");

  signIn();
  answerPost("/paidrepo/api/sign_out", R"({"success":true})", 500);
  Outcome<RepoStoreSignoutResponse> serverError;
  api().userSignoutForSourceLocation(location_, serverError.completion());
  ASSERT_TRUE(serverError.wait());
  EXPECT_FALSE(serverError.failed) << "an object answers, whatever the status";
  EXPECT_TRUE(serverError.response->success);
  EXPECT_FALSE(KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(location_));

  signIn();
  answerPost("/paidrepo/api/sign_out", R"({"success":false})");
  Outcome<RepoStoreSignoutResponse> refused;
  api().userSignoutForSourceLocation(location_, refused.completion());
  ASSERT_TRUE(refused.wait());
  EXPECT_FALSE(refused.response->success);
  EXPECT_FALSE(KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(location_));

  signIn();
  answerPost("/paidrepo/api/sign_out", "gateway down", 502);
  Outcome<RepoStoreSignoutResponse> down;
  api().userSignoutForSourceLocation(location_, down.completion());
  ASSERT_TRUE(down.wait());
  EXPECT_TRUE(down.failed);
  EXPECT_FALSE(down.response->success);
  EXPECT_TRUE(KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(location_)) << "the credentials stay";
}

TEST_F(PaymentTest, PackageInformationReadsAvailabilityOwnershipAndPrice) {
  addPaidRepo(endpoint_);
  PaymentTestRecords::addPackage("com.nan.debd", location_);
  KVKeychainBindings::sharedKeychainBindings().setObject("only-token", location_ + "_token");
  answerPost("/paidrepo/api/package/com.nan.debd/info", R"({"available":true,"purchased":true,"price":"$1.99"})");
  Outcome<RepoStorePackageInfoResponse> out;
  api().purchaseInfoForPackageWithIdentifier("com.nan.debd", out.completion());
  ASSERT_TRUE(out.wait());
  EXPECT_FALSE(out.failed) << out.message();
  EXPECT_TRUE(out.response->available);
  EXPECT_TRUE(out.response->purchased);
  EXPECT_EQ(out.response->price, "$1.99");
  EXPECT_EQ(server_.requestCount("/paidrepo/api/package/com.nan.debd/info"), 1u) << "a token alone is enough here";

  answerPost("/paidrepo/api/package/com.nan.debd/info",
             R"({"available":false,"purchased":true,"recovery_url":"  https://shop.example.com/help \n"})");
  Outcome<RepoStorePackageInfoResponse> unavailable;
  api().purchaseInfoForPackageWithIdentifier("com.nan.debd", unavailable.completion());
  ASSERT_TRUE(unavailable.wait());
  EXPECT_TRUE(unavailable.failed);
  EXPECT_EQ(unavailable.message(), "Package is unavailable for an unknown reason");
  EXPECT_EQ(unavailable.code(), 0);
  EXPECT_FALSE(unavailable.response->purchased) << "ownership is read only for an available package";
  ASSERT_TRUE(unavailable.response->recovery_url);
  EXPECT_EQ(unavailable.response->recovery_url->absoluteString(), "https://shop.example.com/help");

  answerPost("/paidrepo/api/package/com.nan.debd/info",
             R"({"available":"maybe","recovery_url":null,"price":12,"error":{"nested":true}})");
  Outcome<RepoStorePackageInfoResponse> odd;
  api().purchaseInfoForPackageWithIdentifier("com.nan.debd", odd.completion());
  ASSERT_TRUE(odd.wait());
  EXPECT_TRUE(odd.failed) << "members of the wrong type count as absent";
  EXPECT_EQ(odd.message(), "Package is unavailable for an unknown reason");
  EXPECT_FALSE(odd.response->recovery_url);

  answerPost("/paidrepo/api/package/com.nan.debd/info", R"({"invalidate":true})");
  Outcome<RepoStorePackageInfoResponse> withdrawn;
  api().purchaseInfoForPackageWithIdentifier("com.nan.debd", withdrawn.completion());
  ASSERT_TRUE(withdrawn.wait());
  EXPECT_TRUE(withdrawn.failed);
  EXPECT_TRUE(withdrawn.response->invalidate);
  EXPECT_FALSE(withdrawn.response->error) << "withdrawn credentials say nothing about the package";

  answerPost("/paidrepo/api/package/com.nan.debd/info", "[]", 403);
  Outcome<RepoStorePackageInfoResponse> refused;
  api().purchaseInfoForPackageWithIdentifier("com.nan.debd", refused.completion());
  ASSERT_TRUE(refused.wait());
  EXPECT_EQ(refused.message(), "Communication with the server failed (403)");
  EXPECT_EQ(refused.code(), 403);
}

TEST_F(PaymentTest, PackageInformationChecksBeforeSending) {
  addPaidRepo(endpoint_);
  PaymentTestRecords::addPackage("com.example.orphan", "https://gone.example.com/");
  PaymentTestRecords::addPackage("com.nan.debd", location_);
  Outcome<RepoStorePackageInfoResponse> empty, unknown, notSignedIn, orphan;
  api().purchaseInfoForPackageWithIdentifier("", empty.completion());
  EXPECT_EQ(empty.message(), "Purchase Info request failed, missing identifier");
  api().purchaseInfoForPackageWithIdentifier("com.example.none", unknown.completion());
  EXPECT_EQ(unknown.message(), "Purchase Info request failed, package with identifier:(com.example.none) can't be found");
  api().purchaseInfoForPackageWithIdentifier("com.nan.debd", notSignedIn.completion());
  EXPECT_EQ(notSignedIn.message(),
            "Purchase Info request failed, user not signed in to source with url:(" + location_ + ")");
  KVKeychainBindings::sharedKeychainBindings().setObject("t", "https://gone.example.com/_token");
  api().purchaseInfoForPackageWithIdentifier("com.example.orphan", orphan.completion());
  EXPECT_EQ(orphan.message(), "Purchase Info request failed, source with url:(https://gone.example.com/) can't be found");
  for (auto* o : {&empty, &unknown, &notSignedIn, &orphan}) {
    EXPECT_TRUE(o->failed);
    EXPECT_EQ(o->code(), 0);
  }
  EXPECT_EQ(server_.requestCount(), 0u);
}

TEST_F(PaymentTest, PurchasedPackagesOfASourceAreMarked) {
  addPaidRepo(endpoint_);
  signIn();
  PaymentTestRecords::addPackage("com.nan.debd", location_);
  PaymentTestRecords::addPackage("com.example.free", location_);
  PaymentTestRecords::addPackage("com.example.other", "https://other.example.com/");
  PaymentTestRecords::markPaid("com.example.free");  // owned before, not any more
  answerPost("/paidrepo/api/user_info", R"({"user":{"name":"test"},"items":["com.nan.debd","com.example.unknown","com.example.other"]})");
  KVRepoStoreAPI::updadatePurchasedPackagesForSource(location_);
  ASSERT_TRUE(server_.waitForRequests("/paidrepo/api/user_info", 1));
  ASSERT_TRUE(RunLoop::main().runUntil([] { return PaymentTestRecords::isPaidThroughSileo("com.nan.debd"); }, 20));
  ASSERT_TRUE(DispatchQueue::drainGlobalQueues(20));
  EXPECT_FALSE(PaymentTestRecords::isPaidThroughSileo("com.example.free"));
  EXPECT_TRUE(PaymentTestRecords::isPaidThroughSileo("com.example.other")) << "an owned identifier of any source";
}

TEST_F(PaymentTest, DownloadAddressesJoinWithOneSlash) {
  EXPECT_EQ(KVRepoStoreAPI::authorizeDownloadAddress("https://pay.example.com/api", "com.nan.debd"),
            "https://pay.example.com/api/package/com.nan.debd/authorize_download");
  EXPECT_EQ(KVRepoStoreAPI::packageInfoAddress(" https://pay.example.com/api/ \n", "com.nan.debd"),
            "https://pay.example.com/api/package/com.nan.debd/info");
}

TEST_F(PaymentTest, TheEndpointReplyIsStoredOnTheSourceRecord) {
  addPaidRepo("");
  written(KVRepoStoreRecords::setEndpoint(location_, true, endpoint_));
  auto source = KVRepoStoreRecords::sourceWithLocation(location_);
  ASSERT_TRUE(source);
  EXPECT_TRUE(source->hasEndpoint);
  EXPECT_EQ(source->endpoint, endpoint_);
  written(KVRepoStoreRecords::setEndpoint(location_, false, "ignored"));
  source = KVRepoStoreRecords::sourceWithLocation(location_);
  EXPECT_FALSE(source->hasEndpoint);
  EXPECT_EQ(source->endpoint, "");
  written(KVRepoStoreRecords::setEndpoint("https://nowhere.example.com/", true, endpoint_));  // no record: nothing
  EXPECT_FALSE(KVRepoStoreRecords::sourceWithLocation("https://nowhere.example.com/"));
}

TEST_F(PaymentTest, ASourceWithoutEndpointFailsLikeTheTransport) {
  addPaidRepo("");
  signIn();
  PaymentTestRecords::addPackage("com.nan.debd", location_);
  Outcome<RepoStoreVendorInfoResponse> vendor;
  Outcome<RepoStoreUserInfoResponse> user;
  Outcome<RepoStorePackageInfoResponse> info;
  Outcome<RepoStorePackagePurchaseResponse> purchase;
  Outcome<RepoStoreSignoutResponse> signout;
  api().vendorInfoForSourceLocation(location_, vendor.completion());
  api().userInfoForSourceLocation(location_, user.completion());
  api().purchaseInfoForPackageWithIdentifier("com.nan.debd", info.completion());
  api().purchasePackageWithIdentifier("com.nan.debd", purchase.completion());
  api().userSignoutForSourceLocation(location_, signout.completion());
  auto check = [](auto& out) {
    ASSERT_EQ(out.calls, 1) << "at once, on the calling thread";
    EXPECT_TRUE(out.failed);
    EXPECT_EQ(out.response->error->domain, NSURLErrorDomain);
    EXPECT_EQ(out.code(), NSURLErrorUnsupportedURL);
  };
  check(vendor);
  check(user);
  check(info);
  check(purchase);
  check(signout);
  EXPECT_EQ(server_.requestCount(), 0u);
  EXPECT_TRUE(KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(location_)) << "a failed sign-out keeps the credentials";
}
