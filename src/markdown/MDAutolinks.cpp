#include "markdown/MDAutolinks.h"

#include <string>

#include "foundation/URL.h"
#include "markdown/MDRegularExpression.h"

namespace markdown {

namespace {

constexpr size_t npos = std::string_view::npos;

const MDCharacterSet& emailCharacters() {
  static const MDCharacterSet set("._-+", true);
  return set;
}

const MDCharacterSet& domainCharacters() {
  static const MDCharacterSet set("-:", true);
  return set;
}

const MDCharacterSet& pathCharacters() {
  static const MDCharacterSet set(",_-/:?&;%~!#+=@", true);
  return set;
}

const MDRegularExpression& schemeExpression() {
  static const MDRegularExpression expression("^(\\w+)://", false);
  return expression;
}

const MDRegularExpression& emailExpression() {
  static const MDRegularExpression expression("^[-._0-9\\p{L}]+@[-\\p{L}0-9][-.\\p{L}0-9]*\\.\\p{L}+$", true);
  return expression;
}

std::string_view source(const MDDocument& document) { return document.markdown(); }

MDElement* make(MDDocument& document, MDElementType type, MDRange range) {
  MDElement* element = document.makeElement(type);
  element->range = range;
  return element;
}

MDElement* makeText(MDDocument& document, size_t from, size_t to) {
  return make(document, MDElementType::None, {from, to - from});
}

MDElement* makeEntity(MDDocument& document, MDRange range, std::string_view text) {
  MDElement* element = make(document, MDElementType::Entity, range);
  element->setStringValue(text);
  return element;
}

}  // namespace

MDElement* MDAutolinks::parseAutomaticLink(MDScanner& scanner, MDDocument& document) {
  const size_t start = scanner.location();
  if (!scanner.matchString("<")) return nullptr;
  size_t close = search_.find(scanner, ">", MDTextSearch::TagEnd, false);
  if (close == npos) return nullptr;
  std::string_view body = source(document).substr(start + 1, close - start - 1);
  // The text is written almost unescaped, so only what a strict URL parser accepts
  // (no blanks, controls, quotes, angle brackets, braces, '|', '\\', '^' or '`') is a link.
  if (body.find("://") == npos || !schemeExpression().find(body) || !URL::fromString(body)) return nullptr;
  MDElement* link = make(document, MDElementType::Link, {start, close + 1 - start});
  link->setHref(std::string(body));
  size_t pieceStart = start + 1;
  for (size_t i = start + 1; i <= close; ++i) {
    if (i < close && source(document)[i] != '&') continue;
    if (i > pieceStart) link->addChild(makeText(document, pieceStart, i));
    if (i < close) link->addChild(makeEntity(document, {i, 1}, "&amp;"));
    pieceStart = i + 1;
  }
  scanner.setLocation(close + 1);
  return link;
}

MDElement* MDAutolinks::parseAutomaticEmailLink(MDScanner& scanner, MDDocument& document) {
  const size_t start = scanner.location();
  if (!scanner.matchString("<")) return nullptr;
  size_t close = search_.find(scanner, ">", MDTextSearch::TagEnd, false);
  if (close == npos) return nullptr;
  std::string_view body = source(document).substr(start + 1, close - start - 1);
  if (body.find('@') == npos || !emailExpression().find(body)) return nullptr;
  MDElement* mail = make(document, MDElementType::Mailto, {start, close + 1 - start});
  mail->setHref(std::string(body));
  scanner.setLocation(close + 1);
  return mail;
}

MDElement* MDAutolinks::parseEmailAddress(MDScanner& scanner, MDDocument& document, size_t runStart) {
  std::string_view local = scanner.previousWordWithCharactersFromSet(emailCharacters(), runStart);
  if (local.empty()) return nullptr;
  const size_t start = scanner.location() - local.size();
  scanner.advance();  // '@'
  std::string_view domain = scanner.nextWordWithCharactersFromSet(emailCharacters());
  // The domain ends with its last letter or digit.
  size_t end = 0;
  for (size_t i = 0; i < domain.size();) {
    size_t length = 0;
    char32_t c = utf8::decode(domain, i, &length);
    i += length;
    if (MDCharacterSet::isAlphanumeric(c)) end = i;
  }
  domain = domain.substr(0, end);
  if (domain.empty() || domain.find('.') == npos) return nullptr;
  scanner.setLocation(scanner.location() + domain.size());
  MDElement* mail = make(document, MDElementType::Mailto, {start, scanner.location() - start});
  mail->setHref(std::string(source(document).substr(start, scanner.location() - start)));
  return mail;
}

MDElement* MDAutolinks::parseURL(MDScanner& scanner, MDDocument& document, size_t runStart) {
  std::string_view scheme = scanner.previousWordWithCharactersFromSet(MDCharacterSet::alphanumeric(), runStart);
  if (scheme.size() < 3 || scheme.size() > 5) return nullptr;
  std::string lower(scheme);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (lower != "http" && lower != "https" && lower != "ftp") return nullptr;
  const size_t start = scanner.location() - scheme.size();
  if (!scanner.matchString("://") || !parseDomain(scanner)) return nullptr;
  parsePath(scanner);
  MDRange range{start, scanner.location() - start};
  MDElement* link = make(document, MDElementType::Link, range);
  link->setHref(std::string(source(document).substr(range.location, range.length)));
  link->addChild(make(document, MDElementType::None, range));
  return link;
}

MDElement* MDAutolinks::parseWWWURL(MDScanner& scanner, MDDocument& document) {
  const size_t start = scanner.location();
  if (!scanner.matchString("www.") || !parseDomain(scanner)) return nullptr;
  parsePath(scanner);
  MDRange range{start, scanner.location() - start};
  MDElement* link = make(document, MDElementType::Link, range);
  link->setHref("http://" + std::string(source(document).substr(range.location, range.length)));
  link->addChild(make(document, MDElementType::None, range));
  return link;
}

bool MDAutolinks::parseDomain(MDScanner& scanner) {
  if (scanner.atEndOfLine() || !MDCharacterSet::isAlphanumeric(scanner.nextCharacter())) return false;
  scanner.advance();
  scanner.skipCharactersFromSet(domainCharacters());
  if (!scanner.matchString(".")) return false;
  return scanner.skipCharactersFromSet(domainCharacters()) > 0;
}

void MDAutolinks::parsePath(MDScanner& scanner) {
  size_t open = 0;
  // Whether the character at the location can go on with the path.
  auto continues = [&](char32_t c) {
    return pathCharacters().contains(c) || c == '\\' || c == '(' || (c == ')' && open > 0);
  };
  while (!scanner.atEndOfLine()) {
    const char32_t c = scanner.nextCharacter();
    if (pathCharacters().contains(c)) {
      scanner.advance();
    } else if (c == '\\') {
      scanner.advance();
      if (scanner.nextByte() == '(' || scanner.nextByte() == ')') scanner.advance();
    } else if (c == '(') {
      ++open;
      scanner.advance();
    } else if (c == ')' && open > 0) {
      --open;
      scanner.advance();
    } else if (c == '.') {
      // Dots belong to the path only when it goes on after them: a sentence's final
      // period does not.
      scanner.beginTransaction();
      while (scanner.matchString(".")) {
      }
      bool goesOn = !scanner.atEndOfLine() && continues(scanner.nextCharacter());
      scanner.commitTransaction(goesOn);
      if (!goesOn) return;
    } else {
      return;
    }
  }
}

}  // namespace markdown
