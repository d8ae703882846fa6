#include <thread>

#include "PaymentTestSupport.h"
#include "core/KVPlatform.h"

TEST_F(PaymentTest, SignInOpensThePageAndTheCallbackStoresTheCredentialsOnce) {
  addPaidRepo(endpoint_.substr(0, endpoint_.size() - 1));
  Outcome<RepoStoreSigninResponse> out;
  api().userSigninForSourceLocation(location_, out.completion());
  ASSERT_TRUE(waitForPages(1));
  std::string expected = endpoint_ + "authenticate?udid=" + KVPlatform::deviceUDID().value_or("") +
                         "&model=" + KVPlatform::deviceModelID();
  EXPECT_EQ(pages()[0], expected) << "one \"/\" between the endpoint and the page";
  EXPECT_EQ(out.calls, 0) << "nothing is answered before the service calls back";

  // The test repository's sign-in page leads to exactly this callback.
  std::string page = fixture("api/fakelogin.html");
  size_t start = page.find("sileo://"), end = page.find('\'', start);
  ASSERT_NE(start, std::string::npos);
  auto callback = URL::fromString(page.substr(start, end - start));
  ASSERT_TRUE(callback);
  api().signinAuthenticationCallBackHandler(*callback);
  ASSERT_TRUE(out.wait());
  EXPECT_FALSE(out.failed);
  EXPECT_TRUE(out.response->success);
  EXPECT_EQ(api().storedTokenForSourceLocation(location_).value_or(""), std::string(64, '0'));
  EXPECT_EQ(api().storedSecretForSourceLocation(location_).value_or(""), std::string(100, '0'));
  EXPECT_TRUE(KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(location_));

  // A second callback finds no sign-in pending: nothing is called or stored.
  api().signinAuthenticationCallBackHandler(*URL::fromString("sileo://authentication_success?token=x&payment_secret=y"));
  EXPECT_EQ(out.calls, 1);
  EXPECT_EQ(api().storedTokenForSourceLocation(location_).value_or(""), std::string(64, '0'));
}

TEST_F(PaymentTest, SignInCallbackWithoutASecretStoresNothingAndFailsOnce) {
  addPaidRepo(endpoint_);
  Outcome<RepoStoreSigninResponse> out;
  api().userSigninForSourceLocation(location_, out.completion());
  api().signinAuthenticationCallBackHandler(*URL::fromString("sileo://authentication_success?token=abc&payment_secret="));
  ASSERT_TRUE(out.wait());
  EXPECT_TRUE(out.failed);
  EXPECT_EQ(out.message(), "Signin callback failed, unable to parse credentials url:(" + location_ + ")");
  EXPECT_FALSE(api().storedTokenForSourceLocation(location_));
  api().signinAuthenticationCallBackHandler(*URL::fromString("sileo://authentication_success?token=a&payment_secret=b"));
  EXPECT_EQ(out.calls, 1);
  EXPECT_FALSE(api().storedTokenForSourceLocation(location_)) << "no sign-in pending any more";
}

TEST_F(PaymentTest, SignInChecksAndRacingCallbacks) {
  Outcome<RepoStoreSigninResponse> none, unknown, noEndpoint;
  api().userSigninForSourceLocation("", none.completion());
  EXPECT_EQ(none.message(), "Signin failed, missing source location");
  api().userSigninForSourceLocation(location_, unknown.completion());
  EXPECT_EQ(unknown.message(), "Signin failed, source with url:(" + location_ + ") can't be found");
  addPaidRepo("");
  api().userSigninForSourceLocation(location_, noEndpoint.completion());
  EXPECT_EQ(noEndpoint.message(), "Signin failed, source with url:(" + location_ + ") endpoint can't be found");
  EXPECT_TRUE(pages().empty());

  addPaidRepo(endpoint_);
  Outcome<RepoStoreSigninResponse> raced;
  api().userSigninForSourceLocation(location_, raced.completion());
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i)
    threads.emplace_back([this] {
      api().signinAuthenticationCallBackHandler(
          *URL::fromString("sileo://authentication_success?token=t&payment_secret=s"));
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(raced.calls, 1) << "the pending sign-in is answered exactly once";
}

TEST_F(PaymentTest, PurchaseCompletesAtOnceOrAfterThePurchasePage) {
  addPaidRepo(endpoint_);
  signIn();
  PaymentTestRecords::addPackage("com.nan.debd", location_);
  answerPost("/paidrepo/api/package/com.nan.debd/purchase", R"({"status":0})");
  Outcome<RepoStorePackagePurchaseResponse> bought;
  api().purchasePackageWithIdentifier("com.nan.debd", bought.completion());
  ASSERT_TRUE(bought.wait());
  EXPECT_FALSE(bought.failed);
  EXPECT_EQ(bought.response->status, 0);
  auto body = Value::fromJSON(server_.requestsTo("/paidrepo/api/package/com.nan.debd/purchase")[0].body);
  EXPECT_EQ((*body)["token"].asString(), "tok");
  EXPECT_EQ((*body)["payment_secret"].asString(), "sec");

  answerPost("/paidrepo/api/package/com.nan.debd/purchase", R"({"status":1,"url":"https://shop.example.com/buy/42"})");
  Outcome<RepoStorePackagePurchaseResponse> page;
  api().purchasePackageWithIdentifier("com.nan.debd", page.completion());
  ASSERT_TRUE(waitForPages(1));
  EXPECT_EQ(pages()[0], "https://shop.example.com/buy/42");
  EXPECT_EQ(page.calls, 0);
  api().purchaseCompletedCallbackHandler();
  ASSERT_TRUE(page.wait());
  EXPECT_FALSE(page.failed);
  EXPECT_EQ(page.response->status, 0);
  api().purchaseCompletedCallbackHandler();
  EXPECT_EQ(page.calls, 1) << "a second callback finds no purchase pending";
}

TEST_F(PaymentTest, PurchaseRepliesWithoutStatusOrPageFail) {
  addPaidRepo(endpoint_);
  signIn();
  PaymentTestRecords::addPackage("com.nan.debd", location_);
  EXPECT_EQ(KVRepoStoreResponseFactory::packagePurchaseResponse()->status, -1) << "a fresh reply has no status";
  answerPost("/paidrepo/api/package/com.nan.debd/purchase", R"({"status":null,"error":"card declined"})");
  Outcome<RepoStorePackagePurchaseResponse> declined;
  api().purchasePackageWithIdentifier("com.nan.debd", declined.completion());
  ASSERT_TRUE(declined.wait());
  EXPECT_FALSE(declined.failed);
  EXPECT_EQ(declined.response->status, -1);
  EXPECT_EQ(declined.message(), "card declined");

  answerPost("/paidrepo/api/package/com.nan.debd/purchase", R"({"status":1})");
  Outcome<RepoStorePackagePurchaseResponse> noPage;
  api().purchasePackageWithIdentifier("com.nan.debd", noPage.completion());
  ASSERT_TRUE(noPage.wait());
  EXPECT_TRUE(noPage.failed) << "a purchase page that cannot be opened fails instead of waiting for ever";

  answerPost("/paidrepo/api/package/com.nan.debd/purchase", "<html>", 200);
  Outcome<RepoStorePackagePurchaseResponse> garbage;
  api().purchasePackageWithIdentifier("com.nan.debd", garbage.completion());
  ASSERT_TRUE(garbage.wait());
  EXPECT_TRUE(garbage.failed);
  EXPECT_EQ(garbage.response->status, -1);

  answerPost("/paidrepo/api/package/com.nan.debd/purchase", "{}", 401);
  Outcome<RepoStorePackagePurchaseResponse> unauthorized;
  api().purchasePackageWithIdentifier("com.nan.debd", unauthorized.completion());
  ASSERT_TRUE(unauthorized.wait());
  EXPECT_EQ(unauthorized.message(), "Purchase request failed, communication with the server failed (401)");
  EXPECT_EQ(unauthorized.code(), 401);
}

TEST_F(PaymentTest, PurchaseChecksSourceBeforeCredentials) {
  PaymentTestRecords::addPackage("com.example.orphan", "https://gone.example.com/");
  Outcome<RepoStorePackagePurchaseResponse> orphan;
  api().purchasePackageWithIdentifier("com.example.orphan", orphan.completion());
  EXPECT_EQ(orphan.message(), "Purchase request failed, source with url:(https://gone.example.com/) can't be found");

  addPaidRepo(endpoint_);
  PaymentTestRecords::addPackage("com.nan.debd", location_);
  KVKeychainBindings::sharedKeychainBindings().setObject("only-token", location_ + "_token");
  Outcome<RepoStorePackagePurchaseResponse> tokenOnly;
  api().purchasePackageWithIdentifier("com.nan.debd", tokenOnly.completion());
  EXPECT_TRUE(tokenOnly.failed);
  EXPECT_EQ(tokenOnly.message(), "Purchase request failed, user not signed in to source with url:(" + location_ + ")");
  EXPECT_EQ(server_.requestCount(), 0u);
  api().invalidateCredentialsForSourceLocation(location_);
  EXPECT_FALSE(api().storedTokenForSourceLocation(location_));
}
