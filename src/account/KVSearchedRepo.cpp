#include "account/KVSearchedRepo.h"

#include <functional>

#include "account/KVVendorService.h"
#include "database/KVRSource.h"
#include "foundation/Log.h"
#include "foundation/URL.h"

std::optional<KVSearchedRepo> KVSearchedRepo::searchedRepoWithJSON(const Value& element) {
  using KVVendorService::textMember;
  if (!element.isDictionary()) return std::nullopt;
  KVSearchedRepo repo;
  repo.name = textMember(element, "name");
  repo.url = textMember(element, "url");
  if ((repo.name && repo.name->empty()) || (repo.url && repo.url->empty())) return std::nullopt;
  if (!repo.url || !URL::fromString(*repo.url)) {
    KVLog("nil url");
    return std::nullopt;
  }
  repo.icon = textMember(element, "icon");
  repo.desc = textMember(element, "description");
  repo.maintainer = textMember(element, "maintainer");
  repo.category = textMember(element, "category");
  return repo;
}

std::optional<KVSearchedRepo> KVSearchedRepo::searchedRepoWithSource(const KVRSource* source) {
  if (!source || !source->name() || source->location().empty()) return std::nullopt;
  if (source->hasErrors().value_or(false)) return std::nullopt;
  if (!URL::fromString(source->location())) return std::nullopt;
  KVSearchedRepo repo;
  repo.icon = source->iconURL();
  repo.name = source->name();
  repo.url = source->location();
  repo.desc = source->Description();
  repo.maintainer = source->maintainer();
  repo.category = source->category();
  return repo;
}

bool KVSearchedRepo::isEqualToRepo(const KVSearchedRepo& other) const {
  return url == other.url && name == other.name;
}

size_t KVSearchedRepo::hash() const {
  std::hash<std::string> h;
  return h(url.value_or("")) ^ h(name.value_or(""));
}

bool KVSearchedRepo::isInvalid() const {
  for (const auto* field : {&url, &name, &maintainer, &desc, &category}) {
    if (!*field) return true;
    if ((*field)->find("(null)") != std::string::npos || (*field)->find("??") != std::string::npos) return true;
  }
  return false;
}
