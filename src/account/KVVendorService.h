#pragma once
// What every client of the vendor's web service shares: the service's address, the
// client key, how values are written into addresses and forms, how a request goes out
// (a session of its own per request, replies on that session's queue, the status code
// never read) and how replies are read. The address is a setting: the built-in one is a
// placeholder under the reserved ".example" name, and tests point it at a server on
// 127.0.0.1.
//
// Every value is percent-encoded as UTF-8, so a password holding "&", "+", "%" or "="
// and a review holding "#" or an emoji reach the service as typed. Blanks are written
// as each endpoint has always sent them ("%20" or "+"), which a server decodes alike.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/KVServiceCall.h"
#include "foundation/Value.h"

namespace KVVendorService {

inline constexpr const char* kDefaultServiceBaseURL = "https://service.korvale.example";
inline constexpr const char* kClientKey = "Thornwake";
// The platform's own idle time-out of a request.
inline constexpr double kDefaultRequestTimeout = 60;

// The vendor's web site, where people register and recover a password, outside the
// service: its own host and its "www" host.
inline constexpr const char* kRegistrationPageURL = "https://korvale.example/register/";
inline constexpr const char* kLostPasswordPageURL = "https://www.korvale.example/index.php?lost-password/";

// The scheme and host (and port) of the service, without a final "/".
std::string serviceBaseURL();
void setServiceBaseURL(std::string baseURL);
void resetServiceBaseURL();
// How long a request may stay idle before it fails.
double requestTimeout();
void setRequestTimeout(double seconds);
// The address of an endpoint below "/quillapi/" ("reposearch/addrepo.php").
std::string endpointURL(const std::string& path);

// How a blank of a value is written.
enum class Blank { Percent20, Plus };
// `text` percent-encoded as UTF-8, every byte but letters, digits and "-._~" escaped.
std::string encodedValue(std::string_view text, Blank blank = Blank::Percent20);

using Fields = std::vector<std::pair<std::string, std::string>>;
// "name=value&..." in the given order, each value encoded.
std::string encodedFields(const Fields& fields, Blank blank);

// A GET of the endpoint with `query` (none when empty) on the no-cache configuration.
void get(const std::string& path, const Fields& query, Blank blank, const KVServiceCall::Acceptance& acceptance,
         KVServiceCall::Handler handler);
// A POST of `form` as "application/x-www-form-urlencoded" with its "Content-Length", on
// the default configuration.
void post(const std::string& path, const Fields& form, const KVServiceCall::Acceptance& acceptance,
          KVServiceCall::Handler handler);
// The same with a form body already written, on `request` (its address, headers and
// time-out as its maker chose) and a session of `configuration`.
void postBody(URLRequest request, const std::string& body, URLSessionConfiguration configuration,
              const KVServiceCall::Acceptance& acceptance, KVServiceCall::Handler handler);
// A directory search: nothing is sent for a query of fewer than 3 characters (false);
// otherwise every "#" is removed and the rest sent as "searchParam" (blanks as "+"),
// and the reply must be a JSON list.
bool search(const std::string& path, const std::string& query, KVServiceCall::Handler handler);
// The acceptance of a reply that must be JSON of that shape.
KVServiceCall::Acceptance json(KVServiceCall::Acceptance::Body body = KVServiceCall::Acceptance::Body::JSON);
// The one diagnostic line of a failed request: "Error : <description>".
void logFailure(const ErrorRef& error);

// Reply members. A member of another JSON type than the one expected reads as absent.
std::optional<std::string> textMember(const Value& object, const std::string& key);
std::optional<int64_t> integerMember(const Value& object, const std::string& key);

// Items joined by ";" with nothing added; an empty list gives the empty text.
std::string joinedList(const std::vector<std::string>& items);
// A text split at every ";" (the empty text gives one empty item).
std::vector<std::string> splitList(const std::string& text);

}  // namespace KVVendorService
