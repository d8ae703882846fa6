#include "markdown/MDLinkDefinitions.h"

#include <algorithm>
#include <unordered_map>

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace markdown {

namespace {

std::string lowercased(std::string_view text) {
  bool ascii = true;
  for (char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) {
    std::string out(text);
    for (char& c : out)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
  }
  std::string out;
  icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())))
      .toLower(icu::Locale::getRoot())
      .toUTF8String(out);
  return out;
}

}  // namespace

MDElement* MDLinkDefinitions::parseLinkDefinition(MDScanner& scanner, MDDocument& document, unsigned treeDepth) {
  const size_t start = scanner.location();
  Definition read;
  if (!readLinkDefinition(scanner, document.markdown(), read)) return nullptr;
  MDElement* definition = document.makeElement(MDElementType::Definition);
  definition->setIdentifier(std::move(read.identifier));
  definition->setHref(std::move(read.href));
  definition->setTitle(std::move(read.title));
  definition->range = {start, scanner.location() - start};
  definitions_.emplace_back(treeDepth, definition);
  return definition;
}

bool MDLinkDefinitions::readLinkDefinition(MDScanner& scanner, std::string_view text, Definition& definition) {
  scanner.skipIndentationUpTo(3);
  if (scanner.nextByte() != '[') return false;
  const size_t nameStart = scanner.location() + 1;
  if (scanner.skipNestedBracketsWithDelimiter('[') == 0) return false;
  const MDRange name{nameStart, scanner.location() - 1 - nameStart};
  if (!scanner.matchString(":")) return false;
  scanner.skipWhitespace();
  size_t targetStart = scanner.location();
  while (!scanner.atEndOfLine() && !MDCharacterSet::isWhitespace(scanner.nextCharacter())) scanner.advance();
  std::string_view target = text.substr(targetStart, scanner.location() - targetStart);
  if (target.empty()) return false;
  if (target.size() >= 2 && target.front() == '<' && target.back() == '>') target = target.substr(1, target.size() - 2);

  // The title, on this line or alone on the next.
  std::optional<std::string>& title = definition.title;
  scanner.beginTransaction();
  scanner.skipWhitespace();
  if (scanner.atEndOfLine() && !scanner.onLastLine()) {
    scanner.advanceToNextLine();
    scanner.skipWhitespace();
  }
  unsigned char open = scanner.nextByte();
  unsigned char close = open == '"' ? '"' : open == '\'' ? '\'' : open == '(' ? ')' : 0;
  if (close != 0) {
    MDRange rest = scanner.currentRange();
    size_t end = utf8::endWithoutTrailingWhitespace(text, rest.location, rest.end());
    if (end >= rest.location + 2 && static_cast<unsigned char>(text[end - 1]) == close) {
      title = std::string(text.substr(rest.location + 1, end - rest.location - 2));
      scanner.skipToEndOfLine();
    }
  }
  scanner.commitTransaction(title.has_value());
  scanner.skipWhitespace();
  if (!scanner.atEndOfLine()) return false;
  definition.identifier = text.substr(name.location, name.length);
  definition.href = target;
  return true;
}

void MDLinkDefinitions::resolve(const std::vector<MDElement*>& references) {
  if (references.empty()) return;
  std::stable_sort(definitions_.begin(), definitions_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::unordered_map<std::string, MDElement*> definitions;
  for (const auto& [depth, definition] : definitions_) definitions[lowercased(*definition->identifier())] = definition;
  for (MDElement* reference : references) {
    if (reference->href() || !reference->identifier()) continue;
    auto found = definitions.find(lowercased(*reference->identifier()));
    if (found == definitions.end()) {
      // Written as the text it was.
      reference->type = MDElementType::None;
      reference->setChildren({});
      continue;
    }
    reference->setHref(found->second->href());
    reference->setTitle(found->second->title());
  }
}

}  // namespace markdown
