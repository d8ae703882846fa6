#include <gtest/gtest.h>
#include <sys/time.h>

#include "database/TweakCompatibilityManager.h"
#include "foundation/Files.h"
#include "support/DeviceRootFixture.h"
#include "support/Latch.h"
#include "support/TestHttpServer.h"

namespace {

const char* kReply = R"({"packages":[
  {"id":"com.example.good","versions":[
     {"tweakVersion":"1.0","outcome":{"calculatedStatus":"Working"}},
     {"tweakVersion":"1.1","outcome":{"calculatedStatus":"Not working"}},
     {"tweakVersion":"1.2","outcome":{"calculatedStatus":"Likely working"}},
     {"tweakVersion":"1.0","outcome":{"calculatedStatus":"Not working"}},
     {"outcome":{"calculatedStatus":"Working"}}]},
  {"id":"com.example.good","versions":[{"tweakVersion":"9.9","outcome":{"calculatedStatus":"Working"}}]},
  {"versions":[{"tweakVersion":"1.0","outcome":{"calculatedStatus":"Working"}}]},
  {"id":"com.example.odd","versions":"not a list"}
]})";

class TweakCompatibilityTest : public DeviceRootFixture {
 protected:
  TemporaryDeviceRoot::Options deviceRootOptions() const override {
    TemporaryDeviceRoot::Options o;
    o.facts.systemVersion = "14.4";
    return o;
  }
  void SetUp() override {
    DeviceRootFixture::SetUp();
    TweakCompatibilityManager::setServiceBaseURL(server_.baseURL());
  }
  void TearDown() override {
    TweakCompatibilityManager::setServiceBaseURL(TweakCompatibilityManager::kDefaultServiceBaseURL);
    DeviceRootFixture::TearDown();
  }
  // Runs one update and waits for its outcome.
  bool update(TweakCompatibilityManager& manager) {
    Latch done;
    bool loaded = false;
    manager._updateList([&](bool ok) {
      loaded = ok;
      done.arrive();
    });
    EXPECT_TRUE(done.wait(20));
    return loaded;
  }
  void writeCache(const Value& list, double ageSeconds) {
    std::string path = TweakCompatibilityManager::cacheFilePath();
    ASSERT_TRUE(Files::createDirectories(Files::deletingLastPathComponent(path)));
    ASSERT_TRUE(Files::writeAtomically(path, list.toXMLPropertyList()));
    struct timeval now {};
    gettimeofday(&now, nullptr);
    struct timeval times[2] = {now, now};
    times[0].tv_sec -= static_cast<long>(ageSeconds);
    times[1].tv_sec -= static_cast<long>(ageSeconds);
    ASSERT_EQ(utimes(path.c_str(), times), 0);
  }
  static constexpr const char* kPath = "/tweakCompatible/json/iOS/14.4.json";
  TestHttpServer server_;
};

}  // namespace

TEST_F(TweakCompatibilityTest, BeforeAnyListEverythingIsUnknownAndYellow) {
  TweakCompatibilityManager manager;
  EXPECT_FALSE(manager.loadingComplete());
  EXPECT_EQ(manager.compatibilityForBundle("com.example.good", "1.0"), 2);
  EXPECT_EQ(manager.compatibilityForBundle("x", "1"), 2);
}

TEST_F(TweakCompatibilityTest, ServiceReplyIsReadAndCached) {
  server_.respond(kPath, TestHttpResponse::json(kReply));
  TweakCompatibilityManager manager;
  ASSERT_TRUE(update(manager));
  EXPECT_TRUE(manager.loadingComplete());
  EXPECT_EQ(manager.compatibilityForBundle("com.example.good", "1.0"), 1) << "a later entry for a version replaces it";
  EXPECT_EQ(manager.compatibilityForBundle("com.example.good", "1.1"), 1);
  EXPECT_EQ(manager.compatibilityForBundle("com.example.good", "1.2"), 2);
  EXPECT_EQ(manager.compatibilityForBundle("com.example.good", "9.9"), 2) << "the first element for an identifier wins";
  EXPECT_EQ(manager.compatibilityForBundle("com.example.good", "1.0-1"), 2) << "versions match as exact texts";
  EXPECT_EQ(manager.compatibilityForBundle("", "1.0"), 2) << "elements without an id are skipped";
  EXPECT_EQ(manager.compatibilityForBundle("com.example.odd", "1"), 2);
  auto cached = Value::fromPropertyListFile(TweakCompatibilityManager::cacheFilePath());
  ASSERT_TRUE(cached);
  EXPECT_EQ((*cached)["com.example.good"]["1.1"].asInt(), 1);
  EXPECT_FALSE(cached->contains(""));
  auto requests = server_.requestsTo(kPath);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
}

TEST_F(TweakCompatibilityTest, AFreshCacheFileIsUsedWithoutARequest) {
  writeCache(Value::dict({{"com.example.cached", Value::dict({{"2.0", 0}})}}), 10 * 60);
  server_.respond(kPath, TestHttpResponse::json(kReply));
  TweakCompatibilityManager manager;
  ASSERT_TRUE(update(manager));
  EXPECT_EQ(manager.compatibilityForBundle("com.example.cached", "2.0"), 0);
  EXPECT_EQ(server_.requestCount(kPath), 0u);
}

TEST_F(TweakCompatibilityTest, AnOldCacheFileIsRefreshed) {
  writeCache(Value::dict({{"com.example.cached", Value::dict({{"2.0", 0}})}}), 20 * 60);
  server_.respond(kPath, TestHttpResponse::json(kReply));
  TweakCompatibilityManager manager;
  ASSERT_TRUE(update(manager));
  EXPECT_EQ(server_.requestCount(kPath), 1u);
  EXPECT_EQ(manager.compatibilityForBundle("com.example.cached", "2.0"), 2);
  EXPECT_EQ(manager.compatibilityForBundle("com.example.good", "1.1"), 1);
  auto modified = Files::modificationDate(TweakCompatibilityManager::cacheFilePath());
  ASSERT_TRUE(modified);
  EXPECT_LT(Date::now().timeIntervalSinceDate(*modified), 60);
}

TEST_F(TweakCompatibilityTest, ACacheFileDatedInTheFutureIsRefreshed) {
  writeCache(Value::dict({{"com.example.cached", Value::dict({{"2.0", 0}})}}), -3600);
  server_.respond(kPath, TestHttpResponse::json(kReply));
  TweakCompatibilityManager manager;
  ASSERT_TRUE(update(manager));
  EXPECT_EQ(server_.requestCount(kPath), 1u);
  EXPECT_EQ(manager.compatibilityForBundle("com.example.cached", "2.0"), 2);
}

TEST_F(TweakCompatibilityTest, HtmlMissingOrMalformedRepliesLeaveUnknownAndWriteNothing) {
  TestHttpResponse html = TestHttpResponse::text("<html><body>maintenance</body></html>");
  html.contentType = "text/html";
  const std::vector<TestHttpResponse> replies = {html, TestHttpResponse::json(kReply, 404),
                                                 TestHttpResponse::json("[1,2,3]"),
                                                 TestHttpResponse::json(R"({"packages":"none"})")};
  for (const auto& reply : replies) {
    server_.respond(kPath, reply);
    TweakCompatibilityManager manager;
    EXPECT_FALSE(update(manager)) << reply.body;
    EXPECT_FALSE(manager.loadingComplete());
    EXPECT_EQ(manager.compatibilityForBundle("com.example.good", "1.1"), 2);
    EXPECT_FALSE(Files::exists(TweakCompatibilityManager::cacheFilePath()));
  }
  // No server at all: the same.
  TweakCompatibilityManager::setServiceBaseURL("http://127.0.0.1:1");
  TweakCompatibilityManager manager;
  EXPECT_FALSE(update(manager));
  EXPECT_EQ(manager.compatibilityForBundle("com.example.good", "1.1"), 2);
}

TEST_F(TweakCompatibilityTest, AFailedRefreshKeepsTheListAlreadyLoaded) {
  server_.respond(kPath, TestHttpResponse::json(kReply));
  TweakCompatibilityManager manager;
  ASSERT_TRUE(update(manager));
  ASSERT_TRUE(Files::removeItem(TweakCompatibilityManager::cacheFilePath()));
  server_.respond(kPath, TestHttpResponse::json("oops", 500));
  EXPECT_FALSE(update(manager));
  EXPECT_TRUE(manager.loadingComplete());
  EXPECT_EQ(manager.compatibilityForBundle("com.example.good", "1.1"), 1);
}
