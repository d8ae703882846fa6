#include "foundation/Error.h"

std::string Error::localizedDescription() const {
  if (auto s = userInfo[NSLocalizedDescriptionKey].stringPtr()) return *s;
  return "The operation couldn\u2019t be completed. (" + domain + " error " + std::to_string(code) + ".)";
}

std::string Error::localizedFailureReason() const { return userInfo[NSLocalizedFailureReasonErrorKey].asString(); }

ErrorRef makeError(const std::string& domain, int64_t code, const std::string& description) {
  Value info;
  if (!description.empty()) info.set(NSLocalizedDescriptionKey, description);
  return std::make_shared<const Error>(domain, code, std::move(info));
}

ErrorRef makeError(const std::string& domain, int64_t code, Value userInfo) {
  return std::make_shared<const Error>(domain, code, std::move(userInfo));
}

ErrorRef makeError(const std::string& domain, int64_t code, const char* description) {
  return makeError(domain, code, std::string(description ? description : ""));
}
