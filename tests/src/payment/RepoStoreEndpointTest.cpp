#include "PaymentTestSupport.h"

TEST_F(PaymentTest, EndpointOfTheTestRepositoryIsDiscovered) {
  Outcome<RepoStoreEndpointResponse> out;
  api().endpointForSourceLocation(location_, out.completion());
  ASSERT_TRUE(out.wait());
  EXPECT_FALSE(out.failed);
  EXPECT_TRUE(out.response->hasEndpoint);
  EXPECT_EQ(out.response->endpoint, "https://pay.example.com/store/api/");
  EXPECT_FALSE(out.response->error);
  auto seen = server_.requestsTo("/paidrepo/payment_endpoint");
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].method, "GET");
  EXPECT_NE(seen[0].header("User-Agent").rfind("Quill/", 0), 0u) << "discovery is a plain GET";
}

TEST_F(PaymentTest, EndpointTextIsTrimmedAndJoinedWithOneSlash) {
  server_.respond("/bare/payment_endpoint", TestHttpResponse::text("   https://pay.example.com/api/ \r\n"));
  Outcome<RepoStoreEndpointResponse> out;
  api().endpointForSourceLocation(server_.url("/bare"), out.completion());  // no final "/"
  ASSERT_TRUE(out.wait());
  EXPECT_FALSE(out.failed);
  EXPECT_TRUE(out.response->hasEndpoint);
  EXPECT_EQ(out.response->endpoint, "https://pay.example.com/api/");
}

TEST_F(PaymentTest, MalformedEmptyAndMissingEndpoints) {
  server_.respond("/a/payment_endpoint", TestHttpResponse::text("pay.example.com/api/"));
  server_.respond("/b/payment_endpoint", TestHttpResponse::text(" \n"));
  Outcome<RepoStoreEndpointResponse> malformed, empty, missing;
  api().endpointForSourceLocation(server_.url("/a/"), malformed.completion());
  api().endpointForSourceLocation(server_.url("/b/"), empty.completion());
  api().endpointForSourceLocation(server_.url("/c/"), missing.completion());
  ASSERT_TRUE(malformed.wait() && empty.wait() && missing.wait());
  EXPECT_FALSE(malformed.failed) << "a malformed endpoint only tells that there is no service";
  EXPECT_FALSE(malformed.response->hasEndpoint);
  EXPECT_EQ(malformed.message(), "Endpoint malformed, (" + server_.url("/a/") + ") responded with a malformed endpoint");
  EXPECT_TRUE(empty.failed);
  EXPECT_EQ(empty.message(), "Endpoint request failed, no endpoint data found");
  EXPECT_TRUE(missing.failed);
  EXPECT_EQ(missing.message(), "Endpoint request failed, communication with the server failed (404)");
  EXPECT_EQ(missing.code(), 404);
  EXPECT_EQ(missing.response->error->domain, "com.korvale.quillbark");
}

TEST_F(PaymentTest, BlacklistedEmptyAndUnreachableLocations) {
  Outcome<RepoStoreEndpointResponse> black, none, unreachable;
  api().endpointForSourceLocation(KVRepoStoreAPI::kBlacklistedSourceLocation, black.completion());
  EXPECT_EQ(black.calls, 1) << "checks fail on the calling thread, at once";
  EXPECT_TRUE(black.failed);
  EXPECT_EQ(black.message(), "Endpoint request failed, source is blacklisted");
  EXPECT_EQ(black.code(), 0);
  api().endpointForSourceLocation("", none.completion());
  EXPECT_EQ(none.message(), "Endpoint request failed, missing source location");
  EXPECT_TRUE(KVRepoStoreAPI::sourceWithLoacationIsBlacklisted(KVRepoStoreAPI::kBlacklistedSourceLocation));
  EXPECT_FALSE(KVRepoStoreAPI::sourceWithLoacationIsBlacklisted(std::string(KVRepoStoreAPI::kBlacklistedSourceLocation) + "x"));

  api().endpointForSourceLocation(TestHttpServer::closedBaseURL() + "/", unreachable.completion());
  ASSERT_TRUE(unreachable.wait());
  EXPECT_TRUE(unreachable.failed);
  EXPECT_EQ(unreachable.response->error->domain, NSURLErrorDomain) << "transport errors pass unchanged";
  EXPECT_FALSE(unreachable.response->hasEndpoint);
}
