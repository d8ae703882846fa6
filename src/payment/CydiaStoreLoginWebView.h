#pragma once
// The web view of the outside store's account pages: every request it sends (the first
// page, each redirect, each form it sends and each resource of a page) carries the
// device's headers and the store's fixed browser name.
#include "webkit/UIWebView.h"

class CydiaStoreLoginWebView : public UIWebView {
 public:
  static constexpr const char* kUserAgent =
      "Mozilla/5.0 (iPhone; CPU iPhone OS 10_3_3 like Mac OS X) AppleWebKit/603.3.8 (KHTML, like Gecko) "
      "Version/10.0 Mobile/14G60 Safari/602.1";

  using UIWebView::UIWebView;

  // The request with "User-Agent", "X-Machine", "X-Firmware" and "X-Unique-ID" set: a
  // changeable request is changed and handed back itself, an unchangeable one is copied
  // into a changeable request that carries them.
  static URLRequest& requestWithRequredFiledsInRequest(URLRequest& request);
  static URLRequest requestWithRequredFiledsInRequest(const URLRequest& request);

  void loadRequest(const URLRequest& request) override;
  URLRequest webThreadWebView(uint64_t resource, const URLRequest& request,
                              const URLResponseRef& redirectResponse) override;
};
