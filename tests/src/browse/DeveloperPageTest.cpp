// The developer page and a developer's packages over real repositories served on
// 127.0.0.1 and refreshed, with the vendor's directory played: the links in their order,
// the packages of exactly the developer's name, the repository row that adds the source,
// the mail link, following, and a profile with nothing to show.
#include <gtest/gtest.h>

#include "browse/AllDevPackagesViewController.h"
#include "browse/DeveloperDetailsViewController.h"
#include "database/KVRDevelopers.h"
#include "foundation/Files.h"
#include "support/FileSizeCeiling.h"
#include "support/RecordingScreens.h"
#include "support/SourceRefreshFixture.h"
#include "support/TestData.h"
#include "support/TestVendorService.h"
#include "support/UIDriver.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIApplication.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"

namespace {

class DeveloperPageTest : public SourceRefreshFixture {
 protected:
  // A repository of the shared data, served at /NAME/.
  std::string serve(const std::string& folder, const std::string& name) {
    server.serveFolder(folder, "/" + name + "/");
    return server.url("/" + name + "/");
  }
  std::shared_ptr<DeveloperDetailsViewController> open(const KVDeveloperProfile& profile, bool modal = false) {
    auto page = std::make_shared<DeveloperDetailsViewController>(screenContext(), profile, nullptr, modal);
    auto navigation = std::make_shared<UINavigationController>(page);
    if (!modal) {
      ui.show(navigation);
    } else {
      ui.show(std::make_shared<UIViewController>());
      ui.window().rootViewController()->presentViewController(navigation, false);
    }
    ui.runUntilIdle();
    return page;
  }
  // The information rows as the screen reads.
  std::string rows() {
    std::string screen = ui.screen();
    size_t start = screen.find("Information\n"), end = screen.find("Packages by");
    return start == std::string::npos ? "" : screen.substr(start + 12, end - start - 12);
  }
  bool waitFor(const std::function<bool()>& condition) { return RunLoop::main().runUntil(condition, 20); }

  TestVendorService service;
  UIDriver ui;
};

TEST_F(DeveloperPageTest, PoomSmartsLinksPackagesMailFollowAndRepository) {
  QB_TESTDATA_OR_SKIP(poomsmart, "repos/poomsmart/repo");
  QB_TESTDATA_OR_SKIP(nepeta, "repos/nepeta");
  const std::string nepetaLocation = serve(nepeta, "nepeta");
  ASSERT_TRUE(refresh(serve(poomsmart, "poomsmart")));
  KVDeveloperProfile profile;
  profile.fullName = "PoomSmart";
  profile.biography = "Tweaks for the camera.";
  profile.location = "Bangkok";
  profile.email = "poom+smart&co@example.org";
  profile.avatarURL = server.url("/nepeta/CydiaIcon.png");
  profile.repository = nepetaLocation;
  auto page = open(profile);

  EXPECT_EQ(rows(),
            "table: 3 rows\n  0.0: Location: Bangkok\n  0.1: Add developer repository | | >\n"
            "  0.2: Contact by email | | >\n");
  EXPECT_EQ(page->informationsTableViewHeightConstraint()->constant(), 131);
  ASSERT_TRUE(waitFor([&] { return page->avatar()->image() != nullptr; }));
  EXPECT_EQ(page->avatar()->image()->size(), UIImage::imageWithContentsOfFile(nepeta + "/CydiaIcon.png")->size());
  EXPECT_FALSE(page->bioLbl()->isHidden());

  // Two rows of the exact maintainer's packages; the whole list, by name, on see-all.
  ASSERT_GT(page->devPackages().size(), 2u);
  for (const auto& identifier : page->devPackages()) EXPECT_EQ(package(identifier)->maintainer(), "PoomSmart");
  EXPECT_EQ(page->pkgByThisDevTableView()->numberOfRowsInSection(0), 2);
  EXPECT_EQ(page->pkgByThisDevTableViewHeightConstraint()->constant(), 140);
  ASSERT_TRUE(ui.tap("See All")) << ui.screen();
  auto all = dynamic_cast<AllDevPackagesViewController*>(page->lastPushed().get());
  ASSERT_TRUE(all) << ui.screen();
  EXPECT_TRUE(ui.screenShows("title: PoomSmart's Packages")) << ui.screen();
  EXPECT_EQ(all->packages().size(), page->devPackages().size());
  std::vector<std::string> byName;
  for (const Value& v : KVRPackage::objectsWhere("maintainer = %@", "PoomSmart").sorted("name").valuesForKey("identifier"))
    byName.push_back(v.asString());
  EXPECT_EQ(all->packages(), byName);
  EXPECT_NE(page->devPackages(), byName) << "the page keeps the database's order, the list sorts";
  ASSERT_TRUE(ui.back());

  // The address goes into the mail link encoded: "&" would start another field.
  ASSERT_TRUE(ui.tap("Contact by email"));
  EXPECT_EQ(UIApplication::sharedApplication().openedURLs().back(),
            "mailto:poom+smart%26co@example.org?subject=Question%20from%20Quillbark%205");

  // Follow, then Unfollow: each flashes its confirmation and is written.
  auto& developers = *screenContext().developers;
  ASSERT_TRUE(ui.tap("Follow"));
  EXPECT_TRUE(ui.screenShows("Followed")) << ui.screen();
  ui.advance(0.2);
  EXPECT_FALSE(ui.screenShows("Followed")) << "the confirmation only flashes";
  EXPECT_TRUE(ui.screenShows("[Unfollow]"));
  EXPECT_TRUE(waitFor([&] { return developers.isDeveloperFollowed("poomsmart"); }));
  ASSERT_TRUE(ui.tap("Unfollow"));
  EXPECT_TRUE(ui.screenShows("Unfollowed"));
  ui.advance(0.2);
  EXPECT_TRUE(ui.screenShows("[Follow]"));
  EXPECT_TRUE(waitFor([&] { return !developers.isDeveloperFollowed("poomsmart"); }));

  // The repository: plain http is warned about, then it is added and refreshed; asked
  // again, it is there already.
  ASSERT_TRUE(ui.tap("Add developer repository"));
  ASSERT_EQ(root->cards().size(), 1u);
  EXPECT_EQ(root->cards()[0].title, "Warning");
  EXPECT_EQ(root->cards()[0].otherTitle, "Continue");
  root->cards()[0].otherAction();
  ASSERT_TRUE(server.waitForRequests("/nepeta/Release", 1));
  EXPECT_TRUE(waitForPipeline());
  EXPECT_TRUE(source(nepetaLocation));
  ASSERT_TRUE(ui.tap("Add developer repository"));
  EXPECT_TRUE(ui.screenShows("Source Error")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("The source specified by PoomSmart has already been configured on your device."));
  EXPECT_EQ(service.violations(), std::vector<std::string>{});
}

TEST_F(DeveloperPageTest, RootHideListsOnlyItsOwnSpelling) {
  QB_TESTDATA_OR_SKIP(procursus, "repos/procursus-mirror");
  ASSERT_TRUE(refresh(serve(procursus, "procursus")));
  ASSERT_GT(KVRPackage::objectsWhere("maintainer = %@", "roothide").count(), 0u) << "both spellings are there";
  KVDeveloperProfile profile;
  profile.fullName = "RootHide";
  profile.biography = "Hides the root.";
  profile.location = "Somewhere";
  profile.email = "roothide@example.org";
  auto page = open(profile);
  EXPECT_EQ(rows(), "table: 2 rows\n  0.0: Location: Somewhere\n  0.1: Contact by email | | >\n");
  EXPECT_EQ(page->informationsTableViewHeightConstraint()->constant(), 87);
  EXPECT_EQ(page->devPackages().size(), KVRPackage::objectsWhere("maintainer = %@", "RootHide").count());
  EXPECT_EQ(page->pkgByThisDevTableView()->numberOfRowsInSection(0), 2);
  ASSERT_TRUE(ui.tap("See All"));
  auto all = dynamic_cast<AllDevPackagesViewController*>(page->lastPushed().get());
  ASSERT_TRUE(all);
  EXPECT_EQ(all->packages().size(), page->devPackages().size());
  for (const auto& identifier : all->packages()) EXPECT_EQ(package(identifier)->maintainer(), "RootHide");
}

TEST_F(DeveloperPageTest, AProfileWithoutLinksOrPackagesPresentedByALink) {
  KVDeveloperProfile profile;
  profile.fullName = "Nobody Here";
  auto page = open(profile, true);
  EXPECT_EQ(page->informationsTableViewHeightConstraint()->constant(), 0) << "an empty table takes no room";
  EXPECT_TRUE(page->bioLbl()->isHidden());
  EXPECT_FALSE(page->noPackagesLbl()->isHidden());
  EXPECT_TRUE(page->seeAllPkgByThisDevBtn()->isHidden());
  EXPECT_TRUE(page->pkgByThisDevTableView()->isHidden());
  EXPECT_EQ(page->avatar()->image()->name(), "iTunesArtwork.png");
  ASSERT_TRUE(ui.tap("Close")) << ui.screen();
  EXPECT_EQ(ui.window().rootViewController()->presentedViewController(), nullptr);

  // A bare handle is looked up on the network's site; an address opens as it is.
  auto screens = root->recordScreens();
  KVScreenContext context = screenContext();
  context.screens = screens;
  profile.twitter = "somebody";
  profile.homepage = "https://example.org/home";
  profile.github = "https://git.example.org/somebody";
  ui.show(std::make_shared<UINavigationController>(
      std::make_shared<DeveloperDetailsViewController>(context, profile, nullptr, false)));
  for (const char* row : {"Go to Twitter profile", "Visit website", "Visit GitHub page"}) {
    ASSERT_TRUE(ui.tap(row)) << ui.screen();
    ASSERT_TRUE(ui.back());
  }
  profile.twitter = "http://social.example.org/somebody";
  ui.show(std::make_shared<UINavigationController>(
      std::make_shared<DeveloperDetailsViewController>(context, profile, nullptr, false)));
  ASSERT_TRUE(ui.tap("Go to Twitter profile"));
  EXPECT_EQ(screens->opened(), (std::vector<std::string>{"page https://twitter.com/somebody | Twitter",
                                                         "page https://example.org/home | Website",
                                                         "page https://git.example.org/somebody | GitHub",
                                                         "page http://social.example.org/somebody | Twitter"}));
}

// A follow the disk refuses has flashed "Followed" already: a card says it was not kept.
TEST_F(DeveloperPageTest, AFollowTheDiskRefusesSaysSoOnACard) {
  KVDeveloperProfile profile;
  profile.fullName = "Nobody Here";
  open(profile);
  {
    FileSizeCeiling full(1);  // every write of the database's files fails, as on a full disk
    ASSERT_TRUE(ui.tap("Follow")) << ui.screen();
    DispatchQueue::drainGlobalQueues();
    waitFor([&] { return !root->cards().empty(); });
  }
  ASSERT_EQ(root->cards().size(), 1u);
  EXPECT_EQ(root->cards()[0].message.rfind("Nobody Here could not be followed: ", 0), 0u) << root->cards()[0].message;
  EXPECT_FALSE(screenContext().developers->isDeveloperFollowed("nobody here"));
}

}  // namespace
