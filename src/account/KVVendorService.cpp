#include "account/KVVendorService.h"

#include <mutex>

#include "core/KVReplyLimits.h"
#include "core/NSURLSessionConfigurationNoCache.h"
#include "foundation/Log.h"
#include "foundation/StringEncoding.h"
#include "foundation/URL.h"

namespace KVVendorService {

namespace {
std::mutex gMutex;
std::string gBaseURL = kDefaultServiceBaseURL;
double gTimeout = kDefaultRequestTimeout;

// The service's time-out and what its answers may cost.
URLSessionConfiguration withTimeout(URLSessionConfiguration configuration) {
  configuration.timeoutIntervalForRequest = requestTimeout();
  configuration.replyLimits = KVReplyLimits::kWebService;
  return configuration;
}

// Every refused reply is logged once, then handed on.
KVServiceCall::Handler logging(KVServiceCall::Handler handler) {
  return [handler = std::move(handler)](Expected<KVServiceReply> reply) {
    if (!reply) logFailure(reply.error());
    if (handler) handler(std::move(reply));
  };
}
}  // namespace

std::string serviceBaseURL() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gBaseURL;
}

void setServiceBaseURL(std::string url) {
  while (!url.empty() && url.back() == '/') url.pop_back();
  std::lock_guard<std::mutex> lock(gMutex);
  gBaseURL = std::move(url);
}

void resetServiceBaseURL() { setServiceBaseURL(kDefaultServiceBaseURL); }

double requestTimeout() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gTimeout;
}

void setRequestTimeout(double seconds) {
  std::lock_guard<std::mutex> lock(gMutex);
  gTimeout = seconds;
}

std::string endpointURL(const std::string& path) { return serviceBaseURL() + "/quillapi/" + path; }

std::string encodedValue(std::string_view text, Blank blank) {
  if (blank == Blank::Percent20) return URL::percentEncode(text);
  std::string out;
  size_t start = 0;
  for (size_t space = text.find(' '); space != std::string_view::npos; space = text.find(' ', start)) {
    out += URL::percentEncode(text.substr(start, space - start)) + "+";
    start = space + 1;
  }
  return out + URL::percentEncode(text.substr(start));
}

std::string encodedFields(const Fields& fields, Blank blank) {
  std::string text;
  for (const auto& [name, value] : fields) {
    if (!text.empty()) text += '&';
    text += encodedValue(name, blank) + "=" + encodedValue(value, blank);
  }
  return text;
}

void get(const std::string& path, const Fields& query, Blank blank, const KVServiceCall::Acceptance& acceptance,
         KVServiceCall::Handler handler) {
  std::string address = endpointURL(path);
  if (!query.empty()) address += "?" + encodedFields(query, blank);
  URLRequest request(URL::fromString(address));
  KVServiceCall::send(request, withTimeout(NSURLSessionConfigurationNoCache::noCacheConfigureation()), acceptance,
                      logging(std::move(handler)));
}

void post(const std::string& path, const Fields& form, const KVServiceCall::Acceptance& acceptance,
          KVServiceCall::Handler handler) {
  postBody(URLRequest(URL::fromString(endpointURL(path))), encodedFields(form, Blank::Plus),
           URLSessionConfiguration::defaultSessionConfiguration(), acceptance, std::move(handler));
}

void postBody(URLRequest request, const std::string& body, URLSessionConfiguration configuration,
              const KVServiceCall::Acceptance& acceptance, KVServiceCall::Handler handler) {
  request.setHTTPMethod("POST");
  request.setValue(std::to_string(body.size()), "Content-Length");
  request.setValue("application/x-www-form-urlencoded", "Content-Type");
  request.setHTTPBody(dataFromString(body));
  KVServiceCall::send(request, withTimeout(std::move(configuration)), acceptance, logging(std::move(handler)));
}

bool search(const std::string& path, const std::string& query, KVServiceCall::Handler handler) {
  // Characters as the screens count them, in UTF-16 units.
  if (utf16FromUTF8(query).size() < 3) return false;
  std::string param = query;
  std::erase(param, '#');
  get(path, {{"searchParam", param}}, Blank::Plus, json(KVServiceCall::Acceptance::Body::JSONArray),
      std::move(handler));
  return true;
}

KVServiceCall::Acceptance json(KVServiceCall::Acceptance::Body body) {
  KVServiceCall::Acceptance acceptance;
  acceptance.body = body;
  return acceptance;
}

void logFailure(const ErrorRef& error) { KVLog("Error : %s", error->localizedDescription().c_str()); }

std::optional<std::string> textMember(const Value& object, const std::string& key) {
  if (const std::string* text = object[key].stringPtr()) return *text;
  return std::nullopt;
}

std::optional<int64_t> integerMember(const Value& object, const std::string& key) {
  const Value& value = object[key];
  if (value.isInteger() || value.isReal()) return value.asInt();
  return std::nullopt;
}

std::string joinedList(const std::vector<std::string>& items) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) text += (i ? ";" : "") + items[i];
  return text;
}

std::vector<std::string> splitList(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  for (size_t end = text.find(';'); end != std::string::npos; end = text.find(';', start)) {
    items.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  items.push_back(text.substr(start));
  return items;
}

}  // namespace KVVendorService
