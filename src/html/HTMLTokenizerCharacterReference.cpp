// Consuming a character reference inside the tokenizer, with its parse errors and the
// exceptions for attribute values.
#include "html/HTMLCharacterReferences.h"
#include "html/HTMLNamedReferenceTables.h"
#include "html/HTMLTokenizer.h"
#include "html/HTMLUnicode.h"

namespace html {

namespace {

// Letters, marks and digits of any script, judged on the low 16 bits.
bool isLetterMarkOrDigitUnit(CodePoint c) { return c != EOFCodePoint && isLetterMarkOrDigit(c & 0xFFFF); }

}  // namespace

std::optional<String> HTMLTokenizer::attemptToConsumeCharacterReferenceIsPartOfAnAttribute(bool partOfAnAttribute) {
  // 1. Characters that cannot start a reference: nothing is consumed.
  CodePoint next = inputStream_.nextInputCharacter();
  if ((additionalAllowedCharacter_ != EOFCodePoint && next == additionalAllowedCharacter_) ||
      is_whitespace(next) || next == '<' || next == '&' || next == EOFCodePoint) {
    return std::nullopt;
  }

  // 2. A numeric reference.
  if (next == '#') {
    consumeNextInputCharacter();
    size_t consumed = 1;
    bool hex = inputStream_.consumeString(u"x", false);
    if (hex) consumed = 2;
    uint32_t number = 0;
    bool read = hex ? inputStream_.consumeHexInt(&number) : inputStream_.consumeUnsignedInt(&number);
    if (!read) {
      inputStream_.unconsumeInputCharacters(consumed);
      emitParseError("Numeric entity with no numbers");
      return std::nullopt;
    }
    if (!inputStream_.consumeString(u";", true)) emitParseError("Missing semicolon for numeric entity");
    if (CodePoint replacement = ReplacementForNumericEntity(number)) {
      emitParseError("Invalid numeric entity (has replacement)");
      return StringWithLongCharacter(replacement);
    }
    if (number <= 0x10FFFF && !(number >= 0xD800 && number <= 0xDFFF)) {
      if (is_undefined_or_disallowed(number)) emitParseError("Invalid numeric entity (in bad Unicode range)");
      return StringWithLongCharacter(number);
    }
    emitParseError("Invalid numeric entity (outside valid Unicode range)");
    return String(u"\uFFFD");
  }

  // 3. A named reference: the longest name the next characters begin with.
  StringView candidate = inputStream_.nextUnprocessedCharactersWithMaximumLength(LongestEntityNameLength);
  StringView name;
  std::optional<StringView> replacement = StringForNamedEntity(candidate, &name);
  if (replacement) {
    const size_t nameLength = name.size();
    const bool withSemicolon = name.back() == u';';
    inputStream_.consumeString(name, true);
    if (partOfAnAttribute && !withSemicolon) {
      CodePoint after = inputStream_.nextInputCharacter();
      if (after == '=') {
        inputStream_.unconsumeInputCharacters(nameLength);
        emitParseError("Named entity in attribute ending with =");
        return std::nullopt;
      }
      if (isLetterMarkOrDigitUnit(after)) {
        inputStream_.unconsumeInputCharacters(nameLength);
        return std::nullopt;
      }
    }
    if (!withSemicolon) emitParseError("Named entity missing semicolon");
    return String(*replacement);
  }

  // No name matched: only a run of letters and digits closed by ";" is worth a report.
  const String& text = inputStream_.string();
  size_t at = inputStream_.scanLocation();
  size_t end = at;
  while (end < text.size() && isLetterMarkOrDigitUnit(text[end])) ++end;
  if (end > at && end < text.size() && text[end] == u';') emitParseError("Unknown named entity with semicolon");
  return std::nullopt;
}

}  // namespace html
