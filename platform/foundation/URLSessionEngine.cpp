#include "foundation/URLSessionEngine.h"

#include <map>
#include <thread>
#include <vector>

namespace {
void lockShare(CURL*, curl_lock_data data, curl_lock_access, void* user) {
  static_cast<std::mutex*>(user)[data].lock();
}
void unlockShare(CURL*, curl_lock_data data, void* user) { static_cast<std::mutex*>(user)[data].unlock(); }

void globalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_ALL); });
}
}  // namespace

URLCookieJar::URLCookieJar() {
  globalInit();
  share_ = curl_share_init();
  curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, lockShare);
  curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, unlockShare);
  curl_share_setopt(share_, CURLSHOPT_USERDATA, mutexes_);
  curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
}

URLCookieJar::~URLCookieJar() { curl_share_cleanup(share_); }

std::shared_ptr<URLCookieJar> URLCookieJar::shared() {
  static auto* jar = new std::shared_ptr<URLCookieJar>(std::make_shared<URLCookieJar>());
  return *jar;
}

URLTransfer::URLTransfer() {
  globalInit();
  easy = curl_easy_init();
}

URLTransfer::~URLTransfer() {
  if (easy) curl_easy_cleanup(easy);
  if (headers) curl_slist_free_all(headers);
}

struct URLSessionEngine::Impl {
  CURLM* multi = nullptr;
  std::mutex mutex;
  std::vector<std::shared_ptr<URLTransfer>> toAdd, toCancel;
  std::map<CURL*, std::shared_ptr<URLTransfer>> running;
};

URLSessionEngine& URLSessionEngine::shared() {
  static URLSessionEngine* engine = new URLSessionEngine();
  return *engine;
}

URLSessionEngine::URLSessionEngine() : impl_(new Impl) {
  globalInit();
  impl_->multi = curl_multi_init();
  curl_multi_setopt(impl_->multi, CURLMOPT_MAXCONNECTS, 64L);
  std::thread([this] { run(); }).detach();
}

void URLSessionEngine::add(const std::shared_ptr<URLTransfer>& transfer) {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->toAdd.push_back(transfer);
  }
  curl_multi_wakeup(impl_->multi);
}

void URLSessionEngine::cancel(const std::shared_ptr<URLTransfer>& transfer) {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->toCancel.push_back(transfer);
  }
  curl_multi_wakeup(impl_->multi);
}

void URLSessionEngine::run() {
  Impl& d = *impl_;
  while (true) {
    std::vector<std::shared_ptr<URLTransfer>> adding, cancelling;
    {
      std::lock_guard<std::mutex> lock(d.mutex);
      adding.swap(d.toAdd);
      cancelling.swap(d.toCancel);
    }
    for (auto& t : adding) {
      d.running[t->easy] = t;
      curl_multi_add_handle(d.multi, t->easy);
    }
    // A cancel that arrives before its add was seen is handled after the add above,
    // so it always finds the transfer.
    for (auto& t : cancelling) {
      auto it = d.running.find(t->easy);
      if (it == d.running.end() || it->second != t) continue;
      curl_multi_remove_handle(d.multi, t->easy);
      d.running.erase(it);
      if (t->onDone) t->onDone(CURLE_ABORTED_BY_CALLBACK);
      t->onDone = nullptr;
    }
    int stillRunning = 0;
    curl_multi_perform(d.multi, &stillRunning);
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(d.multi, &queued)) {
      if (msg->msg != CURLMSG_DONE) continue;
      CURL* easy = msg->easy_handle;
      CURLcode result = msg->data.result;
      auto it = d.running.find(easy);
      if (it == d.running.end()) continue;
      auto transfer = it->second;
      d.running.erase(it);
      curl_multi_remove_handle(d.multi, easy);
      if (transfer->onDone) transfer->onDone(result);
      transfer->onDone = nullptr;
    }
    curl_multi_poll(d.multi, nullptr, 0, 1000, nullptr);
  }
}
