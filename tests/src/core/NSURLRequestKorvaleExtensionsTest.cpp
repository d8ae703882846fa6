#include <gtest/gtest.h>

#include "core/NSURLRequestKorvaleExtensions.h"
#include "core/NSURLSessionConfigurationNoCache.h"
#include "foundation/RunLoop.h"
#include "support/DeviceRootFixture.h"
#include "support/Latch.h"
#include "support/TestHttpServer.h"

using namespace NSURLRequestKorvaleExtensions;

namespace {
class RequestFactoryTest : public DeviceRootFixture {
 protected:
  TemporaryDeviceRoot::Options deviceRootOptions() const override {
    TemporaryDeviceRoot::Options o;
    o.facts.systemVersion = "13.3";
    o.facts.model = "iPhone11,8";
    o.facts.udid = "00008030-001A2B3C4D5E6F70";
    return o;
  }
  // Sends the request on a no-cache session and waits for the reply.
  URLResponseRef send(const URLRequest& request, const std::shared_ptr<URLSession>& session = nullptr) {
    auto s = session ? session : URLSession::sessionWithConfiguration(NSURLSessionConfigurationNoCache::noCacheConfigureation());
    Latch done;
    URLResponseRef response;
    s->dataTaskWithRequest(request, [&](std::optional<Data>, URLResponseRef r, ErrorRef) {
       response = r;
       done.arrive();
     })->resume();
    EXPECT_TRUE(done.wait(20));
    return response;
  }
  TestHttpServer server_;
};
}  // namespace

TEST_F(RequestFactoryTest, RepositoryRequestHeadersArriveVerbatim) {
  server_.respond("/Release", TestHttpResponse::text("Origin: x\n"));
  URLRequest request =
      QuillbarkRequestWithString(server_.url("/Release"), "GET", 10, std::string("Wed, 21 Oct 2026 07:28:00 GMT"));
  EXPECT_EQ(request.cachePolicy(), URLRequest::ReloadIgnoringLocalCacheData);
  EXPECT_EQ(request.timeoutInterval(), 10);
  std::vector<std::string> order;
  for (const auto& [name, value] : request.allHTTPHeaderFields()) order.push_back(name);
  EXPECT_EQ(order, (std::vector<std::string>{"X-Machine", "X-Firmware", "X-Unique-ID", "X-Cydia-ID",
                                             "If-Modified-Since", "User-Agent"}));
  ASSERT_TRUE(send(request));
  ASSERT_EQ(server_.requestCount("/Release"), 1u);
  TestHttpRequest seen = server_.requestsTo("/Release")[0];
  EXPECT_EQ(seen.method, "GET");
  EXPECT_EQ(seen.header("X-Machine"), "iPhone11,8");
  EXPECT_EQ(seen.header("X-Firmware"), "13.3");
  EXPECT_EQ(seen.header("X-Unique-ID"), "00008030-001A2B3C4D5E6F70");
  EXPECT_EQ(seen.header("X-Cydia-ID"), seen.header("X-Unique-ID"));
  EXPECT_EQ(seen.header("If-Modified-Since"), "Wed, 21 Oct 2026 07:28:00 GMT");
  EXPECT_EQ(seen.header("User-Agent"), "Telesphoreo APT-HTTP/1.0.592");
}

TEST_F(RequestFactoryTest, TimeoutsMethodsAndAbsentValues) {
  EXPECT_EQ(QuillbarkRequestWithString("https://r.example.com/", "GET", -1).timeoutInterval(), 30);
  EXPECT_EQ(QuillbarkRequestWithString("https://r.example.com/", "GET", 0).timeoutInterval(), 0);
  EXPECT_EQ(QuillbarkGetRequestWithString("https://r.example.com/").timeoutInterval(), 30);
  EXPECT_EQ(QuillbarkGetRequestWithString("https://r.example.com/").HTTPMethod(), "GET");
  EXPECT_EQ(QuillbarkPutRequestWithString("https://r.example.com/").HTTPMethod(), "PUT");
  EXPECT_EQ(QuillbarkRequestWithString("https://r.example.com/", "HEAD", 5).HTTPMethod(), "HEAD");
  EXPECT_FALSE(QuillbarkGetRequestWithString("https://r.example.com/").valueForHTTPHeaderField("If-Modified-Since"));
  EXPECT_FALSE(QuillbarkGetRequestWithString("not a url").url()) << "a text that is no URL gives no URL, no failure";

  // A device that gives no identifier sends no identifier fields at all.
  TemporaryDeviceRoot::Options o;
  o.facts.udid = "";
  TemporaryDeviceRoot anonymous(o);
  URLRequest request = QuillbarkGetRequestWithString(server_.url("/x"));
  EXPECT_FALSE(request.valueForHTTPHeaderField("X-Unique-ID"));
  EXPECT_FALSE(requestWithURL(URL::fromString(server_.url("/x"))).valueForHTTPHeaderField("X-Device-UUID"));
  send(request);
  ASSERT_EQ(server_.requestCount("/x"), 1u);
  EXPECT_FALSE(server_.requestsTo("/x")[0].hasHeader("X-Cydia-ID"));
}

TEST_F(RequestFactoryTest, ServiceRequestCarriesTheApplicationsAgent) {
  URLRequest request = requestWithURL(URL::fromString(server_.url("/api/info")));
  EXPECT_EQ(request.cachePolicy(), URLRequest::UseProtocolCachePolicy);
  EXPECT_EQ(request.timeoutInterval(), 30);
  EXPECT_EQ(request.HTTPMethod(), "GET");
  send(request);
  ASSERT_EQ(server_.requestCount("/api/info"), 1u);
  TestHttpRequest seen = server_.requestsTo("/api/info")[0];
  EXPECT_EQ(seen.header("User-Agent"), "Quill/5.0 (iPhone/13.3, like CFNetwork/220.0)");
  EXPECT_EQ(seen.header("X-Device-UUID"), "00008030-001A2B3C4D5E6F70");
}

TEST_F(RequestFactoryTest, TheNoCacheSessionNeverAnswersFromACache) {
  TestHttpResponse cacheable = TestHttpResponse::text("list");
  cacheable.headers = {{"Cache-Control", "public, max-age=86400"}};
  server_.respond("/list.json", cacheable);
  URLSessionConfiguration config = NSURLSessionConfigurationNoCache::noCacheConfigureation();
  EXPECT_TRUE(config.ephemeral);
  EXPECT_EQ(config.requestCachePolicy, URLRequest::ReloadIgnoringLocalCacheData);
  EXPECT_FALSE(config.urlCache);
  auto session = URLSession::sessionWithConfiguration(config);
  // Even a request asking for the protocol's policy, on the same session, reaches the server.
  for (int i = 0; i < 3; ++i) send(URLRequest(URL::fromString(server_.url("/list.json"))), session);
  EXPECT_EQ(server_.requestCount("/list.json"), 3u);
  // The same exchange on a caching session is answered once by the server.
  auto caching = URLSession::sessionWithConfiguration(URLSessionConfiguration::ephemeralSessionConfiguration());
  for (int i = 0; i < 3; ++i) send(URLRequest(URL::fromString(server_.url("/list.json"))), caching);
  EXPECT_EQ(server_.requestCount("/list.json"), 4u);
}

TEST_F(RequestFactoryTest, FileExistsAndFileChangedChecks) {
  TestHttpResponse dated = TestHttpResponse::text("x");
  dated.headers = {{"Last-Modified", "Tue, 01 Dec 2026 10:00:00 GMT"}};
  server_.respond("/dated", dated);
  auto session = URLSession::sessionWithConfiguration(NSURLSessionConfigurationNoCache::noCacheConfigureation());
  Latch both(2);
  bool exists = false, missing = true;
  fileExistsAtLocation(server_.url("/dated"), session, [&](bool e) {
    exists = e;
    both.arrive();
  });
  fileExistsAtLocation(server_.url("/nothing"), session, [&](bool e) {
    missing = e;
    both.arrive();
  });
  ASSERT_TRUE(both.wait(20));
  EXPECT_TRUE(exists);
  EXPECT_FALSE(missing);
  EXPECT_EQ(server_.requestsTo("/dated")[0].method, "HEAD");

  std::vector<bool> answers;
  bool onMain = true;
  for (int i = 0; i < 2; ++i) {
    hasFileChangedAtLocation(server_.url("/dated"), session, [&](bool changed) {
      onMain = onMain && RunLoop::isMainThread();
      answers.push_back(changed);
    });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return answers.size() == static_cast<size_t>(i + 1); }, 20));
  }
  EXPECT_EQ(answers, (std::vector<bool>{true, false})) << "first sight counts as changed, the same date does not";
  EXPECT_TRUE(onMain);
}
