// The depiction pages of the real repositories parse, and the queries the package page
// makes ("title", "fieldset", "section", "a", "img", "div", "p", "panel", "ul", "label")
// find what a reader of each page sees there. A small page of our own stands in for the
// layouts (fieldsets, labels, panels, sections) none of the real pages uses.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "html/HTMLDocument.h"
#include "support/TestData.h"

using namespace html;

namespace {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

// How many start tags of that name the source holds.
size_t startTags(const std::string& source, const std::string& name) {
  std::regex tag("<" + name + "[\\s>/]", std::regex::icase);
  return size_t(std::distance(std::sregex_iterator(source.begin(), source.end(), tag), std::sregex_iterator()));
}

std::string titleOf(const std::string& source) {
  std::smatch match;
  std::regex title("<title>([^<]*)</title>");
  return std::regex_search(source, match, title) ? match[1].str() : "";
}

std::vector<std::filesystem::path> pagesUnder(const std::string& root) {
  std::vector<std::filesystem::path> pages;
  for (const char* folder : {"nepeta/depiction", "poomsmart/repo/depictions", "utm/depiction/web",
                             "paidrepo-depictions/com.nan.crc/html", "paidrepo"}) {
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(root) / folder)) {
      std::string name = entry.path().filename().string();
      bool html = entry.path().extension() == ".html" || std::string(folder) == "nepeta/depiction";
      if (entry.is_regular_file() && html) pages.push_back(entry.path());
    }
  }
  std::sort(pages.begin(), pages.end());
  return pages;
}

TEST(RealPages, EveryDepictionPageParsesAsItsReaderSeesIt) {
  QB_TESTDATA_OR_SKIP(repos, "repos");
  std::vector<std::filesystem::path> pages = pagesUnder(repos);
  ASSERT_GE(pages.size(), 18u);
  for (const auto& path : pages) {
    SCOPED_TRACE(path.string());
    std::string source = readFile(path);
    auto document = HTMLDocument::documentWithData(source, std::nullopt);
    // Every page names UTF-8 in a meta element; without a byte-order mark that takes
    // the second parse.
    EXPECT_EQ(document->parsedStringEncoding(), NSUTF8StringEncoding);
    ASSERT_NE(document->bodyElement(), nullptr);
    HTMLElementRef title = document->firstNodeMatchingSelector("title");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(toUTF8(title->textContent()), titleOf(source));
    for (const char* name : {"img", "ul", "a", "div", "li"}) {
      EXPECT_EQ(document->nodesMatchingSelector(name).size(), startTags(source, name)) << name;
    }
    // A stray end tag makes an empty paragraph of its own, as in "<p><p>x</p></p>".
    EXPECT_GE(document->nodesMatchingSelector("p").size(), startTags(source, "p"));
  }
}

TEST(RealPages, ANepetaPage) {
  QB_TESTDATA_OR_SKIP(page, "repos/nepeta/depiction/me.nepeta.axon");
  auto document = HTMLDocument::documentWithData(readFile(page), std::nullopt);
  EXPECT_EQ(document->firstNodeMatchingSelector("title")->textContent(), u"Axon - Nepeta");
  HTMLElementRef changelog = document->firstNodeMatchingSelector("div.changelog ul");
  ASSERT_NE(changelog, nullptr);
  EXPECT_EQ(changelog->childElementNodes().size(), 2u);
  EXPECT_EQ(changelog->childElementNodes()[1]->textContent(), u"Fixed a bug preventing AutoUnlockX from working.");
  std::vector<HTMLElementRef> paragraphs = document->nodesMatchingSelector(".description p");
  ASSERT_EQ(paragraphs.size(), 4u);
  EXPECT_EQ(paragraphs[3]->textContent(), u"Free and somewhat customizable.");
  std::vector<HTMLElementRef> shots = document->nodesMatchingSelector(".screenshots img");
  ASSERT_EQ(shots.size(), 4u);
  EXPECT_EQ(*shots[0]->objectForKeyedSubscript(u"src"),
            u"https://repo.nepeta.me/screenshots/screenshot_5cfd176867986.thumb.jpg");
  HTMLElementRef share = document->nodesMatchingSelector("a")[1];
  EXPECT_EQ(*share->objectForKeyedSubscript(u"href"),
            u"cydia://url/https://cydia.saurik.com/api/share#?source=https://repo.nepeta.me/&package=me.nepeta.axon");
  EXPECT_EQ(document->firstNodeMatchingSelector("h3 a")->textContent(), u"Full changelog");
}

TEST(RealPages, TheLargeMachineWrittenPage) {
  QB_TESTDATA_OR_SKIP(page, "repos/utm/depiction/web/com.utmapp.UTM.html");
  auto document = HTMLDocument::documentWithData(readFile(page), std::nullopt);
  EXPECT_EQ(document->quirksMode(), HTMLQuirksMode::NoQuirks);
  EXPECT_EQ(document->nodesMatchingSelector("ul").size(), 190u);
  EXPECT_EQ(document->firstNodeMatchingSelector("h1.package_name")->textContent(), u"UTM");
  EXPECT_EQ(*document->firstNodeMatchingSelector("img")->objectForKeyedSubscript(u"src"),
            u"../../assets/com.utmapp.UTM/icon.png");
}

TEST(RealPages, APageInChinese) {
  QB_TESTDATA_OR_SKIP(page, "repos/paidrepo-depictions/com.nan.crc/html/crc.html");
  auto document = HTMLDocument::documentWithData(readFile(page), std::nullopt);
  EXPECT_EQ(toUTF8(document->firstNodeMatchingSelector("title")->textContent()), "crc 配置文件配置讲解");
  EXPECT_EQ(toUTF8(document->firstNodeMatchingSelector("h2 a")->textContent()), "查看");
}

TEST(RealPages, ThePackagePagesOwnLayouts) {
  std::filesystem::path page = testdata::fixture("html/package-pages.html");
  auto document = HTMLDocument::documentWithData(readFile(page), std::nullopt);

  // A Grandel-style page: fieldsets with ids and labels.
  HTMLElementRef description = document->firstNodeMatchingSelector("fieldset#description");
  ASSERT_NE(description, nullptr);
  EXPECT_EQ(description->firstNodeMatchingSelector("div")->textContent(), u"A tweak that does one thing well.");
  EXPECT_EQ(description->nodesMatchingSelector("img").size(), 2u);
  HTMLElementRef whatsNew;
  for (const HTMLElementRef& fieldset : document->nodesMatchingSelector("fieldset")) {
    HTMLElementRef label = fieldset->firstNodeMatchingSelector("label");
    if (label && label->textContent() == u"What's New") whatsNew = fieldset;
  }
  ASSERT_NE(whatsNew, nullptr);
  EXPECT_EQ(whatsNew->firstNodeMatchingSelector("div")->textContent(), u"Version 1.1\n\nFixed a crash.\n");

  // An external changelog page: the last content section decides.
  std::vector<HTMLElementRef> sections = document->nodesMatchingSelector("section");
  ASSERT_EQ(sections.size(), 2u);
  EXPECT_EQ(sections[1]->firstNodeMatchingSelector("ul")->textContent(), u"1.1: Fixed a crash");

  // An outside-store page: the panel element and its children in order.
  HTMLElementRef panel = document->firstNodeMatchingSelector("panel");
  ASSERT_NE(panel, nullptr);
  std::vector<HTMLElementRef> children = panel->childElementNodes();
  ASSERT_EQ(children.size(), 5u);
  EXPECT_EQ(children[1]->textContent(), u"Description");
  EXPECT_EQ(children[2]->tagName(), u"fieldset");
  EXPECT_EQ(children[2]->firstNodeMatchingSelector("div")->childElementNodes().size(), 2u);
  size_t screenshots = 0;
  for (const HTMLElementRef& img : panel->nodesMatchingSelector("img")) {
    const String* cls = img->objectForKeyedSubscript(u"class");
    if (!cls || *cls != u"icon") ++screenshots;
  }
  EXPECT_EQ(screenshots, 1u);

  // A Pevrin page: "p" inside "div", and its links by href.
  HTMLElementRef pevrin = document->firstNodeMatchingSelector("#pevrin");
  EXPECT_EQ(pevrin->nodesMatchingSelector("p").size(), 3u);
  size_t links = 0;
  for (const HTMLElementRef& a : document->nodesMatchingSelector("a")) {
    const String* href = a->objectForKeyedSubscript(u"href");
    if (href && (*href == u"changelog.php" || *href == u"screenshots.php")) ++links;
  }
  EXPECT_EQ(links, 2u);
  EXPECT_EQ(document->firstNodeMatchingSelector("title")->textContent(), u"Fixture Tweak - Grandel Repo - ");
}

}  // namespace
