#include <gtest/gtest.h>

#include <chrono>

#include "richtext/CSSDeclarations.h"
#include "richtext/NSAttributedStringHTML.h"
#include "support/TimeBound.h"

using NSAttributedStringHTML::attributedStringWithHTML;

namespace {

// The attributes of the first character of `text` in `string`.
NSTextAttributes at(const NSAttributedString& string, const std::string& text) {
  NSRange range = string.rangeOfString(text);
  EXPECT_NE(range.location, NSNotFound) << text;
  return range.location == NSNotFound ? NSTextAttributes{} : string.attributesAtIndex(range.location);
}

}  // namespace

// What the package page hands the reader: Markdown's HTML in a styled span.
TEST(NSAttributedStringHTML, ADescriptionInTheStyledSpan) {
  auto text = attributedStringWithHTML(
      "<span style=\"font-family: -apple-system; font-size: 15.0; color:white\"><br /><h2>New</h2><br />\n"
      "<p>Some <strong>bold</strong>, <em>italic <b>both</b></em> and a <a href=\"https://a.example/x\">link</a>"
      "</p><br /><p>Second   paragraph\nwrapped</p>\n<ul>\n<li>one</li>\n<li>two <code>x()</code></li>\n</ul>\n"
      "<ol start=\"3\"><li>three<ol><li>inner</li></ol></li><li>four</li></ol></span>");
  EXPECT_EQ(text.string(),
            "\nNew\n\nSome bold, italic both and a link\n\nSecond paragraph wrapped\n• one\n• two x()\n"
            "3. three\n  1. inner\n4. four\n");
  UIColor white = UIColor::colorWithRed(1, 1, 1, 1);
  EXPECT_EQ(at(text, "Some").font, UIFont::systemFontOfSize(15));
  EXPECT_EQ(at(text, "Some").foregroundColor, white);
  EXPECT_EQ(at(text, "New").font, UIFont::systemFontOfSize(22.5, UIFontWeightBold));
  EXPECT_EQ(at(text, "bold").font, UIFont::systemFontOfSize(15, UIFontWeightBold));
  EXPECT_EQ(at(text, "italic").font, UIFont::systemFontOfSize(15).fontWithWeight(UIFontWeightRegular, true));
  EXPECT_EQ(at(text, "both").font, UIFont::systemFontOfSize(15).fontWithWeight(UIFontWeightBold, true));
  EXPECT_EQ(at(text, "x()").font->fontName(), "Menlo");
  EXPECT_EQ(at(text, "link").link, "https://a.example/x");
  EXPECT_EQ(at(text, "link").underlineStyle, NSUnderlineStyleSingle);
  EXPECT_EQ(at(text, "link").foregroundColor, white);
  EXPECT_FALSE(at(text, "and").link);
}

TEST(NSAttributedStringHTML, WhiteSpaceBreaksAndHiddenParts) {
  EXPECT_EQ(attributedStringWithHTML("<head><title>T</title><style>p{}</style></head>"
                                     "<p>  a  <span> b </span> c </p><script>x()</script>d<br>e<br><br>f")
                .string(),
            "a b c\nd\ne\n\nf");
  EXPECT_EQ(attributedStringWithHTML("<pre>  two  spaces\n  kept</pre>after").string(), "  two  spaces\n  kept\nafter");
  EXPECT_EQ(attributedStringWithHTML("<table><tr><th>k</th><td>v</td></tr><tr><td>1</td><td>2</td></tr></table>")
                .string(),
            "k\tv\n1\t2\n");
  EXPECT_EQ(attributedStringWithHTML("").string(), "");
  auto styled = attributedStringWithHTML(
      "<p style=\"font-size: 2em; font-weight: 700; color: #0a0\">g</p><u>u</u>"
      "<span style=\"color:rgb(255, 0, 0); font-family: 'Georgia', serif; text-decoration: underline\">r</span>");
  EXPECT_EQ(at(styled, "g").font, UIFont::systemFontOfSize(24, UIFontWeightBold));
  EXPECT_EQ(at(styled, "g").foregroundColor, UIColor::colorWithRed(0, 0xaa / 255.0, 0, 1));
  EXPECT_EQ(at(styled, "u").underlineStyle, NSUnderlineStyleSingle);
  EXPECT_EQ(at(styled, "r").foregroundColor, UIColor::colorWithRed(1, 0, 0, 1));
  EXPECT_EQ(at(styled, "r").font->fontName(), "Georgia");
  EXPECT_EQ(at(styled, "r").underlineStyle, NSUnderlineStyleSingle);
}

TEST(NSAttributedStringHTML, CSSValuesTheReaderDoesNotKnowAreLeftOut) {
  EXPECT_EQ(CSSDeclarations::parse(" Color : red !important;;font-size:;x"),
            (std::vector<std::pair<std::string, std::string>>{{"color", "red"}}));
  EXPECT_FALSE(CSSDeclarations::color("#12"));
  EXPECT_FALSE(CSSDeclarations::color("rgb(1,2)"));
  EXPECT_FALSE(CSSDeclarations::color("chartreuse-ish"));
  EXPECT_FALSE(CSSDeclarations::length("large", 12));
  EXPECT_FALSE(CSSDeclarations::length("-3px", 12));
  EXPECT_EQ(CSSDeclarations::length("150%", 12), 18);
  EXPECT_FALSE(CSSDeclarations::isBold("heavy-ish"));
}

TEST(NSAttributedStringHTML, EveryAddressLosesItsUnderlineWhereItIsWritten) {
  auto text = attributedStringWithHTML(
      "<p><a href=\"https://a.example/x\">https://a.example/x</a> then <u>https://a.example/x</u> and "
      "<a href=\"https://b.example/\">the <b>b</b> site</a> and <u>plain underline</u></p>");
  NSAttributedStringHTML::removeUnderlinesFromAddresses(text);
  NSRange first = text.rangeOfString("https://a.example/x");
  NSRange second = text.rangeOfString("https://a.example/x", first.end());
  EXPECT_FALSE(text.attributesAtIndex(first.location).underlineStyle);
  EXPECT_FALSE(text.attributesAtIndex(second.end() - 1).underlineStyle);
  EXPECT_EQ(text.attributesAtIndex(first.location).link, "https://a.example/x");  // the link stays
  // Text that is no address keeps its underline, a link's too.
  EXPECT_EQ(at(text, "the ").underlineStyle, NSUnderlineStyleSingle);
  EXPECT_EQ(at(text, "plain").underlineStyle, NSUnderlineStyleSingle);
  EXPECT_EQ(text.string(), "https://a.example/x then https://a.example/x and the b site and plain underline\n");
}

TEST(NSAttributedStringHTML, DeepAndLongPagesAreReadInLinearTime) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<span><div>";
  deep += "x";
  std::string links;
  for (int i = 0; i < 20000; ++i) links += "<a href=\"https://h.example/" + std::to_string(i) + "\">https://h.example/" +
                                           std::to_string(i) + "</a> <b>w</b> ";
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(attributedStringWithHTML(deep).string(), "x\n");
  auto text = attributedStringWithHTML(links);
  NSAttributedStringHTML::removeUnderlinesFromAddresses(text);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, testsupport::timeBound(10));
  EXPECT_FALSE(at(text, "https://h.example/19999").underlineStyle);
}
