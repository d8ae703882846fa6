#include "foundation/URLResponse.h"

#include <cctype>
#include <cstdlib>

#include "foundation/URLRequest.h"

namespace {
std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}
std::string lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}
}  // namespace

URLResponse::URLResponse(URL url, int statusCode, Headers headers)
    : url_(std::move(url)), status_(statusCode) {
  for (auto& [name, value] : headers) {
    bool merged = false;
    for (auto& [n, v] : headers_) {
      if (headerNameEquals(n, name)) {
        v += ", " + value;
        merged = true;
        break;
      }
    }
    if (!merged) headers_.emplace_back(std::move(name), std::move(value));
  }
  if (auto length = valueForHTTPHeaderField("Content-Length")) {
    char* end = nullptr;
    long long n = std::strtoll(length->c_str(), &end, 10);
    if (end != length->c_str() && n >= 0) expectedLength_ = n;
  }
  if (auto type = valueForHTTPHeaderField("Content-Type")) {
    size_t semi = type->find(';');
    mimeType_ = lower(trim(type->substr(0, semi)));
    while (semi != std::string::npos) {
      size_t next = type->find(';', semi + 1);
      std::string param = trim(type->substr(semi + 1, next == std::string::npos ? std::string::npos : next - semi - 1));
      if (lower(param.substr(0, 8)) == "charset=") {
        std::string value = param.substr(8);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        encoding_ = lower(value);
      }
      semi = next;
    }
  }
}

Value URLResponse::allHeaderFields() const {
  Value dict = Value::dict();
  for (const auto& [name, value] : headers_) dict.set(name, value);
  return dict;
}

std::string URLResponse::headerText() const {
  std::string text;
  for (const auto& [name, value] : headers_) text += name + ": " + value + "\r\n";
  return text;
}

std::optional<std::string> URLResponse::valueForHTTPHeaderField(const std::string& field) const {
  for (const auto& [name, value] : headers_)
    if (headerNameEquals(name, field)) return value;
  return std::nullopt;
}

std::string URLResponse::suggestedFilename() const {
  if (auto disposition = valueForHTTPHeaderField("Content-Disposition")) {
    size_t at = lower(*disposition).find("filename=");
    if (at != std::string::npos) {
      std::string name = trim(disposition->substr(at + 9));
      size_t semi = name.find(';');
      if (semi != std::string::npos) name = trim(name.substr(0, semi));
      if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
      if (!name.empty() && name.find('/') == std::string::npos) return name;
    }
  }
  std::string last = url_.lastPathComponent();
  return last.empty() || last == "/" ? "Unknown" : last;
}

std::string URLResponse::localizedStringForStatusCode(int code) {
  switch (code) {
    case 200: return "no error";
    case 201: return "created";
    case 204: return "no content";
    case 206: return "partial content";
    case 301: return "moved permanently";
    case 302: return "found";
    case 304: return "not modified";
    case 307: return "temporary redirect";
    case 400: return "bad request";
    case 401: return "unauthorized";
    case 403: return "forbidden";
    case 404: return "not found";
    case 405: return "method not allowed";
    case 408: return "request timed out";
    case 410: return "no longer exists";
    case 429: return "too many requests";
    case 500: return "internal server error";
    case 502: return "bad gateway";
    case 503: return "service unavailable";
    case 504: return "gateway timed out";
    default: break;
  }
  if (code >= 100 && code < 200) return "informational";
  if (code >= 200 && code < 300) return "success";
  if (code >= 300 && code < 400) return "redirected";
  if (code >= 400 && code < 500) return "client error";
  if (code >= 500 && code < 600) return "server error";
  return "unknown";
}
