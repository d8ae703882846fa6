#include "account/KVSetupBackup.h"

#include "account/KVVendorService.h"
#include "core/KVServiceReply.h"
#include "core/NSURLRequestKorvaleExtensions.h"
#include "core/NSURLSessionConfigurationNoCache.h"
#include "foundation/URL.h"

namespace KVSetupBackup {

namespace {
std::string pair(const std::string& name, const std::string& value) {
  return name + "=" + KVVendorService::encodedValue(value, KVVendorService::Blank::Plus) + "&";
}

// A member that is absent reads as an empty list; one that is no list of texts, as none.
std::optional<std::vector<std::string>> textList(const Value& document, const std::string& key) {
  if (!document.contains(key)) return std::vector<std::string>{};
  const Value::Array* items = document[key].arrayPtr();
  if (!items) return std::nullopt;
  std::vector<std::string> texts;
  for (const Value& item : *items) {
    const std::string* text = item.stringPtr();
    if (!text) return std::nullopt;
    texts.push_back(*text);
  }
  return texts;
}
}  // namespace

std::string uploadBody(int64_t userID, const std::vector<std::string>& sources,
                       const std::vector<std::string>& packages) {
  std::string body = pair("key", KVVendorService::kClientKey) + pair("userID", std::to_string(userID));
  for (const auto& location : sources) body += pair("sources[]", location);
  for (const auto& identifier : packages) body += pair("packages[]", identifier);
  return body;
}

void upload(int64_t userID, const std::vector<std::string>& sources, const std::vector<std::string>& packages,
            std::function<void(Expected<std::string> reply)> completion) {
  URLRequest request =
      NSURLRequestKorvaleExtensions::requestWithURL(URL::fromString(KVVendorService::endpointURL(kUploadPath)));
  KVVendorService::postBody(std::move(request), uploadBody(userID, sources, packages),
                            URLSessionConfiguration::defaultSessionConfiguration(), KVServiceCall::Acceptance{},
                            [completion = std::move(completion)](Expected<KVServiceReply> reply) {
                              if (!reply) return completion(Expected<std::string>(reply.error()));
                              completion(reply->text());
                            });
}

void retrieve(int64_t userID, std::function<void(Expected<Data> body)> completion) {
  std::string body = "key=" + std::string(KVVendorService::kClientKey) + "&userID=" + std::to_string(userID);
  KVVendorService::postBody(URLRequest(URL::fromString(KVVendorService::endpointURL(kRetrievalPath))), body,
                            NSURLSessionConfigurationNoCache::noCacheConfigureation(), KVServiceCall::Acceptance{},
                            [completion = std::move(completion)](Expected<KVServiceReply> reply) {
                              if (!reply) return completion(Expected<Data>(reply.error()));
                              completion(reply->body());
                            });
}

std::optional<Document> readDocument(const Data& body) {
  auto json = KVServiceReply::parseJSON(body);
  if (!json || !json->isDictionary()) return std::nullopt;
  auto sources = textList(*json, "sources");
  auto packages = textList(*json, "packages");
  if (!sources || !packages) return std::nullopt;
  return Document{std::move(*sources), std::move(*packages)};
}

}  // namespace KVSetupBackup
