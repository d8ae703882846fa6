#pragma once
// One of the vendor's news entries.
#include <optional>
#include <string>

#include "foundation/Value.h"

struct KVNews {
  std::optional<std::string> author;
  std::optional<std::string> title;
  std::optional<std::string> banner;   // address of the banner image
  std::optional<std::string> content;  // the entry's text
  std::optional<std::string> date;     // as the service writes it

  bool operator==(const KVNews&) const = default;

  // A member that is no text reads as absent.
  static KVNews newsWithJSON(const Value& object);
};
