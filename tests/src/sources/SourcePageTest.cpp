// The source page and the new-source form: adding from the typed location, the page the
// refresh fills in, the payment row, the link buttons and what a page without its record
// refuses to do.
#include <gtest/gtest.h>

#include "account/KVKeychainBindings.h"
#include "sources/SourceViewController.h"
#include "support/FileSizeCeiling.h"
#include "support/SourceRefreshFixture.h"
#include "support/TestRoot.h"
#include "support/UIDriver.h"
#include "support/Written.h"
#include "uikit/UIApplication.h"
#include "uikit/UIButton.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIProgressView.h"
#include "uikit/UISwitch.h"

namespace {

class SourcePageTest : public SourceRefreshFixture {
 protected:
  std::shared_ptr<SourceViewController> open(std::optional<std::string> location) {
    auto page = std::make_shared<SourceViewController>(screenContext(), std::move(location), false);
    ui.show(std::make_shared<UINavigationController>(page));
    ui.runUntilIdle();
    return page;
  }
  // Types the location into the form's field and ends the edit.
  void enter(SourceViewController& page, const std::string& text) {
    page.sourceUrlTextField()->setText("");
    ASSERT_TRUE(ui.type(text)) << ui.screen();
    ASSERT_TRUE(ui.submit());
  }
  void change(const std::string& location, const std::function<void(KVRSource&)>& edit) {
    written(db()->write([&] {
      auto record = *source(location);
      edit(record);
      db()->addOrUpdate(record.toObject());
    }));
  }

  UIDriver ui;
};

TEST_F(SourcePageTest, TheFormAddsATrimmedLocationAndBecomesItsPage) {
  std::string location = serveIndex("typed", stanza("com.example.tool", "1.0"));
  auto page = open(std::nullopt);
  EXPECT_EQ(page->sourceNameLbl()->text(), "New Source");
  EXPECT_EQ(page->sourceUrlTextField()->text(), "https://");
  EXPECT_TRUE(page->sourceUrlTextField()->isFirstResponder()) << "the keyboard is up";

  // The test server speaks plain http: its warning is answered with Continue.
  std::string typed = "  " + location.substr(0, location.size() - 1) + " \n";
  enter(*page, typed);
  EXPECT_EQ(page->sourceUrlTextField()->text(), location) << "trimmed, with its final /";
  ASSERT_EQ(root->cards().size(), 1u);
  EXPECT_EQ(root->cards()[0].title, "Warning");
  EXPECT_FALSE(source(location)) << "nothing is added before the answer";
  root->cards()[0].otherAction();
  ASSERT_TRUE(waitForPipeline());
  ASSERT_TRUE(source(location));
  // The refresh's notice reaches the page on a later turn.
  RunLoop::main().runUntil([&] { return page->sourceLocation() == location; }, 30);
  EXPECT_EQ(page->sourceLocation(), location);
  EXPECT_NE(page->sourceNameLbl()->text(), "New Source") << ui.screen();
  EXPECT_EQ(page->sourceNumberOfPackagesLbl()->text(), "1");
  EXPECT_FALSE(page->sourceLastRepoRegenLbl()->text().empty());
}

// In the window the field keeps its "https://" and the keys add to it: a whole location
// typed after it takes its place, and one that can't be a source is refused for its own
// fault.
TEST_F(SourcePageTest, ALocationTypedAfterThePrefilledSchemeTakesItsPlace) {
  std::string location = serveIndex("typed", stanza("com.example.tool", "1.0"));
  auto page = open(std::nullopt);
  ASSERT_TRUE(ui.type(location)) << ui.screen();
  EXPECT_EQ(page->sourceUrlTextField()->text(), "https://" + location);
  ASSERT_TRUE(ui.submit());
  EXPECT_EQ(page->sourceUrlTextField()->text(), location);
  ASSERT_EQ(root->cards().size(), 1u) << ui.screen();
  EXPECT_EQ(root->cards()[0].title, "Warning") << "asked about plain http, as typed";
  root->cards()[0].otherAction();
  ASSERT_TRUE(waitForPipeline());
  EXPECT_TRUE(source(location));

  auto form = open(std::nullopt);
  ASSERT_TRUE(ui.type("ftp://repo.example/"));
  ASSERT_TRUE(ui.submit());
  EXPECT_TRUE(ui.screenShows("ftp://repo.example/ can't be added: a source location must begin with http:// or "
                             "https:// (not ftp://)."))
      << ui.screen();
}

TEST_F(SourcePageTest, LocationsWithoutHostOrOfAnotherSchemeAddNothing) {
  auto page = open(std::nullopt);
  for (const char* text : {"https://", "http://", "https:///path", "ftp://repo.example/", "file:///etc/"}) {
    enter(*page, text);
    EXPECT_TRUE(root->cards().empty()) << text;
    EXPECT_EQ(page->sourceLocation(), std::nullopt) << text;
    // What is no web location says why; the form's own start says nothing.
    bool told = ui.screenShows("can't be added: ");
    EXPECT_EQ(told, std::string(text).size() > 8) << text << "\n" << ui.screen();
    if (told) {
      ASSERT_TRUE(ui.tap("OK"));
    }
  }
  enter(*page, "file:///etc/");
  EXPECT_TRUE(ui.screenShows("file:///etc/ can't be added: a source location must begin with http:// or https:// "
                             "(not file://)."))
      << ui.screen();
  EXPECT_TRUE(KVRSource::allObjects().empty());
}

TEST_F(SourcePageTest, APageKeepsItsLocationWhenTheAddIsRefused) {
  std::string location = serveIndex("kept", stanza("com.example.tool", "1.0"));
  ASSERT_TRUE(refresh(location));
  auto page = open(location);
  enter(*page, location.substr(0, location.size() - 1));  // the same source again
  EXPECT_EQ(page->sourceLocation(), location);
  enter(*page, "https://");
  EXPECT_EQ(page->sourceLocation(), location);
  EXPECT_EQ(page->sourceNameLbl()->text(), source(location)->name().value_or(""));
}

// The page's own Refresh shows its progress while it runs and its outcome after; a
// failed one says why on the page.
TEST_F(SourcePageTest, RefreshShowsItsProgressAndOutcome) {
  std::string location = serveIndex("page", stanza("com.example.tool", "1.0"));
  ASSERT_TRUE(refresh(location));
  auto page = open(location);
  EXPECT_TRUE(page->tasksProgressBar()->isHidden());
  const std::string before = page->refreshStatusLbl()->text();
  ASSERT_TRUE(ui.tap("Refresh")) << ui.screen();
  EXPECT_FALSE(page->tasksProgressBar()->isHidden());
  // The page's first words ("Refreshing <location>...") or, on a busy machine, a later
  // step's status may show when the tap returns: a step, not the outcome.
  const std::string status = page->refreshStatusLbl()->text();
  EXPECT_NE(status, before);
  EXPECT_FALSE(status.rfind("Refreshed", 0) == 0 || status.rfind("Refresh failed", 0) == 0) << status;
  ASSERT_TRUE(waitForPipeline());
  EXPECT_TRUE(page->tasksProgressBar()->isHidden());
  EXPECT_EQ(page->refreshStatusLbl()->text(), "Refreshed just now.");

  server.respond("/page/Release", TestHttpResponse::text("", 404));
  ASSERT_TRUE(ui.tap("Refresh"));
  ASSERT_TRUE(waitForPipeline());
  EXPECT_EQ(page->refreshStatusLbl()->text(), "Refresh failed: The server responded with invalid data.");
  EXPECT_EQ(page->sourceNameLbl()->text(), "Invalid Source");
  EXPECT_EQ(page->sourceDescriptionLbl()->text().rfind("The server responded with invalid data.\nThere were errors", 0), 0u)
      << page->sourceDescriptionLbl()->text();
}

TEST_F(SourcePageTest, StatusOrganisationAndPaymentRow) {
  std::string location = serveIndex("shown", stanza("com.example.tool", "1.0"));
  ASSERT_TRUE(refresh(location));
  change(location, [](KVRSource& s) {
    s.setCategory(std::string("Default"));
    s.setMaintainer(std::nullopt);
    s.setContact(std::string("owner@repo.example"));
    s.setEndpoint(std::string("https://pay.example/"));
  });
  auto page = open(location);
  EXPECT_EQ(page->topSourceStatusLbl()->text(), "DEFAULT REPOSITORY");
  EXPECT_EQ(page->sourceStatusLbl()->text(), "Default Repository");
  ASSERT_TRUE(page->verifiedIcon()->image());
  EXPECT_EQ(page->sourceOrganisationLbl()->text(), "owner@repo.example");
  EXPECT_FALSE(page->repoStoreContainer()->isHidden());
  EXPECT_EQ(page->repoStoreContainerHeight(), 25);
  EXPECT_EQ(page->repoStoreLogInOutButton()->currentTitle(), "Login");
  EXPECT_FALSE(page->repoStorePurchasedButton()->isEnabled());
  EXPECT_EQ(page->repoStorePurchasedButton()->alpha(), 0.5);

  change(location, [](KVRSource& s) { s.setHasErrors(true); });
  NotificationCenter::defaultCenter().post(KVRSourceUpdatedNotification, Value(location));
  ui.runUntilIdle();
  EXPECT_EQ(page->sourceNameLbl()->text(), "Invalid Source");
}

TEST_F(SourcePageTest, LinksAreEncodedAndMissingOnesSaySo) {
  std::string location = serveIndex("links", stanza("com.example.tool", "1.0"));
  ASSERT_TRUE(refresh(location));
  change(location, [](KVRSource& s) {
    s.setDonateLink(std::string(""));
    s.setTwitterLink(std::string("https://twitter.example/some%20one"));
    s.setContact(std::string("a&b@repo.example?x=1"));
  });
  auto page = open(location);
  ASSERT_TRUE(ui.tap("Donate"));
  EXPECT_TRUE(ui.screenShows("No Donation Link")) << ui.screen();
  ui.tap("OK");
  UIApplication::sharedApplication().setInstalledURLSchemes({"twitter"});
  ASSERT_TRUE(ui.tap("Twitter"));
  ASSERT_TRUE(ui.tap("E-mail"));
  auto opened = UIApplication::sharedApplication().openedURLs();
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0], "twitter://user?screen_name=some%20one");
  EXPECT_EQ(opened[1], "mailto:a%26b@repo.example%3Fx%3D1?subject=Regarding%20Quill%20source");
}

TEST_F(SourcePageTest, WithoutItsRecordThePageRefusesRefreshShareAndSwitches) {
  auto page = open(std::string("https://gone.example/"));
  ui.toggle("Follow this repository");
  page->refreshSource();
  page->shareSource(nullptr);
  EXPECT_TRUE(KVRSource::allObjects().empty()) << "no record was made by a switch";
  EXPECT_EQ(page->sourceNameLbl()->text(), "New Source");

  std::string location = serveIndex("switches", stanza("com.example.tool", "1.0"));
  ASSERT_TRUE(refresh(location));
  auto real = open(location);
  ASSERT_TRUE(ui.toggle("See original depictions"));
  EXPECT_TRUE(source(location)->seeOriginalDepictions().value_or(false));
}

// A switch whose write the disk refuses keeps nothing: the switch shows the record again
// and a card says why.
TEST_F(SourcePageTest, ASwitchTheDiskRefusesShowsWhyAndKeepsNothing) {
  std::string location = serveIndex("full", stanza("com.example.tool", "1.0"));
  ASSERT_TRUE(refresh(location));
  auto page = open(location);
  {
    // No file of this process may grow past its first byte: every write of the
    // database's files fails as on a full disk.
    FileSizeCeiling full(1);
    ASSERT_TRUE(ui.toggle("Follow this repository"));
  }
  EXPECT_FALSE(page->followThisRepositorySwitch()->isOn());
  EXPECT_TRUE(ui.screenShows("The change to this source could not be saved")) << ui.screen();
  ASSERT_TRUE(ui.tap("OK"));
  EXPECT_FALSE(source(location)->isFollowed().value_or(false));
  // Room again: the same switch is kept, and shown again when the page reappears.
  ASSERT_TRUE(ui.toggle("Follow this repository"));
  EXPECT_TRUE(source(location)->isFollowed().value_or(false));
  page->viewWillAppear(false);
  EXPECT_TRUE(page->followThisRepositorySwitch()->isOn());
}

}  // namespace
