#include <gtest/gtest.h>

#include "markdown/MDExtensions.h"
#include "MarkdownTestSupport.h"

using namespace markdown;
using markdowntest::tree;

TEST(MDSpanParserTest, EmphasisAndStrong) {
  EXPECT_EQ(tree("a *b* c"), "p[\"a \" em[\"b\"] \" c\"]");
  EXPECT_EQ(tree("a * b"), "p[\"a * b\"]");
  EXPECT_EQ(tree("**b**"), "p[strong[\"b\"]]");
  EXPECT_EQ(tree("***b***"), "p[strong[em[\"b\"]]]");
  EXPECT_EQ(tree("***a* b**"), "p[strong[em[\"a\"] \" b\"]]");
  EXPECT_EQ(tree("***a** b*"), "p[em[strong[\"a\"] \" b\"]]");
  EXPECT_EQ(tree("****b****"), "p[\"****b****\"]");
  EXPECT_EQ(tree("_a_ and __b__"), "p[em[\"a\"] \" and \" strong[\"b\"]]");
  EXPECT_EQ(tree("*a\nb*"), "p[em[\"a\" {\n} \"b\"]]");
  EXPECT_EQ(tree("*a\n*b"), "p[\"*a\" {\n} \"*b\"]");  // a closing marker never starts a line
}

TEST(MDSpanParserTest, IntrawordUnderscores) {
  EXPECT_EQ(tree("snake_case_name", MDExtensionIntrawordUnderscores), "p[\"snake_case_name\"]");
  EXPECT_EQ(tree("snake_case_name"), "p[\"snake\" em[\"case\"] \"name\"]");
  EXPECT_EQ(tree("a _b_ c", MDExtensionIntrawordUnderscores), "p[\"a \" em[\"b\"] \" c\"]");
}

TEST(MDSpanParserTest, CodeSpans) {
  EXPECT_EQ(tree("`a < b`"), "p[code[\"a \" {&lt;} \" b\"]]");
  EXPECT_EQ(tree("``a ` b``"), "p[code[\"a ` b\"]]");
  EXPECT_EQ(tree("a ` b"), "p[\"a ` b\"]");
  EXPECT_EQ(tree("`a\nb`"), "p[code[\"a\nb\"]]");
  EXPECT_EQ(tree("`x & `"), "p[code[\"x \" {&amp;}]]");
  EXPECT_EQ(tree("`  *a*  `"), "p[code[\"*a*\"]]");
}

TEST(MDSpanParserTest, BackslashesAndAmpersands) {
  EXPECT_EQ(tree("a\\*b"), "p[\"a\" {*} \"b\"]");
  EXPECT_EQ(tree("a\\qb"), "p[\"a\\qb\"]");
  EXPECT_EQ(tree("R&D"), "p[\"R\" {&amp;} \"D\"]");
  EXPECT_EQ(tree("&copy; &#169; &#xA9;"), "p[\"&copy; &#169; &#xA9;\"]");
  EXPECT_EQ(tree("a < b"), "p[\"a \" {&lt;} \" b\"]");
}

TEST(MDSpanParserTest, InlineLinksAndImages) {
  EXPECT_EQ(tree("[x](/a \"T\")"), "p[link(/a|T)[\"x\"]]");
  EXPECT_EQ(tree("[x](/a(1))"), "p[link(/a(1))[\"x\"]]");
  EXPECT_EQ(tree("[x] (/a)"), "p[\"[x] (/a)\"]");
  EXPECT_EQ(tree("[x](</a b>)"), "p[\"[x](\" html<</a b>> \")\"]");
  EXPECT_EQ(tree("[x](<\\(a\\\\b\\q>)"), "p[link((a\\b\\q)[\"x\"]]");  // escapes removed, others kept
  EXPECT_EQ(tree("[x](/a \"say \"hi\"\")"), "p[link(/a|say \"hi\")[\"x\"]]");
  EXPECT_EQ(tree("[x](/a 'T')"), "p[\"[x](/a 'T')\"]");  // titles only in double quotes
  EXPECT_EQ(tree("[*a* [b]](/u)"), "p[link(/u)[em[\"a\"] \" [b]\"]]");
  EXPECT_EQ(tree("[a [b](/in)](/out)"), "p[link(/out)[\"a [b](/in)\"]]");  // no link inside a link
  EXPECT_EQ(tree("![alt *t*](/i.png)"), "p[image(/i.png)(alt:alt *t*)]");
  EXPECT_EQ(tree("[![i](/i)](/l)"), "p[link(/l)[image(/i)(alt:i)]]");
  EXPECT_EQ(tree("[a\nb](/u)"), "p[link(/u)[\"a\" {\n} \"b\"]]");
}

TEST(MDSpanParserTest, ReferenceLinks) {
  EXPECT_EQ(tree("[a][] [b]\n[c]\n\n[a]: /1\n[c]: /3"), "p[link(/1)[\"a\"] \" \" link(/3)[\"b\"]] definition(/1) definition(/3)");
  EXPECT_EQ(tree("[one\ntwo][]\n\n[one two]: /u"), "p[link(/u)[\"one\" {\n} \"two\"]] definition(/u)");
  EXPECT_EQ(tree("[a]  [b]\n\n[b]: /u"), "p[\"[a]  [b]\"] definition(/u)");  // at most one space between
  EXPECT_EQ(tree("[a]\n\n[a]: /u"), "p[\"[a]\"] definition(/u)");  // no shortcut references
  EXPECT_EQ(tree("![i][x]\n\n[x]: /i.png \"T\""), "p[image(/i.png|T)(alt:i)] definition(/i.png|T)");
}

TEST(MDSpanParserTest, AutomaticLinksInAngleBrackets) {
  EXPECT_EQ(tree("<http://a.com/?x=1&y=2>"), "p[link(http://a.com/?x=1&y=2)[\"http://a.com/?x=1\" {&amp;} \"y=2\"]]");
  EXPECT_EQ(tree("<a.b@c.org>"), "p[mailto(a.b@c.org)]");
  EXPECT_EQ(tree("<mailto:x>"), "p[html<<mailto:x>>]");
}

TEST(MDSpanParserTest, StrictURLValidatorRefusesUnsafeAutomaticLinks) {
  // The link's text is written nearly unescaped: a '<' inside would open a tag.
  EXPECT_EQ(tree("<http://a<b>"), "p[{&lt;} \"http://a\" html<<b>>]");
  for (const char* unsafe : {"<http://a b>", "<http://a\"b>", "<http://a{b}>", "<http://a|b>", "<http://a\\b>",
                             "<http://a^b>", "<http://a`b>", "<http://a\x01z>", "<http://é.com>"}) {
    EXPECT_EQ(tree(unsafe).find("link"), std::string::npos) << unsafe;
  }
}

TEST(MDSpanParserTest, LineBreaks) {
  EXPECT_EQ(tree("a  \nb"), "p[\"a \" br {\n} \"b\"]");
  EXPECT_EQ(tree("a  "), "p[\"a  \"]");  // not on the last line
  EXPECT_EQ(tree("a\nb", MDExtensionHardNewlines), "p[\"a\" br {\n} \"b\"]");
  EXPECT_EQ(tree("# a", MDExtensionHardNewlines), "h1[\"a\"]");
}

TEST(MDSpanParserTest, Strikethrough) {
  EXPECT_EQ(tree("~~a~~", MDExtensionStrikethrough), "p[del[\"a\"]]");
  EXPECT_EQ(tree("~~ a ~~", MDExtensionStrikethrough), "p[\"~~ a ~~\"]");
  EXPECT_EQ(tree("~~a~~"), "p[\"~~a~~\"]");
  EXPECT_EQ(tree("~~a ~~b~~ c~~", MDExtensionStrikethrough), "p[del[\"a \" del[\"b\"] \" c\"]]");
}

TEST(MDSpanParserTest, AutolinksInPlainText) {
  const unsigned autolinks = MDExtensionAutolinks;
  EXPECT_EQ(tree("see www.example.com.", autolinks), "p[\"see \" link(http://www.example.com)[\"www.example.com\"] \".\"]");
  EXPECT_EQ(tree("mail me.you@ex-ample.org.", autolinks), "p[\"mail \" mailto(me.you@ex-ample.org) \".\"]");
  EXPECT_EQ(tree("(http://a.com/x)", autolinks), "p[\"(\" link(http://a.com/x)[\"http://a.com/x\"] \")\"]");
  EXPECT_EQ(tree("http://a.com/f(1)", autolinks), "p[link(http://a.com/f(1))[\"http://a.com/f(1)\"]]");
  EXPECT_EQ(tree("www.example only", autolinks), "p[\"www.example only\"]");
  EXPECT_EQ(tree("FTP://a.b", autolinks), "p[link(FTP://a.b)[\"FTP://a.b\"]]");
  EXPECT_EQ(tree("gopher://a.b", autolinks), "p[\"gopher://a.b\"]");
  EXPECT_EQ(tree("a@b", autolinks), "p[\"a@b\"]");
  EXPECT_EQ(tree("*x*http://a.b", autolinks), "p[em[\"x\"] link(http://a.b)[\"http://a.b\"]]");
  EXPECT_EQ(tree("[www.a.com](/u)", autolinks), "p[link(/u)[\"www.a.com\"]]");  // no links in a link's text
}

TEST(MDSpanParserTest, TableCells) {
  const unsigned tables = MDExtensionTables;
  EXPECT_EQ(tree("a|b\n---|---\n`x|y` | *z*", tables),
            "table[thead[th0[\"a\"] th0[\"b\"]] tr[td0[code[\"x|y\"]] td0[em[\"z\"]]]]");
}
