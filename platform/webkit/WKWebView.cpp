#include "webkit/WKWebView.h"

#include "foundation/RunLoop.h"
#include "foundation/URLSessionErrors.h"

// A navigation from its action to its page or its failure.
struct WKWebView::Pending {
  WKNavigationAction action;
  std::shared_ptr<WKNavigation> navigation;
  HistoryMode mode = HistoryMode::Push;
  long offset = 0;
  std::optional<std::string> html;  // a page given as text
};

namespace {
// Runs `body` with the web view if it still exists.
template <typename Body>
auto withView(std::weak_ptr<UIView> self, Body body) {
  return [self, body](auto&&... args) {
    if (auto view = self.lock()) body(static_cast<WKWebView&>(*view), std::forward<decltype(args)>(args)...);
  };
}
}  // namespace

WKWebView::WKWebView(CGRect frame, WKWebViewConfiguration configuration)
    : WebContentView(frame), configuration_(std::move(configuration)) {}

WKWebView::~WKWebView() = default;

std::string WKWebView::userAgent() const {
  if (customUserAgent_) return *customUserAgent_;
  std::string agent = platformUserAgent();
  if (!configuration_.applicationNameForUserAgent.empty()) agent += " " + configuration_.applicationNameForUserAgent;
  return agent;
}

std::shared_ptr<WKNavigation> WKWebView::loadRequest(const URLRequest& request) {
  UI_MAIN_THREAD_ONLY();
  return navigate({request, WKNavigationTypeOther, WKFrameInfo{}, WKFrameInfo{}}, HistoryMode::Push, 0);
}

std::shared_ptr<WKNavigation> WKWebView::loadHTMLString(const std::string& html, const std::optional<URL>& baseURL) {
  UI_MAIN_THREAD_ONLY();
  URLRequest request(baseURL ? baseURL : URL::fromString("about:blank"));
  return navigate({request, WKNavigationTypeOther, WKFrameInfo{}, WKFrameInfo{}}, HistoryMode::Push, 0, html);
}

std::shared_ptr<WKNavigation> WKWebView::reload() {
  UI_MAIN_THREAD_ONLY();
  auto current = historyEntry(0);
  if (!current) return nullptr;
  return navigate({*current, WKNavigationTypeReload, WKFrameInfo{}, WKFrameInfo{}}, HistoryMode::Replace, 0);
}

std::shared_ptr<WKNavigation> WKWebView::goBack() {
  UI_MAIN_THREAD_ONLY();
  auto entry = historyEntry(-1);
  if (!entry) return nullptr;
  return navigate({*entry, WKNavigationTypeBackForward, WKFrameInfo{}, WKFrameInfo{}}, HistoryMode::Move, -1);
}

std::shared_ptr<WKNavigation> WKWebView::goForward() {
  UI_MAIN_THREAD_ONLY();
  auto entry = historyEntry(1);
  if (!entry) return nullptr;
  return navigate({*entry, WKNavigationTypeBackForward, WKFrameInfo{}, WKFrameInfo{}}, HistoryMode::Move, 1);
}

void WKWebView::linkActivated(const URLRequest& request, bool newWindow) {
  std::optional<WKFrameInfo> target;
  if (!newWindow) target = WKFrameInfo{};
  navigate({request, WKNavigationTypeLinkActivated, target, WKFrameInfo{}}, HistoryMode::Push, 0);
}

void WKWebView::formSubmitted(const URLRequest& request) {
  navigate({request, WKNavigationTypeFormSubmitted, WKFrameInfo{}, WKFrameInfo{}}, HistoryMode::Push, 0);
}

void WKWebView::navigateByPage(const URLRequest& request, bool newWindow) {
  UI_MAIN_THREAD_ONLY();
  std::optional<WKFrameInfo> target;
  if (!newWindow) target = WKFrameInfo{};
  navigate({request, WKNavigationTypeOther, target, WKFrameInfo{}}, HistoryMode::Push, 0);
}

// Navigations start on the next turn, as the platform's do: the caller holds the
// navigation before any delegate hears of it.
std::shared_ptr<WKNavigation> WKWebView::navigate(WKNavigationAction action, HistoryMode mode, long offset,
                                                  std::optional<std::string> html) {
  auto pending = std::make_shared<Pending>();
  pending->action = std::move(action);
  pending->navigation = std::make_shared<WKNavigation>(WKNavigation{nextNavigation_++});
  pending->mode = mode;
  pending->offset = offset;
  pending->html = std::move(html);
  RunLoop::main().post(withView(weak_from_this(), [pending](WKWebView& web) { web.decideAction(pending); }));
  return pending->navigation;
}

void WKWebView::decideAction(const std::shared_ptr<Pending>& pending) {
  auto answered = std::make_shared<bool>(false);
  auto handler = withView(weak_from_this(), [pending, answered](WKWebView& web, WKNavigationActionPolicy policy) {
    if (*answered) return;
    *answered = true;
    if (policy != WKNavigationActionPolicyAllow) return;
    if (!pending->action.targetFrame) {
      // A new window: only a web view the screen makes for it loads the request.
      if (web.uiDelegate_)
        if (auto other = web.uiDelegate_->createWebViewWithConfiguration(web, web.configuration_, pending->action))
          other->loadRequest(pending->action.request);
      return;
    }
    web.begin(pending);
  });
  if (navigationDelegate_) navigationDelegate_->decidePolicyForNavigationAction(*this, pending->action, handler);
  else handler(WKNavigationActionPolicyAllow);
}

void WKWebView::begin(const std::shared_ptr<Pending>& pending) {
  if (current_) stopLoading();
  current_ = pending;
  setProgress(0.1);
  setLoading(true);
  if (navigationDelegate_) navigationDelegate_->didStartProvisionalNavigation(*this, pending->navigation.get());
  if (current_ != pending) return;
  const auto& url = pending->action.request.url();
  if (pending->html || (url && url->absoluteString() == "about:blank"))
    return commit(pending, WebPage::fromHTML(pending->html.value_or(""), pending->html ? url : std::nullopt));
  if (!url || !url->isHTTP())
    return fail(pending, URLSessionErrors::make(NSURLErrorUnsupportedURL, {}, pending->action.request));
  URLRequest request = pending->action.request;
  if (!request.valueForHTTPHeaderField("User-Agent")) request.setValue(userAgent(), "User-Agent");
  fetch(request, withView(weak_from_this(), [pending](WKWebView& web, const WebPageLoad::Result& result) {
          web.replyArrived(pending, result);
        }));
}

void WKWebView::replyArrived(const std::shared_ptr<Pending>& pending, const WebPageLoad::Result& result) {
  if (current_ != pending) return;
  if (result.error || !result.response) return fail(pending, result.error);
  setProgress(0.5);
  WKNavigationResponse response{result.response, true, true};
  const std::string& type = result.response->MIMEType();
  response.canShowMIMEType = type.empty() || type.rfind("text/", 0) == 0 || type == "application/xhtml+xml";
  Data body = result.body.value_or(Data{});
  auto answered = std::make_shared<bool>(false);
  auto handler = withView(weak_from_this(), [pending, answered, body, reply = result.response](
                                                WKWebView& web, WKNavigationResponsePolicy policy) {
    if (*answered || web.current_ != pending) return;
    *answered = true;
    if (policy == WKNavigationResponsePolicyAllow) return web.commit(pending, WebPage::fromReply(body, reply));
    web.fail(pending, std::make_shared<Error>("WebKitErrorDomain", 102,
                                              Value::dict({{NSLocalizedDescriptionKey, "Frame load interrupted"}})));
  });
  if (navigationDelegate_) navigationDelegate_->decidePolicyForNavigationResponse(*this, response, handler);
  else handler(WKNavigationResponsePolicyAllow);
}

void WKWebView::commit(const std::shared_ptr<Pending>& pending, WebPage page) {
  std::string oldTitle = title();
  std::optional<URL> oldURL = url();
  bool back = canGoBack(), forward = canGoForward();
  current_.reset();
  showPage(std::move(page), pending->action.request, pending->mode, pending->offset);
  if (navigationDelegate_) navigationDelegate_->didCommitNavigation(*this, pending->navigation.get());
  if (title() != oldTitle) notify(ObservedKey::Title);
  if (!(url() == oldURL)) notify(ObservedKey::URL);
  if (canGoBack() != back) notify(ObservedKey::CanGoBack);
  if (canGoForward() != forward) notify(ObservedKey::CanGoForward);
  setProgress(1.0);
  setLoading(false);
  if (navigationDelegate_) navigationDelegate_->didFinishNavigation(*this, pending->navigation.get());
}

void WKWebView::fail(const std::shared_ptr<Pending>& pending, ErrorRef error) {
  if (current_ == pending) current_.reset();
  cancelFetch();
  setProgress(1.0);
  setLoading(false);
  if (!error) error = URLSessionErrors::make(NSURLErrorBadServerResponse, {}, pending->action.request);
  if (navigationDelegate_) navigationDelegate_->didFailProvisionalNavigation(*this, pending->navigation.get(), error);
}

void WKWebView::stopLoading() {
  UI_MAIN_THREAD_ONLY();
  if (!current_) return;
  auto pending = current_;
  fail(pending, URLSessionErrors::make(NSURLErrorCancelled, {}, pending->action.request));
}

void WKWebView::evaluateJavaScript(const std::string& script, std::function<void(Value, ErrorRef)> completion) {
  UI_MAIN_THREAD_ONLY();
  auto answer = answerScript(script);
  if (!completion) return;
  RunLoop::main().post([answer, completion] { completion(answer ? Value(*answer) : Value(), nullptr); });
}

NotificationToken WKWebView::addObserver(ObservedKey key, std::function<void()> observer) {
  return observers_.add([key, observer = std::move(observer)](ObservedKey changed) {
    if (changed == key) observer();
  });
}

void WKWebView::notify(ObservedKey key) { observers_.notify(key); }
