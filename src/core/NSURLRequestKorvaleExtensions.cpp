#include "core/NSURLRequestKorvaleExtensions.h"

#include <map>
#include <mutex>

#include "core/KVPlatform.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Bundle.h"
#include "foundation/Log.h"

namespace NSURLRequestKorvaleExtensions {
namespace {
// The remembered Last-Modified texts of hasFileChangedAtLocation, by location with
// every "/" as "_" (the platform kept them in its user defaults).
std::mutex gModifiedMutex;
std::map<std::string, std::string>& modifiedDates() {
  static auto* dates = new std::map<std::string, std::string>();
  return *dates;
}
}  // namespace

URLRequest requestWithURL(const std::optional<URL>& url) {
  URLRequest request(url, URLRequest::UseProtocolCachePolicy, 30);
  request.setValue(qblog::format("Quill/%s (%s/%s, like CFNetwork/220.0)", Bundle::main().shortVersion().c_str(),
                                 KVPlatform::platformName().c_str(), KVPlatform::firmwareVersion().c_str()),
                   "User-Agent");
  request.setValue(KVPlatform::deviceUDID(), "X-Device-UUID");
  return request;
}

URLRequest QuillbarkRequestWithURL(const std::optional<URL>& url, const std::string& method, int64_t timeout,
                                   const std::optional<std::string>& lastModified) {
  URLRequest request(url, URLRequest::ReloadIgnoringLocalCacheData, timeout == -1 ? 30.0 : static_cast<double>(timeout));
  auto udid = KVPlatform::deviceUDID();
  request.setValue(KVPlatform::deviceModelID(), "X-Machine");
  request.setValue(KVPlatform::firmwareVersion(), "X-Firmware");
  request.setValue(udid, "X-Unique-ID");
  request.setValue(udid, "X-Cydia-ID");
  request.setValue(lastModified, "If-Modified-Since");
  request.setValue(kRepositoryUserAgent, "User-Agent");
  request.setHTTPMethod(method);
  return request;
}

URLRequest QuillbarkRequestWithString(const std::string& urlString, const std::string& method, int64_t timeout,
                                      const std::optional<std::string>& lastModified) {
  return QuillbarkRequestWithURL(URL::fromString(urlString), method, timeout, lastModified);
}

URLRequest QuillbarkRequestWithURL(const std::optional<URL>& url, const std::string& method, int64_t timeout) {
  return QuillbarkRequestWithURL(url, method, timeout, std::nullopt);
}

URLRequest QuillbarkRequestWithString(const std::string& urlString, const std::string& method, int64_t timeout) {
  return QuillbarkRequestWithURL(URL::fromString(urlString), method, timeout, std::nullopt);
}

URLRequest QuillbarkGetRequestWithURL(const std::optional<URL>& url) { return QuillbarkRequestWithURL(url, "GET", -1); }
URLRequest QuillbarkGetRequestWithString(const std::string& s) { return QuillbarkGetRequestWithURL(URL::fromString(s)); }
URLRequest QuillbarkPutRequestWithURL(const std::optional<URL>& url) { return QuillbarkRequestWithURL(url, "PUT", -1); }
URLRequest QuillbarkPutRequestWithString(const std::string& s) { return QuillbarkPutRequestWithURL(URL::fromString(s)); }

void hasFileChangedAtLocation(const std::string& location, const std::shared_ptr<URLSession>& session,
                              std::function<void(bool changed)> completion) {
  auto report = [completion](bool changed) {
    performOnMainThread([completion, changed] {
      if (completion) completion(changed);
    });
  };
  URLRequest request = QuillbarkRequestWithString(location, "HEAD", 5);
  if (!request.url() || !session) {
    report(true);
    return;
  }
  std::string key = location;
  for (auto& c : key)
    if (c == '/') c = '_';
  session
      ->dataTaskWithRequest(request,
                            [key, report](std::optional<Data>, URLResponseRef response, ErrorRef error) {
                              if (error || !response) {
                                KVLog("Error fetching modification date. ERR: %s",
                                      error ? error->localizedDescription().c_str() : "The server did not respond");
                                report(true);
                                return;
                              }
                              auto remote = response->valueForHTTPHeaderField("Last-Modified");
                              std::optional<std::string> local;
                              {
                                std::lock_guard<std::mutex> lock(gModifiedMutex);
                                auto& dates = modifiedDates();
                                if (auto it = dates.find(key); it != dates.end()) local = it->second;
                                if (remote) dates[key] = *remote;
                                else dates.erase(key);
                              }
                              bool changed = !(remote && local && *remote == *local);
                              KVLog("(%s) isModified = %d [remote: %s] [local: %s]",
                                    response->url().absoluteString().c_str(), changed ? 1 : 0,
                                    remote ? remote->c_str() : "(null)", local ? local->c_str() : "(null)");
                              report(changed);
                            })
      ->resume();
}

void hasFileChangedAtLocation(const std::string& location, std::function<void(bool changed)> completion) {
  hasFileChangedAtLocation(location, URLSession::sharedSession(), std::move(completion));
}

void fileExistsAtLocation(const std::string& location, const std::shared_ptr<URLSession>& session,
                          std::function<void(bool exists)> completion) {
  if (!session) {
    if (completion) completion(false);
    return;
  }
  URLRequest request(URL::fromString(location), URLRequest::ReloadIgnoringLocalCacheData, 1);
  request.setHTTPMethod("HEAD");
  session
      ->dataTaskWithRequest(request,
                            [completion](std::optional<Data>, URLResponseRef response, ErrorRef) {
                              if (completion) completion(response && response->statusCode() == 200);
                            })
      ->resume();
}

}  // namespace NSURLRequestKorvaleExtensions
