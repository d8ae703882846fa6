#include "markdown/MDLinkParser.h"

#include <algorithm>

namespace markdown {

namespace {

constexpr size_t npos = std::string_view::npos;

// The target with each backslash before an escapable character removed (the escaped
// character itself stays, so a doubled backslash leaves one); `out` holds it when that
// changed anything.
std::string_view withoutBackslashEscapes(std::string_view text, std::string& out) {
  if (text.find('\\') == std::string_view::npos) return text;
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && isBackslashEscapable(static_cast<unsigned char>(text[i + 1]))) ++i;
    out += text[i];
  }
  return out;
}

}  // namespace

void MDLinkParser::clear() {
  forgetAll();
  references_.clear();
}

void MDLinkParser::forget(uint64_t scanner) {
  brackets_.forget(scanner);
  parens_.forget(scanner);
  search_.forget(scanner);
}

void MDLinkParser::forgetAll() {
  brackets_.forgetAll();
  parens_.forgetAll();
  search_.forgetAll();
}

bool MDLinkParser::parseLinkTextBody(MDScanner& scanner, std::vector<MDRange>& pieces) {
  pieces.clear();
  if (scanner.nextByte() != '[' || scanner.atEndOfLine()) return false;
  const size_t open = scanner.location();
  const size_t close = brackets_.closeOf(scanner, open);
  if (close == npos) return false;
  const auto& lines = scanner.lineRanges();
  size_t from = open + 1;
  for (size_t index = scanner.rangeIndex(); index < lines.size(); ++index) {
    if (index > scanner.rangeIndex()) from = lines[index].location;
    size_t to = std::min(close, lines[index].end());
    if (to > from) pieces.push_back({from, to - from});
    if (close <= lines[index].end()) break;
  }
  scanner.setLocation(close + 1);
  return true;
}

MDElement* MDLinkParser::parseInlineLink(MDScanner& scanner, MDDocument& document) {
  if (!parseLinkTextBody(scanner, text_) || scanner.nextByte() != '(' || scanner.atEndOfLine()) return nullptr;
  const size_t open = scanner.location();
  scanner.advance();
  scanner.skipWhitespace();
  const size_t targetStart = scanner.location();
  // The target runs to the ')' that closes the '(' (parentheses counted, a backslash
  // passing the next character) or to a blank, where no other parenthesis may be open.
  const MDParenIndex::TargetEnd end = parens_.targetEnd(scanner, open, targetStart);
  if (end.kind == MDParenIndex::TargetEnd::None) return nullptr;
  const size_t targetEnd = end.location;
  std::optional<std::string_view> title;
  scanner.setLocation(targetEnd);
  if (end.kind == MDParenIndex::TargetEnd::Closed) {
    scanner.advance();
  } else {
    scanner.skipWhitespace();
    if (!scanner.matchString(")")) {
      if (!scanner.matchString("\"")) return nullptr;
      const size_t titleStart = scanner.location();
      size_t titleEnd = search_.find(scanner, "\")", MDTextSearch::TitleEnd, false);
      if (titleEnd == npos) return nullptr;
      title = std::string_view(document.markdown()).substr(titleStart, titleEnd - titleStart);
      scanner.setLocation(titleEnd + 2);
    }
  }
  std::string_view target = std::string_view(document.markdown()).substr(targetStart, targetEnd - targetStart);
  if (target.size() >= 2 && target.front() == '<' && target.back() == '>') target = target.substr(1, target.size() - 2);
  MDElement* link = document.makeElement(MDElementType::Link);
  link->setInnerRanges(text_);
  link->setHref(withoutBackslashEscapes(target, href_));
  link->setTitle(title);
  return link;
}

MDElement* MDLinkParser::parseReferenceLink(MDScanner& scanner, MDDocument& document) {
  if (!parseLinkTextBody(scanner, text_) || text_.empty()) return nullptr;
  if (scanner.nextByte() == ' ' && !scanner.atEndOfLine()) {
    scanner.advance();
  } else if (scanner.atEndOfLine() && !scanner.onLastLine()) {
    scanner.advanceToNextLine();
  }
  if (!parseLinkTextBody(scanner, name_)) return nullptr;
  MDElement* link = document.makeElement(MDElementType::Link);
  link->setIdentifier(joined(document.markdown(), name_.empty() ? text_ : name_, " "));
  link->setInnerRanges(text_);
  references_.push_back(link);
  return link;
}

std::string MDLinkParser::joined(std::string_view text, std::span<const MDRange> ranges, std::string_view separator) {
  std::string out;
  for (size_t i = 0; i < ranges.size(); ++i) {
    if (i > 0) out += separator;
    out += text.substr(ranges[i].location, ranges[i].length);
  }
  return out;
}

}  // namespace markdown
