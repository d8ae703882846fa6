#include "html/HTMLDOCTYPEToken.h"

#include "html/HTMLCodePoints.h"
#include "html/HTMLTokenDescription.h"

namespace html {

namespace {

String orNull(const std::optional<String>& s) { return s ? *s : String(u"(null)"); }

void appendTo(std::optional<String>& identifier, StringView string) {
  if (string.empty()) return;
  if (!identifier) identifier.emplace();
  identifier->append(string);
}

}  // namespace

void HTMLDOCTYPEToken::appendLongCharacterToName(CodePoint c) {
  if (!name_) name_.emplace();
  AppendLongCharacter(*name_, c);
}

void HTMLDOCTYPEToken::appendStringToPublicIdentifier(StringView string) { appendTo(publicIdentifier_, string); }

void HTMLDOCTYPEToken::appendStringToSystemIdentifier(StringView string) { appendTo(systemIdentifier_, string); }

String HTMLDOCTYPEToken::description() const {
  return tokenDescription("HTMLDOCTYPEToken", this,
                          u"<!DOCTYPE " + orNull(name_) + u" " + orNull(publicIdentifier_) + u" " +
                              orNull(systemIdentifier_) + u">");
}

}  // namespace html
