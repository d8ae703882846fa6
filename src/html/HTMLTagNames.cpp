#include "html/HTMLTagNames.h"

#include <functional>
#include <unordered_map>

namespace html {

namespace {

struct NameHash {
  using is_transparent = void;
  size_t operator()(StringView name) const { return std::hash<StringView>{}(name); }
};

const std::unordered_map<String, TagId, NameHash, std::equal_to<>>& nameTable() {
  static const auto* table = [] {
    auto* t = new std::unordered_map<String, TagId, NameHash, std::equal_to<>>();
#define QB_HTML_TAG_ENTRY(id, name) t->emplace(fromUTF8(name), TagId::id);
    QB_HTML_TAG_NAMES(QB_HTML_TAG_ENTRY)
#undef QB_HTML_TAG_ENTRY
    return t;
  }();
  return *table;
}

}  // namespace

TagId tagIdForName(StringView name) {
  // No known name is longer than "annotation-xml".
  if (name.empty() || name.size() > 14) return TagId::Unknown;
  const auto& table = nameTable();
  auto found = table.find(name);
  return found == table.end() ? TagId::Unknown : found->second;
}

}  // namespace html
