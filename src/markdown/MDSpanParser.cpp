#include "markdown/MDSpanParser.h"

#include <algorithm>
#include <string>

#include "markdown/MDExtensions.h"

namespace markdown {

namespace {

constexpr size_t npos = std::string_view::npos;

// Bytes that can never start an element: passed in one step. The trigger characters
// are "\\`*_<&[! ~w:@|"; where autolinks are off 'w', ':' and '@' start nothing, and
// outside a table cell '|' ends nothing, so those loops pass them as plain text too.
struct PlainBytes {
  bool table[256];
  PlainBytes(bool autolinks, bool cell) {
    for (bool& b : table) b = true;
    for (unsigned char c : std::string_view("\\`*_<&[! ~")) table[c] = false;
    if (autolinks)
      for (unsigned char c : std::string_view("w:@")) table[c] = false;
    if (cell) table[static_cast<unsigned char>('|')] = false;
  }
};
const PlainBytes plainBytesByKind[4] = {{false, false}, {false, true}, {true, false}, {true, true}};

// Bytes a code span passes in one step.
struct CodeBytes {
  bool table[256];
  CodeBytes() {
    for (bool& b : table) b = true;
    for (unsigned char c : std::string_view("`&<>")) table[c] = false;
  }
};
const CodeBytes codeBytes;

// What an autolink's local part or scheme may look back over ("._-+" and letters and
// digits). Bytes above ASCII count as such characters here: this only ever makes the
// remembered states of the inner loop more specific, never wrong.
bool mayBeLookedBackOver(unsigned char c) {
  return c >= 0x80 || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
         c == '_' || c == '-' || c == '+';
}

class DepthGuard {
 public:
  explicit DepthGuard(unsigned& depth) : depth_(depth) { ++depth_; }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  unsigned& depth_;
};

}  // namespace

MDSpanParser::MDSpanParser(unsigned extensions) : extensions_(extensions) {}

void MDSpanParser::beginDocument(MDDocument& document) {
  document_ = &document;
  depth_ = 0;
  reach_ = 0;
  tooDeep_ = emphasisAsText_ = false;
  visited_.clear();
  parseEm_ = parseStrong_ = parseLinks_ = parseImages_ = true;
}

void MDSpanParser::endDocument() {
  forgetAllScanners();
  links_.clear();
  document_ = nullptr;
}

void MDSpanParser::forgetScanner(const MDScanner& scanner) {
  const uint64_t id = scanner.identifier();
  failedStates_.forget(id);
  codeRuns_.forget(id);
  links_.forget(id);
  autolinks_.forget(id);
  htmlParser_.forgetSearches(id);
}

void MDSpanParser::forgetAllScanners() {
  failedStates_.forgetAll();
  codeRuns_.forgetAll();
  links_.forgetAll();
  autolinks_.forgetAll();
  htmlParser_.forgetAllSearches();
}

MDElement* MDSpanParser::make(MDElementType type, MDRange range) {
  MDElement* element = document_->makeElement(type);
  element->range = range;
  return element;
}

MDElement* MDSpanParser::makeEntity(MDRange range, std::string_view text) {
  MDElement* element = make(MDElementType::Entity, range);
  element->setStringValue(text);
  return element;
}

uint32_t MDSpanParser::signature(const ClosingTest& test) const {
  return static_cast<uint32_t>(test.kind) | test.owed << 2 | (parseEm_ ? 1u << 4 : 0) |
         (parseStrong_ ? 1u << 5 : 0) | (parseLinks_ ? 1u << 6 : 0) | static_cast<uint32_t>(test.marker) << 8;
}

std::optional<MDElementList> MDSpanParser::withinNestingLimit(
    MDScanner& scanner, const std::function<std::optional<MDElementList>()>& read) {
  const size_t start = scanner.location();
  auto elements = read();
  forgetAllScanners();
  if (!tooDeep_) return elements;
  // Its emphasis and strikethrough would nest past the limit: all of them are text.
  tooDeep_ = false;
  emphasisAsText_ = true;
  parseEm_ = parseStrong_ = true;
  scanner.setLocation(start);
  elements = read();
  forgetAllScanners();
  emphasisAsText_ = false;
  return elements;
}

std::optional<MDElementList> MDSpanParser::parseSpansInBlockElement(MDElement* block, MDScanner& scanner) {
  blockElement_ = block;
  scanner.skipWhitespace();
  return withinNestingLimit(scanner, [&] {
    ClosingTest endOfText;
    return parseWithScanner(scanner, endOfText);
  });
}

std::optional<MDElementList> MDSpanParser::parseSpansInTableColumns(const std::vector<int>& alignments,
                                                                   MDScanner& scanner) {
  return withinNestingLimit(scanner, [&] { return readTableColumns(alignments, scanner); });
}

std::optional<MDElementList> MDSpanParser::readTableColumns(const std::vector<int>& alignments, MDScanner& scanner) {
  MDElementList cells;
  for (int alignment : alignments) {
    scanner.skipWhitespace();
    MDElement* cell = make(MDElementType::TableCell, {scanner.location(), 0});
    cell->alignment = alignment;
    if (scanner.nextByte() != '|') {
      ClosingTest endOfCell{ClosingTest::TableCell};
      auto content = parseWithScanner(scanner, endOfCell);
      if (!content) return std::nullopt;
      cell->setChildren(*content);
    }
    cell->range.length = scanner.location() - cell->range.location;
    scanner.matchString("|");
    cells.append(cell);
  }
  return cells;
}

// The inner loop every construct with content uses: elements and plain text runs until
// the test passes (or, at the end of the text, nothing: the construct is not closed).
std::optional<MDElementList> MDSpanParser::parseWithScanner(MDScanner& scanner, ClosingTest& test) {
  if (tooDeep_ || scanner.atEndOfString()) return std::nullopt;
  const bool canFail = test.kind == ClosingTest::Strikethrough || test.kind == ClosingTest::Emphasis;
  if (canFail && depth_ >= maximumNesting) {
    tooDeep_ = true;  // every loop gives up, and the block is read again
    return std::nullopt;
  }
  const bool remember = canFail && remembersFailures_;
  DepthGuard guard(depth_);
  // The depth of the deepest loop this one's reading started: since the last place it
  // remembered (reach_), and before it (loopReach); the enclosing loop's counts it too.
  const unsigned outerReach = reach_;
  unsigned loopReach = depth_;
  reach_ = depth_;

  // Reading the content of emphasis or strikethrough may fail; the places a failed
  // reading passed are remembered (see MDFailedStates) so that a text full of unclosed
  // markers takes linear time. The state at a place is the place itself, the switches
  // there, and, where an autolink could look back past it, how far back the text run
  // began; how deep the failed reading went after it and what it left of the switches
  // are remembered with it.
  const bool autolinks = (extensions_ & MDExtensionAutolinks) && parseLinks_;
  const bool (&plainBytes)[256] =
      plainBytesByKind[(autolinks ? 2 : 0) + (test.kind == ClosingTest::TableCell ? 1 : 0)].table;
  // The visited places of nested loops share one stack: each loop owns what lies above
  // the mark it took at its start.
  const size_t visitedMark = visited_.size();
  MDElementList elements;
  size_t runStart = scanner.location();
  size_t wordStart = runStart;  // after the last character no autolink looks back over
  size_t wordFrom = npos, wordEnd = 0;
  bool wordEndsInAutolink = false;
  auto flush = [&](size_t to) {
    if (to > runStart) elements.append(makeText(runStart, to));
  };
  auto leave = [&] {
    visited_.resize(visitedMark);
    reach_ = std::max({outerReach, loopReach, reach_});
  };
  auto giveUp = [&]() -> std::optional<MDElementList> {
    if (remember && !tooDeep_ && visited_.size() > visitedMark) {
      // How deep the reading went after each place: after the last, then back to the first.
      unsigned deepest = reach_;
      for (size_t i = visited_.size(); i-- > visitedMark;) {
        deepest = std::max(deepest, visited_[i].deepest);
        visited_[i].deepest = deepest;
      }
      failedStates_.insert(scanner, visited_, visitedMark, depth_, parseEm_ && parseStrong_);
    }
    leave();
    return std::nullopt;
  };

  while (true) {
    if (remember) {
      const size_t location = scanner.location();
      size_t lookback = 0;
      if (autolinks) {
        // Only a '@' or ':' that ends the word going on from here looks back past here.
        if (location < wordFrom || location >= wordEnd) {
          wordFrom = location;
          wordEnd = location;
          const size_t lineEnd = scanner.currentLineRange().end();
          while (wordEnd < lineEnd && mayBeLookedBackOver(static_cast<unsigned char>(text()[wordEnd]))) ++wordEnd;
          wordEndsInAutolink = wordEnd < lineEnd && (text()[wordEnd] == '@' || text()[wordEnd] == ':');
          if (wordEnd == location) ++wordEnd;
        }
        if (wordEndsInAutolink) lookback = location - std::max(runStart, wordStart);
      }
      // The switches are part of the state where it is met: an emphasis read inside
      // the loop switches both kinds back on as it ends, whatever they were before it;
      // the failure known from here leaves them as they are or switches them on.
      const MDFailedStates::State state{location, lookback, signature(test)};
      if (!failedStates_.empty()) {
        if (auto failure = failedStates_.find(scanner, state)) {
          // The reading from here would go as deep below this loop as it went before.
          if (depth_ + failure->levels > maximumNesting) {
            tooDeep_ = true;
            return giveUp();
          }
          if (failure->switchedBackOn) parseEm_ = parseStrong_ = true;
          reach_ = std::max(reach_, depth_ + failure->levels);
          return giveUp();
        }
      }
      // What the reading met since the place before is that place's.
      if (visited_.size() > visitedMark) {
        visited_.back().deepest = reach_;
        loopReach = std::max(loopReach, reach_);
        reach_ = depth_;
      }
      visited_.push_back(state);
    }
    MDElement* element = parseNextElement(scanner, runStart);
    if (tooDeep_) return giveUp();
    if (element) {
      flush(element->range.location);
      elements.append(element);
      runStart = wordStart = scanner.location();
    } else if (scanner.atEndOfLine()) {
      const size_t location = scanner.location();
      flush(location);
      if ((extensions_ & MDExtensionHardNewlines) && blockElement_ && blockElement_->type == MDElementType::Paragraph)
        elements.append(make(MDElementType::LineBreak, {location, 0}));
      elements.append(makeEntity({location, 0}, "\n"));
      scanner.advanceToNextLine();
      runStart = wordStart = scanner.location();
    } else {
      const size_t from = scanner.location();
      // Where no element can start and no test can pass (a plain character next, and
      // a test that needs a marker or the end of the text), the step goes on over the
      // plain run at once: the result is the same, with fewer turns. A lone space
      // starts nothing (a line break needs two) and no marker test passes right
      // after one, so such runs go on over it too.
      const bool loneSpaces = test.kind != ClosingTest::TableCell;
      if (scanner.skipBytes(plainBytes, loneSpaces) == 0) {
        scanner.advance();
        if (loneSpaces) scanner.skipBytes(plainBytes, true);
      }
      if (autolinks) {
        for (size_t i = scanner.location(); i > from; --i) {
          if (!mayBeLookedBackOver(static_cast<unsigned char>(text()[i - 1]))) {
            wordStart = i;
            break;
          }
        }
      }
    }
    const size_t remembered = scanner.location();
    bool closed;
    if (test.kind == ClosingTest::EndOfText) {
      closed = scanner.atEndOfString();  // consumes nothing: no transaction needed
    } else {
      scanner.beginTransaction();
      closed = runTest(scanner, test);
      scanner.commitTransaction(closed);
    }
    if (closed) {
      flush(remembered);
      leave();
      return elements;
    }
    if (scanner.atEndOfString()) return giveUp();
  }
}

bool MDSpanParser::runTest(MDScanner& scanner, ClosingTest& test) {
  switch (test.kind) {
    case ClosingTest::EndOfText:
      return scanner.atEndOfString();
    case ClosingTest::Strikethrough:
      return !scanner.atBeginningOfLine() && !MDCharacterSet::isWhitespace(scanner.previousCharacter()) &&
             scanner.matchString("~~");
    case ClosingTest::TableCell:
      scanner.skipWhitespace();
      return scanner.nextByte() == '|' || scanner.atEndOfLine();
    case ClosingTest::Emphasis: {
      if (scanner.atBeginningOfLine() || MDCharacterSet::isWhitespace(scanner.previousCharacter())) return false;
      unsigned passed = 0;
      while (passed < test.owed && !scanner.atEndOfLine() && scanner.nextByte() == test.marker) {
        scanner.advance();
        ++passed;
      }
      if (passed == 0 || (test.owed != 3 && passed != test.owed)) return false;
      if ((extensions_ & MDExtensionIntrawordUnderscores) && test.marker == '_' &&
          MDCharacterSet::isAlphanumeric(scanner.nextCharacter()))
        return false;
      test.owed -= passed;
      return true;
    }
  }
  return false;
}

MDElement* MDSpanParser::parseNextElement(MDScanner& scanner, size_t runStart) {
  if (scanner.atEndOfLine()) return nullptr;
  auto attempt = [&](auto recognise) { return inTransaction(scanner, recognise); };
  const bool autolinks = parseLinks_ && (extensions_ & MDExtensionAutolinks);
  // What the recogniser needs to see first, checked before any transaction: most
  // trigger characters (blanks above all) start nothing.
  const MDRange rest = scanner.currentRange();
  auto followedBy = [&](std::string_view next) {
    return rest.length > next.size() && text().compare(rest.location + 1, next.size(), next) == 0;
  };
  switch (scanner.nextByte()) {
    case '~':
      if ((extensions_ & MDExtensionStrikethrough) && followedBy("~"))
        return attempt([&] { return parseStrikethrough(scanner); });
      return nullptr;
    case '@':
      if (!autolinks) return nullptr;
      return attempt([&] { return autolinks_.parseEmailAddress(scanner, *document_, runStart); });
    case ':':
      if (!autolinks || !followedBy("//")) return nullptr;
      return attempt([&] { return autolinks_.parseURL(scanner, *document_, runStart); });
    case 'w':
      if (!autolinks || !followedBy("ww.")) return nullptr;
      return attempt([&] { return autolinks_.parseWWWURL(scanner, *document_); });
    case '\\':
      return attempt([&] { return parseBackslash(scanner); });
    case '*':
    case '_':
      return attempt([&] { return parseEmAndStrong(scanner); });
    case '`':
      return attempt([&] { return parseCodeSpan(scanner); });
    case ' ':
      return followedBy(" ") ? attempt([&] { return parseLineBreak(scanner); }) : nullptr;
    case '[':
      return parseLinks_ ? attempt([&] { return parseLink(scanner); }) : nullptr;
    case '!':
      return parseImages_ && followedBy("[") ? attempt([&] { return parseImage(scanner); }) : nullptr;
    case '&':
      return attempt([&] { return parseAmpersand(scanner); });
    case '<': {
      MDElement* element = nullptr;
      if (parseLinks_) {
        element = attempt([&] { return autolinks_.parseAutomaticLink(scanner, *document_); });
        if (!element) element = attempt([&] { return autolinks_.parseAutomaticEmailLink(scanner, *document_); });
        if (element) return element;
      }
      if ((element = attempt([&] { return htmlParser_.parseInlineTagWithScanner(scanner, *document_); })))
        return element;
      if ((element = attempt([&] { return htmlParser_.parseCommentWithScanner(scanner, *document_); })))
        return element;
      MDElement* lessThan = makeEntity({scanner.location(), 1}, "&lt;");
      scanner.advance();
      return lessThan;
    }
    default:
      return nullptr;
  }
}

MDElement* MDSpanParser::parseStrikethrough(MDScanner& scanner) {
  if (emphasisAsText_) return nullptr;
  const size_t start = scanner.location();
  if (!scanner.matchString("~~")) return nullptr;
  ClosingTest closing{ClosingTest::Strikethrough};
  auto content = parseWithScanner(scanner, closing);
  if (!content || content->empty()) return nullptr;
  MDElement* struck = make(MDElementType::Strikethrough, {start, scanner.location() - start});
  struck->setChildren(*content);
  return struck;
}

MDElement* MDSpanParser::parseBackslash(MDScanner& scanner) {
  MDRange rest = scanner.currentRange();
  if (rest.length < 2 || !isBackslashEscapable(static_cast<unsigned char>(text()[rest.location + 1]))) return nullptr;
  scanner.setLocation(rest.location + 2);
  return makeEntity({rest.location, 2}, text().substr(rest.location + 1, 1));
}

MDElement* MDSpanParser::parseEmAndStrong(MDScanner& scanner) {
  if (emphasisAsText_) return nullptr;
  const size_t start = scanner.location();
  const unsigned char marker = scanner.nextByte();
  const char32_t before = scanner.previousCharacter();
  if ((extensions_ & MDExtensionIntrawordUnderscores) && marker == '_' && MDCharacterSet::isAlphanumeric(before))
    return nullptr;
  if (before == marker) return nullptr;  // a run is tried at its first character only
  unsigned count = 0;
  while (!scanner.atEndOfLine() && scanner.nextByte() == marker) {
    scanner.advance();
    ++count;
  }
  if (count > 3) return nullptr;
  const bool em = count != 2;
  const bool strong = count != 1;
  if ((em && !parseEm_) || (strong && !parseStrong_)) return nullptr;

  ClosingTest closing{ClosingTest::Emphasis, marker, count};
  if (em) parseEm_ = false;
  if (strong) parseStrong_ = false;
  auto content = parseWithScanner(scanner, closing);
  const bool came = content && !content->empty();
  if (!(came && closing.owed == 1)) parseEm_ = true;
  if (!(came && closing.owed == 2)) parseStrong_ = true;
  if (!came) return nullptr;

  auto wrap = [&](MDElementType type, const MDElementList& children) {
    MDElement* element = make(type, {start, scanner.location() - start});
    element->setChildren(children);
    return element;
  };
  if (count == 1) return wrap(MDElementType::Emphasis, *content);
  if (count == 2) return wrap(MDElementType::Strong, *content);
  if (closing.owed == 0) {
    MDElementList inner;
    inner.append(wrap(MDElementType::Emphasis, *content));
    return wrap(MDElementType::Strong, inner);
  }

  // Three opened and one or two closed: the inner construct is complete, the outer one
  // reads on with the same test.
  const bool emphasisClosedFirst = closing.owed == 2;
  MDElement* inner = wrap(emphasisClosedFirst ? MDElementType::Emphasis : MDElementType::Strong, *content);
  auto further = parseWithScanner(scanner, closing);
  parseEm_ = parseStrong_ = true;
  if (!further || further->empty()) return nullptr;
  further->prepend(inner);
  return wrap(emphasisClosedFirst ? MDElementType::Strong : MDElementType::Emphasis, *further);
}

MDElement* MDSpanParser::parseCodeSpan(MDScanner& scanner) {
  const size_t start = scanner.location();
  const MDCodeRuns& runs = codeRunsOf(scanner);
  const size_t ticks = runs.ticksFrom(start);
  if (ticks == 0 || !runs.hasRunAfter(start + ticks, ticks)) return nullptr;  // nothing can close it
  scanner.setLocation(start + ticks);
  scanner.skipWhitespace();
  MDElementList children;
  size_t textStart = scanner.location();
  auto flush = [&](size_t to) {
    if (to > textStart) children.append(makeText(textStart, to));
  };
  while (true) {
    if (scanner.atEndOfLine()) {
      if (scanner.onLastLine()) return nullptr;
      // The text goes on from where the line ended: what lies between the two lines
      // is written inside the span.
      scanner.advanceToNextLine();
      continue;
    }
    const size_t here = scanner.location();
    const unsigned char c = scanner.nextByte();
    if (c == '`') {
      size_t run = 0;
      while (!scanner.atEndOfLine() && scanner.nextByte() == '`' && run < ticks) {
        scanner.advance();
        ++run;
      }
      if (run == ticks) {
        flush(here);
        break;
      }
      while (!scanner.atEndOfLine() && scanner.nextByte() == '`') scanner.advance();
      continue;
    }
    if (c == '&' || c == '<' || c == '>') {
      flush(here);
      children.append(makeEntity({here, 1}, c == '&' ? "&amp;" : c == '<' ? "&lt;" : "&gt;"));
      scanner.advance();
      textStart = scanner.location();
      continue;
    }
    scanner.skipBytes(codeBytes.table);
  }
  MDElement* code = make(MDElementType::CodeSpan, {start, scanner.location() - start});
  code->setChildren(children);
  if (MDElement* last = code->children().back(); last && last->type == MDElementType::None) {
    size_t end = last->range.end();
    while (end > last->range.location && (text()[end - 1] == ' ' || text()[end - 1] == '\t')) --end;
    last->range.length = end - last->range.location;
    if (last->range.length == 0) code->removeLastChild();
  }
  return code;
}

const MDCodeRuns& MDSpanParser::codeRunsOf(const MDScanner& scanner) {
  bool made = false;
  MDCodeRuns& runs = codeRuns_.of(scanner.identifier(), made);
  if (made) runs.read(scanner);
  return runs;
}

MDElement* MDSpanParser::parseLineBreak(MDScanner& scanner) {
  const size_t start = scanner.location();
  size_t spaces = 0;
  while (scanner.matchString(" ")) ++spaces;
  if (spaces < 2 || !scanner.atEndOfLine() || scanner.onLastLine()) return nullptr;
  // The text before keeps the first space.
  return make(MDElementType::LineBreak, {start + 1, scanner.location() - start - 1});
}

MDElement* MDSpanParser::parseAmpersand(MDScanner& scanner) {
  const size_t start = scanner.location();
  scanner.beginTransaction();
  scanner.matchString("&");
  scanner.matchString("#");
  bool reference = scanner.skipCharactersFromSet(MDCharacterSet::alphanumeric()) > 0 && scanner.matchString(";");
  scanner.commitTransaction(false);
  if (reference) return nullptr;
  scanner.advance();
  return makeEntity({start, 1}, "&amp;");
}

MDElement* MDSpanParser::parseLink(MDScanner& scanner) {
  const size_t start = scanner.location();
  MDElement* link = inTransaction(scanner, [&] { return links_.parseInlineLink(scanner, *document_); });
  if (!link) link = inTransaction(scanner, [&] { return links_.parseReferenceLink(scanner, *document_); });
  if (!link) return nullptr;
  link->range = {start, scanner.location() - start};
  if (!link->innerRanges.empty()) {
    parseLinks_ = false;
    MDScanner content = MDScanner::borrowing(text(), link->innerRanges);
    ClosingTest endOfText;
    auto children = parseWithScanner(content, endOfText);
    forgetScanner(content);
    parseLinks_ = true;
    if (children) link->setChildren(*children);
  }
  return link;
}

MDElement* MDSpanParser::parseImage(MDScanner& scanner) {
  const size_t start = scanner.location();
  if (!scanner.matchString("!")) return nullptr;
  MDElement* image = inTransaction(scanner, [&] { return links_.parseInlineLink(scanner, *document_); });
  if (!image) image = inTransaction(scanner, [&] { return links_.parseReferenceLink(scanner, *document_); });
  if (!image) return nullptr;
  image->type = MDElementType::Image;
  image->range = {start, scanner.location() - start};
  image->setOwnedStringValue(MDLinkParser::joined(text(), image->innerRanges, ""));
  return image;
}

}  // namespace markdown
