#pragma once
// The payment service's wire protocol: request addresses and requests, and the
// reading of each reply into its response object. Replies are hostile data: a member
// of the wrong type counts as absent, a top level that is no object as unparsable.
#include <optional>
#include <string>

#include "foundation/Error.h"
#include "foundation/URLRequest.h"
#include "payment/KVRepoStoreResponseFactory.h"

namespace KVRepoStoreProtocol {

inline constexpr const char* kErrorDomain = "com.korvale.quillbark";

// An error of the client's domain whose description is `message`.
ErrorRef makeError(int64_t code, const std::string& message);

std::string trim(const std::string& text);  // white space and line ends, both ends
// The endpoint (trimmed) and the path joined with exactly one "/".
std::string joinAddress(const std::string& endpoint, const std::string& path);
std::optional<URL> URLFromUnsafeString(const std::string& text);
// "http://" or "https://" and a URL with scheme and host.
bool isURL(const std::string& text);

// A service request with the method, the two JSON headers and, for a body, its
// length and the compact JSON of `members` (all texts).
URLRequest makeRequest(const std::optional<URL>& url, const std::string& method,
                       const std::optional<Value>& members = std::nullopt);

// Reading of accepted replies.
void readEndpointReply(const std::string& location, const Data& body, int status, RepoStoreEndpointResponse& out,
                       bool* failed);
void readVendorInfo(const Value& json, int status, RepoStoreVendorInfoResponse& out);
void readUserInfo(const Value& json, int status, RepoStoreUserInfoResponse& out);
// Answers whether the call failed (an unavailable package).
bool readPackageInfo(const Value& json, int status, RepoStorePackageInfoResponse& out);
void readPurchase(const Value& json, int status, RepoStorePackagePurchaseResponse& out);
void readSignout(const Value& json, int status, RepoStoreSignoutResponse& out);

// Member readers: absent, null or of another type give the fallback.
bool boolMember(const Value& json, const std::string& key);
std::string textMember(const Value& json, const std::string& key);
ErrorRef errorMember(const Value& json, int status);

}  // namespace KVRepoStoreProtocol
