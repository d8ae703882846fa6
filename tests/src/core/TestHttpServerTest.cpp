// The test server is itself a fixture every network test leans on, so its promises are
// checked here with a real client (libcurl).
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>
#include <thread>

#include "foundation/Files.h"
#include "support/TempDir.h"
#include "support/TestData.h"
#include "support/TestHttpServer.h"

namespace {

// The fixtures folder, whose "repo" is a small flat repository.
const std::string kRepoFolder = testdata::fixture("");

struct Fetched {
  CURLcode code = CURLE_OK;
  long status = 0;
  std::string headers;
  std::string body;
};

Fetched fetch(const std::string& url, const std::string& method = "GET",
              std::vector<std::string> headers = {}, const std::string& body = "",
              long timeoutMs = 10000) {
  Fetched out;
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  auto append = +[](char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
  };
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &out.body);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, append);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &out.headers);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeoutMs);
  if (method == "HEAD") curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  else if (method != "GET") curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
  if (!body.empty()) curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
  curl_slist* list = nullptr;
  for (const auto& h : headers) list = curl_slist_append(list, h.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
  out.code = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &out.status);
  curl_slist_free_all(list);
  curl_easy_cleanup(curl);
  return out;
}

std::string headerValue(const std::string& headers, const std::string& name) {
  std::string lower = headers;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string key = name + ":";
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  size_t at = lower.find(key);
  if (at == std::string::npos) return "";
  size_t start = headers.find_first_not_of(' ', at + key.size());
  return headers.substr(start, headers.find('\r', start) - start);
}

std::string readFile(const std::string& path) { return Files::readText(path).value_or(""); }

}  // namespace

TEST(TestHttpServerTest, ServesFolderFilesWithLastModifiedAndConditionalAnswers) {
  TestHttpServer server(kRepoFolder);
  EXPECT_EQ(server.baseURL(), "http://127.0.0.1:" + std::to_string(server.port()));

  Fetched packages = fetch(server.url("/repo/Packages.xz"));
  ASSERT_EQ(packages.code, CURLE_OK);
  EXPECT_EQ(packages.status, 200);
  EXPECT_TRUE(packages.body == readFile(kRepoFolder + "/repo/Packages.xz"));
  std::string lastModified = headerValue(packages.headers, "Last-Modified");
  ASSERT_NE(lastModified, "");

  Fetched same = fetch(server.url("/repo/Packages.xz"), "GET", {"If-Modified-Since: " + lastModified});
  EXPECT_EQ(same.status, 304);
  EXPECT_EQ(same.body, "");
  Fetched older = fetch(server.url("/repo/Packages.xz"), "GET",
                        {"If-Modified-Since: Mon, 01 Jan 2001 00:00:00 GMT"});
  EXPECT_EQ(older.status, 200);
  Fetched garbled = fetch(server.url("/repo/Packages.xz"), "GET", {"If-Modified-Since: yesterday"});
  EXPECT_EQ(garbled.status, 200);

  Fetched head = fetch(server.url("/repo/Release"), "HEAD");
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(head.body, "");
  EXPECT_EQ(headerValue(head.headers, "Content-Length"),
            std::to_string(readFile(kRepoFolder + "/repo/Release").size()));

  EXPECT_EQ(fetch(server.url("/repo/Packages.missing")).status, 404);
  EXPECT_EQ(fetch(server.url("/repo/")).status, 404);  // folders are not listed
  EXPECT_EQ(fetch(server.url("/repo/../repo/Release")).status, 200);  // the client folds it
  EXPECT_EQ(fetch(server.url("/repo/%2e%2e/%2e%2e/fixtures/repo/Release")).status, 404);
}

TEST(TestHttpServerTest, FolderUnderAPrefixAndNewerFileTime) {
  TempDir folder;
  std::string file = folder.file("index.json");
  std::ofstream(file) << "{}";
  TestHttpServer server;
  server.serveFolder(folder.path(), "/static");
  Fetched first = fetch(server.url("/static/index.json"));
  EXPECT_EQ(first.body, "{}");
  EXPECT_EQ(headerValue(first.headers, "Content-Type"), "application/json");
  EXPECT_EQ(fetch(server.url("/index.json")).status, 404);

  // A file changed after the client's copy is sent again.
  struct timespec times[2] = {{time(nullptr) + 100, 0}, {time(nullptr) + 100, 0}};
  utimensat(AT_FDCWD, file.c_str(), times, 0);
  Fetched changed = fetch(server.url("/static/index.json"), "GET",
                          {"If-Modified-Since: " + headerValue(first.headers, "Last-Modified")});
  EXPECT_EQ(changed.status, 200);
}

TEST(TestHttpServerTest, ChosenRepliesHandlersAndRecords) {
  TestHttpServer server(kRepoFolder);
  TestHttpResponse teapot = TestHttpResponse::text("short and stout", 418);
  teapot.headers.emplace_back("X-Kettle", "on");
  server.respond("/repo/Release", teapot);
  server.redirect("/old", "/repo/Packages");
  server.handle("POST", "/api/*", [](const TestHttpRequest& request) {
    return TestHttpResponse::json("{\"got\":\"" + request.body + "\",\"path\":\"" + request.path + "\"}");
  });

  Fetched release = fetch(server.url("/repo/Release"));
  EXPECT_EQ(release.status, 418);
  EXPECT_EQ(release.body, "short and stout");
  EXPECT_EQ(headerValue(release.headers, "X-Kettle"), "on");

  Fetched moved = fetch(server.url("/old"));
  EXPECT_EQ(moved.status, 302);
  EXPECT_EQ(headerValue(moved.headers, "Location"), "/repo/Packages");

  Fetched posted = fetch(server.url("/api/sign_in?user=a%20b&x=1"), "POST",
                         {"Authorization: Bearer t0ken", "Content-Type: text/plain"}, "hello");
  EXPECT_EQ(posted.body, "{\"got\":\"hello\",\"path\":\"/api/sign_in\"}");
  EXPECT_EQ(headerValue(posted.headers, "Content-Type"), "application/json");
  EXPECT_EQ(fetch(server.url("/api/sign_in"), "PUT", {}, "x").status, 404);  // POST only

  ASSERT_EQ(server.requestsTo("/api/sign_in").size(), 2u);
  TestHttpRequest recorded = server.requestsTo("/api/sign_in")[0];
  EXPECT_EQ(recorded.method, "POST");
  EXPECT_EQ(recorded.query, "user=a%20b&x=1");
  EXPECT_EQ(recorded.target, "/api/sign_in?user=a%20b&x=1");
  EXPECT_EQ(recorded.header("authorization"), "Bearer t0ken");
  EXPECT_FALSE(recorded.hasHeader("REMOTE_ADDR"));
  EXPECT_EQ(recorded.body, "hello");
  EXPECT_EQ(server.requestCount(), 4u);

  server.removeRoute("/repo/Release");
  EXPECT_EQ(fetch(server.url("/repo/Release")).status, 200);
  server.clearRequests();
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST(TestHttpServerTest, TruncatedBodyEndsTheDownloadEarly) {
  TestHttpServer server;
  server.truncate("/repo/Packages.gz", std::string(1000, 'x'), 5000);
  Fetched cut = fetch(server.url("/repo/Packages.gz"));
  EXPECT_EQ(cut.code, CURLE_PARTIAL_FILE);
  EXPECT_EQ(headerValue(cut.headers, "Content-Length"), "5000");
  EXPECT_EQ(cut.body, std::string(1000, 'x'));
}

TEST(TestHttpServerTest, DelayedReplyOutlastsAShortClientTimeOut) {
  TestHttpServer server;
  TestHttpResponse slow = TestHttpResponse::text("late");
  slow.delay = std::chrono::seconds(30);
  server.respond("/slow", slow);
  Fetched gaveUp = fetch(server.url("/slow"), "GET", {}, "", 300);
  EXPECT_EQ(gaveUp.code, CURLE_OPERATION_TIMEDOUT);
  // The server's destructor cuts the held reply short instead of waiting 30 s.
}

TEST(TestHttpServerTest, WaitsForRequestsFromOtherThreads) {
  TestHttpServer server;
  server.respond("/ping", TestHttpResponse::text("pong"));
  std::thread client([&] {
    for (int i = 0; i < 3; ++i) fetch(server.url("/ping"));
  });
  EXPECT_TRUE(server.waitForRequests("/ping", 3));
  client.join();
  EXPECT_FALSE(server.waitForRequests(4, std::chrono::milliseconds(1)));
  EXPECT_EQ(server.requestCount("/ping"), 3u);
}

TEST(TestHttpServerTest, ConnectionsCloseAfterEachRequestUnlessKeptAlive) {
  // One client handle asks twice; it reuses its connection whenever the server lets it.
  auto portsSeen = [](TestHttpServer& server) {
    server.respond("/ping", TestHttpResponse::text("pong"));
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, server.url("/ping").c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, +[](char*, size_t size, size_t n, void*) { return size * n; });
    for (int i = 0; i < 2; ++i) EXPECT_EQ(curl_easy_perform(curl), CURLE_OK);
    curl_easy_cleanup(curl);
    auto requests = server.requests();
    EXPECT_EQ(requests.size(), 2u);
    for (const auto& r : requests) EXPECT_GT(r.remotePort, 0);
    return requests.size() == 2 ? std::make_pair(requests[0].remotePort, requests[1].remotePort) : std::make_pair(0, 0);
  };
  TestHttpServer closing;
  auto [a, b] = portsSeen(closing);
  EXPECT_NE(a, b);
  TestHttpServer keeping(TestHttpConnections::KeepAlive);
  auto [c, d] = portsSeen(keeping);
  EXPECT_EQ(c, d);
}

TEST(TestHttpServerTest, ATrickledBodyArrivesWhole) {
  TestHttpServer server;
  TestHttpResponse slow = TestHttpResponse::text("slow");
  slow.trickle = std::chrono::milliseconds(20);
  server.respond("/slow", slow);
  Fetched f = fetch(server.url("/slow"));
  EXPECT_EQ(f.code, CURLE_OK);
  EXPECT_EQ(f.body, "slow");
  EXPECT_EQ(headerValue(f.headers, "Content-Length"), "4");
}
