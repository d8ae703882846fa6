// The vendor account: signing in against the played service, what it stores and pulls,
// every way a sign-in can fail, and signing out.
#include "VendorTestSupport.h"
#include "account/KVKeychainBindings.h"
#include "foundation/RunLoop.h"

namespace {
const TestVendorService::User kAnn{7, "ann", "p&ss+w%rd=é", "ann@example.org", "https://img.example/ann.png", "2", "5,9"};

// Waits (pumping the main loop) until `done` holds.
bool eventually(const std::function<bool()>& done) { return RunLoop::main().runUntil(done, 20); }

KVAccount& account() { return KVAccount::instance(); }
}  // namespace

class AccountTest : public VendorTest {
 protected:
  std::string signIn(const std::string& username, const std::string& password) {
    Answers answers;
    account().performLogin(username, password, answers.textCompletion());
    return answers.wait();
  }
  static bool signedOut() {
    return !account().returnUsername() && !account().returnPassword() && account().returnUserID() == 0;
  }
};

TEST_F(AccountTest, SignsInStoresTheSevenValuesAndPullsBothLists) {
  service->addUser(kAnn);
  service->setWishlist(7, "com.a;com.b");
  service->setFollowedDevelopers(7, "alice;bob");
  addPackage("com.a");
  addPackage("com.b", false);
  addPackage("com.c", true);
  addDeveloper("carol", true);
  addDeveloper("bob", false);

  EXPECT_EQ(signIn("ann", kAnn.password), "Success");
  // The password with "&", "+", "%", "=" and "é" arrives as typed.
  ASSERT_EQ(service->fieldsSentTo("login/login.php"),
            (std::vector<TestVendorService::Fields>{{{"username", "ann"}, {"password", kAnn.password}, {"login", "Thornwake"}}}));
  EXPECT_EQ(account().returnUsername(), "ann");
  EXPECT_EQ(account().returnPassword(), kAnn.password);
  EXPECT_EQ(account().returnUserID(), 7);
  EXPECT_EQ(account().returnEmail(), "ann@example.org");
  EXPECT_EQ(account().returnAvatarURL(), "https://img.example/ann.png");
  auto& keychain = KVKeychainBindings::sharedKeychainBindings();
  EXPECT_EQ(keychain.objectForKey("groupID"), "2");
  EXPECT_EQ(keychain.objectForKey("secGroupID"), "5,9");

  // The lists follow the account: the wishlist rewritten in the service's order, the
  // developers marked in one go, an unknown one added.
  ASSERT_TRUE(eventually([] { return developerNames() == std::vector<std::string>{"carol-", "bob+", "alice+"}; }))
      << ::testing::PrintToString(developerNames());
  DispatchQueue::drainGlobalQueues();
  EXPECT_EQ(wishlistMark("com.a"), true);
  EXPECT_EQ(wishlistMark("com.b"), true);
  EXPECT_EQ(wishlistMark("com.c"), false);
  EXPECT_EQ(KVRDeveloper::objectsWhere("name = %@", "alice").first()->packagesCount(), 0);
  // What was just received is not sent back.
  EXPECT_EQ(service->fieldsSentTo("followeddevs/developers.php").size(), 0u);
  EXPECT_EQ(service->fieldsSentTo("wishlist/wishlist.php").size(), 0u);
  EXPECT_EQ(service->fieldsSentTo("wishlist/retrievewishlist.php")[0],
            (TestVendorService::Fields{{"userID", "7"}}));
}

TEST_F(AccountTest, TheServiceFailureTextsReachTheCallerAndStoreNothing) {
  service->addUser(kAnn);
  EXPECT_EQ(signIn("ann", "wrong"), "Incorrect password. Please try again.");
  EXPECT_EQ(signIn("nobody", "x"), "The requested user 'nobody' could not be found.");
  EXPECT_TRUE(signedOut());

  // Empty input never reaches the service and is answered at once.
  std::string answered;
  account().performLogin("ann", "", [&](const std::string& status) { answered = status; });
  EXPECT_EQ(answered, "You have to fill in both username and password");
  account().performLogin("", "x", [&](const std::string& status) { answered = status + "!"; });
  EXPECT_EQ(answered, "You have to fill in both username and password!");
  EXPECT_EQ(service->fieldsSentTo("login/login.php").size(), 2u);
}

TEST_F(AccountTest, NullValuesKeepWhatWasStoredAndThePasswordIsAlwaysTheTypedOne) {
  account().setEmail(std::string("old@example.org"));
  account().setPassword(std::string("old"));
  // A number where a text belongs is stored as its text; other types are left alone.
  service->answer("login/login.php",
                  TestHttpResponse::json(R"({"username":"ann","email":null,"user_id":12,"group_id":[1],"avatar_url":"a"})"));
  EXPECT_EQ(signIn("ann", "new"), "Success");
  EXPECT_EQ(account().returnEmail(), "old@example.org");
  EXPECT_EQ(account().returnPassword(), "new");
  EXPECT_EQ(account().returnUserID(), 12);
  EXPECT_EQ(KVKeychainBindings::sharedKeychainBindings().objectForKey("groupID"), std::nullopt);
}

TEST_F(AccountTest, SuccessOnlyWhenAUserNameIsStoredAfterwards) {
  service->answer("login/login.php", TestHttpResponse::json(R"({"email":"x@example.org","user_id":"3"})"));
  EXPECT_EQ(signIn("ann", "pw"), KVAccount::kNoAccountName);
  EXPECT_TRUE(signedOut());
  EXPECT_EQ(account().returnEmail(), std::nullopt);

  service->answer("login/login.php", TestHttpResponse::json(R"({"username":"","user_id":"3"})"));
  EXPECT_EQ(signIn("ann", "pw"), KVAccount::kNoAccountName);
  EXPECT_TRUE(signedOut());

  // A reply that names nobody while an account is stored keeps that account's name.
  account().setUsername(std::string("ann"));
  service->answer("login/login.php", TestHttpResponse::json(R"({"user_id":"3"})"));
  EXPECT_EQ(signIn("ann", "pw"), "Success");
  EXPECT_EQ(account().returnUsername(), "ann");
  EXPECT_EQ(account().returnUserID(), 3);
}

TEST_F(AccountTest, EveryFaultCompletesTheSignInWithAFailureText) {
  KVVendorService::setRequestTimeout(1);
  TestHttpResponse slow = TestHttpResponse::json(R"({"username":"ann"})");
  // libcurl averages the speed over the last five seconds, so the form's own upload
  // keeps a POST from idling out for about that long.
  slow.delay = std::chrono::seconds(9);
  const std::pair<const char*, TestHttpResponse> faults[] = {
      {"500 with a page", TestHttpResponse::text("<html>Internal error</html>", 500)},
      {"not JSON", TestHttpResponse::text("Service down for maintenance")},
      {"a near miss of the failure text", TestHttpResponse::text("Incorrect password. Please try again.\n")},
      {"JSON that is no object", TestHttpResponse::json(R"(["ann"])")},
      {"a dropped connection", TestVendorService::droppedConnection()},
      {"past the time-out", slow},
  };
  for (const auto& [what, response] : faults) {
    service->answer("login/login.php", response);
    std::string status = signIn("ann", "pw");
    EXPECT_NE(status, "Success") << what;
    EXPECT_NE(status, "<no answer>") << what;
    EXPECT_FALSE(status.empty()) << what;
    EXPECT_TRUE(signedOut()) << what;
  }
  // Nobody listening at all.
  KVVendorService::setServiceBaseURL(TestHttpServer::closedBaseURL());
  std::string status = signIn("ann", "pw");
  EXPECT_NE(status, "<no answer>");
  EXPECT_NE(status, "Success");
  EXPECT_TRUE(signedOut());
}

TEST_F(AccountTest, SigningOutForgetsTheAccountAndKeepsTheLocalLists) {
  service->addUser(kAnn);
  service->setWishlist(7, "com.a");
  addPackage("com.a");
  ASSERT_EQ(signIn("ann", kAnn.password), "Success");
  ASSERT_TRUE(eventually([] { return wishlistMark("com.a") == true; }));
  DispatchQueue::drainGlobalQueues();

  account().logout();
  EXPECT_TRUE(signedOut());
  EXPECT_EQ(account().returnEmail(), std::nullopt);
  EXPECT_EQ(account().returnAvatarURL(), std::nullopt);
  for (const char* key : {"groupID", "secGroupID"})
    EXPECT_EQ(KVKeychainBindings::sharedKeychainBindings().objectForKey(key), std::nullopt) << key;
  EXPECT_EQ(wishlistMark("com.a"), true);
}
