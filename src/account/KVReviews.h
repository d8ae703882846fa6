#pragma once
// One review of a package as the vendor service gives it: the reviewer's stars, title
// and text, the developer's reply, and the votes.
#include <cstdint>
#include <optional>
#include <string>

#include "foundation/Value.h"

struct KVReviews {
  std::optional<std::string> reviewID;  // "id"
  std::optional<int64_t> rating;        // "rate"
  std::optional<std::string> title;     // "title"
  std::optional<std::string> desc;      // "review"
  std::optional<std::string> name;      // "username", the reviewer
  std::optional<std::string> date;      // "date"
  std::optional<std::string> reply;     // "reply"; JSON null is no reply
  std::optional<std::string> upvotes;   // "upvotes"
  std::optional<std::string> downvotes; // "downvotes"

  bool operator==(const KVReviews&) const = default;

  // A member of another type than its field's reads as absent.
  static KVReviews reviewWithJSON(const Value& object);
};
