#include "support/TestHttpServer.h"

#include <httplib.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <fstream>
#include <stdexcept>

#include "foundation/HTTPDate.h"

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

bool routeMatches(const std::string& routePath, const std::string& path) {
  if (!routePath.empty() && routePath.back() == '*')
    return path.compare(0, routePath.size() - 1, routePath, 0, routePath.size() - 1) == 0;
  return routePath == path;
}

std::string contentTypeFor(const std::string& path) {
  static const std::pair<const char*, const char*> kTypes[] = {
      {".html", "text/html"},       {".json", "application/json"}, {".png", "image/png"},
      {".jpg", "image/jpeg"},       {".css", "text/css"},          {".js", "text/javascript"},
      {".gz", "application/gzip"},  {".xz", "application/x-xz"},   {".bz2", "application/x-bzip2"},
      {".deb", "application/vnd.debian.binary-package"},          {".txt", "text/plain"},
  };
  for (const auto& [extension, type] : kTypes) {
    std::string_view ext(extension);
    if (path.size() >= ext.size() && path.compare(path.size() - ext.size(), ext.size(), ext) == 0)
      return type;
  }
  return "application/octet-stream";
}

bool escapesFolder(const std::string& relative) {
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find('/', start);
    if (end == std::string::npos) end = relative.size();
    if (relative.compare(start, end - start, "..") == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

std::string TestHttpRequest::header(std::string_view name) const {
  for (const auto& [key, value] : headers)
    if (equalsIgnoringCase(key, name)) return value;
  return "";
}

bool TestHttpRequest::hasHeader(std::string_view name) const {
  return std::any_of(headers.begin(), headers.end(),
                     [&](const auto& h) { return equalsIgnoringCase(h.first, name); });
}

TestHttpResponse TestHttpResponse::text(std::string body, int status) {
  TestHttpResponse r;
  r.status = status;
  r.body = std::move(body);
  return r;
}

TestHttpResponse TestHttpResponse::json(std::string body, int status) {
  TestHttpResponse r = text(std::move(body), status);
  r.contentType = "application/json";
  return r;
}

TestHttpResponse TestHttpResponse::redirect(std::string location, int status) {
  TestHttpResponse r;
  r.status = status;
  r.headers.emplace_back("Location", std::move(location));
  return r;
}

TestHttpServer::TestHttpServer(TestHttpConnections connections, int port) : server_(std::make_unique<httplib::Server>()) {
  if (connections == TestHttpConnections::CloseEach) {
    // One request per connection: a stop never waits for an idle kept-alive client.
    server_->set_keep_alive_max_count(1);
  } else {
    server_->set_keep_alive_max_count(1000);
    server_->set_keep_alive_timeout(1);
  }
  auto entry = [this](const httplib::Request& req, httplib::Response& res) {
    TestHttpRequest request;
    request.method = req.method;
    request.path = req.path;
    request.target = req.target;
    size_t question = req.target.find('?');
    if (question != std::string::npos) request.query = req.target.substr(question + 1);
    for (const auto& [key, value] : req.headers)
      if (key != "REMOTE_ADDR" && key != "REMOTE_PORT" && key != "LOCAL_ADDR" && key != "LOCAL_PORT")
        request.headers.emplace_back(key, value);  // the library's own connection notes aside
    request.body = req.body;
    request.remotePort = req.remote_port;
    record(request);

    TestHttpResponse response = dispatch(request);
    if (response.delay.count() > 0) pauseUnlessStopping(response.delay);
    res.status = response.status;
    for (const auto& [key, value] : response.headers) res.set_header(key, value);
    if (response.trickle.count() > 0) {
      auto body = std::make_shared<std::string>(std::move(response.body));
      auto pause = response.trickle;
      res.set_content_provider(body->size(), response.contentType,
                               [this, body, pause](size_t offset, size_t, httplib::DataSink& sink) {
                                 if (offset >= body->size() || !pauseUnlessStopping(pause)) return false;
                                 sink.write(body->data() + offset, 1);
                                 return true;
                               });
    } else if (!response.file.empty()) {
      // Read and sent a piece at a time: read whole and copied, an index of a few megabytes
      // cost the server a fifth of a second, which the client then waited for.
      auto in = std::make_shared<std::ifstream>(response.file, std::ios::binary);
      res.set_content_provider(response.fileSize, response.contentType,
                               [in](size_t offset, size_t length, httplib::DataSink& sink) {
                                 char piece[1 << 16];
                                 in->seekg(static_cast<std::streamoff>(offset));
                                 in->read(piece, static_cast<std::streamsize>(std::min(length, sizeof piece)));
                                 if (in->gcount() <= 0) return false;  // the file shrank: drop the connection
                                 sink.write(piece, static_cast<size_t>(in->gcount()));
                                 return true;
                               });
    } else if (response.announcedLength) {
      auto body = std::make_shared<std::string>(std::move(response.body));
      res.set_content_provider(*response.announcedLength, response.contentType,
                               [body](size_t offset, size_t length, httplib::DataSink& sink) {
                                 if (offset >= body->size()) return false;  // drop the connection
                                 sink.write(body->data() + offset, std::min(length, body->size() - offset));
                                 return true;
                               });
    } else if (!response.body.empty() || request.method == "HEAD") {
      res.set_content(response.body, response.contentType);
    }
  };
  const std::string any = ".*";
  server_->Get(any, entry).Post(any, entry).Put(any, entry).Patch(any, entry);
  server_->Delete(any, entry).Options(any, entry);

  port_ = port > 0 ? (server_->bind_to_port("127.0.0.1", port) ? port : -1) : server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("TestHttpServer: cannot bind 127.0.0.1" + (port > 0 ? ":" + std::to_string(port) : ""));
  auto ended = std::make_shared<std::atomic<bool>>(false);
  thread_ = std::thread([this, ended] {
    server_->listen_after_bind();
    *ended = true;
  });
  // Requests are accepted from the moment of binding (the kernel queues them), but stop()
  // only works once the accept loop runs.
  while (!server_->is_running() && !*ended) std::this_thread::yield();
}

TestHttpServer::TestHttpServer(const std::string& folder, const std::string& urlPrefix)
    : TestHttpServer() {
  serveFolder(folder, urlPrefix);
}

TestHttpServer::~TestHttpServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

std::string TestHttpServer::baseURL() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::string TestHttpServer::url(std::string_view path) const { return baseURL() + std::string(path); }

std::string TestHttpServer::closedBaseURL() { return TestHttpServer().baseURL(); }

void TestHttpServer::serveFolder(const std::string& folder, const std::string& urlPrefix) {
  std::string prefix = urlPrefix.empty() || urlPrefix.back() != '/' ? urlPrefix + "/" : urlPrefix;
  std::lock_guard lock(mutex_);
  mounts_.insert(mounts_.begin(), Mount{prefix, folder});
}

void TestHttpServer::respond(const std::string& path, TestHttpResponse response) {
  handle("*", path, [response = std::move(response)](const TestHttpRequest&) { return response; });
}

void TestHttpServer::handle(const std::string& method, const std::string& path, Handler handler) {
  std::lock_guard lock(mutex_);
  std::erase_if(routes_, [&](const Route& r) { return r.path == path && r.method == method; });
  routes_.push_back(Route{method, path, std::move(handler)});
}

void TestHttpServer::redirect(const std::string& from, const std::string& to, int status) {
  respond(from, TestHttpResponse::redirect(to, status));
}

void TestHttpServer::truncate(const std::string& path, std::string body, size_t announcedLength) {
  TestHttpResponse response;
  response.body = std::move(body);
  response.contentType = "application/octet-stream";
  response.announcedLength = announcedLength;
  respond(path, std::move(response));
}

void TestHttpServer::removeRoute(const std::string& path) {
  std::lock_guard lock(mutex_);
  std::erase_if(routes_, [&](const Route& r) { return r.path == path; });
}

TestHttpResponse TestHttpServer::dispatch(const TestHttpRequest& request) {
  Handler handler;
  {
    std::lock_guard lock(mutex_);
    // A method's own handler wins over one for any method; later routes over earlier ones.
    for (int pass = 0; pass < 2 && !handler; ++pass) {
      for (auto it = routes_.rbegin(); it != routes_.rend(); ++it) {
        bool methodMatches = pass == 0 ? (it->method == request.method ||
                                          (it->method == "GET" && request.method == "HEAD"))
                                       : it->method == "*";
        if (methodMatches && routeMatches(it->path, request.path)) {
          handler = it->handler;
          break;
        }
      }
    }
  }
  if (handler) return handler(request);
  if (auto file = serveFile(request)) return *file;
  return TestHttpResponse::text("Not Found", 404);
}

std::optional<TestHttpResponse> TestHttpServer::serveFile(const TestHttpRequest& request) const {
  if (request.method != "GET" && request.method != "HEAD") return std::nullopt;
  std::vector<Mount> mounts;
  {
    std::lock_guard lock(mutex_);
    mounts = mounts_;
  }
  for (const Mount& mount : mounts) {
    if (request.path.compare(0, mount.prefix.size(), mount.prefix) != 0) continue;
    std::string relative = request.path.substr(mount.prefix.size());
    if (relative.empty() || escapesFolder(relative)) continue;
    std::string file = mount.folder + "/" + relative;
    struct stat info {};
    if (stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;

    TestHttpResponse response;
    response.headers.emplace_back("Last-Modified", HTTPDate::format(Date::fromUnix(static_cast<double>(info.st_mtime))));
    std::string since = request.header("If-Modified-Since");
    if (!since.empty()) {
      std::optional<Date> sinceTime = HTTPDate::parse(since);
      if (sinceTime && static_cast<double>(info.st_mtime) <= sinceTime->unixSeconds()) {
        response.status = 304;
        return response;
      }
    }
    response.file = file;
    response.fileSize = static_cast<size_t>(info.st_size);
    response.contentType = contentTypeFor(file);
    return response;
  }
  return std::nullopt;
}

bool TestHttpServer::pauseUnlessStopping(std::chrono::milliseconds pause) {
  std::unique_lock lock(mutex_);
  return !changed_.wait_for(lock, pause, [this] { return stopping_; });
}

void TestHttpServer::record(TestHttpRequest request) {
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(std::move(request));
  }
  changed_.notify_all();
}

std::vector<TestHttpRequest> TestHttpServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<TestHttpRequest> TestHttpServer::requestsTo(const std::string& path) const {
  std::lock_guard lock(mutex_);
  std::vector<TestHttpRequest> matching;
  for (const auto& r : requests_)
    if (r.path == path) matching.push_back(r);
  return matching;
}

size_t TestHttpServer::requestCount() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

size_t TestHttpServer::requestCount(const std::string& path) const { return requestsTo(path).size(); }

bool TestHttpServer::waitForRequests(size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

bool TestHttpServer::waitForRequests(const std::string& path, size_t count,
                                     std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] {
    return static_cast<size_t>(std::count_if(requests_.begin(), requests_.end(),
                                             [&](const auto& r) { return r.path == path; })) >= count;
  });
}

void TestHttpServer::clearRequests() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}
