#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "core/KVDataTaskOperation.h"
#include "core/NSURLSessionConfigurationNoCache.h"
#include "support/TestHttpServer.h"

namespace {
std::shared_ptr<URLSession> noCacheSession() {
  return URLSession::sessionWithConfiguration(NSURLSessionConfigurationNoCache::noCacheConfigureation());
}
URL url(const TestHttpServer& s, const std::string& path) { return *URL::fromString(s.url(path)); }
}  // namespace

TEST(KVDataTaskOperation, EachFormHandsBackItsReplyWithIdentifierOrObject) {
  TestHttpServer server;
  server.respond("/icon.png", TestHttpResponse::text("png"));
  auto session = noCacheSession();
  OperationQueue queue;
  queue.setMaxConcurrentOperationCount(2);
  std::mutex m;
  std::string plain, unique, objectText;
  std::string identifier;
  auto a = KVDataTaskOperation::initWithSession(session, url(server, "/icon.png"),
                                                KVDataTaskOperation::CompletionHandler(
                                                    [&](std::optional<Data> d, URLResponseRef, ErrorRef) {
                                                      std::lock_guard<std::mutex> lock(m);
                                                      plain = d ? stringFromData(*d) : "";
                                                    }));
  URLRequest request(url(server, "/icon.png?size=2"));
  auto b = KVDataTaskOperation::initWithSession(
      session, request,
      KVDataTaskOperation::UniqueCompletionHandler(
          [&](std::optional<Data> d, URLResponseRef, ErrorRef, const std::string& id) {
            std::lock_guard<std::mutex> lock(m);
            unique = d ? stringFromData(*d) : "";
            identifier = id;
          }));
  auto c = KVDataTaskOperation::initWithSession(
      session, url(server, "/icon.png"), Value::dict({{"identifier", "com.example.pkg"}}),
      [&](std::optional<Data>, URLResponseRef r, ErrorRef, const Value& object) {
        std::lock_guard<std::mutex> lock(m);
        objectText = object["identifier"].asString() + ":" + std::to_string(r ? r->statusCode() : 0);
      });
  EXPECT_EQ(b->identifier(), server.url("/icon.png?size=2"));
  EXPECT_EQ(c->object()["identifier"].asString(), "com.example.pkg");
  EXPECT_FALSE(a->isExecuting());
  EXPECT_EQ(a->task()->state(), URLSessionTask::Suspended) << "made, not started";
  for (auto& op : {a, b, c}) queue.addOperation(op);
  ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(20));
  std::lock_guard<std::mutex> lock(m);
  EXPECT_EQ(plain, "png");
  EXPECT_EQ(unique, "png");
  EXPECT_EQ(identifier, server.url("/icon.png?size=2"));
  EXPECT_EQ(objectText, "com.example.pkg:200");
  EXPECT_TRUE(a->isFinished() && b->isFinished() && c->isFinished());
}

TEST(KVDataTaskOperation, CancelledOperationsNeverCallTheirBlock) {
  TestHttpServer server;
  TestHttpResponse slow = TestHttpResponse::text("late");
  slow.delay = std::chrono::seconds(30);
  server.respond("/slow", slow);
  auto session = noCacheSession();
  std::atomic<int> calls{0};
  KVDataTaskOperation::CompletionHandler count = [&](std::optional<Data>, URLResponseRef, ErrorRef) { ++calls; };

  auto early = KVDataTaskOperation::initWithSession(session, url(server, "/slow"), count);
  early->cancel();
  OperationQueue queue;
  queue.addOperation(early);
  early->waitUntilFinished();
  EXPECT_TRUE(early->isFinished());

  auto running = KVDataTaskOperation::initWithSession(session, url(server, "/slow"), count);
  queue.addOperation(running);
  ASSERT_TRUE(server.waitForRequests("/slow", 1));
  running->cancel();
  ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(20));
  EXPECT_TRUE(running->isFinished());
  EXPECT_EQ(running->task()->error()->code, NSURLErrorCancelled);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(server.requestCount("/slow"), 1u) << "the operation cancelled before its start sent nothing";
}

TEST(KVDataTaskOperation, AFailedReplyStillCallsTheBlockAndAnEmptyBlockIsFine) {
  URL dead = *URL::fromString(TestHttpServer::closedBaseURL() + "/icon.png");
  auto session = noCacheSession();
  std::mutex m;
  bool called = false, hadData = true;
  ErrorRef error;
  auto op = KVDataTaskOperation::initWithSession(session, dead,
                                                 KVDataTaskOperation::CompletionHandler(
                                                     [&](std::optional<Data> d, URLResponseRef, ErrorRef e) {
                                                       std::lock_guard<std::mutex> lock(m);
                                                       called = true;
                                                       hadData = d.has_value();
                                                       error = e;
                                                     }));
  auto silent = KVDataTaskOperation::initWithSession(session, dead, KVDataTaskOperation::CompletionHandler{});
  OperationQueue queue;
  queue.addOperation(op);
  queue.addOperation(silent);
  ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(20));
  std::lock_guard<std::mutex> lock(m);
  EXPECT_TRUE(called);
  EXPECT_FALSE(hadData);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code, NSURLErrorCannotConnectToHost);
  EXPECT_TRUE(silent->isFinished());
}

TEST(KVDataTaskOperation, AnOperationThatEndsAtOnceIsNeverLeftExecuting) {
  // An address the session refuses ends the task on its queue right after the start;
  // whichever thread gets there first, the finished operation is not executing.
  auto session = noCacheSession();
  OperationQueue queue;
  queue.setMaxConcurrentOperationCount(8);
  std::vector<std::shared_ptr<KVDataTaskOperation>> ops;
  for (int i = 0; i < 200; ++i) {
    ops.push_back(KVDataTaskOperation::initWithSession(session, *URL::fromString("ftp://127.0.0.1/x"),
                                                       KVDataTaskOperation::CompletionHandler{}));
    queue.addOperation(ops.back());
  }
  ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(20));
  int stillExecuting = 0;
  for (const auto& op : ops) stillExecuting += op->isFinished() && op->isExecuting();
  EXPECT_EQ(stillExecuting, 0);
}
