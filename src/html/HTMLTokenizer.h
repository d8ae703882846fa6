#pragma once
// The tokenization stage of HTML parsing: a state machine over the preprocessed input
// that hands out tokens one at a time. It follows the standard's tokenizer in the
// version with separate character-reference states (68 states, numbered as below).
// Malformed markup never stops it: every problem becomes a parse error token in the
// sequence, in the order the standard reports it.
//
// The tree builder reads one token, processes it, and only then asks for the next,
// because processing may switch the state (after a title, textarea, style, script or
// plaintext start tag) and the next token must be cut in that state.
#include <deque>
#include <optional>
#include <string>

#include "html/HTMLPreprocessedInputStream.h"
#include "html/HTMLToken.h"

namespace html {

class HTMLElement;

// The tree builder as the tokenizer sees it (HTMLParser is one): a CDATA section is only
// allowed while its adjusted current node is a foreign element.
class HTMLTokenizerParser {
 public:
  virtual ~HTMLTokenizerParser() = default;
  virtual HTMLElement* adjustedCurrentNode() const = 0;
};

class HTMLTokenizer {
 public:
  enum State : int {
    Data = 0,
    CharacterReferenceInData = 1,
    RCDATA = 2,
    CharacterReferenceInRCDATA = 3,
    RAWTEXT = 4,
    ScriptData = 5,
    PLAINTEXT = 6,
    TagOpen = 7,
    EndTagOpen = 8,
    TagName = 9,
    RCDATALessThanSign = 10,
    RCDATAEndTagOpen = 11,
    RCDATAEndTagName = 12,
    RAWTEXTLessThanSign = 13,
    RAWTEXTEndTagOpen = 14,
    RAWTEXTEndTagName = 15,
    ScriptDataLessThanSign = 16,
    ScriptDataEndTagOpen = 17,
    ScriptDataEndTagName = 18,
    ScriptDataEscapeStart = 19,
    ScriptDataEscapeStartDash = 20,
    ScriptDataEscaped = 21,
    ScriptDataEscapedDash = 22,
    ScriptDataEscapedDashDash = 23,
    ScriptDataEscapedLessThanSign = 24,
    ScriptDataEscapedEndTagOpen = 25,
    ScriptDataEscapedEndTagName = 26,
    ScriptDataDoubleEscapeStart = 27,
    ScriptDataDoubleEscaped = 28,
    ScriptDataDoubleEscapedDash = 29,
    ScriptDataDoubleEscapedDashDash = 30,
    ScriptDataDoubleEscapedLessThanSign = 31,
    ScriptDataDoubleEscapeEnd = 32,
    BeforeAttributeName = 33,
    AttributeName = 34,
    AfterAttributeName = 35,
    BeforeAttributeValue = 36,
    AttributeValueDoubleQuoted = 37,
    AttributeValueSingleQuoted = 38,
    AttributeValueUnquoted = 39,
    CharacterReferenceInAttributeValue = 40,
    AfterAttributeValueQuoted = 41,
    SelfClosingStartTag = 42,
    BogusComment = 43,
    MarkupDeclarationOpen = 44,
    CommentStart = 45,
    CommentStartDash = 46,
    Comment = 47,
    CommentEndDash = 48,
    CommentEnd = 49,
    CommentEndBang = 50,
    DOCTYPE = 51,
    BeforeDOCTYPEName = 52,
    DOCTYPEName = 53,
    AfterDOCTYPEName = 54,
    AfterDOCTYPEPublicKeyword = 55,
    BeforeDOCTYPEPublicIdentifier = 56,
    DOCTYPEPublicIdentifierDoubleQuoted = 57,
    DOCTYPEPublicIdentifierSingleQuoted = 58,
    AfterDOCTYPEPublicIdentifier = 59,
    BetweenDOCTYPEPublicAndSystemIdentifiers = 60,
    AfterDOCTYPESystemKeyword = 61,
    BeforeDOCTYPESystemIdentifier = 62,
    DOCTYPESystemIdentifierDoubleQuoted = 63,
    DOCTYPESystemIdentifierSingleQuoted = 64,
    AfterDOCTYPESystemIdentifier = 65,
    BogusDOCTYPE = 66,
    CDATASection = 67,
  };

  explicit HTMLTokenizer(String string = {});
  HTMLTokenizer(const HTMLTokenizer&) = delete;
  HTMLTokenizer& operator=(const HTMLTokenizer&) = delete;

  const String& string() const { return inputStream_.string(); }
  int state() const { return state_; }
  void setState(int state) { state_ = state; }
  HTMLTokenizerParser* parser() const { return parser_; }
  // Not owned: the parser owns its tokenizer.
  void setParser(HTMLTokenizerParser* parser) { parser_ = parser; }
  // The last start tag's name, for the appropriate-end-tag test of a fragment.
  void setLastStartTag(const String& tagName) { mostRecentEmittedStartTagName_ = tagName; }

  // The next token, or nothing once the input is exhausted. The end of input itself is
  // never a token here.
  std::optional<HTMLToken> nextObject();

  // The characters a character reference at the input position stands for (just after
  // its "&"), consuming them and reporting its parse errors; nothing when there is none.
  std::optional<String> attemptToConsumeCharacterReference() {
    return attemptToConsumeCharacterReferenceIsPartOfAnAttribute(false);
  }
  std::optional<String> attemptToConsumeCharacterReferenceAsPartOfAnAttribute() {
    return attemptToConsumeCharacterReferenceIsPartOfAnAttribute(true);
  }
  std::optional<String> attemptToConsumeCharacterReferenceIsPartOfAnAttribute(bool partOfAnAttribute);

 private:
  enum class TokenKind { None, StartTag, EndTag, Comment, DOCTYPE };

  // Runs the current state once.
  void resume();

  // The steps the states share.
  CodePoint consumeNextInputCharacter() { return inputStream_.consumeNextInputCharacter(); }
  void switchToState(int state) { state_ = state; }
  void reconsume() { inputStream_.reconsumeCurrentInputCharacter(); }
  void emit(HTMLToken token);
  void emitParseError(std::string message);
  void emitCharacterToken(CodePoint c);
  void emitCharacterTokenWithString(String string);
  void emitCurrentToken();
  bool currentTagIsAppropriateEndTagToken() const;
  void addCurrentAttributeToCurrentToken();
  HTMLTagToken& currentTag() {
    return currentKind_ == TokenKind::StartTag ? static_cast<HTMLTagToken&>(startTag_) : endTag_;
  }
  void startTagToken(CodePoint firstCharacter);
  void startEndTagToken(CodePoint firstCharacter);
  void startAttribute(CodePoint firstCharacter);
  void startDOCTYPEToken();
  // Text up to the next stop character, with U+0000 reported as `nullMessage` and
  // replaced by U+FFFD unless `keepNull`.
  template <class Stop>
  String consumeRun(Stop&& stop, const char* nullMessage, bool keepNull = false);

  // One operation per state.
  void dataState();
  void characterReferenceInDataState();
  void RCDATAState();
  void characterReferenceInRCDATAState();
  void RAWTEXTState();
  void scriptDataState();
  void PLAINTEXTState();
  void tagOpenState();
  void endTagOpenState();
  void tagNameState();
  void RCDATALessThanSignState();
  void RCDATAEndTagOpenState();
  void RCDATAEndTagNameState();
  void RAWTEXTLessThanSignState();
  void RAWTEXTEndTagOpenState();
  void RAWTEXTEndTagNameState();
  void scriptDataLessThanSignState();
  void scriptDataEndTagOpenState();
  void scriptDataEndTagNameState();
  void scriptDataEscapeStartState();
  void scriptDataEscapeStartDashState();
  void scriptDataEscapedState();
  void scriptDataEscapedDashState();
  void scriptDataEscapedDashDashState();
  void scriptDataEscapedLessThanSignState();
  void scriptDataEscapedEndTagOpenState();
  void scriptDataEscapedEndTagNameState();
  void scriptDataDoubleEscapeStartState();
  void scriptDataDoubleEscapedState();
  void scriptDataDoubleEscapedDashState();
  void scriptDataDoubleEscapedDashDashState();
  void scriptDataDoubleEscapedLessThanSignState();
  void scriptDataDoubleEscapeEndState();
  void beforeAttributeNameState();
  void attributeNameState();
  void afterAttributeNameState();
  void beforeAttributeValueState();
  void attributeValueDoubleQuotedState();
  void attributeValueSingleQuotedState();
  void attributeValueUnquotedState();
  void characterReferenceInAttributeValueState();
  void afterAttributeValueQuotedState();
  void selfClosingStartTagState();
  void bogusCommentState();
  void markupDeclarationOpenState();
  void commentStartState();
  void commentStartDashState();
  void commentState();
  void commentEndDashState();
  void commentEndState();
  void commentEndBangState();
  void DOCTYPEState();
  void beforeDOCTYPENameState();
  void DOCTYPENameState();
  void afterDOCTYPENameState();
  void afterDOCTYPEPublicKeywordState();
  void beforeDOCTYPEPublicIdentifierState();
  void DOCTYPEPublicIdentifierDoubleQuotedState();
  void DOCTYPEPublicIdentifierSingleQuotedState();
  void afterDOCTYPEPublicIdentifierState();
  void betweenDOCTYPEPublicAndSystemIdentifiersState();
  void afterDOCTYPESystemKeywordState();
  void beforeDOCTYPESystemIdentifierState();
  void DOCTYPESystemIdentifierDoubleQuotedState();
  void DOCTYPESystemIdentifierSingleQuotedState();
  void afterDOCTYPESystemIdentifierState();
  void bogusDOCTYPEState();
  void CDATASectionState();

  // The three families of raw-text end tags share their steps.
  void rawLessThanSignState(int textState, int endTagOpenState);
  void rawEndTagOpenState(int textState, int endTagNameState);
  void rawEndTagNameState(int textState);
  // The keyword states of the DOCTYPE's two identifiers share theirs too.
  void afterDOCTYPEKeywordState(bool system);
  void beforeDOCTYPEIdentifierState(bool system);
  void DOCTYPEIdentifierQuotedState(bool system, char16_t quote);
  void attributeValueQuotedState(char16_t quote, int self, const char* nullMessage, const char* eofMessage);
  // Emits the DOCTYPE being built with its force-quirks flag set and goes back to the
  // data state; at the end of input the end is reconsumed there.
  void emitQuirkyDOCTYPE(bool atEOF);
  // Emits the comment being built; at the end of input the end is reconsumed.
  void emitCommentAndSwitchToData(bool atEOF);

  HTMLPreprocessedInputStream inputStream_;
  int state_ = Data;
  std::deque<HTMLToken> tokenQueue_;
  TokenKind currentKind_ = TokenKind::None;
  HTMLStartTagToken startTag_;
  HTMLEndTagToken endTag_;
  HTMLCommentToken comment_;
  HTMLDOCTYPEToken doctype_;
  bool hasCurrentAttribute_ = false;
  String currentAttributeName_;
  std::optional<String> currentAttributeValue_;
  String temporaryBuffer_;
  CodePoint additionalAllowedCharacter_ = EOFCodePoint;
  int sourceAttributeValueState_ = AttributeValueDoubleQuoted;
  std::optional<String> mostRecentEmittedStartTagName_;
  bool done_ = false;
  HTMLTokenizerParser* parser_ = nullptr;
};

}  // namespace html

namespace html {

template <class Stop>
String HTMLTokenizer::consumeRun(Stop&& stop, const char* nullMessage, bool keepNull) {
  bool sawNull = false;
  String run = inputStream_.consumeCharactersUpToFirstPassingTest([&](CodePoint c) {
    if (c == 0) {
      if (nullMessage) emitParseError(nullMessage);
      sawNull = true;
      return false;
    }
    return stop(c);
  });
  if (sawNull && !keepNull) {
    for (char16_t& unit : run) {
      if (unit == 0) unit = 0xFFFD;
    }
  }
  return run;
}

}  // namespace html
