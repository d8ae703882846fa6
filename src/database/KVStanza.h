#pragma once
// One control stanza: its fields in file order, looked up by name without regard to
// letter case (Debian field names are case-insensitive, so "Tag" finds "tag" too).
// Names and values are UTF-8 and kept in one buffer that is reused when the stanza is
// cleared, so reading an index allocates nothing per line once the buffers are warm.
// The views handed out stay valid until the stanza is next changed.
//
// A reader may lend the stanza its lines where they lie (lendLines) instead of copying
// them: the stanza then refers to the reader's bytes, which must stay put until it is
// cleared or takes its own copy (ownLines). Any change to the stanza, and any copy or
// move of it, takes that copy first, so only the stanza the reader filled ever refers
// to the reader's bytes.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Value;

class KVStanza {
 public:
  struct Field {
    std::string_view name;
    std::string_view value;
  };

  KVStanza() = default;
  KVStanza(const KVStanza& other) { *this = other; }
  KVStanza(KVStanza&& other) noexcept { *this = std::move(other); }
  KVStanza& operator=(const KVStanza& other);
  KVStanza& operator=(KVStanza&& other) noexcept;

  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  Field field(size_t index) const;

  // The value of a field, or nothing when the stanza has no such field.
  std::optional<std::string_view> find(std::string_view name) const {
    size_t i = indexOf(name, hashName(name));
    if (i == npos) return std::nullopt;
    return bytes(fields_[i].valueOffset, fields_[i].valueLength);
  }
  bool contains(std::string_view name) const { return indexOf(name) != npos; }
  // The value as a string, or `fallback` when the field is missing.
  std::string value(std::string_view name, std::string_view fallback = {}) const;

  // Stores a field. An existing field of the same name (in any case) takes the new
  // name and value in its place; otherwise the field is added at the end. Returns the
  // field's position.
  size_t set(std::string_view name, std::string_view value);
  // Appends text to the value of the field at `index`.
  void appendToValue(size_t index, std::string_view text);

  // Building from lines, for the control-line parser: lines are copied once into the
  // buffer (or lent, below), each followed by a line feed, and fields then refer to
  // their bytes, so that a value running over several lines is one stretch of the
  // buffer. Returns the offset of the bytes.
  size_t appendLine(std::string_view line) {
    ownLines();
    if (aliases(line)) return appendOwnLine(line);
    size_t offset = text_.size();
    text_.append(line.data(), line.size());
    text_.push_back('\n');
    return offset;
  }
  // The same for lines that stay where they are, `size` bytes at `lines` (each line
  // followed by its line feed), which must outlive the stanza's use of them: only for a
  // stanza that holds no lines yet, or was lent the first of these (it is then lent
  // more of them). Returns the offset of the bytes (0).
  size_t lendLines(const char* lines, size_t size) {
    text_.clear();
    lent_ = lines;
    lentSize_ = size;
    return 0;
  }
  bool lent() const { return lent_ != nullptr; }
  // Copies lent lines into the stanza's own buffer, where they keep their offsets.
  void ownLines() {
    if (!lent_) return;
    text_.assign(lent_, lentSize_);
    lent_ = nullptr;
    lentSize_ = 0;
  }
  std::string_view bufferBytes(size_t offset, size_t length) const { return bytes(offset, length); }
  // The bytes of the lines read into it so far.
  size_t lineBytes() const { return lent_ ? lentSize_ : text_.size(); }
  [[gnu::always_inline]] size_t setFromBuffer(size_t nameOffset, size_t nameLength, size_t valueOffset,
                                              size_t valueLength) {
    uint32_t hash = hashName(bytes(nameOffset, nameLength));
    return storeSlot({nameOffset, nameLength, valueOffset, valueLength, hash});
  }
  // Adds a line feed and the line at [offset, offset + length) to the value of a field.
  void extendValueWithLine(size_t index, size_t offset, size_t length) {
    Slot& s = fields_[index];
    size_t valueEnd = s.valueOffset + s.valueLength;
    if (valueEnd + 1 == offset && bytes(valueEnd, 1)[0] == '\n') {
      // The line follows the value in the buffer, line feed between: just widen it.
      s.valueLength = offset + length - s.valueOffset;
      return;
    }
    moveValueAndExtend(index, offset, length);
  }
  bool erase(std::string_view name);
  void clear();

  // A dictionary of strings, for callers that want the platform's dictionary form.
  Value toValue() const;
  // Bytes held by the stanza's buffers (capacity), to keep memory use visible.
  size_t retainedBytes() const;

  static constexpr size_t npos = static_cast<size_t>(-1);
  size_t indexOf(std::string_view name) const { return indexOf(name, hashName(name)); }

  class const_iterator {
   public:
    const_iterator(const KVStanza* s, size_t i) : s_(s), i_(i) {}
    Field operator*() const { return s_->field(i_); }
    const_iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator==(const const_iterator& o) const { return i_ == o.i_; }
    bool operator!=(const const_iterator& o) const { return i_ != o.i_; }

   private:
    const KVStanza* s_;
    size_t i_;
  };
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, count_}; }

 private:
  struct Slot {
    size_t nameOffset, nameLength, valueOffset, valueLength;
    uint32_t nameHash;  // of the lower-case name, to skip most comparisons
  };
  static uint32_t hashName(std::string_view name) {
    // Length and three letters, case folded: enough to skip almost every comparison.
    if (name.empty()) return 0;
    auto fold = [](char c) { return static_cast<uint32_t>(static_cast<unsigned char>(c) | 0x20); };
    return static_cast<uint32_t>(name.size()) ^ (fold(name.front()) << 8) ^ (fold(name.back()) << 16) ^
           (fold(name[name.size() / 2]) << 24);
  }
  // A small open-addressing index from name to field, rebuilt with the stanza, so that
  // storing and finding a field cost one probe instead of a scan of all fields.
  static constexpr size_t kIndexSize = 64;
  static constexpr size_t kIndexedFields = 48;  // beyond this, plain scans
  static size_t bucketOf(uint32_t hash) { return (hash * 0x9E3779B1u) >> 26; }

  [[gnu::always_inline]] size_t storeSlot(const Slot& slot) {
    const std::string_view name = bytes(slot.nameOffset, slot.nameLength);
    size_t bucket = npos;  // where a new field goes in the index, while it has room
    if (count_ < kIndexedFields) {
      // One probe finds the field or the empty bucket where a new one goes.
      size_t b = bucketOf(slot.nameHash);
      for (; index_[b]; b = (b + 1) & (kIndexSize - 1)) {
        Slot& s = fields_[index_[b] - 1];
        if (s.nameHash == slot.nameHash && sameName(bytes(s.nameOffset, s.nameLength), name)) {
          s = slot;
          return index_[b] - 1u;
        }
      }
      bucket = b;
    } else if (size_t i = indexOf(name, slot.nameHash); i != npos) {
      fields_[i] = slot;
      return i;
    }
    // The vector only grows; count_ is the number of fields in use. This keeps the
    // append a store rather than a library call.
    if (count_ == fields_.size()) growFields();
    const size_t index = count_++;
    fields_[index] = slot;
    if (bucket != npos) index_[bucket] = static_cast<uint8_t>(index + 1);
    return index;
  }
  [[gnu::always_inline]] size_t indexOf(std::string_view name, uint32_t hash) const {
    if (count_ <= kIndexedFields) {
      for (size_t b = bucketOf(hash); index_[b]; b = (b + 1) & (kIndexSize - 1)) {
        const Slot& s = fields_[index_[b] - 1];
        if (s.nameHash == hash && sameName(bytes(s.nameOffset, s.nameLength), name)) return index_[b] - 1u;
      }
      return npos;
    }
    for (size_t i = 0; i < count_; ++i) {
      const Slot& s = fields_[i];
      if (s.nameHash == hash && sameName(bytes(s.nameOffset, s.nameLength), name)) return i;
    }
    return npos;
  }
  void rebuildIndex();
  void growFields();
  static bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if ((a[i] | 0x20) != (b[i] | 0x20) || ((a[i] ^ b[i]) != 0 && !isLetter(a[i]))) return false;
    return true;
  }
  static bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
  bool aliases(std::string_view part) const {
    std::less<const char*> before;
    return !part.empty() && !before(part.data(), text_.data()) && before(part.data(), text_.data() + text_.size());
  }
  size_t appendOwnLine(std::string_view line);
  void moveValueAndExtend(size_t index, size_t offset, size_t length);
  std::string_view bytes(size_t offset, size_t length) const {
    return {(lent_ ? lent_ : text_.data()) + offset, length};
  }
  size_t store(std::string_view s);

  std::string text_;  // names and values, one after the other
  const char* lent_ = nullptr;  // the lines lent in place of text_, if any
  size_t lentSize_ = 0;
  std::vector<Slot> fields_;  // the first count_ are in use
  size_t count_ = 0;
  uint8_t index_[kIndexSize] = {};  // field position + 1, 0 for an empty bucket
};
