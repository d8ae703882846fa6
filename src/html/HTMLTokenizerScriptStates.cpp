// The tokenizer's states for the end tags of RCDATA, RAWTEXT and script data, and the
// escaped and double-escaped script data states.
#include "html/HTMLTokenizer.h"

namespace html {

namespace {

bool isASCIIAlphaCodePoint(CodePoint c) { return c < 0x80 && isASCIIAlpha(char16_t(c)); }

CodePoint lowered(CodePoint c) { return c < 0x80 ? toASCIILower(char16_t(c)) : c; }

}  // namespace

// MARK: End tags inside raw text

void HTMLTokenizer::rawLessThanSignState(int textState, int endTagOpenState) {
  CodePoint c = consumeNextInputCharacter();
  if (c == '/') {
    temporaryBuffer_.clear();
    return switchToState(endTagOpenState);
  }
  switchToState(textState);
  emitCharacterToken('<');
  reconsume();
}

void HTMLTokenizer::rawEndTagOpenState(int textState, int endTagNameState) {
  CodePoint c = consumeNextInputCharacter();
  if (isASCIIAlphaCodePoint(c)) {
    startEndTagToken(lowered(c));
    AppendLongCharacter(temporaryBuffer_, c);
    return switchToState(endTagNameState);
  }
  switchToState(textState);
  emitCharacterTokenWithString(u"</");
  reconsume();
}

void HTMLTokenizer::rawEndTagNameState(int textState) {
  CodePoint c = consumeNextInputCharacter();
  if (is_whitespace(c) && currentTagIsAppropriateEndTagToken()) return switchToState(BeforeAttributeName);
  if (c == '/' && currentTagIsAppropriateEndTagToken()) return switchToState(SelfClosingStartTag);
  if (c == '>' && currentTagIsAppropriateEndTagToken()) {
    switchToState(Data);
    return emitCurrentToken();
  }
  if (isASCIIAlphaCodePoint(c)) {
    endTag_.appendLongCharacterToTagName(lowered(c));
    AppendLongCharacter(temporaryBuffer_, c);
    return;
  }
  // Not the end of this element after all: the text goes out as written.
  currentKind_ = TokenKind::None;
  switchToState(textState);
  emitCharacterTokenWithString(u"</");
  emitCharacterTokenWithString(temporaryBuffer_);
  reconsume();
}

void HTMLTokenizer::RCDATALessThanSignState() { rawLessThanSignState(RCDATA, RCDATAEndTagOpen); }
void HTMLTokenizer::RCDATAEndTagOpenState() { rawEndTagOpenState(RCDATA, RCDATAEndTagName); }
void HTMLTokenizer::RCDATAEndTagNameState() { rawEndTagNameState(RCDATA); }
void HTMLTokenizer::RAWTEXTLessThanSignState() { rawLessThanSignState(RAWTEXT, RAWTEXTEndTagOpen); }
void HTMLTokenizer::RAWTEXTEndTagOpenState() { rawEndTagOpenState(RAWTEXT, RAWTEXTEndTagName); }
void HTMLTokenizer::RAWTEXTEndTagNameState() { rawEndTagNameState(RAWTEXT); }

// MARK: Script data

void HTMLTokenizer::scriptDataLessThanSignState() {
  CodePoint c = consumeNextInputCharacter();
  if (c == '/') {
    temporaryBuffer_.clear();
    return switchToState(ScriptDataEndTagOpen);
  }
  if (c == '!') {
    switchToState(ScriptDataEscapeStart);
    return emitCharacterTokenWithString(u"<!");
  }
  switchToState(ScriptData);
  emitCharacterToken('<');
  reconsume();
}

void HTMLTokenizer::scriptDataEndTagOpenState() { rawEndTagOpenState(ScriptData, ScriptDataEndTagName); }
void HTMLTokenizer::scriptDataEndTagNameState() { rawEndTagNameState(ScriptData); }

void HTMLTokenizer::scriptDataEscapeStartState() {
  if (consumeNextInputCharacter() == '-') {
    switchToState(ScriptDataEscapeStartDash);
    return emitCharacterToken('-');
  }
  switchToState(ScriptData);
  reconsume();
}

void HTMLTokenizer::scriptDataEscapeStartDashState() {
  if (consumeNextInputCharacter() == '-') {
    switchToState(ScriptDataEscapedDashDash);
    return emitCharacterToken('-');
  }
  switchToState(ScriptData);
  reconsume();
}

void HTMLTokenizer::scriptDataEscapedState() {
  emitCharacterTokenWithString(consumeRun([](CodePoint c) { return c == '-' || c == '<'; },
                                          "U+0000 NULL in script data escaped state"));
  CodePoint c = consumeNextInputCharacter();
  if (c == '-') {
    switchToState(ScriptDataEscapedDash);
    return emitCharacterToken('-');
  }
  if (c == '<') return switchToState(ScriptDataEscapedLessThanSign);
  emitParseError("EOF in script data escaped state");
  switchToState(Data);
  reconsume();
}

void HTMLTokenizer::scriptDataEscapedDashState() {
  CodePoint c = consumeNextInputCharacter();
  switch (c) {
    case '-':
      switchToState(ScriptDataEscapedDashDash);
      return emitCharacterToken('-');
    case '<': return switchToState(ScriptDataEscapedLessThanSign);
    case 0:
      emitParseError("U+0000 NULL in script data escaped dash state");
      switchToState(ScriptDataEscaped);
      return emitCharacterToken(0xFFFD);
    case EOFCodePoint:
      emitParseError("EOF in script data escaped dash state");
      switchToState(Data);
      return reconsume();
  }
  switchToState(ScriptDataEscaped);
  emitCharacterToken(c);
}

void HTMLTokenizer::scriptDataEscapedDashDashState() {
  CodePoint c = consumeNextInputCharacter();
  switch (c) {
    case '-': return emitCharacterToken('-');
    case '<': return switchToState(ScriptDataEscapedLessThanSign);
    case '>':
      switchToState(ScriptData);
      return emitCharacterToken('>');
    case 0:
      emitParseError("U+0000 NULL in script data escaped dash dash state");
      switchToState(ScriptDataEscaped);
      return emitCharacterToken(0xFFFD);
    case EOFCodePoint:
      emitParseError("EOF in script data escaped dash dash state");
      switchToState(Data);
      return reconsume();
  }
  switchToState(ScriptDataEscaped);
  emitCharacterToken(c);
}

void HTMLTokenizer::scriptDataEscapedLessThanSignState() {
  CodePoint c = consumeNextInputCharacter();
  if (c == '/') {
    temporaryBuffer_.clear();
    return switchToState(ScriptDataEscapedEndTagOpen);
  }
  if (isASCIIAlphaCodePoint(c)) {
    temporaryBuffer_.clear();
    AppendLongCharacter(temporaryBuffer_, lowered(c));
    switchToState(ScriptDataDoubleEscapeStart);
    emitCharacterToken('<');
    return emitCharacterToken(c);
  }
  switchToState(ScriptDataEscaped);
  emitCharacterToken('<');
  reconsume();
}

void HTMLTokenizer::scriptDataEscapedEndTagOpenState() {
  rawEndTagOpenState(ScriptDataEscaped, ScriptDataEscapedEndTagName);
}

void HTMLTokenizer::scriptDataEscapedEndTagNameState() { rawEndTagNameState(ScriptDataEscaped); }

void HTMLTokenizer::scriptDataDoubleEscapeStartState() {
  CodePoint c = consumeNextInputCharacter();
  if (is_whitespace(c) || c == '/' || c == '>') {
    switchToState(temporaryBuffer_ == u"script" ? ScriptDataDoubleEscaped : ScriptDataEscaped);
    return emitCharacterToken(c);
  }
  if (isASCIIAlphaCodePoint(c)) {
    AppendLongCharacter(temporaryBuffer_, lowered(c));
    return emitCharacterToken(c);
  }
  switchToState(ScriptDataEscaped);
  reconsume();
}

void HTMLTokenizer::scriptDataDoubleEscapedState() {
  emitCharacterTokenWithString(consumeRun([](CodePoint c) { return c == '-' || c == '<'; },
                                          "U+0000 NULL in script data double escaped state"));
  CodePoint c = consumeNextInputCharacter();
  if (c == '-') {
    switchToState(ScriptDataDoubleEscapedDash);
    return emitCharacterToken('-');
  }
  if (c == '<') {
    switchToState(ScriptDataDoubleEscapedLessThanSign);
    return emitCharacterToken('<');
  }
  emitParseError("EOF in script data double escaped state");
  switchToState(Data);
  reconsume();
}

void HTMLTokenizer::scriptDataDoubleEscapedDashState() {
  CodePoint c = consumeNextInputCharacter();
  switch (c) {
    case '-':
      switchToState(ScriptDataDoubleEscapedDashDash);
      return emitCharacterToken('-');
    case '<':
      switchToState(ScriptDataDoubleEscapedLessThanSign);
      return emitCharacterToken('<');
    case 0:
      emitParseError("U+0000 NULL in script data double escaped dash state");
      switchToState(ScriptDataDoubleEscaped);
      return emitCharacterToken(0xFFFD);
    case EOFCodePoint:
      emitParseError("EOF in script data double escaped dash state");
      switchToState(Data);
      return reconsume();
  }
  switchToState(ScriptDataDoubleEscaped);
  emitCharacterToken(c);
}

void HTMLTokenizer::scriptDataDoubleEscapedDashDashState() {
  CodePoint c = consumeNextInputCharacter();
  switch (c) {
    case '-': return emitCharacterToken('-');
    case '<':
      switchToState(ScriptDataDoubleEscapedLessThanSign);
      return emitCharacterToken('<');
    case '>':
      switchToState(ScriptData);
      return emitCharacterToken('>');
    case 0:
      emitParseError("U+0000 NULL in script data double escaped dash dash state");
      switchToState(ScriptDataDoubleEscaped);
      return emitCharacterToken(0xFFFD);
    case EOFCodePoint:
      emitParseError("EOF in script data double escaped dash dash state");
      switchToState(Data);
      return reconsume();
  }
  switchToState(ScriptDataDoubleEscaped);
  emitCharacterToken(c);
}

void HTMLTokenizer::scriptDataDoubleEscapedLessThanSignState() {
  if (consumeNextInputCharacter() == '/') {
    temporaryBuffer_.clear();
    switchToState(ScriptDataDoubleEscapeEnd);
    return emitCharacterToken('/');
  }
  switchToState(ScriptDataDoubleEscaped);
  reconsume();
}

void HTMLTokenizer::scriptDataDoubleEscapeEndState() {
  CodePoint c = consumeNextInputCharacter();
  if (is_whitespace(c) || c == '/' || c == '>') {
    switchToState(temporaryBuffer_ == u"script" ? ScriptDataEscaped : ScriptDataDoubleEscaped);
    return emitCharacterToken(c);
  }
  if (isASCIIAlphaCodePoint(c)) {
    AppendLongCharacter(temporaryBuffer_, lowered(c));
    return emitCharacterToken(c);
  }
  switchToState(ScriptDataDoubleEscaped);
  reconsume();
}

}  // namespace html
