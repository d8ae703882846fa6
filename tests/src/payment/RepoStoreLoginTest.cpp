// Signing in to a repository's payment service and marking what the user owns there.
#include <atomic>

#include "PaymentTestSupport.h"
#include "foundation/NotificationCenter.h"
#include "support/ManualClock.h"

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

TEST_F(RepoStoreLoginTest, ALoginWithNothingOwnedSucceedsAndLeavesTheMarks) {
  LoginOutcome out;
  KVRepoStoreAPI::loginToSource(location_, out.completion());  // the fixture's reply lists no items
  completeSignIn();
  ASSERT_TRUE(out.wait());
  EXPECT_TRUE(out.success);
  EXPECT_TRUE(PaymentTestRecords::isPaidThroughSileo("com.example.owned-before"));
  EXPECT_FALSE(PaymentTestRecords::isPaidThroughSileo("com.nan.debd"));
  EXPECT_EQ(announced_, 0);
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
