#pragma once
// The tokenizer's input: the decoded text read one code point at a time, with the
// input stream's preprocessing done on the way. Carriage returns become line feeds (CR
// LF one line feed), surrogate pairs become one code point, and lone surrogates and
// disallowed code points are reported through the error block while still delivered.
// A few raw operations look at the unprocessed text for keyword matching, numbers and
// character-reference look-ahead; they ignore a pending reconsumption.
#include <cstdint>
#include <functional>
#include <string>

#include "html/HTMLCodePoints.h"
#include "html/HTMLString.h"

namespace html {

class HTMLPreprocessedInputStream {
 public:
  using ErrorBlock = std::function<void(const std::string& message)>;

  explicit HTMLPreprocessedInputStream(String string = {}) : string_(std::move(string)) {}

  const String& string() const { return string_; }
  const ErrorBlock& errorBlock() const { return errorBlock_; }
  void setErrorBlock(ErrorBlock errorBlock) { errorBlock_ = std::move(errorBlock); }
  size_t scanLocation() const { return scanLocation_; }

  CodePoint nextInputCharacter() { return nextInputCharacterAndConsume(false); }
  CodePoint consumeNextInputCharacter() { return nextInputCharacterAndConsume(true); }
  CodePoint nextInputCharacterAndConsume(bool consume);
  // The next read delivers the current character again.
  void reconsumeCurrentInputCharacter() { reconsume_ = true; }

  // Consumes characters until the end or until one passes the test, which is put back
  // for reconsumption. Returns the characters before it (empty when there were none).
  // The test sees every consumed character but the end, in order, so it may report
  // errors of its own.
  template <class Test>
  String consumeCharactersUpToFirstPassingTest(Test&& test);

  // The raw operations.
  bool consumeString(StringView string, bool matchingCase);
  bool consumeHexInt(uint32_t* result);
  bool consumeUnsignedInt(uint32_t* result);
  // At most `length` raw units from the position, without consuming them.
  StringView nextUnprocessedCharactersWithMaximumLength(size_t length) const;
  void unconsumeInputCharacters(size_t count) { scanLocation_ -= count; }

 private:
  void report(const char* message) const {
    if (errorBlock_) errorBlock_(message);
  }
  // Units that read as themselves with nothing to report.
  static bool isPlainUnit(char16_t u) {
    if (u >= 0x20 && u < 0x7F) return true;
    if (u < 0x20) return u == u'\t' || u == u'\n' || u == u'\f' || u == 0;
    if (u <= 0x9F) return false;
    if (u >= 0xD800 && u <= 0xDFFF) return false;
    return !is_undefined_or_disallowed(u);
  }

  String string_;
  size_t scanLocation_ = 0;
  bool reconsume_ = false;
  CodePoint currentInputCharacter_ = EOFCodePoint;
  ErrorBlock errorBlock_;
};

template <class Test>
String HTMLPreprocessedInputStream::consumeCharactersUpToFirstPassingTest(Test&& test) {
  String run;
  if (reconsume_) {
    CodePoint c = consumeNextInputCharacter();
    if (c == EOFCodePoint) return run;
    if (test(c)) {
      reconsume_ = true;
      return run;
    }
    AppendLongCharacter(run, c);
  }
  const char16_t* units = string_.data();
  const size_t length = string_.size();
  for (;;) {
    // Plain units are taken in place, without the preprocessing's checks.
    size_t start = scanLocation_;
    size_t at = start;
    bool passed = false;
    while (at < length) {
      char16_t u = units[at];
      if (!isPlainUnit(u)) break;
      if (test(CodePoint(u))) {
        passed = true;
        break;
      }
      ++at;
    }
    run.append(units + start, at - start);
    scanLocation_ = at;
    if (passed) {
      currentInputCharacter_ = units[at];
      ++scanLocation_;
      reconsume_ = true;
      return run;
    }
    if (at > start) currentInputCharacter_ = units[at - 1];
    if (at >= length) return run;
    CodePoint c = consumeNextInputCharacter();
    if (test(c)) {
      reconsume_ = true;
      return run;
    }
    AppendLongCharacter(run, c);
  }
}

}  // namespace html
