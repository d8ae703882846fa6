#include "account/KVVendorService.h"

#include <mutex>

#include "foundation/Log.h"
#include "foundation/URL.h"
#include "foundation/URLSession.h"

namespace KVVendorService {

namespace {
std::mutex gMutex;
std::string& baseURL() {
  static std::string url = kDefaultServiceBaseURL;
  return url;
}
}  // namespace

std::string serviceBaseURL() {
  std::lock_guard<std::mutex> lock(gMutex);
  return baseURL();
}

void setServiceBaseURL(std::string url) {
  while (!url.empty() && url.back() == '/') url.pop_back();
  std::lock_guard<std::mutex> lock(gMutex);
  baseURL() = std::move(url);
}

void resetServiceBaseURL() { setServiceBaseURL(kDefaultServiceBaseURL); }

std::string endpointURL(const std::string& path) { return serviceBaseURL() + "/quillapi/" + path; }

std::string formBody(const std::vector<std::pair<std::string, std::string>>& fields) {
  std::string body;
  for (const auto& [name, value] : fields) {
    if (!body.empty()) body += '&';
    body += URL::percentEncode(name) + "=" + URL::percentEncode(value);
  }
  return body;
}

void postForm(const std::string& url, const std::string& body, Completion completion) {
  URLRequest request(URL::fromString(url));
  request.setHTTPMethod("POST");
  request.setValue("application/x-www-form-urlencoded", "Content-Type");
  request.setValue(std::to_string(body.size()), "Content-Length");
  request.setHTTPBody(Data(body.begin(), body.end()));
  auto session = URLSession::sessionWithConfiguration(URLSessionConfiguration::defaultSessionConfiguration());
  session->dataTaskWithRequest(request, [completion](std::optional<Data> data, URLResponseRef, ErrorRef error) {
    if (error) KVLog("Error : %s", error->localizedDescription().c_str());
    if (completion) completion(error ? std::nullopt : std::move(data), error);
  })->resume();
  session->finishTasksAndInvalidate();
}

}  // namespace KVVendorService
