// The selector compiler: a hand-written scanner over the selector text. It skips
// nothing by itself: every piece of white space the grammar allows is consumed where
// it may appear.
#include "html/HTMLSelector.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "html/HTMLCodePoints.h"
#include "html/HTMLUnicode.h"

namespace html {

namespace {

using namespace selector;

struct Scanner {
  StringView text;
  size_t location = 0;

  bool atEnd() const { return location >= text.size(); }
  char16_t peek() const { return atEnd() ? 0 : text[location]; }
  // The code point at the location and its length in units.
  CodePoint codePoint(size_t* length) const {
    char16_t unit = text[location];
    if (unit >= 0xD800 && unit <= 0xDBFF && location + 1 < text.size() && text[location + 1] >= 0xDC00 &&
        text[location + 1] <= 0xDFFF) {
      *length = 2;
      return 0x10000 + ((CodePoint(unit) - 0xD800) << 10) + (text[location + 1] - 0xDC00);
    }
    *length = 1;
    return unit;
  }
  void skipUnicodeWhitespace() {
    while (!atEnd() && isUnicodeWhitespace(peek())) ++location;
  }
};

ErrorRef ParseError(const std::string& message, size_t location, StringView input) {
  std::string reason = "Error near character " + std::to_string(location) + ": " + message + "\n\n\t" +
                       toUTF8(input) + "\n\t" + std::string(location, ' ') + "^";
  Value userInfo = Value::dict({{NSLocalizedDescriptionKey, message},
                                {NSLocalizedFailureReasonErrorKey, reason},
                                {HTMLSelectorInputStringErrorKey, toUTF8(input)},
                                {HTMLSelectorLocationErrorKey, static_cast<unsigned long long>(location)}});
  return makeError(HTMLSelectorErrorDomain, 1, std::move(userInfo));
}

bool isIdentifierCharacter(CodePoint c) { return c == '-' || c == '_' || isLetterMarkOrDigit(c); }
bool isCombinatorCharacter(char16_t c) { return c == u'>' || c == u'+' || c == u'~' || isHTMLWhitespace(c); }
bool isModifierCharacter(char16_t c) { return c == u'.' || c == u':' || c == u'#' || c == u'['; }

class Compiler {
 public:
  explicit Compiler(StringView text) : s_{text} {}

  HTMLSelectorPredicate selectorList(ErrorRef* error);

 private:
  HTMLSelectorPredicate fail(const std::string& message, size_t location) {
    error_ = ParseError(message, location, s_.text);
    return nullptr;
  }
  bool failed() const { return error_ != nullptr; }

  HTMLSelectorPredicate scanPredicate(HTMLSelectorPredicate incoming);
  HTMLSelectorPredicate scanTagPredicate();
  HTMLSelectorPredicate scanAttributePredicate();
  HTMLSelectorPredicate scanPseudoClass(const HTMLSelectorPredicate& compoundSoFar);
  HTMLSelectorPredicate scanCombinator(HTMLSelectorPredicate compound);
  std::optional<String> scanIdentifier();
  std::optional<String> scanEscape();
  std::optional<String> scanFunctionInterior();

  Scanner s_;
  ErrorRef error_;
};

HTMLSelectorPredicate Compiler::selectorList(ErrorRef* error) {
  // 1.
  if (s_.atEnd() || s_.peek() == u',') {
    *error = ParseError("Empty selector", 0, s_.text);
    return nullptr;
  }
  std::vector<HTMLSelectorPredicate> groups;
  for (;;) {
    // 2. Compound after compound, each fed the one before it, to the end of the group.
    HTMLSelectorPredicate predicate;
    do {
      predicate = scanPredicate(predicate);
      if (failed()) {
        *error = error_;
        return nullptr;
      }
    } while (!s_.atEnd() && s_.peek() != u',');
    // 3.
    groups.push_back(predicate);
    if (s_.atEnd()) break;
    // 4. A comma needs a group after it: at the end or before another comma there is
    // none.
    ++s_.location;
    s_.skipUnicodeWhitespace();
    if (s_.atEnd() || s_.peek() == u',') {
      *error = ParseError("Empty selector in group", s_.location, s_.text);
      return nullptr;
    }
  }
  // 5.
  return groups.size() == 1 ? groups.front() : orCombinatorPredicate(std::move(groups));
}

HTMLSelectorPredicate Compiler::scanPredicate(HTMLSelectorPredicate incoming) {
  // 1. The type (or the universal selector), tested before the part that came before.
  HTMLSelectorPredicate type = scanTagPredicate();
  if (failed()) return nullptr;
  HTMLSelectorPredicate compound = incoming ? bothCombinatorPredicate(type, incoming) : type;
  // 2.
  if (s_.atEnd()) return compound;
  // 3. Modifiers, a run of modifier characters at a time.
  for (;;) {
    size_t runStart = s_.location;
    while (!s_.atEnd() && isModifierCharacter(s_.peek())) ++s_.location;
    StringView run = s_.text.substr(runStart, s_.location - runStart);
    if (run.empty()) break;
    HTMLSelectorPredicate test;
    if (run == u":") {
      test = scanPseudoClass(compound);
    } else if (run == u"::") {
      return fail("Pseudo elements unsupported", runStart);
    } else if (run == u"[") {
      test = scanAttributePredicate();
    } else if (run == u".") {
      std::optional<String> name = scanIdentifier();
      test = name ? attributeContainsExactWhitespaceSeparatedValuePredicate(u"class", *name) : neverPredicate();
    } else if (run == u"#") {
      std::optional<String> name = scanIdentifier();
      test = name ? attributeIsExactlyPredicate(u"id", *name) : neverPredicate();
    } else {
      return fail("Unexpected modifier", runStart);
    }
    if (failed()) return nullptr;
    compound = bothCombinatorPredicate(compound, test);
  }
  // 4.
  if (s_.atEnd()) return compound;
  // 5.
  return scanCombinator(std::move(compound));
}

HTMLSelectorPredicate Compiler::scanTagPredicate() {
  std::optional<String> name = scanIdentifier();
  if (failed()) return nullptr;
  if (name) return isTagTypePredicate(*name);
  if (s_.peek() == u'*') ++s_.location;
  return isTagTypePredicate(u"*");
}

HTMLSelectorPredicate Compiler::scanCombinator(HTMLSelectorPredicate compound) {
  size_t runStart = s_.location;
  while (!s_.atEnd() && isCombinatorCharacter(s_.peek())) ++s_.location;
  StringView run = s_.text.substr(runStart, s_.location - runStart);
  StringView combinator = trimUnicodeWhitespace(run);
  if (run.empty()) {
    if (s_.peek() == u',') return compound;
    return fail("Expected a combinator here", s_.location);
  }
  if (combinator.empty()) {
    if (s_.peek() == u',') return compound;
    return descendantOfPredicate(std::move(compound));
  }
  if (combinator == u">") return childOfOtherPredicatePredicate(std::move(compound));
  if (combinator == u"+") return adjacentSiblingPredicate(std::move(compound));
  if (combinator == u"~") return generalSiblingPredicate(std::move(compound));
  return fail("Unexpected combinator", s_.location - combinator.size());
}

std::optional<String> Compiler::scanIdentifier() {
  if (s_.atEnd()) return std::nullopt;
  size_t length = 0;
  if (!isIdentifierCharacter(s_.codePoint(&length))) return std::nullopt;
  String identifier;
  auto takeRun = [&] {
    while (!s_.atEnd()) {
      CodePoint c = s_.codePoint(&length);
      if (!isIdentifierCharacter(c)) break;
      identifier.append(s_.text.substr(s_.location, length));
      s_.location += length;
    }
  };
  takeRun();
  while (s_.peek() == u'\\') {
    ++s_.location;
    std::optional<String> escaped = scanEscape();
    if (failed()) return std::nullopt;
    if (escaped) identifier += *escaped;
    takeRun();
  }
  StringView trimmed = trimUnicodeWhitespace(identifier);
  if (trimmed.empty()) return std::nullopt;
  return String(trimmed);
}

std::optional<String> Compiler::scanEscape() {
  // 1. Up to six hexadecimal digits, then one white space (CR LF counting as one).
  size_t digits = 0;
  CodePoint value = 0;
  while (digits < 6 && !s_.atEnd() && isASCIIHexDigit(s_.peek())) {
    char16_t d = s_.peek();
    value = value * 16 + (isASCIIDigit(d) ? d - u'0' : toASCIILower(d) - u'a' + 10);
    ++digits;
    ++s_.location;
  }
  if (digits > 0) {
    if (s_.text.substr(s_.location, 2) == u"\r\n") {
      s_.location += 2;
    } else if (!s_.atEnd() && isHTMLWhitespace(s_.peek())) {
      ++s_.location;
    }
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) value = 0xFFFD;
    return StringWithLongCharacter(value);
  }
  // 2.
  char16_t next = s_.peek();
  if (!s_.atEnd() && (next == u'\n' || next == u'\r' || next == u'\f')) {
    fail("Expected non-newline or hex digit(s) after starting escape", s_.location);
    return std::nullopt;
  }
  // 3.
  if (s_.atEnd()) return String(u"\uFFFD");
  // 4.
  size_t length = 0;
  s_.codePoint(&length);
  String text(s_.text.substr(s_.location, length));
  s_.location += length;
  return text;
}

HTMLSelectorPredicate Compiler::scanAttributePredicate() {
  // 1.
  std::optional<String> name = scanIdentifier();
  if (failed()) return nullptr;
  String attribute = name.value_or(String());
  // 2. Whatever stands before "=" is the operator.
  size_t stop = s_.location;
  while (stop < s_.text.size() && s_.text[stop] != u'=' && s_.text[stop] != u']') ++stop;
  StringView operatorText = s_.text.substr(s_.location, stop - s_.location);
  s_.location = stop;
  std::optional<String> op, value;
  if (s_.peek() == u'=') {
    StringView trimmed = trimUnicodeWhitespace(operatorText);
    op = trimmed.empty() ? String(u"=") : String(trimmed);
    ++s_.location;
    s_.skipUnicodeWhitespace();
    value = scanIdentifier();
    if (failed()) return nullptr;
    if (!value) {
      s_.skipUnicodeWhitespace();
      char16_t quote = s_.peek();
      if (s_.atEnd() || (quote != u'"' && quote != u'\'')) return fail("Expected quote in attribute value", s_.location);
      ++s_.location;
      size_t end = s_.text.find(quote, s_.location);
      if (end == StringView::npos) end = s_.text.size();
      // No escapes inside quotes; an empty quoted value is no value.
      if (end > s_.location) value = String(s_.text.substr(s_.location, end - s_.location));
      s_.location = end < s_.text.size() ? end + 1 : end;
    }
  }
  // 3.
  size_t close = s_.text.find(u']', s_.location);
  if (close == StringView::npos) return fail("Expected ] to close attribute", s_.text.size());
  s_.location = close + 1;
  // 4.
  if (!op) return hasAttributePredicate(attribute);
  if (*op != u"=" && *op != u"~" && *op != u"^" && *op != u"$" && *op != u"*" && *op != u"|") {
    return fail("Unexpected operator", s_.location - op->size());
  }
  if (!value) return neverPredicate();
  switch ((*op)[0]) {
    case u'=': return attributeIsExactlyPredicate(attribute, *value);
    case u'~': return attributeContainsExactWhitespaceSeparatedValuePredicate(attribute, *value);
    case u'^': return attributeStartsWithPredicate(attribute, *value);
    case u'$': return attributeEndsWithPredicate(attribute, *value);
    case u'*': return attributeContainsPredicate(attribute, *value);
    default: return attributeIsExactlyOrStartsWithHyphenPredicate(attribute, *value);
  }
}

std::optional<String> Compiler::scanFunctionInterior() {
  if (s_.peek() != u'(') {
    fail("Expected ( to start function", s_.location);
    return std::nullopt;
  }
  ++s_.location;
  size_t start = s_.location;
  size_t end = s_.text.find(u')', start);
  if (end == StringView::npos) end = s_.text.size();
  s_.location = end < s_.text.size() ? end + 1 : end;
  if (end == start) {
    fail("Expected ) to end function", start);
    return std::nullopt;
  }
  return String(s_.text.substr(start, end - start));
}

HTMLSelectorPredicate Compiler::scanPseudoClass(const HTMLSelectorPredicate& compoundSoFar) {
  std::optional<String> identifier = scanIdentifier();
  if (failed()) return nullptr;
  String name = asciiLowercase(identifier.value_or(String()));
  if (name == u"first-child") return isNthChildPredicate({0, 1}, false);
  if (name == u"last-child") return isNthChildPredicate({0, 1}, true);
  if (name == u"only-child") return isOnlyChildPredicate();
  if (name == u"empty") return isEmptyPredicate();
  if (name == u"root") return isRootPredicate();
  if (name == u"link") return isLinkPredicate();
  if (name == u"visited" || name == u"active" || name == u"hover" || name == u"focus") return neverPredicate();
  if (name == u"enabled") return isEnabledPredicate();
  if (name == u"disabled") return isDisabledPredicate();
  if (name == u"checked") return isCheckedPredicate();
  // The of-type forms count the siblings that the compound read so far accepts.
  if (name == u"first-of-type") return isNthChildOfTypePredicate({0, 1}, compoundSoFar, false);
  if (name == u"last-of-type") return isNthChildOfTypePredicate({0, 1}, compoundSoFar, true);
  if (name == u"only-of-type") {
    return bothCombinatorPredicate(isNthChildOfTypePredicate({0, 1}, compoundSoFar, false),
                                   isNthChildOfTypePredicate({0, 1}, compoundSoFar, true));
  }
  if (startsWith(name, u"nth")) {
    std::optional<String> interior = scanFunctionInterior();
    if (!interior) return nullptr;
    HTMLNthExpression expression = HTMLNthExpressionFromString(*interior);
    if (expression == HTMLNthExpressionInvalid) return fail("Failed to parse Nth statement", s_.location);
    if (name == u"nth-child") return isNthChildPredicate(expression, false);
    if (name == u"nth-last-child") return isNthChildPredicate(expression, true);
    if (name == u"nth-of-type") return isNthChildOfTypePredicate(expression, compoundSoFar, false);
    if (name == u"nth-last-of-type") return isNthChildOfTypePredicate(expression, compoundSoFar, true);
    return fail("Unrecognized pseudo class", s_.location);
  }
  if (name == u"not") {
    std::optional<String> interior = scanFunctionInterior();
    if (!interior) return nullptr;
    // A whole selector list of its own; its errors point into the interior.
    ErrorRef innerError;
    HTMLSelectorPredicate inner = SelectorFunctionForString(*interior, &innerError);
    if (!inner) {
      error_ = innerError;
      return nullptr;
    }
    return negatePredicate(std::move(inner));
  }
  return fail("Unrecognized pseudo class", s_.location);
}

}  // namespace

HTMLSelectorPredicate SelectorFunctionForString(StringView selectorString, ErrorRef* error) {
  Compiler compiler(trimUnicodeWhitespace(selectorString));
  return compiler.selectorList(error);
}

HTMLSelector::HTMLSelector(StringView selectorString) : string_(selectorString) {
  predicate_ = SelectorFunctionForString(string_, &error_);
  if (error_) predicate_ = nullptr;
}

String HTMLSelector::description() const {
  char identity[32];
  std::snprintf(identity, sizeof identity, "%p", static_cast<const void*>(this));
  String text = u"<HTMLSelector: " + fromUTF8(identity);
  if (error_) return text + u" ERROR: '" + fromUTF8(error_->localizedDescription()) + u"'>";
  return text + u" '" + string_ + u"'>";
}

}  // namespace html
