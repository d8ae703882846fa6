// How transfers use connections and time: connections reused across sessions, the
// idle time-out, and the error codes a failed connection maps to.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>

#include "foundation/URLSession.h"
#include "foundation/URLSessionErrors.h"
#include "support/TestHttpServer.h"

namespace {

struct Fetch {
  std::optional<Data> data;
  URLResponseRef response;
  ErrorRef error;
};

// Runs one data task and waits for its completion.
Fetch fetch(const std::shared_ptr<URLSession>& session, const URLRequest& request) {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  Fetch out;
  session->dataTaskWithRequest(request, [&](std::optional<Data> d, URLResponseRef r, ErrorRef e) {
    std::lock_guard<std::mutex> lock(m);
    out = Fetch{std::move(d), std::move(r), std::move(e)};
    done = true;
    cv.notify_all();
  })->resume();
  std::unique_lock<std::mutex> lock(m);
  EXPECT_TRUE(cv.wait_for(lock, std::chrono::seconds(20), [&] { return done; }));
  return out;
}

URLRequest get(const TestHttpServer& server, const std::string& path) {
  return URLRequest(URL::fromString(server.url(path)));
}

}  // namespace

TEST(URLSessionConnections, SessionsShareTheirConnectionsToAServer) {
  TestHttpServer server(TestHttpConnections::KeepAlive);
  server.respond("/n", TestHttpResponse::text("x"));
  auto first = URLSession::sessionWithConfiguration(URLSessionConfiguration::ephemeralSessionConfiguration());
  auto second = URLSession::sessionWithConfiguration(URLSessionConfiguration::defaultSessionConfiguration());
  for (const auto& session : {first, second, first, second}) {
    Fetch f = fetch(session, get(server, "/n"));
    ASSERT_FALSE(f.error) << f.error->localizedDescription();
    ASSERT_TRUE(f.response);
    EXPECT_EQ(f.response->statusCode(), 200);
  }
  std::set<int> ports;
  for (const auto& request : server.requests()) ports.insert(request.remotePort);
  EXPECT_EQ(server.requestCount(), 4u);
  EXPECT_EQ(ports.size(), 1u) << "four requests, one after another, on one connection";
}

TEST(URLSessionConnections, ASlowTransferThatKeepsSendingOutlastsItsIdleTimeOut) {
  TestHttpServer server;
  // Eight bytes 150 ms apart: 1.2 s in all against a 1 s time-out, with every gap far
  // enough below it that a busy machine can't stretch one past it.
  TestHttpResponse slow = TestHttpResponse::text("abcdefgh");
  slow.contentType = "application/octet-stream";
  slow.trickle = std::chrono::milliseconds(150);
  server.respond("/trickle", slow);
  auto session = URLSession::sessionWithConfiguration(URLSessionConfiguration::ephemeralSessionConfiguration());
  auto started = std::chrono::steady_clock::now();
  Fetch f = fetch(session, URLRequest(URL::fromString(server.url("/trickle")),
                                      URLRequest::ReloadIgnoringLocalCacheData, 1));
  ASSERT_FALSE(f.error) << f.error->localizedDescription();
  ASSERT_TRUE(f.data);
  EXPECT_EQ(stringFromData(*f.data), "abcdefgh");
  EXPECT_GT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1))
      << "the whole transfer took longer than the time-out, yet never idled that long";
}

TEST(URLSessionConnections, ARedirectNeverLeavesHttp) {
  // A hostile server must not lead a fetch to local files or other protocols.
  TestHttpServer server;
  server.redirect("/to-file", "file:///etc/hostname");
  server.redirect("/to-ftp", "ftp://127.0.0.1/x");
  auto session = URLSession::sessionWithConfiguration(URLSessionConfiguration::ephemeralSessionConfiguration());
  for (const char* path : {"/to-file", "/to-ftp"}) {
    Fetch f = fetch(session, get(server, path));
    ASSERT_TRUE(f.error) << path;
    EXPECT_EQ(f.error->code, NSURLErrorUnsupportedURL) << path;
    EXPECT_FALSE(f.data) << path;
  }
}

TEST(URLSessionConnections, FailedConnectionsMapToThePlatformCodes) {
  using URLSessionErrors::codeForCurlResult;
  EXPECT_EQ(codeForCurlResult(CURLE_COULDNT_CONNECT, ENETUNREACH), NSURLErrorNotConnectedToInternet);
  EXPECT_EQ(codeForCurlResult(CURLE_COULDNT_CONNECT, ENETDOWN), NSURLErrorNotConnectedToInternet);
  EXPECT_EQ(codeForCurlResult(CURLE_COULDNT_CONNECT, ECONNREFUSED), NSURLErrorCannotConnectToHost);
  EXPECT_EQ(codeForCurlResult(CURLE_OPERATION_TIMEDOUT, 0), NSURLErrorTimedOut);
  EXPECT_EQ(codeForCurlResult(CURLE_ABORTED_BY_CALLBACK, 0), NSURLErrorCancelled);
  EXPECT_EQ(codeForCurlResult(CURLE_COULDNT_RESOLVE_HOST, 0), NSURLErrorCannotFindHost);

  URLRequest request(URL::fromString("https://repo.example.com/Release"));
  ErrorRef offline = URLSessionErrors::make(NSURLErrorNotConnectedToInternet, "Network is unreachable", request);
  EXPECT_EQ(offline->domain, NSURLErrorDomain);
  EXPECT_EQ(offline->localizedDescription(), "The Internet connection appears to be offline.");
  EXPECT_EQ(offline->localizedFailureReason(), "Network is unreachable");
  EXPECT_EQ(offline->userInfo[NSErrorFailingURLStringKey].asString(), "https://repo.example.com/Release");
}
