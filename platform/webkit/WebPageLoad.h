#pragma once
// One page (or one resource of a page) fetched for a web view with the process's cookies,
// so that a web view and every other request of the system share one cookie store. The
// load follows redirects itself, one step at a time, so that the web view can ask about
// and prepare every request it sends. Its end is reported on the main thread, once,
// unless the load was cancelled or its web view is gone by then.
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "foundation/Error.h"
#include "foundation/URLRequest.h"
#include "foundation/URLResponse.h"
#include "foundation/Value.h"

class URLSessionDataTask;

class WebPageLoad : public std::enable_shared_from_this<WebPageLoad> {
 public:
  struct Result {
    std::optional<Data> body;
    URLResponseRef response;
    ErrorRef error;
    URLRequest request;  // the last request sent (after redirects)
  };
  using Completion = std::function<void(const Result&)>;
  // A redirect, on the main thread: the request it leads to (headers and method as the
  // standard's redirect steps leave them) and the reply that led there. Answers the
  // request to send, or nothing to end the load with "Frame load interrupted".
  using RedirectStep = std::function<std::optional<URLRequest>(URLRequest next, const URLResponseRef& redirect)>;
  // More redirects than this end the load with NSURLErrorHTTPTooManyRedirects.
  static constexpr int kMaximumRedirects = 20;

  // `redirected` empty: every redirect is followed as it comes.
  static std::shared_ptr<WebPageLoad> start(const URLRequest& request, std::weak_ptr<void> owner, Completion done,
                                            RedirectStep redirected = {});
  // No report follows.
  void cancel();

  // The request a redirect reply leads to from `request`; nothing when the reply is no
  // redirect (no 301, 302, 303, 307 or 308, or no Location).
  static std::optional<URLRequest> redirectedRequest(const URLRequest& request, const URLResponse& reply);

 private:
  void send(URLRequest request, int redirects);
  void arrived(URLRequest request, int redirects, const std::shared_ptr<Result>& result);

  std::weak_ptr<void> owner_;
  Completion done_;
  RedirectStep redirected_;
  std::shared_ptr<URLSessionDataTask> task_;  // main thread only
  std::atomic<bool> cancelled_{false};
};
