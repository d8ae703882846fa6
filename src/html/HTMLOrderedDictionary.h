#pragma once
// A string-keyed map that remembers the order its keys were first inserted: an element's
// attributes in source order. Re-setting a key keeps its place; removing it and setting
// it again moves it to the end.
#include <cstddef>
#include <functional>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "html/HTMLString.h"

namespace html {

class HTMLOrderedDictionary {
 public:
  using Entry = std::pair<String, String>;
  static constexpr size_t NotFound = static_cast<size_t>(-1);

  HTMLOrderedDictionary() = default;
  explicit HTMLOrderedDictionary(size_t capacity) { entries_.reserve(capacity); }
  // Pairs in order; a key given twice keeps its first place and its last value.
  HTMLOrderedDictionary(const std::vector<String>& objects, const std::vector<String>& keys);
  HTMLOrderedDictionary(const HTMLOrderedDictionary& other);
  HTMLOrderedDictionary& operator=(const HTMLOrderedDictionary& other);
  HTMLOrderedDictionary(HTMLOrderedDictionary&&) noexcept = default;
  HTMLOrderedDictionary& operator=(HTMLOrderedDictionary&&) noexcept = default;

  void setObject(String object, const String& key);
  // A new key goes in at `index` (at most count(), else std::out_of_range); an existing
  // key keeps its place and only takes the new value.
  void insertObject(String object, const String& key, size_t index);
  void removeObjectForKey(StringView key);

  // The value, or nullptr.
  const String* objectForKey(StringView key) const;
  size_t count() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const String* firstKey() const { return entries_.empty() ? nullptr : &entries_.front().first; }
  const String* lastKey() const { return entries_.empty() ? nullptr : &entries_.back().first; }
  size_t indexOfKey(StringView key) const;
  // The KEY at that position, as the map's subscript has always answered.
  const String& objectAtIndexedSubscript(size_t index) const { return entries_.at(index).first; }
  std::vector<String> keyEnumerator() const;

  // Entries in order, for range-for.
  std::vector<Entry>::const_iterator begin() const { return entries_.begin(); }
  std::vector<Entry>::const_iterator end() const { return entries_.end(); }
  const Entry& entryAtIndex(size_t index) const { return entries_.at(index); }

  // The same keys with the same values; order is not considered.
  bool operator==(const HTMLOrderedDictionary& other) const;

 private:
  // Small maps are searched in order; from this size on a hash index is kept beside.
  static constexpr size_t kIndexThreshold = 12;
  void rebuildIndex();

  struct KeyHash {
    using is_transparent = void;
    size_t operator()(StringView key) const { return std::hash<StringView>{}(key); }
  };
  using Index = std::unordered_map<String, size_t, KeyHash, std::equal_to<>>;

  std::vector<Entry> entries_;
  std::unique_ptr<Index> index_;
};

}  // namespace html
