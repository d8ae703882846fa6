#pragma once
// A web address followed the way a browser follows it while nobody touches the page:
// its page is loaded, redirects and <meta http-equiv="refresh"> lead on, and the walk
// ends at an address that is not on the web (another application's scheme), at a page
// that waits for a person, or at a failure. The headless browser views use it for the
// pages whose end the application waits for.
#include <functional>
#include <mutex>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Error.h"
#include "foundation/URL.h"

class URLSession;

class WebPageFollower : public std::enable_shared_from_this<WebPageFollower> {
 public:
  enum class End {
    LeftTheWeb,  // `url` is an address of another scheme than http or https
    Settled,     // `url` is the page that stays on screen
    Failed,      // `error` says why (the page shows an error)
  };
  struct Outcome {
    End end = End::Failed;
    std::optional<URL> url;
    ErrorRef error;
  };
  // More addresses than this in one walk end it as a failure (a loop).
  static constexpr int kMaximumSteps = 20;

  // Starts at `url`; `done` runs once, on the main thread, unless cancelled first.
  static std::shared_ptr<WebPageFollower> follow(const URL& url, std::function<void(const Outcome&)> done);
  // No report follows.
  void cancel();

  // Where a page's refresh declaration leads, as written (relative or not): the first
  // <meta http-equiv="refresh"> with a URL in its content. Nothing when there is none.
  static std::optional<std::string> refreshTarget(std::string_view html);

  ~WebPageFollower();

 private:
  WebPageFollower(std::function<void(const Outcome&)> done);
  void step(const URL& url, int steps);
  void finish(Outcome outcome);

  std::shared_ptr<URLSession> session_;
  std::function<void(const Outcome&)> done_;
  bool cancelled_ = false;  // read and written on the session's queue and the main thread
  std::mutex mutex_;
};
