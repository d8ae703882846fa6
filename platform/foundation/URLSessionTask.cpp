#include "foundation/URLSessionTask.h"

#include <curl/curl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "foundation/Bundle.h"
#include "foundation/URLSession.h"
#include "foundation/URLSessionEngine.h"
#include "foundation/URLSessionErrors.h"

namespace {
std::atomic<uint64_t> gNextIdentifier{1};

std::string noProxyList() {
  std::string list = "localhost,127.0.0.1,::1";
  for (const char* name : {"no_proxy", "NO_PROXY"}) {
    if (const char* v = std::getenv(name); v && *v) return std::string(v) + "," + list;
  }
  return list;
}
}  // namespace

struct URLSessionTask::Result {
  std::optional<Data> data;
  URLResponseRef response;
  ErrorRef error;
  std::string downloadPath;
};

URLSessionTask::URLSessionTask(std::shared_ptr<URLSession> session, URLRequest request, bool download)
    : session_(std::move(session)), request_(std::move(request)), download_(download), identifier_(gNextIdentifier++) {}

URLSessionTask::~URLSessionTask() {
  if (file_) std::fclose(file_);
  if (!downloadPath_.empty()) ::unlink(downloadPath_.c_str());
}

URLSessionTask::State URLSessionTask::state() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_;
}
URLResponseRef URLSessionTask::response() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return response_;
}
ErrorRef URLSessionTask::error() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}
std::string URLSessionTask::taskDescription() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return description_;
}
void URLSessionTask::setTaskDescription(std::string text) {
  std::lock_guard<std::mutex> lock(mutex_);
  description_ = std::move(text);
}

void URLSessionTask::resume() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ != Suspended || started_) return;
    state_ = Running;
    started_ = true;
  }
  session_->taskStarted();
  start();
}

void URLSessionTask::cancel() {
  std::shared_ptr<URLTransfer> transfer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ == Completed || state_ == Canceling) return;
    state_ = Canceling;
    transfer = transfer_;
  }
  if (transfer) URLSessionEngine::shared().cancel(transfer);
  else finish(Result{std::nullopt, nullptr, URLSessionErrors::make(NSURLErrorCancelled, "", request_), ""});
}

void URLSessionTask::start() {
  if (session_->isInvalidated() && !session_->isShared_) {
    finish(Result{std::nullopt, nullptr,
                  URLSessionErrors::make(NSURLErrorCancelled, "The session was invalidated", request_), ""});
    return;
  }
  const auto& url = request_.url();
  if (!url || !url->isHTTP() || url->host().empty()) {
    finish(Result{std::nullopt, nullptr,
                  URLSessionErrors::make(NSURLErrorUnsupportedURL, "Only http and https URLs are fetched", request_),
                  ""});
    return;
  }
  if (answerFromCache()) return;

  const URLSessionConfiguration& config = session_->configuration();
  auto transfer = std::make_shared<URLTransfer>();
  CURL* e = transfer->easy;
  if (download_) {
    std::string pattern = (std::filesystem::temp_directory_path() / "QBDownload_XXXXXX").string();
    int fd = ::mkstemp(pattern.data());
    if (fd < 0 || !(file_ = ::fdopen(fd, "wb"))) {
      if (fd >= 0) ::close(fd);
      finish(Result{std::nullopt, nullptr,
                    URLSessionErrors::make(NSURLErrorCannotCreateFile, "No temporary file for the download", request_),
                    ""});
      return;
    }
    downloadPath_ = pattern;
  }

  curl_easy_setopt(e, CURLOPT_URL, url->absoluteString().c_str());
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, config.HTTPShouldFollowRedirects ? 1L : 0L);
  curl_easy_setopt(e, CURLOPT_MAXREDIRS, 16L);
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(e, CURLOPT_ERRORBUFFER, transfer->errorBuffer);
  // Never destroyed: a transfer may still read it while the process exits.
  static const std::string* noProxy = new std::string(noProxyList());
  curl_easy_setopt(e, CURLOPT_NOPROXY, noProxy->c_str());

  limits_ = request_.replyLimits().withDefaults(config.replyLimits);
  double timeout = request_.hasExplicitTimeout() ? request_.timeoutInterval() : config.timeoutIntervalForRequest;
  if (timeout > 0) {
    long ms = std::max(1L, static_cast<long>(std::ceil(timeout * 1000)));
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, ms);
  }
  // The minimum rate is measured over the idle time-out, so a reply that sends nothing
  // for that long ends as before, and one that dribbles ends as soon. libcurl measures
  // the speed in whole seconds, so a window of exactly the time-out could end a transfer
  // that never idled that long; one more second keeps it from ever firing early.
  rateWindow_ = (timeout > 0 ? std::ceil(timeout) : 30) + 1;
  curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, static_cast<long>(limits_.minimumBytesPerSecond));
  curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, static_cast<long>(rateWindow_));
  double deadline = limits_.deadline;
  if (config.timeoutIntervalForResource > 0) deadline = std::min(deadline, config.timeoutIntervalForResource);
  limits_.deadline = deadline;
  curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, std::max(1L, static_cast<long>(std::ceil(deadline * 1000))));

  const std::string& method = request_.HTTPMethod();
  const Data& body = request_.HTTPBody();
  transfer->body.assign(body.begin(), body.end());
  if (method == "HEAD") {
    curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
  } else if (method == "GET" && body.empty()) {
    curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
  } else {
    if (method != "GET" || !body.empty()) {
      curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(transfer->body.size()));
      curl_easy_setopt(e, CURLOPT_POSTFIELDS, transfer->body.data());
    }
    if (method != "POST") curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, method.c_str());
  }

  auto fields = request_.allHTTPHeaderFields();
  for (const auto& [name, value] : config.HTTPAdditionalHeaders)
    if (!request_.valueForHTTPHeaderField(name)) fields.emplace_back(name, value);
  bool hasAgent = false, hasType = false;
  for (const auto& [name, value] : fields) {
    hasAgent |= headerNameEquals(name, "User-Agent");
    hasType |= headerNameEquals(name, "Content-Type");
    // "Name;" is libcurl's way of sending a field with an empty value.
    std::string line = value.empty() ? name + ";" : name + ": " + value;
    transfer->headers = curl_slist_append(transfer->headers, line.c_str());
  }
  if (!hasAgent) {
    std::string agent = "User-Agent: Quillbark/" + Bundle::main().version() + " CFNetwork/220.0";
    transfer->headers = curl_slist_append(transfer->headers, agent.c_str());
  }
  if (!hasType && !transfer->body.empty())
    transfer->headers = curl_slist_append(transfer->headers, "Content-Type: application/x-www-form-urlencoded");
  if (!hasType && transfer->body.empty()) transfer->headers = curl_slist_append(transfer->headers, "Content-Type:");
  transfer->headers = curl_slist_append(transfer->headers, "Expect:");
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, transfer->headers);

  if (config.cookieJar && config.HTTPShouldSetCookies) {
    transfer->cookieJar = config.cookieJar;
    curl_easy_setopt(e, CURLOPT_SHARE, config.cookieJar->share());
    curl_easy_setopt(e, CURLOPT_COOKIEFILE, "");
  }

  // A reply that announces more than the ceiling is refused before its body comes.
  curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits_.maximumBodyLength));

  // The task outlives its transfer: onDone holds it until the engine lets go.
  URLSessionTask* self = this;
  transfer->onData = [self](const char* bytes, size_t n) { return self->onBody(bytes, n); };
  transfer->onHeaderLine = [self](const std::string& line) { self->onHeaderLine(line); };
  auto keep = shared_from_this();
  transfer->onDone = [keep](CURLcode code) { keep->onTransferDone(code); };
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, +[](char* p, size_t size, size_t n, void* user) -> size_t {
    auto* t = static_cast<URLTransfer*>(user);
    return t->onData(p, size * n) ? size * n : 0;
  });
  curl_easy_setopt(e, CURLOPT_WRITEDATA, transfer.get());
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, +[](char* p, size_t size, size_t n, void* user) -> size_t {
    static_cast<URLTransfer*>(user)->onHeaderLine(std::string(p, size * n));
    return size * n;
  });
  curl_easy_setopt(e, CURLOPT_HEADERDATA, transfer.get());

  bool cancelled;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled = state_ != Running;
    if (!cancelled) transfer_ = transfer;
  }
  if (cancelled) {
    transfer->onDone = nullptr;
    finish(Result{std::nullopt, nullptr, URLSessionErrors::make(NSURLErrorCancelled, "", request_), ""});
    return;
  }
  URLSessionEngine::shared().add(transfer);
}

bool URLSessionTask::answerFromCache() {
  const URLSessionConfiguration& config = session_->configuration();
  if (download_ || !config.urlCache || request_.HTTPMethod() != "GET") return false;
  int policy = request_.cachePolicy() != URLRequest::UseProtocolCachePolicy ? request_.cachePolicy()
                                                                            : config.requestCachePolicy;
  std::optional<URLCache::CachedResponse> cached;
  switch (policy) {
    case URLRequest::UseProtocolCachePolicy:
      if (request_.valueForHTTPHeaderField("If-Modified-Since") || request_.valueForHTTPHeaderField("If-None-Match"))
        return false;
      cached = config.urlCache->cachedResponseForRequest(request_);
      if (!cached || !cached->isFresh()) return false;
      break;
    case URLRequest::ReturnCacheDataElseLoad:
      cached = config.urlCache->cachedResponseForRequest(request_);
      if (!cached) return false;
      break;
    case URLRequest::ReturnCacheDataDontLoad:
      cached = config.urlCache->cachedResponseForRequest(request_);
      if (!cached) {
        finish(Result{std::nullopt, nullptr, URLSessionErrors::make(NSURLErrorResourceUnavailable, "", request_), ""});
        return true;
      }
      break;
    default:
      return false;
  }
  received_ = static_cast<int64_t>(cached->data.size());
  finish(Result{std::move(cached->data), cached->response, nullptr, ""});
  return true;
}

bool URLSessionTask::onBody(const char* bytes, size_t length) {
  curl_off_t expected = -1;
  if (transfer_) curl_easy_getinfo(transfer_->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected);
  // An encoded body arrives decoded, so the announced length says nothing of it.
  if (contentEncoded_) expected = -1;
  expected_ = expected;
  // The bytes arrive decoded: the ceiling counts what a compressed reply inflates to.
  int64_t total = received_ += static_cast<int64_t>(length);
  if (total > limits_.maximumBodyLength) {
    tooLarge_ = true;
    return false;
  }
  if (!download_) {
    body_.insert(body_.end(), reinterpret_cast<const uint8_t*>(bytes), reinterpret_cast<const uint8_t*>(bytes) + length);
    return true;
  }
  if (!file_ || std::fwrite(bytes, 1, length, file_) != length) return false;
  if (auto delegate = session_->delegate()) {
    auto self = std::static_pointer_cast<URLSessionDownloadTask>(shared_from_this());
    auto session = session_;
    int64_t written = static_cast<int64_t>(length);
    int64_t expectedTotal = expected;
    session_->delegateQueue().async([delegate, session, self, written, total, expectedTotal] {
      delegate->didWriteData(*session, *self, written, total, expectedTotal);
    });
  }
  return true;
}

void URLSessionTask::onHeaderLine(const std::string& raw) {
  std::string line = raw;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (line.rfind("HTTP/", 0) == 0) {
    // A new reply starts (after a redirect or an interim 100): only the last counts.
    headers_.clear();
    contentEncoded_ = false;
    return;
  }
  if (line.empty()) return;
  if ((line[0] == ' ' || line[0] == '\t') && !headers_.empty()) {
    headers_.back().second += " " + line.substr(line.find_first_not_of(" \t"));
    return;
  }
  size_t colon = line.find(':');
  if (colon == std::string::npos) return;
  std::string value = line.substr(colon + 1);
  size_t b = value.find_first_not_of(" \t");
  value = b == std::string::npos ? std::string() : value.substr(b, value.find_last_not_of(" \t") - b + 1);
  std::string name = line.substr(0, colon);
  if (headerNameEquals(name, "Content-Encoding") && value != "identity") contentEncoded_ = true;
  headers_.emplace_back(std::move(name), value);
}

void URLSessionTask::onTransferDone(int code) {
  CURL* e = transfer_->easy;
  if (file_) {
    if (std::fclose(file_) != 0 && code == CURLE_OK) code = CURLE_WRITE_ERROR;
    file_ = nullptr;
  }
  if (code != CURLE_OK) {
    long osErrno = 0;
    curl_easy_getinfo(e, CURLINFO_OS_ERRNO, &osErrno);
    int64_t urlCode = tooLarge_ ? NSURLErrorDataLengthExceedsMaximum : URLSessionErrors::codeForCurlResult(code, osErrno);
    std::string reason = transfer_->errorBuffer[0] ? transfer_->errorBuffer : curl_easy_strerror(CURLcode(code));
    if (urlCode == NSURLErrorCancelled) reason.clear();
    if (urlCode == NSURLErrorDataLengthExceedsMaximum) reason = limits_.ceilingReason();
    if (urlCode == NSURLErrorTimedOut) reason = timeoutReason(reason);
    finish(Result{std::nullopt, nullptr, URLSessionErrors::make(urlCode, reason, request_), ""});
    return;
  }
  long status = 0;
  curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
  char* effective = nullptr;
  curl_easy_getinfo(e, CURLINFO_EFFECTIVE_URL, &effective);
  auto finalURL = effective ? URL::fromString(effective) : std::nullopt;
  auto response = std::make_shared<URLResponse>(finalURL ? *finalURL : *request_.url(), static_cast<int>(status),
                                                std::move(headers_));
  const auto& config = session_->configuration();
  if (!download_ && config.urlCache) config.urlCache->storeCachedResponse(request_, response, body_);
  Result result;
  result.response = response;
  if (download_) result.downloadPath = downloadPath_;
  else result.data = std::move(body_);
  finish(std::move(result));
}

// Which limit a time-out passed: the deadline, the minimum rate (also a reply that sent
// nothing at all), or the connection's own time-out, which libcurl words itself.
std::string URLSessionTask::timeoutReason(const std::string& connectionReason) const {
  CURL* e = transfer_->easy;
  curl_off_t total = 0, connected = 0;
  curl_easy_getinfo(e, CURLINFO_TOTAL_TIME_T, &total);
  curl_easy_getinfo(e, CURLINFO_CONNECT_TIME_T, &connected);
  if (static_cast<double>(total) / 1e6 >= limits_.deadline - 0.05) return limits_.deadlineReason();
  if (connected == 0) return connectionReason;
  return limits_.rateReason(rateWindow_);
}

void URLSessionTask::finish(Result result) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ == Completed) return;
    state_ = Completed;
    response_ = result.response;
    error_ = result.error;
  }
  auto shared = std::make_shared<Result>(std::move(result));
  auto self = shared_from_this();
  session_->delegateQueue().async([self, shared] { self->deliver(shared); });
}

void URLSessionTask::deliver(const std::shared_ptr<Result>& r) {
  URLSession& session = *session_;
  auto delegate = session.delegate();
  if (download_) {
    std::optional<URL> location;
    if (!r->error && !r->downloadPath.empty()) location = URL::fileURLWithPath(r->downloadPath);
    if (downloadCompletion_) {
      downloadCompletion_(location, r->response, r->error);
    } else if (delegate) {
      auto& task = static_cast<URLSessionDownloadTask&>(*this);
      if (location) delegate->didFinishDownloadingToURL(session, task, *location);
      if (!r->downloadPath.empty()) ::unlink(r->downloadPath.c_str());
      delegate->didCompleteWithError(session, task, r->error);
    }
    if (!r->downloadPath.empty()) ::unlink(r->downloadPath.c_str());
    if (r->downloadPath == downloadPath_) downloadPath_.clear();
  } else if (dataCompletion_) {
    dataCompletion_(std::move(r->data), r->response, r->error);
  } else if (delegate) {
    auto& task = static_cast<URLSessionDataTask&>(*this);
    if (r->data && !r->data->empty()) delegate->didReceiveData(session, task, *r->data);
    delegate->didCompleteWithError(session, task, r->error);
  }
  // The completion may hold what it likes; the task lets go of its blocks and transfer.
  dataCompletion_ = nullptr;
  downloadCompletion_ = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    transfer_.reset();
  }
  bool started;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    started = started_;
  }
  if (started) session.taskEnded();
}
