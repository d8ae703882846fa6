// What a person reads of a page: its title, paragraphs and links, from any bytes.
#include <gtest/gtest.h>

#include <string>

#include "webkit/WebPage.h"
#include "webkit/WebPageSummary.h"

TEST(WebPageSummaryTest, TitleParagraphsAndLinks) {
  auto page = WebPageSummary::scan(R"(<!DOCTYPE html>
<html><head><TITLE> Snowboard &amp; Friends
 </TITLE><style>p { color: red }</style>
<script>var s = "<p>not text</p>";</script></head>
<body><!-- a comment <p>hidden</p> -->
<h1>Snowboard</h1><p>Themes   for your
home screen.</p>
<p>Read the <a href="faq.html">FAQ</a> or <A HREF='https://x.example/?a=1&amp;b=2' target=_blank>open <b>this</b></a>.</p>
<img src="s.png" alt="Screenshot"><br>Caf&eacute; &#233;&#x263A; 3 &lt; 4
</body></html>)");
  EXPECT_EQ(page.title, "Snowboard & Friends");
  EXPECT_EQ(page.paragraphs, (std::vector<std::string>{"Snowboard", "Themes for your home screen.",
                                                       "Read the FAQ or open this.", "Screenshot",
                                                       "Caf&eacute; \xC3\xA9\xE2\x98\xBA 3 < 4"}));
  ASSERT_EQ(page.links.size(), 2u);
  EXPECT_EQ(page.links[0].href, "faq.html");
  EXPECT_EQ(page.links[0].text, "FAQ");
  EXPECT_EQ(page.links[0].target, "");
  EXPECT_EQ(page.links[1].href, "https://x.example/?a=1&b=2");
  EXPECT_EQ(page.links[1].text, "open this");
  EXPECT_EQ(page.links[1].target, "_blank");
}

TEST(WebPageSummaryTest, BrokenMarkupNeverStopsTheScan) {
  for (std::string html : {"<", "</", "<a", "<a href=\"x", "<title>never closed", "<!-- open comment",
                           "<script>while(1){}", "a < b > c", "<p>one<p>two", "<a href=x>in<a href=y>out",
                           "&#xFFFFFFFFFF; &#0; &#55296; &bogus; &", "<\xFF\xFE>\x01"}) {
    SCOPED_TRACE(html);
    auto page = WebPageSummary::scan(html);
    for (auto& p : page.paragraphs) EXPECT_FALSE(p.empty());
  }
  EXPECT_EQ(WebPageSummary::scan("a < b > c").text(), "a < b > c");
  EXPECT_EQ(WebPageSummary::scan("&#0; &#55296;").text(), "\xEF\xBF\xBD \xEF\xBF\xBD");
  auto nested = WebPageSummary::scan("<a href=x>in<a href=y>out</a>");
  ASSERT_EQ(nested.links.size(), 2u) << "a new link ends the one before";
  EXPECT_EQ(nested.links[0].text, "in");
  // A large page of unclosed tags still reads in one pass.
  std::string big;
  for (int i = 0; i < 200000; ++i) big += "<a href=\"/p" + std::to_string(i % 10) + "\">x";
  EXPECT_EQ(WebPageSummary::scan(big).links.size(), 200000u);
}

TEST(WebPageSummaryTest, PagesFromRepliesReadTheirCharset) {
  // Windows-1252 bytes, named by the page itself.
  std::string latin = "<meta charset=\"windows-1252\"><title>Caf\xE9</title>";
  auto page = WebPage::fromReply(Data(latin.begin(), latin.end()), nullptr);
  EXPECT_EQ(page.summary.title, "Caf\xC3\xA9");
  // The same bytes without a name are guessed, and UTF-8 stays UTF-8.
  std::string utf8 = "<title>Caf\xC3\xA9</title>";
  EXPECT_EQ(WebPage::fromReply(Data(utf8.begin(), utf8.end()), nullptr).summary.title, "Caf\xC3\xA9");
  // Links resolve against the page's address.
  auto base = WebPage::fromHTML("<a href='../b'>b</a>", URL::fromString("http://h.example/a/c/d.html"));
  EXPECT_EQ(base.resolve(base.summary.links[0].href)->absoluteString(), "http://h.example/a/b");
  // Longer text makes a taller page; an empty page has no height of its own beyond margins.
  auto shortPage = WebPage::fromHTML("<p>one line</p>", std::nullopt);
  auto longPage = WebPage::fromHTML("<p>" + std::string(2000, 'w') + "</p><p>more</p>", std::nullopt);
  EXPECT_LT(shortPage.contentHeightAtWidth(320), longPage.contentHeightAtWidth(320));
  EXPECT_GT(longPage.contentHeightAtWidth(320), longPage.contentHeightAtWidth(640)) << "narrower is taller";
}
