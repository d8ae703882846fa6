#include "database/KVStanza.h"

#include <functional>

#include "foundation/Value.h"

namespace {

inline char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && lower(a[i]) != lower(b[i])) return false;
  return true;
}

bool inside(std::string_view part, const std::string& whole) {
  std::less<const char*> before;
  return !part.empty() && !before(part.data(), whole.data()) && before(part.data(), whole.data() + whole.size());
}

}  // namespace

KVStanza::Field KVStanza::field(size_t index) const {
  const Slot& s = fields_[index];
  return {bytes(s.nameOffset, s.nameLength), bytes(s.valueOffset, s.valueLength)};
}

size_t KVStanza::indexOf(std::string_view name) const {
  for (size_t i = 0; i < fields_.size(); ++i)
    if (sameName(bytes(fields_[i].nameOffset, fields_[i].nameLength), name)) return i;
  return npos;
}

std::optional<std::string_view> KVStanza::find(std::string_view name) const {
  size_t i = indexOf(name);
  if (i == npos) return std::nullopt;
  return bytes(fields_[i].valueOffset, fields_[i].valueLength);
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

size_t KVStanza::set(std::string_view name, std::string_view value) {
  // The arguments may point into our own buffer, which the appends below can move.
  std::string nameCopy, valueCopy;
  if (inside(name, text_)) name = nameCopy.assign(name);
  if (inside(value, text_)) value = valueCopy.assign(value);
  Slot slot{0, name.size(), 0, value.size()};
  slot.nameOffset = store(name);
  slot.valueOffset = store(value);
  size_t i = indexOf(name);
  // indexOf finds the new name's bytes only through fields_, so an earlier field of
  // the same name is the one found here.
  if (i != npos) {
    fields_[i] = slot;
    return i;
  }
  fields_.push_back(slot);
  return fields_.size() - 1;
}

void KVStanza::appendToValue(size_t index, std::string_view text) {
  std::string copy;
  if (inside(text, text_)) text = copy.assign(text);
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
  return true;
}

void KVStanza::clear() {
  // Keep the buffer for the next stanza unless an unusually large one swelled it.
  constexpr size_t kKeepBytes = 1 << 20;
  if (text_.capacity() > kKeepBytes)
    std::string().swap(text_);
  else
    text_.clear();
  fields_.clear();
}

Value KVStanza::toValue() const {
  Value::Dictionary dict;
  for (const Field& f : *this) dict[std::string(f.name)] = Value(f.value);
  return Value(std::move(dict));
}

size_t KVStanza::retainedBytes() const { return text_.capacity() + fields_.capacity() * sizeof(Slot); }
