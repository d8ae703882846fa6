#include "webkit/WebPageLoad.h"

#include "foundation/RunLoop.h"
#include "foundation/URLSession.h"
#include "foundation/URLSessionErrors.h"

namespace {
// The web views' own session: the process's cookies and cache, every redirect handed
// back to the load that sent the request.
const std::shared_ptr<URLSession>& webSession() {
  static const auto* session = [] {
    URLSessionConfiguration configuration = URLSessionConfiguration::defaultSessionConfiguration();
    configuration.HTTPShouldFollowRedirects = false;
    return new std::shared_ptr<URLSession>(URLSession::sessionWithConfiguration(configuration));
  }();
  return *session;
}

ErrorRef interrupted() {
  return std::make_shared<Error>("WebKitErrorDomain", 102, Value::dict({{NSLocalizedDescriptionKey, "Frame load interrupted"}}));
}
}  // namespace

std::shared_ptr<WebPageLoad> WebPageLoad::start(const URLRequest& request, std::weak_ptr<void> owner, Completion done,
                                                RedirectStep redirected) {
  auto load = std::make_shared<WebPageLoad>();
  load->owner_ = std::move(owner);
  load->done_ = std::move(done);
  load->redirected_ = std::move(redirected);
  load->send(request, 0);
  return load;
}

std::optional<URLRequest> WebPageLoad::redirectedRequest(const URLRequest& request, const URLResponse& reply) {
  int status = reply.statusCode();
  if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308) return std::nullopt;
  auto location = reply.valueForHTTPHeaderField("Location");
  if (!location || !request.url()) return std::nullopt;
  auto target = URL::fromString(*location, *request.url());
  if (!target) return std::nullopt;
  URLRequest next = request;
  next.setURL(target);
  // A 303, and a 301 or 302 after a POST, become a GET without the body (the fetch
  // standard's redirect steps); 307 and 308 keep both.
  if (status == 303 ? request.HTTPMethod() != "HEAD" : (status <= 302 && request.HTTPMethod() == "POST")) {
    next.setHTTPMethod("GET");
    next.setHTTPBody({});
    for (const char* field : {"Content-Type", "Content-Length", "Content-Encoding", "Content-Language", "Content-Location"})
      next.setValue(std::nullopt, field);
  }
  return next;
}

void WebPageLoad::send(URLRequest request, int redirects) {
  // A page is read whole: it costs what a page may, unless the caller said otherwise.
  if (!request.replyLimits().kind) request.setReplyLimits(URLReplyKinds::kWebPage);
  std::weak_ptr<WebPageLoad> weakLoad = shared_from_this();
  task_ = webSession()->dataTaskWithRequest(
      request, [weakLoad, request, redirects](std::optional<Data> body, URLResponseRef response, ErrorRef error) {
        auto result = std::make_shared<Result>(Result{std::move(body), std::move(response), std::move(error), request});
        RunLoop::main().post([weakLoad, request, redirects, result] {
          if (auto load = weakLoad.lock()) load->arrived(request, redirects, result);
        });
      });
  task_->resume();
}

void WebPageLoad::arrived(URLRequest request, int redirects, const std::shared_ptr<Result>& result) {
  if (cancelled_ || owner_.expired()) return;
  auto finish = [this](const Result& outcome) {
    cancelled_ = true;  // reported once
    task_.reset();
    done_(outcome);
  };
  std::optional<URLRequest> next;
  if (!result->error && result->response) next = redirectedRequest(request, *result->response);
  if (!next) return finish(*result);
  if (redirects >= kMaximumRedirects)
    return finish({std::nullopt, result->response, URLSessionErrors::make(NSURLErrorHTTPTooManyRedirects, {}, request), request});
  if (redirected_) {
    next = redirected_(std::move(*next), result->response);
    if (cancelled_ || owner_.expired()) return;  // the step ended the load itself
    if (!next) return finish({std::nullopt, result->response, interrupted(), request});
  }
  send(std::move(*next), redirects + 1);
}

void WebPageLoad::cancel() {
  if (cancelled_.exchange(true)) return;
  if (task_) task_->cancel();
}
