// The featured package card, presented by the test as nothing in the application does:
// its Markdown description, the button as wide as its title, GET closing the card before
// the package is queued, and the share sheet, whose slowly served screenshots are read
// away from the main loop.
#include <gtest/gtest.h>

#include <chrono>

#include "browse/FeaturedPackageViewController.h"
#include "foundation/Files.h"
#include "interface/ErrorViewController.h"
#include "support/PackageRecordsFixture.h"
#include "support/TestHttpServer.h"
#include "support/TestData.h"
#include "support/UIDriver.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIActivityViewController.h"
#include "uikit/UIButton.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"

namespace {

class FeaturedPackageTest : public PackageRecordsFixture {
 protected:
  void SetUp() override {
    PackageRecordsFixture::SetUp();
    auto below = std::make_shared<UIViewController>();
    below->setTitle("Below");
    ui.show(std::make_shared<UINavigationController>(below));
    UIActivityViewController::clearShownSheets();
  }
  static KVFeaturedPackagesTop item(const std::string& identifier, const std::string& title) {
    KVFeaturedPackagesTop top;
    top.bundle_id = identifier;
    top.title = title;
    top.developer = std::string("Jane");
    top.desc = std::string("A **fine** tweak, see https://example.org/tweak for more.");
    return top;
  }
  std::shared_ptr<FeaturedPackageViewController> present(const KVFeaturedPackagesTop& top) {
    auto card = std::make_shared<FeaturedPackageViewController>(screenContext(), top, UIImage::imageNamed("default-banner.jpeg"));
    ui.window().rootViewController()->presentViewController(card, true);
    ui.runUntilIdle();
    return card;
  }

  UIDriver ui;
};

TEST_F(FeaturedPackageTest, TheDescriptionIsGreySeventeenPointTextWhoseAddressesAreLinksWithoutUnderline) {
  NSAttributedString text = FeaturedPackageViewController::attributedTextFromMarkdown(
      std::string("A **fine** tweak, see https://example.org/tweak for more."));
  EXPECT_EQ(text.string(), "A fine tweak, see https://example.org/tweak for more.\n");
  NSRange address = text.rangeOfString("https://example.org/tweak");
  NSTextAttributes attributes = text.attributesAtIndex(address.location + 3);
  EXPECT_EQ(attributes.link, "https://example.org/tweak");
  EXPECT_FALSE(attributes.underlineStyle.value_or(0)) << "no underline";
  EXPECT_EQ(attributes.foregroundColor, UIColor::colorWithRed(0x70 / 255.0, 0x70 / 255.0, 0x70 / 255.0, 1));
  ASSERT_TRUE(attributes.font);
  EXPECT_EQ(attributes.font->pointSize(), 17);
  EXPECT_TRUE(text.attributesAtIndex(text.rangeOfString("fine").location).font->isBold());
  EXPECT_TRUE(FeaturedPackageViewController::attributedTextFromMarkdown(std::nullopt).empty());
}

TEST_F(FeaturedPackageTest, TheButtonIsAsWideAsItsTitleAndGetClosesTheCardBeforeQueueing) {
  add(package("com.example.fresh"));
  add(installed("com.example.kept", "1.0"));
  auto uninstall = present(item("com.example.kept", "A long featured title that plays no part"));
  EXPECT_EQ(uninstall->getBtn()->currentTitle(), "UNINSTALL");
  double wide = uninstall->getBtnWidthConstraint()->constant();
  EXPECT_EQ(wide, UIFont::boldSystemFontOfSize(13).widthOfString("UNINSTALL") + 34);
  ASSERT_TRUE(ui.tap("Close"));

  auto get = present(item("com.example.fresh", "Fresh"));
  EXPECT_EQ(get->getBtn()->currentTitle(), "GET");
  EXPECT_LT(get->getBtnWidthConstraint()->constant(), wide);
  ASSERT_TRUE(ui.tap("GET"));
  // The card goes first; the package is queued once it is gone.
  EXPECT_EQ(get->presentingViewController(), nullptr);
  ui.runUntilIdle();
  EXPECT_TRUE(KVRPackage::objectForPrimaryKey(std::string("com.example.fresh"))->isInTheQueue().value_or(false));

  // A package the database lacks: neither GET nor share.
  auto absent = present(item("com.example.absent", "Absent"));
  ASSERT_TRUE(ui.tap("GET"));
  auto* card = dynamic_cast<ErrorViewController*>(ui.front());
  ASSERT_NE(card, nullptr) << ui.screen();
  EXPECT_EQ(card->titleTxt(), "Package not Found");
  ASSERT_TRUE(ui.tap("OK"));
  ASSERT_TRUE(ui.tap("Share"));
  card = dynamic_cast<ErrorViewController*>(ui.front());
  ASSERT_NE(card, nullptr) << ui.screen();
  EXPECT_EQ(card->titleTxt(), "Incompatible Package");
}

TEST_F(FeaturedPackageTest, ShareReadsSlowScreenshotsAwayFromTheMainLoop) {
  QB_TESTDATA_OR_SKIP(repos, "repos");
  TestHttpServer server;
  TestHttpResponse slow = TestHttpResponse::text(Files::readText(repos + "/poomsmart/repo/CydiaIcon.png").value_or(""));
  slow.contentType = "image/png";
  slow.delay = std::chrono::milliseconds(1500);
  server.respond("/shot1.png", slow);
  server.respond("/shot2.png", slow);
  addSource("https://repo.example/a b&x/");
  KVRPackage p = package("com.example.nice");
  p.setName(std::string("Nice Tweak&Co"));
  p.setMaintainer(std::string("Jane"));
  p.setSourceLocation(std::string("https://repo.example/a b&x/"));
  p.setScreenshots({server.url("/shot1.png"), server.url("/shot2.png")});
  add(p);
  present(item("com.example.nice", "Nice"));

  auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(ui.tap("Share"));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1000)) << "the tap returns at once";
  EXPECT_TRUE(UIActivityViewController::shownSheets().empty());
  bool ticked = false;
  RunLoop::main().post([&] { ticked = true; });
  ui.runUntilIdle();
  EXPECT_TRUE(ticked) << "the main loop runs while the screenshots load";
  ASSERT_TRUE(RunLoop::main().runUntil([] { return !UIActivityViewController::shownSheets().empty(); }, 20));
  const auto& items = UIActivityViewController::shownSheets().front()->activityItems();
  ASSERT_GE(items.size(), 3u);
  EXPECT_EQ(items[0].text,
            "Check out the featured package \"Nice Tweak&Co\" by Jane from the source https://repo.example/a b&x/ on "
            "Quillbark !\n(See the package : quillbark://show/shared=Quillbark&name=Nice+Tweak%26Co&bundleid=com.example.nice"
            "&repo=https://repo.example/a%20b%26x/)");
  EXPECT_NE(items.back().image, nullptr);
  EXPECT_EQ(items.back().image->size().width, 57);
}

}  // namespace
