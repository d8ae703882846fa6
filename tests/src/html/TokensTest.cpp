#include <gtest/gtest.h>

#include "html/HTMLToken.h"

using namespace html;

namespace {

TEST(Tokens, DOCTYPEKeepsMissingApartFromEmpty) {
  HTMLDOCTYPEToken doctype;
  EXPECT_FALSE(doctype.name().has_value());
  doctype.appendStringToPublicIdentifier(u"");
  EXPECT_FALSE(doctype.publicIdentifier().has_value());
  doctype.setPublicIdentifier(String());
  EXPECT_EQ(doctype.publicIdentifier(), String());
  doctype.appendLongCharacterToName('h');
  EXPECT_EQ(doctype.name(), u"h");
  HTMLDOCTYPEToken quirky = doctype;
  quirky.setForceQuirks(true);
  EXPECT_TRUE(doctype == quirky);  // the flag is not compared
}

TEST(Tokens, TagTokensCompareByValue) {
  HTMLStartTagToken a(u"a"), b(u"a");
  a.attributes().setObject(u"1", u"x");
  a.attributes().setObject(u"2", u"y");
  b.attributes().setObject(u"2", u"y");
  b.attributes().setObject(u"1", u"x");
  EXPECT_TRUE(a == b);
  EXPECT_EQ(a.hash(), b.hash());
  b.setSelfClosingFlag(true);
  EXPECT_FALSE(a == b);
  HTMLToken start = a, end = HTMLEndTagToken(u"a");
  EXPECT_FALSE(start == end);
  HTMLEndTagToken withAttributes(u"a");
  withAttributes.attributes().setObject(u"v", u"k");
  EXPECT_TRUE(withAttributes == HTMLEndTagToken(u"a"));

  HTMLStartTagToken image = a.copyWithTagName(u"img");
  EXPECT_EQ(image.tagName(), u"img");
  EXPECT_EQ(*image.attributes().objectForKey(u"y"), u"2");
  EXPECT_NE(toUTF8(a.description()).find("<a x=\"1\" y=\"2\"> >"), std::string::npos);
}

TEST(Tokens, ParseErrorsAreAllAlike) {
  EXPECT_TRUE(HTMLParseErrorToken("one") == HTMLParseErrorToken("two"));
  EXPECT_TRUE(HTMLEOFToken() == HTMLEOFToken());
}

TEST(Tokens, CharacterTokensSplitOffLeadingWhitespace) {
  HTMLCharacterToken mixed(u"  ab");
  EXPECT_EQ(mixed.leadingWhitespaceToken()->string(), u"  ");
  EXPECT_EQ(mixed.afterLeadingWhitespaceToken()->string(), u"ab");
  HTMLCharacterToken spaces(u" \t\n\f");
  EXPECT_EQ(spaces.leadingWhitespaceToken(), spaces);
  EXPECT_FALSE(spaces.afterLeadingWhitespaceToken());
  HTMLCharacterToken carriageReturn(u"\rx");
  EXPECT_FALSE(carriageReturn.leadingWhitespaceToken());
  EXPECT_EQ(carriageReturn.afterLeadingWhitespaceToken(), carriageReturn);
}

}  // namespace
