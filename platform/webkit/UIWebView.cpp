#include "webkit/UIWebView.h"

#include "foundation/RunLoop.h"
#include "foundation/URLSessionErrors.h"

UIWebView::UIWebView(CGRect frame) : WebContentView(frame) {}
UIWebView::~UIWebView() = default;

void UIWebView::loadRequest(const URLRequest& request) {
  UI_MAIN_THREAD_ONLY();
  navigate(request, UIWebViewNavigationTypeOther, HistoryMode::Push, 0);
}

void UIWebView::loadHTMLString(const std::string& html, const std::optional<URL>& baseURL) {
  UI_MAIN_THREAD_ONLY();
  navigate(URLRequest(baseURL ? baseURL : URL::fromString("about:blank")), UIWebViewNavigationTypeOther,
           HistoryMode::Push, 0, html);
}

void UIWebView::reload() {
  UI_MAIN_THREAD_ONLY();
  if (auto current = historyEntry(0)) navigate(*current, UIWebViewNavigationTypeReload, HistoryMode::Replace, 0);
}

void UIWebView::goBack() {
  UI_MAIN_THREAD_ONLY();
  if (auto entry = historyEntry(-1)) navigate(*entry, UIWebViewNavigationTypeBackForward, HistoryMode::Move, -1);
}

void UIWebView::goForward() {
  UI_MAIN_THREAD_ONLY();
  if (auto entry = historyEntry(1)) navigate(*entry, UIWebViewNavigationTypeBackForward, HistoryMode::Move, 1);
}

void UIWebView::linkActivated(const URLRequest& request, bool) {
  navigate(request, UIWebViewNavigationTypeLinkClicked, HistoryMode::Push, 0);
}

void UIWebView::formSubmitted(const URLRequest& request) {
  navigate(request, UIWebViewNavigationTypeFormSubmitted, HistoryMode::Push, 0);
}

URLRequest UIWebView::webThreadWebView(uint64_t, const URLRequest& request, const URLResponseRef&) { return request; }

URLRequest UIWebView::willSendRequest(const URLRequest& request, const URLResponseRef& redirectResponse, bool) {
  return webThreadWebView(nextResource_++, request, redirectResponse);
}

bool UIWebView::shouldFollowRedirect(URLRequest& next, const URLResponseRef&) {
  return !delegate_ || delegate_->webViewShouldStartLoadWithRequest(*this, next, UIWebViewNavigationTypeOther);
}

void UIWebView::navigateByPage(const URLRequest& request, UIWebViewNavigationType type) {
  UI_MAIN_THREAD_ONLY();
  navigate(request, type, HistoryMode::Push, 0);
}

// Loads start on the next turn, as the platform's do.
void UIWebView::navigate(URLRequest request, UIWebViewNavigationType type, HistoryMode mode, long offset,
                         std::optional<std::string> html) {
  std::weak_ptr<UIView> self = weak_from_this();
  RunLoop::main().post([self, request = std::move(request), type, mode, offset, html = std::move(html)]() mutable {
    if (auto view = self.lock()) static_cast<UIWebView&>(*view).begin(std::move(request), type, mode, offset, std::move(html));
  });
}

void UIWebView::begin(URLRequest request, UIWebViewNavigationType type, HistoryMode mode, long offset,
                      std::optional<std::string> html) {
  if (delegate_ && !delegate_->webViewShouldStartLoadWithRequest(*this, request, type)) return;
  const auto& url = request.url();
  bool blank = url && url->absoluteString() == "about:blank";
  if (!html && !blank && (!url || !url->isHTTP())) {
    // Nothing loads; what is shown stays.
    if (delegate_) delegate_->webViewDidFailLoadWithError(*this, URLSessionErrors::make(NSURLErrorUnsupportedURL, {}, request));
    return;
  }
  cancelFetch();
  uint64_t generation = ++generation_;
  request_ = request;
  setProgress(0.1);
  setLoading(true);
  if (delegate_) delegate_->webViewDidStartLoad(*this);
  if (generation != generation_) return;  // the delegate started another load
  // The page is shown as it arrives; it has finished once its resources have loaded.
  auto finish = [this, mode, offset, generation](WebPage page, const URLRequest& shownRequest) {
    showPage(std::move(page), shownRequest, mode, offset);
    if (auto shown = historyEntry(0)) request_ = shown;
    setProgress(0.9);
    loadSubresources([self = weak_from_this(), generation] {
      auto view = self.lock();
      if (!view) return;
      auto& web = static_cast<UIWebView&>(*view);
      if (generation != web.generation_) return;
      web.setProgress(1.0);
      web.setLoading(false);
      if (web.delegate_) web.delegate_->webViewDidFinishLoad(web);
    });
  };
  if (html || blank) return finish(WebPage::fromHTML(html.value_or(""), html ? url : std::nullopt), request);
  std::weak_ptr<UIView> self = weak_from_this();
  fetch(request, [self, generation, finish](const WebPageLoad::Result& result) {
    auto view = self.lock();
    if (!view) return;
    auto& web = static_cast<UIWebView&>(*view);
    if (generation != web.generation_) return;
    if (result.error || !result.response) return web.failLoad(result.error);
    finish(WebPage::fromReply(result.body.value_or(Data{}), result.response), result.request);
  });
}

void UIWebView::failLoad(ErrorRef error) {
  cancelFetch();
  ++generation_;
  setProgress(1.0);
  setLoading(false);
  if (!error && request_) error = URLSessionErrors::make(NSURLErrorBadServerResponse, {}, *request_);
  if (delegate_) delegate_->webViewDidFailLoadWithError(*this, error);
}

void UIWebView::stopLoading() {
  UI_MAIN_THREAD_ONLY();
  if (!isLoading()) return;
  failLoad(URLSessionErrors::make(NSURLErrorCancelled, {}, request_.value_or(URLRequest())));
}

std::string UIWebView::stringByEvaluatingJavaScriptFromString(const std::string& script) {
  UI_MAIN_THREAD_ONLY();
  return answerScript(script).value_or("");
}
