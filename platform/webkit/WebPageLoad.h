#pragma once
// One page fetched for a web view through the process's shared URL session, so that a
// web view and every other request of the system share one cookie store. Its end is
// reported on the main thread, once, unless the load was cancelled or its web view is
// gone by then.
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
  };
  using Completion = std::function<void(const Result&)>;

  static std::shared_ptr<WebPageLoad> start(const URLRequest& request, std::weak_ptr<void> owner, Completion done);
  // No report follows.
  void cancel();

 private:
  std::shared_ptr<URLSessionDataTask> task_;
  std::atomic<bool> cancelled_{false};
};
