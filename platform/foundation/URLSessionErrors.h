#pragma once
// The URL session's error values: the platform's URL error codes and descriptions,
// with libcurl's own text as the failure reason.
#include <string>

#include "foundation/Error.h"
#include "foundation/URLRequest.h"

enum : int64_t {
  NSURLErrorHTTPTooManyRedirects = -1007,
  NSURLErrorResourceUnavailable = -1008,
  NSURLErrorDataLengthExceedsMaximum = -1103,
  NSURLErrorSecureConnectionFailed = -1200,
  NSURLErrorServerCertificateUntrusted = -1202,
  NSURLErrorCannotCreateFile = -3000,
};

inline constexpr const char* NSErrorFailingURLStringKey = "NSErrorFailingURLStringKey";

namespace URLSessionErrors {
// The platform's description of a URL error code.
std::string descriptionForCode(int64_t code);
// An error of NSURLErrorDomain with the description of `code`, `reason` as failure
// reason (when not empty) and the request's URL.
ErrorRef make(int64_t code, const std::string& reason, const URLRequest& request);
// The URL error code for a libcurl result; `osErrno` tells an unreachable network
// (offline) apart from a refused connection.
int64_t codeForCurlResult(int curlCode, long osErrno);
}  // namespace URLSessionErrors
