// The account screen against the played vendor service: its header and the sign-in row
// through a sign-in and a sign-out, the lists' cards and pushes, the download history,
// the outside pages, and a saved setup read back into the restoration's checklists.
#include "AccountScreensFixture.h"
#include "account/AccountPlistViewController.h"
#include "account/QuillbarkSetupRestorationViewController.h"
#include "core/KVPipelineManager.h"
#include "database/KVRSource.h"
#include "foundation/Bundle.h"
#include "foundation/RunLoop.h"
#include "uikit/SFSafariViewController.h"
#include "uikit/UIApplication.h"
#include "uikit/UIImage.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "support/Written.h"

namespace {

class AccountScreenTest : public AccountScreensFixture {
 protected:
  std::shared_ptr<AccountPlistViewController> open(std::shared_ptr<UIImage> avatar = nullptr) {
    return show<AccountPlistViewController>(std::move(avatar));
  }
  // The card in front reads `title` and `message`; its first button closes it.
  void expectCard(const std::string& title, const std::string& message) {
    EXPECT_TRUE(eventually([&] { return ui.screenShows(title + "\n" + message + "\n"); })) << ui.screen();
    ASSERT_TRUE(ui.tap("OK")) << ui.screen();
  }
  // Opens the saved setup the service answers with `reply`, as Restore a Backup does.
  void retrieve(const std::string& reply) {
    service->answer("setup/retrievesetup.php", TestHttpResponse::text(reply));
    size_t asked = service->fieldsSentTo("setup/retrievesetup.php").size();
    ASSERT_TRUE(ui.tap("Restore a Backup")) << ui.screen();
    ASSERT_TRUE(service->waitForRequests("setup/retrievesetup.php", asked + 1));
  }
  static void addInstalled(const std::string& identifier, bool installed) {
    KVRPackage package;
    package.setIdentifier(identifier);
    package.setIsInstalled(installed);
    written(db()->write([&] { db()->add(package.toObject()); }));
  }
};

TEST_F(AccountScreenTest, TheHeaderAndTheSignInRowFollowTheAccount) {
  auto account = open();
  EXPECT_TRUE(ui.screenShows("(image: Avatar)\nAccount Name\nAccount Email\n")) << ui.screen();
  EXPECT_EQ(account->accountImageview()->layer().cornerRadius, 23) << "the artwork's corners";
  EXPECT_TRUE(ui.screenShows("0.1: Sign In\n"));

  // A name and a user id are an account, with or without a stored e-mail address.
  storeSignedIn(12);
  account = open(UIImage::imageNamed("iTunesArtwork.png"));
  EXPECT_EQ(account->accountImageview()->layer().cornerRadius, 45) << "an avatar's corners";
  EXPECT_TRUE(ui.screenShows("ann\nAccount Email\n")) << ui.screen();
  ASSERT_TRUE(ui.tap("Sign Out")) << ui.screen();
  EXPECT_FALSE(KVAccount::instance().returnUsername());
  EXPECT_TRUE(ui.screenShows("Account Name\nAccount Email\n")) << ui.screen();

  // Signed out, the row opens the sign-in, which closes into the account it signed in.
  service->addUser({7, "ann", "p&ss", "ann@example.org", "", "2", ""});
  ASSERT_TRUE(ui.tap("Sign In"));
  ASSERT_TRUE(ui.tap("Username")) << ui.screen();
  ASSERT_TRUE(ui.type("ann"));
  ASSERT_TRUE(ui.tap("Password"));
  ASSERT_TRUE(ui.type("p&ss"));
  ASSERT_TRUE(ui.tap("Login"));
  ASSERT_TRUE(eventually([&] { return ui.screenShows("ann\nann@example.org\n"); })) << ui.screen();
  EXPECT_EQ(navigation->presentedViewController(), nullptr);
  EXPECT_TRUE(ui.screenShows("0.1: Sign Out\n"));
}

TEST_F(AccountScreenTest, TheListsOpenTheirScreensOrSayTheyAreEmpty) {
  open();
  ASSERT_TRUE(ui.tap("Wishlist"));
  ASSERT_NO_FATAL_FAILURE(expectCard("Packages Wishlist", "There are no packages in your wishlist"));
  ASSERT_TRUE(ui.tap("Followed Developers"));
  ASSERT_NO_FATAL_FAILURE(expectCard("Followed Developers", "You are not following any developers"));
  addPackage("com.example.tool", true);
  addDeveloper("bob", true);
  for (const char* row : {"Wishlist", "Followed Developers", "Purchased Packages", "Commercial Sources"}) {
    ASSERT_TRUE(ui.tap(row)) << ui.screen();
    ASSERT_TRUE(ui.back());
  }
  ASSERT_TRUE(ui.scroll("bottom"));
  for (const char* row : {"Settings", "Credits", "Changelog"}) {
    ASSERT_TRUE(ui.tap(row)) << ui.screen();
    ASSERT_TRUE(ui.back());
  }
  EXPECT_EQ(screens->all(), (std::vector<std::string>{"wishlist", "followed", "list Purchased Packages", "stores",
                                                      "settings", "credits", "changelog"}));
}

TEST_F(AccountScreenTest, TheDownloadHistoryOfTheAccountOnlyOnSuccess) {
  open();
  ASSERT_TRUE(ui.tap("Downloads History"));
  ASSERT_NO_FATAL_FAILURE(expectCard("Download History", "You aren't logged in"));
  EXPECT_TRUE(service->fieldsSentTo("stats/" + Bundle::main().shortVersion() + "/stats.php").empty());

  storeSignedIn(7);
  std::string stats = "stats/" + Bundle::main().shortVersion() + "/stats.php";
  service->answer(stats, TestHttpResponse::text("<html>busy</html>", 503));
  ASSERT_TRUE(ui.tap("Downloads History"));
  ASSERT_TRUE(service->waitForRequests(stats, 1));
  RunLoop::main().runUntil([] { return false; }, 0.3);
  EXPECT_EQ(topTitle(), "Account") << "a failed read opens nothing";

  service->answer(stats, TestHttpResponse::json(R"(["com.example.a","com.example.b"])"));
  ASSERT_TRUE(ui.tap("Downloads History"));
  ASSERT_TRUE(eventually([&] { return topTitle() != "Account"; }));
  EXPECT_EQ(topTitle(), "list Downloads History com.example.a com.example.b");
}

TEST_F(AccountScreenTest, OutsidePagesOpenTheirApplicationWhenItIsThereElseTheBrowser) {
  open();
  ASSERT_TRUE(ui.scroll("bottom"));
  std::vector<std::pair<const char*, const char*>> pages = {
      {"Report an Issue", AccountPlistViewController::kGithubIssuesURL},
      {"Join the Discord Server", AccountPlistViewController::kDiscordInviteURL},
      {"Help Translate Quillbark", AccountPlistViewController::kCrowdinProjectURL},
      {"Follow on Twitter", AccountPlistViewController::kTwitterProfileURL},
      {"Website", AccountPlistViewController::kWebsiteURL},
      {"Support on Patreon", AccountPlistViewController::kPatreonURL}};
  for (const auto& [row, address] : pages) {
    ASSERT_TRUE(ui.tap(row)) << ui.screen();
    auto* browser = dynamic_cast<SFSafariViewController*>(ui.front());
    ASSERT_NE(browser, nullptr) << row;
    EXPECT_EQ(browser->url(), address);
    EXPECT_EQ(browser->modalPresentationStyle(), UIModalPresentationFormSheet);
    ASSERT_TRUE(ui.close());
  }
  UIApplication::sharedApplication().setInstalledURLSchemes({"discord", "twitter"});
  ASSERT_TRUE(ui.tap("Join the Discord Server"));
  ASSERT_TRUE(ui.tap("Follow on Twitter"));
  EXPECT_EQ(UIApplication::sharedApplication().openedURLs(),
            (std::vector<std::string>{AccountPlistViewController::kDiscordInviteURL,
                                      "twitter://user?screen_name=korvaleteam"}));
  EXPECT_EQ(navigation->presentedViewController(), nullptr);
}

// Without an account nothing is sent: the setup would be kept under the user id 0, one
// for every signed-out user.
TEST_F(AccountScreenTest, WithoutAnAccountTheBackupAndItsRestorationSendNothing) {
  open();
  ASSERT_TRUE(ui.tap("Backup Sources and Packages"));
  ASSERT_NO_FATAL_FAILURE(expectCard("Quillbark Setup Backup", "You aren't logged in"));
  ASSERT_TRUE(ui.tap("Restore a Backup"));
  ASSERT_NO_FATAL_FAILURE(expectCard("Quillbark Setup Restoration", "You aren't logged in"));
  EXPECT_TRUE(KVPipelineManager::sharedManager().tasksArray().empty());
  EXPECT_TRUE(service->fieldsSentTo("setup/retrievesetup.php").empty());
}

TEST_F(AccountScreenTest, AReplyThatIsNoSetupSaysSoAndOpensNothing) {
  storeSignedIn(7);
  open();
  const std::string unreadable = "There was an error during the backup retrieval, contact us or retry later.";
  for (const char* reply : {"Error", "[]", R"({"sources":"x"})", R"({"packages":["a",1]})", "<html>"}) {
    ASSERT_NO_FATAL_FAILURE(retrieve(reply));
    ASSERT_NO_FATAL_FAILURE(expectCard("Quillbark Setup Restoration", unreadable)) << reply;
  }
  ASSERT_NO_FATAL_FAILURE(retrieve(R"({"sources":[],"other":1})"));
  ASSERT_NO_FATAL_FAILURE(expectCard("Quillbark Setup Restoration", "This backup is empty"));
  service->answer("setup/retrievesetup.php", TestVendorService::droppedConnection());
  ASSERT_TRUE(ui.tap("Restore a Backup"));
  EXPECT_TRUE(eventually([&] { return ui.screenShows("Quillbark Setup Restoration\n"); })) << ui.screen();
  EXPECT_EQ(service->fieldsSentTo("setup/retrievesetup.php").back(),
            (TestVendorService::Fields{{"key", "Thornwake"}, {"userID", "7"}}));
  EXPECT_EQ(topTitle(), "Account");
}

// What the device lacks is chosen: unknown sources (under either scheme), packages not
// installed or not known at all, but not the device's own entries every device has; a
// location the typed check refuses is left out, and one listed twice is listed once.
TEST_F(AccountScreenTest, ASavedSetupOpensWithWhatTheDeviceLacksChosen) {
  storeSignedIn(7);
  written(db()->write([&] { db()->add(KVRSource::newSourceWithLocation("https://known.example/").toObject()); }));
  addInstalled("com.example.installed", true);
  addInstalled("com.example.removed", false);
  open();
  service->setSetup(7, {{"http://known.example/", "HTTPS://new.example", "https://new.example/", "file:///etc/apt/",
                         "http://bad example/"},
                        {"com.example.installed", "com.example.removed", "com.example.unknown", "com.example.removed",
                         "firmware", "cy+cpu.arm64"}});
  ASSERT_TRUE(ui.tap("Restore a Backup"));
  ASSERT_TRUE(eventually([&] { return topTitle() == "Setup Restoration"; })) << ui.screen();
  auto* restoration = dynamic_cast<QuillbarkSetupRestorationViewController*>(navigation->topViewController());
  ASSERT_NE(restoration, nullptr);
  EXPECT_EQ(restoration->sourcesToRestoreDict(),
            (KVRestoreChecklist{{"http://known.example/", false}, {"https://new.example/", true}}));
  EXPECT_EQ(restoration->packagesToRestoreDict(),
            (KVRestoreChecklist{{"com.example.installed", false}, {"com.example.removed", true},
                                {"com.example.unknown", true}, {"firmware", false}, {"cy+cpu.arm64", false}}));
  EXPECT_TRUE(ui.screenShows("Sources\nSelected (1)\ntable: 2 rows\n  0.0: http://known.example/\n"
                             "  0.1: https://new.example/ | | ✓\nPackages\nSelected (2)\n"))
      << ui.screen();

  // All there already: the backup is shown on request, with nothing chosen.
  ASSERT_TRUE(ui.back());
  service->setSetup(7, {{"https://known.example/"}, {"com.example.installed"}});
  ASSERT_TRUE(ui.tap("Restore a Backup"));
  ASSERT_TRUE(eventually([&] { return ui.screenShows("do you want to view the backup anyways?"); })) << ui.screen();
  ASSERT_TRUE(ui.tap("Show"));
  EXPECT_EQ(topTitle(), "Setup Restoration");
  EXPECT_TRUE(ui.screenShows("Selected (0)\ntable: 1 row\n  0.0: https://known.example/\n")) << ui.screen();
}

}  // namespace
