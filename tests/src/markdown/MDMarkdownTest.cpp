#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <string>

#include "markdown/MDCharacterSet.h"
#include "markdown/MDGenerator.h"
#include "markdown/MDMarkdown.h"
#include "MarkdownTestSupport.h"

using namespace markdown;
using markdowntest::html;

namespace {

// Numeric character references back to the characters they stand for; records
// whether any stood for half of a surrogate pair.
std::string decodeReferences(const std::string& text, bool* sawSurrogate = nullptr) {
  static const std::regex reference("&#(x[0-9a-fA-F]+|[0-9]+);");
  std::string out;
  auto last = text.cbegin();
  for (std::sregex_iterator it(text.begin(), text.end(), reference), end; it != end; ++it) {
    out.append(last, (*it)[0].first);
    std::string digits = (*it)[1];
    unsigned long value = digits[0] == 'x' ? std::stoul(digits.substr(1), nullptr, 16) : std::stoul(digits);
    if (value >= 0xD800 && value <= 0xDFFF && sawSurrogate) *sawSurrogate = true;
    utf8::append(out, static_cast<char32_t>(value));
    last = (*it)[0].second;
  }
  out.append(last, text.cend());
  return out;
}

}  // namespace

TEST(MDMarkdownTest, AMissingOrEmptyTextIsTheEmptyString) {
  EXPECT_EQ(MDMarkdown::HTMLStringWithMarkdown(std::nullopt), "");
  EXPECT_EQ(MDMarkdown::HTMLStringWithMarkdown(std::nullopt, MDExtensionAll), "");
  EXPECT_EQ(MDMarkdown::HTMLStringWithMarkdown(""), "");
  std::optional<std::string> description;  // as a featured entry without one hands it over
  EXPECT_EQ(MDMarkdown::HTMLStringWithMarkdown(description, MDExtensionAll), "");
  EXPECT_EQ(MDMarkdown::HTMLStringWithMarkdown(std::string("x")), "<p>x</p>\n");
}

TEST(MDMarkdownTest, BlocksAsTheyAreWritten) {
  EXPECT_EQ(html("# Title"), "<h1>Title</h1>\n");
  EXPECT_EQ(html("a\nb"), "<p>a\nb</p>\n");
  EXPECT_EQ(html("a\nb", MDExtensionHardNewlines), "<p>a<br />\nb</p>\n");
  EXPECT_EQ(html("* a\n* b"), "<ul>\n<li>a</li>\n<li>b</li>\n</ul>\n");
  EXPECT_EQ(html("* a\n\n* b"), "<ul>\n<li><p>a</p>\n</li>\n<li><p>b</p>\n</li>\n</ul>\n");
  EXPECT_EQ(html("1. a"), "<ol>\n<li>a</li>\n</ol>\n");
  EXPECT_EQ(html("> q"), "<blockquote>\n<p>q</p>\n</blockquote>\n");
  EXPECT_EQ(html("    x"), "<pre><code>x\n</code></pre>\n");
  EXPECT_EQ(html("```sh\necho\n```", MDExtensionFencedCode), "<pre><code class=\"sh\">echo\n</code></pre>\n");
  EXPECT_EQ(html("---"), "\n<hr />\n");
  EXPECT_EQ(html("[d]: /x\n"), "");
}

TEST(MDMarkdownTest, InlineTagsAndEscapedAttributes) {
  EXPECT_EQ(html("[a](/x \"T\")"), "<p><a title=\"T\" href=\"/x\">a</a></p>\n");
  EXPECT_EQ(html("[a](/x?a=1&b=\"2\")"), "<p><a href=\"/x?a=1&amp;b=&quot;2&quot;\">a</a></p>\n");
  EXPECT_EQ(html("![a \"q\" & <b>](/i.png \"t\")"),
            "<p><img src=\"/i.png\" alt=\"a &quot;q&quot; &amp; <b>\" title=\"t\" /></p>\n");
  EXPECT_EQ(html("![a](/i.png)"), "<p><img src=\"/i.png\" alt=\"a\" /></p>\n");
  EXPECT_EQ(html("*a* **b** `c` ~~d~~", MDExtensionStrikethrough),
            "<p><em>a</em> <strong>b</strong> <code>c</code> <del>d</del></p>\n");
  EXPECT_EQ(html("a  \nb"), "<p>a <br />\nb</p>\n");
}

TEST(MDMarkdownTest, Tables) {
  EXPECT_EQ(html("| a | b |\n|:---:|---|\n| 1 | 2 |", MDExtensionTables),
            "<table><thead><tr><th align='center'>a</th><th>b</th></tr></thead><tbody>"
            "<tr><td align='center'>1</td><td>2</td></tr></tbody></table>");
}

TEST(MDMarkdownTest, RawHTMLIsCopiedByteForByte) {
  const std::string block = "<div class=\"x\">\r\n<b>a</b>\n</div>";
  EXPECT_EQ(html(block), block);
  EXPECT_EQ(html("a <span\nid=\"1\">b</span>"), "<p>a <span\nid=\"1\">b</span></p>\n");
}

TEST(MDMarkdownTest, EmailLinksAreObfuscatedOneReferencePerCharacter) {
  const std::string link = html("<me@example.com>", 0, 7);
  EXPECT_EQ(decodeReferences(link), "<p><a href=\"mailto:me@example.com\">me@example.com</a></p>\n");
  EXPECT_EQ(link.find('@'), std::string::npos);
  EXPECT_EQ(html("<me@example.com>", 0, 7), link);  // the same seed, the same bytes
  EXPECT_NE(html("<me@example.com>", 0, 8), link);
  EXPECT_NE(MDMarkdown::HTMLStringWithMarkdown("<me@example.com>"), MDMarkdown::HTMLStringWithMarkdown("<me@example.com>"));

  // A character outside the basic plane is one reference, never two surrogate halves.
  const std::string wide = "<\xF0\x9D\x92\x9C@b.com>";  // U+1D49C, a letter
  for (uint64_t seed = 0; seed < 50; ++seed) {
    bool surrogate = false;
    std::string out = decodeReferences(html(wide, 0, seed), &surrogate);
    EXPECT_FALSE(surrogate);
    EXPECT_NE(out.find("mailto:\xF0\x9D\x92\x9C@b.com"), std::string::npos) << out;
  }
}

TEST(MDMarkdownTest, ObfuscationChoosesEachFormAsOften) {
  MDRandomSource random(42);
  MDGenerator generator(random);
  const std::string address(20000, 'a');
  const std::string out = generator.obfuscatedEmailAddress(address);
  size_t hex = 0, decimal = 0, plain = 0;
  for (size_t i = 0; i < out.size();) {
    if (out.compare(i, 3, "&#x") == 0) {
      ++hex;
      i += 6;  // &#x61;
    } else if (out.compare(i, 2, "&#") == 0) {
      ++decimal;
      i += 5;  // &#97;
    } else {
      ++plain;
      i += 1;
    }
  }
  EXPECT_EQ(hex + decimal + plain, address.size());
  EXPECT_NEAR(static_cast<double>(plain) / address.size(), 0.10, 0.02);
  EXPECT_NEAR(static_cast<double>(hex) / address.size(), 0.45, 0.02);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(generator.obfuscatedEmailAddress("@").substr(0, 2), "&#");
}

TEST(MDMarkdownTest, TheTwoScreensMasks) {
  // The package page converts descriptions with no extension, the featured screen
  // with all of them.
  const std::string description =
      "Tweak for **iOS 14**.\nSee www.example.com or mail dev@example.com.\n\n| a | b |\n|---|---|\n| 1 | 2 |\n\n~~old~~";
  const std::string plain = html(description, 0);
  EXPECT_EQ(plain.find("<table>"), std::string::npos);
  EXPECT_EQ(plain.find("<del>"), std::string::npos);
  EXPECT_EQ(plain.find("<a "), std::string::npos);
  const std::string featured = decodeReferences(html(description, MDExtensionAll));
  EXPECT_NE(featured.find("<br />"), std::string::npos);
  EXPECT_NE(featured.find("<a href=\"http://www.example.com\">www.example.com</a>"), std::string::npos);
  EXPECT_NE(featured.find("<a href=\"mailto:dev@example.com\">dev@example.com</a>"), std::string::npos);
  EXPECT_NE(featured.find("<table>"), std::string::npos);
  EXPECT_NE(featured.find("<del>old</del>"), std::string::npos);
}

TEST(MDMarkdownTest, TextThatIsNotUTF8BecomesReplacementCharacters) {
  EXPECT_EQ(html("caf\xE9 \xF0\x28"), "<p>caf\xEF\xBF\xBD \xEF\xBF\xBD(</p>\n");
}
