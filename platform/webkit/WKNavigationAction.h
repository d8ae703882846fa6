#pragma once
// What a web view asks its navigation delegate about: a navigation about to start
// (action) and a reply about to be shown (response).
#include <cstdint>
#include <optional>

#include "foundation/URLRequest.h"
#include "foundation/URLResponse.h"

enum WKNavigationType : long {
  WKNavigationTypeLinkActivated = 0,
  WKNavigationTypeFormSubmitted = 1,
  WKNavigationTypeBackForward = 2,
  WKNavigationTypeReload = 3,
  WKNavigationTypeFormResubmitted = 4,
  WKNavigationTypeOther = -1,
};

enum WKNavigationActionPolicy : long { WKNavigationActionPolicyCancel = 0, WKNavigationActionPolicyAllow = 1 };
enum WKNavigationResponsePolicy : long { WKNavigationResponsePolicyCancel = 0, WKNavigationResponsePolicyAllow = 1 };

struct WKFrameInfo {
  bool isMainFrame = true;
};

struct WKNavigationAction {
  URLRequest request;
  WKNavigationType navigationType = WKNavigationTypeOther;
  // Nothing for a navigation that wants a new window (a link with a blank target).
  std::optional<WKFrameInfo> targetFrame = WKFrameInfo{};
  WKFrameInfo sourceFrame;
};

struct WKNavigationResponse {
  URLResponseRef response;
  bool isForMainFrame = true;
  bool canShowMIMEType = true;
};

// One navigation, told apart from the others by its identity.
struct WKNavigation {
  uint64_t identifier = 0;
};
