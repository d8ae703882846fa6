// Foreign content: the rules for tokens inside SVG and MathML subtrees.
#include <unordered_map>

#include "html/HTMLParser.h"
#include "html/HTMLParserTokenAccess.h"

namespace html {

namespace {

// The HTML start tags that end foreign content.
bool breaksOut(const HTMLStartTagToken& tag) {
  using T = TagId;
  static const TagSet names{T::B,    T::Big,  T::Blockquote, T::Body,    T::Br,     T::Center, T::Code, T::Dd,
                            T::Div,  T::Dl,   T::Dt,         T::Em,      T::Embed,  T::H1,     T::H2,   T::H3,
                            T::H4,   T::H5,   T::H6,         T::Head,    T::Hr,     T::I,      T::Img,  T::Li,
                            T::Listing, T::Menu, T::Meta,    T::Nobr,    T::Ol,     T::P,      T::Pre,  T::Ruby,
                            T::S,    T::Small, T::Span,      T::Strong,  T::Strike, T::Sub,    T::Sup,  T::Table,
                            T::Tt,   T::U,    T::Ul,         T::Var};
  TagId id = tagIdForName(tag.tagName());
  if (names.contains(id)) return true;
  if (id != TagId::Font) return false;
  const HTMLOrderedDictionary& attributes = tag.attributes();
  return attributes.objectForKey(u"color") || attributes.objectForKey(u"face") || attributes.objectForKey(u"size");
}

// SVG element names in their mixed case, by their lower-case form.
const String* adjustedSVGTagName(const String& name) {
  static const auto* table = [] {
    auto* t = new std::unordered_map<String, String>();
    for (const char16_t* mixed :
         {u"altGlyph",          u"altGlyphDef",       u"altGlyphItem",     u"animateColor",     u"animateMotion",
          u"animateTransform",  u"clipPath",          u"feBlend",          u"feColorMatrix",    u"feComponentTransfer",
          u"feComposite",       u"feConvolveMatrix",  u"feDiffuseLighting", u"feDisplacementMap", u"feDistantLight",
          u"feFlood",           u"feFuncA",           u"feFuncB",          u"feFuncG",          u"feFuncR",
          u"feGaussianBlur",    u"feImage",           u"feMerge",          u"feMergeNode",      u"feMorphology",
          u"feOffset",          u"fePointLight",      u"feSpecularLighting", u"feSpotLight",    u"feTile",
          u"feTurbulence",      u"foreignObject",     u"glyphRef",         u"linearGradient",   u"radialGradient",
          u"textPath"}) {
      t->emplace(asciiLowercase(mixed), mixed);
    }
    return t;
  }();
  auto found = table->find(name);
  return found == table->end() ? nullptr : &found->second;
}

}  // namespace

void HTMLParser::foreignContentInsertionModeHandleCharacterToken(HTMLToken& token) {
  String text = std::get<HTMLCharacterToken>(token).string();
  bool meaningful = false;
  for (char16_t& c : text) {
    if (c == 0) {
      // 1.
      addParseError("U+0000 NULL character in foreign content");
      c = 0xFFFD;
    } else if (!is_whitespace(c)) {
      meaningful = true;
    }
  }
  // 2-3.
  if (meaningful) framesetOkFlag_ = false;
  insertString(text);
}

void HTMLParser::foreignContentInsertionModeHandleCommentToken(HTMLToken& token) { insertComment(token); }

void HTMLParser::foreignContentInsertionModeHandleDOCTYPEToken(HTMLToken&) {
  addParseError("Unexpected DOCTYPE in foreign content");
}

void HTMLParser::foreignContentInsertionModeHandleStartTagToken(HTMLToken& token) {
  // 1.
  if (!breaksOut(startTag(token))) return foreignContentInsertionModeHandleAnyOtherStartTagToken(token);
  // 2.
  addParseError("Unexpected HTML start tag token in foreign content");
  if (fragmentParsingAlgorithm_) return foreignContentInsertionModeHandleAnyOtherStartTagToken(token);
  // 3. Out of the foreign elements, down to HTML or an integration point.
  popCurrentNode();
  while (HTMLElement* node = currentNode()) {
    if (isHTML(*node) || IsMathMLTextIntegrationPoint(*node) || IsHTMLIntegrationPoint(*node)) break;
    popCurrentNode();
  }
  // 4.
  reprocessToken(token);
}

void HTMLParser::foreignContentInsertionModeHandleAnyOtherStartTagToken(HTMLToken& token) {
  HTMLElement* adjusted = adjustedCurrentNode();
  HTMLStartTagToken& tag = std::get<HTMLStartTagToken>(token);
  HTMLNamespace ns = adjusted ? adjusted->htmlNamespace() : HTMLNamespace::HTML;
  // 1-2.
  if (ns == HTMLNamespace::MathML) AdjustMathMLAttributesForToken(tag);
  if (ns == HTMLNamespace::SVG) {
    if (const String* mixed = adjustedSVGTagName(tag.tagName())) tag.setTagName(*mixed);
    AdjustSVGAttributesForToken(tag);
  }
  // 3-4.
  insertForeignElementForToken(tag, ns);
  if (tag.selfClosingFlag()) popCurrentNode();
}

void HTMLParser::foreignContentInsertionModeHandleEndTagToken(HTMLToken& token) {
  const String& name = std::get<HTMLEndTagToken>(token).tagName();
  if (stack_.empty()) return;
  size_t index = stack_.size() - 1;
  // 1.
  if (asciiLowercase(stack_[index]->tagName()) != name) {
    std::string message = "Misnested end tag '" + toUTF8(name) + "' in foreign content";
    addParseError(message);
  }
  // 2.
  if (index == 0) return;
  // With no foreign element of the name open, the walk below would only end at the
  // first HTML element (the bottom of the stack is one).
  if (!isForeignOpenNamedIgnoringCase(name)) return processTokenUsingRulesForInsertionMode(token, insertionMode_);
  for (;;) {
    HTMLElement* node = stack_[index].get();
    // 3.
    if (asciiLowercase(node->tagName()) == name) return popUntilElement(node);
    // 4.
    node = stack_[--index].get();
    if (isHTML(*node)) return processTokenUsingRulesForInsertionMode(token, insertionMode_);
    // 5.
    if (index == 0) return;
  }
}

}  // namespace html
