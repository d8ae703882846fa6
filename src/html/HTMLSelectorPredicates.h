#pragma once
// The pieces compiled selectors are made of: small predicates over elements, each
// holding what it tests and the predicates it combines. They never change once built
// and may be called from any thread.
#include <functional>
#include <memory>

#include "html/HTMLElement.h"
#include "html/HTMLNthExpression.h"

namespace html {

using HTMLSelectorPredicate = std::function<bool(const HTMLElement&)>;

namespace selector {

HTMLSelectorPredicate isTagTypePredicate(String tagName);  // "*" accepts every element
HTMLSelectorPredicate hasAttributePredicate(String name);
HTMLSelectorPredicate attributeIsExactlyPredicate(String name, String value);
HTMLSelectorPredicate attributeContainsExactWhitespaceSeparatedValuePredicate(String name, String value);
HTMLSelectorPredicate attributeStartsWithPredicate(String name, String value);
HTMLSelectorPredicate attributeEndsWithPredicate(String name, String value);
HTMLSelectorPredicate attributeContainsPredicate(String name, String value);
HTMLSelectorPredicate attributeIsExactlyOrStartsWithHyphenPredicate(String name, String value);

// Any of the groups, in order.
HTMLSelectorPredicate orCombinatorPredicate(std::vector<HTMLSelectorPredicate> predicates);
// The first, then the second; a missing part never accepts.
HTMLSelectorPredicate bothCombinatorPredicate(HTMLSelectorPredicate first, HTMLSelectorPredicate second);
HTMLSelectorPredicate negatePredicate(HTMLSelectorPredicate predicate);
HTMLSelectorPredicate neverPredicate();

// Combinators: an ancestor, the parent, the element sibling just before, any element
// sibling before accepts the predicate.
HTMLSelectorPredicate descendantOfPredicate(HTMLSelectorPredicate ancestor);
HTMLSelectorPredicate childOfOtherPredicatePredicate(HTMLSelectorPredicate parent);
HTMLSelectorPredicate adjacentSiblingPredicate(HTMLSelectorPredicate sibling);
HTMLSelectorPredicate generalSiblingPredicate(HTMLSelectorPredicate sibling);

HTMLSelectorPredicate isOnlyChildPredicate();
HTMLSelectorPredicate isEmptyPredicate();
HTMLSelectorPredicate isRootPredicate();
HTMLSelectorPredicate isLinkPredicate();
HTMLSelectorPredicate isCheckedPredicate();
HTMLSelectorPredicate isDisabledPredicate();
HTMLSelectorPredicate isEnabledPredicate();
// The position among the parent element's element children, from the start or the end.
HTMLSelectorPredicate isNthChildPredicate(HTMLNthExpression expression, bool fromLast);
// The position among those siblings that `type` accepts; the element must be one.
HTMLSelectorPredicate isNthChildOfTypePredicate(HTMLNthExpression expression, HTMLSelectorPredicate type,
                                                bool fromLast);

}  // namespace selector
}  // namespace html
