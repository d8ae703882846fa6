// One service call over real HTTP: what its acceptance lets through, what it refuses
// with which error, and the one answer that decoding hands on.
#include <gtest/gtest.h>

#include "core/KVErrorDomain.h"
#include "core/KVServiceCall.h"
#include "core/NSURLSessionConfigurationNoCache.h"
#include "foundation/RunLoop.h"
#include "support/Latch.h"
#include "support/TestHttpServer.h"

namespace {
using Body = KVServiceCall::Acceptance::Body;

struct Outcome {
  Latch done;
  std::optional<KVServiceReply> reply;
  ErrorRef error;
  bool onMainThread = true;
};

void call(const std::string& url, const KVServiceCall::Acceptance& acceptance, Outcome& out,
          const URLSessionConfiguration& configuration = NSURLSessionConfigurationNoCache::noCacheConfigureation()) {
  KVServiceCall::send(URLRequest(URL::fromString(url)), configuration, acceptance, [&out](Expected<KVServiceReply> reply) {
                        out.onMainThread = RunLoop::isMainThread();
                        if (reply) out.reply = *reply;
                        else out.error = reply.error();
                        out.done.arrive();
                      });
  ASSERT_TRUE(out.done.wait(20));
}

KVServiceCall::Acceptance accepting(Body body, std::optional<std::string> statusMessage = std::nullopt) {
  KVServiceCall::Acceptance acceptance;
  acceptance.body = body;
  acceptance.statusMessage = std::move(statusMessage);
  acceptance.shapeMessage = "wrong shape";
  return acceptance;
}
}  // namespace

TEST(KVServiceCall, AcceptsWhatItWasAskedForAndHandsTheJSONOn) {
  TestHttpServer server;
  server.respond("/object", TestHttpResponse::json(R"({"a":1})"));
  server.respond("/text", TestHttpResponse::text("caf\xc3\xa9 and \xff", 500));
  Outcome object, text;
  call(server.url("/object"), accepting(Body::JSONObject, "failed (%ld)"), object);
  ASSERT_TRUE(object.reply);
  EXPECT_EQ(object.reply->json()["a"].asInt(), 1);
  EXPECT_EQ(object.reply->status(), 200);
  EXPECT_FALSE(object.onMainThread);
  // Without a status rule any body passes; text that is no UTF-8 is made safe.
  call(server.url("/text"), accepting(Body::Any), text);
  ASSERT_TRUE(text.reply);
  EXPECT_EQ(text.reply->status(), 500);
  EXPECT_EQ(text.reply->text(), "caf?? and ?");
  EXPECT_TRUE(text.reply->json().isNull());
}

TEST(KVServiceCall, RefusesEachFaultWithItsOwnError) {
  TestHttpServer server;
  server.respond("/missing", TestHttpResponse::json("{}", 404));
  server.respond("/html", TestHttpResponse::text("<html>"));
  server.respond("/array", TestHttpResponse::json("[1]"));
  Outcome status, notJSON, shape, noServer;
  call(server.url("/missing"), accepting(Body::JSONObject, "failed (%ld)"), status);
  ASSERT_TRUE(status.error);
  EXPECT_EQ(status.error->domain, KVErrorDomain);
  EXPECT_EQ(status.error->code, 404);
  EXPECT_EQ(status.error->localizedDescription(), "failed (404)");
  EXPECT_FALSE(KVServiceCall::isTransportError(status.error));

  call(server.url("/html"), accepting(Body::JSON), notJSON);
  ASSERT_TRUE(notJSON.error);
  EXPECT_EQ(notJSON.error->domain, NSCocoaErrorDomain);
  EXPECT_EQ(notJSON.error->code, 3840);

  call(server.url("/array"), accepting(Body::JSONObject), shape);
  ASSERT_TRUE(shape.error);
  EXPECT_EQ(shape.error->localizedDescription(), "wrong shape");
  EXPECT_EQ(shape.error->code, 200);

  call(TestHttpServer::closedBaseURL() + "/x", accepting(Body::Any), noServer);
  ASSERT_TRUE(noServer.error);
  EXPECT_TRUE(KVServiceCall::isTransportError(noServer.error));
}

TEST(KVServiceCall, DecodesTheAcceptedReplyIntoTheCallersResponse) {
  TestHttpServer server;
  server.respond("/list", TestHttpResponse::json(R"(["a","b"])"));
  Latch done(2);
  std::vector<Expected<size_t>> answers;
  std::mutex mutex;
  auto decode = [](const KVServiceReply& reply) -> Expected<size_t> {
    if (reply.json().size() > 5) return makeError("test", 1, "too long");
    return reply.json().size();
  };
  auto complete = [&](Expected<size_t> answer) {
    std::lock_guard<std::mutex> lock(mutex);
    answers.push_back(std::move(answer));
    done.arrive();
  };
  auto config = NSURLSessionConfigurationNoCache::noCacheConfigureation();
  KVServiceCall::send<size_t>(URLRequest(URL::fromString(server.url("/list"))), config, accepting(Body::JSONArray),
                              decode, complete);
  KVServiceCall::send<size_t>(URLRequest(URL::fromString(server.url("/list"))), config, accepting(Body::JSONObject),
                              decode, complete);
  ASSERT_TRUE(done.wait(20));
  std::lock_guard<std::mutex> lock(mutex);
  int values = 0, errors = 0;
  for (const auto& answer : answers) {
    if (!answer) {
      ++errors;
      continue;
    }
    EXPECT_EQ(*answer, 2u);
    ++values;
  }
  EXPECT_EQ(values, 1);
  EXPECT_EQ(errors, 1);
}

TEST(KVServiceCall, AReplyHeldBackPastTheTimeOutIsATransportError) {
  TestHttpServer server;
  TestHttpResponse slow = TestHttpResponse::json("{}");
  slow.delay = std::chrono::seconds(6);
  server.respond("/slow", slow);
  auto config = NSURLSessionConfigurationNoCache::noCacheConfigureation();
  config.timeoutIntervalForRequest = 1;
  Outcome out;
  call(server.url("/slow"), accepting(Body::Any), out, config);
  ASSERT_TRUE(out.error);
  EXPECT_TRUE(KVServiceCall::isTransportError(out.error));
}
