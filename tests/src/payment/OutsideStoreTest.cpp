// The outside store end to end: its account pages in the web view against a store
// played on 127.0.0.1, the sign-in on its own form, the purchases it links marked in the
// database, the preference and its announcement, the store's screen listing them, and
// the sign-out.
#include <gtest/gtest.h>

#include <atomic>

#include "core/KVPlatform.h"
#include "payment/CydiaStoreLoginController.h"
#include "payment/CydiaStoreLoginWebView.h"
#include "payment/KVOutsideStore.h"
#include "payment/RepoStoreDetailsViewController.h"
#include "support/PlayedOutsideStore.h"
#include "support/SourceRefreshFixture.h"
#include "support/UIDriver.h"
#include "uikit/UINavigationController.h"

namespace {

class OutsideStoreTest : public SourceRefreshFixture {
 protected:
  void SetUp() override {
    SourceRefreshFixture::SetUp();
    KVOutsideStore::setLocation(store.location());
    std::string repository = serveIndex("repo", stanza("com.example.shade", "1.0", {{"Name", "Shade"}}) +
                                                    stanza("com.example.glow", "1.0", {{"Name", "Glow"}}) +
                                                    stanza("com.example.free", "1.0", {{"Name", "Free"}}));
    ASSERT_TRUE(refresh(repository));
    announcements_ = NotificationCenter::defaultCenter().addObserver(
        KVOutsideStore::kSigninStatusDidChangeNotification, &DispatchQueue::mainQueue(),
        [this](const Notification& n) { announced.push_back(n.object.asBool()); });
  }
  void TearDown() override {
    announcements_.invalidate();
    SourceRefreshFixture::TearDown();
  }
  static bool signedInPreference() {
    return QuillbarkPersistentPreferences::sharedInstance().boolForKey(KVOutsideStore::kSignedInPreference);
  }
  std::vector<std::string> flagged() {
    std::vector<std::string> out;
    for (const auto& p : KVRPackage::objectsWhere("isPaidThroughCydia = 1").sorted("identifier").all())
      out.push_back(p.identifier());
    return out;
  }
  bool eventually(const std::function<bool()>& condition) { return RunLoop::main().runUntil(condition, 20); }
  CydiaStoreLoginController* accountPage() { return dynamic_cast<CydiaStoreLoginController*>(ui.front()); }
  bool pageShows(const std::string& title) {
    return eventually([&] {
      auto* page = accountPage();
      return page && !page->webView()->isLoading() && page->webView()->page().summary.title == title;
    });
  }
  // Every request to the store but the purchases fetch, which has headers of its own.
  void expectDeviceHeadersOnPageRequests() {
    for (const auto& r : storeServer.requests()) {
      if (r.path == "/account/purchases") continue;
      SCOPED_TRACE(r.method + " " + r.path);
      EXPECT_EQ(r.header("User-Agent"), CydiaStoreLoginWebView::kUserAgent);
      EXPECT_EQ(r.header("X-Machine"), KVPlatform::deviceModelID());
      EXPECT_EQ(r.header("X-Firmware"), KVPlatform::firmwareVersion());
      EXPECT_EQ(r.header("X-Unique-ID"), KVPlatform::deviceUDID().value_or(""));
    }
  }

  UIDriver ui;
  TestHttpServer storeServer;
  PlayedOutsideStore store{storeServer};
  std::vector<bool> announced;

 private:
  NotificationToken announcements_;
};

TEST_F(OutsideStoreTest, SignInOnTheStoresFormMarksItsPurchasesAndSignOutClearsThem) {
  store.setPurchases({"com.example.glow", "com.unknown.tweak", "com.example.shade", "com.example.free/"});
  KVStoreVendorInfo vendor;
  vendor.name = "Cydia Store";
  auto screen = std::make_shared<RepoStoreDetailsViewController>(screenContext(), KVOutsideStore::location(), vendor);
  ui.show(std::make_shared<UINavigationController>(screen));
  EXPECT_TRUE(ui.screenShows("0.0: You must sign in before you can view your purchased packages.")) << ui.screen();
  EXPECT_FALSE(ui.screenShows("Username:")) << "no user labels for the outside store";
  EXPECT_FALSE(ui.screenShows("[Refresh]")) << "nothing to refresh";

  // The account page shows the store's own sign-in form.
  ASSERT_TRUE(ui.tap("Login"));
  ASSERT_TRUE(pageShows("Sign In")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("field \"User name\": ")) << ui.screen();
  EXPECT_TRUE(eventually([&] { return storeServer.requestCount("/account/purchases") == 1; })) << "an account page loaded";
  EXPECT_TRUE(flagged().empty()) << "a page without package links changes nothing";
  EXPECT_FALSE(QuillbarkPersistentPreferences::sharedInstance().objectForKey(KVOutsideStore::kSignedInPreference).isBool());
  ASSERT_TRUE(ui.type(PlayedOutsideStore::kUser, "User name"));
  ASSERT_TRUE(ui.type(PlayedOutsideStore::kPassword, "Password"));
  ASSERT_TRUE(ui.tap("Sign In"));
  ASSERT_TRUE(pageShows("Your Account")) << ui.screen();
  ASSERT_TRUE(eventually([&] { return flagged().size() == 2 && !announced.empty(); })) << ui.screen();
  EXPECT_EQ(flagged(), (std::vector<std::string>{"com.example.glow", "com.example.shade"}))
      << "unknown identifiers, and one with a \"/\" after it, match no package";
  EXPECT_TRUE(signedInPreference());
  EXPECT_EQ(announced, (std::vector<bool>{true}));
  EXPECT_TRUE(store.signedIn());
  // Every request of the pages carries the device's headers: the first page, the form's
  // POST, its redirect and the pages' resources.
  EXPECT_EQ(storeServer.requestsTo("/login").at(0).body, "user=ann&password=secret&from=account");
  EXPECT_EQ(storeServer.requestCount("/logo.png"), 2u);
  EXPECT_EQ(storeServer.requestCount("/style.css"), 2u);
  expectDeviceHeadersOnPageRequests();
  // The purchases fetch carries the session the form opened and the request factory's headers.
  auto purchases = storeServer.requestsTo("/account/purchases").back();
  EXPECT_NE(purchases.header("Cookie").find("store_session="), std::string::npos);
  EXPECT_EQ(purchases.header("User-Agent"), "Telesphoreo APT-HTTP/1.0.592");
  EXPECT_EQ(purchases.header("X-Cydia-ID"), KVPlatform::deviceUDID().value_or(""));

  // A link, back, forward, refresh and stop.
  ASSERT_TRUE(ui.tap("Purchases"));
  ASSERT_TRUE(pageShows("Purchases")) << ui.screen();
  ASSERT_TRUE(ui.tap("back"));
  ASSERT_TRUE(pageShows("Your Account"));
  ASSERT_TRUE(ui.tap("forward"));
  ASSERT_TRUE(pageShows("Purchases"));
  ASSERT_TRUE(ui.tap("back"));
  ASSERT_TRUE(pageShows("Your Account"));
  size_t pages = storeServer.requestCount("/account");
  ASSERT_TRUE(ui.tap("Refresh"));
  ASSERT_TRUE(pageShows("Your Account"));
  EXPECT_EQ(storeServer.requestCount("/account"), pages + 1);
  TestHttpResponse slow = TestHttpResponse::text("logo");
  slow.delay = std::chrono::milliseconds(3000);
  storeServer.respond("/logo.png", slow);
  ASSERT_TRUE(ui.tap("Refresh"));
  ASSERT_TRUE(eventually([&] { return ui.screenShows("[cancel]"); })) << ui.screen();
  ASSERT_TRUE(ui.tap("cancel"));
  EXPECT_FALSE(accountPage()->webView()->isLoading());
  storeServer.respond("/logo.png", TestHttpResponse::text("logo"));

  // Done: the store's screen lists what was bought there and reads "Logout".
  ASSERT_TRUE(ui.tap("Done"));
  ASSERT_TRUE(eventually([&] { return ui.screenShows("table: 2 rows"); })) << ui.screen();
  EXPECT_TRUE(ui.screenShows("0.0: Glow"));
  EXPECT_TRUE(ui.screenShows("0.1: Shade"));
  EXPECT_TRUE(ui.screenShows("[Logout]"));

  // The store's sign-out link clears them; the account page shown after it flags nothing.
  size_t before = announced.size();
  ASSERT_TRUE(ui.tap("Logout"));
  ASSERT_TRUE(pageShows("Your Account")) << ui.screen();
  ASSERT_TRUE(eventually([&] { return accountPage()->purchasesPagesRead() == 1; }));
  ASSERT_TRUE(ui.tap("Sign Out"));
  ASSERT_TRUE(pageShows("Sign In")) << ui.screen();
  ASSERT_TRUE(eventually([&] { return accountPage()->purchasesPagesRead() == 2; }));
  waitForPipeline();  // the marks' writes and the announcements have landed
  ASSERT_TRUE(eventually([&] { return flagged().empty(); }));
  EXPECT_FALSE(signedInPreference());
  EXPECT_EQ(std::vector<bool>(announced.begin() + long(before), announced.end()), (std::vector<bool>{true, false}))
      << "the page read again, then the sign-out; nothing after it";
  EXPECT_FALSE(store.signedIn());
  ASSERT_TRUE(ui.tap("Done"));
  EXPECT_TRUE(eventually([&] { return ui.screenShows("0.0: You must sign in"); })) << ui.screen();
  EXPECT_TRUE(ui.screenShows("[Login]"));
}

TEST_F(OutsideStoreTest, AFailedPurchasesFetchChangesNothing) {
  storeServer.truncate("/account/purchases", "<a href", 5000);
  auto page = std::make_shared<CydiaStoreLoginController>(KVOutsideStore::accountPage());
  ui.show(std::make_shared<UINavigationController>(page));
  ASSERT_TRUE(pageShows("Sign In"));
  ASSERT_TRUE(eventually([&] { return storeServer.requestCount("/account/purchases") == 1; }));
  waitForPipeline();
  EXPECT_TRUE(flagged().empty());
  EXPECT_TRUE(announced.empty());
  EXPECT_EQ(page->url()->absoluteString(), store.location() + "account");
}

// The store's sign-in sheet says why when the store can't be reached, and asks again.
TEST_F(OutsideStoreTest, TheSignInSheetOutOfReachSaysWhyAndAsksAgain) {
  std::string address;
  {
    TestHttpServer gone;  // its port, closed once it goes
    address = gone.url("/account");
  }
  auto page = std::make_shared<CydiaStoreLoginController>(address);
  ui.show(std::make_shared<UINavigationController>(page));
  ASSERT_TRUE(eventually([&] { return ui.screenShows("[Try Again]"); })) << ui.screen();
  EXPECT_TRUE(ui.screenShows("The page could not be opened: ")) << ui.screen();
  ASSERT_TRUE(ui.tap("Try Again"));
  ASSERT_TRUE(eventually([&] { return ui.screenShows("[Try Again]"); })) << "asked again, failed again: " << ui.screen();
}

TEST(OutsideStoreAddresses, MarkersPrefixesAndTheDeviceHeaders) {
  KVOutsideStore::setLocation("https://shop.example/");
  EXPECT_EQ(KVOutsideStore::accountMarker(), "shop.example/account");
  EXPECT_EQ(KVOutsideStore::packageLinkPrefix(), "http://shop.example/package/");
  EXPECT_EQ(KVOutsideStore::signOutMarker(), "https://shop.example/api/invalidate");
  KVOutsideStore::setLocation("https://shop.example:443/");
  EXPECT_EQ(KVOutsideStore::accountMarker(), "shop.example/account") << "a default port is the same text";
  KVOutsideStore::setLocation("http://127.0.0.1:8090/store");
  EXPECT_EQ(KVOutsideStore::location(), "http://127.0.0.1:8090/store/");
  EXPECT_EQ(KVOutsideStore::accountMarker(), "127.0.0.1:8090/account") << "a store on its own port is recognised";
  auto ids = CydiaStoreLoginController::packageIdentifiersInPage(
      "<a href='http://127.0.0.1:8090/store/package/com.a.b'>x</a> http://127.0.0.1:8090/store/package/com.c/ "
      "https://127.0.0.1:8090/store/package/com.https http://elsewhere.example/store/package/com.d");
  ASSERT_TRUE(ids);
  EXPECT_EQ(*ids, (std::vector<std::string>{"com.a.b", "com.c/"}));
  EXPECT_FALSE(CydiaStoreLoginController::packageIdentifiersInPage("<p>nothing bought</p>"));

  // A changeable request is changed in place; an unchangeable one is copied.
  URLRequest changeable(URL::fromString("http://127.0.0.1/"));
  URLRequest& same = CydiaStoreLoginWebView::requestWithRequredFiledsInRequest(changeable);
  EXPECT_EQ(&same, &changeable);
  EXPECT_EQ(changeable.valueForHTTPHeaderField("X-Machine"), KVPlatform::deviceModelID());
  const URLRequest unchangeable(URL::fromString("http://127.0.0.1/"));
  URLRequest copy = CydiaStoreLoginWebView::requestWithRequredFiledsInRequest(unchangeable);
  EXPECT_FALSE(unchangeable.valueForHTTPHeaderField("User-Agent"));
  EXPECT_EQ(copy.valueForHTTPHeaderField("User-Agent"), CydiaStoreLoginWebView::kUserAgent);
  EXPECT_EQ(copy.valueForHTTPHeaderField("X-Firmware"), KVPlatform::firmwareVersion());
  EXPECT_EQ(copy.valueForHTTPHeaderField("X-Unique-ID"), KVPlatform::deviceUDID());
  EXPECT_EQ(CydiaStoreLoginController(URL(*URL::fromString("http://h.example/a"))).url()->absoluteString(), "http://h.example/a");
  EXPECT_FALSE(CydiaStoreLoginController(std::string("not a url")).url());
}

}  // namespace
