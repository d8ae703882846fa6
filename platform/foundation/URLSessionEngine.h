#pragma once
// The one transfer engine behind every URL session: one libcurl multi handle driven
// by one worker thread, so connections are reused across sessions. Internal to the
// URL session; nothing else includes it.
#include <curl/curl.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>

// Cookies shared by the transfers of the sessions that hold the same jar.
class URLCookieJar {
 public:
  URLCookieJar();
  ~URLCookieJar();
  CURLSH* share() const { return share_; }
  static std::shared_ptr<URLCookieJar> shared();

 private:
  CURLSH* share_;
  // One lock per kind of shared data: libcurl may hold two kinds at once.
  std::mutex mutexes_[CURL_LOCK_DATA_LAST];
};

struct URLTransfer {
  URLTransfer();
  ~URLTransfer();
  URLTransfer(const URLTransfer&) = delete;
  URLTransfer& operator=(const URLTransfer&) = delete;

  CURL* easy;
  curl_slist* headers = nullptr;
  std::string body;  // kept alive for the transfer
  // The cookies the handle uses outlive it (members go after the destructor body).
  std::shared_ptr<URLCookieJar> cookieJar;
  char errorBuffer[CURL_ERROR_SIZE] = {};
  // Called on the engine thread. onData answers false to abort the transfer.
  std::function<bool(const char*, size_t)> onData;
  std::function<void(const std::string&)> onHeaderLine;
  // Called once on the engine thread when the transfer has ended or was cancelled
  // (CURLE_ABORTED_BY_CALLBACK); the easy handle may still be read.
  std::function<void(CURLcode)> onDone;
};

class URLSessionEngine {
 public:
  static URLSessionEngine& shared();
  void add(const std::shared_ptr<URLTransfer>& transfer);
  // Ends a pending or running transfer with CURLE_ABORTED_BY_CALLBACK; nothing when it
  // has already ended.
  void cancel(const std::shared_ptr<URLTransfer>& transfer);

 private:
  URLSessionEngine();
  void run();
  struct Impl;
  Impl* impl_;
};
