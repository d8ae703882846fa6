#pragma once
// What a WKWebView tells and asks about its navigations, on the main thread. A decision
// handler must be called once; until it is, the navigation waits.
#include <functional>

#include "foundation/Error.h"
#include "webkit/WKNavigationAction.h"

class WKWebView;

class WKNavigationDelegate {
 public:
  virtual ~WKNavigationDelegate() = default;
  virtual void decidePolicyForNavigationAction(WKWebView&, const WKNavigationAction&,
                                               std::function<void(WKNavigationActionPolicy)> decisionHandler) {
    decisionHandler(WKNavigationActionPolicyAllow);
  }
  virtual void decidePolicyForNavigationResponse(WKWebView&, const WKNavigationResponse&,
                                                 std::function<void(WKNavigationResponsePolicy)> decisionHandler) {
    decisionHandler(WKNavigationResponsePolicyAllow);
  }
  virtual void didStartProvisionalNavigation(WKWebView&, const WKNavigation*) {}
  virtual void didCommitNavigation(WKWebView&, const WKNavigation*) {}
  virtual void didFinishNavigation(WKWebView&, const WKNavigation*) {}
  // The page could not be loaded at all (no reply, a refused URL, a cancelled reply).
  virtual void didFailProvisionalNavigation(WKWebView&, const WKNavigation*, ErrorRef) {}
  virtual void didFailNavigation(WKWebView&, const WKNavigation*, ErrorRef) {}
};
