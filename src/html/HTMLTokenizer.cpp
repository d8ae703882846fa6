// The tokenizer's driver, its shared steps, and the states of text, tags and
// attributes. The raw-text and script states, and those of comments, DOCTYPEs and
// CDATA sections, are in the two files beside this one.
#include "html/HTMLTokenizer.h"

#include <stdexcept>

#include "html/HTMLCodePoints.h"

namespace html {

namespace {

void lowercaseASCII(String& text) {
  for (char16_t& c : text) c = toASCIILower(c);
}

bool isASCIIAlphaCodePoint(CodePoint c) { return c < 0x80 && isASCIIAlpha(char16_t(c)); }

CodePoint lowered(CodePoint c) { return c < 0x80 ? toASCIILower(char16_t(c)) : c; }

// "Unexpected %c in ..." with the character's low eight bits.
std::string unexpected(CodePoint c, const char* where) {
  return std::string("Unexpected ") + char(c & 0xFF) + " in " + where;
}

}  // namespace

HTMLTokenizer::HTMLTokenizer(String string) : inputStream_(std::move(string)) {
  // Every complaint of the input stream becomes a parse error token.
  inputStream_.setErrorBlock([this](const std::string& message) { emitParseError(message); });
}

std::optional<HTMLToken> HTMLTokenizer::nextObject() {
  while (tokenQueue_.empty() && !done_) resume();
  if (tokenQueue_.empty()) return std::nullopt;
  HTMLToken token = std::move(tokenQueue_.front());
  tokenQueue_.pop_front();
  return token;
}

void HTMLTokenizer::resume() {
  switch (state_) {
    case Data: return dataState();
    case CharacterReferenceInData: return characterReferenceInDataState();
    case RCDATA: return RCDATAState();
    case CharacterReferenceInRCDATA: return characterReferenceInRCDATAState();
    case RAWTEXT: return RAWTEXTState();
    case ScriptData: return scriptDataState();
    case PLAINTEXT: return PLAINTEXTState();
    case TagOpen: return tagOpenState();
    case EndTagOpen: return endTagOpenState();
    case TagName: return tagNameState();
    case RCDATALessThanSign: return RCDATALessThanSignState();
    case RCDATAEndTagOpen: return RCDATAEndTagOpenState();
    case RCDATAEndTagName: return RCDATAEndTagNameState();
    case RAWTEXTLessThanSign: return RAWTEXTLessThanSignState();
    case RAWTEXTEndTagOpen: return RAWTEXTEndTagOpenState();
    case RAWTEXTEndTagName: return RAWTEXTEndTagNameState();
    case ScriptDataLessThanSign: return scriptDataLessThanSignState();
    case ScriptDataEndTagOpen: return scriptDataEndTagOpenState();
    case ScriptDataEndTagName: return scriptDataEndTagNameState();
    case ScriptDataEscapeStart: return scriptDataEscapeStartState();
    case ScriptDataEscapeStartDash: return scriptDataEscapeStartDashState();
    case ScriptDataEscaped: return scriptDataEscapedState();
    case ScriptDataEscapedDash: return scriptDataEscapedDashState();
    case ScriptDataEscapedDashDash: return scriptDataEscapedDashDashState();
    case ScriptDataEscapedLessThanSign: return scriptDataEscapedLessThanSignState();
    case ScriptDataEscapedEndTagOpen: return scriptDataEscapedEndTagOpenState();
    case ScriptDataEscapedEndTagName: return scriptDataEscapedEndTagNameState();
    case ScriptDataDoubleEscapeStart: return scriptDataDoubleEscapeStartState();
    case ScriptDataDoubleEscaped: return scriptDataDoubleEscapedState();
    case ScriptDataDoubleEscapedDash: return scriptDataDoubleEscapedDashState();
    case ScriptDataDoubleEscapedDashDash: return scriptDataDoubleEscapedDashDashState();
    case ScriptDataDoubleEscapedLessThanSign: return scriptDataDoubleEscapedLessThanSignState();
    case ScriptDataDoubleEscapeEnd: return scriptDataDoubleEscapeEndState();
    case BeforeAttributeName: return beforeAttributeNameState();
    case AttributeName: return attributeNameState();
    case AfterAttributeName: return afterAttributeNameState();
    case BeforeAttributeValue: return beforeAttributeValueState();
    case AttributeValueDoubleQuoted: return attributeValueDoubleQuotedState();
    case AttributeValueSingleQuoted: return attributeValueSingleQuotedState();
    case AttributeValueUnquoted: return attributeValueUnquotedState();
    case CharacterReferenceInAttributeValue: return characterReferenceInAttributeValueState();
    case AfterAttributeValueQuoted: return afterAttributeValueQuotedState();
    case SelfClosingStartTag: return selfClosingStartTagState();
    case BogusComment: return bogusCommentState();
    case MarkupDeclarationOpen: return markupDeclarationOpenState();
    case CommentStart: return commentStartState();
    case CommentStartDash: return commentStartDashState();
    case Comment: return commentState();
    case CommentEndDash: return commentEndDashState();
    case CommentEnd: return commentEndState();
    case CommentEndBang: return commentEndBangState();
    case DOCTYPE: return DOCTYPEState();
    case BeforeDOCTYPEName: return beforeDOCTYPENameState();
    case DOCTYPEName: return DOCTYPENameState();
    case AfterDOCTYPEName: return afterDOCTYPENameState();
    case AfterDOCTYPEPublicKeyword: return afterDOCTYPEPublicKeywordState();
    case BeforeDOCTYPEPublicIdentifier: return beforeDOCTYPEPublicIdentifierState();
    case DOCTYPEPublicIdentifierDoubleQuoted: return DOCTYPEPublicIdentifierDoubleQuotedState();
    case DOCTYPEPublicIdentifierSingleQuoted: return DOCTYPEPublicIdentifierSingleQuotedState();
    case AfterDOCTYPEPublicIdentifier: return afterDOCTYPEPublicIdentifierState();
    case BetweenDOCTYPEPublicAndSystemIdentifiers: return betweenDOCTYPEPublicAndSystemIdentifiersState();
    case AfterDOCTYPESystemKeyword: return afterDOCTYPESystemKeywordState();
    case BeforeDOCTYPESystemIdentifier: return beforeDOCTYPESystemIdentifierState();
    case DOCTYPESystemIdentifierDoubleQuoted: return DOCTYPESystemIdentifierDoubleQuotedState();
    case DOCTYPESystemIdentifierSingleQuoted: return DOCTYPESystemIdentifierSingleQuotedState();
    case AfterDOCTYPESystemIdentifier: return afterDOCTYPESystemIdentifierState();
    case BogusDOCTYPE: return bogusDOCTYPEState();
    case CDATASection: return CDATASectionState();
  }
  throw std::logic_error("unexpected state " + std::to_string(state_));
}

// MARK: Shared steps

void HTMLTokenizer::emit(HTMLToken token) {
  if (auto* start = std::get_if<HTMLStartTagToken>(&token)) {
    mostRecentEmittedStartTagName_ = start->tagName();
  } else if (auto* end = std::get_if<HTMLEndTagToken>(&token)) {
    if (!end->attributes().empty() || end->selfClosingFlag()) {
      emitParseError("End tag with attributes and/or self-closing flag");
    }
  }
  tokenQueue_.push_back(std::move(token));
}

void HTMLTokenizer::emitParseError(std::string message) {
  tokenQueue_.emplace_back(HTMLParseErrorToken(std::move(message)));
}

void HTMLTokenizer::emitCharacterToken(CodePoint c) {
  tokenQueue_.emplace_back(HTMLCharacterToken(StringWithLongCharacter(c)));
}

void HTMLTokenizer::emitCharacterTokenWithString(String string) {
  if (string.empty()) return;
  tokenQueue_.emplace_back(HTMLCharacterToken(std::move(string)));
}

void HTMLTokenizer::emitCurrentToken() {
  switch (currentKind_) {
    case TokenKind::StartTag: emit(std::exchange(startTag_, {})); break;
    case TokenKind::EndTag: emit(std::exchange(endTag_, {})); break;
    case TokenKind::Comment: emit(std::exchange(comment_, {})); break;
    case TokenKind::DOCTYPE: emit(std::exchange(doctype_, {})); break;
    case TokenKind::None: break;
  }
  currentKind_ = TokenKind::None;
}

bool HTMLTokenizer::currentTagIsAppropriateEndTagToken() const {
  return currentKind_ == TokenKind::EndTag && mostRecentEmittedStartTagName_ &&
         endTag_.tagName() == *mostRecentEmittedStartTagName_;
}

void HTMLTokenizer::startTagToken(CodePoint firstCharacter) {
  startTag_ = HTMLStartTagToken();
  startTag_.appendLongCharacterToTagName(firstCharacter);
  currentKind_ = TokenKind::StartTag;
}

void HTMLTokenizer::startEndTagToken(CodePoint firstCharacter) {
  endTag_ = HTMLEndTagToken();
  endTag_.appendLongCharacterToTagName(firstCharacter);
  currentKind_ = TokenKind::EndTag;
}

void HTMLTokenizer::startAttribute(CodePoint firstCharacter) {
  hasCurrentAttribute_ = true;
  currentAttributeName_.clear();
  AppendLongCharacter(currentAttributeName_, firstCharacter);
  currentAttributeValue_.reset();
}

void HTMLTokenizer::addCurrentAttributeToCurrentToken() {
  if (!hasCurrentAttribute_) return;
  HTMLOrderedDictionary& attributes = currentTag().attributes();
  if (attributes.objectForKey(currentAttributeName_)) {
    // The first of two attributes of one name wins.
    emitParseError("Duplicate attribute");
  } else {
    attributes.setObject(currentAttributeValue_ ? std::move(*currentAttributeValue_) : String(),
                         currentAttributeName_);
  }
  hasCurrentAttribute_ = false;
  currentAttributeName_.clear();
  currentAttributeValue_.reset();
}

// MARK: Text

void HTMLTokenizer::dataState() {
  // A NUL here is reported and passed on; the tree builder decides what to do with it.
  emitCharacterTokenWithString(
      consumeRun([](CodePoint c) { return c == '&' || c == '<'; }, "U+0000 NULL in data state", true));
  switch (consumeNextInputCharacter()) {
    case '&': return switchToState(CharacterReferenceInData);
    case '<': return switchToState(TagOpen);
    case EOFCodePoint: done_ = true; return;
  }
}

void HTMLTokenizer::characterReferenceInDataState() {
  switchToState(Data);
  additionalAllowedCharacter_ = EOFCodePoint;
  std::optional<String> characters = attemptToConsumeCharacterReference();
  emitCharacterTokenWithString(characters ? std::move(*characters) : String(u"&"));
}

void HTMLTokenizer::RCDATAState() {
  emitCharacterTokenWithString(
      consumeRun([](CodePoint c) { return c == '&' || c == '<'; }, "U+0000 NULL in RCDATA state"));
  switch (consumeNextInputCharacter()) {
    case '&': return switchToState(CharacterReferenceInRCDATA);
    case '<': return switchToState(RCDATALessThanSign);
    case EOFCodePoint: done_ = true; return;
  }
}

void HTMLTokenizer::characterReferenceInRCDATAState() {
  switchToState(RCDATA);
  additionalAllowedCharacter_ = EOFCodePoint;
  std::optional<String> characters = attemptToConsumeCharacterReference();
  emitCharacterTokenWithString(characters ? std::move(*characters) : String(u"&"));
}

void HTMLTokenizer::RAWTEXTState() {
  emitCharacterTokenWithString(consumeRun([](CodePoint c) { return c == '<'; }, "U+0000 NULL in RAWTEXT state"));
  switch (consumeNextInputCharacter()) {
    case '<': return switchToState(RAWTEXTLessThanSign);
    case EOFCodePoint: done_ = true; return;
  }
}

void HTMLTokenizer::scriptDataState() {
  emitCharacterTokenWithString(
      consumeRun([](CodePoint c) { return c == '<'; }, "U+0000 NULL in script data state"));
  switch (consumeNextInputCharacter()) {
    case '<': return switchToState(ScriptDataLessThanSign);
    case EOFCodePoint: done_ = true; return;
  }
}

void HTMLTokenizer::PLAINTEXTState() {
  emitCharacterTokenWithString(consumeRun([](CodePoint) { return false; }, "U+0000 NULL in PLAINTEXT state"));
  consumeNextInputCharacter();
  done_ = true;
}

// MARK: Tags

void HTMLTokenizer::tagOpenState() {
  CodePoint c = consumeNextInputCharacter();
  if (c == '!') return switchToState(MarkupDeclarationOpen);
  if (c == '/') return switchToState(EndTagOpen);
  if (isASCIIAlphaCodePoint(c)) {
    startTagToken(lowered(c));
    return switchToState(TagName);
  }
  if (c == '?') {
    // The "?" starts the bogus comment's text.
    emitParseError("Bogus ? in tag open state");
    switchToState(BogusComment);
    return reconsume();
  }
  emitParseError("Unexpected character in tag open state");
  switchToState(Data);
  emitCharacterToken('<');
  reconsume();
}

void HTMLTokenizer::endTagOpenState() {
  CodePoint c = consumeNextInputCharacter();
  if (isASCIIAlphaCodePoint(c)) {
    startEndTagToken(lowered(c));
    return switchToState(TagName);
  }
  if (c == '>') {
    emitParseError("Unexpected > in end tag open state");
    return switchToState(Data);
  }
  if (c == EOFCodePoint) {
    emitParseError("EOF in end tag open state");
    switchToState(Data);
    emitCharacterTokenWithString(u"</");
    return reconsume();
  }
  // The character starts the bogus comment's text.
  emitParseError("Unexpected character in end tag open state");
  switchToState(BogusComment);
  reconsume();
}

void HTMLTokenizer::tagNameState() {
  String run = consumeRun([](CodePoint c) { return is_whitespace(c) || c == '/' || c == '>'; },
                          "U+0000 NULL in tag name state");
  lowercaseASCII(run);
  HTMLTagToken& tag = currentTag();
  tag.setTagName(tag.tagName() + run);
  CodePoint c = consumeNextInputCharacter();
  if (is_whitespace(c)) return switchToState(BeforeAttributeName);
  if (c == '/') return switchToState(SelfClosingStartTag);
  if (c == '>') {
    switchToState(Data);
    return emitCurrentToken();
  }
  // The end of input drops the tag.
  emitParseError("EOF in tag name state");
  currentKind_ = TokenKind::None;
  switchToState(Data);
  reconsume();
}

// MARK: Attributes

void HTMLTokenizer::beforeAttributeNameState() {
  CodePoint c;
  do c = consumeNextInputCharacter();
  while (is_whitespace(c));
  switch (c) {
    case '/': return switchToState(SelfClosingStartTag);
    case '>':
      switchToState(Data);
      return emitCurrentToken();
    case 0:
      emitParseError("U+0000 NULL in before attribute name state");
      startAttribute(0xFFFD);
      return switchToState(AttributeName);
    case '"':
    case '\'':
    case '<':
    case '=':
      emitParseError(unexpected(c, "before attribute name state"));
      break;
    case EOFCodePoint:
      emitParseError("EOF in before attribute name state");
      currentKind_ = TokenKind::None;
      switchToState(Data);
      return reconsume();
  }
  startAttribute(lowered(c));
  switchToState(AttributeName);
}

void HTMLTokenizer::attributeNameState() {
  String run = consumeRun(
      [this](CodePoint c) {
        if (c == '"' || c == '\'' || c == '<') emitParseError(unexpected(c, "attribute name state"));
        return is_whitespace(c) || c == '/' || c == '=' || c == '>';
      },
      "U+0000 NULL in attribute name state");
  lowercaseASCII(run);
  currentAttributeName_ += run;
  CodePoint c = consumeNextInputCharacter();
  if (is_whitespace(c)) return switchToState(AfterAttributeName);
  switch (c) {
    case '/':
      addCurrentAttributeToCurrentToken();
      return switchToState(SelfClosingStartTag);
    case '=': return switchToState(BeforeAttributeValue);
    case '>':
      addCurrentAttributeToCurrentToken();
      switchToState(Data);
      return emitCurrentToken();
  }
  emitParseError("EOF in attribute name state");
  addCurrentAttributeToCurrentToken();
  currentKind_ = TokenKind::None;
  switchToState(Data);
  reconsume();
}

void HTMLTokenizer::afterAttributeNameState() {
  CodePoint c;
  do c = consumeNextInputCharacter();
  while (is_whitespace(c));
  switch (c) {
    case '/':
      addCurrentAttributeToCurrentToken();
      return switchToState(SelfClosingStartTag);
    case '=': return switchToState(BeforeAttributeValue);
    case '>':
      addCurrentAttributeToCurrentToken();
      switchToState(Data);
      return emitCurrentToken();
    case 0:
      emitParseError("U+0000 NULL in after attribute name state");
      addCurrentAttributeToCurrentToken();
      startAttribute(0xFFFD);
      return switchToState(AttributeName);
    case '"':
    case '\'':
    case '<':
      emitParseError(unexpected(c, "after attribute name state"));
      break;
    case EOFCodePoint:
      emitParseError("EOF in after attribute name state");
      addCurrentAttributeToCurrentToken();
      currentKind_ = TokenKind::None;
      switchToState(Data);
      return reconsume();
  }
  addCurrentAttributeToCurrentToken();
  startAttribute(lowered(c));
  switchToState(AttributeName);
}

void HTMLTokenizer::beforeAttributeValueState() {
  CodePoint c;
  do c = consumeNextInputCharacter();
  while (is_whitespace(c));
  switch (c) {
    case '"':
      currentAttributeValue_.emplace();
      return switchToState(AttributeValueDoubleQuoted);
    case '&':
      currentAttributeValue_.emplace();
      switchToState(AttributeValueUnquoted);
      return reconsume();
    case '\'':
      currentAttributeValue_.emplace();
      return switchToState(AttributeValueSingleQuoted);
    case 0:
      emitParseError("U+0000 NULL in before attribute value state");
      currentAttributeValue_.emplace(u"\uFFFD");
      return switchToState(AttributeValueUnquoted);
    case '>':
      emitParseError("Unexpected > in before attribute value state");
      addCurrentAttributeToCurrentToken();
      switchToState(Data);
      return emitCurrentToken();
    case '<':
    case '=':
    case '`':
      emitParseError(unexpected(c, "before attribute value state"));
      break;
    case EOFCodePoint:
      emitParseError("EOF in before attribute value state");
      addCurrentAttributeToCurrentToken();
      currentKind_ = TokenKind::None;
      switchToState(Data);
      return reconsume();
  }
  currentAttributeValue_.emplace();
  AppendLongCharacter(*currentAttributeValue_, c);
  switchToState(AttributeValueUnquoted);
}

void HTMLTokenizer::attributeValueQuotedState(char16_t quote, int self, const char* nullMessage,
                                              const char* eofMessage) {
  if (!currentAttributeValue_) currentAttributeValue_.emplace();
  *currentAttributeValue_ += consumeRun([quote](CodePoint c) { return c == quote || c == '&'; }, nullMessage);
  CodePoint c = consumeNextInputCharacter();
  if (c == quote) return switchToState(AfterAttributeValueQuoted);
  if (c == '&') {
    additionalAllowedCharacter_ = quote;
    sourceAttributeValueState_ = self;
    return switchToState(CharacterReferenceInAttributeValue);
  }
  emitParseError(eofMessage);
  addCurrentAttributeToCurrentToken();
  currentKind_ = TokenKind::None;
  switchToState(Data);
  reconsume();
}

void HTMLTokenizer::attributeValueDoubleQuotedState() {
  attributeValueQuotedState(u'"', AttributeValueDoubleQuoted, "U+0000 NULL in attribute value double quoted state",
                            "EOF in attribute value double quoted state");
}

void HTMLTokenizer::attributeValueSingleQuotedState() {
  attributeValueQuotedState(u'\'', AttributeValueSingleQuoted,
                            "U+0000 NULL in attribute value single quoted state",
                            "EOF in attribute value single quoted state");
}

void HTMLTokenizer::attributeValueUnquotedState() {
  if (!currentAttributeValue_) currentAttributeValue_.emplace();
  *currentAttributeValue_ += consumeRun(
      [this](CodePoint c) {
        if (c == '"' || c == '\'' || c == '<' || c == '=' || c == '`') {
          emitParseError(unexpected(c, "attribute value unquoted state"));
        }
        return is_whitespace(c) || c == '&' || c == '>';
      },
      "U+0000 NULL in attribute value unquoted state");
  CodePoint c = consumeNextInputCharacter();
  if (is_whitespace(c)) {
    addCurrentAttributeToCurrentToken();
    return switchToState(BeforeAttributeName);
  }
  if (c == '&') {
    additionalAllowedCharacter_ = '>';
    sourceAttributeValueState_ = AttributeValueUnquoted;
    return switchToState(CharacterReferenceInAttributeValue);
  }
  if (c == '>') {
    addCurrentAttributeToCurrentToken();
    switchToState(Data);
    return emitCurrentToken();
  }
  emitParseError("EOF in attribute value unquoted state");
  addCurrentAttributeToCurrentToken();
  currentKind_ = TokenKind::None;
  switchToState(Data);
  reconsume();
}

void HTMLTokenizer::characterReferenceInAttributeValueState() {
  std::optional<String> characters = attemptToConsumeCharacterReferenceAsPartOfAnAttribute();
  if (!currentAttributeValue_) currentAttributeValue_.emplace();
  *currentAttributeValue_ += characters ? *characters : String(u"&");
  switchToState(sourceAttributeValueState_);
}

void HTMLTokenizer::afterAttributeValueQuotedState() {
  CodePoint c = consumeNextInputCharacter();
  addCurrentAttributeToCurrentToken();
  if (is_whitespace(c)) return switchToState(BeforeAttributeName);
  if (c == '/') return switchToState(SelfClosingStartTag);
  if (c == '>') {
    switchToState(Data);
    return emitCurrentToken();
  }
  if (c == EOFCodePoint) {
    emitParseError("EOF in after attribute value quoted state");
    currentKind_ = TokenKind::None;
    switchToState(Data);
    return reconsume();
  }
  emitParseError("Unexpected character in after attribute value quoted state");
  switchToState(BeforeAttributeName);
  reconsume();
}

void HTMLTokenizer::selfClosingStartTagState() {
  CodePoint c = consumeNextInputCharacter();
  if (c == '>') {
    currentTag().setSelfClosingFlag(true);
    switchToState(Data);
    return emitCurrentToken();
  }
  if (c == EOFCodePoint) {
    emitParseError("EOF in self closing start tag state");
    currentKind_ = TokenKind::None;
    switchToState(Data);
    return reconsume();
  }
  emitParseError("Unexpected character in self closing start tag state");
  switchToState(BeforeAttributeName);
  reconsume();
}

}  // namespace html
