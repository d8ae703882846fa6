#include "package/WebViewViewController.h"

#include "core/NSURLRequestKorvaleExtensions.h"
#include "foundation/Bundle.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/URL.h"
#include "foundation/WeakSelf.h"
#include "interface/KVRequestFailureView.h"
#include "uikit/UIApplication.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIDevice.h"
#include "uikit/UIProgressView.h"
#include "webkit/WKWebView.h"

WebViewViewController::WebViewViewController(KVScreenContext context, std::string websiteURL, std::string viewTitle,
                                             bool isPresented)
    : context_(std::move(context)),
      websiteURL_(std::move(websiteURL)),
      viewTitle_(std::move(viewTitle)),
      isPresented_(isPresented) {}

WebViewViewController::~WebViewViewController() {
  progressObservation_.invalidate();
  if (webView_) {
    webView_->setNavigationDelegate(nullptr);
    webView_->setUIDelegate(nullptr);
  }
}

std::string WebViewViewController::applicationNameForUserAgent(bool dark) {
  const UIDevice& device = UIDevice::currentDevice();
  return LocalizedStrings::fillPlaceholders("(Quillbark/%@, like Cydia) (%@; %@/%@) %@",
                                            {Bundle::main().shortVersion(), device.model(), device.systemName(),
                                             device.systemVersion(), dark ? "Dark" : "Light"});
}

void WebViewViewController::loadView() {
  KVPalettedViewController::loadView();
  auto progress = std::make_shared<UIProgressView>(UIProgressViewStyleDefault);
  progress->setFrame(CGRect::make(0, 0, view()->bounds().width(), 2));
  view()->addSubview(progress);
  progressView_ = progress.get();
}

void WebViewViewController::viewDidLoad() {
  navigationItem().setTitle(viewTitle_);
  setTitle(viewTitle_);
  firstAppear_ = true;
  if (isPresented_) {
    navigationItem().setLeftBarButtonItem(UIBarButtonItem::itemWithTitle(
        NSLocalizedString("Close"), UIBarButtonItemStylePlain, [this](UIBarButtonItem&) { dismissVC(); }));
  }
  navigationItem().setRightBarButtonItem(UIBarButtonItem::itemWithTitle(
      NSLocalizedString("Open in Safari"), UIBarButtonItemStylePlain, [this](UIBarButtonItem&) { openInSafari(); }));
  KVPalettedViewController::viewDidLoad();
}

CGRect WebViewViewController::belowProgress() {
  CGRect bounds = view()->bounds();
  double top = progressView_->frame().maxY();
  return CGRect::make(0, top, bounds.width(), bounds.height() - progressView_->frame().height());
}

// The web view is made once, on the first appearance: a cancelled back swipe brings the
// browser back with its page.
void WebViewViewController::viewDidAppear(bool animated) {
  KVPalettedViewController::viewDidAppear(animated);
  if (!firstAppear_) return;
  firstAppear_ = false;
  WKWebViewConfiguration configuration;
  configuration.applicationNameForUserAgent = applicationNameForUserAgent(isDarkMode());
  webView_ = std::make_shared<WKWebView>(belowProgress(), configuration);
  webView_->setNavigationDelegate(this);
  webView_->setUIDelegate(this);
  lastRequest_ = NSURLRequestKorvaleExtensions::requestWithURL(URL::fromString(websiteURL_));
  webView_->loadRequest(*lastRequest_);
  view()->addSubview(webView_);
  failureView_ = std::make_shared<KVRequestFailureView>(belowProgress());
  view()->addSubview(failureView_);
  progressObservation_ = webView_->addObserver(WKWebView::ObservedKey::EstimatedProgress, [this] { progressChanged(); });
}

void WebViewViewController::progressChanged() {
  double progress = webView_->estimatedProgress();
  progressView_->setAlpha(1);
  webView_->setFrame(belowProgress());
  progressView_->setProgress(static_cast<float>(progress), true);
  if (progress < 1.0) return;
  auto weak = weakSelf(this);
  UIView::animateWithDuration(
      0.3, 0.3, UIViewAnimationOptionCurveEaseOut,
      [weak] {
        auto self = weak.lock();
        if (!self) return;
        self->progressView_->setAlpha(0);
        self->webView_->setFrame(self->view()->bounds());
      },
      [weak](bool) {
        if (auto self = weak.lock()) self->progressView_->setProgress(0, false);
      });
}

void WebViewViewController::openInSafari() {
  // The system's browser, outside the application.
  UIApplication::sharedApplication().openURL(websiteURL_);
}

void WebViewViewController::dismissVC() { dismissViewControllerAnimated(true); }

void WebViewViewController::decidePolicyForNavigationAction(WKWebView&, const WKNavigationAction& action,
                                                             std::function<void(WKNavigationActionPolicy)> decisionHandler) {
  lastRequest_ = action.request;
  decisionHandler(WKNavigationActionPolicyAllow);
}

void WebViewViewController::didFinishNavigation(WKWebView&, const WKNavigation*) {
  UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
  if (failureView_) failureView_->hide();
}

void WebViewViewController::didFailProvisionalNavigation(WKWebView&, const WKNavigation*, ErrorRef error) {
  pageFailed(error);
}

void WebViewViewController::didFailNavigation(WKWebView&, const WKNavigation*, ErrorRef error) { pageFailed(error); }

// A page that could not be loaded says why where it would be, and loads again on a tap.
void WebViewViewController::pageFailed(const ErrorRef& error) {
  UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
  if (!failureView_ || (error && error->domain == NSURLErrorDomain && error->code == NSURLErrorCancelled)) return;
  std::string reason = error ? error->localizedDescription() : NSLocalizedString("Unknown error");
  failureView_->showFailure(NSLocalizedFormat("The page could not be opened: %@", {reason}), [this] {
    if (lastRequest_) webView_->loadRequest(*lastRequest_);
  });
}

std::shared_ptr<WKWebView> WebViewViewController::loadNewWindowInPlace(WKWebView& webView,
                                                                       const WKNavigationAction& action) {
  if (!action.targetFrame || !action.targetFrame->isMainFrame) {
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(true);
    webView.loadRequest(action.request);
  }
  return nullptr;
}

// A link that wants a new window opens in this one.
std::shared_ptr<WKWebView> WebViewViewController::createWebViewWithConfiguration(WKWebView& webView,
                                                                                 const WKWebViewConfiguration&,
                                                                                 const WKNavigationAction& action) {
  return loadNewWindowInPlace(webView, action);
}
