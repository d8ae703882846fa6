// What a person reads and fills in of a page: its title, paragraphs, links and forms,
// from any bytes.
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
                                                       "Caf\xC3\xA9 \xC3\xA9\xE2\x98\xBA 3 < 4"}));
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

TEST(WebPageSummaryTest, FormsTheirFieldsAndThePageResources) {
  auto page = WebPageSummary::scan(R"(<html><head><link rel="stylesheet" href="s.css"><script src="a.js"></script></head>
<body><img src="i.png"><img src="i.png">
<input name="outside" value="never sent">
<form action="/login" method="POST">
  <label for="u">User name</label><input id="u" name="user" value="ann">
  <label>Password <input type="password" name="pass"></label>
  <input type="hidden" name="token" value="t&amp;1">
  <input type="checkbox" name="remember" checked>
  <select name="lang"><option value="en">English<option value="fr" selected>French</select>
  <textarea name="note">hi</textarea>
  <input type="submit" name="go" value="Sign In"><button type="button">Help</button>
</form>
<form><input name="q" placeholder="Search"><button>Find</button></form></body></html>)");
  EXPECT_EQ(page.subresources, (std::vector<std::string>{"s.css", "a.js", "i.png"}));
  ASSERT_EQ(page.forms.size(), 2u);
  const auto& login = page.forms[0];
  EXPECT_EQ(login.action, "/login");
  EXPECT_EQ(login.method, "post");
  using Kind = WebPageFormField::Kind;
  std::vector<std::tuple<Kind, std::string, std::string, std::string>> fields;
  for (auto& f : login.fields) fields.emplace_back(f.kind, f.name, f.value, f.label);
  EXPECT_EQ(fields, (decltype(fields){{Kind::Text, "user", "ann", "User name"},
                                      {Kind::Password, "pass", "", "Password"},
                                      {Kind::Hidden, "token", "t&1", "token"},
                                      {Kind::Choice, "remember", "on", "remember"},
                                      {Kind::Hidden, "lang", "fr", "lang"},
                                      {Kind::Text, "note", "hi", "note"},
                                      {Kind::Submit, "go", "Sign In", "Sign In"},
                                      {Kind::Other, "", "", "Help"}}));
  EXPECT_TRUE(login.fields[3].checked);
  EXPECT_EQ(page.forms[1].method, "get");
  EXPECT_EQ(page.forms[1].fields[0].label, "Search");
  EXPECT_EQ(page.forms[1].fields[1].kind, Kind::Submit) << "a button submits unless it says otherwise";
}
