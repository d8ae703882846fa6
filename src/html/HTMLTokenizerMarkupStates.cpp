// The tokenizer's states for comments, DOCTYPEs and CDATA sections.
#include "html/HTMLElement.h"
#include "html/HTMLTokenizer.h"

namespace html {

namespace {

CodePoint lowered(CodePoint c) { return c < 0x80 ? toASCIILower(char16_t(c)) : c; }

}  // namespace

void HTMLTokenizer::emitCommentAndSwitchToData(bool atEOF) {
  switchToState(Data);
  emitCurrentToken();
  if (atEOF) reconsume();
}

void HTMLTokenizer::emitQuirkyDOCTYPE(bool atEOF) {
  doctype_.setForceQuirks(true);
  switchToState(Data);
  emitCurrentToken();
  if (atEOF) reconsume();
}

void HTMLTokenizer::startDOCTYPEToken() {
  doctype_ = HTMLDOCTYPEToken();
  currentKind_ = TokenKind::DOCTYPE;
}

// MARK: Comments

void HTMLTokenizer::bogusCommentState() {
  // Everything up to the next ">" (or the end) is the comment's text.
  comment_ = HTMLCommentToken(consumeRun([](CodePoint c) { return c == '>'; }, nullptr));
  currentKind_ = TokenKind::Comment;
  bool atEOF = consumeNextInputCharacter() == EOFCodePoint;
  emitCommentAndSwitchToData(atEOF);
}

void HTMLTokenizer::markupDeclarationOpenState() {
  if (inputStream_.consumeString(u"--", true)) {
    comment_ = HTMLCommentToken();
    currentKind_ = TokenKind::Comment;
    return switchToState(CommentStart);
  }
  HTMLElement* adjusted = parser_ ? parser_->adjustedCurrentNode() : nullptr;
  if (adjusted && adjusted->htmlNamespace() != HTMLNamespace::HTML &&
      inputStream_.consumeString(u"[CDATA[", true)) {
    return switchToState(CDATASection);
  }
  if (inputStream_.consumeString(u"DOCTYPE", false)) return switchToState(DOCTYPE);
  // The character after "<!" begins the bogus comment.
  emitParseError("Bogus character in markup declaration open state");
  switchToState(BogusComment);
}

void HTMLTokenizer::commentStartState() {
  CodePoint c = consumeNextInputCharacter();
  switch (c) {
    case '-': return switchToState(CommentStartDash);
    case 0:
      emitParseError("U+0000 NULL in comment start state");
      comment_.appendLongCharacter(0xFFFD);
      return switchToState(Comment);
    case '>':
      emitParseError("Unexpected > in comment start state");
      return emitCommentAndSwitchToData(false);
    case EOFCodePoint:
      emitParseError("EOF in comment start state");
      return emitCommentAndSwitchToData(true);
  }
  comment_.appendLongCharacter(c);
  switchToState(Comment);
}

void HTMLTokenizer::commentStartDashState() {
  CodePoint c = consumeNextInputCharacter();
  switch (c) {
    case '-': return switchToState(CommentEnd);
    case 0:
      emitParseError("U+0000 NULL in comment start dash state");
      comment_.appendString(u"-\uFFFD");
      return switchToState(Comment);
    case '>':
      emitParseError("Unexpected > in comment start dash state");
      return emitCommentAndSwitchToData(false);
    case EOFCodePoint:
      emitParseError("EOF in comment start dash state");
      return emitCommentAndSwitchToData(true);
  }
  comment_.appendString(u"-");
  comment_.appendLongCharacter(c);
  switchToState(Comment);
}

void HTMLTokenizer::commentState() {
  comment_.appendString(consumeRun([](CodePoint c) { return c == '-'; }, "U+0000 NULL in comment state"));
  if (consumeNextInputCharacter() == '-') return switchToState(CommentEndDash);
  emitParseError("EOF in comment state");
  emitCommentAndSwitchToData(true);
}

void HTMLTokenizer::commentEndDashState() {
  CodePoint c = consumeNextInputCharacter();
  switch (c) {
    case '-': return switchToState(CommentEnd);
    case 0:
      emitParseError("U+0000 NULL in comment end dash state");
      comment_.appendString(u"-\uFFFD");
      return switchToState(Comment);
    case EOFCodePoint:
      emitParseError("EOF in comment end dash state");
      return emitCommentAndSwitchToData(true);
  }
  comment_.appendString(u"-");
  comment_.appendLongCharacter(c);
  switchToState(Comment);
}

void HTMLTokenizer::commentEndState() {
  CodePoint c = consumeNextInputCharacter();
  switch (c) {
    case '>': return emitCommentAndSwitchToData(false);
    case 0:
      emitParseError("U+0000 NULL in comment end state");
      comment_.appendString(u"--\uFFFD");
      return switchToState(Comment);
    case '!':
      emitParseError("Unexpected ! in comment end state");
      return switchToState(CommentEndBang);
    case '-':
      emitParseError("Unexpected - in comment end state");
      return comment_.appendString(u"-");
    case EOFCodePoint:
      emitParseError("EOF in comment end state");
      return emitCommentAndSwitchToData(true);
  }
  emitParseError("Unexpected character in comment end state");
  comment_.appendString(u"--");
  comment_.appendLongCharacter(c);
  switchToState(Comment);
}

void HTMLTokenizer::commentEndBangState() {
  CodePoint c = consumeNextInputCharacter();
  switch (c) {
    case '-':
      comment_.appendString(u"--!");
      return switchToState(CommentEndDash);
    case '>': return emitCommentAndSwitchToData(false);
    case 0:
      emitParseError("U+0000 NULL in comment end bang state");
      comment_.appendString(u"--!\uFFFD");
      return switchToState(Comment);
    case EOFCodePoint:
      emitParseError("EOF in comment end bang state");
      return emitCommentAndSwitchToData(true);
  }
  comment_.appendString(u"--!");
  comment_.appendLongCharacter(c);
  switchToState(Comment);
}

// MARK: DOCTYPE

void HTMLTokenizer::DOCTYPEState() {
  CodePoint c = consumeNextInputCharacter();
  if (is_whitespace(c)) return switchToState(BeforeDOCTYPEName);
  if (c == EOFCodePoint) {
    emitParseError("EOF in DOCTYPE state");
    startDOCTYPEToken();
    return emitQuirkyDOCTYPE(true);
  }
  emitParseError("Unexpected character in DOCTYPE state");
  switchToState(BeforeDOCTYPEName);
  reconsume();
}

void HTMLTokenizer::beforeDOCTYPENameState() {
  CodePoint c;
  do c = consumeNextInputCharacter();
  while (is_whitespace(c));
  startDOCTYPEToken();
  switch (c) {
    case 0:
      emitParseError("U+0000 NULL in before DOCTYPE name state");
      doctype_.appendLongCharacterToName(0xFFFD);
      return switchToState(DOCTYPEName);
    case '>':
      emitParseError("Unexpected > in before DOCTYPE name state");
      return emitQuirkyDOCTYPE(false);
    case EOFCodePoint:
      emitParseError("EOF in before DOCTYPE name state");
      return emitQuirkyDOCTYPE(true);
  }
  doctype_.appendLongCharacterToName(lowered(c));
  switchToState(DOCTYPEName);
}

void HTMLTokenizer::DOCTYPENameState() {
  CodePoint c = consumeNextInputCharacter();
  if (is_whitespace(c)) return switchToState(AfterDOCTYPEName);
  switch (c) {
    case '>':
      switchToState(Data);
      return emitCurrentToken();
    case 0:
      emitParseError("U+0000 NULL in DOCTYPE name state");
      return doctype_.appendLongCharacterToName(0xFFFD);
    case EOFCodePoint:
      emitParseError("EOF in DOCTYPE name state");
      return emitQuirkyDOCTYPE(true);
  }
  doctype_.appendLongCharacterToName(lowered(c));
}

void HTMLTokenizer::afterDOCTYPENameState() {
  CodePoint c;
  do c = consumeNextInputCharacter();
  while (is_whitespace(c));
  if (c == '>') {
    switchToState(Data);
    return emitCurrentToken();
  }
  if (c == EOFCodePoint) {
    emitParseError("EOF in after DOCTYPE name state");
    return emitQuirkyDOCTYPE(true);
  }
  if ((c == 'p' || c == 'P') && inputStream_.consumeString(u"UBLIC", false)) {
    return switchToState(AfterDOCTYPEPublicKeyword);
  }
  if ((c == 's' || c == 'S') && inputStream_.consumeString(u"YSTEM", false)) {
    return switchToState(AfterDOCTYPESystemKeyword);
  }
  emitParseError("Unexpected character in after DOCTYPE name state");
  doctype_.setForceQuirks(true);
  switchToState(BogusDOCTYPE);
}

void HTMLTokenizer::afterDOCTYPEKeywordState(bool system) {
  const std::string where = system ? "after DOCTYPE system keyword state" : "after DOCTYPE public keyword state";
  CodePoint c = consumeNextInputCharacter();
  if (is_whitespace(c)) {
    return switchToState(system ? BeforeDOCTYPESystemIdentifier : BeforeDOCTYPEPublicIdentifier);
  }
  switch (c) {
    case '"':
    case '\'':
      emitParseError(std::string("Unexpected ") + char(c) + " in " + where);
      if (system) {
        doctype_.setSystemIdentifier(String());
        return switchToState(c == '"' ? DOCTYPESystemIdentifierDoubleQuoted
                                      : DOCTYPESystemIdentifierSingleQuoted);
      }
      doctype_.setPublicIdentifier(String());
      return switchToState(c == '"' ? DOCTYPEPublicIdentifierDoubleQuoted
                                    : DOCTYPEPublicIdentifierSingleQuoted);
    case '>':
      emitParseError("Unexpected > in " + where);
      return emitQuirkyDOCTYPE(false);
    case EOFCodePoint:
      emitParseError("EOF in " + where);
      return emitQuirkyDOCTYPE(true);
  }
  emitParseError("Unexpected character in " + where);
  doctype_.setForceQuirks(true);
  switchToState(BogusDOCTYPE);
}

void HTMLTokenizer::beforeDOCTYPEIdentifierState(bool system) {
  const std::string where =
      system ? "before DOCTYPE system identifier state" : "before DOCTYPE public identifier state";
  CodePoint c;
  do c = consumeNextInputCharacter();
  while (is_whitespace(c));
  switch (c) {
    case '"':
    case '\'':
      if (system) {
        doctype_.setSystemIdentifier(String());
        return switchToState(c == '"' ? DOCTYPESystemIdentifierDoubleQuoted
                                      : DOCTYPESystemIdentifierSingleQuoted);
      }
      doctype_.setPublicIdentifier(String());
      return switchToState(c == '"' ? DOCTYPEPublicIdentifierDoubleQuoted
                                    : DOCTYPEPublicIdentifierSingleQuoted);
    case '>':
      emitParseError("Unexpected > in " + where);
      return emitQuirkyDOCTYPE(false);
    case EOFCodePoint:
      emitParseError("EOF in " + where);
      return emitQuirkyDOCTYPE(true);
  }
  emitParseError("Unexpected character in " + where);
  doctype_.setForceQuirks(true);
  switchToState(BogusDOCTYPE);
}

void HTMLTokenizer::DOCTYPEIdentifierQuotedState(bool system, char16_t quote) {
  const std::string where = std::string("DOCTYPE ") + (system ? "system" : "public") + " identifier " +
                            (quote == u'"' ? "double" : "single") + " quoted state";
  const std::string nullMessage = "U+0000 NULL in " + where;
  String run = consumeRun([quote](CodePoint c) { return c == quote || c == '>'; }, nullMessage.c_str());
  if (system) {
    doctype_.appendStringToSystemIdentifier(run);
  } else {
    doctype_.appendStringToPublicIdentifier(run);
  }
  CodePoint c = consumeNextInputCharacter();
  if (c == quote) {
    return switchToState(system ? AfterDOCTYPESystemIdentifier : AfterDOCTYPEPublicIdentifier);
  }
  if (c == '>') {
    emitParseError("Unexpected > in " + where);
    return emitQuirkyDOCTYPE(false);
  }
  emitParseError("EOF in " + where);
  emitQuirkyDOCTYPE(true);
}

void HTMLTokenizer::afterDOCTYPEPublicKeywordState() { afterDOCTYPEKeywordState(false); }
void HTMLTokenizer::beforeDOCTYPEPublicIdentifierState() { beforeDOCTYPEIdentifierState(false); }
void HTMLTokenizer::DOCTYPEPublicIdentifierDoubleQuotedState() { DOCTYPEIdentifierQuotedState(false, u'"'); }
void HTMLTokenizer::DOCTYPEPublicIdentifierSingleQuotedState() { DOCTYPEIdentifierQuotedState(false, u'\''); }
void HTMLTokenizer::afterDOCTYPESystemKeywordState() { afterDOCTYPEKeywordState(true); }
void HTMLTokenizer::beforeDOCTYPESystemIdentifierState() { beforeDOCTYPEIdentifierState(true); }
void HTMLTokenizer::DOCTYPESystemIdentifierDoubleQuotedState() { DOCTYPEIdentifierQuotedState(true, u'"'); }
void HTMLTokenizer::DOCTYPESystemIdentifierSingleQuotedState() { DOCTYPEIdentifierQuotedState(true, u'\''); }

void HTMLTokenizer::afterDOCTYPEPublicIdentifierState() {
  CodePoint c = consumeNextInputCharacter();
  if (is_whitespace(c)) return switchToState(BetweenDOCTYPEPublicAndSystemIdentifiers);
  switch (c) {
    case '>':
      switchToState(Data);
      return emitCurrentToken();
    case '"':
    case '\'':
      emitParseError(std::string("Unexpected ") + char(c) + " in after DOCTYPE public identifier state");
      doctype_.setSystemIdentifier(String());
      return switchToState(c == '"' ? DOCTYPESystemIdentifierDoubleQuoted
                                    : DOCTYPESystemIdentifierSingleQuoted);
    case EOFCodePoint:
      emitParseError("EOF in after DOCTYPE public identifier state");
      return emitQuirkyDOCTYPE(true);
  }
  emitParseError("Unexpected character in after DOCTYPE public identifier state");
  doctype_.setForceQuirks(true);
  switchToState(BogusDOCTYPE);
}

void HTMLTokenizer::betweenDOCTYPEPublicAndSystemIdentifiersState() {
  CodePoint c;
  do c = consumeNextInputCharacter();
  while (is_whitespace(c));
  switch (c) {
    case '>':
      switchToState(Data);
      return emitCurrentToken();
    case '"':
    case '\'':
      doctype_.setSystemIdentifier(String());
      return switchToState(c == '"' ? DOCTYPESystemIdentifierDoubleQuoted
                                    : DOCTYPESystemIdentifierSingleQuoted);
    case EOFCodePoint:
      emitParseError("EOF in between DOCTYPE public and system identifiers state");
      return emitQuirkyDOCTYPE(true);
  }
  emitParseError("Unexpected character in between DOCTYPE public and system identifiers state");
  doctype_.setForceQuirks(true);
  switchToState(BogusDOCTYPE);
}

void HTMLTokenizer::afterDOCTYPESystemIdentifierState() {
  CodePoint c;
  do c = consumeNextInputCharacter();
  while (is_whitespace(c));
  if (c == '>') {
    switchToState(Data);
    return emitCurrentToken();
  }
  if (c == EOFCodePoint) {
    emitParseError("EOF in after DOCTYPE system identifier state");
    return emitQuirkyDOCTYPE(true);
  }
  // The DOCTYPE stays as good as it was; only the rest is ignored.
  emitParseError("Unexpected character in after DOCTYPE system identifier state");
  switchToState(BogusDOCTYPE);
}

void HTMLTokenizer::bogusDOCTYPEState() {
  consumeRun([](CodePoint c) { return c == '>'; }, nullptr);
  bool atEOF = consumeNextInputCharacter() == EOFCodePoint;
  switchToState(Data);
  emitCurrentToken();
  if (atEOF) reconsume();
}

// MARK: CDATA

void HTMLTokenizer::CDATASectionState() {
  switchToState(Data);
  // "]" characters wait until it is clear whether they close the section.
  int heldBrackets = 0;
  for (;;) {
    CodePoint c = consumeNextInputCharacter();
    if (c == ']') {
      if (heldBrackets == 2) {
        emitCharacterToken(']');
      } else {
        ++heldBrackets;
      }
      continue;
    }
    if (c == '>' && heldBrackets == 2) return;
    for (; heldBrackets > 0; --heldBrackets) emitCharacterToken(']');
    if (c == EOFCodePoint) return reconsume();
    emitCharacterToken(c);
  }
}

}  // namespace html
