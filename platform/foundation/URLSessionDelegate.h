#pragma once
// What a URL session tells its delegate, on the session's delegate queue. A task
// made with a completion block reports its end to that block instead of
// didCompleteWithError / didFinishDownloadingToURL / didReceiveData.
#include <cstdint>

#include "foundation/Error.h"
#include "foundation/URL.h"
#include "foundation/URLResponse.h"

class URLSession;
class URLSessionTask;
class URLSessionDataTask;
class URLSessionDownloadTask;

// The platform's "size unknown" for expected lengths.
inline constexpr int64_t NSURLSessionTransferSizeUnknown = -1;

class URLSessionDelegate {
 public:
  virtual ~URLSessionDelegate() = default;
  virtual void didBecomeInvalidWithError(URLSession&, ErrorRef) {}
  virtual void didCompleteWithError(URLSession&, URLSessionTask&, ErrorRef) {}
  // A data task's whole body, once, before didCompleteWithError.
  virtual void didReceiveData(URLSession&, URLSessionDataTask&, const Data&) {}
  virtual void didWriteData(URLSession&, URLSessionDownloadTask&, int64_t /*bytesWritten*/,
                            int64_t /*totalBytesWritten*/, int64_t /*totalBytesExpectedToWrite*/) {}
  // The file is removed when this returns: move or copy it here.
  virtual void didFinishDownloadingToURL(URLSession&, URLSessionDownloadTask&, const URL& /*location*/) {}
};
