// The select modes, the frameset modes, and the modes after the body and after the
// frameset.
#include "html/HTMLComment.h"
#include "html/HTMLParser.h"
#include "html/HTMLParserTokenAccess.h"

namespace html {

// MARK: Shared steps

void HTMLParser::insertFramesetWhitespace(const HTMLCharacterToken& token, const char* error) {
  EnumerateLongCharacters(token.string(), [&](CodePoint c) {
    if (is_whitespace(c)) {
      insertString(StringWithLongCharacter(c));
    } else {
      addParseError(error);
    }
  });
}

// MARK: In select

void HTMLParser::inSelectInsertionModeHandleCharacterToken(HTMLToken& token) {
  String kept;
  for (char16_t c : std::get<HTMLCharacterToken>(token).string()) {
    if (c == 0) {
      addParseError("Ignoring U+0000 NULL in <select>");
    } else {
      kept += c;
    }
  }
  if (!kept.empty()) insertString(kept);
}

void HTMLParser::inSelectInsertionModeHandleCommentToken(HTMLToken& token) { insertComment(token); }

void HTMLParser::inSelectInsertionModeHandleDOCTYPEToken(HTMLToken&) { addParseError("Unexpected DOCTYPE in <select>"); }

void HTMLParser::inSelectInsertionModeHandleStartTagToken(HTMLToken& token) {
  const HTMLStartTagToken& tag = startTag(token);
  switch (tagIdForName(tag.tagName())) {
    case TagId::Html: return processTokenUsingRulesForInsertionMode(token, Mode::InBody);
    case TagId::Option:
      if (currentNodeIs(TagId::Option)) popCurrentNode();
      insertElementForToken(tag);
      return;
    case TagId::Optgroup:
      if (currentNodeIs(TagId::Option)) popCurrentNode();
      if (currentNodeIs(TagId::Optgroup)) popCurrentNode();
      insertElementForToken(tag);
      return;
    case TagId::Select:
      addParseError("Nested start tag 'select' in <select>");
      if (!selectElementInSelectScope()) return;
      popUntilElementNamed(TagId::Select);
      return resetInsertionModeAppropriately();
    case TagId::Input:
    case TagId::Keygen:
    case TagId::Textarea:
      addParseError(named("Start tag '%@' in <select>", tag.tagName()));
      if (!selectElementInSelectScope()) return;
      popUntilElementNamed(TagId::Select);
      resetInsertionModeAppropriately();
      return reprocessToken(token);
    case TagId::Script: return processTokenUsingRulesForInsertionMode(token, Mode::InHead);
    default: return inSelectInsertionModeHandleAnythingElse(token);
  }
}

void HTMLParser::inSelectInsertionModeHandleEndTagToken(HTMLToken& token) {
  switch (tagIdForName(endTag(token).tagName())) {
    case TagId::Optgroup:
      if (currentNodeIs(TagId::Option) && stack_.size() >= 2 && stack_[stack_.size() - 2]->tagId() == TagId::Optgroup) {
        popCurrentNode();
      }
      if (!currentNodeIs(TagId::Optgroup)) return addParseError("Misnested end tag 'optgroup' in <select>");
      return popCurrentNode();
    case TagId::Option:
      if (!currentNodeIs(TagId::Option)) return addParseError("Misnested end tag 'option' in <select>");
      return popCurrentNode();
    case TagId::Select:
      if (!selectElementInSelectScope()) return addParseError("End tag 'select' for unknown element in <select>");
      popUntilElementNamed(TagId::Select);
      return resetInsertionModeAppropriately();
    default: return inSelectInsertionModeHandleAnythingElse(token);
  }
}

void HTMLParser::inSelectInsertionModeHandleEOFToken(HTMLToken& token) {
  processTokenUsingRulesForInsertionMode(token, Mode::InBody);
}

void HTMLParser::inSelectInsertionModeHandleAnythingElse(HTMLToken&) { addParseError("Unexpected token in <select>"); }

// MARK: In select in table

void HTMLParser::inSelectInTableInsertionModeHandleStartTagToken(HTMLToken& token) {
  const HTMLStartTagToken& tag = startTag(token);
  switch (tagIdForName(tag.tagName())) {
    case TagId::Caption:
    case TagId::Table:
    case TagId::Tbody:
    case TagId::Tfoot:
    case TagId::Thead:
    case TagId::Tr:
    case TagId::Td:
    case TagId::Th:
      addParseError(named("Start tag '%@' in <select> in <table>", tag.tagName()));
      popUntilElementNamed(TagId::Select);
      resetInsertionModeAppropriately();
      return reprocessToken(token);
    default: return processTokenUsingRulesForInsertionMode(token, Mode::InSelect);
  }
}

void HTMLParser::inSelectInTableInsertionModeHandleEndTagToken(HTMLToken& token) {
  const HTMLEndTagToken& tag = endTag(token);
  const TagId id = tagIdForName(tag.tagName());
  switch (id) {
    case TagId::Caption:
    case TagId::Table:
    case TagId::Tbody:
    case TagId::Tfoot:
    case TagId::Thead:
    case TagId::Tr:
    case TagId::Td:
    case TagId::Th:
      addParseError(named("End tag '%@' in <select> in <table>", tag.tagName()));
      if (!elementInTableScopeWithTagName(id)) return;
      popUntilElementNamed(TagId::Select);
      resetInsertionModeAppropriately();
      return reprocessToken(token);
    default: return processTokenUsingRulesForInsertionMode(token, Mode::InSelect);
  }
}

// MARK: After body

void HTMLParser::afterBodyInsertionModeHandleCharacterToken(HTMLToken& token) {
  splitLeadingWhitespaceToInBody(token, &HTMLParser::afterBodyInsertionModeHandleAnythingElse);
}

void HTMLParser::afterBodyInsertionModeHandleCommentToken(HTMLToken& token) {
  insertComment(token, stack_.empty() ? static_cast<HTMLNode*>(document_.get()) : stack_.front().get());
}

void HTMLParser::afterBodyInsertionModeHandleDOCTYPEToken(HTMLToken&) { addParseError("Unexpected DOCTYPE after body"); }

void HTMLParser::afterBodyInsertionModeHandleStartTagToken(HTMLToken& token) {
  if (tagIdForName(startTag(token).tagName()) == TagId::Html) {
    return processTokenUsingRulesForInsertionMode(token, Mode::InBody);
  }
  afterBodyInsertionModeHandleAnythingElse(token);
}

void HTMLParser::afterBodyInsertionModeHandleEndTagToken(HTMLToken& token) {
  if (tagIdForName(endTag(token).tagName()) != TagId::Html) return afterBodyInsertionModeHandleAnythingElse(token);
  if (fragmentParsingAlgorithm_) return addParseError("End tag 'html' parsing fragment after body");
  switchInsertionMode(Mode::AfterAfterBody);
}

void HTMLParser::afterBodyInsertionModeHandleEOFToken(HTMLToken&) { stopParsing(); }

void HTMLParser::afterBodyInsertionModeHandleAnythingElse(HTMLToken& token) {
  addParseError("Unexpected token after body");
  switchInsertionMode(Mode::InBody);
  reprocessToken(token);
}

// MARK: In frameset

void HTMLParser::inFramesetInsertionModeHandleCharacterToken(HTMLToken& token) {
  insertFramesetWhitespace(std::get<HTMLCharacterToken>(token), "Unexpected token in <frameset>");
}

void HTMLParser::inFramesetInsertionModeHandleCommentToken(HTMLToken& token) { insertComment(token); }

void HTMLParser::inFramesetInsertionModeHandleDOCTYPEToken(HTMLToken&) {
  addParseError("Unexpected DOCTYPE in <frameset>");
}

void HTMLParser::inFramesetInsertionModeHandleStartTagToken(HTMLToken& token) {
  switch (tagIdForName(startTag(token).tagName())) {
    case TagId::Html: return processTokenUsingRulesForInsertionMode(token, Mode::InBody);
    case TagId::Frameset:
      insertElementForToken(startTag(token));
      return;
    case TagId::Frame:
      insertElementForToken(startTag(token));
      return popCurrentNode();
    case TagId::Noframes: return processTokenUsingRulesForInsertionMode(token, Mode::InHead);
    default: return inFramesetInsertionModeHandleAnythingElse(token);
  }
}

void HTMLParser::inFramesetInsertionModeHandleEndTagToken(HTMLToken& token) {
  if (tagIdForName(endTag(token).tagName()) != TagId::Frameset) return inFramesetInsertionModeHandleAnythingElse(token);
  if (stack_.size() == 1 && currentNodeIs(TagId::Html)) {
    return addParseError("Misnested end tag 'frameset' in <frameset>");
  }
  popCurrentNode();
  if (!fragmentParsingAlgorithm_ && !currentNodeIs(TagId::Frameset)) switchInsertionMode(Mode::AfterFrameset);
}

void HTMLParser::inFramesetInsertionModeHandleEOFToken(HTMLToken&) {
  if (!(currentNodeIs(TagId::Html) && stack_.size() == 1)) addParseError("Unexpected EOF in <frameset>");
  stopParsing();
}

void HTMLParser::inFramesetInsertionModeHandleAnythingElse(HTMLToken&) {
  addParseError("Unexpected token in <frameset>");
}

// MARK: After frameset

void HTMLParser::afterFramesetInsertionModeHandleCharacterToken(HTMLToken& token) {
  insertFramesetWhitespace(std::get<HTMLCharacterToken>(token), "Unexpected token after <frameset>");
}

void HTMLParser::afterFramesetInsertionModeHandleCommentToken(HTMLToken& token) { insertComment(token); }

void HTMLParser::afterFramesetInsertionModeHandleDOCTYPEToken(HTMLToken&) {
  addParseError("Unexpected DOCTYPE after <frameset>");
}

void HTMLParser::afterFramesetInsertionModeHandleStartTagToken(HTMLToken& token) {
  switch (tagIdForName(startTag(token).tagName())) {
    case TagId::Html: return processTokenUsingRulesForInsertionMode(token, Mode::InBody);
    case TagId::Noframes: return processTokenUsingRulesForInsertionMode(token, Mode::InHead);
    default: return afterFramesetInsertionModeHandleAnythingElse(token);
  }
}

void HTMLParser::afterFramesetInsertionModeHandleEndTagToken(HTMLToken& token) {
  if (tagIdForName(endTag(token).tagName()) != TagId::Html) return afterFramesetInsertionModeHandleAnythingElse(token);
  switchInsertionMode(Mode::AfterAfterFrameset);
}

void HTMLParser::afterFramesetInsertionModeHandleEOFToken(HTMLToken&) { stopParsing(); }

void HTMLParser::afterFramesetInsertionModeHandleAnythingElse(HTMLToken&) {
  addParseError("Unexpected token after <frameset>");
}

// MARK: After after body

void HTMLParser::afterAfterBodyInsertionModeHandleCharacterToken(HTMLToken& token) {
  splitLeadingWhitespaceToInBody(token, &HTMLParser::afterAfterBodyInsertionModeHandleAnythingElse);
}

void HTMLParser::afterAfterBodyInsertionModeHandleCommentToken(HTMLToken& token) {
  insertComment(token, document_.get());
}

void HTMLParser::afterAfterBodyInsertionModeHandleDOCTYPEToken(HTMLToken& token) {
  processTokenUsingRulesForInsertionMode(token, Mode::InBody);
}

void HTMLParser::afterAfterBodyInsertionModeHandleStartTagToken(HTMLToken& token) {
  if (tagIdForName(startTag(token).tagName()) == TagId::Html) {
    return processTokenUsingRulesForInsertionMode(token, Mode::InBody);
  }
  afterAfterBodyInsertionModeHandleAnythingElse(token);
}

void HTMLParser::afterAfterBodyInsertionModeHandleEOFToken(HTMLToken&) { stopParsing(); }

void HTMLParser::afterAfterBodyInsertionModeHandleAnythingElse(HTMLToken& token) {
  addParseError("Unexpected token after after <body>");
  switchInsertionMode(Mode::InBody);
  reprocessToken(token);
}

// MARK: After after frameset

void HTMLParser::afterAfterFramesetInsertionModeHandleCharacterToken(HTMLToken& token) {
  splitLeadingWhitespaceToInBody(token, &HTMLParser::afterAfterFramesetInsertionModeHandleAnythingElse);
}

void HTMLParser::afterAfterFramesetInsertionModeHandleCommentToken(HTMLToken& token) {
  insertComment(token, document_.get());
}

void HTMLParser::afterAfterFramesetInsertionModeHandleDOCTYPEToken(HTMLToken& token) {
  processTokenUsingRulesForInsertionMode(token, Mode::InBody);
}

void HTMLParser::afterAfterFramesetInsertionModeHandleStartTagToken(HTMLToken& token) {
  switch (tagIdForName(startTag(token).tagName())) {
    case TagId::Html: return processTokenUsingRulesForInsertionMode(token, Mode::InBody);
    case TagId::Noframes: return processTokenUsingRulesForInsertionMode(token, Mode::InHead);
    default: return afterAfterFramesetInsertionModeHandleAnythingElse(token);
  }
}

void HTMLParser::afterAfterFramesetInsertionModeHandleEOFToken(HTMLToken&) { stopParsing(); }

void HTMLParser::afterAfterFramesetInsertionModeHandleAnythingElse(HTMLToken&) {
  addParseError("Unexpected token after after <frameset>");
}

}  // namespace html
