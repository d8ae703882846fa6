#include "html/HTMLNthExpression.h"

#include <limits>
#include <optional>
#include <vector>

#include "html/HTMLUnicode.h"

namespace html {

namespace {

// A whole signed decimal integer (blanks around allowed), or nothing.
std::optional<int64_t> wholeInteger(StringView text) {
  text = trimUnicodeWhitespace(text);
  if (text.empty()) return std::nullopt;
  size_t at = 0;
  bool negative = false;
  if (text[0] == u'+' || text[0] == u'-') {
    negative = text[0] == u'-';
    ++at;
  }
  if (at == text.size()) return std::nullopt;
  int64_t value = 0;
  for (; at < text.size(); ++at) {
    if (!isASCIIDigit(text[at])) return std::nullopt;
    int digit = text[at] - u'0';
    if (value > (std::numeric_limits<int64_t>::max() - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}

}  // namespace

HTMLNthExpression HTMLNthExpressionFromString(StringView string) {
  // 1.
  StringView text = trimUnicodeWhitespace(string);
  if (equalsIgnoringASCIICase(text, u"odd")) return HTMLNthExpressionOdd;
  if (equalsIgnoringASCIICase(text, u"even")) return HTMLNthExpressionEven;
  // 2.
  for (char16_t c : text) {
    if (!(isASCIIDigit(c) || c == u' ' || c == u'n' || c == u'N' || c == u'+' || c == u'-')) {
      return HTMLNthExpressionInvalid;
    }
  }
  // 3.
  std::vector<StringView> pieces;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == u'n' || text[i] == u'N') {
      pieces.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (pieces.size() > 2) return HTMLNthExpressionInvalid;
  // 4.
  if (pieces.size() == 1) {
    if (trimUnicodeWhitespace(pieces[0]).empty()) return {0, 1};
    std::optional<int64_t> c = wholeInteger(pieces[0]);
    return c ? HTMLNthExpression{0, *c} : HTMLNthExpressionInvalid;
  }
  // 5.
  std::optional<int64_t> c = trimUnicodeWhitespace(pieces[1]).empty() ? 0 : wholeInteger(pieces[1]);
  if (!c) return HTMLNthExpressionInvalid;
  if (pieces[0] == u"-") return {-1, *c};
  std::optional<int64_t> n = trimUnicodeWhitespace(pieces[0]).empty() ? 1 : wholeInteger(pieces[0]);
  if (!n) return HTMLNthExpressionInvalid;
  return {*n, *c};
}

bool HTMLNthExpressionMatchesPosition(HTMLNthExpression e, int64_t p) {
  if (e.n == 0) return p == e.c;
  if (e.n > 0) return p >= e.c && (p - e.c) % e.n == 0;
  return p <= e.c && (e.c - p) % (-e.n) == 0;
}

}  // namespace html
