#pragma once
// URL sessions in place of the platform's, on libcurl. Every session's transfers run
// on one shared engine (one connection pool); each session reports on its own serial
// delegate queue, one report at a time, in order. Only http and https are fetched.
// A request's time-out is an idle time-out: the connection must open within it and
// the transfer fails only when no byte arrives for that long.
#include <memory>
#include <mutex>
#include <vector>

#include "foundation/Dispatch.h"
#include "foundation/URLSessionConfiguration.h"
#include "foundation/URLSessionDelegate.h"
#include "foundation/URLSessionTask.h"

class URLSession : public std::enable_shared_from_this<URLSession> {
 public:
  // The process-wide session of the default configuration; it cannot be invalidated.
  static std::shared_ptr<URLSession> sharedSession();
  // How many tasks of every session have started and not yet ended (their completion
  // or last delegate report included).
  static int tasksInFlight();
  // `delegate` is held until the session is invalidated, as the platform does.
  // Without `delegateQueue` the session makes a serial queue of its own.
  static std::shared_ptr<URLSession> sessionWithConfiguration(const URLSessionConfiguration& configuration,
                                                               std::shared_ptr<URLSessionDelegate> delegate = nullptr,
                                                               std::shared_ptr<DispatchQueue> delegateQueue = nullptr);
  ~URLSession();

  std::shared_ptr<URLSessionDataTask> dataTaskWithURL(const URL& url, URLSessionDataCompletion completion = nullptr);
  std::shared_ptr<URLSessionDataTask> dataTaskWithRequest(const URLRequest& request,
                                                          URLSessionDataCompletion completion = nullptr);
  std::shared_ptr<URLSessionDownloadTask> downloadTaskWithURL(const URL& url,
                                                              URLSessionDownloadCompletion completion = nullptr);
  std::shared_ptr<URLSessionDownloadTask> downloadTaskWithRequest(const URLRequest& request,
                                                                  URLSessionDownloadCompletion completion = nullptr);

  // No new task may start; when the running ones have ended the delegate hears
  // didBecomeInvalidWithError and is let go.
  void finishTasksAndInvalidate();
  // The same after cancelling every task of the session.
  void invalidateAndCancel();
  bool isInvalidated() const;

  const URLSessionConfiguration& configuration() const { return configuration_; }
  DispatchQueue& delegateQueue() const { return *queue_; }
  std::shared_ptr<URLSessionDelegate> delegate() const;

 private:
  friend class URLSessionTask;
  URLSession(const URLSessionConfiguration& configuration, std::shared_ptr<URLSessionDelegate> delegate,
             std::shared_ptr<DispatchQueue> queue);
  // A suspended task of the session with its completion, kept in the session's list.
  template <typename Task, typename Completion>
  std::shared_ptr<Task> makeTask(const URLRequest& request, Completion completion);
  void taskStarted();
  void taskEnded();  // on the delegate queue, after the task's last report
  void invalidateIfIdleLocked(std::unique_lock<std::mutex>& lock);

  URLSessionConfiguration configuration_;
  std::shared_ptr<DispatchQueue> queue_;
  mutable std::mutex mutex_;
  std::shared_ptr<URLSessionDelegate> delegate_;
  std::vector<std::weak_ptr<URLSessionTask>> tasks_;
  int running_ = 0;
  bool invalidated_ = false, invalidationReported_ = false, isShared_ = false;
};
