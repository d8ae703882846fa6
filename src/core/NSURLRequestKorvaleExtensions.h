#pragma once
// The request factory: repository requests that identify the device the way an APT
// client on a jailbroken device does, and service requests with the application's
// own user agent. Every request the system sends to a repository or to a web service
// through a plain URL is made here.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "foundation/URLRequest.h"
#include "foundation/URLSession.h"

namespace NSURLRequestKorvaleExtensions {

inline constexpr const char* kRepositoryUserAgent = "Telesphoreo APT-HTTP/1.0.592";

// A service request: default cache policy, 30 s, "Quill/<version> (<platform>/<system>,
// like CFNetwork/220.0)" and the device identifier in "X-Device-UUID".
URLRequest requestWithURL(const std::optional<URL>& url);

// A repository request: reload ignoring local data, `timeout` seconds (-1 means 30),
// the device headers, If-Modified-Since when given, the APT user agent and `method`.
URLRequest QuillbarkRequestWithURL(const std::optional<URL>& url, const std::string& method, int64_t timeout,
                                   const std::optional<std::string>& lastModified);
URLRequest QuillbarkRequestWithString(const std::string& urlString, const std::string& method, int64_t timeout,
                                      const std::optional<std::string>& lastModified);
URLRequest QuillbarkRequestWithURL(const std::optional<URL>& url, const std::string& method, int64_t timeout);
URLRequest QuillbarkRequestWithString(const std::string& urlString, const std::string& method, int64_t timeout);
URLRequest QuillbarkGetRequestWithURL(const std::optional<URL>& url);
URLRequest QuillbarkGetRequestWithString(const std::string& urlString);
URLRequest QuillbarkPutRequestWithURL(const std::optional<URL>& url);
URLRequest QuillbarkPutRequestWithString(const std::string& urlString);

// HEAD with a 5 s time-out; reports on the main thread whether the file's
// Last-Modified differs from the one remembered for the location (a missing one on
// either side counts as changed), then remembers the new one.
void hasFileChangedAtLocation(const std::string& location, const std::shared_ptr<URLSession>& session,
                              std::function<void(bool changed)> completion);
void hasFileChangedAtLocation(const std::string& location, std::function<void(bool changed)> completion);
// HEAD without the factory's headers, 1 s; true exactly for status 200, reported on
// the session's queue (without a session: false, at once).
void fileExistsAtLocation(const std::string& location, const std::shared_ptr<URLSession>& session,
                          std::function<void(bool exists)> completion);

}  // namespace NSURLRequestKorvaleExtensions
