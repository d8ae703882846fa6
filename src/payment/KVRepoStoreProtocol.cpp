#include "payment/KVRepoStoreProtocol.h"

#include "core/NSURLRequestKorvaleExtensions.h"
#include "foundation/Log.h"

namespace KVRepoStoreProtocol {

ErrorRef makeError(int64_t code, const std::string& message) { return ::makeError(kErrorDomain, code, message); }

std::string trim(const std::string& text) {
  const char* space = " \t\r\n\v\f";
  size_t b = text.find_first_not_of(space);
  if (b == std::string::npos) return {};
  return text.substr(b, text.find_last_not_of(space) - b + 1);
}

std::string joinAddress(const std::string& endpoint, const std::string& path) {
  std::string base = trim(endpoint);
  size_t lead = 0;
  while (lead < path.size() && path[lead] == '/') ++lead;
  // Only slashes of the path part go: the "//" after the scheme stays.
  size_t schemeEnd = base.find("://");
  size_t minimum = schemeEnd == std::string::npos ? 0 : schemeEnd + 3;
  while (base.size() > minimum && base.back() == '/') base.pop_back();
  return base + "/" + path.substr(lead);
}

std::optional<URL> URLFromUnsafeString(const std::string& text) { return URL::fromString(trim(text)); }

bool isURL(const std::string& text) {
  if (text.rfind("http://", 0) != 0 && text.rfind("https://", 0) != 0) return false;
  auto url = URL::fromString(text);
  return url && !url->scheme().empty() && !url->host().empty();
}

URLRequest makeRequest(const std::optional<URL>& url, const std::string& method, const std::optional<Value>& members) {
  URLRequest request = NSURLRequestKorvaleExtensions::requestWithURL(url);
  request.setHTTPMethod(method);
  request.setValue("application/json", "Accept");
  request.setValue("application/json", "Content-Type");
  if (members) {
    Data body = dataFromString(members->toJSON());
    request.setValue(std::to_string(body.size()), "Content-Length");
    request.setHTTPBody(std::move(body));
  }
  return request;
}

bool boolMember(const Value& json, const std::string& key) {
  const Value& v = json[key];
  if (v.isNumber() || v.isString()) return v.asBool(false);
  return false;
}

std::string textMember(const Value& json, const std::string& key) {
  const std::string* s = json[key].stringPtr();
  return s ? *s : std::string();
}

ErrorRef errorMember(const Value& json, int status) {
  const std::string* s = json["error"].stringPtr();
  return s ? makeError(status, *s) : nullptr;
}

void readEndpointReply(const std::string& location, const Data& body, int status, RepoStoreEndpointResponse& out,
                       bool* failed) {
  std::string text = body.empty() ? std::string() : trim(stringFromData(body));
  if (text.empty()) {
    out.error = makeError(status, "Endpoint request failed, no endpoint data found");
    *failed = true;
    return;
  }
  *failed = false;
  if (isURL(text)) {
    out.hasEndpoint = true;
    out.endpoint = text;
    return;
  }
  out.error = makeError(status, qblog::format("Endpoint malformed, (%s) responded with a malformed endpoint",
                                              location.c_str()));
}

void readVendorInfo(const Value& json, int status, RepoStoreVendorInfoResponse& out) {
  out.name = textMember(json, "name");
  out.tagline = textMember(json, "description");
  out.icon = URLFromUnsafeString(textMember(json, "icon"));
  out.authenticationInfo = KVRepoStoreResponseFactory::vendorInfoAuthenticationInfo();
  const Value& banner = json["authentication_banner"];
  if (banner.isDictionary()) {
    out.authenticationInfo->message = textMember(banner, "message");
    out.authenticationInfo->buttonTitle = textMember(banner, "button");
  }
  out.error = errorMember(json, status);
}

void readUserInfo(const Value& json, int status, RepoStoreUserInfoResponse& out) {
  out.invalidate = boolMember(json, "invalidate");
  out.error = errorMember(json, status);
  const Value& user = json["user"];
  if (user.isDictionary()) {
    out.name = textMember(user, "name");
    out.email = textMember(user, "email");
  }
  if (const Value::Array* items = json["items"].arrayPtr()) {
    for (const Value& item : *items)
      if (const std::string* id = item.stringPtr(); id && !id->empty()) out.purchases.push_back(*id);
  }
}

bool readPackageInfo(const Value& json, int status, RepoStorePackageInfoResponse& out) {
  out.invalidate = boolMember(json, "invalidate");
  out.answered = !out.invalidate;
  out.available = boolMember(json, "available");
  out.error = errorMember(json, status);
  if (out.available) {
    out.purchased = boolMember(json, "purchased");
    out.price = textMember(json, "price");
    return false;
  }
  out.recovery_url = URLFromUnsafeString(textMember(json, "recovery_url"));
  // A reply that only withdraws the credentials says nothing about the package: the
  // caller signs in again instead of telling the user the package cannot be had.
  if (out.invalidate && !out.error) return true;
  const std::string* message = json["error"].stringPtr();
  out.error = makeError(0, message ? *message : "Package is unavailable for an unknown reason");
  return true;
}

void readPurchase(const Value& json, int status, RepoStorePackagePurchaseResponse& out) {
  out.invalidate = boolMember(json, "invalidate");
  const Value& s = json["status"];
  out.status = s.isInteger() || s.isReal() ? s.asInt(RepoStorePackagePurchaseResponse::kNoStatus)
                                           : RepoStorePackagePurchaseResponse::kNoStatus;
  out.error = errorMember(json, status);
  if (out.status == 1) out.url = URLFromUnsafeString(textMember(json, "url"));
}

void readSignout(const Value& json, int status, RepoStoreSignoutResponse& out) {
  out.success = boolMember(json, "success");
  out.error = errorMember(json, status);
}

}  // namespace KVRepoStoreProtocol
