#pragma once
// Start and end tag tokens. The tokenizer fills one while it reads the tag; once handed
// over nobody changes it (the tree builder copies it under another name instead).
#include "html/HTMLOrderedDictionary.h"
#include "html/HTMLString.h"

namespace html {

class HTMLTagToken {
 public:
  HTMLTagToken() = default;
  explicit HTMLTagToken(String tagName) : tagName_(std::move(tagName)) {}

  const String& tagName() const { return tagName_; }
  void setTagName(String tagName) { tagName_ = std::move(tagName); }
  void appendLongCharacterToTagName(CodePoint c);
  const HTMLOrderedDictionary& attributes() const { return attributes_; }
  HTMLOrderedDictionary& attributes() { return attributes_; }
  void setAttributes(HTMLOrderedDictionary attributes) { attributes_ = std::move(attributes); }
  bool selfClosingFlag() const { return selfClosingFlag_; }
  void setSelfClosingFlag(bool flag) { selfClosingFlag_ = flag; }

  // The same name, the same self-closing flag and the same attributes in any order.
  bool isEqual(const HTMLTagToken& other) const;
  size_t hash() const;

 private:
  String tagName_;
  HTMLOrderedDictionary attributes_;
  bool selfClosingFlag_ = false;
};

class HTMLStartTagToken : public HTMLTagToken {
 public:
  using HTMLTagToken::HTMLTagToken;

  // The same attributes and flag under another name.
  HTMLStartTagToken copyWithTagName(String tagName) const;
  bool operator==(const HTMLStartTagToken& other) const { return isEqual(other); }
  String description() const;
};

class HTMLEndTagToken : public HTMLTagToken {
 public:
  using HTMLTagToken::HTMLTagToken;

  // End tags compare by name only.
  bool operator==(const HTMLEndTagToken& other) const { return tagName() == other.tagName(); }
  String description() const;
};

}  // namespace html
