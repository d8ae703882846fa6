#include "html/HTMLTagToken.h"

#include <functional>

#include "html/HTMLCodePoints.h"
#include "html/HTMLTokenDescription.h"

namespace html {

void HTMLTagToken::appendLongCharacterToTagName(CodePoint c) { AppendLongCharacter(tagName_, c); }

bool HTMLTagToken::isEqual(const HTMLTagToken& other) const {
  return tagName_ == other.tagName_ && selfClosingFlag_ == other.selfClosingFlag_ &&
         attributes_ == other.attributes_;
}

size_t HTMLTagToken::hash() const {
  // Order-independent over the attributes, like the comparison.
  size_t h = std::hash<String>{}(tagName_);
  for (const auto& [name, value] : attributes_) h += std::hash<String>{}(name) ^ std::hash<String>{}(value);
  return h;
}

HTMLStartTagToken HTMLStartTagToken::copyWithTagName(String tagName) const {
  HTMLStartTagToken copy(std::move(tagName));
  copy.setAttributes(attributes());
  copy.setSelfClosingFlag(selfClosingFlag());
  return copy;
}

String HTMLStartTagToken::description() const {
  String text = u"<";
  text += tagName();
  for (const auto& [name, value] : attributes()) text += u" " + name + u"=\"" + value + u"\"";
  return tokenDescription("HTMLStartTagToken", this, text + u">");
}

String HTMLEndTagToken::description() const {
  return tokenDescription("HTMLEndTagToken", this, u"</" + tagName() + u">");
}

}  // namespace html
