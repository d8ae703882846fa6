#include "html/HTMLEntities.h"

#include <optional>

#include "html/HTMLCharacterReferences.h"
#include "html/HTMLCodePoints.h"
#include "html/HTMLNamedReferenceTables.h"

namespace html::HTMLEntities {

namespace {

// The replacement of the reference whose "&" is at `amp`, and where it ends; nothing
// when the text there is no reference.
std::optional<String> resolveAt(StringView string, size_t amp, size_t* end) {
  size_t at = amp + 1;
  if (at >= string.size()) return std::nullopt;
  if (string[at] == u'#') {
    ++at;
    bool hex = at < string.size() && (string[at] == u'x' || string[at] == u'X');
    if (hex) ++at;
    size_t digitsStart = at;
    uint64_t value = 0;
    while (at < string.size() && (hex ? isASCIIHexDigit(string[at]) : isASCIIDigit(string[at]))) {
      char16_t d = string[at++];
      unsigned digit = isASCIIDigit(d) ? d - u'0' : toASCIILower(d) - u'a' + 10;
      if (value <= 0xFFFFFFFFull) value = value * (hex ? 16 : 10) + digit;
    }
    if (at == digitsStart) return std::nullopt;
    CodePoint c = value > 0xFFFFFFFFull ? 0xFFFFFFFF : static_cast<CodePoint>(value);
    if (CodePoint replacement = ReplacementForNumericEntity(c)) c = replacement;
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
    if (at < string.size() && string[at] == u';') ++at;
    *end = at;
    return StringWithLongCharacter(c);
  }
  StringView name;
  std::optional<StringView> replacement =
      StringForNamedEntity(string.substr(at, LongestEntityNameLength), &name);
  if (!replacement) return std::nullopt;
  *end = at + name.size();
  return String(*replacement);
}

}  // namespace

String html_stringByEscapingForHTML(StringView string) {
  String out;
  out.reserve(string.size());
  for (char16_t c : string) {
    switch (c) {
      case u'&': out += u"&amp;"; break;
      case u'\u00A0': out += u"&nbsp;"; break;
      case u'"': out += u"&quot;"; break;
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

String html_stringByUnescapingHTML(StringView string) {
  if (string.find(u'&') == StringView::npos) return String(string);
  // Left to right: each reference is read from the original text, so a replacement
  // that itself holds "&" is never read again.
  String out;
  out.reserve(string.size());
  size_t copied = 0;
  for (size_t amp = string.find(u'&'); amp != StringView::npos; amp = string.find(u'&', amp + 1)) {
    if (amp < copied) continue;
    size_t end = 0;
    std::optional<String> replacement = resolveAt(string, amp, &end);
    if (!replacement) continue;
    out.append(string.substr(copied, amp - copied));
    out += *replacement;
    copied = end;
    amp = end - 1;
  }
  out.append(string.substr(copied));
  return out;
}

}  // namespace html::HTMLEntities
