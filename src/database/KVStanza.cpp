#include "database/KVStanza.h"

#include <algorithm>
#include <cstring>

#include "foundation/Value.h"

KVStanza::Field KVStanza::field(size_t index) const {
  const Slot& s = fields_[index];
  return {bytes(s.nameOffset, s.nameLength), bytes(s.valueOffset, s.valueLength)};
}

std::string KVStanza::value(std::string_view name, std::string_view fallback) const {
  auto v = find(name);
  return std::string(v ? *v : fallback);
}

size_t KVStanza::store(std::string_view s) {
  size_t offset = text_.size();
  text_.append(s.data(), s.size());
  return offset;
}

KVStanza& KVStanza::operator=(const KVStanza& other) {
  if (this == &other) return *this;
  if (other.lent_) text_.assign(other.lent_, other.lentSize_);
  else text_ = other.text_;
  lent_ = nullptr;
  lentSize_ = 0;
  fields_ = other.fields_;
  count_ = other.count_;
  std::memcpy(index_, other.index_, sizeof index_);
  return *this;
}

KVStanza& KVStanza::operator=(KVStanza&& other) noexcept {
  if (this == &other) return *this;
  other.ownLines();
  text_ = std::move(other.text_);
  lent_ = nullptr;
  lentSize_ = 0;
  fields_ = std::move(other.fields_);
  count_ = other.count_;
  std::memcpy(index_, other.index_, sizeof index_);
  other.clear();
  return *this;
}

size_t KVStanza::set(std::string_view name, std::string_view value) {
  ownLines();
  // The arguments may point into our own buffer, which the appends below can move.
  std::string nameCopy, valueCopy;
  if (aliases(name)) name = nameCopy.assign(name);
  if (aliases(value)) value = valueCopy.assign(value);
  Slot slot{0, name.size(), 0, value.size(), hashName(name)};
  slot.nameOffset = store(name);
  slot.valueOffset = store(value);
  return storeSlot(slot);
}

size_t KVStanza::appendOwnLine(std::string_view line) {
  std::string copy(line);
  line = copy;
  size_t offset = text_.size();
  text_.append(line.data(), line.size());
  text_.push_back('\n');
  return offset;
}

void KVStanza::moveValueAndExtend(size_t index, size_t offset, size_t length) {
  ownLines();
  Slot& s = fields_[index];
  // Copy the value and the line together to the end; reserve first so the sources stay
  // where they are while copying.
  text_.reserve(text_.size() + s.valueLength + 1 + length);
  size_t start = text_.size();
  text_.append(text_.data() + s.valueOffset, s.valueLength);
  text_.push_back('\n');
  text_.append(text_.data() + offset, length);
  s.valueOffset = start;
  s.valueLength = text_.size() - start;
}

void KVStanza::appendToValue(size_t index, std::string_view text) {
  ownLines();
  std::string copy;
  if (aliases(text)) text = copy.assign(text);
  Slot& s = fields_[index];
  if (s.valueOffset + s.valueLength != text_.size()) {
    // Not the most recently stored value: move it to the end first so it can grow.
    std::string old(bytes(s.valueOffset, s.valueLength));
    s.valueOffset = store(old);
  }
  text_.append(text.data(), text.size());
  s.valueLength += text.size();
}

bool KVStanza::erase(std::string_view name) {
  size_t i = indexOf(name);
  if (i == npos) return false;
  fields_.erase(fields_.begin() + static_cast<std::ptrdiff_t>(i));
  fields_.emplace_back();
  --count_;
  rebuildIndex();
  return true;
}

void KVStanza::growFields() { fields_.resize(std::max<size_t>(16, fields_.size() * 2)); }

void KVStanza::rebuildIndex() {
  std::memset(index_, 0, sizeof index_);
  for (size_t i = 0; i < count_ && i < kIndexedFields; ++i) {
    size_t b = bucketOf(fields_[i].nameHash);
    while (index_[b]) b = (b + 1) & (kIndexSize - 1);
    index_[b] = static_cast<uint8_t>(i + 1);
  }
}

void KVStanza::clear() {
  // Keep the buffer for the next stanza unless an unusually large one swelled it.
  constexpr size_t kKeepBytes = 1 << 20;
  if (text_.capacity() > kKeepBytes)
    std::string().swap(text_);
  else
    text_.clear();
  lent_ = nullptr;
  lentSize_ = 0;
  count_ = 0;
  std::memset(index_, 0, sizeof index_);
}

Value KVStanza::toValue() const {
  Value::Dictionary dict;
  for (const Field& f : *this) dict[std::string(f.name)] = Value(f.value);
  return Value(std::move(dict));
}

size_t KVStanza::retainedBytes() const { return text_.capacity() + fields_.capacity() * sizeof(Slot); }
