#pragma once
// One entry of the vendor service's repository directory: a repository's icon address,
// name, location, description, maintainer and category.
#include <cstddef>
#include <optional>
#include <string>

#include "foundation/Value.h"

class KVRSource;

class KVSearchedRepo {
 public:
  std::optional<std::string> icon, name, url, desc, maintainer, category;

  // The entry for one element of a directory reply: nothing when it is no object, when
  // its "name" or "url" is an empty text, or when its "url" is no URL. Members that are
  // no text read as absent.
  static std::optional<KVSearchedRepo> searchedRepoWithJSON(const Value& element);
  // The entry for a source record; nothing without a name or a location, when the
  // source's last refresh failed, or when its location is no URL.
  static std::optional<KVSearchedRepo> searchedRepoWithSource(const KVRSource* source);

  // Equal when both locations and both names are equal.
  bool isEqualToRepo(const KVSearchedRepo& other) const;
  bool operator==(const KVSearchedRepo& other) const { return isEqualToRepo(other); }
  size_t hash() const;
  // A location, name, maintainer, description or category that is missing or holds
  // "(null)" or "??" makes the entry unfit for the directory.
  bool isInvalid() const;
};
