#pragma once
// How a WKWebView is made; read once, when it is created.
#include <string>

struct WKWebViewConfiguration {
  // Appended to the web view's own user agent, as the platform does.
  std::string applicationNameForUserAgent;
  bool allowsInlineMediaPlayback = false;
  bool requiresUserActionForMediaPlayback = true;
};
