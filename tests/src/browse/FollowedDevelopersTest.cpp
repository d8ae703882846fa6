// The followed developers, opened from the account button of the first tab with the vendor's directory played
// on 127.0.0.1: rows in the order the lookups answer, each the profile of exactly the
// followed name, a name too short to search listed as it is stored, the unfollow button,
// a rebuild that answers late, and the taps that open a page or the search tab.
#include <gtest/gtest.h>

#include "account/KVSearchDeveloper.h"
#include "browse/DeveloperDetailsViewController.h"
#include "browse/FollowedDevelopersViewController.h"
#include "database/KVRDeveloper.h"
#include "database/KVRDevelopers.h"
#include "interface/KVTabBarController.h"
#include "support/SourceRefreshFixture.h"
#include "support/TestData.h"
#include "support/TestVendorService.h"
#include "support/UIDriver.h"
#include "uikit/UIImageView.h"
#include "uikit/UINavigationController.h"

namespace {

class FollowedDevelopersTest : public SourceRefreshFixture {
 protected:
  void SetUp() override {
    SourceRefreshFixture::SetUp();
    KVSearchDeveloper::instance().resetForTesting();
  }
  void follow(const std::string& name) { ASSERT_EQ(KVRDevelopers::setDeveloperNow(name, true), nullptr); }
  static bool followed(const std::string& name) {
    auto row = KVRDeveloper::objectsWhere("name = %@", name).first();
    return row && row->isFollowed();
  }
  // The account button's entry, as a person reaches the screen.
  FollowedDevelopersViewController* open() {
    tabs = root->tabBar();
    ui.show(tabs);
    EXPECT_TRUE(ui.tap("Account")) << ui.screen();
    EXPECT_TRUE(ui.tap("Followed Developers")) << ui.screen();
    return dynamic_cast<FollowedDevelopersViewController*>(ui.front());
  }
  static std::vector<std::string> names(const FollowedDevelopersViewController& screen) {
    std::vector<std::string> out;
    for (const auto& profile : screen.followedDevelopersArray()) out.push_back(profile.fullName.value_or(""));
    return out;
  }
  bool waitFor(const std::function<bool()>& condition) { return RunLoop::main().runUntil(condition, 20); }

  TestVendorService service;
  UIDriver ui;
  std::shared_ptr<KVTabBarController> tabs;
};

TEST_F(FollowedDevelopersTest, RowsComeInAnswerOrderWithTheExactProfiles) {
  QB_TESTDATA_OR_SKIP(avatar, "repos/nepeta/CydiaIcon.png");
  server.serveFolder(Files::deletingLastPathComponent(avatar), "/avatars/");
  const std::string avatarURL = server.url("/avatars/CydiaIcon.png");
  // The search matches every name holding the text, and lists the fan first.
  service.addDeveloper(Value::dict({{"developer", "Nepeta Fan"}, {"twitter", "fan"}}));
  service.addDeveloper(Value::dict({{"developer", "Nepeta"}, {"avatar", avatarURL}, {"twitter", "nepeta_dev"}}));
  service.addDeveloper(Value::dict({{"developer", "RootHide"}, {"avatar", avatarURL}}));
  follow("nepeta");
  follow("RootHide");
  follow("ab");
  preferences().setObject(Value(true), "NewPackagesByFollowedDevelopers");
  service.hold("developers/devs.php", "nepeta");
  service.hold("developers/devs.php", "roothide");

  auto* screen = open();
  ASSERT_TRUE(screen) << ui.screen();
  EXPECT_FALSE(preferences().boolForKey("NewPackagesByFollowedDevelopers"));
  ASSERT_TRUE(service.server().waitForRequests("/quillapi/developers/devs.php", 2));
  EXPECT_EQ(names(*screen), std::vector<std::string>{"ab"}) << "too short to search: listed as stored";
  service.release("developers/devs.php", "nepeta");
  ASSERT_TRUE(waitFor([&] { return screen->followedDevelopersArray().size() == 2; }));
  service.release("developers/devs.php", "roothide");
  ASSERT_TRUE(waitFor([&] { return screen->followedDevelopersArray().size() == 3; }));
  EXPECT_EQ(names(*screen), (std::vector<std::string>{"ab", "Nepeta", "RootHide"}));
  // A row is shown once its avatar is there.
  ASSERT_TRUE(waitFor([&] { return screen->developersAvatarDictionary().size() == 3; }));
  EXPECT_TRUE(ui.screenShows("0.1: Nepeta | @nepeta_dev | [Unfollow Nepeta] >")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("0.2: RootHide | | [Unfollow RootHide] >")) << ui.screen();
  EXPECT_EQ(screen->developersAvatarDictionary().at("ab")->name(), "iTunesArtwork.png");

  // A known developer opens the page with the row's profile and avatar; coming back
  // rebuilds the list without fetching an avatar again.
  ASSERT_TRUE(ui.tap("Nepeta")) << ui.screen();
  ASSERT_TRUE(waitFor([&] { return dynamic_cast<DeveloperDetailsViewController*>(ui.front()) != nullptr; }));
  auto* page = dynamic_cast<DeveloperDetailsViewController*>(ui.front());
  EXPECT_EQ(page->developerProfile().fullName, "Nepeta");
  EXPECT_EQ(page->avatar()->image(), screen->developersAvatarDictionary().at("Nepeta"));
  ASSERT_TRUE(ui.back());
  ASSERT_TRUE(waitFor([&] { return screen->followedDevelopersArray().size() == 3; }));
  EXPECT_EQ(server.requestCount("/avatars/CydiaIcon.png"), 1u);

  // A name the directory cannot find goes to the search tab, which searches it.
  ASSERT_TRUE(ui.tap("ab"));
  EXPECT_EQ(tabs->selectedIndex(), static_cast<long>(KVTab::Search));
  EXPECT_TRUE(ui.screenShows("Repositories\": ab")) << "its bar holds the name: " << ui.screen();
  EXPECT_EQ(preferences().stringForKey("SearchDeveloper"), "") << "searched once";
  EXPECT_EQ(service.violations(), std::vector<std::string>{});
}

TEST_F(FollowedDevelopersTest, UnfollowingFromARowRebuildsOnceWrittenAndLateAnswersAreDropped) {
  service.addDeveloper(Value::dict({{"developer", "Nepeta Fan"}}));
  service.addDeveloper(Value::dict({{"developer", "Nepeta"}}));
  service.addDeveloper(Value::dict({{"developer", "RootHide"}}));
  follow("nepeta");
  follow("roothide");
  auto* screen = open();
  ASSERT_TRUE(screen);
  ASSERT_TRUE(waitFor([&] { return screen->followedDevelopersArray().size() == 2; }));

  // The button unfollows the name as stored, never the fan the search also found.
  ASSERT_TRUE(ui.tap("Unfollow Nepeta")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("Unfollowed")) << ui.screen();
  ASSERT_TRUE(waitFor([&] {
    ui.advance(0.3);
    return names(*screen) == std::vector<std::string>{"RootHide"};
  })) << ui.screen();
  EXPECT_FALSE(followed("nepeta"));
  EXPECT_TRUE(followed("roothide"));
  EXPECT_TRUE(KVRDeveloper::objectsWhere("name = %@", "nepeta fan").empty());

  // A rebuild whose lookup answers late, after the developer was unfollowed and the
  // list rebuilt: the late answer brings nobody back.
  follow("nepeta");
  service.hold("developers/devs.php", "roothide");
  screen->setContent();
  ASSERT_TRUE(waitFor([&] { return names(*screen) == std::vector<std::string>{"Nepeta"}; }));
  ASSERT_EQ(KVRDevelopers::setDeveloperNow("roothide", false), nullptr);
  screen->setContent();
  ASSERT_TRUE(waitFor([&] { return names(*screen) == std::vector<std::string>{"Nepeta"}; }));
  service.release("developers/devs.php", "roothide");
  ASSERT_TRUE(waitFor([] {
    auto last = KVSearchDeveloper::instance().developers();
    return last && !last->empty() && last->front().fullName == "RootHide";
  }));
  ui.runUntilIdle();
  EXPECT_EQ(names(*screen), std::vector<std::string>{"Nepeta"});

  // Nobody left: back to the tab's root.
  ASSERT_EQ(KVRDevelopers::setDeveloperNow("nepeta", false), nullptr);
  screen->setContent();
  ui.runUntilIdle();
  EXPECT_TRUE(ui.screenShows("title: Featured")) << ui.screen();
}

}  // namespace
