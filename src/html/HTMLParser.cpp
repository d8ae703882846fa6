// The parser object, the run from the first token to the finished document, the
// dispatch of tokens to insertion modes, and the encoding change a meta element asks
// for.
#include "html/HTMLParser.h"

#include <stdexcept>
#include <unordered_map>

#include "html/HTMLEncoding.h"

namespace html {

namespace {

enum class Kind { Character, StartTag, EndTag, Comment, DOCTYPE, ParseError, EndOfFile };

Kind kindOf(const HTMLToken& token) { return static_cast<Kind>(token.index()); }

const char* tokenClassName(const HTMLToken& token) {
  static const char* const names[] = {"HTMLCharacterToken", "HTMLStartTagToken", "HTMLEndTagToken",
                                      "HTMLCommentToken",   "HTMLDOCTYPEToken",  "HTMLParseErrorToken",
                                      "HTMLEOFToken"};
  return names[token.index()];
}

}  // namespace

HTMLParser::HTMLParser(String string, HTMLStringEncoding encoding, HTMLElementRef context)
    : tokenizer_(std::move(string)), context_(std::move(context)), encoding_(encoding) {
  tokenizer_.setParser(this);
  if (context_) {
    fragmentParsingAlgorithm_ = true;
    encoding_ = {NSUTF8StringEncoding, HTMLEncodingConfidence::Irrelevant};
    if (isHTML(*context_)) {
      switch (context_->tagId()) {
        case TagId::Title:
        case TagId::Textarea: tokenizer_.setState(HTMLTokenizer::RCDATA); break;
        case TagId::Style:
        case TagId::Xmp:
        case TagId::Iframe:
        case TagId::Noembed:
        case TagId::Noframes:
        case TagId::Noscript: tokenizer_.setState(HTMLTokenizer::RAWTEXT); break;
        case TagId::Script: tokenizer_.setState(HTMLTokenizer::ScriptData); break;
        case TagId::Plaintext: tokenizer_.setState(HTMLTokenizer::PLAINTEXT); break;
        default: break;
      }
    }
  }
}

std::shared_ptr<HTMLDocument> HTMLParser::document() {
  if (document_) return document_;
  // 1.
  document_ = std::make_shared<HTMLDocument>();

  // 2. A fragment is built below an html element of its own.
  HTMLElementRef root;
  if (fragmentParsingAlgorithm_) {
    root = std::make_shared<HTMLElement>(u"html");
    document_->setRootElement(root);
    push(root);
    resetInsertionModeAppropriately();
    for (HTMLElement* e = context_.get(); e; e = e->parentElement()) {
      if (e->tagId() == TagId::Form) {
        formElementPointer_ = std::static_pointer_cast<HTMLElement>(e->shared_from_this());
        break;
      }
    }
  }

  // 3. One token at a time: each is processed before the tokenizer cuts the next, so a
  // state the tree builder sets governs the very next character.
  while (!done_) {
    std::optional<HTMLToken> token = tokenizer_.nextObject();
    if (!token) break;
    processToken(*token);
  }

  // 4.
  HTMLToken endOfFile = HTMLEOFToken();
  processToken(endOfFile);

  // 5. The fragment's nodes become the document's own children.
  if (fragmentParsingAlgorithm_) {
    while (document_->numberOfChildren() > 0) document_->removeObjectFromChildrenAtIndex(0);
    std::vector<HTMLNodeRef> children = root->children();
    while (size_t count = root->numberOfChildren()) root->removeObjectFromChildrenAtIndex(count - 1);
    for (const HTMLNodeRef& child : children) document_->addChild(child);
  }

  // 6.
  document_->setParsedStringEncoding(encoding_.encoding);
  while (!stack_.empty()) popCurrentNode();
  for (const HTMLElementRef& entry : activeFormattingElements_) {
    if (entry) entry->inActiveFormattingElements_ = false;
  }
  activeFormattingElements_.clear();
  return document_;
}

HTMLElement* HTMLParser::adjustedCurrentNode() const {
  if (fragmentParsingAlgorithm_ && stack_.size() == 1) return context_.get();
  return currentNode();
}

// MARK: Dispatch

void HTMLParser::processToken(HTMLToken& token) {
  HTMLElement* node = adjustedCurrentNode();
  Kind kind = kindOf(token);
  bool inMode = !node || isHTML(*node) || kind == Kind::EndOfFile;
  if (!inMode && IsMathMLTextIntegrationPoint(*node)) {
    if (kind == Kind::Character) inMode = true;
    if (kind == Kind::StartTag) {
      TagId id = tagIdForName(std::get<HTMLStartTagToken>(token).tagName());
      inMode = id != TagId::Mglyph && id != TagId::Malignmark;
    }
  }
  if (!inMode && kind == Kind::StartTag && isMathML(*node) && node->tagId() == TagId::AnnotationXml &&
      std::get<HTMLStartTagToken>(token).tagName() == u"svg") {
    inMode = true;
  }
  if (!inMode && IsHTMLIntegrationPoint(*node) && (kind == Kind::StartTag || kind == Kind::Character)) {
    inMode = true;
  }
  processTokenUsingRulesForInsertionMode(token, inMode ? insertionMode_ : Mode::ForeignContent);
}

void HTMLParser::processTokenUsingRulesForInsertionMode(HTMLToken& token, Mode mode) {
  Kind kind = kindOf(token);
  // 1. The tokenizer's complaints are recorded in order and go no further.
  if (kind == Kind::ParseError) {
    addParseError("Tokenizer: " + std::get<HTMLParseErrorToken>(token).error());
    return;
  }
  // 2. A line feed right after a pre, listing or textarea start tag is dropped.
  if (ignoreNextTokenIfLineFeed_) {
    ignoreNextTokenIfLineFeed_ = false;
    if (kind == Kind::Character) {
      const String& text = std::get<HTMLCharacterToken>(token).string();
      if (!text.empty() && text[0] == u'\n') {
        if (text.size() == 1) return;
        token = HTMLCharacterToken(text.substr(1));
      }
    }
  }

  // 3. The mode's handler for the token's kind.
  switch (mode) {
    case Mode::Initial:
      switch (kind) {
        case Kind::Character: return initialInsertionModeHandleCharacterToken(token);
        case Kind::Comment: return initialInsertionModeHandleCommentToken(token);
        case Kind::DOCTYPE: return initialInsertionModeHandleDOCTYPEToken(token);
        default: return initialInsertionModeHandleAnythingElse(token);
      }
    case Mode::BeforeHtml:
      switch (kind) {
        case Kind::Character: return beforeHtmlInsertionModeHandleCharacterToken(token);
        case Kind::Comment: return beforeHtmlInsertionModeHandleCommentToken(token);
        case Kind::DOCTYPE: return beforeHtmlInsertionModeHandleDOCTYPEToken(token);
        case Kind::StartTag: return beforeHtmlInsertionModeHandleStartTagToken(token);
        case Kind::EndTag: return beforeHtmlInsertionModeHandleEndTagToken(token);
        default: return beforeHtmlInsertionModeHandleAnythingElse(token);
      }
    case Mode::BeforeHead:
      switch (kind) {
        case Kind::Character: return beforeHeadInsertionModeHandleCharacterToken(token);
        case Kind::Comment: return beforeHeadInsertionModeHandleCommentToken(token);
        case Kind::DOCTYPE: return beforeHeadInsertionModeHandleDOCTYPEToken(token);
        case Kind::StartTag: return beforeHeadInsertionModeHandleStartTagToken(token);
        case Kind::EndTag: return beforeHeadInsertionModeHandleEndTagToken(token);
        default: return beforeHeadInsertionModeHandleAnythingElse(token);
      }
    case Mode::InHead:
      switch (kind) {
        case Kind::Character: return inHeadInsertionModeHandleCharacterToken(token);
        case Kind::Comment: return inHeadInsertionModeHandleCommentToken(token);
        case Kind::DOCTYPE: return inHeadInsertionModeHandleDOCTYPEToken(token);
        case Kind::StartTag: return inHeadInsertionModeHandleStartTagToken(token);
        case Kind::EndTag: return inHeadInsertionModeHandleEndTagToken(token);
        default: return inHeadInsertionModeHandleAnythingElse(token);
      }
    case Mode::AfterHead:
      switch (kind) {
        case Kind::Character: return afterHeadInsertionModeHandleCharacterToken(token);
        case Kind::Comment: return afterHeadInsertionModeHandleCommentToken(token);
        case Kind::DOCTYPE: return afterHeadInsertionModeHandleDOCTYPEToken(token);
        case Kind::StartTag: return afterHeadInsertionModeHandleStartTagToken(token);
        case Kind::EndTag: return afterHeadInsertionModeHandleEndTagToken(token);
        default: return afterHeadInsertionModeHandleAnythingElse(token);
      }
    case Mode::InBody:
      switch (kind) {
        case Kind::Character: return inBodyInsertionModeHandleCharacterToken(token);
        case Kind::Comment: return inBodyInsertionModeHandleCommentToken(token);
        case Kind::DOCTYPE: return inBodyInsertionModeHandleDOCTYPEToken(token);
        case Kind::StartTag: return inBodyInsertionModeHandleStartTagToken(token);
        case Kind::EndTag: return inBodyInsertionModeHandleEndTagToken(token);
        case Kind::EndOfFile: return inBodyInsertionModeHandleEOFToken(token);
        default: break;
      }
      throw std::logic_error(std::string("invalid ") + tokenClassName(token) + " in in body insertion mode");
    case Mode::Text:
      switch (kind) {
        case Kind::Character: return textInsertionModeHandleCharacterToken(token);
        case Kind::EndTag: return textInsertionModeHandleEndTagToken(token);
        case Kind::EndOfFile: return textInsertionModeHandleEOFToken(token);
        default: break;
      }
      throw std::logic_error(std::string("invalid ") + tokenClassName(token) + " in text insertion mode");
    case Mode::InTable:
      switch (kind) {
        case Kind::Character: return inTableInsertionModeHandleCharacterToken(token);
        case Kind::Comment: return inTableInsertionModeHandleCommentToken(token);
        case Kind::DOCTYPE: return inTableInsertionModeHandleDOCTYPEToken(token);
        case Kind::StartTag: return inTableInsertionModeHandleStartTagToken(token);
        case Kind::EndTag: return inTableInsertionModeHandleEndTagToken(token);
        case Kind::EndOfFile: return inTableInsertionModeHandleEOFToken(token);
        default: return inTableInsertionModeHandleAnythingElse(token);
      }
    case Mode::InTableText:
      if (kind == Kind::Character) return inTableTextInsertionModeHandleCharacterToken(token);
      return inTableTextInsertionModeHandleAnythingElse(token);
    case Mode::InCaption:
      if (kind == Kind::StartTag) return inCaptionInsertionModeHandleStartTagToken(token);
      if (kind == Kind::EndTag) return inCaptionInsertionModeHandleEndTagToken(token);
      return processTokenUsingRulesForInsertionMode(token, Mode::InBody);
    case Mode::InColumnGroup:
      switch (kind) {
        case Kind::Character: return inColumnGroupInsertionModeHandleCharacterToken(token);
        case Kind::Comment: return inColumnGroupInsertionModeHandleCommentToken(token);
        case Kind::DOCTYPE: return inColumnGroupInsertionModeHandleDOCTYPEToken(token);
        case Kind::StartTag: return inColumnGroupInsertionModeHandleStartTagToken(token);
        case Kind::EndTag: return inColumnGroupInsertionModeHandleEndTagToken(token);
        case Kind::EndOfFile: return inColumnGroupInsertionModeHandleEOFToken(token);
        default: return inColumnGroupInsertionModeHandleAnythingElse(token);
      }
    case Mode::InTableBody:
      if (kind == Kind::StartTag) return inTableBodyInsertionModeHandleStartTagToken(token);
      if (kind == Kind::EndTag) return inTableBodyInsertionModeHandleEndTagToken(token);
      return processTokenUsingRulesForInsertionMode(token, Mode::InTable);
    case Mode::InRow:
      if (kind == Kind::StartTag) return inRowInsertionModeHandleStartTagToken(token);
      if (kind == Kind::EndTag) return inRowInsertionModeHandleEndTagToken(token);
      return processTokenUsingRulesForInsertionMode(token, Mode::InTable);
    case Mode::InCell:
      if (kind == Kind::StartTag) return inCellInsertionModeHandleStartTagToken(token);
      if (kind == Kind::EndTag) return inCellInsertionModeHandleEndTagToken(token);
      return processTokenUsingRulesForInsertionMode(token, Mode::InBody);
    case Mode::InSelect:
      switch (kind) {
        case Kind::Character: return inSelectInsertionModeHandleCharacterToken(token);
        case Kind::Comment: return inSelectInsertionModeHandleCommentToken(token);
        case Kind::DOCTYPE: return inSelectInsertionModeHandleDOCTYPEToken(token);
        case Kind::StartTag: return inSelectInsertionModeHandleStartTagToken(token);
        case Kind::EndTag: return inSelectInsertionModeHandleEndTagToken(token);
        case Kind::EndOfFile: return inSelectInsertionModeHandleEOFToken(token);
        default: return inSelectInsertionModeHandleAnythingElse(token);
      }
    case Mode::InSelectInTable:
      if (kind == Kind::StartTag) return inSelectInTableInsertionModeHandleStartTagToken(token);
      if (kind == Kind::EndTag) return inSelectInTableInsertionModeHandleEndTagToken(token);
      return processTokenUsingRulesForInsertionMode(token, Mode::InSelect);
    case Mode::AfterBody:
      switch (kind) {
        case Kind::Character: return afterBodyInsertionModeHandleCharacterToken(token);
        case Kind::Comment: return afterBodyInsertionModeHandleCommentToken(token);
        case Kind::DOCTYPE: return afterBodyInsertionModeHandleDOCTYPEToken(token);
        case Kind::StartTag: return afterBodyInsertionModeHandleStartTagToken(token);
        case Kind::EndTag: return afterBodyInsertionModeHandleEndTagToken(token);
        case Kind::EndOfFile: return afterBodyInsertionModeHandleEOFToken(token);
        default: return afterBodyInsertionModeHandleAnythingElse(token);
      }
    case Mode::InFrameset:
      switch (kind) {
        case Kind::Character: return inFramesetInsertionModeHandleCharacterToken(token);
        case Kind::Comment: return inFramesetInsertionModeHandleCommentToken(token);
        case Kind::DOCTYPE: return inFramesetInsertionModeHandleDOCTYPEToken(token);
        case Kind::StartTag: return inFramesetInsertionModeHandleStartTagToken(token);
        case Kind::EndTag: return inFramesetInsertionModeHandleEndTagToken(token);
        case Kind::EndOfFile: return inFramesetInsertionModeHandleEOFToken(token);
        default: return inFramesetInsertionModeHandleAnythingElse(token);
      }
    case Mode::AfterFrameset:
      switch (kind) {
        case Kind::Character: return afterFramesetInsertionModeHandleCharacterToken(token);
        case Kind::Comment: return afterFramesetInsertionModeHandleCommentToken(token);
        case Kind::DOCTYPE: return afterFramesetInsertionModeHandleDOCTYPEToken(token);
        case Kind::StartTag: return afterFramesetInsertionModeHandleStartTagToken(token);
        case Kind::EndTag: return afterFramesetInsertionModeHandleEndTagToken(token);
        case Kind::EndOfFile: return afterFramesetInsertionModeHandleEOFToken(token);
        default: return afterFramesetInsertionModeHandleAnythingElse(token);
      }
    case Mode::AfterAfterBody:
      switch (kind) {
        case Kind::Character: return afterAfterBodyInsertionModeHandleCharacterToken(token);
        case Kind::Comment: return afterAfterBodyInsertionModeHandleCommentToken(token);
        case Kind::DOCTYPE: return afterAfterBodyInsertionModeHandleDOCTYPEToken(token);
        case Kind::StartTag: return afterAfterBodyInsertionModeHandleStartTagToken(token);
        case Kind::EndOfFile: return afterAfterBodyInsertionModeHandleEOFToken(token);
        default: return afterAfterBodyInsertionModeHandleAnythingElse(token);
      }
    case Mode::AfterAfterFrameset:
      switch (kind) {
        case Kind::Character: return afterAfterFramesetInsertionModeHandleCharacterToken(token);
        case Kind::Comment: return afterAfterFramesetInsertionModeHandleCommentToken(token);
        case Kind::DOCTYPE: return afterAfterFramesetInsertionModeHandleDOCTYPEToken(token);
        case Kind::StartTag: return afterAfterFramesetInsertionModeHandleStartTagToken(token);
        case Kind::EndOfFile: return afterAfterFramesetInsertionModeHandleEOFToken(token);
        default: return afterAfterFramesetInsertionModeHandleAnythingElse(token);
      }
    case Mode::ForeignContent:
      switch (kind) {
        case Kind::Character: return foreignContentInsertionModeHandleCharacterToken(token);
        case Kind::Comment: return foreignContentInsertionModeHandleCommentToken(token);
        case Kind::DOCTYPE: return foreignContentInsertionModeHandleDOCTYPEToken(token);
        case Kind::StartTag: return foreignContentInsertionModeHandleStartTagToken(token);
        case Kind::EndTag: return foreignContentInsertionModeHandleEndTagToken(token);
        default: break;
      }
      throw std::logic_error(std::string("invalid ") + tokenClassName(token) + " in foreign content insertion mode");
    case Mode::NoMode:
      break;
  }
  cannotHandle(token, mode);
}

void HTMLParser::cannotHandle(const HTMLToken& token, Mode mode) const {
  throw std::logic_error(std::string("cannot handle ") + tokenClassName(token) + " token in insertion mode " +
                         std::to_string(static_cast<int>(mode)));
}

void HTMLParser::switchInsertionMode(Mode mode) {
  if (mode == Mode::Text || mode == Mode::InTableText) originalInsertionMode_ = insertionMode_;
  insertionMode_ = mode;
}

void HTMLParser::stopParsing() {
  while (!stack_.empty()) popCurrentNode();
  done_ = true;
}

void HTMLParser::addParseError(std::string message) { errors_.push_back(std::move(message)); }

// MARK: Encoding

void HTMLParser::checkMetaElementForEncoding(const HTMLElement& meta) {
  if (encoding_.confidence != HTMLEncodingConfidence::Tentative) return;
  std::optional<String> label;
  if (const String* charset = meta.objectForKeyedSubscript(u"charset")) {
    // 1. A charset attribute decides, even when it names nothing known.
    label = *charset;
  } else {
    // 2.
    const String* httpEquiv = meta.objectForKeyedSubscript(u"http-equiv");
    const String* content = meta.objectForKeyedSubscript(u"content");
    if (httpEquiv && content && equalsIgnoringASCIICase(*httpEquiv, u"Content-Type")) {
      label = ExtractCharsetFromContentAttribute(*content);
    }
  }
  if (!label) return;
  // 3.
  NSStringEncoding encoding = StringEncodingForLabel(*label);
  if (encoding == InvalidStringEncoding()) return;
  if (IsASCIICompatibleEncoding(encoding) || IsUTF16Encoding(encoding)) changeEncoding(encoding);
}

void HTMLParser::changeEncoding(NSStringEncoding encoding) {
  // 1. Text that was UTF-16 stays so.
  if (IsUTF16Encoding(encoding_.encoding)) {
    encoding_.confidence = HTMLEncodingConfidence::Certain;
    return;
  }
  // 2.
  if (IsUTF16Encoding(encoding)) encoding = NSUTF8StringEncoding;
  // 3.
  if (encoding == encoding_.encoding) {
    encoding_.confidence = HTMLEncodingConfidence::Certain;
    return;
  }
  // 4.
  if (!changeEncoding_) {
    addParseError("Wanted to change string encoding but couldn't; continuing with misinterpreted resource");
    return;
  }
  // 5. The owner decodes the bytes again and runs a new parser; this one stops here.
  changeEncoding_(HTMLStringEncoding{encoding, HTMLEncodingConfidence::Certain});
  stopParsing();
}

// MARK: Attribute adjustments

void AdjustMathMLAttributesForToken(HTMLStartTagToken& token) {
  HTMLOrderedDictionary& attributes = token.attributes();
  size_t at = attributes.indexOfKey(u"definitionurl");
  if (at == HTMLOrderedDictionary::NotFound) return;
  HTMLOrderedDictionary adjusted(attributes.count());
  for (const auto& [name, value] : attributes) {
    adjusted.setObject(value, name == u"definitionurl" ? String(u"definitionURL") : name);
  }
  token.setAttributes(std::move(adjusted));
}

void AdjustSVGAttributesForToken(HTMLStartTagToken& token) {
  static const std::vector<String> kNames = {
      u"attributeName",     u"attributeType",       u"baseFrequency",      u"baseProfile",
      u"calcMode",          u"clipPathUnits",       u"diffuseConstant",    u"edgeMode",
      u"filterUnits",       u"glyphRef",            u"gradientTransform",  u"gradientUnits",
      u"kernelMatrix",      u"kernelUnitLength",    u"keyPoints",          u"keySplines",
      u"keyTimes",          u"lengthAdjust",        u"limitingConeAngle",  u"markerHeight",
      u"markerUnits",       u"markerWidth",         u"maskContentUnits",   u"maskUnits",
      u"numOctaves",        u"pathLength",          u"patternContentUnits", u"patternTransform",
      u"patternUnits",      u"pointsAtX",           u"pointsAtY",          u"pointsAtZ",
      u"preserveAlpha",     u"preserveAspectRatio", u"primitiveUnits",     u"refX",
      u"refY",              u"repeatCount",         u"repeatDur",          u"requiredExtensions",
      u"requiredFeatures",  u"specularConstant",    u"specularExponent",   u"spreadMethod",
      u"startOffset",       u"stdDeviation",        u"stitchTiles",        u"surfaceScale",
      u"systemLanguage",    u"tableValues",         u"targetX",            u"targetY",
      u"textLength",        u"viewBox",             u"viewTarget",         u"xChannelSelector",
      u"yChannelSelector",  u"zoomAndPan"};
  // Lower-case name to the mixed-case one.
  static const auto* table = [] {
    auto* t = new std::unordered_map<String, String>();
    for (const String& name : kNames) t->emplace(asciiLowercase(name), name);
    return t;
  }();
  auto adjustedName = [](const String& name) -> const String* {
    auto found = table->find(name);
    return found == table->end() ? nullptr : &found->second;
  };
  bool any = false;
  for (const auto& entry : token.attributes()) any = any || adjustedName(entry.first);
  if (!any) return;
  HTMLOrderedDictionary adjusted(token.attributes().count());
  for (const auto& [name, value] : token.attributes()) {
    const String* mixed = adjustedName(name);
    adjusted.setObject(value, mixed ? *mixed : name);
  }
  token.setAttributes(std::move(adjusted));
}

}  // namespace html
