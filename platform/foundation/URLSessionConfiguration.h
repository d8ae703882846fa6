#pragma once
// How a URL session behaves: cache, cookies, time-outs and extra header fields, in
// place of the platform's session configuration.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "foundation/URLCache.h"
#include "foundation/URLReplyLimits.h"
#include "foundation/URLRequest.h"

// Cookies kept for the sessions that share it, in memory only.
class URLCookieJar;

struct URLSessionConfiguration {
  // The process-wide cache and cookies; nothing is kept on disk in this system.
  static URLSessionConfiguration defaultSessionConfiguration();
  // A cache and cookies of the session's own, gone with it.
  static URLSessionConfiguration ephemeralSessionConfiguration();

  bool ephemeral = false;
  int requestCachePolicy = URLRequest::UseProtocolCachePolicy;
  // The idle time-out of requests that kept the default one.
  double timeoutIntervalForRequest = 60;
  // The longest a whole transfer may take.
  double timeoutIntervalForResource = 7 * 24 * 3600;
  // What a reply may cost where its request sets no limit of its own: every reply has a
  // ceiling, a deadline and a minimum rate.
  URLReplyLimits replyLimits = URLReplyKinds::kAnyReply;
  std::shared_ptr<URLCache> urlCache;          // none: nothing is cached or answered from a cache
  std::shared_ptr<URLCookieJar> cookieJar;     // none: no cookies are kept
  bool HTTPShouldSetCookies = true;
  // When false a redirect reply is the task's answer (the Location header tells where
  // it leads), for a caller that follows addresses of its own.
  bool HTTPShouldFollowRedirects = true;
  // Sent with every request that does not set the same field itself.
  std::vector<std::pair<std::string, std::string>> HTTPAdditionalHeaders;
};
