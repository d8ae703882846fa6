// The insertion modes before the body: initial (with the DOCTYPE and quirks mode),
// before html, before head, in head (with the meta element's encoding check) and after
// head.
#include "html/HTMLComment.h"
#include "html/HTMLParser.h"
#include "html/HTMLParserTokenAccess.h"

namespace html {

namespace {

// The standard compares the identifiers of a DOCTYPE ignoring ASCII case.
bool startsWithAny(const String& text, std::initializer_list<const char16_t*> prefixes) {
  for (const char16_t* prefix : prefixes) {
    StringView expected(prefix);
    if (text.size() >= expected.size() && equalsIgnoringASCIICase(StringView(text).substr(0, expected.size()), expected))
      return true;
  }
  return false;
}

bool equalsAny(const String& text, std::initializer_list<const char16_t*> candidates) {
  for (const char16_t* candidate : candidates)
    if (equalsIgnoringASCIICase(text, candidate)) return true;
  return false;
}

// The public identifiers whose prefix puts a document into quirks mode.
bool hasQuirksPublicPrefix(const String& id) {
  return startsWithAny(
      id, {u"+//Silmaril//dtd html Pro v0r11 19970101//",
           u"-//AS//DTD HTML 3.0 asWedit + extensions//",
           u"-//AdvaSoft Ltd//DTD HTML 3.0 asWedit + extensions//",
           u"-//IETF//DTD HTML 2.0 Level 1//",
           u"-//IETF//DTD HTML 2.0 Level 2//",
           u"-//IETF//DTD HTML 2.0 Strict Level 1//",
           u"-//IETF//DTD HTML 2.0 Strict Level 2//",
           u"-//IETF//DTD HTML 2.0 Strict//",
           u"-//IETF//DTD HTML 2.0//",
           u"-//IETF//DTD HTML 2.1E//",
           u"-//IETF//DTD HTML 3.0//",
           u"-//IETF//DTD HTML 3.2 Final//",
           u"-//IETF//DTD HTML 3.2//",
           u"-//IETF//DTD HTML 3//",
           u"-//IETF//DTD HTML Level 0//",
           u"-//IETF//DTD HTML Level 1//",
           u"-//IETF//DTD HTML Level 2//",
           u"-//IETF//DTD HTML Level 3//",
           u"-//IETF//DTD HTML Strict Level 0//",
           u"-//IETF//DTD HTML Strict Level 1//",
           u"-//IETF//DTD HTML Strict Level 2//",
           u"-//IETF//DTD HTML Strict Level 3//",
           u"-//IETF//DTD HTML Strict//",
           u"-//IETF//DTD HTML//",
           u"-//Metrius//DTD Metrius Presentational//",
           u"-//Microsoft//DTD Internet Explorer 2.0 HTML Strict//",
           u"-//Microsoft//DTD Internet Explorer 2.0 HTML//",
           u"-//Microsoft//DTD Internet Explorer 2.0 Tables//",
           u"-//Microsoft//DTD Internet Explorer 3.0 HTML Strict//",
           u"-//Microsoft//DTD Internet Explorer 3.0 HTML//",
           u"-//Microsoft//DTD Internet Explorer 3.0 Tables//",
           u"-//Netscape Comm. Corp.//DTD HTML//",
           u"-//Netscape Comm. Corp.//DTD Strict HTML//",
           u"-//O'Reilly and Associates//DTD HTML 2.0//",
           u"-//O'Reilly and Associates//DTD HTML Extended 1.0//",
           u"-//O'Reilly and Associates//DTD HTML Extended Relaxed 1.0//",
           u"-//SQ//DTD HTML 2.0 HoTMetaL + extensions//",
           u"-//SoftQuad Software//DTD HoTMetaL PRO 6.0::19990601::extensions to HTML 4.0//",
           u"-//SoftQuad//DTD HoTMetaL PRO 4.0::19971010::extensions to HTML 4.0//",
           u"-//Spyglass//DTD HTML 2.0 Extended//",
           u"-//Sun Microsystems Corp.//DTD HotJava HTML//",
           u"-//Sun Microsystems Corp.//DTD HotJava Strict HTML//",
           u"-//W3C//DTD HTML 3 1995-03-24//",
           u"-//W3C//DTD HTML 3.2 Draft//",
           u"-//W3C//DTD HTML 3.2 Final//",
           u"-//W3C//DTD HTML 3.2//",
           u"-//W3C//DTD HTML 3.2S Draft//",
           u"-//W3C//DTD HTML 4.0 Frameset//",
           u"-//W3C//DTD HTML 4.0 Transitional//",
           u"-//W3C//DTD HTML Experimental 19960712//",
           u"-//W3C//DTD HTML Experimental 970421//",
           u"-//W3C//DTD W3 HTML//",
           u"-//W3O//DTD W3 HTML 3.0//",
           u"-//WebTechs//DTD Mozilla HTML 2.0//",
           u"-//WebTechs//DTD Mozilla HTML//"});
}

constexpr const char16_t* kHTML401Frameset = u"-//W3C//DTD HTML 4.01 Frameset//";
constexpr const char16_t* kHTML401Transitional = u"-//W3C//DTD HTML 4.01 Transitional//";

HTMLQuirksMode quirksModeForDOCTYPE(const HTMLDOCTYPEToken& doctype) {
  const std::optional<String>& publicId = doctype.publicIdentifier();
  const std::optional<String>& systemId = doctype.systemIdentifier();
  // 1-2.
  if (doctype.forceQuirks() || doctype.name() != u"html") return HTMLQuirksMode::Quirks;
  if (publicId) {
    // 3-4.
    if (hasQuirksPublicPrefix(*publicId)) return HTMLQuirksMode::Quirks;
    if (equalsAny(*publicId, {u"-//W3O//DTD W3 HTML Strict 3.0//EN//", u"-/W3C/DTD HTML 4.0 Transitional/EN", u"HTML"}))
      return HTMLQuirksMode::Quirks;
  }
  // 5.
  if (systemId && equalsAny(*systemId, {u"http://www.ibm.com/data/dtd/v11/ibmxhtml1-transitional.dtd"}))
    return HTMLQuirksMode::Quirks;
  if (publicId) {
    bool html401 = startsWithAny(*publicId, {kHTML401Frameset, kHTML401Transitional});
    // 6.
    if (!systemId && html401) return HTMLQuirksMode::Quirks;
    // 7-8.
    if (startsWithAny(*publicId, {u"-//W3C//DTD XHTML 1.0 Frameset//", u"-//W3C//DTD XHTML 1.0 Transitional//"}))
      return HTMLQuirksMode::LimitedQuirks;
    if (systemId && html401) return HTMLQuirksMode::LimitedQuirks;
  }
  // 9.
  return HTMLQuirksMode::NoQuirks;
}

// The obsolete DOCTYPEs still permitted, and the plain ones.
bool isPermittedDOCTYPE(const HTMLDOCTYPEToken& doctype) {
  if (doctype.name() != u"html") return false;
  const std::optional<String>& publicId = doctype.publicIdentifier();
  const std::optional<String>& systemId = doctype.systemIdentifier();
  if (!publicId) return !systemId || *systemId == u"about:legacy-compat";
  if (*publicId == u"-//W3C//DTD HTML 4.0//EN")
    return !systemId || *systemId == u"http://www.w3.org/TR/REC-html40/strict.dtd";
  if (*publicId == u"-//W3C//DTD HTML 4.01//EN")
    return !systemId || *systemId == u"http://www.w3.org/TR/html4/strict.dtd";
  if (*publicId == u"-//W3C//DTD XHTML 1.0 Strict//EN")
    return systemId == u"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd";
  if (*publicId == u"-//W3C//DTD XHTML 1.1//EN") return systemId == u"http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd";
  return false;
}


}  // namespace

// MARK: Initial

void HTMLParser::initialInsertionModeHandleCharacterToken(HTMLToken& token) {
  ignoreLeadingWhitespace(token, &HTMLParser::initialInsertionModeHandleAnythingElse);
}

void HTMLParser::initialInsertionModeHandleCommentToken(HTMLToken& token) { insertComment(token, document_.get()); }

void HTMLParser::initialInsertionModeHandleDOCTYPEToken(HTMLToken& token) {
  const auto& doctype = std::get<HTMLDOCTYPEToken>(token);
  // 1.
  if (!isPermittedDOCTYPE(doctype)) addParseError("Invalid DOCTYPE");
  // 2.
  document_->setDocumentType(std::make_shared<HTMLDocumentType>(doctype.name().value_or(u"html"),
                                                                doctype.publicIdentifier(), doctype.systemIdentifier()));
  // 3-4.
  document_->setQuirksMode(quirksModeForDOCTYPE(doctype));
  switchInsertionMode(Mode::BeforeHtml);
}

void HTMLParser::initialInsertionModeHandleAnythingElse(HTMLToken& token) {
  addParseError("Expected DOCTYPE");
  document_->setQuirksMode(HTMLQuirksMode::Quirks);
  switchInsertionMode(Mode::BeforeHtml);
  reprocessToken(token);
}

// MARK: Before html

void HTMLParser::beforeHtmlInsertionModeHandleCharacterToken(HTMLToken& token) {
  ignoreLeadingWhitespace(token, &HTMLParser::beforeHtmlInsertionModeHandleAnythingElse);
}

void HTMLParser::beforeHtmlInsertionModeHandleCommentToken(HTMLToken& token) { insertComment(token, document_.get()); }

void HTMLParser::beforeHtmlInsertionModeHandleDOCTYPEToken(HTMLToken&) { addParseError("Unexpected DOCTYPE"); }

void HTMLParser::beforeHtmlInsertionModeHandleStartTagToken(HTMLToken& token) {
  if (startTag(token).tagName() != u"html") return beforeHtmlInsertionModeHandleAnythingElse(token);
  HTMLElementRef html = createElementForToken(startTag(token));
  document_->addChild(html);
  push(html);
  switchInsertionMode(Mode::BeforeHead);
}

void HTMLParser::beforeHtmlInsertionModeHandleEndTagToken(HTMLToken& token) {
  TagId id = tagIdForName(endTag(token).tagName());
  if (id == TagId::Head || id == TagId::Body || id == TagId::Html || id == TagId::Br) {
    return beforeHtmlInsertionModeHandleAnythingElse(token);
  }
  addParseError("Unexpected end tag named " + toUTF8(endTag(token).tagName()) + " before <html>");
}

void HTMLParser::beforeHtmlInsertionModeHandleAnythingElse(HTMLToken& token) {
  auto html = std::make_shared<HTMLElement>(u"html");
  document_->addChild(html);
  push(html);
  switchInsertionMode(Mode::BeforeHead);
  reprocessToken(token);
}

// MARK: Before head

void HTMLParser::beforeHeadInsertionModeHandleCharacterToken(HTMLToken& token) {
  ignoreLeadingWhitespace(token, &HTMLParser::beforeHeadInsertionModeHandleAnythingElse);
}

void HTMLParser::beforeHeadInsertionModeHandleCommentToken(HTMLToken& token) { insertComment(token); }

void HTMLParser::beforeHeadInsertionModeHandleDOCTYPEToken(HTMLToken&) {
  addParseError("Unexpected DOCTYPE before <head>");
}

void HTMLParser::beforeHeadInsertionModeHandleStartTagToken(HTMLToken& token) {
  TagId id = tagIdForName(startTag(token).tagName());
  if (id == TagId::Html) return processTokenUsingRulesForInsertionMode(token, Mode::InBody);
  if (id != TagId::Head) return beforeHeadInsertionModeHandleAnythingElse(token);
  headElementPointer_ = insertElementForToken(startTag(token));
  switchInsertionMode(Mode::InHead);
}

void HTMLParser::beforeHeadInsertionModeHandleEndTagToken(HTMLToken& token) {
  TagId id = tagIdForName(endTag(token).tagName());
  if (id == TagId::Head || id == TagId::Body || id == TagId::Html || id == TagId::Br) {
    return beforeHeadInsertionModeHandleAnythingElse(token);
  }
  addParseError("Unexpected end tag named " + toUTF8(endTag(token).tagName()) + " before <head>");
}

void HTMLParser::beforeHeadInsertionModeHandleAnythingElse(HTMLToken& token) {
  headElementPointer_ = insertElementNamed(u"head");
  switchInsertionMode(Mode::InHead);
  reprocessToken(token);
}

// MARK: In head

void HTMLParser::inHeadInsertionModeHandleCharacterToken(HTMLToken& token) {
  insertLeadingWhitespace(token, &HTMLParser::inHeadInsertionModeHandleAnythingElse);
}

void HTMLParser::inHeadInsertionModeHandleCommentToken(HTMLToken& token) { insertComment(token); }

void HTMLParser::inHeadInsertionModeHandleDOCTYPEToken(HTMLToken&) { addParseError("Unexpected DOCTYPE in <head>"); }

void HTMLParser::inHeadInsertionModeHandleStartTagToken(HTMLToken& token) {
  const HTMLStartTagToken& tag = startTag(token);
  switch (tagIdForName(tag.tagName())) {
    case TagId::Html: return processTokenUsingRulesForInsertionMode(token, Mode::InBody);
    case TagId::Base:
    case TagId::Basefont:
    case TagId::Bgsound:
    case TagId::Link:
      insertElementForToken(tag);
      return popCurrentNode();
    case TagId::Meta: {
      HTMLElementRef meta = insertElementForToken(tag);
      popCurrentNode();
      return checkMetaElementForEncoding(*meta);
    }
    case TagId::Title: return followGenericRCDATAElementParsingAlgorithmForToken(tag);
    case TagId::Noscript:
    case TagId::Noframes:
    case TagId::Style: return followGenericRawTextElementParsingAlgorithmForToken(tag);
    case TagId::Script:
      // Scripts are kept as text and never run.
      insertElement(createElementForToken(tag));
      tokenizer_.setState(HTMLTokenizer::ScriptData);
      return switchInsertionMode(Mode::Text);
    case TagId::Head: return addParseError("<head> already started");
    default: return inHeadInsertionModeHandleAnythingElse(token);
  }
}

void HTMLParser::inHeadInsertionModeHandleEndTagToken(HTMLToken& token) {
  TagId id = tagIdForName(endTag(token).tagName());
  if (id == TagId::Head) {
    popCurrentNode();
    return switchInsertionMode(Mode::AfterHead);
  }
  if (id == TagId::Body || id == TagId::Html || id == TagId::Br) return inHeadInsertionModeHandleAnythingElse(token);
  addParseError("Unexpected end tag named " + toUTF8(endTag(token).tagName()) + " in head");
}

void HTMLParser::inHeadInsertionModeHandleAnythingElse(HTMLToken& token) {
  popCurrentNode();
  switchInsertionMode(Mode::AfterHead);
  reprocessToken(token);
}

// MARK: After head

void HTMLParser::afterHeadInsertionModeHandleCharacterToken(HTMLToken& token) {
  insertLeadingWhitespace(token, &HTMLParser::afterHeadInsertionModeHandleAnythingElse);
}

void HTMLParser::afterHeadInsertionModeHandleCommentToken(HTMLToken& token) { insertComment(token); }

void HTMLParser::afterHeadInsertionModeHandleDOCTYPEToken(HTMLToken&) {
  addParseError("Unexpected DOCTYPE after <head>");
}

void HTMLParser::afterHeadInsertionModeHandleStartTagToken(HTMLToken& token) {
  const HTMLStartTagToken& tag = startTag(token);
  switch (tagIdForName(tag.tagName())) {
    case TagId::Html: return processTokenUsingRulesForInsertionMode(token, Mode::InBody);
    case TagId::Body:
      insertElementForToken(tag);
      framesetOkFlag_ = false;
      return switchInsertionMode(Mode::InBody);
    case TagId::Frameset:
      insertElementForToken(tag);
      return switchInsertionMode(Mode::InFrameset);
    case TagId::Base:
    case TagId::Basefont:
    case TagId::Bgsound:
    case TagId::Link:
    case TagId::Meta:
    case TagId::Noframes:
    case TagId::Script:
    case TagId::Style:
    case TagId::Title: {
      addParseError("Misnested start tag named " + toUTF8(tag.tagName()) + " after <head>");
      HTMLElementRef head = headElementPointer_;
      if (head) push(head);
      processTokenUsingRulesForInsertionMode(token, Mode::InHead);
      if (head) removeFromStack(head.get());
      return;
    }
    case TagId::Head: return addParseError("Start tag named head after <head>");
    default: return afterHeadInsertionModeHandleAnythingElse(token);
  }
}

void HTMLParser::afterHeadInsertionModeHandleEndTagToken(HTMLToken& token) {
  TagId id = tagIdForName(endTag(token).tagName());
  if (id == TagId::Body || id == TagId::Html || id == TagId::Br) return afterHeadInsertionModeHandleAnythingElse(token);
  addParseError("Unexpected end tag named " + toUTF8(endTag(token).tagName()) + " after <head>");
}

void HTMLParser::afterHeadInsertionModeHandleAnythingElse(HTMLToken& token) {
  insertElementNamed(u"body");
  switchInsertionMode(Mode::InBody);
  reprocessToken(token);
}

}  // namespace html
