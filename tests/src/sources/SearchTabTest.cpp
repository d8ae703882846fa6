// The search tab and the repository directory over real repositories refreshed from
// 127.0.0.1 and the played vendor service: the local query and its scopes, the service
// searches and the order of their answers, history, and the directory's rows and pages.
#include <gtest/gtest.h>

#include <thread>

#include "account/KVSearchDeveloper.h"
#include "account/KVSearchRepositories.h"
#include "account/KVStatistics.h"
#include "account/KVVendorService.h"
#include "database/KVRSearchHistory.h"
#include "interface/ErrorViewController.h"
#include "interface/KVRemoteImage.h"
#include "sources/OnlineRepositoriesViewController.h"
#include "sources/SearchViewController.h"
#include "sources/SearchedRepoViewController.h"
#include "support/SourceRefreshFixture.h"
#include "support/TestData.h"
#include "support/TestVendorService.h"
#include "support/UIDriver.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIButton.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UISegmentedControl.h"

namespace {

Value entry(const std::string& name, const std::string& url, const std::string& icon,
            const std::string& maintainer = "Ann") {
  return Value::dict({{"icon", icon},
                      {"name", name},
                      {"url", url},
                      {"description", name + " tweaks"},
                      {"maintainer", maintainer},
                      {"category", "Repository"}});
}

bool holds(const std::vector<KVSearchedRepo>& entries, const std::string& name) {
  for (const auto& e : entries)
    if (e.name == name) return true;
  return false;
}

class SearchTabTest : public SourceRefreshFixture {
 protected:
  void SetUp() override {
    SourceRefreshFixture::SetUp();
    KVSearchRepositories::instance().resetForTesting();
    KVSearchDeveloper::instance().resetForTesting();
    KVStatistics::instance().resetForTesting();
    service = std::make_unique<TestVendorService>();
  }
  void TearDown() override {
    ui.window().setRootViewController(nullptr);
    RunLoop::main().runUntilIdle();
    if (service) {
      EXPECT_EQ(service->violations(), std::vector<std::string>{});
    }
    service.reset();
    SourceRefreshFixture::TearDown();
  }
  std::string serveReal(const std::string& repos, const std::string& from, const std::string& folder) {
    std::string location = locationOf(folder);
    for (const char* file : {"Release", "Packages"})
      EXPECT_TRUE(Files::copyItem(repos + "/" + from + "/" + file, repositories.file(folder) + "/" + file));
    return location;
  }
  bool waitFor(const std::function<bool()>& shown, double seconds = 20) { return RunLoop::main().runUntil(shown, seconds); }
  std::vector<std::string> shownPackages(SearchViewController& search) {
    std::vector<std::string> names;
    for (auto& cell : search.packagesTableView()->visibleCells()) {
      std::string text, detail, accessory;
      cell->screenRowParts(text, detail, accessory);
      names.push_back(text);
    }
    return names;
  }
  size_t asked(const std::string& endpoint) { return service->fieldsSentTo(endpoint).size(); }
  std::string lastQuery(const std::string& endpoint) {
    auto sent = service->fieldsSentTo(endpoint);
    if (sent.empty()) return "";
    for (auto& [key, value] : sent.back())
      if (key != "key") return value;
    return "";
  }

  UIDriver ui;
  std::unique_ptr<TestVendorService> service;
};

TEST_F(SearchTabTest, OneTextSearchesPackagesDevelopersAndRepositories) {
  QB_TESTDATA_OR_SKIP(repos, "repos");
  for (auto [from, folder] : {std::pair{"poomsmart/repo", "poomsmart"}, std::pair{"procursus-mirror", "procursus"},
                              std::pair{"utm", "utm"}})
    ASSERT_TRUE(refresh(serveReal(repos, from, folder))) << folder;
  service->addDeveloper(Value::dict({{"developer", "roothide team"}, {"twitter", "roothideDev"}, {"avatar", ""}}));
  service->addDirectoryEntry(entry("roothide repo", "https://roothide.example/", ""));
  service->addDirectoryEntry(entry("Other", "https://other.example/", ""));
  service->setTrending({"utm", "appsync"});

  auto search = std::make_shared<SearchViewController>(screenContext());
  ui.show(std::make_shared<UINavigationController>(search));
  ASSERT_TRUE(waitFor([&] { return search->searchesTrending().size() == 2; })) << ui.screen();
  EXPECT_FALSE(search->statsScrollView()->isHidden());

  // Two characters reach neither the database nor the service.
  ASSERT_TRUE(ui.type("ro"));
  EXPECT_FALSE(search->statsScrollView()->isHidden() && search->searchScrollView()->isHidden());
  ui.advance(1);
  EXPECT_EQ(asked("developers/devs.php") + asked("reposearch/reposearch.php"), 0u);
  EXPECT_EQ(search->packagesCount(), 0u);

  // Exact: names from their beginning, case folded; the services at once, the local
  // query once typing has rested 0.4 s.
  ASSERT_TRUE(ui.type("othide"));
  EXPECT_EQ(search->packagesCount(), 0u) << "not before the pause";
  ui.advance(0.4);
  EXPECT_EQ(shownPackages(*search), std::vector<std::string>{"roothide core"});
  EXPECT_EQ(search->packagesTitle()->text(), "1 Package");
  EXPECT_EQ(search->packagesHeight()->constant(), 70);
  ASSERT_TRUE(waitFor([&] { return search->developersArray().size() == 1 && holds(search->repositoriesArray(), "roothide repo"); }))
      << ui.screen();
  EXPECT_EQ(search->developersHeight()->constant(), 56);
  EXPECT_EQ(search->repositoriesHeight()->constant(), 56.0 * double(search->repositoriesArray().size()));

  // Fuzzy, kept for the next launch: anywhere in the name.
  ASSERT_TRUE(ui.tap("Fuzzy")) << ui.screen();
  EXPECT_EQ(QuillbarkPersistentPreferences::sharedInstance().integerForKey("SearchQueryOption"), 1);
  ASSERT_TRUE(search->searchBar()->clearByUser());
  ASSERT_TRUE(ui.type("core"));
  ui.advance(0.4);
  EXPECT_GE(search->packagesCount(), 1u);
  const auto fuzzy = shownPackages(*search);
  EXPECT_TRUE(std::find(fuzzy.begin(), fuzzy.end(), "roothide core") != fuzzy.end() || search->packagesCount() > 5);

  // No name holds the maintainer's name: the maintainer's packages, five shown.
  ASSERT_TRUE(search->searchBar()->clearByUser());
  ASSERT_TRUE(ui.type("PoomSmart"));
  ui.advance(0.4);
  EXPECT_GT(search->packagesCount(), 5u);
  EXPECT_EQ(shownPackages(*search).size(), 5u);
  EXPECT_EQ(search->packagesHeight()->constant(), 350);
  EXPECT_FALSE(search->seeAllPackagesBtn()->isHidden());

  // A slow answer for an earlier text never replaces the later one.
  ASSERT_TRUE(search->searchBar()->clearByUser());
  service->hold("reposearch/reposearch.php", "oth");
  ASSERT_TRUE(ui.type("oth"));
  ASSERT_TRUE(ui.type("e"));
  ASSERT_TRUE(waitFor([&] { return holds(search->repositoriesArray(), "Other"); }));
  const size_t later = search->repositoriesArray().size();
  service->release("reposearch/reposearch.php", "oth");
  ASSERT_TRUE(service->waitForRequests("reposearch/reposearch.php", asked("reposearch/reposearch.php")));
  DispatchQueue::drainGlobalQueues();
  ui.advance(1);
  EXPECT_EQ(search->repositoriesArray().size(), later);
  EXPECT_TRUE(holds(search->repositoriesArray(), "Other"));

  // A failed search shows nothing, not what the shared client held before.
  service->answer("reposearch/reposearch.php", TestHttpResponse::text("", 500));
  ASSERT_TRUE(ui.type("r"));
  ASSERT_TRUE(waitFor([&] { return search->repositoriesArray().empty(); }));
  EXPECT_FALSE(KVSearchRepositories::instance().repositories().empty());

  // A text with characters of its own arrives as it was typed.
  ASSERT_TRUE(search->searchBar()->clearByUser());
  ASSERT_TRUE(ui.type("a&b é"));
  ASSERT_TRUE(service->waitForRequests("developers/devs.php", asked("developers/devs.php")));
  ASSERT_TRUE(waitFor([&] { return lastQuery("developers/devs.php") == "a&b é"; })) << lastQuery("developers/devs.php");

  // The search button keeps the text; the history shows it once the bar is left empty.
  ASSERT_TRUE(ui.submit());
  ASSERT_TRUE(waitFor([&] { return KVRSearchHistory::allObjects().count() == 1; }));
  EXPECT_EQ(KVRSearchHistory::allObjects().first()->search(), "a&b é");

  // A history row searches again; a swipe queues a package of the results.
  ASSERT_TRUE(search->searchBar()->clearByUser());
  ASSERT_TRUE(ui.type("PoomSmart"));
  ui.advance(0.4);
  std::string first = shownPackages(*search).front();
  ASSERT_TRUE(ui.swipeRow(first, "Queue")) << ui.screen();
  auto queued = KVRPackage::objectsWhere("name = %@ AND isInTheQueue = 1", first);
  EXPECT_EQ(queued.count(), 1u);
  ASSERT_TRUE(ui.tap(first));
  EXPECT_NE(ui.front(), search.get()) << "the package's page";
}

TEST_F(SearchTabTest, TheDirectoryListsEntriesOnceAndAddsOne) {
  QB_TESTDATA_OR_SKIP(repos, "repos");
  std::string nepeta = serveReal(repos, "nepeta", "nepeta-mirror");
  std::string known = serveIndex("known", stanza("com.example.known", "1.0"));
  ASSERT_TRUE(refresh(known));
  locationOf("icons");
  ASSERT_TRUE(Files::copyItem(repos + "/poomsmart/repo/CydiaIcon.png", repositories.file("icons") + "/good.png"));
  ASSERT_TRUE(Files::writeAtomically(repositories.file("icons") + "/text.png", std::string("no picture")));
  TestHttpResponse slow;
  slow.body = Files::readText(repos + "/poomsmart/repo/CydiaIcon.png").value_or("");
  slow.contentType = "image/png";
  slow.delay = std::chrono::seconds(5);
  server.handle("GET", "/icons/slow.png", [slow](const TestHttpRequest&) { return slow; });
  auto icon = [&](const std::string& name) { return server.url("/icons/" + name); };
  service->addDirectoryEntry(entry("Nepeta", nepeta, icon("good.png")));
  service->addDirectoryEntry(entry("Nepeta", nepeta, icon("good.png")));
  service->addDirectoryEntry(entry("Unfit", "https://unfit.example/", "", "(null)"));
  service->addDirectoryEntry(entry("Words", "https://words.example/", icon("text.png")));
  service->addDirectoryEntry(entry("Slow", "https://slow.example/", icon("slow.png")));
  service->addDirectoryEntry(entry("Known", known.substr(0, known.size() - 1), "file:///etc/passwd"));

  auto directory = std::make_shared<OnlineRepositoriesViewController>(screenContext());
  ui.show(std::make_shared<UINavigationController>(directory));
  ASSERT_TRUE(waitFor([&] { return directory->repositoriesArray().size() == 5; })) << ui.screen();
  // Icons arrive while the slow one is still on its way: the main loop runs on.
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(waitFor([&] { return directory->repositoriesIconsDictionary().size() == 4; }, 4)) << ui.screen();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  const auto& icons = directory->repositoriesIconsDictionary();
  EXPECT_NE(icons.at("Nepeta"), KVRemoteImage::placeholder());
  EXPECT_EQ(icons.at("Words"), KVRemoteImage::placeholder()) << "no picture";
  EXPECT_EQ(icons.at("Known"), KVRemoteImage::placeholder()) << "only http(s) is fetched";

  ASSERT_TRUE(ui.tap("Nepeta")) << ui.screen();
  auto* page = dynamic_cast<SearchedRepoViewController*>(ui.front());
  ASSERT_TRUE(page) << ui.screen();
  EXPECT_EQ(page->sourceURLLbl()->text(), nepeta);
  ASSERT_TRUE(ui.tap("Add this source"));
  // Plain http is confirmed first.
  ASSERT_TRUE(waitFor([&] { return !root->cards().empty(); }));
  ASSERT_EQ(root->cards().back().title, "Warning");
  root->cards().back().otherAction();
  ASSERT_TRUE(waitFor([&] { return source(nepeta) && source(nepeta)->totalPackages().value_or(" ") != " "; }, 60));
  ASSERT_TRUE(waitForPipeline(60));
  EXPECT_GT(packagesOf(nepeta).size(), 40u);

  ASSERT_TRUE(ui.back());
  ASSERT_TRUE(ui.tap("Known"));
  ASSERT_TRUE(ui.tap("Add this source"));
  auto* card = dynamic_cast<ErrorViewController*>(ui.front());
  ASSERT_TRUE(card) << ui.screen();
  EXPECT_TRUE(ui.screenShows("Source Error")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("This source is already added to Quillbark.")) << ui.screen();

  ASSERT_TRUE(waitFor([&] { return directory->repositoriesIconsDictionary().size() == 5; }, 10));
  EXPECT_NE(directory->repositoriesIconsDictionary().at("Slow"), KVRemoteImage::placeholder());
}

// With the service out of reach the directory says why and offers to ask again.
TEST_F(SearchTabTest, TheDirectoryOutOfReachSaysWhyAndAsksAgain) {
  service->addDirectoryEntry(entry("Far", "https://far.example/", ""));
  KVVendorService::setServiceBaseURL(TestHttpServer::closedBaseURL());
  auto directory = std::make_shared<OnlineRepositoriesViewController>(screenContext());
  ui.show(std::make_shared<UINavigationController>(directory));
  ASSERT_TRUE(waitFor([&] { return ui.screenShows("[Try Again]"); })) << ui.screen();
  EXPECT_TRUE(ui.screenShows("The repositories could not be loaded: ")) << ui.screen();
  KVVendorService::setServiceBaseURL(service->server().baseURL());
  ASSERT_TRUE(ui.tap("Try Again"));
  ASSERT_TRUE(waitFor([&] { return directory->repositoriesArray().size() == 1; })) << ui.screen();
  EXPECT_FALSE(ui.screenShows("Try Again")) << ui.screen();
}

}  // namespace
