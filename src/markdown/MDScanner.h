#pragma once
// A cursor over a list of line ranges of one source text. Every recogniser of the
// block and span parsers runs inside one transaction: it begins one, reads, and
// commits YES when it produced an element (the position stays) or NO when it did not
// (the position goes back to where it began). "Characters" are code points of the
// UTF-8 source; locations and ranges are byte offsets.
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "markdown/MDCharacterSet.h"
#include "markdown/MDRange.h"

namespace markdown {

class MDScanner {
 public:
  // A scanner over the lines of the whole text (line feeds, carriage returns and the
  // pair of both end a line; a text that ends with a break has no empty last line).
  // The text must outlive the scanner.
  explicit MDScanner(std::string_view string);
  // A scanner over the given ranges of the text; they must be in order and at least one.
  MDScanner(std::string_view string, std::vector<MDRange> lineRanges);
  // The same over ranges the caller keeps alive and unchanged while the scanner lives
  // (an element's content lines): nothing is copied.
  static MDScanner borrowing(std::string_view string, std::span<const MDRange> lineRanges);
  // Not copied or moved: the lines may be its own.
  MDScanner(const MDScanner&) = delete;
  MDScanner& operator=(const MDScanner&) = delete;

  static std::vector<MDRange> linesOfString(std::string_view string);

  std::string_view string() const { return string_; }
  std::span<const MDRange> lineRanges() const { return lineRanges_; }
  size_t rangeIndex() const { return rangeIndex_; }
  MDRange currentRange() const { return {location_, lineEnd_ - location_}; }
  size_t startLocation() const { return startLocation_; }
  // Different for every scanner made in this process: keys per-scanner memories.
  uint64_t identifier() const { return identifier_; }

  size_t location() const { return location_; }
  MDRange currentLineRange() const { return lineRanges_[rangeIndex_]; }
  bool atBeginningOfLine() const { return location_ == lineRanges_[rangeIndex_].location; }
  bool atEndOfLine() const { return location_ == lineEnd_; }
  bool atEndOfString() const { return location_ == lineEnd_ && rangeIndex_ + 1 == lineRanges_.size(); }
  bool onLastLine() const { return rangeIndex_ + 1 == lineRanges_.size(); }

  // The character at the location, or a line feed at the end of the line.
  char32_t nextCharacter() const;
  // The byte at the location, or a line feed at the end of the line: enough wherever
  // the caller compares with ASCII.
  unsigned char nextByte() const {
    return location_ < lineEnd_ ? static_cast<unsigned char>(string_[location_]) : '\n';
  }
  // The character before the location, or 0 at the beginning of the line.
  char32_t previousCharacter() const;

  std::string_view nextWord() const;
  std::string_view previousWord() const;
  // The run of set members that starts at the location (never moves).
  std::string_view nextWordWithCharactersFromSet(const MDCharacterSet& set) const;
  // The run of set members that ends at the location, looking back no further than
  // the later of the line's start and `startLocation`.
  std::string_view previousWordWithCharactersFromSet(const MDCharacterSet& set) const;
  // The same, looking back no further than the later of the line's start and `limit`.
  std::string_view previousWordWithCharactersFromSet(const MDCharacterSet& set, size_t limit) const;

  void advance();
  // To the start of the next line; on the last line, to its end.
  void advanceToNextLine();
  void setLocation(size_t location);
  size_t skipToEndOfLine();
  size_t skipToLastCharacterOfLine();

  bool matchString(std::string_view text) {
    if (text.size() > lineEnd_ - location_) return false;
    for (size_t i = 0; i < text.size(); ++i)
      if (string_[location_ + i] != text[i]) return false;
    location_ += text.size();
    return true;
  }
  size_t skipCharactersFromSet(const MDCharacterSet& set);
  size_t skipCharactersFromSet(const MDCharacterSet& set, size_t max);
  size_t skipWhitespace();
  size_t skipWhitespaceAndNewlines();
  size_t skipEmptyLines();
  size_t skipIndentationUpTo(size_t width);
  size_t skipNestedBracketsWithDelimiter(char32_t delimiter);
  // Passes bytes while table[byte] is true, within the line; returns how many. With
  // `loneSpaces`, also every space not followed by another one.
  size_t skipBytes(const bool (&table)[256], bool loneSpaces = false) {
    const size_t start = location_, end = lineEnd_;
    const char* data = string_.data();
    size_t i = start;  // not the member: the bytes read might alias it
    while (true) {
      while (i < end && table[static_cast<unsigned char>(data[i])]) ++i;
      if (!loneSpaces || i == end || data[i] != ' ' || (i + 1 < end && data[i + 1] == ' ')) break;
      ++i;
    }
    location_ = i;
    return i - start;
  }
  // Whether only whitespace is left on the line (without moving).
  bool restIsBlank() const;

  // Where the character first occurs inside the range, or npos; does not move.
  size_t locationOfCharacter(char c, MDRange range) const;

  void beginTransaction() {
    Transaction t{rangeIndex_, location_, startLocation_};
    if (depth_ < inlineTransactions) {
      inline_[depth_] = t;
    } else {
      overflow_.push_back(t);
    }
    ++depth_;
    startLocation_ = location_;
  }
  void commitTransaction(bool keep) {
    if (depth_ == 0) transactionUnderflow();
    --depth_;
    const Transaction t = depth_ < inlineTransactions ? inline_[depth_] : overflow_.back();
    if (depth_ >= inlineTransactions) overflow_.pop_back();
    startLocation_ = t.startLocation;
    if (!keep && (t.rangeIndex != rangeIndex_ || t.location != location_)) enterLine(t.rangeIndex, t.location);
  }

 private:
  struct Transaction {
    size_t rangeIndex;
    size_t location;
    size_t startLocation;
  };
  void enterLine(size_t index, size_t location) {
    rangeIndex_ = index;
    location_ = location;
    lineEnd_ = lineRanges_[index].end();
  }
  [[noreturn]] static void transactionUnderflow();

  MDScanner(std::string_view string, std::span<const MDRange> borrowed, bool);

  std::string_view string_;
  std::vector<MDRange> ownedLines_;
  std::span<const MDRange> lineRanges_;
  size_t rangeIndex_ = 0;
  size_t location_ = 0;
  size_t lineEnd_ = 0;
  size_t startLocation_ = 0;
  uint64_t identifier_;
  // Transactions nest a few deep; only deeper ones cost an allocation.
  static constexpr size_t inlineTransactions = 24;
  Transaction inline_[inlineTransactions];
  std::vector<Transaction> overflow_;
  size_t depth_ = 0;
};

}  // namespace markdown

namespace markdown {

// A key for the memories kept per scanner: the scanner's identifier and one number
// (a place, a line, a kind of search).
struct MDScannerKey {
  uint64_t scanner;
  size_t value;
  bool operator==(const MDScannerKey&) const = default;
};

struct MDScannerKeyHash {
  size_t operator()(const MDScannerKey& k) const {
    return std::hash<uint64_t>()(k.scanner * 0x9E3779B97F4A7C15ull ^ k.value);
  }
};

// Runs a recogniser inside its own transaction: kept when it returns something, rolled
// back when it returns nothing (a null pointer, an empty optional, false).
template <class Recogniser>
auto inTransaction(MDScanner& scanner, Recogniser&& recognise) {
  scanner.beginTransaction();
  auto result = recognise();
  scanner.commitTransaction(static_cast<bool>(result));
  return result;
}

}  // namespace markdown
