// The depictions parser on real native depictions of the test data, on the three scraped
// page kinds (small pages written for the tests, and their linked pages served on
// 127.0.0.1), and on every real HTML depiction of the test data.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/KVKnownRepositories.h"
#include "foundation/RunLoop.h"
#include "html/HTMLDocument.h"
#include "package/KVDepictionsParser.h"
#include "support/Latch.h"
#include "support/TestData.h"
#include "support/TestHttpServer.h"
#include "support/TimeBound.h"

namespace {

using Native = KVDepictionsParser::Native;
using Pages = KVDepictionsParser::Pages;
using Text = std::optional<std::string>;

Data readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  std::string s = bytes.str();
  return Data(s.begin(), s.end());
}

Data bytes(const std::string& text) { return Data(text.begin(), text.end()); }

std::shared_ptr<html::HTMLDocument> page(const std::string& fixture) {
  return html::HTMLDocument::documentWithData(readFile(testdata::fixture("depictions/" + fixture)), std::nullopt);
}

// Runs a retrieval and waits for its one answer, noting whether it came on the main thread.
template <class Result>
struct Answer {
  Result value{};
  std::atomic<int> calls{0};
  std::atomic<bool> onMain{false};
  Latch latch;
  std::function<void(Result)> handler() {
    return [this](Result result) {
      value = std::move(result);
      onMain = RunLoop::isMainThread();
      ++calls;
      latch.arrive();
    };
  }
  // Retrievals that answer on the main queue need its loop turned.
  bool wait() { return RunLoop::main().runUntil([this] { return calls > 0; }, testsupport::timeBound(10)); }
};

std::string prefix(const Text& text, size_t n) { return text ? text->substr(0, n) : "(none)"; }

struct NativeCase {
  const char* file;
  Text banner, tint;
  size_t changelogBytes;  // 0: none
  std::string changelogStart;
  size_t descriptionBytes;  // 0: none
  std::string descriptionStart;
  std::vector<std::string> screenshotEnds;  // the first and the last
  size_t screenshotCount;
  size_t informations;
};

}  // namespace

TEST(DepictionsParser, EveryNativeDepictionOfTheTestData) {
  QB_TESTDATA_OR_SKIP(repos, "repos");
  const std::string poom = "https://poomsmart.github.io/repo/screenshots/";
  const std::string nan = "https://invalidunit.github.io/sileodepiction/";
  const std::vector<NativeCase> cases = {
      {"poomsmart/repo/sileodepictions/60fps.json", {}, {}, 52, "Version 1.0.0~b1<br />- Compiled", 123, "<p>720p60", {}, 0, 0},
      {"poomsmart/repo/sileodepictions/amber.json", "https://poomsmart.github.io/repo/features/amber.png", "orange",
       71, "Version 1.2.4<br />- Optimized the code that detects the camera version", 725, "<p><b>As of version 1.2.0",
       {}, 0, 0},
      {"poomsmart/repo/sileodepictions/apppad.json", {}, {}, 65, "Version 1.1.2<br />", 62, "<p>Full screen", {}, 0, 0},
      {"poomsmart/repo/sileodepictions/blobmojiefm.json", {}, {}, 45, "Version 17.0.0<br />- Updated to Unicode 17.0",
       226, "<p>Blobmoji", {poom + "blobmojiefm/font.png", poom + "blobmojiefm/font.png"}, 1, 0},
      {"poomsmart/repo/sileodepictions/camelapsedplus.json", {}, {}, 0, "", 84, "<p>Adds sub-seconds",
       {poom + "camelapsedplus/original.PNG", poom + "camelapsedplus/tweak.PNG"}, 2, 0},
      {"poomsmart/repo/sileodepictions/emojifontflipefm.json", {}, {}, 0, "", 161, "<p>It's your usual",
       {poom + "emojifontflipefm/font.png", poom + "emojifontflipefm/font.png"}, 1, 0},
      {"poomsmart/repo/sileodepictions/polyfills.json", {}, {}, 182, "Version 2.29.2<br />", 471, "<p>Provides", {}, 0, 0},
      {"poomsmart/repo/sileodepictions/ytlegacy.json", {}, "red", 98, "Version 1.11.0<br />", 473, "<p>Check out", {}, 0, 0},
      // 216 KB: 30 Markdown views under the changelog tab and no title to close an entry,
      // table views and an "openExternal" written as the text "true".
      {"utm/depiction/native/com.utmapp.UTM.json", "https://cydia.getutm.app/assets/com.utmapp.UTM/banner.png",
       "#1a2cc2", 205551, "#### Version 4.6.3\n\n## Highlights", 1707, "UTM is a full featured",
       {"https://cydia.getutm.app/assets/com.utmapp.UTM/screenshot/screen0.png",
        "https://cydia.getutm.app/assets/com.utmapp.UTM/screenshot/screen6.png"},
       7, 4},
      {"utm/depiction/native/help/com.utmapp.UTM.json", {}, "#1a2cc2", 0, "", 0, "", {}, 0, 0},
      // Tabs named in Chinese are content tabs: the changelog's text is description.
      {"paidrepo-depictions/com.nan.bindfs/js.json", nan + "default/top.png", "#FF4455", 0, "", 3751,
       "以 bindfs 挂载文件夹的 cli 工具",
       {nan + "com.nan.bindfs/screenshot_01.png", nan + "com.nan.bindfs/screenshot_02.png"}, 2, 5},
      {"paidrepo-depictions/com.nan.crc/js.json", nan + "default/top_0.png", "#FF4455", 0, "", 3665, "检查软件源变更",
       {nan + "com.nan.crc/screenshot_01.png", nan + "com.nan.crc/screenshot_03.png"}, 3, 4},
      {"paidrepo-depictions/com.nan.debd/js.json", nan + "default/top_1.png", "#FF4455", 0, "", 1648, "deb 下载工具",
       {nan + "com.nan.debd/screenshot_01.png", nan + "com.nan.debd/screenshot_03.png"}, 3, 4},
      {"paidrepo-depictions/com.nan.zh-hans/com.opa334.choicy/js.json", nan + "default/top.png", "#34C759", 0, "", 95,
       "为 Choicy 提供简体中文",
       {nan + "com.nan.zh-hans/com.opa334.choicy/screenshot_01.png",
        nan + "com.nan.zh-hans/com.opa334.choicy/screenshot_02.png"},
       2, 4},
  };
  for (const NativeCase& c : cases) {
    SCOPED_TRACE(c.file);
    auto parser = KVDepictionsParser::make();
    parser->depictionsParserWithSileoData(readFile(repos + "/" + c.file));
    Answer<Text> banner, tint, changelog, external, description;
    Answer<std::vector<std::string>> screenshots;
    Answer<std::map<std::string, std::string>> informations;
    parser->retrieveBannerURLFromSileoDepiction(banner.handler());
    parser->retrieveTintColorFromSileoDepiction(tint.handler());
    parser->retrieveChangelogFromSileoDepiction(changelog.handler());
    parser->retrieveExternalChangelogFromSileoDepiction(external.handler());
    parser->retrieveDescriptionFromSileoDepiction(description.handler());
    parser->retrieveScreenshotsFromSileoDepiction(screenshots.handler());
    parser->retrievePackageInformationsFromSileoDepiction(informations.handler());
    for (Latch* latch : {&banner.latch, &tint.latch, &changelog.latch, &external.latch, &description.latch,
                         &screenshots.latch, &informations.latch})
      ASSERT_TRUE(latch->wait());
    EXPECT_EQ(banner.value, c.banner);
    EXPECT_EQ(tint.value, c.tint);
    EXPECT_EQ(changelog.value ? changelog.value->size() : 0, c.changelogBytes) << prefix(changelog.value, 80);
    EXPECT_EQ(prefix(changelog.value, c.changelogStart.size()), c.changelogBytes ? c.changelogStart : "(none)");
    EXPECT_EQ(description.value ? description.value->size() : 0, c.descriptionBytes);
    EXPECT_EQ(prefix(description.value, c.descriptionStart.size()),
              c.descriptionBytes ? c.descriptionStart : "(none)");
    EXPECT_EQ(external.value, std::nullopt);
    ASSERT_EQ(screenshots.value.size(), c.screenshotCount);
    if (c.screenshotCount) {
      EXPECT_EQ(screenshots.value.front(), c.screenshotEnds[0]);
      EXPECT_EQ(screenshots.value.back(), c.screenshotEnds[1]);
    }
    EXPECT_EQ(informations.value.size(), c.informations);
    EXPECT_FALSE(changelog.onMain);  // a background queue
    EXPECT_EQ(changelog.calls, 1);
  }
}

TEST(DepictionsParser, TheNativeChangelogWalkAndTheOtherParts) {
  auto depiction = *Value::fromJSON(std::string_view(R"({"tabs": [
    {"tabname": "Details", "views": [
      {"class": "DepictionMarkdownView", "markdown": "First"},
      {"class": "DepictionStackView", "views": [{"markdown": "nested, not read"}]},
      {"title": "Changelog", "action": "https://example.test/changes"},
      {"class": "DepictionTableTextView", "title": "Version", "text": "2.0"},
      {"class": "DepictionTableTextView", "title": "No text"},
      {"class": "DepictionScreenshotsView", "screenshots": [{"url": "a.png"}, {"no": "url"}, {"url": 3}]}]},
    {"tabname": "More", "views": [{"markdown": "Second"}, {"markdown": null}, {"markdown": ""},
                                  {"screenshots": [{"url": "b.png"}]}]},
    {"tabname": "Changelog", "views": [
      {"class": "DepictionStackView", "views": [
        {"class": "DepictionStackView", "views": [{"class": "Blank"}, {"text": ""}, {"text": "2.0 notes"}, {"text": "more"}]},
        {"class": "DepictionMarkdownView", "markdown": "* md"},
        {"class": "DepictionSeparatorView"},
        {"class": "DepictionMarkdownView", "markdown": "after the separator"}]},
      {"title": "Version 2.0"},
      {"markdown": "never"}]},
    {"tabname": "Change Log", "views": [
      {"title": "Version 1.0"}, {"markdown": "- one"}, {"markdown": "- two"}, {"title": "Version 0.9"}, {"markdown": "old"}]}
  ]})"));
  // The second changelog tab's title closes the entry at once: it opens none of its own.
  EXPECT_EQ(Native::changelog(depiction), "2.0 notes\n\nmore<br />* md");
  EXPECT_EQ(Native::description(depiction), "First\nSecond\n");
  EXPECT_EQ(Native::externalChangelog(depiction), "https://example.test/changes");
  EXPECT_EQ(Native::screenshots(depiction), (std::vector<std::string>{"a.png", "b.png"}));
  EXPECT_EQ(Native::packageInformations(depiction), (std::map<std::string, std::string>{{"Version", "2.0"}}));

  auto header = *Value::fromJSON(std::string_view(
      R"({"tabs": [{"tabname": "Changelog", "views": [{"title": "v2"}, {"markdown": "a"}, {"markdown": "b"}, {"title": "v1"}, {"markdown": "c"}]}]})"));
  EXPECT_EQ(Native::changelog(header), "v2<br />a<br />b");

  // No tabs, or no JSON at all: every part is none and the screenshots are empty.
  auto parser = KVDepictionsParser::make();
  for (const char* body : {"{\"headerImage\": 5}", "<html>404</html>", "[1, 2]"}) {
    parser->depictionsParserWithSileoData(bytes(body));
    Answer<Text> banner, changelog;
    Answer<std::vector<std::string>> screenshots;
    parser->retrieveBannerURLFromSileoDepiction(banner.handler());
    parser->retrieveChangelogFromSileoDepiction(changelog.handler());
    parser->retrieveScreenshotsFromSileoDepiction(screenshots.handler());
    ASSERT_TRUE(banner.latch.wait() && changelog.latch.wait() && screenshots.latch.wait());
    EXPECT_EQ(banner.value, std::nullopt) << body;
    EXPECT_EQ(changelog.value, std::nullopt) << body;
    EXPECT_TRUE(screenshots.value.empty()) << body;
  }
}

TEST(DepictionsParser, TheLargeDefaultRepositorysPage) {
  auto grandel = page("grandel/flextool.html");
  EXPECT_EQ(Pages::grandelName(*grandel), "Flex Tool");
  EXPECT_EQ(prefix(Pages::grandelDescription(*grandel), 36), "A tool that flexes your springboard.");
  // Trailing blanks go when the text holds an empty line.
  EXPECT_EQ(Pages::grandelChangelog(*grandel), "Version 2.1\n\nFixed the flexing.");
  // Relative, root-relative and absolute sources, each image once although two
  // description blocks enclose the third.
  EXPECT_EQ(Pages::grandelScreenshots(*grandel, "http://repo.test/moreinfo/depiction.php?file=flextoolDp"),
            (std::vector<std::string>{"http://repo.test/moreinfo/shot1.png", "http://repo.test/img/shot2.png",
                                      "https://cdn.example/shot3.png"}));
  auto missing = html::HTMLDocument::documentWithString(std::string_view("<title>404 - Grandel Repository - x</title>"));
  EXPECT_EQ(Pages::grandelName(*missing), std::nullopt);
  EXPECT_EQ(Pages::grandelDescription(*missing), std::nullopt);
  EXPECT_EQ(Pages::grandelChangelog(*missing), std::nullopt);
  EXPECT_TRUE(Pages::grandelScreenshots(*missing, "http://repo.test/x").empty());
  auto untitled = html::HTMLDocument::documentWithString(std::string_view("<fieldset id=description>Description:</fieldset>"));
  EXPECT_EQ(Pages::grandelName(*untitled), std::nullopt);
  EXPECT_EQ(Pages::grandelDescription(*untitled), "");
}

TEST(DepictionsParser, TheStoresPageAndItsChangelogFetched) {
  TestHttpServer store(testdata::fixture("depictions/store"));
  KVKnownRepositories::Locations known;
  known.outsideStore = store.baseURL();
  KVKnownRepositories::setLocations(known);

  auto parser = KVDepictionsParser::make();
  parser->depictionsParserWithData(readFile(testdata::fixture("depictions/store/info/com.example.flex/index.html")));
  Answer<Text> name, description, changelog, missing;
  Answer<std::vector<std::string>> screenshots;
  parser->retrieveNameFromMorvikTypeDepiction(name.handler());
  parser->retrieveDescriptionFromMorvikTypeDepiction(description.handler());
  parser->retrieveScreenshotsFromMorvikTypeDepiction(screenshots.handler());
  parser->retrieveChangelogFromMorvikTypeDepictionForPackageWithIdentifier("com.example.flex", changelog.handler());
  parser->retrieveChangelogFromMorvikTypeDepictionForPackageWithIdentifier("com.example.none", missing.handler());
  ASSERT_TRUE(name.latch.wait() && description.latch.wait() && screenshots.latch.wait());
  ASSERT_TRUE(changelog.wait() && missing.wait());
  EXPECT_EQ(name.value, "Flex Tool");
  EXPECT_EQ(description.value, "Flexes your springboard.\n\nWorks on every device.");
  EXPECT_EQ(screenshots.value, (std::vector<std::string>{"https://www.store.example/shot1.png", "shot2.png"}));
  EXPECT_EQ(changelog.value, "Changes of Flex Tool\n\n\n1.2\n\n- Fixed a crash\n- Faster flexing\n\n1.1\n\n- First release");
  EXPECT_TRUE(changelog.onMain);
  EXPECT_EQ(store.requestCount("/info/com.example.flex/changelog.html"), 1u);
  // A page the store does not have answers its own error page, which has no panel.
  EXPECT_EQ(missing.value, std::nullopt);
  EXPECT_TRUE(missing.onMain);
}

TEST(DepictionsParser, ThePageWithLinkedChangelogAndScreenshots) {
  TestHttpServer repository(testdata::fixture("depictions/pevrin"), "/repo/cydia/depictions/");
  const std::string pageURL = repository.url("/repo/cydia/depictions/flextool.php");
  auto parser = KVDepictionsParser::make();
  parser->depictionsParserWithData(readFile(testdata::fixture("depictions/pevrin/flextool.php")));
  Answer<Text> description, changelog;
  Answer<std::optional<std::vector<std::string>>> screenshots;
  parser->retrieveDescriptionFromPevrinDepiction(description.handler());
  parser->retrieveChangelogFromPevrinDepictionForPackageWithURL(pageURL, changelog.handler());
  parser->retrieveScreenshotsFromPevrinDepictionForPackageWithURL(pageURL, screenshots.handler());
  ASSERT_TRUE(description.latch.wait() && changelog.latch.wait() && screenshots.latch.wait());
  EXPECT_EQ(description.value, "Flex Tool\n\nFlexes your springboard.\n\nNested paragraphs are read once.");
  EXPECT_EQ(changelog.value, "1.1: flexes faster (and safer)\n\n1.0: first release");
  const std::string folder = repository.url("/repo/cydia/depictions/");
  EXPECT_EQ(screenshots.value, (std::vector<std::string>{folder + "shot1.png", repository.url("/img/shot2.png"),
                                                         "https://cdn.example/shot3.png"}));

  // Without the links: nothing for the screenshots, not an empty list; no request.
  repository.clearRequests();
  parser->depictionsParserWithData(readFile(testdata::fixture("depictions/pevrin/plain.php")));
  Answer<Text> noChangelog;
  Answer<std::optional<std::vector<std::string>>> noScreenshots;
  parser->retrieveChangelogFromPevrinDepictionForPackageWithURL(pageURL, noChangelog.handler());
  parser->retrieveScreenshotsFromPevrinDepictionForPackageWithURL(pageURL, noScreenshots.handler());
  ASSERT_TRUE(noChangelog.latch.wait() && noScreenshots.latch.wait());
  EXPECT_EQ(noChangelog.value, std::nullopt);
  EXPECT_EQ(noScreenshots.value, std::nullopt);
  EXPECT_EQ(repository.requestCount(), 0u);
  // A linked page that cannot be fetched gives nothing either.
  parser->depictionsParserWithData(readFile(testdata::fixture("depictions/pevrin/flextool.php")));
  Answer<std::optional<std::vector<std::string>>> unreachable;
  parser->retrieveScreenshotsFromPevrinDepictionForPackageWithURL(TestHttpServer::closedBaseURL() + "/x.php",
                                                                  unreachable.handler());
  ASSERT_TRUE(unreachable.latch.wait());
  EXPECT_EQ(unreachable.value, std::nullopt);
}

TEST(DepictionsParser, EveryRealHTMLDepictionThroughTheScrapedReaders) {
  QB_TESTDATA_OR_SKIP(repos, "repos");
  size_t pages = 0;
  for (const char* folder : {"poomsmart/repo/depictions", "nepeta/depiction", "utm/depiction/web",
                             "paidrepo-depictions/com.nan.crc/html"}) {
    for (const auto& entry : std::filesystem::directory_iterator(repos + "/" + folder)) {
      SCOPED_TRACE(entry.path().string());
      auto document = html::HTMLDocument::documentWithData(readFile(entry.path()), std::nullopt);
      ++pages;
      // None of them is one of the three kinds: what a reader finds is nothing, or the
      // page's own title and paragraphs; no reader fails on them.
      EXPECT_EQ(Pages::grandelDescription(*document), std::nullopt);
      EXPECT_EQ(Pages::grandelChangelog(*document), std::nullopt);
      EXPECT_TRUE(Pages::grandelScreenshots(*document, "http://repo.test/page").empty());
      EXPECT_EQ(Pages::morvikDescription(*document), std::nullopt);
      EXPECT_EQ(Pages::morvikChangelog(*document), std::nullopt);
      EXPECT_TRUE(Pages::morvikScreenshots(*document).empty());
      EXPECT_EQ(Pages::grandelName(*document), Pages::morvikName(*document));
      Pages::pevrinDescription(*document);
      EXPECT_TRUE(Pages::pevrinScreenshots(*document, "http://repo.test/page").empty());
      Pages::pevrinChangelog(*document);
    }
  }
  EXPECT_EQ(pages, 17u);
}

TEST(DepictionsParser, NestedPagesAreReadInLinearTime) {
  // 20,000 nested divisions each with a paragraph, and 20,000 nested description blocks
  // each with an image and a label: read per enclosing element, they would cost the
  // square of their size.
  std::string divisions, blocks;
  for (int i = 0; i < 20000; ++i) divisions += "<div><p>x</p>";
  for (int i = 0; i < 20000; ++i) blocks += "<fieldset id=description><label>L</label><img src=a.png>";
  auto start = std::chrono::steady_clock::now();
  auto nested = html::HTMLDocument::documentWithString(std::string_view(divisions));
  EXPECT_EQ(Pages::pevrinChangelog(*nested)->size(), 20000u);
  EXPECT_EQ(Pages::pevrinDescription(*nested)->size(), 20000u * 3 - 2);
  auto fieldsets = html::HTMLDocument::documentWithString(std::string_view(blocks));
  EXPECT_EQ(Pages::grandelScreenshots(*fieldsets, "http://repo.test/page").size(), 20000u);
  EXPECT_EQ(Pages::grandelChangelog(*fieldsets), std::nullopt);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, testsupport::timeBound(10));
}
