#include <gtest/gtest.h>

#include <thread>

#include "html/HTMLDocument.h"
#include "html/HTMLSelector.h"

using namespace html;

namespace {

std::shared_ptr<HTMLDocument> doc(const char* html) { return HTMLDocument::documentWithString(std::string_view(html)); }

// The ids (or tag names) of what the selector finds, joined by spaces.
std::string found(const HTMLNode& root, const char* selector) {
  std::string out;
  for (const HTMLElementRef& e : root.nodesMatchingSelector(selector)) {
    const String* id = e->objectForKeyedSubscript(u"id");
    out += (out.empty() ? "" : " ") + toUTF8(id ? *id : e->tagName());
  }
  return out;
}

struct Failure {
  std::string message;
  unsigned long long location;
  std::string input;
};

Failure failure(const char* selector) {
  HTMLSelector compiled = HTMLSelector::selectorForString(std::string_view(selector));
  if (!compiled.error()) return {"(compiled)", 0, ""};
  const Error& e = *compiled.error();
  EXPECT_EQ(e.domain, HTMLSelectorErrorDomain);
  EXPECT_EQ(e.code, 1);
  return {e.localizedDescription(), static_cast<unsigned long long>(e.userInfo[HTMLSelectorLocationErrorKey].asInt()),
          e.userInfo[HTMLSelectorInputStringErrorKey].asString()};
}

TEST(Selector, TypesClassesIdsAndAttributes) {
  auto d = doc("<div id=outer class='a b'><div id=inner lang=en-GB></div><p id=p1 class=A lang=english></p></div>");
  HTMLElementRef outer = d->firstNodeMatchingSelector("#outer");
  EXPECT_EQ(found(*outer, "div"), "outer inner");  // the receiver first
  EXPECT_EQ(found(*d, "DIV"), "outer inner");
  EXPECT_EQ(found(*d, ".b"), "outer");
  EXPECT_EQ(found(*d, ".a"), "outer");  // classes keep their case
  EXPECT_EQ(found(*d, "[ID=inner]"), "");
  EXPECT_EQ(found(*d, "[lang|=en]"), "inner");
  EXPECT_EQ(found(*d, "[lang^=en]"), "inner p1");
  EXPECT_EQ(found(*d, "[lang$='GB']"), "inner");
  EXPECT_EQ(found(*d, "[lang*=gli]"), "p1");
  EXPECT_EQ(found(*d, "[class~=b]"), "outer");
  EXPECT_EQ(found(*d, "[a^='']"), "");
  EXPECT_EQ(found(*d, "[lang]"), "inner p1");
  EXPECT_EQ(found(*d, "p#p1.A[lang]"), "p1");
  EXPECT_EQ(found(*d, "#"), "");
}

TEST(Selector, GroupsAndCombinators) {
  auto d = doc("<div id=d><p id=a></p><span id=b><p id=c></p></span><p id=e></p></div>");
  EXPECT_EQ(found(*d, "#a , #b"), found(*d, "#a,#b"));
  EXPECT_EQ(found(*d, "div p"), "a c e");
  EXPECT_EQ(found(*d, "div > p"), "a e");
  EXPECT_EQ(found(*d, "#a + span"), "b");
  EXPECT_EQ(found(*d, "#a ~ p"), "e");
  EXPECT_EQ(found(*d, "span >"), "c");
  EXPECT_EQ(found(*d, "> span"), "b");
  EXPECT_EQ(found(*d, "div > span p, #e"), "c e");
}

TEST(Selector, StructuralPseudoClasses) {
  auto d = doc("<ul><li id=1><li id=2 class=x><li id=3><li id=4 class=x><li id=5></ul>"
               "<section><h1 id=h></h1><p id=p1></p><p id=p2></p></section><p id=lone><b></b></p><i id=e></i>");
  EXPECT_EQ(found(*d, "li:nth-child(2n+1)"), "1 3 5");
  EXPECT_EQ(found(*d, "li:nth-child(odd)"), "1 3 5");
  EXPECT_EQ(found(*d, "li:nth-child(n+3)"), "3 4 5");
  EXPECT_EQ(found(*d, "li:nth-child(-n+2)"), "1 2");
  EXPECT_EQ(found(*d, "li:nth-last-child(1)"), "5");
  EXPECT_EQ(found(*d, "li:nth-child(2"), "2");
  EXPECT_EQ(found(*d, "li:nth-child( )"), "1");
  EXPECT_EQ(found(*d, "li:first-child"), "1");
  EXPECT_EQ(found(*d, "li:last-child"), "5");
  EXPECT_EQ(found(*d, "p:first-of-type"), "p1 lone");
  EXPECT_EQ(found(*d, ".x:first-of-type"), "2");
  EXPECT_EQ(found(*d, ".x:last-of-type"), "4");
  EXPECT_EQ(found(*d, "b:only-child"), "b");
  EXPECT_EQ(found(*d, "i:empty"), "e");
  EXPECT_EQ(found(*d, ":root"), "html");
  // The root is its document's only element: first, last and only child.
  EXPECT_EQ(found(*d, "html:first-child"), "html");
  EXPECT_EQ(found(*d, "html:last-child"), "html");
  EXPECT_EQ(found(*d, "html:only-child"), "html");
  EXPECT_EQ(found(*d, "html:nth-last-child(1)"), "html");
  EXPECT_EQ(found(*d, "html:last-of-type"), "html");
  EXPECT_EQ(found(*d, "* + html, * ~ html"), "");
  EXPECT_EQ(found(*d, "li:not(:first-child):not(.x)"), "3 5");
  EXPECT_EQ(found(*d, ":not(li, section *, body, html, head, ul, section, b, i)"), "lone");
  EXPECT_EQ(found(*d, "li:hover"), "");
}

TEST(Selector, FormPseudoClasses) {
  auto d = doc("<fieldset disabled><legend><input id=inlegend></legend><input id=off></fieldset>"
               "<input id=on checked><select><optgroup disabled><option id=o1></optgroup><option id=o2 selected>"
               "</select><a id=link href=x></a><a id=anchor></a>");
  EXPECT_EQ(found(*d, "input:disabled"), "off");
  EXPECT_EQ(found(*d, "input:enabled"), "inlegend on");
  EXPECT_EQ(found(*d, "option:disabled"), "o1");
  EXPECT_EQ(found(*d, ":checked"), "on o2");
  EXPECT_EQ(found(*d, ":link"), "link");
}

TEST(Selector, CompileErrorsAndTheirLocations) {
  struct Expectation {
    const char* selector;
    const char* message;
    unsigned long long location;
  };
  for (Expectation e : std::initializer_list<Expectation>{
           {"", "Empty selector", 0},
           {", a", "Empty selector", 0},
           {"a,", "Empty selector in group", 2},
           {"a,,b", "Empty selector in group", 2},
           {"a::before", "Pseudo elements unsupported", 1},
           {"a..b", "Unexpected modifier", 1},
           {"a!", "Expected a combinator here", 1},
           {"a >> b", "Unexpected combinator", 3},
           {"a:nope", "Unrecognized pseudo class", 6},
           {"li:nth-child(0)", "Failed to parse Nth statement", 15},
           {"li:nth-child()", "Expected ) to end function", 13},
           {"li:nth-child", "Expected ( to start function", 12},
           {"li:nth-foo(1)", "Unrecognized pseudo class", 13},
           {"[a=b", "Expected ] to close attribute", 4},
           {"[a=!]", "Expected quote in attribute value", 3},
           {"[a%=b]", "Unexpected operator", 5},
           {"a\\\nb", "Expected non-newline or hex digit(s) after starting escape", 2},
           {":not(:nth-child(2))", "Expected a combinator here", 18},
       }) {
    Failure f = failure(e.selector);
    EXPECT_EQ(f.message, e.message) << e.selector;
    EXPECT_EQ(f.location, e.location) << e.selector;
  }
  // Inside :not() the input string is the interior.
  Failure inner = failure(":not(a!)");
  EXPECT_EQ(inner.input, "a!");
  EXPECT_EQ(inner.location, 1u);
  HTMLSelector bad = HTMLSelector::selectorForString(std::string_view("abc!"));
  std::string reason = bad.error()->localizedFailureReason();
  EXPECT_EQ(reason, "Error near character 3: Expected a combinator here\n\n\tabc!\n\t   ^");
  EXPECT_NE(toUTF8(bad.description()).find("ERROR: 'Expected a combinator here'"), std::string::npos);
  EXPECT_THROW(doc("")->nodesMatchingSelector("a::b"), std::invalid_argument);
  EXPECT_FALSE(bad.matchesElement(HTMLElement(u"abc")));
}

TEST(Selector, EscapesInIdentifiers) {
  auto d = doc("<p id='a b'></p><p id=x1></p><p class='\xF0\x9D\x90\x80'></p>");
  EXPECT_EQ(found(*d, "#a\\ b"), "a b");
  // A leading escape makes no identifier: what follows "#" is then no selector at all.
  EXPECT_EQ(failure("#\\78 1").message, "Expected a combinator here");
  EXPECT_EQ(found(*d, "#x\\31"), "x1");
  EXPECT_EQ(d->nodesMatchingSelector(u"p.\U0001D400").size(), 1u);
}

TEST(Selector, NthExpressions) {
  EXPECT_EQ(HTMLNthExpressionFromString(u"2n+1"), (HTMLNthExpression{2, 1}));
  EXPECT_EQ(HTMLNthExpressionFromString(u" -n+3 "), (HTMLNthExpression{-1, 3}));
  EXPECT_EQ(HTMLNthExpressionFromString(u"n"), (HTMLNthExpression{1, 0}));
  EXPECT_EQ(HTMLNthExpressionFromString(u"3"), (HTMLNthExpression{0, 3}));
  EXPECT_EQ(HTMLNthExpressionFromString(u"EVEN"), HTMLNthExpressionEven);
  EXPECT_EQ(HTMLNthExpressionFromString(u"+n"), HTMLNthExpressionInvalid);
  EXPECT_EQ(HTMLNthExpressionFromString(u"2nn"), HTMLNthExpressionInvalid);
  EXPECT_EQ(HTMLNthExpressionFromString(u"x"), HTMLNthExpressionInvalid);
}

TEST(Selector, OneDocumentIsReadFromSeveralThreadsAtOnce) {
  std::string page = "<!DOCTYPE html><title>T</title>";
  for (int i = 0; i < 300; ++i) {
    page += "<section class=content><ul><li>item " + std::to_string(i) + "</li></ul><a href=x" + std::to_string(i) +
            "><img src=i" + std::to_string(i) + "></a></section>";
  }
  auto d = doc(page.c_str());
  std::vector<std::thread> readers;
  std::atomic<int> mismatches{0};
  for (int t = 0; t < 8; ++t) {
    readers.emplace_back([&, t] {
      for (int round = 0; round < 20; ++round) {
        const char* selector = (t + round) % 3 == 0 ? "section" : (t + round) % 3 == 1 ? "img" : "a";
        if (d->nodesMatchingSelector(selector).size() != 300) ++mismatches;
        if (d->firstNodeMatchingSelector("title")->textContent() != u"T") ++mismatches;
        for (const HTMLElementRef& s : d->nodesMatchingSelector("section")) {
          if (s->firstNodeMatchingSelector("ul")->textContent().rfind(u"item ", 0) != 0) ++mismatches;
        }
      }
    });
  }
  for (std::thread& r : readers) r.join();
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
