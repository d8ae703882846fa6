#include "html/HTMLSelectorPredicates.h"

#include <vector>

#include "html/HTMLTextNode.h"

namespace html::selector {

namespace {

bool isHTMLWhitespacePiece(StringView list, StringView value) {
  size_t start = 0;
  for (size_t i = 0; i <= list.size(); ++i) {
    if (i == list.size() || isHTMLWhitespace(list[i])) {
      if (i > start && list.substr(start, i - start) == value) return true;
      start = i + 1;
    }
  }
  return false;
}

bool named(const HTMLElement& e, StringView name) { return equalsIgnoringASCIICase(e.tagName(), name); }

bool hasAttribute(const HTMLElement& e, StringView name) { return e.objectForKeyedSubscript(name) != nullptr; }

// The element children of the element's parent element. An element without one (the
// root, whose parent is the document, or an element on its own) is its parent's only
// element child: the root is first, last and only, as in a browser.
std::vector<const HTMLElement*> elementSiblings(const HTMLElement& element) {
  std::vector<const HTMLElement*> siblings;
  const HTMLElement* parent = element.parentElement();
  if (!parent) return {&element};
  for (const HTMLNodeRef& child : parent->children()) {
    if (child->isElement()) siblings.push_back(static_cast<const HTMLElement*>(child.get()));
  }
  return siblings;
}

template <class Test>
HTMLSelectorPredicate attributeTest(String name, Test test) {
  return [name = std::move(name), test](const HTMLElement& e) {
    const String* value = e.objectForKeyedSubscript(name);
    return value && test(*value);
  };
}

bool isFormControl(const HTMLElement& e) {
  return named(e, u"button") || named(e, u"input") || named(e, u"select") || named(e, u"textarea");
}

bool isInsideFirstLegendOfDisabledFieldset(const HTMLElement& element) {
  for (const HTMLElement* a = element.parentElement(); a; a = a->parentElement()) {
    if (!named(*a, u"legend")) continue;
    const HTMLElement* parent = a->parentElement();
    if (!parent) continue;
    const HTMLElement* firstLegend = nullptr;
    for (const HTMLNodeRef& child : parent->children()) {
      if (child->isElement() && named(static_cast<const HTMLElement&>(*child), u"legend")) {
        firstLegend = static_cast<const HTMLElement*>(child.get());
        break;
      }
    }
    if (firstLegend != a) continue;
    for (const HTMLElement* f = a->parentElement(); f; f = f->parentElement()) {
      if (named(*f, u"fieldset") && hasAttribute(*f, u"disabled")) return true;
    }
  }
  return false;
}

bool isDisabled(const HTMLElement& e) {
  if (named(e, u"optgroup") || named(e, u"fieldset") || named(e, u"menuitem")) return hasAttribute(e, u"disabled");
  if (isFormControl(e)) {
    if (hasAttribute(e, u"disabled")) return true;
    bool inDisabledFieldset = false;
    for (const HTMLElement* a = e.parentElement(); a && !inDisabledFieldset; a = a->parentElement()) {
      inDisabledFieldset = named(*a, u"fieldset") && hasAttribute(*a, u"disabled");
    }
    return inDisabledFieldset && !isInsideFirstLegendOfDisabledFieldset(e);
  }
  if (named(e, u"option")) {
    if (hasAttribute(e, u"disabled")) return true;
    const HTMLElement* parent = e.parentElement();
    return parent && named(*parent, u"optgroup") && hasAttribute(*parent, u"disabled");
  }
  return false;
}

bool isLink(const HTMLElement& e) {
  return (named(e, u"a") || named(e, u"area") || named(e, u"link")) && hasAttribute(e, u"href");
}

}  // namespace

HTMLSelectorPredicate isTagTypePredicate(String tagName) {
  if (tagName == u"*") return [](const HTMLElement&) { return true; };
  return [tagName = std::move(tagName)](const HTMLElement& e) { return named(e, tagName); };
}

HTMLSelectorPredicate hasAttributePredicate(String name) {
  return [name = std::move(name)](const HTMLElement& e) { return hasAttribute(e, name); };
}

HTMLSelectorPredicate attributeIsExactlyPredicate(String name, String value) {
  return attributeTest(std::move(name), [value = std::move(value)](const String& v) { return v == value; });
}

HTMLSelectorPredicate attributeContainsExactWhitespaceSeparatedValuePredicate(String name, String value) {
  return attributeTest(std::move(name),
                       [value = std::move(value)](const String& v) { return isHTMLWhitespacePiece(v, value); });
}

HTMLSelectorPredicate attributeStartsWithPredicate(String name, String value) {
  return attributeTest(std::move(name),
                       [value = std::move(value)](const String& v) { return !value.empty() && startsWith(v, value); });
}

HTMLSelectorPredicate attributeEndsWithPredicate(String name, String value) {
  return attributeTest(std::move(name), [value = std::move(value)](const String& v) {
    return !value.empty() && v.size() >= value.size() && v.compare(v.size() - value.size(), value.size(), value) == 0;
  });
}

HTMLSelectorPredicate attributeContainsPredicate(String name, String value) {
  return attributeTest(std::move(name), [value = std::move(value)](const String& v) {
    return !value.empty() && v.find(value) != String::npos;
  });
}

HTMLSelectorPredicate attributeIsExactlyOrStartsWithHyphenPredicate(String name, String value) {
  return attributeTest(std::move(name), [value = std::move(value)](const String& v) {
    return v == value || startsWith(v, value + u"-");
  });
}

HTMLSelectorPredicate orCombinatorPredicate(std::vector<HTMLSelectorPredicate> predicates) {
  return [predicates = std::move(predicates)](const HTMLElement& e) {
    for (const HTMLSelectorPredicate& p : predicates) {
      if (p(e)) return true;
    }
    return false;
  };
}

HTMLSelectorPredicate bothCombinatorPredicate(HTMLSelectorPredicate first, HTMLSelectorPredicate second) {
  if (!first || !second) return neverPredicate();
  return [first = std::move(first), second = std::move(second)](const HTMLElement& e) {
    return first(e) && second(e);
  };
}

HTMLSelectorPredicate negatePredicate(HTMLSelectorPredicate predicate) {
  return [predicate = std::move(predicate)](const HTMLElement& e) { return !predicate(e); };
}

HTMLSelectorPredicate neverPredicate() {
  return [](const HTMLElement&) { return false; };
}

HTMLSelectorPredicate descendantOfPredicate(HTMLSelectorPredicate ancestor) {
  return [ancestor = std::move(ancestor)](const HTMLElement& e) {
    for (const HTMLElement* a = e.parentElement(); a; a = a->parentElement()) {
      if (ancestor(*a)) return true;
    }
    return false;
  };
}

HTMLSelectorPredicate childOfOtherPredicatePredicate(HTMLSelectorPredicate parent) {
  return [parent = std::move(parent)](const HTMLElement& e) {
    const HTMLElement* p = e.parentElement();
    return p && parent(*p);
  };
}

HTMLSelectorPredicate adjacentSiblingPredicate(HTMLSelectorPredicate sibling) {
  return [sibling = std::move(sibling)](const HTMLElement& e) {
    std::vector<const HTMLElement*> siblings = elementSiblings(e);
    for (size_t i = 1; i < siblings.size(); ++i) {
      if (siblings[i] == &e) return sibling(*siblings[i - 1]);
    }
    return false;
  };
}

HTMLSelectorPredicate generalSiblingPredicate(HTMLSelectorPredicate sibling) {
  return [sibling = std::move(sibling)](const HTMLElement& e) {
    for (const HTMLElement* s : elementSiblings(e)) {
      if (s == &e) return false;
      if (sibling(*s)) return true;
    }
    return false;
  };
}

HTMLSelectorPredicate isOnlyChildPredicate() {
  return [](const HTMLElement& e) { return elementSiblings(e).size() == 1; };
}

HTMLSelectorPredicate isEmptyPredicate() {
  return [](const HTMLElement& e) {
    for (const HTMLNodeRef& child : e.children()) {
      if (child->isElement()) return false;
      if (child->kind() == HTMLNode::Kind::Text && !static_cast<const HTMLTextNode&>(*child).data().empty()) {
        return false;
      }
    }
    return true;
  };
}

HTMLSelectorPredicate isRootPredicate() {
  return [](const HTMLElement& e) { return e.parentElement() == nullptr; };
}

HTMLSelectorPredicate isLinkPredicate() { return [](const HTMLElement& e) { return isLink(e); }; }

HTMLSelectorPredicate isCheckedPredicate() {
  return [](const HTMLElement& e) { return hasAttribute(e, u"checked") || hasAttribute(e, u"selected"); };
}

HTMLSelectorPredicate isDisabledPredicate() { return [](const HTMLElement& e) { return isDisabled(e); }; }

HTMLSelectorPredicate isEnabledPredicate() {
  return [](const HTMLElement& e) {
    if (isLink(e)) return true;
    bool control = isFormControl(e) || named(e, u"optgroup") || named(e, u"option") || named(e, u"menuitem") ||
                   named(e, u"fieldset");
    return control && !isDisabled(e);
  };
}

HTMLSelectorPredicate isNthChildPredicate(HTMLNthExpression expression, bool fromLast) {
  return [expression, fromLast](const HTMLElement& e) {
    std::vector<const HTMLElement*> siblings = elementSiblings(e);
    for (size_t i = 0; i < siblings.size(); ++i) {
      if (siblings[i] == &e) {
        int64_t position = fromLast ? int64_t(siblings.size() - i) : int64_t(i + 1);
        return HTMLNthExpressionMatchesPosition(expression, position);
      }
    }
    return false;
  };
}

HTMLSelectorPredicate isNthChildOfTypePredicate(HTMLNthExpression expression, HTMLSelectorPredicate type,
                                                bool fromLast) {
  return [expression, type = std::move(type), fromLast](const HTMLElement& e) {
    if (!type || !type(e)) return false;
    std::vector<const HTMLElement*> counted;
    for (const HTMLElement* s : elementSiblings(e)) {
      if (type(*s)) counted.push_back(s);
    }
    for (size_t i = 0; i < counted.size(); ++i) {
      if (counted[i] == &e) {
        int64_t position = fromLast ? int64_t(counted.size() - i) : int64_t(i + 1);
        return HTMLNthExpressionMatchesPosition(expression, position);
      }
    }
    return false;
  };
}

}  // namespace html::selector
