#include "html/HTMLElement.h"

#include <vector>

namespace html {

namespace {

const String kClass = u"class";

// The pieces between white space; empty pieces are kept when asked.
std::vector<StringView> splitAtWhitespace(StringView text, bool keepEmpty) {
  std::vector<StringView> pieces;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || isHTMLWhitespace(text[i])) {
      if (keepEmpty || i > start) pieces.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  return pieces;
}

}  // namespace

HTMLElement::HTMLElement(String tagName, HTMLOrderedDictionary attributes)
    : HTMLNode(Kind::Element),
      tagName_(std::move(tagName)),
      attributes_(std::move(attributes)),
      tagId_(tagIdForName(tagName_)) {}

bool HTMLElement::hasClass(StringView className) const {
  const String* classes = attributes_.objectForKey(kClass);
  if (!classes) return false;
  for (StringView piece : splitAtWhitespace(*classes, false)) {
    if (piece == className) return true;
  }
  return false;
}

void HTMLElement::toggleClass(StringView className) {
  const String* current = attributes_.objectForKey(kClass);
  String classes = current ? *current : String();
  std::vector<StringView> pieces = splitAtWhitespace(classes, true);
  bool removed = false;
  for (auto it = pieces.begin(); it != pieces.end(); ++it) {
    if (*it == className) {
      pieces.erase(it);
      removed = true;
      break;
    }
  }
  if (!removed) pieces.push_back(className);
  String joined;
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) joined += u' ';
    joined += pieces[i];
  }
  attributes_.setObject(std::move(joined), kClass);
}

HTMLNodeRef HTMLElement::copy() const {
  // The copy starts in the HTML namespace, whatever the original's.
  return std::make_shared<HTMLElement>(tagName_, attributes_);
}

}  // namespace html
