#include "markdown/MDHTMLParser.h"

#include <cstring>
#include <vector>

namespace markdown {

namespace {

constexpr size_t npos = std::string_view::npos;

constexpr std::array<std::string_view, MDHTMLParser::blockTagCount> blockTags = {
    "p",  "div", "h1",  "h2", "h3", "h4",     "h5",       "h6",   "blockquote", "pre",  "table",
    "dl", "ol",  "ul",  "script", "noscript", "form", "fieldset", "iframe", "math", "ins", "del"};

int blockTagIndex(std::string_view word) {
  for (size_t i = 0; i < blockTags.size(); ++i)
    if (blockTags[i] == word) return static_cast<int>(i);
  return -1;
}

const MDCharacterSet& tagNameCharacters() {
  static const MDCharacterSet set(":-", true);
  return set;
}


}  // namespace

MDElement* MDHTMLParser::parseBlockTagWithScanner(MDScanner& scanner, MDDocument& document) {
  const size_t start = scanner.location();
  if (scanner.nextByte() != '<') return nullptr;
  bool found = inTransaction(scanner, [&] { return strictBlock(scanner); }) ||
               inTransaction(scanner, [&] { return lenientBlock(scanner); });
  if (!found) return nullptr;
  MDElement* element = document.makeElement(MDElementType::HTML);
  element->range = {start, scanner.location() - start};
  return element;
}

MDElement* MDHTMLParser::parseCommentWithScanner(MDScanner& scanner, MDDocument& document) {
  const size_t start = scanner.location();
  if (!passComment(scanner)) return nullptr;
  MDElement* element = document.makeElement(MDElementType::HTML);
  element->range = {start, scanner.location() - start};
  return element;
}

MDElement* MDHTMLParser::parseInlineTagWithScanner(MDScanner& scanner, MDDocument& document) {
  const size_t start = scanner.location();
  std::string_view name;
  if (!passInlineTag(scanner, &name)) return nullptr;
  MDElement* element = document.makeElement(MDElementType::HTML);
  element->range = {start, scanner.location() - start};
  element->setStringValue(name);
  return element;
}

// The strict form, with the blocks nested in it kept on a stack of their own rather
// than on the call stack (a description may open thousands). A nested block that fails
// makes the block around it follow the same way: it either meets its own end tag on
// that way (the failed block remembers the first end tag of each name it passed) or
// at the place where the nested one failed, or it fails there too.
bool MDHTMLParser::strictBlock(MDScanner& scanner) {
  if (!remembersFailures_) return plainStrictBlock(scanner);
  const uint64_t id = scanner.identifier();
  const size_t first = scanner.location();
  if (auto known = strictResults_.find({id, first}); known != strictResults_.end()) {
    if (!known->second.complete) return false;
    scanner.setLocation(known->second.end);
    return true;
  }
  int name = parseBlockOpenTag(scanner);
  if (name < 0) return false;

  struct Frame {
    size_t start;
    int name;
    SeenEndTags seen;
  };
  SeenEndTags none;
  none.fill(npos);
  std::vector<Frame> frames{{first, name, none}};

  auto completeInnermost = [&] {
    StrictResult result;
    result.complete = true;
    result.end = scanner.location();
    strictResults_[{id, frames.back().start}] = result;
    frames.pop_back();
  };
  auto failInnermost = [&](const StrictResult& failure) {
    strictResults_[{id, frames.back().start}] = failure;
    frames.pop_back();
  };

  while (true) {
    StrictResult failure;
    bool reached = passToNextTagStart(scanner);
    const size_t at = scanner.location();
    Frame& innermost = frames.back();
    bool childFailed = false;
    if (!reached) {
      failure.failedAt = npos;
      failure.seen = innermost.seen;
    } else {
      scanner.beginTransaction();
      int endName = parseBlockEndTag(scanner);
      if (endName == innermost.name) {
        scanner.commitTransaction(true);
        completeInnermost();
        if (frames.empty()) return true;
        continue;
      }
      scanner.commitTransaction(false);

      scanner.beginTransaction();
      int nested = parseBlockOpenTag(scanner);
      if (nested >= 0) {
        auto known = strictResults_.find({id, at});
        if (known == strictResults_.end()) {
          scanner.commitTransaction(true);
          frames.push_back({at, nested, none});
          continue;
        }
        scanner.commitTransaction(false);
        if (known->second.complete) {
          scanner.setLocation(known->second.end);
          continue;
        }
        failure = known->second;
        childFailed = true;
      } else {
        scanner.commitTransaction(false);
        if (inTransaction(scanner, [&] { return passComment(scanner); })) continue;
        std::string_view tagName;
        if (inTransaction(scanner, [&] { return passInlineTag(scanner, &tagName); })) {
          if (endName >= 0 && innermost.seen[endName] == npos) innermost.seen[endName] = at;
          continue;
        }
        failure.failedAt = at;
        failure.seen = innermost.seen;
      }
    }

    if (!childFailed) {
      failInnermost(failure);
      if (frames.empty()) return false;
    }
    // `failure` is the result of a block directly inside the innermost open one, whose
    // way from here on is the failed block's way.
    while (true) {
      Frame& parent = frames.back();
      size_t endAt = failure.seen[parent.name];
      if (endAt == npos && failure.failedAt != npos) {
        scanner.setLocation(failure.failedAt);
        scanner.beginTransaction();
        if (parseBlockEndTag(scanner) == parent.name) endAt = failure.failedAt;
        scanner.commitTransaction(false);
      }
      if (endAt != npos) {
        scanner.setLocation(endAt);
        parseBlockEndTag(scanner);
        completeInnermost();
        if (frames.empty()) return true;
        break;
      }
      for (size_t k = 0; k < blockTagCount; ++k)
        if (parent.seen[k] == npos) parent.seen[k] = failure.seen[k];
      failure.seen = parent.seen;
      failInnermost(failure);
      if (frames.empty()) return false;
    }
  }
}

bool MDHTMLParser::plainStrictBlock(MDScanner& scanner) {
  int name = parseBlockOpenTag(scanner);
  if (name < 0) return false;
  while (passToNextTagStart(scanner)) {
    if (inTransaction(scanner, [&] { return parseBlockEndTag(scanner) == name; })) return true;
    if (inTransaction(scanner, [&] { return plainStrictBlock(scanner); })) continue;
    if (inTransaction(scanner, [&] { return passComment(scanner); })) continue;
    std::string_view tagName;
    if (!inTransaction(scanner, [&] { return passInlineTag(scanner, &tagName); })) return false;
  }
  return false;
}

bool MDHTMLParser::lenientBlock(MDScanner& scanner) {
  if (!scanner.matchString("<")) return false;
  std::string_view word = scanner.nextWord();
  if (blockTagIndex(word) < 0) return false;
  scanner.setLocation(scanner.location() + word.size());
  size_t close = search_.find(scanner, ">", MDTextSearch::TagEnd, true);
  if (close == npos) return false;
  scanner.setLocation(close + 1);
  while (!scanner.onLastLine()) {
    scanner.advanceToNextLine();
    if (scanner.restIsBlank()) return true;
  }
  scanner.skipToEndOfLine();
  return true;
}

int MDHTMLParser::parseBlockOpenTag(MDScanner& scanner) {
  if (!scanner.matchString("<")) return -1;
  std::string_view word = scanner.nextWord();
  int name = blockTagIndex(word);
  if (name < 0) return -1;
  scanner.setLocation(scanner.location() + word.size());
  passAttributes(scanner);
  scanner.skipWhitespace();
  return scanner.matchString(">") ? name : -1;
}

int MDHTMLParser::parseBlockEndTag(MDScanner& scanner) {
  if (!scanner.matchString("</")) return -1;
  scanner.skipWhitespace();
  std::string_view word = scanner.nextWord();
  int name = blockTagIndex(word);
  if (name < 0) return -1;
  scanner.setLocation(scanner.location() + word.size());
  scanner.skipWhitespace();
  return scanner.matchString(">") ? name : -1;
}

bool MDHTMLParser::passComment(MDScanner& scanner) {
  if (!scanner.matchString("<!--")) return false;
  size_t close = search_.find(scanner, "-->", MDTextSearch::CommentEnd, true);
  if (close == npos) return false;
  scanner.setLocation(close + 3);
  return true;
}

bool MDHTMLParser::passInlineTag(MDScanner& scanner, std::string_view* name) {
  if (!scanner.matchString("<")) return false;
  scanner.matchString("/");
  *name = scanner.nextWordWithCharactersFromSet(tagNameCharacters());
  if (name->empty()) return false;
  scanner.setLocation(scanner.location() + name->size());
  passAttributes(scanner);
  scanner.skipWhitespace();
  scanner.matchString("/");
  return scanner.matchString(">");
}

void MDHTMLParser::passAttributes(MDScanner& scanner) {
  if (!scanner.atEndOfLine() && !MDCharacterSet::isWhitespace(scanner.nextCharacter())) return;
  while (scanner.skipWhitespaceAndNewlines() > 0) {
    std::string_view attribute = scanner.nextWordWithCharactersFromSet(tagNameCharacters());
    if (attribute.empty()) return;
    scanner.setLocation(scanner.location() + attribute.size());
    scanner.beginTransaction();
    scanner.skipWhitespace();
    if (!scanner.matchString("=")) {
      scanner.commitTransaction(false);
      continue;
    }
    scanner.skipWhitespace();
    bool value = false;
    unsigned char c = scanner.nextByte();
    if (c == '"' || c == '\'') {
      value = passQuotedValue(scanner);
    } else {
      while (!scanner.atEndOfLine()) {
        c = scanner.nextByte();
        if (c == '"' || c == '\'' || c == '=' || c == '>' || c == '<' || c == '`' ||
            MDCharacterSet::isWhitespace(scanner.nextCharacter()))
          break;
        scanner.advance();
        value = true;
      }
    }
    scanner.commitTransaction(value);
    if (!value) return;
  }
}

bool MDHTMLParser::passQuotedValue(MDScanner& scanner) {
  bool doubleQuote = scanner.nextByte() == '"';
  scanner.advance();
  size_t close = doubleQuote ? search_.find(scanner, "\"", MDTextSearch::DoubleQuote, true)
                             : search_.find(scanner, "'", MDTextSearch::Apostrophe, true);
  if (close == npos) return false;
  scanner.setLocation(close + 1);
  return true;
}

bool MDHTMLParser::passToNextTagStart(MDScanner& scanner) {
  while (true) {
    MDRange rest = scanner.currentRange();
    const char* data = scanner.string().data();
    if (const void* hit = std::memchr(data + rest.location, '<', rest.length)) {
      scanner.setLocation(static_cast<size_t>(static_cast<const char*>(hit) - data));
      return true;
    }
    if (scanner.onLastLine()) {
      scanner.skipToEndOfLine();
      return false;
    }
    scanner.advanceToNextLine();
  }
}

}  // namespace markdown
