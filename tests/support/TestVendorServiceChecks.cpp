// The played vendor service's checks: each endpoint's method and forms, and the form
// encoding every request must keep.
#include <cctype>
#include <cstdlib>
#include <set>

#include "account/KVVendorService.h"
#include "foundation/Bundle.h"
#include "foundation/StringEncoding.h"
#include "support/TestVendorService.h"

namespace {
struct Endpoint {
  const char* method;
  std::vector<std::vector<std::string>> forms;  // the field names of each form it takes, in order
  // The setup's upload: made by the request factory (its user agent and the device's
  // identifier), "key", "userID", then any number of "sources[]" and then of
  // "packages[]", the bracketed names as they stand, every pair followed by "&".
  bool setupUpload = false;
};

constexpr const char* kSetupListNames[] = {"sources[]", "packages[]"};

// "key", "userID", "sources[]"..., "packages[]"...
bool isSetupUploadForm(const std::vector<std::string>& names) {
  if (names.size() < 2 || names[0] != "key" || names[1] != "userID") return false;
  size_t i = 2;
  while (i < names.size() && names[i] == kSetupListNames[0]) ++i;
  while (i < names.size() && names[i] == kSetupListNames[1]) ++i;
  return i == names.size();
}

const std::map<std::string, Endpoint>& endpoints() {
  static const std::map<std::string, Endpoint> table = [] {
    std::string stats = "stats/" + Bundle::main().shortVersion() + "/";
    return std::map<std::string, Endpoint>{
        {"login/login.php", {"POST", {{"username", "password", "login"}}}},
        {"wishlist/wishlist.php", {"POST", {{"userID", "wishlist"}}}},
        {"wishlist/retrievewishlist.php", {"GET", {{"userID"}}}},
        {"followeddevs/developers.php", {"POST", {{"userID", "developers"}}}},
        {"followeddevs/retrievedevelopers.php", {"GET", {{"userID"}}}},
        {"ratings/rate.php",
         {"GET", {{"packageID", "username", "rate"}, {"packageID", "username", "rate", "title", "description"}}}},
        {"ratings/rating.php", {"GET", {{"packageID"}}}},
        {"ratings/reviews.php", {"GET", {{"packageID"}, {"review_id"}}}},
        {"ratings/reply.php",
         {"POST", {{"id", "reply", "review_id"}, {"id", "upvote", "review_id"}, {"id", "downvote", "review_id"}, {}}}},
        {stats + "stats.php",
         {"GET",
          {{"packageID", "devName", "repoURL", "version", "downloadCount", "seenCount", "key"},
           {"searchStat", "search", "key"},
           {"downloadHistory", "packageID", "userID", "key"},
           {"retrieveDownloadHistory", "userID", "key"}}}},
        {stats + "trending.php", {"GET", {{"key"}}}},
        {"featured/featured.php", {"GET", {{"key"}}}},
        {"news/retrievenews.php", {"GET", {{}}}},
        {"developers/devs.php", {"GET", {{"searchParam"}}}},
        {"reposearch/reposearch.php", {"GET", {{"searchParam"}}}},
        {"reposearch/repolist.php", {"GET", {{"key"}}}},
        {"reposearch/addrepo.php", {"POST", {{"key", "icon", "name", "url", "description", "maintainer", "category"}}}},
        {"setup/savesetup.php", {"POST", {}, true}},
        {"setup/retrievesetup.php", {"POST", {{"key", "userID"}}}},
        {"credits/credits.php", {"GET", {{}}}},
    };
  }();
  return table;
}

bool isWireCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || std::string_view("-._~%+=&").find(c) != std::string_view::npos;
}

bool isDecimal(const std::string& text) {
  size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
  return text.size() > start && text.find_first_not_of("0123456789", start) == std::string::npos;
}

// "+" a blank, "%XX" a byte; nothing for a "%" without two hex digits.
std::optional<std::string> decoded(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] == '%') {
      if (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
          !std::isxdigit(static_cast<unsigned char>(text[i + 2])))
        return std::nullopt;
      out += static_cast<char>(std::strtol(std::string(text.substr(i + 1, 2)).c_str(), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}
}  // namespace

std::optional<TestVendorService::Fields> TestVendorService::checkedFields(const TestHttpRequest& request,
                                                                           std::string* endpoint) {
  std::vector<std::string> faults;
  auto fault = [&](const std::string& what) { faults.push_back(request.method + " " + request.path + ": " + what); };
  auto finish = [&]() -> std::optional<Fields> {
    violations_.insert(violations_.end(), faults.begin(), faults.end());
    return std::nullopt;
  };
  const std::string prefix = "/quillapi/";
  *endpoint = request.path.rfind(prefix, 0) == 0 ? request.path.substr(prefix.size()) : request.path;
  auto found = endpoints().find(*endpoint);
  if (found == endpoints().end()) {
    fault("no such endpoint");
    return finish();
  }
  const Endpoint& spec = found->second;
  if (request.method != spec.method) fault(std::string("wants ") + spec.method);
  // The clients send plain requests: none of the request factory's device headers, but
  // for the setup's upload, which is made by the factory.
  if (spec.setupUpload) {
    if (!request.hasHeader("X-Device-UUID") || request.header("User-Agent").rfind("Quill/", 0) != 0)
      fault("not made by the request factory");
  } else if (request.hasHeader("X-Device-UUID")) {
    fault("carries the request factory's headers");
  }
  std::string raw = request.method == "POST" ? request.body : request.query;
  if (spec.setupUpload) {
    if (raw.empty() || raw.back() != '&') fault("a pair not followed by \"&\": " + raw);
    else raw.pop_back();
  }
  if (request.method == "POST") {
    if (request.header("Content-Type") != "application/x-www-form-urlencoded") fault("form content type missing");
    if (request.header("Content-Length") != std::to_string(request.body.size())) fault("wrong Content-Length");
  } else {
    if (!request.body.empty() || request.hasHeader("Content-Type")) fault("a GET with a body");
  }
  // Every character is one a form encoder writes, but for the upload's bracketed names,
  // which are sent as they stand.
  std::string wire = raw;
  if (spec.setupUpload)
    for (const char* name : kSetupListNames) {
      const std::string literal = std::string(name) + "=";
      for (size_t at = wire.find(literal); at != std::string::npos; at = wire.find(literal, at + 1))
        if (at == 0 || wire[at - 1] == '&') wire.replace(at, literal.size(), "list=");
    }
  for (char c : wire)
    if (!isWireCharacter(c)) {
      fault(std::string("unencoded character '") + c + "' in " + raw);
      break;
    }
  Fields fields;
  size_t start = 0;
  while (!raw.empty() && start <= raw.size()) {
    size_t end = raw.find('&', start);
    if (end == std::string::npos) end = raw.size();
    std::string_view part(raw.data() + start, end - start);
    size_t eq = part.find('=');
    auto name = decoded(part.substr(0, eq));
    auto value = decoded(eq == std::string_view::npos ? std::string_view() : part.substr(eq + 1));
    if (!name || !value || eq == std::string_view::npos) fault("malformed field " + std::string(part));
    else if (!isValidUTF8(*value)) fault("a value that is no UTF-8: " + std::string(part));
    else fields.emplace_back(*name, *value);
    start = end + 1;
  }
  std::vector<std::string> names;
  for (const auto& [name, value] : fields) names.push_back(name);
  bool known = spec.setupUpload && isSetupUploadForm(names);
  for (const auto& form : spec.forms) known = known || form == names;
  if (!known) fault("fields not of any form it takes: " + raw);
  static const std::set<std::string> kIntegers = {"userID", "id", "review_id", "rate", "downloadCount", "seenCount"};
  static const std::set<std::string> kFlags = {"upvote", "downvote", "searchStat", "downloadHistory",
                                               "retrieveDownloadHistory"};
  for (const auto& [name, value] : fields) {
    if ((name == "key" || name == "login") && value != KVVendorService::kClientKey) fault("wrong client key " + value);
    if (kIntegers.count(name) && !isDecimal(value)) fault(name + " is no integer: " + value);
    if (kFlags.count(name) && value != "1") fault(name + " is not 1");
  }
  fields_[*endpoint].push_back(fields);
  raw_[*endpoint].push_back(request.method == "POST" ? request.body : request.query);
  if (!faults.empty()) return finish();
  return fields;
}
