#include <gtest/gtest.h>

#include <algorithm>

#include "html/HTMLComment.h"
#include "html/HTMLDocument.h"
#include "html/HTMLElement.h"
#include "html/HTMLTextNode.h"

using namespace html;

namespace {

HTMLElementRef withText(const char16_t* name, const char16_t* data) {
  auto e = std::make_shared<HTMLElement>(name);
  e->addChild(std::make_shared<HTMLTextNode>(data));
  return e;
}

TEST(Serialization, TextIsEscapedExceptUnderRawTextElements) {
  EXPECT_EQ(withText(u"p", u"a&b<c>\u00A0")->serializedFragment(), u"<p>a&amp;b&lt;c&gt;&nbsp;</p>");
  EXPECT_EQ(withText(u"script", u"a&b<c")->serializedFragment(), u"<script>a&b<c</script>");
  EXPECT_EQ(HTMLTextNode(u"<").serializedFragment(), u"&lt;");
}

TEST(Serialization, Attributes) {
  HTMLElement e(u"a");
  e.setObject(u"\"x\"\u00A0<&", u"title");
  e.setObject(u"ns", u"xmlns:xmlns");
  EXPECT_EQ(e.serializedFragment(), u"<a title=\"&quot;x&quot;&nbsp;<&amp;\" xmlns=\"ns\"></a>");
}

TEST(Serialization, VoidElementsAndLeadingLineFeeds) {
  EXPECT_EQ(HTMLElement(u"br").serializedFragment(), u"<br>");
  EXPECT_EQ(withText(u"img", u"ignored")->serializedFragment(), u"<img>");
  EXPECT_EQ(withText(u"pre", u"\nx")->serializedFragment(), u"<pre>\n\nx</pre>");
  EXPECT_EQ(withText(u"div", u"\nx")->serializedFragment(), u"<div>\nx</div>");
}

TEST(Serialization, DocumentsAndDoctypes) {
  auto document = std::make_shared<HTMLDocument>();
  document->addChild(std::make_shared<HTMLDocumentType>(u"html", u"-//W3C//DTD HTML 4.01//EN", u"sys"));
  document->addChild(std::make_shared<HTMLComment>(u"c"));
  document->addChild(std::make_shared<HTMLElement>(u"html"));
  EXPECT_EQ(document->serializedFragment(), u"<!DOCTYPE html><!--c--><html></html>");
  EXPECT_EQ(document->innerHTML(), document->serializedFragment());
  EXPECT_THROW(std::make_shared<HTMLNode>()->serializedFragment(), std::logic_error);
}

bool endsWith(const String& text, const String& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

TEST(Serialization, Descriptions) {
  auto e = std::make_shared<HTMLElement>(u"svg");
  e->setHtmlNamespace(HTMLNamespace::SVG);
  e->setObject(u"v", u"k");
  EXPECT_TRUE(endsWith(e->description(), u" <svg svg k=\"v\"> 0 children>"));
  e->addChild(std::make_shared<HTMLTextNode>(String(40, u'x')));
  EXPECT_TRUE(endsWith(e->description(), u"> 1 child>"));
  EXPECT_TRUE(endsWith(e->childAtIndex(0)->description(), u" '" + String(37, u'x') + u"\u2026'>"));
  EXPECT_TRUE(endsWith(HTMLComment(u"c").description(), u" <!-- c --> >"));
  HTMLDocumentType doctype(u"html", std::nullopt, u"s");
  EXPECT_TRUE(endsWith(doctype.description(), u" <!DOCTYPE html \"\" \"s\"> >"));
  EXPECT_EQ(toUTF8(HTMLDocument().description()).rfind("<HTMLDocument: 0x", 0), 0u);
}

TEST(Serialization, RecursiveDescriptionIndentsByDepth) {
  auto html = std::make_shared<HTMLElement>(u"html");
  auto body = std::make_shared<HTMLElement>(u"body");
  html->addChild(std::make_shared<HTMLElement>(u"head"));
  html->addChild(body);
  body->addChild(std::make_shared<HTMLElement>(u"p"));
  String expected = html->description() + u"\n|    " + html->childAtIndex(0)->description() + u"\n|    " +
                    body->description() + u"\n|        " + body->childAtIndex(0)->description();
  EXPECT_EQ(html->recursiveDescription(), expected);
}

TEST(Serialization, RecursiveDescriptionOfADeepTreeGrowsWithItsNodes) {
  // 100,000 nested elements: indented by depth, the dump would take 20 billion spaces.
  constexpr size_t depth = 100000;
  auto root = std::make_shared<HTMLElement>(u"div");
  HTMLElement* last = root.get();
  for (size_t i = 0; i < depth; ++i) {
    auto child = std::make_shared<HTMLElement>(u"div");
    last->addChild(child);
    last = child.get();
  }
  String dump = root->recursiveDescription();
  EXPECT_LT(dump.size(), depth * 250);
  size_t lines = std::count(dump.begin(), dump.end(), u'\n') + 1;
  EXPECT_EQ(lines, depth + 1);
  // Shallow lines keep their indentation; deep ones name their depth.
  EXPECT_NE(dump.find(u"\n|" + String(4 * 32, u' ') + u"<HTMLElement"), String::npos);
  EXPECT_NE(dump.find(u"\n|" + String(4 * 32, u' ') + u"(100000) <HTMLElement"), String::npos);
}

}  // namespace
