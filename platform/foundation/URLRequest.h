#pragma once
// A URL request in place of the platform's (always the mutable kind): URL, method,
// header fields in the order they were set, body, cache policy and time-out.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/URL.h"
#include "foundation/URLReplyLimits.h"
#include "foundation/Value.h"

class URLRequest {
 public:
  // The platform's request cache policies, by number.
  enum CachePolicy : int {
    UseProtocolCachePolicy = 0,
    ReloadIgnoringLocalCacheData = 1,
    ReturnCacheDataElseLoad = 2,
    ReturnCacheDataDontLoad = 3,
    ReloadIgnoringLocalAndRemoteCacheData = 4,
    ReloadRevalidatingCacheData = 5,
  };
  static constexpr double kDefaultTimeout = 60;

  URLRequest() = default;
  explicit URLRequest(std::optional<URL> url) : url_(std::move(url)) {}
  URLRequest(std::optional<URL> url, int cachePolicy, double timeoutInterval)
      : url_(std::move(url)), cachePolicy_(cachePolicy), timeout_(timeoutInterval), timeoutSet_(true) {}

  const std::optional<URL>& url() const { return url_; }
  void setURL(std::optional<URL> url) { url_ = std::move(url); }
  const std::string& HTTPMethod() const { return method_; }
  void setHTTPMethod(std::string method) { method_ = std::move(method); }
  int cachePolicy() const { return cachePolicy_; }
  void setCachePolicy(int policy) { cachePolicy_ = policy; }
  // Seconds the transfer may stay idle before it fails with a time-out.
  double timeoutInterval() const { return timeout_; }
  void setTimeoutInterval(double seconds) {
    timeout_ = seconds;
    timeoutSet_ = true;
  }
  // False while the time-out is the default, which the session's configuration
  // then replaces with its own request time-out.
  bool hasExplicitTimeout() const { return timeoutSet_; }
  // What the reply may cost (URLReplyLimits.h); what is left at 0 the session fills in.
  // A reply past its ceiling ends with NSURLErrorDataLengthExceedsMaximum as soon as it
  // is known to be larger; one past its deadline or below its rate with NSURLErrorTimedOut.
  const URLReplyLimits& replyLimits() const { return limits_; }
  void setReplyLimits(const URLReplyLimits& limits) { limits_ = limits; }
  // The most body bytes the reply may bring (0: the session's ceiling).
  int64_t maximumBodyLength() const { return limits_.maximumBodyLength; }
  void setMaximumBodyLength(int64_t bytes) { limits_.maximumBodyLength = bytes > 0 ? bytes : 0; }
  const Data& HTTPBody() const { return body_; }
  void setHTTPBody(Data body) { body_ = std::move(body); }

  // Header names compare case-blind. Setting nothing removes the field.
  std::optional<std::string> valueForHTTPHeaderField(const std::string& field) const;
  void setValue(std::optional<std::string> value, const std::string& field);
  // Appends to an existing field with ",", as the platform does.
  void addValue(const std::string& value, const std::string& field);
  const std::vector<std::pair<std::string, std::string>>& allHTTPHeaderFields() const { return headers_; }

 private:
  std::optional<URL> url_;
  std::string method_ = "GET";
  int cachePolicy_ = UseProtocolCachePolicy;
  double timeout_ = kDefaultTimeout;
  bool timeoutSet_ = false;
  URLReplyLimits limits_;
  Data body_;
  std::vector<std::pair<std::string, std::string>> headers_;
};

// Case-blind ASCII comparison of header names.
bool headerNameEquals(const std::string& a, const std::string& b);
