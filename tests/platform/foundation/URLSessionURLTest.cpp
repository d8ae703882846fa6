#include <gtest/gtest.h>

#include "foundation/URL.h"
#include "foundation/URLCache.h"
#include "foundation/URLResponse.h"

TEST(URLParsing, PartsOfAFullURL) {
  auto url = URL::fromString("https://user:pw@repo.example.com:8443/a/b%20c/?x=1&y=%2F&flag#top");
  ASSERT_TRUE(url);
  EXPECT_EQ(url->scheme(), "https");
  EXPECT_EQ(url->user(), "user");
  EXPECT_EQ(url->password(), "pw");
  EXPECT_EQ(url->host(), "repo.example.com");
  EXPECT_EQ(url->port().value_or(0), 8443);
  EXPECT_EQ(url->path(), "/a/b c/");
  EXPECT_EQ(url->percentEncodedPath(), "/a/b%20c/");
  EXPECT_EQ(url->query().value_or(""), "x=1&y=%2F&flag");
  EXPECT_EQ(url->fragment().value_or(""), "top");
  EXPECT_EQ(url->lastPathComponent(), "b c");
  auto items = url->queryItems();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[1], (URLQueryItem{"y", "/"}));
  EXPECT_EQ(items[2], (URLQueryItem{"flag", std::nullopt}));
  EXPECT_TRUE(url->isHTTP());
}

// Callers rely on this strictness: the Markdown library writes the text of an automatic
// link nearly unescaped once the URL parser has accepted it.
TEST(URLParsing, RefusesEveryCharacterOutsideTheURLSyntax) {
  for (char c : std::string("<>\"{}|\\^` \t\n\x01\x7f")) {
    EXPECT_FALSE(URL::fromString(std::string("http://a.com/x") + c + "y")) << static_cast<int>(c);
  }
  EXPECT_FALSE(URL::fromString("http://a<b"));
  EXPECT_TRUE(URL::fromString("http://a.com/x-y_z.~!$&'()*+,;=:@%41?q=1#f"));
}

TEST(URLParsing, TextsThatAreNoURL) {
  for (const char* bad : {"", "has space.com", "http://a.com/\"q\"", "http://a.com/%zz", "http://a.com/%4",
                          "http://host:99999/", "http://host:12ab/", "http://a.com/ü", "a#b#c", "http://[::1/"}) {
    EXPECT_FALSE(URL::fromString(bad)) << bad;
  }
  EXPECT_TRUE(URL::fromString("relative/path"));
  EXPECT_TRUE(URL::fromString("http://[::1]:80/x"));
  EXPECT_EQ(URL::fromString("http://[::1]:80/x")->host(), "::1");
}

TEST(URLParsing, CallbackAddressesAndSchemesWithoutAuthority) {
  auto cb = URL::fromString("sileo://authentication_success?token=abc&payment_secret=d%20e&token=later");
  ASSERT_TRUE(cb);
  EXPECT_EQ(cb->scheme(), "sileo");
  EXPECT_EQ(cb->host(), "authentication_success");
  EXPECT_FALSE(cb->isHTTP());
  EXPECT_EQ(cb->queryItems().size(), 3u);
  auto mail = URL::fromString("mailto:dev@example.com");
  ASSERT_TRUE(mail);
  EXPECT_EQ(mail->scheme(), "mailto");
  EXPECT_FALSE(mail->hasAuthority());
  EXPECT_EQ(mail->path(), "dev@example.com");
}

TEST(URLParsing, AppendingAPathComponentPutsExactlyOneSlash) {
  auto withSlash = URL::fromString("https://pay.example.com/api/")->URLByAppendingPathComponent("user_info");
  auto without = URL::fromString("https://pay.example.com/api")->URLByAppendingPathComponent("user_info");
  EXPECT_EQ(withSlash.absoluteString(), "https://pay.example.com/api/user_info");
  EXPECT_EQ(without.absoluteString(), withSlash.absoluteString());
  EXPECT_EQ(URL::fromString("https://r.example.com/?q=1")->URLByAppendingPathComponent("/package/a b/info").absoluteString(),
            "https://r.example.com/package/a%20b/info");
  EXPECT_EQ(URL::fileURLWithPath("/tmp/a b").absoluteString(), "file:///tmp/a%20b");
  EXPECT_EQ(URL::fileURLWithPath("/tmp/a b").path(), "/tmp/a b");
}

TEST(URLParsing, ReferencesResolveAgainstABaseAsTheStandardSays) {
  // The examples of RFC 3986 section 5.4.
  auto base = URL::fromString("http://a/b/c/d;p?q");
  ASSERT_TRUE(base);
  std::vector<std::pair<std::string, std::string>> cases = {
      {"g:h", "g:h"},           {"g", "http://a/b/c/g"},       {"./g", "http://a/b/c/g"},
      {"g/", "http://a/b/c/g/"}, {"/g", "http://a/g"},          {"//g", "http://g"},
      {"?y", "http://a/b/c/d;p?y"}, {"g?y", "http://a/b/c/g?y"}, {"#s", "http://a/b/c/d;p?q#s"},
      {"g#s", "http://a/b/c/g#s"}, {";x", "http://a/b/c/;x"},   {"", "http://a/b/c/d;p?q"},
      {".", "http://a/b/c/"},    {"./", "http://a/b/c/"},       {"..", "http://a/b/"},
      {"../g", "http://a/b/g"},  {"../..", "http://a/"},        {"../../../g", "http://a/g"},
      {"/./g", "http://a/g"},    {"g.", "http://a/b/c/g."},     {"g/../h", "http://a/b/c/h"},
      {"g;x=1/../y", "http://a/b/c/y"},
  };
  for (auto& [reference, resolved] : cases) {
    auto url = URL::fromString(reference, *base);
    ASSERT_TRUE(url) << reference;
    EXPECT_EQ(url->absoluteString(), resolved) << reference;
  }
  // A page's screenshots link beside it on a host with a port.
  auto page = URL::fromString("http://127.0.0.1:8080/depictions/x/index.php?id=1");
  EXPECT_EQ(URL::fromString("screenshots.php", *page)->absoluteString(), "http://127.0.0.1:8080/depictions/x/screenshots.php");
  EXPECT_FALSE(URL::fromString("a b", *page)) << "a reference that is no URL resolves to nothing";
}

TEST(URLParsing, PercentCoding) {
  EXPECT_EQ(URL::percentEncode("a b/ü", "/"), "a%20b/%C3%BC");
  EXPECT_EQ(URL::percentDecode("a%20b%2f").value_or(""), "a b/");
  EXPECT_FALSE(URL::percentDecode("bad%2"));
}

TEST(URLResponseFields, RepeatedFieldsMergeAndContentTypeSplits) {
  URLResponse r(*URL::fromString("http://h/x/file.deb"), 200,
                {{"Set-Cookie", "a=1"}, {"set-cookie", "b=2"}, {"Content-Type", "text/html; charset=\"UTF-8\""}});
  EXPECT_EQ(r.valueForHTTPHeaderField("SET-COOKIE").value_or(""), "a=1, b=2");
  EXPECT_EQ(r.MIMEType(), "text/html");
  EXPECT_EQ(r.textEncodingName().value_or(""), "utf-8");
  EXPECT_EQ(r.expectedContentLength(), -1);
  EXPECT_EQ(r.suggestedFilename(), "file.deb");
  EXPECT_EQ(URLResponse::localizedStringForStatusCode(404), "not found");
}

TEST(URLCacheRules, OnlyFreshCacheableGetRepliesAreKept) {
  URLCache cache(1000);
  URLRequest get(URL::fromString("http://h/a"));
  auto response = [](std::string control) {
    return std::make_shared<URLResponse>(*URL::fromString("http://h/a"), 200,
                                         URLResponse::Headers{{"Cache-Control", control}});
  };
  cache.storeCachedResponse(get, response("no-store"), dataFromString("x"));
  EXPECT_FALSE(cache.cachedResponseForRequest(get));
  cache.storeCachedResponse(get, response("no-cache"), dataFromString("x"));
  ASSERT_TRUE(cache.cachedResponseForRequest(get));
  EXPECT_FALSE(cache.cachedResponseForRequest(get)->isFresh());
  cache.storeCachedResponse(get, response("public, max-age=60"), dataFromString("y"));
  EXPECT_TRUE(cache.cachedResponseForRequest(get)->isFresh());
  URLRequest big(URL::fromString("http://h/big"));
  cache.storeCachedResponse(big, response("max-age=60"), Data(100, 1));
  EXPECT_FALSE(cache.cachedResponseForRequest(big)) << "more than a twentieth of the capacity";
  URLRequest post = get;
  post.setHTTPMethod("POST");
  EXPECT_FALSE(cache.cachedResponseForRequest(post));
  cache.removeAllCachedResponses();
  EXPECT_EQ(cache.currentMemoryUsage(), 0u);
}

TEST(URLCacheRules, OldestEntriesGoFirstAndTheUsageStaysExact) {
  URLCache cache(1000);  // entries up to 50 bytes
  auto fresh = [](const std::string& url) {
    return std::make_shared<URLResponse>(*URL::fromString(url), 200,
                                         URLResponse::Headers{{"Cache-Control", "max-age=60"}});
  };
  auto request = [](int i) { return URLRequest(URL::fromString("http://h/" + std::to_string(i))); };
  for (int i = 0; i < 25; ++i) cache.storeCachedResponse(request(i), fresh("http://h/" + std::to_string(i)), Data(50, 7));
  EXPECT_EQ(cache.currentMemoryUsage(), 1000u);
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(cache.cachedResponseForRequest(request(i))) << i;
  for (int i = 5; i < 25; ++i) EXPECT_TRUE(cache.cachedResponseForRequest(request(i))) << i;

  // A replaced entry counts once, and becomes the newest.
  cache.storeCachedResponse(request(5), fresh("http://h/5"), Data(10, 1));
  EXPECT_EQ(cache.currentMemoryUsage(), 960u);
  cache.storeCachedResponse(request(30), fresh("http://h/30"), Data(50, 1));
  cache.storeCachedResponse(request(31), fresh("http://h/31"), Data(50, 1));
  EXPECT_TRUE(cache.cachedResponseForRequest(request(5)));
  EXPECT_FALSE(cache.cachedResponseForRequest(request(6)));
  EXPECT_EQ(cache.currentMemoryUsage(), 960u);

  cache.removeCachedResponseForRequest(request(5));
  cache.removeCachedResponseForRequest(request(99));  // not there: nothing changes
  EXPECT_FALSE(cache.cachedResponseForRequest(request(5)));
  EXPECT_EQ(cache.currentMemoryUsage(), 950u);
}
