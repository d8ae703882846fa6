#include "foundation/URLSessionErrors.h"

#include <curl/curl.h>

#include <cerrno>

namespace URLSessionErrors {

std::string descriptionForCode(int64_t code) {
  switch (code) {
    case NSURLErrorCancelled: return "cancelled";
    case NSURLErrorBadURL: return "unsupported URL";
    case NSURLErrorTimedOut: return "The request timed out.";
    case NSURLErrorUnsupportedURL: return "unsupported URL";
    case NSURLErrorCannotFindHost: return "A server with the specified hostname could not be found.";
    case NSURLErrorCannotConnectToHost: return "Could not connect to the server.";
    case NSURLErrorNetworkConnectionLost: return "The network connection was lost.";
    case NSURLErrorHTTPTooManyRedirects: return "too many HTTP redirects";
    case NSURLErrorResourceUnavailable: return "resource unavailable";
    case NSURLErrorNotConnectedToInternet: return "The Internet connection appears to be offline.";
    case NSURLErrorBadServerResponse: return "bad server response";
    case NSURLErrorCannotDecodeContentData: return "cannot decode raw data";
    case NSURLErrorDataLengthExceedsMaximum: return "resource exceeds maximum size";
    case NSURLErrorSecureConnectionFailed:
      return "An SSL error has occurred and a secure connection to the server cannot be made.";
    case NSURLErrorServerCertificateUntrusted: return "The certificate for this server is invalid.";
    case NSURLErrorCannotCreateFile: return "cannot create file";
    case NSURLErrorCannotWriteToFile: return "cannot write to file";
    default: return "unknown error";
  }
}

ErrorRef make(int64_t code, const std::string& reason, const URLRequest& request) {
  Value info = Value::dict({{NSLocalizedDescriptionKey, descriptionForCode(code)}});
  if (!reason.empty()) info.set(NSLocalizedFailureReasonErrorKey, reason);
  if (request.url()) info.set(NSErrorFailingURLStringKey, request.url()->absoluteString());
  return makeError(NSURLErrorDomain, code, std::move(info));
}

int64_t codeForCurlResult(int curlCode, long osErrno) {
  switch (static_cast<CURLcode>(curlCode)) {
    case CURLE_ABORTED_BY_CALLBACK: return NSURLErrorCancelled;
    case CURLE_OPERATION_TIMEDOUT: return NSURLErrorTimedOut;
    case CURLE_UNSUPPORTED_PROTOCOL: return NSURLErrorUnsupportedURL;
    case CURLE_URL_MALFORMAT: return NSURLErrorBadURL;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return NSURLErrorCannotFindHost;
    case CURLE_COULDNT_CONNECT:
      if (osErrno == ENETUNREACH || osErrno == ENETDOWN) return NSURLErrorNotConnectedToInternet;
      return NSURLErrorCannotConnectToHost;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM: return NSURLErrorNetworkConnectionLost;
    case CURLE_TOO_MANY_REDIRECTS: return NSURLErrorHTTPTooManyRedirects;
    case CURLE_BAD_CONTENT_ENCODING: return NSURLErrorCannotDecodeContentData;
    case CURLE_WEIRD_SERVER_REPLY: return NSURLErrorBadServerResponse;
    case CURLE_WRITE_ERROR: return NSURLErrorCannotWriteToFile;
    case CURLE_FILESIZE_EXCEEDED: return NSURLErrorDataLengthExceedsMaximum;
    case CURLE_PEER_FAILED_VERIFICATION: return NSURLErrorServerCertificateUntrusted;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER: return NSURLErrorSecureConnectionFailed;
    default: return NSURLErrorUnknown;
  }
}

}  // namespace URLSessionErrors
