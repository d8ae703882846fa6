#include "markdown/MDScanner.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <stdexcept>
#include <string>

namespace markdown {

namespace {

uint64_t nextIdentifier() {
  static std::atomic<uint64_t> counter{0};
  return ++counter;
}

}  // namespace

std::vector<MDRange> MDScanner::linesOfString(std::string_view string) {
  std::vector<MDRange> lines;
  size_t start = 0;
  const size_t n = string.size();
  const char* data = string.data();
  // Carriage returns are rare: look for them only when one is known to come.
  const char* nextReturn = static_cast<const char*>(std::memchr(data, '\r', n));
  size_t returnAt = nextReturn ? static_cast<size_t>(nextReturn - data) : n;
  while (start < n) {
    if (returnAt < start) {
      nextReturn = static_cast<const char*>(std::memchr(data + start, '\r', n - start));
      returnAt = nextReturn ? static_cast<size_t>(nextReturn - data) : n;
    }
    const char* feed = static_cast<const char*>(std::memchr(data + start, '\n', std::min(returnAt, n) - start));
    size_t i = feed ? static_cast<size_t>(feed - data) : std::min(returnAt, n);
    lines.push_back({start, i - start});
    if (i == n) return lines;
    start = i + (data[i] == '\r' && i + 1 < n && data[i + 1] == '\n' ? 2 : 1);
  }
  return lines;
}

MDScanner::MDScanner(std::string_view string) : MDScanner(string, linesOfString(string)) {}

MDScanner::MDScanner(std::string_view string, std::vector<MDRange> lineRanges)
    : string_(string), ownedLines_(std::move(lineRanges)), lineRanges_(ownedLines_), identifier_(nextIdentifier()) {
  if (lineRanges_.empty())
    throw std::invalid_argument("Invalid parameter not satisfying: theLineRanges.count > 0");
  enterLine(0, lineRanges_[0].location);
}

MDScanner::MDScanner(std::string_view string, std::span<const MDRange> borrowed, bool)
    : string_(string), lineRanges_(borrowed), identifier_(nextIdentifier()) {
  if (lineRanges_.empty())
    throw std::invalid_argument("Invalid parameter not satisfying: theLineRanges.count > 0");
  enterLine(0, lineRanges_[0].location);
}

MDScanner MDScanner::borrowing(std::string_view string, std::span<const MDRange> lineRanges) {
  return MDScanner(string, lineRanges, true);
}

char32_t MDScanner::nextCharacter() const {
  if (location_ >= lineEnd_) return '\n';
  size_t length = 0;
  return utf8::decode(string_.substr(0, lineEnd_), location_, &length);
}

char32_t MDScanner::previousCharacter() const {
  size_t lineStart = lineRanges_[rangeIndex_].location;
  if (location_ <= lineStart) return 0;
  size_t start = utf8::previousStart(string_, location_, lineStart);
  size_t length = 0;
  return utf8::decode(string_.substr(0, location_), start, &length);
}

std::string_view MDScanner::nextWord() const { return nextWordWithCharactersFromSet(MDCharacterSet::alphanumeric()); }

std::string_view MDScanner::previousWord() const {
  return previousWordWithCharactersFromSet(MDCharacterSet::alphanumeric());
}

std::string_view MDScanner::nextWordWithCharactersFromSet(const MDCharacterSet& set) const {
  size_t i = location_;
  while (i < lineEnd_) {
    size_t length = 1;
    char32_t c = static_cast<unsigned char>(string_[i]);
    if (c >= 0x80) c = utf8::decode(string_.substr(0, lineEnd_), i, &length);
    if (!set.contains(c)) break;
    i += length;
  }
  return string_.substr(location_, i - location_);
}

std::string_view MDScanner::previousWordWithCharactersFromSet(const MDCharacterSet& set) const {
  return previousWordWithCharactersFromSet(set, startLocation_);
}

std::string_view MDScanner::previousWordWithCharactersFromSet(const MDCharacterSet& set, size_t limit) const {
  size_t lower = std::max(lineRanges_[rangeIndex_].location, limit);
  size_t i = location_;
  while (i > lower) {
    size_t start = utf8::previousStart(string_, i, lower);
    size_t length = 0;
    char32_t c = utf8::decode(string_.substr(0, i), start, &length);
    if (!set.contains(c)) break;
    i = start;
  }
  return string_.substr(i, location_ - i);
}

void MDScanner::advance() {
  if (location_ >= lineEnd_) return;
  size_t length = 1;
  if (static_cast<unsigned char>(string_[location_]) >= 0x80)
    utf8::decode(string_.substr(0, lineEnd_), location_, &length);
  location_ += length;
}

void MDScanner::advanceToNextLine() {
  if (rangeIndex_ + 1 < lineRanges_.size()) {
    enterLine(rangeIndex_ + 1, lineRanges_[rangeIndex_ + 1].location);
  } else {
    location_ = lineEnd_;
  }
}

void MDScanner::setLocation(size_t location) {
  const MDRange& line = lineRanges_[rangeIndex_];
  // Inside the current line, or at its end (no other line can end or start there).
  if (location >= line.location && location <= line.end()) {
    location_ = location;
    return;
  }
  // The first line that holds the location or ends exactly at it; the lines are in
  // order, so the first whose end is not before it is the only candidate.
  auto it = std::lower_bound(lineRanges_.begin(), lineRanges_.end(), location,
                             [](const MDRange& r, size_t loc) { return r.end() < loc; });
  size_t index = lineRanges_.size() - 1;
  if (it != lineRanges_.end() && it->location <= location) index = static_cast<size_t>(it - lineRanges_.begin());
  const MDRange& target = lineRanges_[index];
  enterLine(index, std::clamp(location, target.location, target.end()));
}

size_t MDScanner::skipToEndOfLine() {
  size_t passed = lineEnd_ - location_;
  location_ = lineEnd_;
  return passed;
}

size_t MDScanner::skipToLastCharacterOfLine() {
  if (location_ >= lineEnd_) return 0;
  size_t last = utf8::previousStart(string_, lineEnd_, location_);
  size_t passed = last - location_;
  location_ = last;
  return passed;
}

size_t MDScanner::skipCharactersFromSet(const MDCharacterSet& set) { return skipCharactersFromSet(set, SIZE_MAX); }

size_t MDScanner::skipCharactersFromSet(const MDCharacterSet& set, size_t max) {
  size_t passed = 0;
  while (passed < max && location_ < lineEnd_) {
    unsigned char b = static_cast<unsigned char>(string_[location_]);
    if (b < 0x80) {
      if (!set.contains(b)) break;
      ++location_;
    } else {
      size_t length = 0;
      if (!set.contains(utf8::decode(string_.substr(0, lineEnd_), location_, &length))) break;
      location_ += length;
    }
    ++passed;
  }
  return passed;
}

size_t MDScanner::skipWhitespace() { return skipCharactersFromSet(MDCharacterSet::whitespace()); }

size_t MDScanner::skipWhitespaceAndNewlines() {
  size_t passed = 0;
  while (!atEndOfString()) {
    size_t step = skipWhitespace();
    if (atEndOfLine() && !atEndOfString()) {
      advanceToNextLine();
      ++step;
    }
    if (step == 0) break;
    passed += step;
  }
  return passed;
}

size_t MDScanner::skipEmptyLines() {
  size_t passed = 0;
  while (!atEndOfString()) {
    size_t start = location_;
    skipWhitespace();
    if (!atEndOfLine()) {
      location_ = start;
      break;
    }
    ++passed;
    advanceToNextLine();
  }
  return passed;
}

size_t MDScanner::skipIndentationUpTo(size_t width) {
  if (width == 0) return 0;
  size_t start = location_;
  size_t columns = 0;
  while (columns < width && location_ < lineEnd_) {
    char c = string_[location_];
    if (c == ' ') {
      columns += 1;
    } else if (c == '\t') {
      columns = (columns + 4) / 4 * 4;
    } else {
      break;
    }
    ++location_;
  }
  if (columns > width) location_ = start;
  return columns;
}

size_t MDScanner::skipNestedBracketsWithDelimiter(char32_t delimiter) {
  char open = 0, close = 0;
  switch (delimiter) {
    case '(': case ')': open = '('; close = ')'; break;
    case '<': case '>': open = '<'; close = '>'; break;
    case '[': case ']': open = '['; close = ']'; break;
    case '{': case '}': open = '{'; close = '}'; break;
    default: {
      std::string shown;
      utf8::append(shown, delimiter);
      throw std::invalid_argument("Invalid delimiter character: Character '" + shown + "' is not a valid delimiter");
    }
  }
  if (nextByte() != static_cast<unsigned char>(open) || atEndOfLine()) return 0;
  size_t start = location_;
  size_t depth = 1;
  ++location_;
  while (true) {
    while (location_ < lineEnd_) {
      char c = string_[location_];
      if (c == open || c == close || c == '\\') break;
      ++location_;
    }
    if (location_ >= lineEnd_) {
      location_ = start;
      return 0;
    }
    char c = string_[location_];
    ++location_;
    if (c == open) {
      ++depth;
    } else if (c == close) {
      if (--depth == 0) return location_ - start;
    } else if (location_ < lineEnd_) {
      advance();  // the escaped character
    }
  }
}

bool MDScanner::restIsBlank() const {
  for (size_t i = location_; i < lineEnd_;) {
    unsigned char c = static_cast<unsigned char>(string_[i]);
    if (c == ' ' || c == '\t') {
      ++i;
      continue;
    }
    if (c < 0x80) return false;
    size_t length = 0;
    if (!MDCharacterSet::isWhitespace(utf8::decode(string_.substr(0, lineEnd_), i, &length))) return false;
    i += length;
  }
  return true;
}

size_t MDScanner::locationOfCharacter(char c, MDRange range) const {
  size_t end = std::min(range.end(), string_.size());
  for (size_t i = range.location; i < end; ++i)
    if (string_[i] == c) return i;
  return std::string_view::npos;
}

void MDScanner::transactionUnderflow() {
  throw std::logic_error("Transaction underflow: Could not commit transaction because the stack is empty");
}

}  // namespace markdown
