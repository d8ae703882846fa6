#pragma once
// The reply to an HTTP request in place of the platform's HTTP URL response: the
// final URL after redirects, the status, the header fields and what they imply.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/URL.h"
#include "foundation/Value.h"

class URLResponse {
 public:
  using Headers = std::vector<std::pair<std::string, std::string>>;

  URLResponse(URL url, int statusCode, Headers headers);

  const URL& url() const { return url_; }
  int statusCode() const { return status_; }
  // Header fields in arrival order; a field that came twice holds both values
  // joined with ", ".
  const Headers& headerFields() const { return headers_; }
  // The same as a dictionary (the platform's allHeaderFields).
  Value allHeaderFields() const;
  // The fields as text, one "Name: value" line each, ended by "\r\n".
  std::string headerText() const;
  std::optional<std::string> valueForHTTPHeaderField(const std::string& field) const;
  // Content-Length, or -1 when the reply gave none.
  int64_t expectedContentLength() const { return expectedLength_; }
  // From Content-Type: "text/html" and "utf-8" of "text/html; charset=UTF-8".
  const std::string& MIMEType() const { return mimeType_; }
  const std::optional<std::string>& textEncodingName() const { return encoding_; }
  // The name from Content-Disposition, else the URL's last path component.
  std::string suggestedFilename() const;

  // The platform's short text for a status ("not found" for 404).
  static std::string localizedStringForStatusCode(int statusCode);

 private:
  URL url_;
  int status_;
  Headers headers_;
  int64_t expectedLength_ = -1;
  std::string mimeType_;
  std::optional<std::string> encoding_;
};

using URLResponseRef = std::shared_ptr<const URLResponse>;
