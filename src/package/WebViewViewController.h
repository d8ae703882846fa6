#pragma once
// The in-app browser: one web page with a progress bar, "Open in Safari" and, when it is
// presented in a navigation controller of its own, "Close". The page is loaded through
// the request factory (the application's user agent and the device's identifier) the
// first time the browser appears; later appearances keep the page. Links that ask for a
// new window open in the same web view.
#include <memory>
#include <optional>
#include <string>

#include "foundation/NotificationToken.h"
#include "foundation/URLRequest.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "webkit/WKNavigationDelegate.h"
#include "webkit/WKUIDelegate.h"

class KVRequestFailureView;
class UIProgressView;
class WKWebView;

class WebViewViewController : public KVPalettedViewController, public WKNavigationDelegate, public WKUIDelegate {
 public:
  WebViewViewController(KVScreenContext context, std::string websiteURL, std::string viewTitle, bool isPresented);
  ~WebViewViewController() override;

  const std::string& websiteURL() const { return websiteURL_; }
  const std::string& viewTitle() const { return viewTitle_; }
  bool isPresented() const { return isPresented_; }
  bool firstAppear() const { return firstAppear_; }
  WKWebView* webView() const { return webView_.get(); }
  UIProgressView* progressView() const { return progressView_; }

  // What web views of the application add to their user agent: "(Quillbark/<version>,
  // like Cydia) (<model>; <system>/<version>) Dark" or "... Light".
  static std::string applicationNameForUserAgent(bool dark);
  // A navigation that wants a new window loads in `webView` itself, the network activity
  // indicator on until a navigation finishes; no second web view is made (answers none).
  static std::shared_ptr<WKWebView> loadNewWindowInPlace(WKWebView& webView, const WKNavigationAction& action);

  void loadView() override;
  void viewDidLoad() override;
  void viewDidAppear(bool animated) override;
  void openInSafari();
  void dismissVC();

  void decidePolicyForNavigationAction(WKWebView&, const WKNavigationAction&,
                                       std::function<void(WKNavigationActionPolicy)> decisionHandler) override;
  void didFinishNavigation(WKWebView&, const WKNavigation*) override;
  void didFailProvisionalNavigation(WKWebView&, const WKNavigation*, ErrorRef error) override;
  void didFailNavigation(WKWebView&, const WKNavigation*, ErrorRef error) override;
  // Why the page could not be loaded, and "Try Again"; hidden while there is no failure.
  KVRequestFailureView* failureView() const { return failureView_.get(); }
  std::shared_ptr<WKWebView> createWebViewWithConfiguration(WKWebView& webView, const WKWebViewConfiguration&,
                                                           const WKNavigationAction& action) override;

 private:
  void progressChanged();
  void pageFailed(const ErrorRef& error);
  CGRect belowProgress();

  KVScreenContext context_;
  std::string websiteURL_;
  std::string viewTitle_;
  bool isPresented_ = false;
  bool firstAppear_ = true;
  UIProgressView* progressView_ = nullptr;
  std::shared_ptr<WKWebView> webView_;
  NotificationToken progressObservation_;
  std::shared_ptr<KVRequestFailureView> failureView_;
  // The page asked for last: loaded again when its load failed.
  std::optional<URLRequest> lastRequest_;
};
