#pragma once
// A CSS selector compiled once into a predicate over elements: a subset of Selectors
// level 3 with type, universal, class, ID and attribute selectors, the four
// combinators, groups, :not() and the structural and form pseudo-classes. A selector
// that does not compile carries its error (domain "HTMLSelectorErrorDomain") and no
// predicate; compiling never throws.
#include <memory>
#include <string_view>

#include "foundation/Error.h"
#include "html/HTMLElement.h"
#include "html/HTMLNthExpression.h"
#include "html/HTMLSelectorPredicates.h"

namespace html {

inline constexpr const char* HTMLSelectorErrorDomain = "HTMLSelectorErrorDomain";
inline constexpr const char* HTMLSelectorInputStringErrorKey = "HTMLSelectorInputString";
inline constexpr const char* HTMLSelectorLocationErrorKey = "HTMLSelectorLocation";

class HTMLSelector {
 public:
  static HTMLSelector selectorForString(StringView selectorString) { return HTMLSelector(selectorString); }
  static HTMLSelector selectorForString(std::string_view utf8) { return HTMLSelector(StringView(fromUTF8(utf8))); }

  // The empty string carries the "Empty selector" error.
  explicit HTMLSelector(StringView selectorString = {});

  const String& string() const { return string_; }
  const HTMLSelectorPredicate& predicate() const { return predicate_; }
  // The compile error, or null.
  const ErrorRef& error() const { return error_; }

  // A selector with an error accepts nothing.
  bool matchesElement(const HTMLElement& element) const { return predicate_ && predicate_(element); }
  String description() const;

 private:
  String string_;
  HTMLSelectorPredicate predicate_;
  ErrorRef error_;
};

// The predicate of a selector list, or null with the error set.
HTMLSelectorPredicate SelectorFunctionForString(StringView selectorString, ErrorRef* error);

}  // namespace html
