// The package page reading depictions: poomsmart's repository served on 127.0.0.1 from a
// copy of its index and native depictions whose addresses (depictions, banner,
// screenshots) point at the server, and the outside store's page of a package of a
// default repository.
#include <gtest/gtest.h>

#include <filesystem>

#include "PackagePageFixture.h"
#include "core/KVKnownRepositories.h"
#include "core/KVPlatform.h"
#include "foundation/Files.h"
#include "interface/UIScrollViewInteractiveHeader.h"
#include "package/KVPackageScreenshots.h"
#include "system/DeviceRoot.h"
#include "uikit/UIImage.h"
#include "uikit/UILabel.h"

namespace {

std::string replacedAll(std::string text, const std::string& what, const std::string& with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
  return text;
}

class DepictionLoadingTest : public PackagePageFixture {
 protected:
  void SetUp() override {
    PackagePageFixture::SetUp();
    auto repo = testdata::find("repos/poomsmart/repo");
    if (!repo) GTEST_SKIP() << testdata::missingMessage("repos/poomsmart/repo");
    // The repository's own addresses, moved to the server.
    const std::string home = "https://poomsmart.github.io/repo/";
    const std::string here = server.url("/poomsmart/");
    location = serveIndex("poomsmart", replacedAll(*Files::readText(*repo + "/Packages"), home, here));
    std::filesystem::create_directories(repositories.file("poomsmart/sileodepictions"));
    for (const auto& entry : std::filesystem::directory_iterator(*repo + "/sileodepictions"))
      Files::writeAtomically(repositories.file("poomsmart/sileodepictions/" + entry.path().filename().string()),
                             replacedAll(*Files::readText(entry.path()), home, here));
    ASSERT_TRUE(refresh(location));
    // Real pictures of different sizes in the places the depictions name.
    pictures = {*repo + "/CydiaIcon.png", *testdata::find("repos/nepeta/CydiaIcon.png")};
    picture("/poomsmart/features/amber.png", 0);
    picture("/poomsmart/screenshots/camelapsedplus/original.PNG", 0, std::chrono::milliseconds(400));
    picture("/poomsmart/screenshots/camelapsedplus/tweak.PNG", 1);
    picture("/poomsmart/screenshots/blobmojiefm/font.png", 1);
  }
  void picture(const std::string& path, size_t which, std::chrono::milliseconds delay = {}) {
    TestHttpResponse response;
    auto bytes = Files::read(pictures[which]);
    response.body.assign(bytes->begin(), bytes->end());
    response.contentType = "image/png";
    response.delay = delay;
    server.respond(path, response);
  }
  CGSize pictureSize(size_t which) { return UIImage::imageWithData(*Files::read(pictures[which]))->size(); }
  static std::string cached(const std::string& identifier, long n) {
    return *KVPackageScreenshots::cachePath(identifier, n);
  }
  // Until the package's record holds as many cached screenshots as addresses.
  bool screenshotsCached(const std::string& identifier, size_t count) {
    return waitFor([&] {
      auto record = package(identifier);
      return record && record->screenshotsLocalPaths().size() == count && record->screenshots().size() == count;
    });
  }

  std::string location;
  std::vector<std::string> pictures;
};

}  // namespace

TEST_F(DepictionLoadingTest, ANativeDepictionGivesBannerDescriptionAndNewestChangelog) {
  auto page = open("com.ps.amber");
  const auto& o = page->outlets();
  const std::string banner = DeviceRoot::devicePath(DeviceRoot::kApplicationSupport) + "/DepictionsBanners/com.ps.amber.png";
  ASSERT_TRUE(waitFor([&] { return page->cydiaPackageHaveChangelog && Files::exists(banner); }));
  ASSERT_TRUE(waitFor([&] { return UIScrollViewInteractiveHeader::interactiveHeader(*o.scrollView) != nullptr; }));
  EXPECT_EQ(UIImage::imageWithContentsOfFile(banner)->size(), pictureSize(0));
  // The newest entry alone, read from Markdown, under the record's version.
  EXPECT_EQ(o.changelogContentLbl->attributedText().string(),
            "Version 1.2.4\n- Optimized the code that detects the camera version");
  EXPECT_EQ(o.changelogVersionLbl->text(), "1.2.4");
  EXPECT_TRUE(page->isShown(o.changelogTitle));
  ASSERT_TRUE(waitFor([&] { return o.descriptionLbl->attributedText().string().find("Amber LED") != std::string::npos; }));
  const NSAttributedString& description = o.descriptionLbl->attributedText();
  EXPECT_EQ(description.string().substr(0, 60), "As of version 1.2.0, you simply tap the flashlight icon to s");
  EXPECT_TRUE(description.attributesAtIndex(0).font->isBold());
  NSRange link = description.rangeOfString("video");
  EXPECT_EQ(description.attributesAtIndex(link.location).link, "https://twitter.com/PoomSmart/status/1614107542342492160");
  EXPECT_EQ(server.requestCount("/poomsmart/sileodepictions/amber.json"), 1u);
}

TEST_F(DepictionLoadingTest, ScreenshotsAreCachedByTheirPlaceInTheDepiction) {
  // The first screenshot answers last.
  auto page = open("com.ps.camelapsedplus");
  ASSERT_TRUE(screenshotsCached("com.ps.camelapsedplus", 2));
  auto record = *package("com.ps.camelapsedplus");
  EXPECT_EQ(record.screenshots(), (std::vector<std::string>{server.url("/poomsmart/screenshots/camelapsedplus/original.PNG"),
                                                            server.url("/poomsmart/screenshots/camelapsedplus/tweak.PNG")}));
  EXPECT_EQ(record.screenshotsLocalPaths(),
            (std::vector<std::string>{cached("com.ps.camelapsedplus", 1), cached("com.ps.camelapsedplus", 2)}));
  EXPECT_EQ(UIImage::imageWithContentsOfFile(cached("com.ps.camelapsedplus", 1))->size(), pictureSize(0));
  EXPECT_EQ(UIImage::imageWithContentsOfFile(cached("com.ps.camelapsedplus", 2))->size(), pictureSize(1));
  ASSERT_TRUE(waitFor([&] { return page->screenshotsDictionary().size() == 2; }));
  EXPECT_TRUE(page->isShown(page->outlets().screenshotsCollectionView));
}

TEST_F(DepictionLoadingTest, TwoPagesLoadingAtOnceKeepTheirOwnDepictions) {
  // The first page's depiction is held while the second page loads its own.
  TestHttpResponse held;
  held.body = *Files::readText(repositories.file("poomsmart/sileodepictions/blobmojiefm.json"));
  held.contentType = "application/json";
  held.delay = std::chrono::milliseconds(600);
  server.respond("/poomsmart/sileodepictions/blobmojiefm.json", held);
  auto first = open("com.ps.blobmojiefm");
  auto second = std::make_shared<PackageDetailsViewController>(screenContext(), "com.ps.camelapsedplus");
  first->navigationController()->pushViewController(second, false);
  ASSERT_TRUE(screenshotsCached("com.ps.camelapsedplus", 2));
  ASSERT_TRUE(screenshotsCached("com.ps.blobmojiefm", 1));
  EXPECT_EQ(package("com.ps.blobmojiefm")->screenshots(),
            (std::vector<std::string>{server.url("/poomsmart/screenshots/blobmojiefm/font.png")}));
  EXPECT_EQ(package("com.ps.blobmojiefm")->screenshotsLocalPaths(),
            (std::vector<std::string>{cached("com.ps.blobmojiefm", 1)}));
  EXPECT_EQ(package("com.ps.camelapsedplus")->screenshots().size(), 2u);
  EXPECT_FALSE(Files::exists(cached("com.ps.blobmojiefm", 2)));
  ASSERT_TRUE(waitFor([&] { return first->screenshotsDictionary().size() == 1 && second->screenshotsDictionary().size() == 2; }));
}

TEST_F(DepictionLoadingTest, ADepictionAnswering404RemovesTheHeaderAndShowsNoChangelog) {
  TestHttpResponse missing;
  missing.status = 404;
  missing.body = "<html><body><h1>404</h1>File not found</body></html>";
  missing.contentType = "text/html";
  missing.delay = std::chrono::milliseconds(300);
  server.respond("/poomsmart/sileodepictions/amber.json", missing);
  auto page = open("com.ps.amber");
  auto scroll = std::static_pointer_cast<UIScrollView>(page->outlets().scrollView->shared_from_this());
  UIScrollViewInteractiveHeader::addHeaderWithImage(scroll, UIImage::imageWithContentsOfFile(pictures[0]), 200);
  ASSERT_TRUE(waitFor([&] { return UIScrollViewInteractiveHeader::interactiveHeader(*scroll) == nullptr; }));
  ui.runUntilIdle();
  EXPECT_FALSE(page->cydiaPackageHaveChangelog);
  EXPECT_FALSE(page->isShown(page->outlets().changelogTitle));
  EXPECT_TRUE(page->outlets().changelogContentLbl->attributedText().empty());
}

TEST_F(DepictionLoadingTest, TheStoresPageOfADefaultRepositorysPackage) {
  // A package of the store's repository whose native depiction cannot be reached.
  std::string store = serveIndex("store-repo", "Package: com.example.flex\nVersion: 1.2\nArchitecture: iphoneos-arm\n"
                                               "Maintainer: Flexer <flex@example.test>\nFilename: debs/flex.deb\n"
                                               "Size: 1000\nName: Flex Tool\nDescription: flexes\nSection: Tweaks\n"
                                               "SileoDepiction: " + TestHttpServer::closedBaseURL() + "/flex.json\n");
  ASSERT_TRUE(refresh(store));
  KVKnownRepositories::Locations known;
  known.storeRepository = store;
  known.outsideStore = server.url("/store");
  KVKnownRepositories::setLocations(known);
  server.serveFolder(testdata::fixture("depictions/store"), "/store/");
  server.respond("/store/info/com.example.flex/",
                 TestHttpResponse::text("<meta charset=utf-8><title>Flex Tool \u00B7 Outside Store</title><panel>"
                                        "<label>Description</label><fieldset><div><p>Flexes.</p><p>Safely.</p></div>"
                                        "</fieldset><img src=\"" + server.url("/poomsmart/features/amber.png") +
                                        "\"></panel>"));
  auto page = open("com.example.flex");
  const auto& o = page->outlets();
  ASSERT_TRUE(waitFor([&] { return page->cydiaPackageHaveChangelog && page->screenshotsDictionary().size() == 1; }));
  ui.runUntilIdle();
  auto request = server.requestsTo("/store/info/com.example.flex/");
  ASSERT_EQ(request.size(), 1u);
  EXPECT_EQ(request[0].header("User-Agent"), "Telesphoreo APT-HTTP/1.0.592");
  EXPECT_EQ(request[0].header("X-Machine"), KVPlatform::deviceModelID());
  EXPECT_EQ(request[0].header("X-Firmware"), KVPlatform::firmwareVersion());
  EXPECT_EQ(request[0].header("X-Unique-ID"), KVPlatform::deviceUDID().value_or(""));
  EXPECT_EQ(o.nameLbl->text(), "Flex Tool");
  EXPECT_EQ(o.descriptionLbl->attributedText().string(), "Flexes.\n\nSafely.");
  // The store's changelog as it is written, under the record's version.
  EXPECT_EQ(o.changelogContentLbl->text().substr(0, 22), "Changes of Flex Tool\n\n");
  EXPECT_EQ(o.changelogVersionLbl->text(), "1.2");
  EXPECT_EQ(package("com.example.flex")->screenshots(),
            (std::vector<std::string>{server.url("/poomsmart/features/amber.png")}));
}
