#pragma once
// The system's own error domain and the codes its tasks report; the application shows
// a code's text from the "Errors" string table when the error has none of its own.
#include <cstdint>

inline constexpr const char* KVErrorDomain = "com.korvale.quillbark";

enum KVErrorCode : int64_t {
  KVErrorPaymentService = 0,
  KVErrorIncompatibleSource = 23,
  KVErrorDecompressionFailed = 31,
  KVErrorNoNetwork = 32,
  KVErrorPackageToolFailed = 34,
  KVErrorInvalidServerData = 35,
};
