#pragma once
// Text whose characters carry attributes (colour, font, link, underline, paragraph
// style), mutable as the platform's mutable attributed string is. Lengths, indexes and
// ranges count UTF-16 code units, as the platform's strings do: "é" is 1, an emoji
// outside the basic plane is 2. The text itself goes in and comes out as UTF-8.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "uikit/NSParagraphStyle.h"
#include "uikit/UIColor.h"
#include "uikit/UIFont.h"

// A range of UTF-16 code units.
struct NSRange {
  size_t location = 0;
  size_t length = 0;
  size_t end() const { return location + length; }
  bool operator==(const NSRange&) const = default;
};
inline constexpr size_t NSNotFound = SIZE_MAX;

enum NSUnderlineStyle : long {
  NSUnderlineStyleNone = 0,
  NSUnderlineStyleSingle = 1,
  NSUnderlineStyleThick = 2,
  NSUnderlineStyleDouble = 9,
};

enum class NSAttributeKey {
  Font,
  ForegroundColor,
  BackgroundColor,
  Link,
  UnderlineStyle,
  UnderlineColor,
  ParagraphStyle,
};

// The attributes of one character; an absent one takes the view's default.
struct NSTextAttributes {
  std::optional<UIColor> foregroundColor;
  std::optional<UIColor> backgroundColor;
  std::optional<UIFont> font;
  std::optional<std::string> link;
  std::optional<long> underlineStyle;
  std::optional<UIColor> underlineColor;
  std::optional<NSParagraphStyle> paragraphStyle;
  bool operator==(const NSTextAttributes&) const = default;
  // Takes every attribute `other` has.
  void merge(const NSTextAttributes& other);
  void remove(NSAttributeKey key);
};

// A stretch of characters with the same attributes, its text in UTF-8.
struct NSTextRun {
  std::string text;
  NSTextAttributes attributes;
  NSRange range;
};

class NSAttributedString {
 public:
  NSAttributedString() = default;
  explicit NSAttributedString(const std::string& text, NSTextAttributes attributes = {});

  std::string string() const;
  const std::u16string& utf16() const { return text_; }
  size_t length() const { return text_.size(); }
  bool empty() const { return text_.empty(); }
  // The runs of equal attributes, in order.
  std::vector<NSTextRun> runs() const;

  // A range reaching past the end is a programming error (std::out_of_range), as it
  // is on the platform.
  std::string substringWithRange(NSRange range) const;
  NSAttributedString attributedSubstringFromRange(NSRange range) const;
  // The attributes at an index and, when asked, the whole run they cover.
  NSTextAttributes attributesAtIndex(size_t index, NSRange* effectiveRange = nullptr) const;
  // Each run within `range`, cut to it.
  void enumerateAttributesInRange(NSRange range,
                                  const std::function<void(const NSTextAttributes&, NSRange)>& block) const;
  // The first occurrence of `text` at or after `from`; {NSNotFound, 0} when none.
  NSRange rangeOfString(const std::string& text, size_t from = 0) const;
  // The ranges that carry a link, with the link.
  std::vector<std::pair<NSRange, std::string>> links() const;

  void append(const std::string& text, const NSTextAttributes& attributes = {});
  void appendAttributedString(const NSAttributedString& other);
  // Sets the given attributes over the range, keeping the others.
  void addAttributes(const NSTextAttributes& attributes, NSRange range);
  // Replaces every attribute over the range.
  void setAttributes(const NSTextAttributes& attributes, NSRange range);
  void removeAttribute(NSAttributeKey key, NSRange range);
  // The new text takes the attributes of the first replaced character (of the one
  // before when nothing is replaced).
  void replaceCharactersInRange(NSRange range, const std::string& text);
  void deleteCharactersInRange(NSRange range);

  bool operator==(const NSAttributedString& other) const { return text_ == other.text_ && spans_ == other.spans_; }

 private:
  struct Span {
    size_t length = 0;
    NSTextAttributes attributes;
    bool operator==(const Span&) const = default;
  };
  void check(NSRange range) const;
  // Splits the spans so that `offset` falls between two; answers the index of the
  // span that starts there.
  size_t splitAt(size_t offset);
  void coalesce();
  template <typename Change>
  void changeAttributes(NSRange range, Change change);

  std::u16string text_;
  std::vector<Span> spans_;
};
