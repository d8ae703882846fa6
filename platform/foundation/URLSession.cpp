#include "foundation/URLSession.h"

#include <atomic>
#include <type_traits>

#include "foundation/URLSessionEngine.h"

URLSessionConfiguration URLSessionConfiguration::defaultSessionConfiguration() {
  URLSessionConfiguration c;
  c.urlCache = URLCache::sharedURLCache();
  c.cookieJar = URLCookieJar::shared();
  return c;
}

URLSessionConfiguration URLSessionConfiguration::ephemeralSessionConfiguration() {
  URLSessionConfiguration c;
  c.ephemeral = true;
  c.urlCache = std::make_shared<URLCache>(4 * 1024 * 1024);
  c.cookieJar = std::make_shared<URLCookieJar>();
  return c;
}

namespace {
std::atomic<uint64_t> gSessionCount{0};
}

URLSession::URLSession(const URLSessionConfiguration& configuration, std::shared_ptr<URLSessionDelegate> delegate,
                       std::shared_ptr<DispatchQueue> queue)
    : configuration_(configuration), queue_(std::move(queue)), delegate_(std::move(delegate)) {
  if (!queue_) queue_ = DispatchQueue::makeSerial("URLSession.delegate." + std::to_string(++gSessionCount));
}

URLSession::~URLSession() {
  // The last reference often goes inside a completion running on the session's own
  // queue; a queue must not be destroyed from its own thread, so another thread
  // lets go of it.
  if (queue_ && queue_->isCurrent() && queue_.use_count() == 1)
    DispatchQueue::globalDefault().async([q = std::move(queue_)]() mutable { q.reset(); });
}

std::shared_ptr<URLSession> URLSession::sharedSession() {
  static auto* session = [] {
    auto s = std::shared_ptr<URLSession>(
        new URLSession(URLSessionConfiguration::defaultSessionConfiguration(), nullptr, nullptr));
    s->isShared_ = true;
    return new std::shared_ptr<URLSession>(s);
  }();
  return *session;
}

std::shared_ptr<URLSession> URLSession::sessionWithConfiguration(const URLSessionConfiguration& configuration,
                                                                 std::shared_ptr<URLSessionDelegate> delegate,
                                                                 std::shared_ptr<DispatchQueue> delegateQueue) {
  return std::shared_ptr<URLSession>(new URLSession(configuration, std::move(delegate), std::move(delegateQueue)));
}

std::shared_ptr<URLSessionDelegate> URLSession::delegate() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return delegate_;
}

bool URLSession::isInvalidated() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return invalidated_;
}

std::shared_ptr<URLSessionDataTask> URLSession::dataTaskWithURL(const URL& url, URLSessionDataCompletion completion) {
  return dataTaskWithRequest(URLRequest(url), std::move(completion));
}

std::shared_ptr<URLSessionDataTask> URLSession::dataTaskWithRequest(const URLRequest& request,
                                                                    URLSessionDataCompletion completion) {
  return makeTask<URLSessionDataTask>(request, std::move(completion));
}

std::shared_ptr<URLSessionDownloadTask> URLSession::downloadTaskWithURL(const URL& url,
                                                                        URLSessionDownloadCompletion completion) {
  return downloadTaskWithRequest(URLRequest(url), std::move(completion));
}

std::shared_ptr<URLSessionDownloadTask> URLSession::downloadTaskWithRequest(const URLRequest& request,
                                                                            URLSessionDownloadCompletion completion) {
  return makeTask<URLSessionDownloadTask>(request, std::move(completion));
}

template <typename Task, typename Completion>
std::shared_ptr<Task> URLSession::makeTask(const URLRequest& request, Completion completion) {
  auto task = std::make_shared<Task>(shared_from_this(), request);
  if constexpr (std::is_same_v<Task, URLSessionDownloadTask>) task->downloadCompletion_ = std::move(completion);
  else task->dataCompletion_ = std::move(completion);
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(tasks_, [](const std::weak_ptr<URLSessionTask>& w) { return w.expired(); });
  tasks_.push_back(task);
  return task;
}

namespace {
std::atomic<int> gTasksInFlight{0};
}  // namespace

int URLSession::tasksInFlight() { return gTasksInFlight.load(); }

void URLSession::taskStarted() {
  ++gTasksInFlight;
  std::lock_guard<std::mutex> lock(mutex_);
  ++running_;
}

void URLSession::taskEnded() {
  --gTasksInFlight;
  std::unique_lock<std::mutex> lock(mutex_);
  --running_;
  invalidateIfIdleLocked(lock);
}

void URLSession::invalidateIfIdleLocked(std::unique_lock<std::mutex>& lock) {
  if (!invalidated_ || invalidationReported_ || running_ > 0) return;
  invalidationReported_ = true;
  auto delegate = std::move(delegate_);
  lock.unlock();
  if (!delegate) return;
  auto self = shared_from_this();
  queue_->async([self, delegate] { delegate->didBecomeInvalidWithError(*self, nullptr); });
}

void URLSession::finishTasksAndInvalidate() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (isShared_ || invalidated_) return;
  invalidated_ = true;
  invalidateIfIdleLocked(lock);
}

void URLSession::invalidateAndCancel() {
  std::vector<std::shared_ptr<URLSessionTask>> live;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (isShared_) return;
    invalidated_ = true;
    for (auto& w : tasks_)
      if (auto t = w.lock()) live.push_back(t);
  }
  for (auto& t : live) t->cancel();
  std::unique_lock<std::mutex> lock(mutex_);
  invalidateIfIdleLocked(lock);
}
