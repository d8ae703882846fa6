#pragma once
// What a WKWebView asks of the screen that shows it.
#include <memory>

#include "webkit/WKNavigationAction.h"
#include "webkit/WKWebViewConfiguration.h"

class WKWebView;

class WKUIDelegate {
 public:
  virtual ~WKUIDelegate() = default;
  // A navigation wants a new window; answer a new web view to load it in, or nothing
  // to drop it.
  virtual std::shared_ptr<WKWebView> createWebViewWithConfiguration(WKWebView&, const WKWebViewConfiguration&,
                                                                   const WKNavigationAction&) {
    return nullptr;
  }
};
