#pragma once
// A real HTTP server on 127.0.0.1 for tests: it listens on a free port from construction
// to destruction, serves folders of static files, answers chosen paths with chosen
// replies or with handlers, and records every request it receives.
//
//   TestHttpServer server(testdata::fixture("repo"));
//   fetch(server.url("/Release"));
//   EXPECT_EQ(server.requestCount("/Release"), 1u);
//
// By default every connection carries one request and is then closed, so a stop never
// waits for an idle client. TestHttpServer(TestHttpConnections::KeepAlive) keeps
// connections open for further requests (idle ones up to a second, which a stop may
// then wait), so a test can see a client reuse them through TestHttpRequest::remotePort.
//
// Routes are matched on the decoded path, without the query. A route path ending in "*"
// matches every path that starts with the part before it. Handlers run on the server's
// threads; they must be thread-safe with respect to the test.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
}

struct TestHttpRequest {
  std::string method;
  std::string path;    // decoded, without the query
  std::string query;   // the raw text after "?", empty when none
  std::string target;  // the raw request target, as sent
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  int remotePort = 0;  // the client's end of the connection that carried it

  // The first value of a header, compared without case; empty when absent.
  std::string header(std::string_view name) const;
  bool hasHeader(std::string_view name) const;
};

struct TestHttpResponse {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::string contentType = "text/plain";
  // Held back this long before answering (cut short when the server stops).
  std::chrono::milliseconds delay{0};
  // When set, the reply announces this Content-Length, sends only `body` (which should be
  // shorter) and then closes the connection: a download cut off half way.
  std::optional<size_t> announcedLength;
  // When set, the body goes out one byte at a time with this pause before each byte: a
  // transfer that is slow but never idle for long.
  std::chrono::milliseconds trickle{0};
  // When set, the body is this file's contents, sent a piece at a time as read (a folder's
  // files are served so: an index of megabytes is never held, nor copied, whole).
  std::string file;
  size_t fileSize = 0;

  static TestHttpResponse text(std::string body, int status = 200);
  static TestHttpResponse json(std::string body, int status = 200);
  static TestHttpResponse redirect(std::string location, int status = 302);
};

enum class TestHttpConnections { CloseEach, KeepAlive };

class TestHttpServer {
 public:
  using Handler = std::function<TestHttpResponse(const TestHttpRequest&)>;

  TestHttpServer() : TestHttpServer(TestHttpConnections::CloseEach) {}
  // On `port` when one is given (a person runs a played service at an address they
  // know), else on a free one.
  explicit TestHttpServer(TestHttpConnections connections, int port = 0);
  // Serves `folder` under `urlPrefix` from the start.
  explicit TestHttpServer(const std::string& folder, const std::string& urlPrefix = "/");
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  int port() const { return port_; }
  std::string baseURL() const;              // "http://127.0.0.1:PORT"
  std::string url(std::string_view path) const;  // baseURL() + path
  // A base URL on 127.0.0.1 whose port a server held a moment ago and let go, so a
  // connection to it is refused.
  static std::string closedBaseURL();

  // Static files: GET and HEAD of urlPrefix + relative path read folder/relative path,
  // with Last-Modified from the file's time; If-Modified-Since not older than the file
  // gives 304. Later folders are tried first.
  void serveFolder(const std::string& folder, const std::string& urlPrefix = "/");
  // A fixed reply for a path, whatever the method (replaces an earlier one).
  void respond(const std::string& path, TestHttpResponse response);
  // A handler for one method ("GET" also answers HEAD) or for any method ("*").
  void handle(const std::string& method, const std::string& path, Handler handler);
  void redirect(const std::string& from, const std::string& to, int status = 302);
  // Announces `announcedLength` bytes, sends `body`, then closes the connection.
  void truncate(const std::string& path, std::string body, size_t announcedLength);
  // Drops the reply or handlers set for a path, so it falls back to the folders.
  void removeRoute(const std::string& path);

  std::vector<TestHttpRequest> requests() const;
  std::vector<TestHttpRequest> requestsTo(const std::string& path) const;
  size_t requestCount() const;
  size_t requestCount(const std::string& path) const;
  // Waits until at least `count` requests in all (or to `path`) have arrived.
  bool waitForRequests(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  bool waitForRequests(const std::string& path, size_t count,
                       std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  void clearRequests();

 private:
  struct Route {
    std::string method;  // "*" for any
    std::string path;
    Handler handler;
  };
  struct Mount {
    std::string prefix;
    std::string folder;
  };

  TestHttpResponse dispatch(const TestHttpRequest& request);
  std::optional<TestHttpResponse> serveFile(const TestHttpRequest& request) const;
  void record(TestHttpRequest request);
  // Waits `pause` unless the server stops first; false when it stops.
  bool pauseUnlessStopping(std::chrono::milliseconds pause);

  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<Route> routes_;
  std::vector<Mount> mounts_;
  std::vector<TestHttpRequest> requests_;
  bool stopping_ = false;
};
