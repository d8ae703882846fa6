// The news and the credits against the played vendor service with real PNG pictures: a
// banner that loads, one that is not there and one whose address is no address; the list
// shown again during a slow fetch; the credits' avatars, shared by two entries of one
// name, and a tap that opens a developer only on its own search's success.
#include "AccountScreensFixture.h"
#include "account/CreditsViewController.h"
#include "account/KVVendorService.h"
#include "account/NewsDetailsViewController.h"
#include "account/NewsViewController.h"
#include "support/IconFixtures.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIApplication.h"
#include "uikit/UIImage.h"
#include "uikit/UIImageView.h"
#include "uikit/UIScreen.h"

namespace {

Value news(const std::string& title, const std::string& banner) {
  return Value::dict({{"title", title}, {"author", "Ann"}, {"date", "2024-05-01"}, {"banner", banner},
                      {"content", title + " in full."}});
}

class NewsCreditsTest : public AccountScreensFixture {
 protected:
  // The entry's page, opened from its row, once its banner has been put in place.
  NewsDetailsViewController* openEntry(const std::string& title) {
    if (!ui.tap(title)) return nullptr;
    auto* page = dynamic_cast<NewsDetailsViewController*>(ui.front());
    if (!page || !eventually([&] { return page->imageView()->image() != nullptr; })) return nullptr;
    return page;
  }
};

TEST_F(NewsCreditsTest, TheNewsListAndEachEntrysPageWithItsBannerOrTheDefaultOne) {
  std::string png = service->addImage("banner.png", IconFixtures::bytes("package-icon.png"));
  service->setNews(Value::array({news("Loaded", png), news("Missing", service->server().url("/images/gone.png")),
                                 news("Nowhere", "not an address")}));
  UIApplication::sharedApplication().setApplicationIconBadgeNumber(5);
  show<NewsViewController>();
  EXPECT_EQ(UIApplication::sharedApplication().applicationIconBadgeNumber(), 0);
  ASSERT_TRUE(eventually([&] { return ui.screenShows("table: 3 rows"); })) << ui.screen();
  EXPECT_TRUE(ui.screenShows("title: News\n")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("  0.0: Loaded | by Ann · 2024-05-01\n  0.1: Missing"));

  auto* page = openEntry("Loaded");
  ASSERT_NE(page, nullptr) << ui.screen();
  EXPECT_TRUE(ui.screenShows("Loaded\nby Ann\n2024-05-01\n(image: Banner)\nLoaded in full.")) << ui.screen();
  EXPECT_EQ(page->imageView()->image()->size().width, 60) << "the served PNG";
  EXPECT_DOUBLE_EQ(page->imageViewHeightConstraint()->constant(), (UIScreen::mainScreen().bounds().width() - 32) / 1.78);
  EXPECT_EQ(page->imageView()->layer().cornerRadius, 20);
  ASSERT_TRUE(ui.tap("Close"));
  for (const char* title : {"Missing", "Nowhere"}) {
    page = openEntry(title);
    ASSERT_NE(page, nullptr) << title << ui.screen();
    EXPECT_EQ(page->imageView()->image()->name(), NewsDetailsViewController::kDefaultBanner) << title;
    EXPECT_TRUE(ui.screenShows("(image: Default banner)")) << ui.screen();
    ASSERT_TRUE(ui.swipe("right"));
    EXPECT_EQ(navigation->presentedViewController(), nullptr) << "a right swipe closes it";
  }
}

// Each appearance empties the list, on screen too, and fetches again; answers that cross
// show the list once.
TEST_F(NewsCreditsTest, TheListShownAgainDuringASlowFetchShowsEachEntryOnce) {
  TestHttpResponse slow = TestHttpResponse::json(Value::array({news("One", ""), news("Two", "")}).toJSON());
  slow.delay = std::chrono::milliseconds(300);
  service->answer("news/retrievenews.php", slow);
  auto list = show<NewsViewController>();
  navigation->pushViewController(std::make_shared<UIViewController>(), false);
  ASSERT_TRUE(ui.back());
  EXPECT_TRUE(ui.screenShows("table: 0 rows")) << ui.screen();
  ASSERT_TRUE(service->waitForRequests("news/retrievenews.php", 2));
  ASSERT_TRUE(eventually([&] { return ui.screenShows("table: 2 rows"); })) << ui.screen();
  RunLoop::main().runUntil([] { return false; }, 0.4);
  EXPECT_EQ(list->newsArray().size(), 2u);
  EXPECT_TRUE(ui.screenShows("table: 2 rows\n  0.0: One")) << ui.screen();

  service->answer("news/retrievenews.php", TestHttpResponse::text("<html>down</html>", 500));
  navigation->pushViewController(std::make_shared<UIViewController>(), false);
  ASSERT_TRUE(ui.back());
  ASSERT_TRUE(eventually([&] { return ui.screenShows("News Retrieval\nThere was an error during the news retrieval: "); }))
      << ui.screen();
  ASSERT_TRUE(ui.tap("OK"));
  EXPECT_TRUE(ui.screenShows("table: 0 rows")) << "a failed fetch leaves the list empty";
  // Not blank: it says why, and asks again.
  EXPECT_TRUE(ui.screenShows("The news could not be loaded: ")) << ui.screen();
  service->answer("news/retrievenews.php", TestHttpResponse::json(Value::array({news("Three", "")}).toJSON()));
  ASSERT_TRUE(ui.tap("Try Again"));
  ASSERT_TRUE(eventually([&] { return ui.screenShows("table: 1 row\n  0.0: Three"); })) << ui.screen();
  EXPECT_FALSE(ui.screenShows("Try Again"));
}

TEST_F(NewsCreditsTest, AvatarsFillInAndATapOpensTheDeveloperOnlyOnItsOwnSearchsSuccess) {
  std::string avatar = service->addImage("ann.png", IconFixtures::bytes("package-icon.png"), std::chrono::milliseconds(200));
  service->setCredits(Value::array(
      {Value::dict({{"name", "Ann Example"}, {"avatarURL", avatar}, {"username", "ann example"}, {"description", "Code"}}),
       Value::dict({{"name", "Bob"}, {"username", "bob"}, {"description", "No picture"}}),
       Value::dict({{"name", "Carl"}, {"avatarURL", service->server().url("/images/gone.png")}, {"username", "al"},
                    {"description", "A lost picture"}}),
       Value::dict({{"name", "Ann Example"}, {"avatarURL", avatar}, {"username", "ann example"},
                    {"description", "Design"}})}));
  service->addDeveloper(Value::dict({{"developer", "Ann Example"}}));
  auto credits = show<CreditsViewController>();
  ASSERT_TRUE(eventually([&] { return ui.screenShows("table: 4 rows"); })) << ui.screen();
  EXPECT_TRUE(ui.screenShows("title: Credits\n"));
  EXPECT_TRUE(ui.screenShows("  0.0: Ann Example | Code | >\n  0.1: Bob | No picture | >\n")) << ui.screen();
  ASSERT_TRUE(eventually([&] { return credits->avatarDictionary().size() == 2; }));
  EXPECT_EQ(credits->avatarDictionary().at("Ann Example")->size().width, 60);
  EXPECT_EQ(credits->avatarDictionary().at("Carl")->name(), "iTunesArtwork.png") << "a lost picture";
  EXPECT_EQ(service->server().requestCount("/images/ann.png"), 1u) << "one avatar for one name";
  ui.runUntilIdle();

  ASSERT_TRUE(ui.tap("Ann Example"));
  ASSERT_TRUE(eventually([&] { return screens->opened().size() == 1; }));
  EXPECT_EQ(screens->opened(), std::vector<std::string>{"developer Ann Example"});
  EXPECT_EQ(credits->developerPage().get(), navigation->topViewController());
  ASSERT_TRUE(ui.back());

  // A failed search, a search that finds nobody and a name too short to search open
  // nothing, not the developer the last search found.
  service->answer("developers/devs.php", TestHttpResponse::text("busy", 503));
  ASSERT_TRUE(ui.tap("0.3"));
  ASSERT_TRUE(ui.tap("Bob"));
  ASSERT_TRUE(ui.tap("Carl"));
  ASSERT_TRUE(service->waitForRequests("developers/devs.php", 3));
  RunLoop::main().runUntil([] { return false; }, 0.3);
  EXPECT_EQ(screens->opened().size(), 1u);
  EXPECT_EQ(navigation->topViewController(), credits.get());
  ASSERT_TRUE(ui.swipe("right"));
}

// With the service out of reach the credits say why and offer to ask again, which
// reads them once the service answers.
TEST_F(NewsCreditsTest, CreditsOutOfReachSayWhyAndAskAgain) {
  service->setCredits(Value::array({Value::dict({{"name", "Bob"}, {"username", "bob"}, {"description", "Code"}})}));
  KVVendorService::setServiceBaseURL(TestHttpServer::closedBaseURL());
  show<CreditsViewController>();
  ASSERT_TRUE(eventually([&] { return ui.screenShows("[Try Again]"); })) << ui.screen();
  EXPECT_TRUE(ui.screenShows("The credits could not be loaded: ")) << ui.screen();
  KVVendorService::setServiceBaseURL(service->server().baseURL());
  ASSERT_TRUE(ui.tap("Try Again"));
  ASSERT_TRUE(eventually([&] { return ui.screenShows("0.0: Bob | Code | >"); })) << ui.screen();
  EXPECT_FALSE(ui.screenShows("Try Again"));
}

}  // namespace
