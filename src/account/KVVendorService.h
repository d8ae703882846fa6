#pragma once
// What every client of the vendor's web service shares: the service's address, the
// client key, and how a request goes out (a session of its own per request, replies on
// that session's queue, the status code never read). The address is a setting: the
// built-in one is a placeholder under the reserved ".example" name, and tests point it
// at a server on 127.0.0.1.
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/Error.h"
#include "foundation/Value.h"

namespace KVVendorService {

inline constexpr const char* kDefaultServiceBaseURL = "https://service.korvale.example";
inline constexpr const char* kClientKey = "Thornwake";

// The scheme and host (and port) of the service, without a final "/".
std::string serviceBaseURL();
void setServiceBaseURL(std::string baseURL);
void resetServiceBaseURL();
// The address of an endpoint below "/quillapi/" ("reposearch/addrepo.php").
std::string endpointURL(const std::string& path);

// A form body from its fields in order, each value written as a form encodes it, so a
// value holding "&", "=" or "+" stays one value.
std::string formBody(const std::vector<std::pair<std::string, std::string>>& fields);

using Completion = std::function<void(std::optional<Data> body, ErrorRef error)>;
// POSTs `body` to `url` as a form ("Content-Type" and "Content-Length" set) on a session
// of the default configuration made for it; a transport error is logged.
void postForm(const std::string& url, const std::string& body, Completion completion);

}  // namespace KVVendorService
