#pragma once
// An error value (domain, code, user info). Held by shared pointer where "the same
// error object" matters, as the task pipeline's last-shown error does.
#include <cstdint>
#include <memory>
#include <string>

#include "foundation/Value.h"

inline constexpr const char* NSLocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr const char* NSLocalizedFailureReasonErrorKey = "NSLocalizedFailureReason";
inline constexpr const char* NSURLErrorDomain = "NSURLErrorDomain";
inline constexpr const char* NSCocoaErrorDomain = "NSCocoaErrorDomain";
inline constexpr const char* NSPOSIXErrorDomain = "NSPOSIXErrorDomain";

// The platform's URL error codes that callers read.
enum : int64_t {
  NSURLErrorUnknown = -1,
  NSURLErrorCancelled = -999,
  NSURLErrorBadURL = -1000,
  NSURLErrorTimedOut = -1001,
  NSURLErrorUnsupportedURL = -1002,
  NSURLErrorCannotFindHost = -1003,
  NSURLErrorCannotConnectToHost = -1004,
  NSURLErrorNetworkConnectionLost = -1005,
  NSURLErrorNotConnectedToInternet = -1009,
  NSURLErrorBadServerResponse = -1011,
  NSURLErrorCannotDecodeContentData = -1016,
  NSURLErrorCannotWriteToFile = -3003,
};

struct Error {
  std::string domain;
  int64_t code = 0;
  Value userInfo;  // a dictionary or null

  Error() = default;
  Error(std::string d, int64_t c, Value info = {}) : domain(std::move(d)), code(c), userInfo(std::move(info)) {}

  // The user-info description, else the platform's generic sentence.
  std::string localizedDescription() const;
  std::string localizedFailureReason() const;
};

using ErrorRef = std::shared_ptr<const Error>;

ErrorRef makeError(const std::string& domain, int64_t code, const std::string& description = {});
ErrorRef makeError(const std::string& domain, int64_t code, Value userInfo);
// A literal description converts to both a string and a Value; this settles it.
ErrorRef makeError(const std::string& domain, int64_t code, const char* description);
