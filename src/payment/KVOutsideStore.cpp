#include "payment/KVOutsideStore.h"

#include <mutex>
#include <optional>

#include "foundation/URL.h"

namespace KVOutsideStore {

namespace {
std::mutex gMutex;
std::string gLocation = kDefaultLocation;

bool startsWithCaseBlind(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}
}  // namespace

std::string location() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gLocation;
}

void setLocation(std::string value) {
  if (value.empty() || value.back() != '/') value += '/';
  std::lock_guard<std::mutex> lock(gMutex);
  gLocation = std::move(value);
}

void resetLocation() { setLocation(kDefaultLocation); }

std::string httpLocation() {
  std::string text = location();
  if (startsWithCaseBlind(text, "https://")) return "http://" + text.substr(8);
  return text;
}

std::string accountPage() { return location() + "account"; }

std::string signOutMarker() { return location() + "api/invalidate"; }

std::string accountMarker() {
  std::optional<URL> url = URL::fromString(location());
  if (!url) return "/account";
  std::string host = url->host();
  auto port = url->port();
  bool https = startsWithCaseBlind(url->scheme(), "https");
  if (port && *port != (https ? 443 : 80)) host += ":" + std::to_string(*port);
  return host + "/account";
}

std::string purchasesPage() { return location() + "account/purchases"; }

std::string packageLinkPrefix() { return httpLocation() + "package/"; }

}  // namespace KVOutsideStore
