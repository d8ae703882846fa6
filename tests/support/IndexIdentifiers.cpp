#include "support/IndexIdentifiers.h"

#include <cstdint>

#include "core/NSDataCompression.h"

std::optional<std::set<std::string>> packageIdentifiersOfIndex(const std::string& xzPath, std::string* error) {
  std::set<std::string> identifiers;
  std::string pending;
  ErrorRef failure = NSDataCompression::decodeFile(xzPath, NSDataCompression::Format::XZ, [&](const uint8_t* bytes, size_t size) {
    pending.append(reinterpret_cast<const char*>(bytes), size);
    size_t start = 0;
    for (size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1)
      if (pending.compare(start, 9, "Package: ") == 0) identifiers.insert(pending.substr(start + 9, end - start - 9));
    pending.erase(0, start);
    return true;
  });
  if (failure) {
    if (error) *error = failure->localizedDescription();
    return std::nullopt;
  }
  return identifiers;
}
