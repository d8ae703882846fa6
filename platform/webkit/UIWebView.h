#pragma once
// The older web view kind, as the video player and the outside store's account pages
// use it: its delegate decides every navigation (a link, a form, a redirect, a move in
// the history; it may change the request before it is sent), hears when a page starts,
// finishes (once the page's resources have loaded too) or fails, and the screen reads
// the page's script answers synchronously, from the table of script answers. Every
// request the view sends passes the per-resource hook (`webThreadWebView`), which a
// subclass overrides. Pages load with the process's cookies like a WKWebView's. Every
// call belongs on the main thread.
#include <optional>
#include <string>

#include "foundation/Error.h"
#include "webkit/WebContentView.h"

class UIWebView;

enum UIWebViewNavigationType : long {
  UIWebViewNavigationTypeLinkClicked = 0,
  UIWebViewNavigationTypeFormSubmitted = 1,
  UIWebViewNavigationTypeBackForward = 2,
  UIWebViewNavigationTypeReload = 3,
  UIWebViewNavigationTypeFormResubmitted = 4,
  UIWebViewNavigationTypeOther = 5,
};

class UIWebViewDelegate {
 public:
  virtual ~UIWebViewDelegate() = default;
  // Answer false to keep the request from loading; the request may be changed.
  virtual bool webViewShouldStartLoadWithRequest(UIWebView&, URLRequest& /*request*/, UIWebViewNavigationType) {
    return true;
  }
  virtual void webViewDidStartLoad(UIWebView&) {}
  virtual void webViewDidFinishLoad(UIWebView&) {}
  virtual void webViewDidFailLoadWithError(UIWebView&, ErrorRef) {}
};

class UIWebView : public WebContentView {
 public:
  explicit UIWebView(CGRect frame = {});
  ~UIWebView() override;

  UIWebViewDelegate* delegate() const { return delegate_; }
  void setDelegate(UIWebViewDelegate* delegate) { delegate_ = delegate; }

  virtual void loadRequest(const URLRequest& request);
  void loadHTMLString(const std::string& html, const std::optional<URL>& baseURL);
  // The request of the page shown (or loading).
  const std::optional<URLRequest>& request() const { return request_; }
  void reload();
  void goBack();
  void goForward();
  void stopLoading();
  // The answer of the script table, or "" for a script it does not hold (as a script
  // that answers nothing would).
  std::string stringByEvaluatingJavaScriptFromString(const std::string& script);

  bool allowsInlineMediaPlayback() const { return inlineMedia_; }
  void setAllowsInlineMediaPlayback(bool value) { inlineMedia_ = value; }
  bool mediaPlaybackRequiresUserAction() const { return mediaNeedsAction_; }
  void setMediaPlaybackRequiresUserAction(bool value) { mediaNeedsAction_ = value; }
  bool isOpaque() const { return opaque_; }
  void setOpaque(bool value) { opaque_ = value; }

  // What the page's own script does: it sends the page to a request (the video
  // player's page reports its events this way).
  void navigateByPage(const URLRequest& request, UIWebViewNavigationType type = UIWebViewNavigationTypeOther);

  // The per-resource hook: every request the view sends (the page, each redirect with the
  // reply that led to it, each form submission, each resource of the page; `resource`
  // counts them) is replaced by the answer before it goes. The request handed in is the
  // unchangeable kind; the default sends it as it is.
  virtual URLRequest webThreadWebView(uint64_t resource, const URLRequest& request,
                                      const URLResponseRef& redirectResponse);

 protected:
  void linkActivated(const URLRequest& request, bool newWindow) override;
  void formSubmitted(const URLRequest& request) override;
  URLRequest willSendRequest(const URLRequest& request, const URLResponseRef& redirectResponse,
                             bool subresource) override;
  // A redirect is a navigation the delegate decides like any other.
  bool shouldFollowRedirect(URLRequest& next, const URLResponseRef& redirect) override;

 private:
  void navigate(URLRequest request, UIWebViewNavigationType type, HistoryMode mode, long offset,
                std::optional<std::string> html = std::nullopt);
  void begin(URLRequest request, UIWebViewNavigationType type, HistoryMode mode, long offset,
             std::optional<std::string> html);
  void failLoad(ErrorRef error);

  UIWebViewDelegate* delegate_ = nullptr;
  std::optional<URLRequest> request_;
  bool inlineMedia_ = false, mediaNeedsAction_ = true, opaque_ = true;
  uint64_t generation_ = 0;
  uint64_t nextResource_ = 1;
};
