// The application's addresses: "add" and "url" offer a repository or open its page,
// "show" opens a package (adding its repository first), "developer" opens the page of the
// developer the vendor's search finds or hands the name to the search tab; anything else
// does nothing.
#include <gtest/gtest.h>

#include "app/KVQuillbark.h"
#include "app/KVURLSchemeTask.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRSources.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "sources/SourceViewController.h"
#include "support/PackageRecordsFixture.h"
#include "support/UIDriver.h"
#include "uikit/UIAlertController.h"
#include "uikit/UINavigationController.h"
#include "support/RecordingScreens.h"
#include "support/TestVendorService.h"

namespace {

class URLSchemeTaskTest : public PackageRecordsFixture {
 protected:
  void SetUp() override {
    PackageRecordsFixture::SetUp();
    ui.show(std::make_shared<UIViewController>());
    UIApplication::sharedApplication().setDelegate(&KVQuillbark::sharedQuillbark());
  }
  void TearDown() override {
    UIApplication::sharedApplication().setDelegate(nullptr);
    PackageRecordsFixture::TearDown();
  }
  void open(const std::string& url) {
    UIApplication::sharedApplication().deliverOpenURL(url, "com.apple.mobilesafari");
    ui.runUntilIdle();
  }
  UIViewController* presented() { return ui.window().rootViewController()->presentedViewController(); }
  UIAlertController* alert() { return dynamic_cast<UIAlertController*>(presented()); }
  void dismiss() {
    if (presented()) ui.window().rootViewController()->dismissViewControllerAnimated(false);
    ui.runUntilIdle();
  }

  UIDriver ui;
};

TEST_F(URLSchemeTaskTest, AddOffersTheNormalisedLocationOrOpensItsPage) {
  open("quillbark://add/repo.example.org");
  ASSERT_NE(alert(), nullptr);
  EXPECT_EQ(alert()->title(), "Add repository");
  EXPECT_EQ(alert()->message(), "Would you like to add repository: https://repo.example.org/ to Quillbark");
  dismiss();

  open("quillbark://add/http://plain.example.org/");
  ASSERT_NE(alert(), nullptr);
  EXPECT_EQ(alert()->message(), "Would you like to add repository: http://plain.example.org/ to Quillbark");
  dismiss();

  // A scheme in any case is the scheme; a host that is none is refused with the reason.
  open("quillbark://add/HTTP://127.0.0.1:8080/");
  ASSERT_NE(alert(), nullptr);
  EXPECT_EQ(alert()->message(), "Would you like to add repository: http://127.0.0.1:8080/ to Quillbark");
  dismiss();
  open("quillbark://add/file:///etc/");
  ASSERT_NE(alert(), nullptr);
  EXPECT_EQ(alert()->message(),
            "file:///etc/ can't be added: a source location must begin with http:// or https:// (not file://).");
  EXPECT_EQ(alert()->actions().size(), 1u) << "nothing to say yes to";
  dismiss();

  // The application's own share link.
  open("quillbark://add/repo=https://shared.example.org/");
  ASSERT_NE(alert(), nullptr);
  EXPECT_EQ(alert()->message(), "Would you like to add repository: https://shared.example.org/ to Quillbark");
  dismiss();

  addSource("https://repo.example.org/");
  open("quillbark://add/repo.example.org");
  auto* navigation = dynamic_cast<UINavigationController*>(presented());
  ASSERT_NE(navigation, nullptr);
  auto* page = dynamic_cast<SourceViewController*>(navigation->topViewController());
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->sourceLocation(), "https://repo.example.org/");
  EXPECT_TRUE(page->isPresented());
}

TEST_F(URLSchemeTaskTest, ShowOpensAPackageOrSaysItDoesNotExist) {
  add(package("com.example.tool"));
  open("quillbark://show/com.example.tool");
  ASSERT_NE(dynamic_cast<UINavigationController*>(presented()), nullptr);
  dismiss();
  // The import keeps identifiers in lower case: a link finds them in any case.
  for (const char* link : {"quillbark://show/bundleid=Com.Example.TOOL", "quillbark://show/COM.example.tool&x=1"}) {
    open(link);
    ASSERT_NE(dynamic_cast<UINavigationController*>(presented()), nullptr) << link << "\n" << ui.screen();
    dismiss();
  }
  // Whatever the active scheme.
  open("quillbark-beta://show/com.example.missing&other=1");
  ASSERT_NE(alert(), nullptr);
  EXPECT_EQ(alert()->message(), "Package does not exist.");
}

TEST_F(URLSchemeTaskTest, ASharedPackageOfANewRepositoryOpensAfterItsRefresh) {
  open("quillbark://show/shared=Quillbark&name=Handy+Tool&bundleid=com.example.Tool&repo=repo.example.org");
  ASSERT_NE(alert(), nullptr);
  EXPECT_EQ(alert()->message(),
            "Would you like to add repository: https://repo.example.org/ to Quillbark, in order to show package: Handy+Tool");
  ASSERT_TRUE(ui.tap("Yes"));
  EXPECT_EQ(KVURLSchemeTask::instance().bundleID(), "com.example.tool");
  // The refresh brought the package: its page opens one second after the notice.
  add(package("com.example.tool"));
  NotificationCenter::defaultCenter().post(KVRSourceUpdatedNotification, Value("https://repo.example.org/"));
  ui.advance(0.5);
  EXPECT_EQ(presented(), nullptr);
  ui.advance(0.6);
  ASSERT_NE(dynamic_cast<UINavigationController*>(presented()), nullptr) << ui.screen();
}

TEST_F(URLSchemeTaskTest, ParametersAndDevelopers) {
  EXPECT_EQ(KVURLSchemeTask::parseComponents("quillbark://show/name=A%20B&bundleid=x&bundleid=y", "bundleid"), "y");
  EXPECT_EQ(KVURLSchemeTask::parseComponents("quillbark://show/name=%zz&bundleid=x", "name"), std::nullopt);
  EXPECT_EQ(KVURLSchemeTask::parseComponents("quillbark://show/shared=Quillbark&name=A%20B", "name"), "A B");

  open("quillbark://elsewhere/add/repo.example.org");
  EXPECT_EQ(presented(), nullptr);
}

// The package page and the developer page come from the root's navigation: replacing an
// entry there (as building a screen does) changes what every link opens.
TEST_F(URLSchemeTaskTest, LinksOpenPackagesAndDevelopersThroughTheRootsNavigation) {
  TestVendorService vendor;
  vendor.addDeveloper(Value::dict({{"developer", Value("Jane Doe")}, {"about", Value("Tweaks")}}));
  auto screens = root->recordScreens();
  add(package("com.example.tool"));
  open("quillbark://show/com.example.tool");
  dismiss();
  open("quillbark://developer/developer=Jane+Doe");
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return presented() != nullptr; }));
  ASSERT_NE(dynamic_cast<UINavigationController*>(presented()), nullptr);
  dismiss();
  EXPECT_EQ(screens->opened(), (std::vector<std::string>{"native com.example.tool (link)", "developer Jane Doe"}));

  // A name the search does not know, or one too short to search, goes to the search tab.
  open("quillbark://developer/Nobody");
  RunLoop::main().runUntil(
      [] { return QuillbarkPersistentPreferences::sharedInstance().stringForKey("SearchDeveloper") == "Nobody"; });
  EXPECT_EQ(QuillbarkPersistentPreferences::sharedInstance().stringForKey("SearchDeveloper"), "Nobody");
  open("quillbark://developer/JD");
  EXPECT_EQ(QuillbarkPersistentPreferences::sharedInstance().stringForKey("SearchDeveloper"), "JD");
  EXPECT_EQ(screens->opened().size(), 2u);
}

}  // namespace
