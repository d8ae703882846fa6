// Signing in to a repository's payment service and marking what the user owns there.
#include <atomic>

#include "PaymentTestSupport.h"
#include "foundation/NotificationCenter.h"
#include "database/KVRSource.h"
#include "payment/KVRepoStoreRecords.h"
#include "store/Database.h"
#include "support/ManualClock.h"
#include "support/Written.h"

namespace {

// What a login completion received; the test waits for it.
struct LoginOutcome {
  std::mutex mutex;
  std::condition_variable cv;
  int calls = 0;
  bool success = false;

  std::function<void(bool)> completion() {
    return [this](bool s) {
      std::lock_guard<std::mutex> lock(mutex);
      success = s;
      ++calls;
      cv.notify_all();
    };
  }
  bool wait() {
    std::unique_lock<std::mutex> lock(mutex);
    return cv.wait_for(lock, std::chrono::seconds(20), [&] { return calls > 0; });
  }
};

class RepoStoreLoginTest : public PaymentTest {
 protected:
  void SetUp() override {
    PaymentTest::SetUp();
    addPaidRepo(endpoint_);
    PaymentTestRecords::addPackage("com.nan.debd", location_);
    PaymentTestRecords::addPackage("com.example.owned-before", location_);
    PaymentTestRecords::addPackage("com.example.elsewhere", "https://other.example.com/");
    PaymentTestRecords::markPaid("com.example.owned-before");
    announcements_ = NotificationCenter::defaultCenter().addObserver(
        "KVRSourceUpdatedNotification", NotificationCenter::kPostingThread, [this](const Notification& n) {
          if (n.object.asString() == location_) ++announced_;
        });
  }
  void TearDown() override {
    announcements_.invalidate();
    PaymentTest::TearDown();
  }
  // The service's sign-in page calls back with the test repository's credentials.
  void completeSignIn(const std::string& query = "token=tok&payment_secret=sec") {
    ASSERT_TRUE(waitForPages(1));
    api().signinAuthenticationCallBackHandler(*URL::fromString("sileo://authentication_success?" + query));
  }
  std::atomic<int> announced_{0};
  NotificationToken announcements_;
};

}  // namespace

TEST_F(RepoStoreLoginTest, ALoginMarksWhatTheUserOwnsAndAnnouncesItASecondLater) {
  ManualClock clock;
  answerPost("/paidrepo/api/user_info",
             R"({"user":{"name":"test"},"items":["com.nan.debd","com.example.elsewhere","com.example.unknown"]})");
  LoginOutcome out;
  KVRepoStoreAPI::loginToSource(location_, out.completion());
  completeSignIn();
  ASSERT_TRUE(out.wait());
  EXPECT_TRUE(out.success);
  EXPECT_TRUE(KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(location_));
  EXPECT_TRUE(PaymentTestRecords::isPaidThroughSileo("com.nan.debd"));
  EXPECT_TRUE(PaymentTestRecords::isPaidThroughSileo("com.example.elsewhere")) << "an owned package of any source";
  EXPECT_FALSE(PaymentTestRecords::isPaidThroughSileo("com.example.owned-before")) << "not owned any more";
  auto body = Value::fromJSON(server_.requestsTo("/paidrepo/api/user_info")[0].body);
  EXPECT_EQ((*body)["token"].asString(), "tok") << "the user information asks with the fresh token";

  ASSERT_TRUE(RunLoop::main().runUntil([] { return RunLoop::main().secondsToNextTimer() >= 0; }, 20));
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(announced_, 0);
  clock.advance(1);
  EXPECT_EQ(announced_, 1);
}

TEST_F(RepoStoreLoginTest, ALoginWithNothingOwnedSucceedsAndClearsTheSourcesOldMarks) {
  ManualClock clock;
  LoginOutcome out;
  KVRepoStoreAPI::loginToSource(location_, out.completion());  // the fixture's reply lists no items
  completeSignIn();
  ASSERT_TRUE(out.wait());
  EXPECT_TRUE(out.success);
  EXPECT_FALSE(PaymentTestRecords::isPaidThroughSileo("com.example.owned-before")) << "owned by nobody signed in";
  EXPECT_FALSE(PaymentTestRecords::isPaidThroughSileo("com.nan.debd"));
  ASSERT_TRUE(RunLoop::main().runUntil([] { return RunLoop::main().secondsToNextTimer() >= 0; }, 20));
  clock.advance(1);
  EXPECT_EQ(announced_, 1) << "the marks changed, so the screens hear of it";
}

TEST_F(RepoStoreLoginTest, ALogoutUnmarksTheSourceAndAnnouncesItEvenWhenTheServiceFails) {
  ManualClock clock;
  PaymentTestRecords::markPaid("com.example.elsewhere");
  signIn();
  answerPost("/paidrepo/api/sign_out", "gateway down", 502);
  LoginOutcome out;
  KVRepoStoreAPI::logoutOfSource(location_, out.completion());
  ASSERT_TRUE(out.wait());
  EXPECT_TRUE(out.success) << "a logout always ends with YES";
  EXPECT_FALSE(PaymentTestRecords::isPaidThroughSileo("com.example.owned-before"));
  EXPECT_TRUE(PaymentTestRecords::isPaidThroughSileo("com.example.elsewhere")) << "another source's mark stays";
  EXPECT_TRUE(KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(location_)) << "no JSON answer: credentials stay";
  ASSERT_TRUE(RunLoop::main().runUntil([] { return RunLoop::main().secondsToNextTimer() >= 0; }, 20));
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(announced_, 0);
  clock.advance(1);
  EXPECT_EQ(announced_, 1);

  answerPost("/paidrepo/api/sign_out", fixture("api/sign_out"));
  LoginOutcome signedOut;
  KVRepoStoreAPI::logoutOfSource(location_, signedOut.completion());
  ASSERT_TRUE(signedOut.wait());
  EXPECT_TRUE(signedOut.success);
  EXPECT_FALSE(KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(location_));
}

TEST_F(RepoStoreLoginTest, TheEndpointRefreshStoresEveryAnswerBeforeItCompletes) {
  // Three sources answering in the order third, first, second: the completion waits for
  // the slowest, whichever place it has in the list.
  std::string slow = server_.url("/slow/"), broken = server_.url("/broken/");
  PaymentTestRecords::addSource(slow, "");
  PaymentTestRecords::addSource(broken, endpoint_);
  auto delayed = TestHttpResponse::text(" " + endpoint_ + "\n");
  delayed.delay = std::chrono::milliseconds(400);
  server_.respond("/slow/payment_endpoint", delayed);
  server_.respond("/broken/payment_endpoint", TestHttpResponse::text("missing", 404));
  LoginOutcome out;
  KVRepoStoreAPI::refreshEndpontsForAllSourcesWithCompletion(out.completion());
  ASSERT_TRUE(out.wait());
  EXPECT_TRUE(out.success);
  auto stored = [](const std::string& location) { return KVRepoStoreRecords::sourceWithLocation(location); };
  EXPECT_TRUE(stored(location_)->hasEndpoint);
  EXPECT_EQ(stored(location_)->endpoint, "https://pay.example.com/store/api/");
  EXPECT_TRUE(stored(slow)->hasEndpoint) << "the slow answer is stored before the completion";
  EXPECT_EQ(stored(slow)->endpoint, endpoint_);
  EXPECT_FALSE(stored(broken)->hasEndpoint) << "a failed question clears the endpoint";
  EXPECT_EQ(stored(broken)->endpoint, "");

  LoginOutcome one;
  KVRepoStoreAPI::updateEndpointForSourceLocation(broken, one.completion());
  ASSERT_TRUE(one.wait());
  EXPECT_FALSE(one.success);

  auto db = store::Database::defaultDatabase();
  written(db->write([&] { db->deleteAllObjects(KVRSource::className()); }));
  LoginOutcome none;
  KVRepoStoreAPI::refreshEndpontsForAllSourcesWithCompletion(none.completion());
  EXPECT_EQ(none.calls, 1) << "with no source there is nothing to wait for";
  EXPECT_TRUE(none.success);
}

TEST_F(RepoStoreLoginTest, AFailedSignInOrUserInformationEndsTheLoginWithNo) {
  LoginOutcome refused;
  KVRepoStoreAPI::loginToSource(location_, refused.completion());
  completeSignIn("token=tok");  // no payment secret
  ASSERT_TRUE(refused.wait());
  EXPECT_FALSE(refused.success);
  EXPECT_FALSE(KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(location_));

  LoginOutcome unknown;
  KVRepoStoreAPI::loginToSource("https://unknown.example.com/", unknown.completion());
  EXPECT_EQ(unknown.calls, 1) << "a check that fails answers at once";
  EXPECT_FALSE(unknown.success);

  answerPost("/paidrepo/api/user_info", "service down", 503);
  LoginOutcome down;
  {
    std::lock_guard<std::mutex> lock(pagesMutex_);
    pages_.clear();
  }
  KVRepoStoreAPI::loginToSource(location_, down.completion());
  completeSignIn();
  ASSERT_TRUE(down.wait());
  EXPECT_FALSE(down.success);
  EXPECT_TRUE(KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(location_)) << "the credentials stay";
  EXPECT_TRUE(PaymentTestRecords::isPaidThroughSileo("com.example.owned-before"));
}

TEST_F(RepoStoreLoginTest, ALoginLeftOnTheSignInPageNeverCompletes) {
  LoginOutcome out;
  KVRepoStoreAPI::loginToSource(location_, out.completion());
  ASSERT_TRUE(waitForPages(1));
  api().purchaseCompletedCallbackHandler();  // another kind of callback changes nothing
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(out.calls, 0);
  EXPECT_EQ(server_.requestCount("/paidrepo/api/user_info"), 0u);
}
