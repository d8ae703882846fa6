#pragma once
// One node of the Markdown syntax tree. Nothing is copied out of the source: text
// elements and raw HTML are ranges of it. Elements are made by their document (which
// owns them all) and linked into the tree by pointer.
#include <cstdint>
#include <memory_resource>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "markdown/MDRange.h"

namespace markdown {

enum class MDElementType : int8_t {
  None = 0,             // plain text: the source of `range`; an empty range is a line break
  Header = 1,
  Paragraph = 2,
  Blockquote = 3,
  NumberedList = 4,
  BulletedList = 5,
  ListItem = 6,
  CodeBlock = 7,
  HorizontalRule = 8,
  HTML = 9,             // raw HTML: the source of `range`, copied verbatim
  LineBreak = 10,
  Strikethrough = 11,
  Strong = 12,
  Emphasis = 13,
  CodeSpan = 14,
  Image = 15,
  Link = 16,
  Mailto = 17,
  Definition = 18,      // a link definition; writes nothing
  Entity = 19,          // `stringValue` written unchanged
  Table = 20,
  TableHeaderRow = 21,
  TableHeaderCell = 22,
  TableRow = 23,
  TableCell = 24,
};

class MDElement;

// A chain of sibling elements: the children of an element, or elements not yet given
// to a parent. Elements link to their siblings themselves, so building the tree
// allocates nothing; an element is in at most one chain at a time.
class MDElementList {
 public:
  class iterator {
   public:
    using value_type = MDElement*;
    using difference_type = std::ptrdiff_t;
    explicit iterator(MDElement* element = nullptr) : element_(element) {}
    MDElement* operator*() const { return element_; }
    inline iterator& operator++();
    bool operator==(const iterator&) const = default;

   private:
    MDElement* element_;
  };

  MDElementList() = default;
  MDElementList(const std::vector<MDElement*>& elements);

  bool empty() const { return first_ == nullptr; }
  size_t size() const;
  MDElement* front() const { return first_; }
  MDElement* back() const { return last_; }
  MDElement* operator[](size_t index) const;
  iterator begin() const { return iterator(first_); }
  iterator end() const { return iterator(); }

  void append(MDElement* element);
  void prepend(MDElement* element);
  void append(const MDElementList& others);
  std::vector<MDElement*> toVector() const;

 private:
  friend class MDElement;
  MDElement* first_ = nullptr;
  MDElement* last_ = nullptr;
};

// The content ranges of an element, kept in its memory resource; they change only
// through the element.
class MDRangeList {
 public:
  bool empty() const { return size_ == 0; }
  size_t size() const { return size_; }
  const MDRange* begin() const { return data_; }
  const MDRange* end() const { return data_ + size_; }
  const MDRange& operator[](size_t index) const { return data_[index]; }
  const MDRange& back() const { return data_[size_ - 1]; }
  MDRange& back() { return data_[size_ - 1]; }
  operator std::span<const MDRange>() const { return {data_, size_}; }

 private:
  friend class MDElement;
  MDRange* data_ = nullptr;
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;
};

class MDElement {
 public:
  MDRange range;
  MDRangeList innerRanges;
  // type, alignment and level: see the end (they share a word with private fields).

  // An element whose ranges and fields come from `resource` (the document's arena for
  // the elements of a parse).
  explicit MDElement(std::pmr::memory_resource* resource = std::pmr::get_default_resource()) : resource_(resource) {}
  MDElement(const MDElement&) = delete;
  MDElement& operator=(const MDElement&) = delete;
  ~MDElement();

  // Entities: the text written in their place; images: the alternative text; inline
  // tags: the tag's name.
  std::optional<std::string_view> stringValue() const {
    if (hasStringValue_) return std::string_view(stringValue_, stringLength_);
    return std::nullopt;
  }
  // A text that outlives the element (a literal, or a piece of the document's source).
  void setStringValue(std::string_view lasting) {
    stringValue_ = lasting.data();
    stringLength_ = static_cast<uint32_t>(lasting.size());
    hasStringValue_ = true;
  }
  // A text of its own (copied).
  void setOwnedStringValue(std::string_view text) {
    fields().ownedString.assign(text);
    setStringValue(fields_->ownedString);
  }

  // Links, images, e-mail links, definitions: the target; links, images and
  // definitions: the title and the reference name; fenced code: the language word.
  // The setters copy.
  std::optional<std::string_view> href() const { return field(&Fields::href, Fields::hasHref); }
  std::optional<std::string_view> title() const { return field(&Fields::title, Fields::hasTitle); }
  std::optional<std::string_view> identifier() const { return field(&Fields::identifier, Fields::hasIdentifier); }
  std::optional<std::string_view> language() const { return field(&Fields::language, Fields::hasLanguage); }
  void setHref(std::optional<std::string_view> value) { setField(&Fields::href, Fields::hasHref, value); }
  void setTitle(std::optional<std::string_view> value) { setField(&Fields::title, Fields::hasTitle, value); }
  void setIdentifier(std::optional<std::string_view> value) {
    setField(&Fields::identifier, Fields::hasIdentifier, value);
  }
  void setLanguage(std::optional<std::string_view> value) { setField(&Fields::language, Fields::hasLanguage, value); }

  const MDElementList& children() const { return children_; }
  // Clears the parent of every old child and sets it on every new one.
  void setChildren(const MDElementList& children);
  MDElement* parent() const { return parent_; }
  MDElement* nextSibling() const { return next_; }

  void addInnerRange(MDRange range) {
    if (innerRanges.size_ == innerRanges.capacity_) growInnerRanges();
    innerRanges.data_[innerRanges.size_++] = range;
  }
  void removeLastInnerRange() {
    if (!innerRanges.empty()) --innerRanges.size_;
  }
  void setInnerRanges(std::span<const MDRange> ranges);
  void addChild(MDElement* child);
  // Removes that very element (not an equal one) and clears its parent.
  void removeChild(MDElement* child);
  MDElement* removeLastChild();

  // "<MDElement: 0x...; type=paragraph; range={0, 3}>"
  std::string description() const;
  static const char* typeLabel(MDElementType type);

 private:
  friend class MDDocument;
  friend class MDElementList;
  friend class MDElementList::iterator;
  // Only the few elements that carry them have these (the rest stay small).
  struct Fields {
    enum : unsigned { hasHref = 1, hasTitle = 2, hasIdentifier = 4, hasLanguage = 8 };
    explicit Fields(std::pmr::memory_resource* r)
        : href(r), title(r), identifier(r), language(r), ownedString(r) {}
    std::pmr::string href, title, identifier, language, ownedString;
    unsigned present = 0;
  };
  std::pmr::memory_resource* resource() const { return resource_; }
  void growInnerRanges();
  Fields& fields() {
    if (!fields_) fields_ = new (resource()->allocate(sizeof(Fields), alignof(Fields))) Fields(resource());
    return *fields_;
  }
  std::optional<std::string_view> field(std::pmr::string Fields::*member, unsigned bit) const {
    if (!fields_ || !(fields_->present & bit)) return std::nullopt;
    return std::string_view(fields_->*member);
  }
  void setField(std::pmr::string Fields::*member, unsigned bit, std::optional<std::string_view> value) {
    Fields& f = fields();
    if (value) {
      (f.*member).assign(*value);
      f.present |= bit;
    } else {
      (f.*member).clear();
      f.present &= ~bit;
    }
  }

  // Small, as a long text has tens of thousands of elements: siblings are linked one
  // way only, and the short fields share one word.
  MDElementList children_;
  MDElement* parent_ = nullptr;
  MDElement* next_ = nullptr;
  std::pmr::memory_resource* resource_;
  Fields* fields_ = nullptr;
  const char* stringValue_ = nullptr;
  uint32_t stringLength_ = 0;
  bool hasStringValue_ = false;

 public:
  MDElementType type = MDElementType::None;
  int8_t alignment = 0;  // table cells: 0 none, 1 left, 2 center, 3 right
  uint8_t level = 0;     // headers: 1 to 6
};

inline MDElementList::iterator& MDElementList::iterator::operator++() {
  element_ = element_->next_;
  return *this;
}

}  // namespace markdown
