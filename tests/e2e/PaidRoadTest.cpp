// The road of one paid package: a repository on 127.0.0.1 whose payment service is
// played by the test's server from the service's protocol (its sign-in page is the test
// repository's own, which leads back through a refresh declaration), the web sign-in in
// the headless authentication session, the package information, the purchase (at once,
// or finished on the service's page in the browser sheet), the mark, the queue, and the
// download the service authorises, installed by the real apt-get and dpkg.
#include <atomic>
#include <set>

#include "InstallRoadFixture.h"
#include "account/KVKeychainBindings.h"
#include "account/KVKeychainBindingsController.h"
#include "package/PackageDetailsViewController.h"
#include "payment/KVRepoStoreAPI.h"
#include "sources/SourceViewController.h"
#include "support/TestData.h"
#include "support/UIDriver.h"
#include "support/Written.h"
#include "uikit/SFAuthenticationSession.h"
#include "uikit/SFSafariViewController.h"
#include "uikit/UIApplication.h"
#include "uikit/UIButton.h"
#include "uikit/UINavigationController.h"

namespace {

const std::string kPaid = "com.example.paid";
// The credentials the test repository's sign-in page returns with.
const std::string kToken(64, '0');
const std::string kSecret(100, '0');

class PaidRoad : public InstallRoadFixture {
 protected:
  void SetUp() override {
    InstallRoadFixture::SetUp();
    KVKeychainBindingsController::sharedKeychainBindingsController().resetValuesForTesting();
    SFAuthenticationSession::clearStartedURLs();
    SFSafariViewController::clearShownURLs();
    UIApplication::sharedApplication().setDelegate(&KVQuillbark::sharedQuillbark());
    location = locationOf("paid");
    DebBuilder debs(repositories.file("paid"));
    debs.build(DebPackage(kPaid, "1.0")
                   .field("Name", "Paid Tweak")
                   .field("Tag", "cydia::commercial")
                   .file("/usr/lib/paid.txt", "paid\n"),
               "paid.deb");
    ASSERT_TRUE(DebBuilder::writeFlatRepository(repositories.file("paid"), {"paid.deb"}));
    ASSERT_TRUE(Files::writeAtomically(repositories.file("paid/payment_endpoint"), server.url("/pay/api/") + "\n"));
    playPaymentService();
    ASSERT_TRUE(refresh(location));
    ASSERT_TRUE(package(kPaid));
    ASSERT_EQ(package(kPaid)->price(), "Paid");
    ASSERT_EQ(source(location)->endpoint(), server.url("/pay/api/"));
  }
  void TearDown() override {
    UIApplication::sharedApplication().setDelegate(nullptr);
    InstallRoadFixture::TearDown();
  }

  // The service: its sign-in page, the user's purchases, the package's information, the
  // purchase (finished on its own page when `purchaseOnPage`) and the authorisation of
  // the download, all for the credentials its sign-in page hands out.
  void playPaymentService() {
    server.serveFolder(testdata::fixture("paidrepo/api"), "/pay/api/");
    server.redirect("/pay/api/authenticate", server.url("/pay/api/fakelogin.html"));
    server.handle("POST", "/pay/api/sign_out", [](const TestHttpRequest&) {
      return json(Files::readText(testdata::fixture("paidrepo/api/sign_out")).value_or(""));
    });
    server.handle("POST", "/pay/api/user_info", [this](const TestHttpRequest& r) {
      if (!signedIn(r)) return json(R"({"invalidate":true,"error":"Please sign in again"})");
      std::lock_guard<std::mutex> lock(mutex_);
      return json(Value::dict({{"user", Value::dict({{"name", "test"}})}, {"items", ownedList()}}).toJSON());
    });
    server.handle("POST", "/pay/api/package/" + kPaid + "/info", [this](const TestHttpRequest& r) {
      if (!signedIn(r)) return json(R"({"invalidate":true})");
      std::lock_guard<std::mutex> lock(mutex_);
      return json(Value::dict({{"available", available_}, {"purchased", owned_.count(kPaid) > 0}, {"price", "$1.99"}}).toJSON());
    });
    server.handle("POST", "/pay/api/package/" + kPaid + "/purchase", [this](const TestHttpRequest& r) {
      auto body = Value::fromJSON(r.body);
      if (!signedIn(r) || !body || (*body)["payment_secret"].asString() != kSecret) return json(R"({"invalidate":true})");
      std::lock_guard<std::mutex> lock(mutex_);
      if (purchaseOnPage_) return json(Value::dict({{"status", 1}, {"url", server.url("/pay/checkout")}}).toJSON());
      owned_.insert(kPaid);
      return json(R"({"status":0})");
    });
    // Paying on the page leads back to the application.
    server.handle("GET", "/pay/checkout", [this](const TestHttpRequest&) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        owned_.insert(kPaid);
      }
      TestHttpResponse page = TestHttpResponse::text(
          "<!DOCTYPE html><html><head><meta http-equiv=\"refresh\" content=\"0;url=sileo://payment_completed\">"
          "</head><body>Thank you</body></html>");
      page.contentType = "text/html";
      return page;
    });
    server.handle("POST", "/pay/api/package/" + kPaid + "/authorize_download", [this](const TestHttpRequest&) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!owned_.count(kPaid)) return json(R"({"error":"not purchased"})");
      return json(Value::dict({{"url", server.url("/paid/paid.deb")}}).toJSON());
    });
  }
  static TestHttpResponse json(const std::string& body) { return TestHttpResponse::json(body); }
  bool signedIn(const TestHttpRequest& request) {
    auto body = Value::fromJSON(request.body);
    std::lock_guard<std::mutex> lock(mutex_);
    return body && (*body)["token"].asString() == validToken_;
  }
  Value ownedList() {
    Value list = Value::array();
    for (const auto& identifier : owned_) list.push_back(identifier);
    return list;
  }
  void own(const std::string& identifier) {
    std::lock_guard<std::mutex> lock(mutex_);
    owned_.insert(identifier);
  }
  void setAvailable(bool available) {
    std::lock_guard<std::mutex> lock(mutex_);
    available_ = available;
  }
  void setPurchaseOnPage(bool onPage) {
    std::lock_guard<std::mutex> lock(mutex_);
    purchaseOnPage_ = onPage;
  }
  // The device already holds credentials for the service.
  void storeCredentials(const std::string& token) {
    KVKeychainBindings::sharedKeychainBindings().setObject(token, location + "_token");
    KVKeychainBindings::sharedKeychainBindings().setObject(kSecret, location + "_payment");
  }

  bool waitUntilQueued(const std::string& identifier) {
    return RunLoop::main().runUntil([&] { return package(identifier)->isInTheQueue() == true; }, 30);
  }
  // Confirms the queue and checks the package arrived on the device through the
  // address the service gave.
  void expectInstalledThroughTheService() {
    confirm();
    auto end = aptEnd();
    ASSERT_TRUE(end);
    ASSERT_TRUE(end->userInfo["success"].asBool()) << (end->error ? end->error->localizedDescription() : "");
    EXPECT_EQ(deviceRoot().packageStatus(kPaid), "install ok installed");
    EXPECT_EQ(package(kPaid)->isInstalled(), true);
    auto authorisations = server.requestsTo("/pay/api/package/" + kPaid + "/authorize_download");
    ASSERT_EQ(authorisations.size(), 1u);
    auto body = Value::fromJSON(authorisations[0].body);
    ASSERT_TRUE(body);
    EXPECT_EQ((*body)["token"].asString(), kToken);
    EXPECT_EQ((*body)["version"].asString(), "1.0");
    EXPECT_EQ((*body)["repo"].asString(), location);
    EXPECT_EQ(server.requestCount("/paid/paid.deb"), 1u);
  }
  bool hasCredentials() { return KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(location); }

  std::string location;

 private:
  std::mutex mutex_;
  std::set<std::string> owned_;
  std::string validToken_ = kToken;
  bool purchaseOnPage_ = false;
  bool available_ = true;
};

TEST_F(PaidRoad, NotSignedInTheWebSignInComesFirstAndWhatTheUserOwnsIsInstalled) {
  const HostPackageState before = HostPackageState::capture();
  own(kPaid);
  queue(kPaid);
  ASSERT_TRUE(waitUntilQueued(kPaid));
  auto sessions = SFAuthenticationSession::startedURLs();
  ASSERT_EQ(sessions.size(), 1u);
  EXPECT_EQ(sessions[0].rfind(server.url("/pay/api/authenticate?udid="), 0), 0u) << sessions[0];
  EXPECT_EQ(KVRepoStoreAPI::sharedRepoStore().storedTokenForSourceLocation(location), kToken);
  EXPECT_EQ(KVRepoStoreAPI::sharedRepoStore().storedSecretForSourceLocation(location), kSecret);
  EXPECT_EQ(package(kPaid)->isPaidThroughSileo(), true) << "the sign-in marked what the user owns";
  expectInstalledThroughTheService();
  EXPECT_EQ(HostPackageState::capture().differencesFrom(before), "");
}

TEST_F(PaidRoad, SignedInAndAlreadyBoughtItIsQueuedAtOnce) {
  own(kPaid);
  storeCredentials(kToken);
  queue(kPaid);
  ASSERT_TRUE(waitUntilQueued(kPaid));
  EXPECT_TRUE(SFAuthenticationSession::startedURLs().empty());
  EXPECT_EQ(server.requestCount("/pay/api/package/" + kPaid + "/purchase"), 0u);
  expectInstalledThroughTheService();
}

TEST_F(PaidRoad, APurchaseFinishedOnTheServicesPageComesBackThroughTheApplication) {
  storeCredentials(kToken);
  setPurchaseOnPage(true);
  showWindow();
  queue(kPaid);
  ASSERT_TRUE(waitUntilQueued(kPaid));
  EXPECT_EQ(SFSafariViewController::shownURLs(), std::vector<std::string>{server.url("/pay/checkout")});
  EXPECT_EQ(package(kPaid)->isPaidThroughSileo(), true);
  // The page's address came back once: a second one would buy nothing more.
  KVRepoStoreAPI::sharedRepoStore().purchaseCompletedCallbackHandler();
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(server.requestCount("/pay/api/package/" + kPaid + "/purchase"), 1u);
  expectInstalledThroughTheService();
}

TEST_F(PaidRoad, CredentialsTheServiceInvalidatesAreForgottenAndTheUserSignsInAgain) {
  storeCredentials("stale");
  UIViewController* root = showWindow();
  queue(kPaid);
  ASSERT_TRUE(waitUntilQueued(kPaid));
  EXPECT_EQ(root->presentedViewController(), nullptr) << "nothing says the package cannot be had";
  EXPECT_EQ(SFAuthenticationSession::startedURLs().size(), 1u) << "signed in again";
  EXPECT_EQ(KVRepoStoreAPI::sharedRepoStore().storedTokenForSourceLocation(location), kToken);
  EXPECT_EQ(server.requestCount("/pay/api/package/" + kPaid + "/purchase"), 1u) << "bought in one tap";
  EXPECT_EQ(package(kPaid)->isPaidThroughSileo(), true);
  expectInstalledThroughTheService();
}

TEST_F(PaidRoad, AnExemptRepositorysPaidPackageNeedsNoService) {
  // The exempt repository's service is never asked for, so the refresh forgets it.
  KVRepoStoreAPI::setBlacklistedSourceLocation(location);
  ASSERT_TRUE(refresh(location));
  ASSERT_EQ(source(location)->hasEndpoint(), false);
  queue(kPaid);
  EXPECT_EQ(package(kPaid)->isInTheQueue(), true);
  confirm();
  ASSERT_TRUE(aptEnd() && aptEnd()->userInfo["success"].asBool());
  EXPECT_EQ(deviceRoot().packageStatus(kPaid), "install ok installed");
  EXPECT_EQ(server.requestCount("/pay/api/package/" + kPaid + "/info"), 0u);
  EXPECT_EQ(server.requestCount("/pay/api/package/" + kPaid + "/authorize_download"), 0u);
  EXPECT_EQ(server.requestCount("/paid/paid.deb"), 1u) << "fetched from the repository itself";
}

TEST_F(PaidRoad, WithoutAnEndpointThePackageCannotBeHad) {
  written(db()->write([&] {
    auto object = db()->objectForPrimaryKey(KVRSource::className(), Value(location));
    db()->setValue(*object, "hasEndpoint", Value(false));
    db()->setValue(*object, "endpoint", Value());
  }));
  UIViewController* root = showWindow();
  queue(kPaid);
  RunLoop::main().runUntilIdle();
  EXPECT_NE(package(kPaid)->isInTheQueue(), true);
  auto alert = dynamic_cast<UIAlertController*>(root->presentedViewController());
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->alertTitle(), "Can't get package");
  EXPECT_TRUE(SFAuthenticationSession::startedURLs().empty());
  EXPECT_EQ(server.requestCount("/pay/api/package/" + kPaid + "/info"), 0u);
}

// What the queueing shows on the root screen, once it has arrived there.
UIAlertController* alertShown(UIViewController* root) {
  RunLoop::main().runUntil([&] { return root->presentedViewController() != nullptr; }, 30);
  return dynamic_cast<UIAlertController*>(root->presentedViewController());
}

std::vector<std::string> titlesOf(const UIAlertController& alert) {
  std::vector<std::string> titles;
  for (const auto& action : alert.actions()) titles.push_back(action->title());
  return titles;
}

TEST_F(PaidRoad, APackageTheServiceWillNotSellIsExplainedWithWhereToReadMore) {
  storeCredentials(kToken);
  server.handle("POST", "/pay/api/package/" + kPaid + "/info", [this](const TestHttpRequest&) {
    return json(Value::dict({{"available", false},
                             {"error", "Not sold in your region"},
                             {"recovery_url", " " + server.url("/pay/why") + "\n"}})
                    .toJSON());
  });
  UIViewController* root = showWindow();
  queue(kPaid);
  UIAlertController* alert = alertShown(root);
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->alertTitle(), "Error fetching package info");
  EXPECT_EQ(alert->message(), "Not sold in your region");
  EXPECT_EQ(titlesOf(*alert), (std::vector<std::string>{"More Info", "OK"}));
  ASSERT_TRUE(alert->chooseActionByUser("More Info"));
  ASSERT_TRUE(RunLoop::main().runUntil(
      [&] { return dynamic_cast<SFSafariViewController*>(root->presentedViewController()) != nullptr; }, 30));
  EXPECT_EQ(SFSafariViewController::shownURLs(), std::vector<std::string>{server.url("/pay/why")});
  EXPECT_NE(package(kPaid)->isInTheQueue(), true);
  EXPECT_TRUE(hasCredentials()) << "only an invalidation forgets them";
  EXPECT_EQ(server.requestCount("/pay/api/package/" + kPaid + "/purchase"), 0u);
}

TEST_F(PaidRoad, ADeniedPurchaseIsNeitherMarkedNorQueued) {
  storeCredentials(kToken);
  UIViewController* root = showWindow();
  struct Denial {
    std::string reply;
    int status;
    std::string message;
  };
  for (const auto& [reply, status, message] : std::vector<Denial>{
           {R"({"error":"Card declined"})", 200, "Card declined"},
           {"{}", 200,
            "The purchase was unsuccessful. This could mean there was an issue with your payment, or the repo "
            "maintainer denied your purchase request"},
           {"busy", 503, "Purchase request failed, communication with the server failed (503)"}}) {
    server.handle("POST", "/pay/api/package/" + kPaid + "/purchase",
                  [reply = reply, status = status](const TestHttpRequest&) { return TestHttpResponse::json(reply, status); });
    queue(kPaid);
    UIAlertController* alert = alertShown(root);
    ASSERT_NE(alert, nullptr) << reply;
    EXPECT_EQ(alert->alertTitle(), "Purchase Failed");
    EXPECT_EQ(alert->message(), message);
    EXPECT_EQ(titlesOf(*alert), std::vector<std::string>{"OK"});
    ASSERT_TRUE(alert->chooseActionByUser("OK"));
    RunLoop::main().runUntil([&] { return root->presentedViewController() == nullptr; }, 30);
    EXPECT_NE(package(kPaid)->isPaidThroughSileo(), true);
    EXPECT_NE(package(kPaid)->isInTheQueue(), true);
  }
}

TEST_F(PaidRoad, SigningOutUnmarksAndSigningInMarksAgain) {
  own(kPaid);
  std::atomic<int> in{-1};
  KVRepoStoreAPI::loginToSource(location, [&](bool success) { in = success ? 1 : 0; });
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return in.load() >= 0; }, 30));
  EXPECT_EQ(in.load(), 1);
  EXPECT_EQ(package(kPaid)->isPaidThroughSileo(), true);
  EXPECT_TRUE(hasCredentials());
  std::atomic<bool> out{false};
  KVRepoStoreAPI::logoutOfSource(location, [&](bool) { out = true; });
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return out.load(); }, 30));
  EXPECT_EQ(package(kPaid)->isPaidThroughSileo(), false);
  EXPECT_FALSE(hasCredentials()) << "the service answered the sign-out";
}

TEST_F(PaidRoad, TheSourcePagesButtonSignsOutAndInAgain) {
  own(kPaid);
  UIDriver ui;
  auto page = std::make_shared<SourceViewController>(screenContext(), location, false);
  ui.show(std::make_shared<UINavigationController>(page));
  ui.runUntilIdle();
  auto title = [&] { return page->repoStoreLogInOutButton()->currentTitle(); };
  EXPECT_EQ(title(), "Login");

  page->logInOut();
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return title() == "Logout"; }, 30)) << title();
  EXPECT_TRUE(hasCredentials());
  EXPECT_EQ(package(kPaid)->isPaidThroughSileo(), true);

  page->logInOut();
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return title() == "Login"; }, 30)) << title();
  EXPECT_FALSE(hasCredentials());
  EXPECT_EQ(package(kPaid)->isPaidThroughSileo(), false);
}

// The package's page asks the service about a paid package of a source the user is
// signed in to: its price, then OWNED, then UNAVAILABLE at half opacity, taking no taps,
// also after the header collapsed and expanded again.
class PaidPackagePage : public PaidRoad {
 protected:
  std::shared_ptr<PackageDetailsViewController> openPage() {
    auto page = std::make_shared<PackageDetailsViewController>(screenContext(), kPaid);
    ui.show(std::make_shared<UINavigationController>(page));
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return page->packageInfoWasFetched(); }, 30));
    ui.runUntilIdle();
    return page;
  }
  UIDriver ui;
};

TEST_F(PaidPackagePage, PriceThenOwnedThenUnavailable) {
  storeCredentials(kToken);
  auto page = openPage();
  const auto& o = page->outlets();
  EXPECT_EQ(o.getBtn->currentTitle(), "$1.99");
  EXPECT_EQ(o.getBtn->alpha(), 1);
  EXPECT_EQ(o.getBtnWidthConstraint->constant(), o.getBtn->titleLabel()->sizeThatFits({0, 0}).width + 34);

  own(kPaid);
  EXPECT_EQ(openPage()->outlets().getBtn->currentTitle(), "OWNED");

  setAvailable(false);
  page = openPage();
  EXPECT_EQ(page->outlets().getBtn->currentTitle(), "UNAVAILABLE");
  EXPECT_EQ(page->outlets().getBtn->alpha(), 0.5);
  EXPECT_FALSE(page->outlets().getBtn->isUserInteractionEnabled());
  CGPoint down{0, 120}, up{0, 10};
  page->scrollViewWillEndDragging(*page->outlets().scrollView, {0, 0}, down);
  EXPECT_EQ(page->getBarBtn()->alpha(), 0.5);
  page->scrollViewWillEndDragging(*page->outlets().scrollView, {0, 0}, up);
  EXPECT_EQ(page->outlets().getBtn->alpha(), 0.5) << "expanded back to its own opacity";
  page->getPackage(page->outlets().getBtn);
  ui.runUntilIdle();
  EXPECT_NE(package(kPaid)->isInTheQueue(), true);
}

}  // namespace
