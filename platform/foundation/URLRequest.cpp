#include "foundation/URLRequest.h"

#include <cctype>

bool headerNameEquals(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::optional<std::string> URLRequest::valueForHTTPHeaderField(const std::string& field) const {
  for (const auto& [name, value] : headers_)
    if (headerNameEquals(name, field)) return value;
  return std::nullopt;
}

void URLRequest::setValue(std::optional<std::string> value, const std::string& field) {
  for (auto it = headers_.begin(); it != headers_.end(); ++it) {
    if (!headerNameEquals(it->first, field)) continue;
    if (value) it->second = std::move(*value);
    else headers_.erase(it);
    return;
  }
  if (value) headers_.emplace_back(field, std::move(*value));
}

void URLRequest::addValue(const std::string& value, const std::string& field) {
  for (auto& [name, existing] : headers_) {
    if (headerNameEquals(name, field)) {
      existing += "," + value;
      return;
    }
  }
  headers_.emplace_back(field, value);
}
