#include "html/HTMLOrderedDictionary.h"

#include <stdexcept>
#include <string>

namespace html {

HTMLOrderedDictionary::HTMLOrderedDictionary(const std::vector<String>& objects,
                                             const std::vector<String>& keys) {
  if (objects.size() != keys.size())
    throw std::invalid_argument("initWithObjects:forKeys:count: objects and keys differ in count");
  entries_.reserve(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) setObject(objects[i], keys[i]);
}

HTMLOrderedDictionary::HTMLOrderedDictionary(const HTMLOrderedDictionary& other)
    : entries_(other.entries_) {
  if (other.index_) index_ = std::make_unique<Index>(*other.index_);
}

HTMLOrderedDictionary& HTMLOrderedDictionary::operator=(const HTMLOrderedDictionary& other) {
  if (this != &other) {
    entries_ = other.entries_;
    index_.reset();
    if (other.index_) index_ = std::make_unique<Index>(*other.index_);
  }
  return *this;
}

void HTMLOrderedDictionary::setObject(String object, const String& key) {
  insertObject(std::move(object), key, entries_.size());
}

void HTMLOrderedDictionary::insertObject(String object, const String& key, size_t index) {
  if (index > entries_.size()) {
    throw std::out_of_range("insertObject:forKey:atIndex: index " + std::to_string(index) +
                            " beyond count " + std::to_string(entries_.size()) + " of array");
  }
  size_t existing = indexOfKey(key);
  if (existing != NotFound) {
    entries_[existing].second = std::move(object);
    return;
  }
  if (index == entries_.size()) {
    entries_.emplace_back(key, std::move(object));
    if (index_) {
      index_->emplace(key, index);
    } else if (entries_.size() >= kIndexThreshold) {
      rebuildIndex();
    }
    return;
  }
  entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(index), Entry(key, std::move(object)));
  if (index_ || entries_.size() >= kIndexThreshold) rebuildIndex();
}

void HTMLOrderedDictionary::removeObjectForKey(StringView key) {
  size_t at = indexOfKey(key);
  if (at == NotFound) return;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(at));
  if (entries_.size() < kIndexThreshold) {
    index_.reset();
  } else {
    rebuildIndex();
  }
}

const String* HTMLOrderedDictionary::objectForKey(StringView key) const {
  size_t at = indexOfKey(key);
  return at == NotFound ? nullptr : &entries_[at].second;
}

size_t HTMLOrderedDictionary::indexOfKey(StringView key) const {
  if (index_) {
    auto found = index_->find(key);
    return found == index_->end() ? NotFound : found->second;
  }
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].first == key) return i;
  }
  return NotFound;
}

std::vector<String> HTMLOrderedDictionary::keyEnumerator() const {
  std::vector<String> keys;
  keys.reserve(entries_.size());
  for (const Entry& e : entries_) keys.push_back(e.first);
  return keys;
}

bool HTMLOrderedDictionary::operator==(const HTMLOrderedDictionary& other) const {
  if (entries_.size() != other.entries_.size()) return false;
  for (size_t i = 0; i < entries_.size(); ++i) {
    // The common case: the same order.
    if (entries_[i] == other.entries_[i]) continue;
    const String* value = other.objectForKey(entries_[i].first);
    if (!value || *value != entries_[i].second) return false;
  }
  return true;
}

void HTMLOrderedDictionary::rebuildIndex() {
  index_ = std::make_unique<Index>();
  index_->reserve(entries_.size() * 2);
  for (size_t i = 0; i < entries_.size(); ++i) index_->emplace(entries_[i].first, i);
}

}  // namespace html
