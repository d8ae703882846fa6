#include <gtest/gtest.h>

#include <algorithm>

#include "TreeConstructionDump.h"
#include "html/HTMLParser.h"

using namespace html;

namespace {

struct Parsed {
  std::shared_ptr<HTMLDocument> document;
  std::vector<std::string> errors;
  std::string tree;
};

Parsed parse(std::string_view utf8, HTMLElementRef context = nullptr) {
  HTMLParser parser(fromUTF8(utf8), HTMLStringEncoding{}, std::move(context));
  Parsed p;
  p.document = parser.document();
  p.errors = parser.errors();
  p.tree = treedump::dump(*p.document);
  return p;
}

bool hasError(const Parsed& p, const std::string& error) {
  return std::find(p.errors.begin(), p.errors.end(), error) != p.errors.end();
}

TEST(TreeBuilder, EmptyInputStillMakesADocument) {
  Parsed p = parse("");
  EXPECT_EQ(p.tree, "| <html>\n|   <head>\n|   <body>\n");
  EXPECT_EQ(p.errors, std::vector<std::string>{"Expected DOCTYPE"});
  EXPECT_EQ(p.document->quirksMode(), HTMLQuirksMode::Quirks);
}

TEST(TreeBuilder, DocumentRunsOnce) {
  HTMLParser parser(u"<p>x", HTMLStringEncoding{}, nullptr);
  auto first = parser.document();
  EXPECT_EQ(parser.document(), first);
  EXPECT_EQ(first->bodyElement()->textContent(), u"x");
}

TEST(TreeBuilder, QuirksModeFollowsTheDOCTYPE) {
  auto quirks = [](const char* doctype) { return parse(doctype).document->quirksMode(); };
  EXPECT_EQ(quirks("<!DOCTYPE html>"), HTMLQuirksMode::NoQuirks);
  EXPECT_EQ(quirks("<!DOCTYPE>"), HTMLQuirksMode::Quirks);
  EXPECT_EQ(quirks("<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">"), HTMLQuirksMode::Quirks);
  EXPECT_EQ(quirks("<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" \"x\">"),
            HTMLQuirksMode::LimitedQuirks);
  // Identifiers compare ignoring ASCII case, as the standard says: old pages often write
  // them in lower case.
  EXPECT_EQ(quirks("<!doctype html public \"-//w3c//dtd html 4.01 transitional//en\">"), HTMLQuirksMode::Quirks);
  EXPECT_EQ(quirks("<!doctype html public \"-//w3c//dtd html 4.01 transitional//en\" \"x\">"),
            HTMLQuirksMode::LimitedQuirks);
  EXPECT_EQ(quirks("<!doctype html public \"-//ietf//dtd html 2.0//en\">"), HTMLQuirksMode::Quirks);
  EXPECT_EQ(quirks("<!doctype html public \"html\">"), HTMLQuirksMode::Quirks);
  EXPECT_EQ(quirks("<!doctype html system \"HTTP://WWW.IBM.COM/data/dtd/v11/ibmxhtml1-transitional.dtd\">"),
            HTMLQuirksMode::Quirks);
  EXPECT_EQ(quirks("<!doctype html public \"-//w3c//dtd html 4.01//en\">"), HTMLQuirksMode::NoQuirks);
  EXPECT_EQ(quirks("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" \"y\">"),
            HTMLQuirksMode::LimitedQuirks);

  EXPECT_FALSE(hasError(parse("<!DOCTYPE html SYSTEM \"about:legacy-compat\">"), "Invalid DOCTYPE"));
  EXPECT_TRUE(hasError(parse("<!DOCTYPE html PUBLIC \"x\">"), "Invalid DOCTYPE"));
  // A nameless DOCTYPE is named html, yet still chooses quirks.
  Parsed nameless = parse("<!DOCTYPE>");
  EXPECT_EQ(nameless.document->documentType()->name(), u"html");
}

TEST(TreeBuilder, TablesCloseParagraphsOutsideQuirksMode) {
  EXPECT_EQ(parse("<p><table>").document->bodyElement()->numberOfChildren(), 1u);
  EXPECT_EQ(parse("<!DOCTYPE html><p><table>").document->bodyElement()->numberOfChildren(), 2u);
}

TEST(TreeBuilder, LineFeedAfterPreIsDroppedOnlyFirst) {
  EXPECT_EQ(parse("<pre>\nx</pre>").document->bodyElement()->textContent(), u"x");
  EXPECT_EQ(parse("<pre>\n</pre>").document->bodyElement()->firstNodeMatchingSelector("pre")->numberOfChildren(), 0u);
  EXPECT_EQ(parse("<pre><!--c-->\nx</pre>").document->bodyElement()->textContent(), u"\nx");
}

TEST(TreeBuilder, FragmentsTakeTheirContextsTokenizerState) {
  Parsed title = parse("a<b>c", std::make_shared<HTMLElement>(u"title"));
  EXPECT_EQ(title.tree, "| \"a<b>c\"\n");
  Parsed div = parse("<td>x</td><p>y", std::make_shared<HTMLElement>(u"div"));
  EXPECT_EQ(div.tree, "| \"x\"\n| <p>\n|   \"y\"\n");
  auto form = std::make_shared<HTMLElement>(u"form");
  auto inner = std::make_shared<HTMLElement>(u"div");
  form->addChild(inner);
  EXPECT_TRUE(hasError(parse("<form>", inner), "Start tag named form within a form in <body>"));
}

TEST(TreeBuilder, BodyErrorsAndRepairs) {
  Parsed nulls = parse(std::string_view("<b>\0\0a</b>", 10));
  EXPECT_EQ(std::count(nulls.errors.begin(), nulls.errors.end(), "Ignoring U+0000 NULL in <body>"), 2);
  EXPECT_EQ(nulls.document->bodyElement()->textContent(), u"a");
  Parsed p = parse("<body></p>");
  EXPECT_TRUE(hasError(p, "Not closing unknown 'p' element in <body>"));
  EXPECT_EQ(p.tree, "| <html>\n|   <head>\n|   <body>\n|     <p>\n");
  Parsed a = parse("<a>1<a>2");
  EXPECT_TRUE(hasError(a, "Nested start tag 'a' in <body>"));
  EXPECT_EQ(a.document->nodesMatchingSelector("body > a").size(), 2u);
  EXPECT_TRUE(hasError(parse("<span>"), "Unclosed span element in <body> at end of file"));
  EXPECT_FALSE(hasError(parse("<li><p>"), "Unclosed li element in <body> at end of file"));
  EXPECT_TRUE(hasError(parse("<p></p a>"), "Tokenizer: End tag with attributes and/or self-closing flag"));
}

TEST(TreeBuilder, MisnestedFormattingIsAdopted) {
  Parsed p = parse("<b>1<i>2<div>3</b>4");
  EXPECT_EQ(p.tree,
            "| <html>\n|   <head>\n|   <body>\n|     <b>\n|       \"1\"\n|       <i>\n|         \"2\"\n"
            "|     <i>\n|       <div>\n|         <b>\n|           \"3\"\n|         \"4\"\n");
  Parsed cell = parse("<table><td><b>x</b></td></table>");
  EXPECT_FALSE(hasError(cell, "Ignoring end tag 'b' in <body>"));
  EXPECT_TRUE(hasError(parse("<table><td></b></td></table>"), "Ignoring end tag 'b' in <body>"));
}

TEST(TreeBuilder, AFourthIdenticalFormattingElementPushesOutTheFirst) {
  // Four identical b elements open: reconstruction after the paragraph reopens three.
  Parsed p = parse("<p><b x=1><b x=1><b x=1><b x=1>a</p>b");
  EXPECT_EQ(p.document->bodyElement()->childAtIndex(1)->serializedFragment(),
            u"<b x=\"1\"><b x=\"1\"><b x=\"1\">b</b></b></b>");
  Parsed reordered = parse("<p><b x=1 y=2><b y=2 x=1><b x=1 y=2><b x=1 y=2>a</p>b");
  EXPECT_EQ(reordered.document->nodesMatchingSelector("body > b b b b").size(), 0u);
}

TEST(TreeBuilder, FramesetOkDecidesWhetherAFramesetReplacesTheBody) {
  EXPECT_EQ(parse("<span> </span><frameset>").document->rootElement()->childAtIndex(1)->serializedFragment(),
            u"<frameset></frameset>");
  Parsed text = parse("<span>x</span><frameset>");
  EXPECT_NE(text.document->bodyElement(), nullptr);
  EXPECT_TRUE(hasError(parse("<frameset> a b"), "Unexpected token in <frameset>"));
}

TEST(TreeBuilder, TablesFosterParentAndCollectText) {
  Parsed p = parse("<table>x</table>");
  EXPECT_TRUE(hasError(p, "Foster parenting token in <table>"));
  EXPECT_EQ(p.document->bodyElement()->innerHTML(), u"x<table></table>");
  EXPECT_EQ(parse("<table> \n<tr>").document->bodyElement()->innerHTML(),
            u"<table> \n<tbody><tr></tr></tbody></table>");
  EXPECT_EQ(parse("<table><input type=HIDDEN>").document->bodyElement()->innerHTML(),
            u"<table><input type=\"HIDDEN\"></table>");
  EXPECT_EQ(parse("<table><input type=text>").document->bodyElement()->innerHTML(),
            u"<input type=\"text\"><table></table>");
  EXPECT_EQ(parse("<table><form><form>").document->bodyElement()->innerHTML(), u"<table><form></form></table>");
}

TEST(TreeBuilder, SelectAndClosingModes) {
  EXPECT_EQ(parse("<select><option>a<option>b</select>").document->bodyElement()->innerHTML(),
            u"<select><option>a</option><option>b</option></select>");
  EXPECT_TRUE(hasError(parse("<select><input>"), "Start tag 'input' in <select>"));
  Parsed after = parse("</body>x<!--c-->");
  EXPECT_TRUE(hasError(after, "Unexpected token after body"));
  Parsed comments = parse("<html><body></body><!--in html--></html><!--in document-->");
  EXPECT_EQ(comments.document->rootElement()->childAtIndex(2)->textContent(), u"in html");
  EXPECT_EQ(comments.document->childAtIndex(1)->textContent(), u"in document");
}

TEST(TreeBuilder, ForeignContent) {
  Parsed svg = parse("<svg viewbox=1><foreignobject/><circle/><circle/></svg>");
  EXPECT_EQ(svg.tree,
            "| <html>\n|   <head>\n|   <body>\n|     <svg svg>\n|       viewBox=\"1\"\n"
            "|       <svg foreignObject>\n|       <svg circle>\n|       <svg circle>\n");
  EXPECT_TRUE(hasError(parse("<svg><p>"), "Unexpected HTML start tag token in foreign content"));
  EXPECT_EQ(parse("<svg><font>").document->bodyElement()->childAtIndex(0)->childAtIndex(0)->serializedFragment(),
            u"<font></font>");
  EXPECT_TRUE(hasError(parse("<svg><g></svg>"), "Misnested end tag 'svg' in foreign content"));
  EXPECT_EQ(parse("<math definitionurl=x>").tree.find("definitionURL") != std::string::npos, true);
  // desc is an HTML integration point: the b inside it is an HTML element.
  Parsed desc = parse("<svg><desc><b>x</b></desc></svg>");
  HTMLElementRef b = desc.document->firstNodeMatchingSelector("b");
  EXPECT_EQ(b->htmlNamespace(), HTMLNamespace::HTML);
  EXPECT_EQ(b->parentElement()->tagName(), u"desc");
}

TEST(TreeBuilder, MetaElementsAskForAnotherEncoding) {
  // No way to decode again from text: the request is reported and parsing goes on.
  HTMLParser parser(u"<meta charset=koi8-r><p>x", HTMLStringEncoding{NSWindowsCP1252StringEncoding}, nullptr);
  parser.document();
  EXPECT_NE(std::find(parser.errors().begin(), parser.errors().end(),
                      "Wanted to change string encoding but couldn't; continuing with misinterpreted resource"),
            parser.errors().end());
  // The encoding in use, or UTF-16 asked for while UTF-8 is in use, only makes it certain.
  for (const char16_t* meta : {u"<meta charset=utf-8>", u"<meta charset=utf-16>"}) {
    HTMLParser same(meta, HTMLStringEncoding{}, nullptr);
    bool called = false;
    same.setChangeEncoding([&](HTMLStringEncoding) { called = true; });
    same.document();
    EXPECT_FALSE(called);
    EXPECT_EQ(same.encoding().confidence, HTMLEncodingConfidence::Certain);
  }
  HTMLParser other(u"<meta http-equiv=Content-Type content='text/html; charset=utf-8'><p>never",
                   HTMLStringEncoding{NSWindowsCP1252StringEncoding}, nullptr);
  std::optional<HTMLStringEncoding> requested;
  other.setChangeEncoding([&](HTMLStringEncoding e) { requested = e; });
  auto abandoned = other.document();
  ASSERT_TRUE(requested);
  EXPECT_EQ(requested->encoding, NSUTF8StringEncoding);
  EXPECT_EQ(requested->confidence, HTMLEncodingConfidence::Certain);
  EXPECT_EQ(abandoned->bodyElement(), nullptr);
}

}  // namespace
