#pragma once
// One control stanza: its fields in file order, looked up by name without regard to
// letter case (Debian field names are case-insensitive, so "Tag" finds "tag" too).
// Names and values are UTF-8 and kept in one buffer that is reused when the stanza is
// cleared, so reading an index allocates nothing per line once the buffers are warm.
// The views handed out stay valid until the stanza is next changed.
#include <cstddef>
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

  size_t size() const { return fields_.size(); }
  bool empty() const { return fields_.empty(); }
  Field field(size_t index) const;

  // The value of a field, or nothing when the stanza has no such field.
  std::optional<std::string_view> find(std::string_view name) const;
  bool contains(std::string_view name) const { return indexOf(name) != npos; }
  // The value as a string, or `fallback` when the field is missing.
  std::string value(std::string_view name, std::string_view fallback = {}) const;

  // Stores a field. An existing field of the same name (in any case) takes the new
  // name and value in its place; otherwise the field is added at the end. Returns the
  // field's position.
  size_t set(std::string_view name, std::string_view value);
  // Appends text to the value of the field at `index`.
  void appendToValue(size_t index, std::string_view text);
  bool erase(std::string_view name);
  void clear();

  // A dictionary of strings, for callers that want the platform's dictionary form.
  Value toValue() const;
  // Bytes held by the stanza's buffers (capacity), to keep memory use visible.
  size_t retainedBytes() const;

  static constexpr size_t npos = static_cast<size_t>(-1);
  size_t indexOf(std::string_view name) const;

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
  const_iterator end() const { return {this, fields_.size()}; }

 private:
  struct Slot {
    size_t nameOffset, nameLength, valueOffset, valueLength;
  };
  std::string_view bytes(size_t offset, size_t length) const { return {text_.data() + offset, length}; }
  size_t store(std::string_view s);

  std::string text_;  // names and values, one after the other
  std::vector<Slot> fields_;
};
