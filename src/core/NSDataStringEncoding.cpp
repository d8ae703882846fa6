#include "core/NSDataStringEncoding.h"

namespace NSDataStringEncoding {

std::optional<std::string> stringValue(const Data& data, StringEncoding* encoding) {
  DetectedString detected = detectStringEncoding(
      std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
  if (encoding) *encoding = detected.encoding;
  return std::move(detected.text);
}

}  // namespace NSDataStringEncoding
