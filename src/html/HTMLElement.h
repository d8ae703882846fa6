#pragma once
// An element: its tag name, its attributes in source order and its namespace.
#include "html/HTMLNode.h"
#include "html/HTMLOrderedDictionary.h"
#include "html/HTMLTagNames.h"

namespace html {

enum class HTMLNamespace : int8_t { HTML = 0, MathML = 1, SVG = 2 };

class HTMLElement : public HTMLNode {
 public:
  HTMLElement() : HTMLElement(String()) {}
  explicit HTMLElement(String tagName, HTMLOrderedDictionary attributes = {});

  // As the tokenizer produced it: lower case for HTML elements, mixed case where the
  // tree builder adjusted a foreign name.
  const String& tagName() const { return tagName_; }
  // The name as a known identifier (Unknown for every other name).
  TagId tagId() const { return tagId_; }
  const HTMLOrderedDictionary& attributes() const { return attributes_; }
  HTMLNamespace htmlNamespace() const { return namespace_; }
  void setHtmlNamespace(HTMLNamespace ns) { namespace_ = ns; }

  // The attribute's value, or nullptr.
  const String* objectForKeyedSubscript(StringView attributeName) const {
    return attributes_.objectForKey(attributeName);
  }
  // A new name goes to the end of the order; an existing one keeps its place.
  void setObject(String attributeValue, const String& forKeyedSubscript) {
    attributes_.setObject(std::move(attributeValue), forKeyedSubscript);
  }
  void removeAttributeWithName(StringView attributeName) { attributes_.removeObjectForKey(attributeName); }

  // Whether the class list (split at HTML white space) holds the name.
  bool hasClass(StringView className) const;
  // Removes the first occurrence of the name from the class list, or appends it.
  void toggleClass(StringView className);

  HTMLNodeRef copy() const override;
  const char* className() const override { return "HTMLElement"; }

 private:
  friend class HTMLParser;
  // The tree builder's bookkeeping while it builds, so that it can tell in one step
  // whether an element is open or in its list of formatting elements. Both are false
  // in a finished document.
  bool onStackOfOpenElements_ = false;
  bool inActiveFormattingElements_ = false;

  String tagName_;
  HTMLOrderedDictionary attributes_;
  HTMLNamespace namespace_ = HTMLNamespace::HTML;
  TagId tagId_;
};

}  // namespace html
