#pragma once
// One transfer of a URL session: a data task (the body in memory) or a download task
// (the body in a temporary file, with progress). Made suspended by the session;
// resume() starts it; it ends exactly once, on the session's delegate queue.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "foundation/Error.h"
#include "foundation/URLRequest.h"
#include "foundation/URLResponse.h"

class URLSession;
struct URLTransfer;

using URLSessionDataCompletion = std::function<void(std::optional<Data> data, URLResponseRef response, ErrorRef error)>;
// `location` is a file URL of the downloaded body; the file is removed when the block
// returns.
using URLSessionDownloadCompletion =
    std::function<void(std::optional<URL> location, URLResponseRef response, ErrorRef error)>;

class URLSessionTask : public std::enable_shared_from_this<URLSessionTask> {
 public:
  enum State { Running = 0, Suspended = 1, Canceling = 2, Completed = 3 };
  virtual ~URLSessionTask();

  uint64_t taskIdentifier() const { return identifier_; }
  const URLRequest& originalRequest() const { return request_; }
  const URLRequest& currentRequest() const { return request_; }
  State state() const;
  URLResponseRef response() const;
  ErrorRef error() const;
  int64_t countOfBytesReceived() const { return received_.load(); }
  int64_t countOfBytesExpectedToReceive() const { return expected_.load(); }
  std::string taskDescription() const;
  void setTaskDescription(std::string text);
  bool isDownloadTask() const { return download_; }

  void resume();
  // Ends the task with the platform's cancellation error (-999), also when it was
  // never resumed; nothing once it has ended.
  void cancel();

 protected:
  URLSessionTask(std::shared_ptr<URLSession> session, URLRequest request, bool download);

 private:
  friend class URLSession;
  struct Result;
  void start();
  bool answerFromCache();
  void finish(Result result);
  void deliver(const std::shared_ptr<Result>& result);
  void onTransferDone(int curlCode);
  bool onBody(const char* bytes, size_t length);
  void onHeaderLine(const std::string& line);
  std::string timeoutReason(const std::string& connectionReason) const;

  std::shared_ptr<URLSession> session_;
  URLRequest request_;
  bool download_;
  uint64_t identifier_;
  URLSessionDataCompletion dataCompletion_;
  URLSessionDownloadCompletion downloadCompletion_;

  mutable std::mutex mutex_;
  State state_ = Suspended;
  bool started_ = false;
  URLResponseRef response_;
  ErrorRef error_;
  std::string description_;
  std::shared_ptr<URLTransfer> transfer_;
  std::atomic<int64_t> received_{0}, expected_{-1};

  // Touched only on the engine thread while the transfer runs.
  Data body_;
  std::string downloadPath_;
  FILE* file_ = nullptr;
  int status_ = 0;
  bool contentEncoded_ = false;
  bool tooLarge_ = false;  // the body passed the reply's ceiling
  URLReplyLimits limits_;  // the request's, completed by the session's
  double rateWindow_ = 0;  // seconds over which the minimum rate is measured
  std::vector<std::pair<std::string, std::string>> headers_;
};

class URLSessionDataTask final : public URLSessionTask {
 public:
  URLSessionDataTask(std::shared_ptr<URLSession> session, URLRequest request)
      : URLSessionTask(std::move(session), std::move(request), false) {}
};

class URLSessionDownloadTask final : public URLSessionTask {
 public:
  URLSessionDownloadTask(std::shared_ptr<URLSession> session, URLRequest request)
      : URLSessionTask(std::move(session), std::move(request), true) {}
};
