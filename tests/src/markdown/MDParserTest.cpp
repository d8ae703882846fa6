#include <gtest/gtest.h>

#include "markdown/MDExtensions.h"
#include "markdown/MDParser.h"
#include "MarkdownTestSupport.h"

using markdown::MDParser;
using markdowntest::tree;

TEST(MDParserTest, TabsExpandToTheNextStopAndBadBytesAreReplaced) {
  EXPECT_EQ(MDParser::removeTabsFromString("a\tb"), "a   b");
  EXPECT_EQ(MDParser::removeTabsFromString("\tx"), "    x");
  // A carriage return does not start a new column count.
  EXPECT_EQ(MDParser::removeTabsFromString("ab\r\tc\n\td"), "ab\r c\n    d");
  EXPECT_EQ(MDParser::removeTabsFromString("é\t|"), "é   |");  // columns count characters, not bytes
  EXPECT_EQ(MDParser::removeTabsFromString("a\xff\xc3("), "a\xEF\xBF\xBD\xEF\xBF\xBD(");
  EXPECT_EQ(tree("\tx"), "pre[\"x\" nl]");
}

TEST(MDParserTest, Headers) {
  EXPECT_EQ(tree("Title\n====="), "h1[\"Title\"]");
  EXPECT_EQ(tree("Title\n---"), "h2[\"Title\"]");
  EXPECT_EQ(tree("Title\n= ="), "p[\"Title\" {\n} \"= =\"]");
  EXPECT_EQ(tree("###### x"), "h6[\"x\"]");
  EXPECT_EQ(tree("####### x"), "p[\"####### x\"]");
  EXPECT_EQ(tree("#x"), "p[\"#x\"]");
  EXPECT_EQ(tree("# a ##"), "h1[\"a\"]");
  EXPECT_EQ(tree("# a# "), "h1[\"a#\"]");
  EXPECT_EQ(tree(" # x"), "h1[\"x\"]");  // the paragraph refuses, the loop retries after the blank
}

TEST(MDParserTest, ListsTightLooseAndNested) {
  EXPECT_EQ(tree("- a\n- b"), "ul[li[\"a\"] li[\"b\"]]");
  EXPECT_EQ(tree("- a\n\n- b"), "ul[li[p[\"a\"]] li[p[\"b\"]]]");
  EXPECT_EQ(tree("- a\n  - b"), "ul[li[\"a\" {\n} ul[li[\"b\"]]]]");
  EXPECT_EQ(tree("- a\n 1. b"), "ul[li[\"a\" {\n} \" 1. b\"]]");
  EXPECT_EQ(tree("1. a\n2. b"), "ol[li[\"a\"] li[\"b\"]]");
  EXPECT_EQ(tree("- a\n\n    b"), "ul[li[p[\"a\"] p[\"b\"]]]");
  EXPECT_EQ(tree("- a\n\nb"), "ul[li[\"a\"]] p[\"b\"]");
  EXPECT_EQ(tree("- a\nb"), "ul[li[\"a\" {\n} \"b\"]]");
  EXPECT_EQ(tree("text\n- a"), "p[\"text\"] ul[li[\"a\"]]");  // markers interrupt paragraphs
  EXPECT_EQ(tree("-a"), "p[\"-a\"]");
}

TEST(MDParserTest, QuotationsAndTheirLazyLines) {
  EXPECT_EQ(tree("> a\nb"), "blockquote[p[\"a\" {\n} \"b\"]]");
  EXPECT_EQ(tree("> a\n\nb"), "blockquote[p[\"a\"]] p[\"b\"]");
  EXPECT_EQ(tree("> a\n> > b"), "blockquote[p[\"a\"] blockquote[p[\"b\"]]]");
  EXPECT_EQ(tree("> a\n- b"), "blockquote[p[\"a\"]] ul[li[\"b\"]]");
}

TEST(MDParserTest, CodeBlocks) {
  EXPECT_EQ(tree("    a < b\n\n    c  \n\n"), "pre[\"a \" {&lt;} \" b\" nl nl \"c\" nl]");
  EXPECT_EQ(tree("    a\nb"), "pre[\"a\" nl] p[\"b\"]");
  std::string fenced = "```js\nx < y\n```";
  EXPECT_EQ(tree(fenced, markdown::MDExtensionFencedCode), "pre(js)[\"x \" {&lt;} \" y\" nl]");
  // Without the extension the fence lines are paragraph text (here holding a code span).
  EXPECT_EQ(tree(fenced), "p[code[\"js\nx \" {&lt;} \" y\n\"]]");
  EXPECT_EQ(tree("```\nopen", markdown::MDExtensionFencedCode), "pre[\"open\" nl]");
}

TEST(MDParserTest, ReferenceLinksResolveCaseBlind) {
  EXPECT_EQ(tree("[id]: /a \"T\"\n\n[x][ID]"), "definition(/a|T) p[link(/a|T)[\"x\"]]");
  EXPECT_EQ(tree("[x][none]"), "p[\"[x][none]\"]");
  EXPECT_EQ(tree("[id]: </a>\n  'T'\n[x][id]"), "definition(/a|T) p[link(/a|T)[\"x\"]]");
  EXPECT_EQ(tree("[id]: /a\n(not a title\n\n[x][id]"), "definition(/a) p[\"(not a title\"] p[link(/a)[\"x\"]]");
  // A later definition of a name replaces an earlier one, "later" in a walk through
  // the tree level by level: one inside a quotation comes after every top-level one.
  EXPECT_EQ(tree("[a]: /1\n[A]: /2\n\n[x][a]"), "definition(/1) definition(/2) p[link(/2)[\"x\"]]");
  EXPECT_EQ(tree("> [a]: /inner\n\n[a]: /outer\n\n[x][a]"),
            "blockquote[definition(/inner)] definition(/outer) p[link(/inner)[\"x\"]]");
  EXPECT_EQ(tree("- [a]: /item\n\n- b\n\n> [a]: /quote\n\n[x][a]"),
            "ul[li[definition(/item)] li[p[\"b\"]]] blockquote[definition(/quote)] p[link(/item)[\"x\"]]");
}

TEST(MDParserTest, Tables) {
  const unsigned tables = markdown::MDExtensionTables;
  EXPECT_EQ(tree("| a | b |\n|:---|---:|\n| 1 | 2 |", tables),
            "table[thead[th1[\"a\"] th3[\"b\"]] tr[td1[\"1\"] td3[\"2\"]]]");
  EXPECT_EQ(tree("| a | b |\n|:---|---:|", tables), "p[\"| a | b |\" {\n} \"|:---|---:|\"]");
  EXPECT_EQ(tree("|a|\n|--|\n|1|", tables), "p[\"|a|\" {\n} \"|--|\" {\n} \"|1|\"]");
  // A body row with fewer cells than columns ends the table.
  EXPECT_EQ(tree("a | b\n:---:|---\n1 | 2\n3\nx", tables),
            "table[thead[th2[\"a\"] th0[\"b\"]] tr[td2[\"1\"] td0[\"2\"]]] p[\"3\" {\n} \"x\"]");
  EXPECT_EQ(tree("a | b\n---|---\n1 ||\n| |", tables), "table[thead[th0[\"a\"] th0[\"b\"]] tr[td0[\"1\"] td0]] p[\"| |\"]");
}

TEST(MDParserTest, RawHTMLBlocks) {
  EXPECT_EQ(tree("<div>\n*a*\n</div>"), "html<<div>\n*a*\n</div>>");
  EXPECT_EQ(tree("<DIV>\n*a*\n</DIV>"), "p[html<<DIV>> {\n} em[\"a\"] {\n} html<</DIV>>]");
  EXPECT_EQ(tree("<div><p>a</p></div> tail\n\nb"), "html<<div><p>a</p></div>> p[\"tail\"] p[\"b\"]");
  // Lenient: the tag never closes, so the block runs to the next empty line.
  EXPECT_EQ(tree("<div class=\"x\">\na\n\nb"), "html<<div class=\"x\">\na\n> p[\"b\"]");
  EXPECT_EQ(tree("<!-- a\nb -->\nc"), "html<<!-- a\nb -->> p[\"c\"]");
  EXPECT_EQ(tree("a <!-- x\n\ny --> b\nc"), "p[\"a \" html<<!-- x\n\ny -->> \" b\" {\n} \"c\"]");
}

TEST(MDParserTest, RulesComeBeforeLists) {
  EXPECT_EQ(tree("***"), "hr");
  EXPECT_EQ(tree("- - -"), "hr");
  EXPECT_EQ(tree("* * *"), "hr");
  EXPECT_EQ(tree("___"), "hr");
  EXPECT_EQ(tree("*  *  *"), "ul[li li[\"*\"]]");  // no rule: two items, the first empty
  EXPECT_EQ(tree("- a\n\n***\n- b"), "ul[li[\"a\"]] hr ul[li[\"b\"]]");
}

TEST(MDParserTest, EveryLineIsReadOnce) {
  // An indented fence line with fenced code on is refused by every recogniser; it
  // becomes text instead of a line the loop would try forever.
  EXPECT_EQ(tree("  ```", markdown::MDExtensionFencedCode), "p[\"```\"]");
  EXPECT_EQ(tree("a\n  ```\nb", markdown::MDExtensionFencedCode), "p[\"a\"] p[\"```\" {\n} \"b\"]");
  EXPECT_EQ(tree("\n\n  \n"), "");
}

TEST(MDParserTest, NestingStopsAtItsLimit) {
  std::string deep(5000, '>');
  deep += " a";
  std::string result = tree(deep);
  EXPECT_EQ(result.find("blockquote["), 0u);
  EXPECT_NE(result.find("p["), std::string::npos);
  std::string list;  // each item two columns deeper than the one before
  for (int i = 0; i < 200; ++i) list += std::string(static_cast<size_t>(i) * 2, ' ') + "- x\n";
  result = tree(list);
  EXPECT_EQ(result.find("ul[li["), 0u);
  EXPECT_NE(result.find("\"- x\""), std::string::npos);  // the deepest markers are text
}
