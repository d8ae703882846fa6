// The web depiction screen on nepeta's real depiction page served on 127.0.0.1: the page
// request's headers in light and dark, the reloads a palette change makes, the header
// over the page, and the openers' choice between it and the native page.
#include <gtest/gtest.h>

#include "support/Written.h"

#include "PackagePageFixture.h"
#include "core/KVPlatform.h"
#include "interface/KVPaletteManager.h"
#include "package/WebDepictionViewController.h"
#include "uikit/SFSafariViewController.h"
#include "uikit/UIButton.h"
#include "uikit/UIProgressView.h"
#include "uikit/UILabel.h"
#include "webkit/WKWebView.h"

namespace {

class WebDepictionTest : public PackagePageFixture {
 protected:
  void SetUp() override {
    PackagePageFixture::SetUp();
    auto nepeta = testdata::find("repos/nepeta");
    if (!nepeta) GTEST_SKIP() << testdata::missingMessage("repos/nepeta");
    server.serveFolder(*nepeta + "/depiction", "/depiction/");
    page = server.url("/depiction/me.nepeta.docky");
    location = refreshed("nepeta", "Package: me.nepeta.docky\nArchitecture: iphoneos-arm\nVersion: 0.1.0\n"
                                   "Section: Tweaks\nMaintainer: Nepeta <ominousness@protonmail.com>\n"
                                   "Filename: debs/docky.deb\nSize: 37624\nName: Docky\nDescription: Dock customizer\n"
                                   "Depiction: " + page + "\n");
  }
  // The palette as the settings' switches choose it: none, or the one key of a style.
  static void choosePalette(const char* key) {
    for (const char* each : {"DarkMode", "AppleDarkMode", "TrueDarkMode"})
      preferences().setObject(Value(key && std::string(key) == each), each);
    KVPaletteManager::updatePaletteFromSettings();
  }
  std::vector<TestHttpRequest> pageRequests() { return server.requestsTo("/depiction/me.nepeta.docky"); }
  std::shared_ptr<WebDepictionViewController> openDepiction(const std::string& identifier = "me.nepeta.docky") {
    auto screen = std::make_shared<WebDepictionViewController>(screenContext(), identifier, page);
    ui.show(std::make_shared<UINavigationController>(screen));
    ui.runUntilIdle();
    return screen;
  }
  bool pageLoaded(size_t count) {
    return waitFor([&] { return pageRequests().size() >= count; }) &&
           waitFor([&] { return !screenNow->webView()->isLoading(); });
  }

  std::string page, location;
  std::shared_ptr<WebDepictionViewController> screenNow;
};

}  // namespace

TEST_F(WebDepictionTest, ThePageRequestTellsTheDeviceAndTheModeAndReloadsOnASwitch) {
  screenNow = openDepiction();
  ASSERT_TRUE(pageLoaded(1));
  auto light = pageRequests().back();
  EXPECT_EQ(light.header("User-Agent"), "Telesphoreo APT-HTTP/1.0.592 Light");
  EXPECT_FALSE(light.hasHeader("Dark"));
  EXPECT_EQ(light.header("X-Cydia-ID"), light.header("X-Unique-ID"));
  EXPECT_EQ(light.header("X-Unique-ID"), KVPlatform::deviceUDID().value_or(""));
  EXPECT_EQ(light.header("X-Machine"), KVPlatform::deviceModelID());
  EXPECT_EQ(light.header("X-Firmware"), KVPlatform::firmwareVersion());
  EXPECT_EQ(light.header("Payment-Provider"), "API");
  EXPECT_FALSE(light.header("Accept-Language").empty());
  EXPECT_NE(screenNow->webView()->userAgent().find("(Quillbark/5.0, like Cydia) ("), std::string::npos);
  EXPECT_EQ(screenNow->webView()->userAgent().substr(screenNow->webView()->userAgent().size() - 6), " Light");
  // The page is read, and the screen grows to its height under the header.
  EXPECT_EQ(screenNow->webView()->title(), "Docky - Nepeta");
  ASSERT_TRUE(ui.screenShows("Docky - Nepeta")) << ui.screen();
  const auto& o = screenNow->outlets();
  EXPECT_GT(o.webViewContainerHeightConstraint->constant(), 100);
  EXPECT_EQ(o.webViewContainerHeightConstraint->constant(), screenNow->webView()->scrollView()->contentSize().height);
  EXPECT_TRUE(o.placeholderView->isHidden());
  ui.advance(1);  // the progress bar fades once the page is there
  EXPECT_EQ(o.progressView->alpha(), 0);

  // A dark palette: the same request, dark, loaded again.
  choosePalette("DarkMode");
  ASSERT_TRUE(pageLoaded(2));
  auto dark = pageRequests().back();
  EXPECT_EQ(dark.header("User-Agent"), "Telesphoreo APT-HTTP/1.0.592 Dark");
  EXPECT_EQ(dark.header("Dark"), "TRUE");
  EXPECT_EQ(dark.header("X-Cydia-ID"), light.header("X-Cydia-ID"));
  EXPECT_EQ(screenNow->webViewConfiguration().applicationNameForUserAgent.substr(
                screenNow->webViewConfiguration().applicationNameForUserAgent.size() - 5),
            " Dark");
  // Blue to black re-themes, nothing more.
  choosePalette("TrueDarkMode");
  ui.runUntilIdle();
  EXPECT_EQ(pageRequests().size(), 2u);
  EXPECT_EQ(o.nameLbl->textColor(), KVPaletteManager::sharedPaletteManager().primaryTextColor());
  // Back to light: loaded again, without the dark mark.
  choosePalette(nullptr);
  ASSERT_TRUE(pageLoaded(3));
  EXPECT_FALSE(pageRequests().back().hasHeader("Dark"));
}

TEST_F(WebDepictionTest, TheHeaderTheButtonsAndNewWindows) {
  screenNow = openDepiction();
  ASSERT_TRUE(pageLoaded(1));
  const auto& o = screenNow->outlets();
  EXPECT_EQ(o.nameLbl->text(), "Docky");
  EXPECT_EQ(o.maintainerLbl->text(), "Nepeta");
  EXPECT_EQ(o.packageSizeLbl->text(), "38 KB");
  EXPECT_EQ(o.packageVersionLbl->text(), "0.1.0");
  EXPECT_EQ(o.packageCategoryLbl->text(), "Tweaks");
  EXPECT_EQ(o.getBtn->currentTitle(), "GET");
  EXPECT_EQ(o.getBtnWidthConstraint->constant(), o.getBtn->titleLabel()->sizeThatFits({0, 0}).width + 34);
  // Queued from here, the title stays until the screen appears again.
  ASSERT_TRUE(ui.tap("GET"));
  EXPECT_TRUE(package("me.nepeta.docky")->isInTheQueue().value_or(false));
  EXPECT_EQ(o.getBtn->currentTitle(), "GET");
  // A link that wants a window of its own opens in this one.
  screenNow->webView()->navigateByPage(URLRequest(URL::fromString(server.url("/depiction/me.nepeta.axon"))), true);
  ASSERT_TRUE(pageLoaded(1) && waitFor([&] { return screenNow->webView()->title() == "Axon - Nepeta"; }));
  // "Open in Safari": the in-app Safari view on the website.
  ASSERT_TRUE(ui.tap("Open in Safari"));
  EXPECT_EQ(SFSafariViewController::shownURLs().back(), page);
}

TEST_F(WebDepictionTest, OpenersChooseTheWebDepictionOnlyForAWebsite) {
  auto screens = screenContext().screens;
  EXPECT_TRUE(std::dynamic_pointer_cast<PackageDetailsViewController>(screens->package("me.nepeta.docky")));
  written(db()->write([&] {
    auto source = *KVRSource::objectForPrimaryKey(location);
    source.setSeeOriginalDepictions(true);
    db()->addOrUpdate(source.toObject());
  }));
  auto web = std::dynamic_pointer_cast<WebDepictionViewController>(screens->package("me.nepeta.docky"));
  ASSERT_TRUE(web);
  EXPECT_EQ(web->websiteURL(), page);
  // No website, or one the web view cannot load: the native page.
  for (std::optional<std::string> website : {std::optional<std::string>(), std::optional<std::string>("ftp://x/y")}) {
    edit("me.nepeta.docky", [&](KVRPackage& p) { p.setWebsite(website); });
    EXPECT_TRUE(std::dynamic_pointer_cast<PackageDetailsViewController>(screens->package("me.nepeta.docky")));
  }
  // This system's own package without an update has no Get button.
  edit("me.nepeta.docky", [&](KVRPackage& p) { p.setWebsite(page); });
  screenNow = openDepiction("me.korvale.quillbark");
  EXPECT_TRUE(screenNow->outlets().getBtn->isHidden());
}
