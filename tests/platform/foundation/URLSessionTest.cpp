#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <future>
#include <mutex>
#include <thread>

#include "foundation/Files.h"
#include "foundation/URLSession.h"
#include "foundation/URLSessionErrors.h"
#include "support/InflatingBody.h"
#include "support/TestHttpServer.h"

namespace {

// Collects what a completion hands over and lets the test wait for it.
struct Reply {
  std::mutex mutex;
  std::condition_variable cv;
  int calls = 0;
  std::optional<Data> data;
  URLResponseRef response;
  ErrorRef error;
  bool onSessionQueue = false;

  URLSessionDataCompletion completion(const std::shared_ptr<URLSession>& session) {
    std::weak_ptr<URLSession> weak = session;
    return [this, weak](std::optional<Data> d, URLResponseRef r, ErrorRef e) {
      std::lock_guard<std::mutex> lock(mutex);
      auto s = weak.lock();
      onSessionQueue = s && s->delegateQueue().isCurrent();
      data = std::move(d);
      response = std::move(r);
      error = std::move(e);
      ++calls;
      cv.notify_all();
    };
  }
  bool wait(int count = 1) {
    std::unique_lock<std::mutex> lock(mutex);
    return cv.wait_for(lock, std::chrono::seconds(20), [&] { return calls >= count; });
  }
  std::string body() {
    std::lock_guard<std::mutex> lock(mutex);
    return data ? stringFromData(*data) : std::string("<none>");
  }
};

URL url(const TestHttpServer& server, const std::string& path) { return *URL::fromString(server.url(path)); }

std::shared_ptr<URLSession> ephemeralSession() {
  return URLSession::sessionWithConfiguration(URLSessionConfiguration::ephemeralSessionConfiguration());
}

}  // namespace

TEST(URLSessionData, GetDeliversBodyStatusHeadersOnTheSessionQueue) {
  TestHttpServer server;
  TestHttpResponse reply = TestHttpResponse::text("hello there");
  reply.headers = {{"X-Thing", "one"}, {"Last-Modified", "Tue, 01 Dec 2026 10:00:00 GMT"}};
  server.respond("/a.txt", reply);
  auto session = ephemeralSession();
  Reply r;
  session->dataTaskWithURL(url(server, "/a.txt"), r.completion(session))->resume();
  ASSERT_TRUE(r.wait());
  EXPECT_EQ(r.body(), "hello there");
  ASSERT_TRUE(r.response);
  EXPECT_EQ(r.response->statusCode(), 200);
  EXPECT_EQ(r.response->valueForHTTPHeaderField("x-thing").value_or(""), "one");
  EXPECT_EQ(r.response->allHeaderFields()["Last-Modified"].asString(), "Tue, 01 Dec 2026 10:00:00 GMT");
  EXPECT_NE(r.response->headerText().find("X-Thing: one\r\n"), std::string::npos);
  // The length on the wire: the server may compress the body.
  EXPECT_EQ(r.response->expectedContentLength(),
            std::stoll(r.response->valueForHTTPHeaderField("Content-Length").value_or("-1")));
  EXPECT_EQ(r.response->MIMEType(), "text/plain");
  EXPECT_FALSE(r.error);
  EXPECT_TRUE(r.onSessionQueue);
}

TEST(URLSessionData, RedirectsAreFollowedAndTheFinalURLIsReported) {
  TestHttpServer server;
  server.respond("/final", TestHttpResponse::text("arrived"));
  server.redirect("/start", "/middle");
  server.redirect("/middle", "/final", 301);
  auto session = ephemeralSession();
  Reply r;
  session->dataTaskWithURL(url(server, "/start"), r.completion(session))->resume();
  ASSERT_TRUE(r.wait());
  EXPECT_EQ(r.body(), "arrived");
  EXPECT_EQ(r.response->url().absoluteString(), server.url("/final"));
  EXPECT_EQ(r.response->statusCode(), 200);
}

TEST(URLSessionData, MethodsHeadersAndBodiesArriveAsSent) {
  TestHttpServer server;
  server.respond("/echo", TestHttpResponse::json("{}"));
  auto session = ephemeralSession();
  for (std::string method : {"GET", "HEAD", "POST", "PUT"}) {
    server.clearRequests();
    URLRequest request(url(server, "/echo"));
    request.setHTTPMethod(method);
    request.setValue("application/json", "Content-Type");
    request.setValue("v1", "X-Custom");
    request.addValue("v2", "X-Custom");
    if (method == "POST" || method == "PUT") request.setHTTPBody(dataFromString("{\"a\":\"b\"}"));
    Reply r;
    session->dataTaskWithRequest(request, r.completion(session))->resume();
    ASSERT_TRUE(r.wait()) << method;
    ASSERT_EQ(server.requestCount(), 1u) << method;
    TestHttpRequest seen = server.requests()[0];
    EXPECT_EQ(seen.method, method);
    EXPECT_EQ(seen.header("X-Custom"), "v1,v2");
    EXPECT_EQ(seen.header("Content-Type"), "application/json");
    EXPECT_FALSE(seen.hasHeader("Expect"));
    if (method == "POST" || method == "PUT") {
      EXPECT_EQ(seen.body, "{\"a\":\"b\"}");
    } else {
      EXPECT_TRUE(seen.body.empty());
    }
    EXPECT_EQ(r.body(), method == "HEAD" ? "" : "{}");
  }
}

TEST(URLSessionData, AnErrorStatusIsAReplyNotAnError) {
  TestHttpServer server;
  auto session = ephemeralSession();
  Reply r;
  session->dataTaskWithURL(url(server, "/missing"), r.completion(session))->resume();
  ASSERT_TRUE(r.wait());
  EXPECT_FALSE(r.error);
  ASSERT_TRUE(r.response);
  EXPECT_EQ(r.response->statusCode(), 404);
}

TEST(URLSessionErrors, RefusedUnsupportedAndTimedOut) {
  auto session = ephemeralSession();
  Reply refused;
  session->dataTaskWithURL(*URL::fromString(TestHttpServer::closedBaseURL() + "/x"),
                           refused.completion(session))->resume();
  ASSERT_TRUE(refused.wait());
  ASSERT_TRUE(refused.error);
  EXPECT_EQ(refused.error->domain, NSURLErrorDomain);
  EXPECT_EQ(refused.error->code, NSURLErrorCannotConnectToHost);
  EXPECT_FALSE(refused.error->localizedFailureReason().empty());
  EXPECT_FALSE(refused.data);

  Reply ftp;
  session->dataTaskWithURL(*URL::fromString("ftp://127.0.0.1/file"), ftp.completion(session))->resume();
  ASSERT_TRUE(ftp.wait());
  ASSERT_TRUE(ftp.error);
  EXPECT_EQ(ftp.error->code, NSURLErrorUnsupportedURL);

  TestHttpServer server;
  TestHttpResponse slow = TestHttpResponse::text("late");
  slow.delay = std::chrono::seconds(30);
  server.respond("/slow", slow);
  URLRequest request(url(server, "/slow"), URLRequest::ReloadIgnoringLocalCacheData, 1);
  Reply timedOut;
  auto started = std::chrono::steady_clock::now();
  session->dataTaskWithRequest(request, timedOut.completion(session))->resume();
  ASSERT_TRUE(timedOut.wait());
  ASSERT_TRUE(timedOut.error);
  EXPECT_EQ(timedOut.error->code, NSURLErrorTimedOut);
  EXPECT_EQ(timedOut.error->localizedDescription(), "The request timed out.");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
}

TEST(URLSessionCancel, CancellingARunningOrUnstartedTaskEndsItOnceWithCancelled) {
  TestHttpServer server;
  TestHttpResponse slow = TestHttpResponse::text("late");
  slow.delay = std::chrono::seconds(30);
  server.respond("/slow", slow);
  auto session = ephemeralSession();

  Reply running;
  auto task = session->dataTaskWithURL(url(server, "/slow"), running.completion(session));
  task->resume();
  ASSERT_TRUE(server.waitForRequests("/slow", 1));
  task->cancel();
  ASSERT_TRUE(running.wait());
  ASSERT_TRUE(running.error);
  EXPECT_EQ(running.error->code, NSURLErrorCancelled);
  EXPECT_EQ(task->state(), URLSessionTask::Completed);
  task->cancel();

  Reply unstarted;
  auto idle = session->dataTaskWithURL(url(server, "/slow"), unstarted.completion(session));
  EXPECT_EQ(idle->state(), URLSessionTask::Suspended);
  idle->cancel();
  ASSERT_TRUE(unstarted.wait());
  EXPECT_EQ(unstarted.error->code, NSURLErrorCancelled);
  idle->resume();  // too late: nothing is sent
  std::this_thread::yield();
  EXPECT_EQ(server.requestCount("/slow"), 1u);
  std::lock_guard<std::mutex> lock(running.mutex);
  EXPECT_EQ(running.calls, 1);
  EXPECT_EQ(unstarted.calls, 1);
}

TEST(URLSessionQueue, CompletionsOfOneSessionNeverOverlap) {
  TestHttpServer server;
  server.respond("/n", TestHttpResponse::text("x"));
  auto session = ephemeralSession();
  std::atomic<int> inside{0}, overlaps{0}, done{0};
  std::mutex m;
  std::condition_variable cv;
  const int kTasks = 12;
  for (int i = 0; i < kTasks; ++i) {
    session->dataTaskWithURL(url(server, "/n"), [&](std::optional<Data>, URLResponseRef, ErrorRef) {
      if (inside.fetch_add(1) != 0) ++overlaps;
      std::this_thread::yield();
      inside.fetch_sub(1);
      std::lock_guard<std::mutex> lock(m);
      ++done;
      cv.notify_all();
    })->resume();
  }
  std::unique_lock<std::mutex> lock(m);
  ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(20), [&] { return done == kTasks; }));
  EXPECT_EQ(overlaps, 0);
}

TEST(URLSessionCache, DefaultSessionAnswersFreshRepliesFromItsCacheUnlessTheRequestReloads) {
  TestHttpServer server;
  TestHttpResponse cacheable = TestHttpResponse::text("cached body");
  cacheable.headers = {{"Cache-Control", "max-age=3600"}};
  server.respond("/cacheable", cacheable);
  URLSessionConfiguration config = URLSessionConfiguration::defaultSessionConfiguration();
  config.urlCache = std::make_shared<URLCache>();
  auto session = URLSession::sessionWithConfiguration(config);
  for (int i = 0; i < 2; ++i) {
    Reply r;
    session->dataTaskWithURL(url(server, "/cacheable"), r.completion(session))->resume();
    ASSERT_TRUE(r.wait());
    EXPECT_EQ(r.body(), "cached body");
  }
  EXPECT_EQ(server.requestCount("/cacheable"), 1u);

  Reply reload;
  URLRequest request(url(server, "/cacheable"), URLRequest::ReloadIgnoringLocalCacheData, 10);
  session->dataTaskWithRequest(request, reload.completion(session))->resume();
  ASSERT_TRUE(reload.wait());
  EXPECT_EQ(server.requestCount("/cacheable"), 2u);

  // A session without a cache always asks the server.
  config.urlCache = nullptr;
  auto uncached = URLSession::sessionWithConfiguration(config);
  Reply again;
  uncached->dataTaskWithURL(url(server, "/cacheable"), again.completion(uncached))->resume();
  ASSERT_TRUE(again.wait());
  EXPECT_EQ(server.requestCount("/cacheable"), 3u);
}

TEST(URLSessionCookies, ASessionSendsBackItsCookiesButEphemeralSessionsDoNotShare) {
  TestHttpServer server;
  TestHttpResponse setter = TestHttpResponse::text("set");
  setter.headers = {{"Set-Cookie", "flavour=oat; Path=/"}};
  server.respond("/set", setter);
  server.respond("/read", TestHttpResponse::text("read"));
  auto first = ephemeralSession();
  auto second = ephemeralSession();
  for (auto* path : {"/set", "/read"}) {
    Reply r;
    first->dataTaskWithURL(url(server, path), r.completion(first))->resume();
    ASSERT_TRUE(r.wait());
  }
  Reply other;
  second->dataTaskWithURL(url(server, "/read"), other.completion(second))->resume();
  ASSERT_TRUE(other.wait());
  auto reads = server.requestsTo("/read");
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0].header("Cookie"), "flavour=oat");
  EXPECT_FALSE(reads[1].hasHeader("Cookie"));
}

TEST(URLSessionData, ABodyBeyondTheRequestsCeilingEndsTheTransferWithAnError) {
  TestHttpServer server;
  server.respond("/big", TestHttpResponse::text(std::string(64 * 1024, 'x')));
  server.respond("/fits", TestHttpResponse::text(std::string(1000, 'y')));
  auto session = ephemeralSession();

  Reply big;
  URLRequest request(url(server, "/big"));
  request.setMaximumBodyLength(1000);
  session->dataTaskWithRequest(request, big.completion(session))->resume();
  ASSERT_TRUE(big.wait());
  ASSERT_NE(big.error, nullptr);
  EXPECT_EQ(big.error->code, NSURLErrorDataLengthExceedsMaximum);
  EXPECT_FALSE(big.data);

  Reply fits;
  URLRequest exact(url(server, "/fits"));
  exact.setMaximumBodyLength(1000);
  session->dataTaskWithRequest(exact, fits.completion(session))->resume();
  ASSERT_TRUE(fits.wait());
  EXPECT_EQ(fits.error, nullptr);
  EXPECT_EQ(fits.body().size(), 1000u) << "a body of exactly the ceiling is whole";
}

// Every reply stops at a ceiling, counted as the body arrives decoded: 64 KB of gzip on
// the wire that inflates to 64 MiB stops at 2 MiB, however the task keeps it.
TEST(URLSessionLimits, AReplyStopsAtItsCeilingCountedDecodedAndTheSessionGivesEveryRequestOne) {
  TestHttpServer server;
  TestHttpResponse inflating;
  inflating.body = gzipOfZeros(size_t(64) << 20);
  inflating.contentType = "application/octet-stream";
  inflating.headers = {{"Content-Encoding", "gzip"}};
  server.respond("/inflating", inflating);
  URLSessionConfiguration configuration = URLSessionConfiguration::ephemeralSessionConfiguration();
  configuration.replyLimits.maximumBodyLength = 2 << 20;
  auto session = URLSession::sessionWithConfiguration(configuration);

  Reply unnamed;  // a request that names no limit has the session's
  session->dataTaskWithURL(url(server, "/inflating"), unnamed.completion(session))->resume();
  ASSERT_TRUE(unnamed.wait());
  ASSERT_TRUE(unnamed.error);
  EXPECT_EQ(unnamed.error->code, NSURLErrorDataLengthExceedsMaximum);
  EXPECT_EQ(unnamed.error->localizedFailureReason(), "The reply is larger than 2 MiB, the most a reply may bring.");

  URLRequest named(url(server, "/inflating"));
  named.setReplyLimits({"an index", 1 << 20});
  std::promise<ErrorRef> downloaded;
  session->downloadTaskWithRequest(named, [&](std::optional<URL>, URLResponseRef, ErrorRef error) {
    downloaded.set_value(error);
  })->resume();
  auto future = downloaded.get_future();
  ASSERT_EQ(future.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  ErrorRef error = future.get();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code, NSURLErrorDataLengthExceedsMaximum);
  EXPECT_EQ(error->localizedFailureReason(), "The reply is larger than 1 MiB, the most an index may bring.");
}

// A server can't hold a request open: one that dribbles ends at the minimum rate, one that
// sends steadily but without end at the deadline.
TEST(URLSessionLimits, ADribblingReplyEndsAtTheMinimumRateAndAnEndlessOneAtTheDeadline) {
  TestHttpServer server;
  TestHttpResponse dribble = TestHttpResponse::text(std::string(100, 'x'));
  dribble.trickle = std::chrono::milliseconds(500);  // two bytes a second
  server.respond("/dribble", dribble);
  TestHttpResponse endless = TestHttpResponse::text(std::string(100000, 'y'));
  endless.trickle = std::chrono::milliseconds(2);  // some 500 bytes a second, for minutes
  server.respond("/endless", endless);
  auto session = ephemeralSession();

  auto started = std::chrono::steady_clock::now();
  Reply dribbled, ended;
  session->dataTaskWithRequest(URLRequest(url(server, "/dribble"), URLRequest::ReloadIgnoringLocalCacheData, 1),
                               dribbled.completion(session))->resume();
  URLRequest steady(url(server, "/endless"), URLRequest::ReloadIgnoringLocalCacheData, 1);
  steady.setReplyLimits({"a feed", 0, 2});
  session->dataTaskWithRequest(steady, ended.completion(session))->resume();
  ASSERT_TRUE(dribbled.wait());
  ASSERT_TRUE(ended.wait());
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  ASSERT_TRUE(dribbled.error);
  EXPECT_EQ(dribbled.error->code, NSURLErrorTimedOut);
  EXPECT_EQ(dribbled.error->localizedFailureReason(), "The reply came slower than 100 bytes a second for 2 s.");
  ASSERT_TRUE(ended.error);
  EXPECT_EQ(ended.error->code, NSURLErrorTimedOut);
  EXPECT_EQ(ended.error->localizedFailureReason(), "The reply took longer than 2 s, the longest a feed may take.");
}
