// Developer and repository search, the repository directory and the submission of
// sources to it, against the played service.
#include <thread>

#include "VendorTestSupport.h"
#include "account/KVSearchDeveloper.h"
#include "account/KVSearchRepositories.h"
#include "database/KVRSource.h"
#include "support/Written.h"

namespace {
KVSearchRepositories& directory() { return KVSearchRepositories::instance(); }

Value entry(const std::string& name, const std::string& url, const std::string& maintainer = "Ann",
            const std::string& description = "Tweaks") {
  return Value::dict({{"icon", url + "CydiaIcon.png"},
                      {"name", name},
                      {"url", url},
                      {"description", description},
                      {"maintainer", maintainer},
                      {"category", "Repository"}});
}

std::vector<std::string> names(const std::vector<KVSearchedRepo>& list) {
  std::vector<std::string> out;
  for (const auto& repo : list) out.push_back(repo.name.value_or("<absent>"));
  return out;
}

void addSource(const std::string& location, const std::string& name, std::optional<std::string> category = "Repository",
               std::optional<bool> hasErrors = false) {
  KVRSource source = KVRSource::newSourceWithLocation(location);
  source.setName(name);
  source.setIconURL(location + "CydiaIcon.png");
  source.setDescription(std::string("Tweaks & themes"));
  source.setMaintainer(std::string("Ann Smith"));
  source.setCategory(std::move(category));
  source.setHasErrors(hasErrors);
  auto db = store::Database::defaultDatabase();
  written(db->write([&] { db->add(source.toObject()); }));
}

std::string submit(const std::string& location) {
  Answers answers;
  directory().addRepository(location, answers.completion());
  return answers.wait();
}

// Offers a source that must not be sent: the decision is taken before addRepository
// returns, so a later submission that is answered shows whether anything went out.
void offer(const std::string& location, Answers& answers) { directory().addRepository(location, answers.completion()); }
}  // namespace

class DirectorySearchTest : public VendorTest {};

TEST_F(DirectorySearchTest, DevelopersAreSearchedFromThreeCharactersWithoutHashes) {
  service->addDeveloper(Value::dict({{"developer", "ab cd"}, {"email", "ab@example.org"}, {"homepage", "https://ab/"},
                                     {"location", "Lisbon"}, {"about", "Writes tweaks"}, {"github", "abcd"},
                                     {"repository", "https://repo.ab/"}, {"twitter", "abtw"}, {"avatar", "https://a/p.png"}}));
  service->addDeveloper(Value::dict({{"developer", "Zed"}, {"email", 42}}));
  Answers tooShort, found;
  KVSearchDeveloper::instance().searchDeveloper("ab", tooShort.completion());
  KVSearchDeveloper::instance().searchDeveloper("a#b c", found.completion());
  EXPECT_EQ(found.wait(), "Success");
  // The two-character query sent nothing and never answers.
  EXPECT_EQ(tooShort.count(), 0u);
  EXPECT_EQ(service->rawSentTo("developers/devs.php"), std::vector<std::string>{"searchParam=ab+c"});
  auto developers = KVSearchDeveloper::instance().developers().value();
  ASSERT_EQ(developers.size(), 1u);
  const auto& d = developers[0];
  EXPECT_EQ(d.fullName, "ab cd");
  EXPECT_EQ(d.email, "ab@example.org");
  EXPECT_EQ(d.homepage, "https://ab/");
  EXPECT_EQ(d.location, "Lisbon");
  EXPECT_EQ(d.biography, "Writes tweaks");
  EXPECT_EQ(d.github, "abcd");
  EXPECT_EQ(d.repository, "https://repo.ab/");
  EXPECT_EQ(d.twitter, "abtw");
  EXPECT_EQ(d.avatarURL, "https://a/p.png");
  EXPECT_TRUE(d.packages.empty());

  Answers zed;
  KVSearchDeveloper::instance().searchDeveloper("zed", zed.completion());
  ASSERT_EQ(zed.wait(), "Success");
  EXPECT_EQ(KVSearchDeveloper::instance().developers()->at(0).email, std::nullopt);  // a number is no address

  // A failure answers nothing and keeps the last profiles.
  for (const auto& response : {TestHttpResponse::text("Too many requests"), TestHttpResponse::json(R"({"developer":"x"})"),
                               TestVendorService::droppedConnection()}) {
    service->answer("developers/devs.php", response);
    Answers failed;
    KVSearchDeveloper::instance().searchDeveloper("zed", failed.completion());
    EXPECT_EQ(failed.wait(), "<none>");
    EXPECT_EQ(KVSearchDeveloper::instance().developers()->at(0).fullName, "Zed");
  }
}

TEST_F(DirectorySearchTest, TheDirectoryListsEachValidRepositoryOnce) {
  service->addDirectoryEntry(entry("Alpha", "https://alpha.example/"));
  service->addDirectoryEntry(entry("Alpha", "https://alpha.example/"));
  service->addDirectoryEntry(entry("No maintainer", "https://a.example/", ""));
  service->addDirectoryEntry(Value::dict({{"name", "Missing maintainer"}, {"url", "https://m.example/"},
                                          {"description", "x"}, {"category", "y"}}));
  service->addDirectoryEntry(entry("Null text", "https://n.example/", "Ann", "(null)"));
  service->addDirectoryEntry(entry("Marks", "https://q.example/", "Ann", "What?? now"));
  Value emptyURL = entry("Empty url", "");
  emptyURL.set("location", "https://somewhere.example/");
  service->addDirectoryEntry(emptyURL);
  Value numberURL = entry("Number url", "x");
  numberURL.set("url", 5);
  service->addDirectoryEntry(numberURL);
  service->addDirectoryEntry(entry("Bad url", "https://bad example/"));
  service->addDirectoryEntry(Value("junk"));
  service->addDirectoryEntry(entry("Beta", "https://beta.example/"));

  Answers listed;
  directory().listOnlineRepositoriesWithCompletionHandler(listed.completion());
  EXPECT_EQ(listed.wait(), "Success");
  // An empty maintainer is a maintainer; a missing one is not.
  EXPECT_EQ(names(directory().repositories()), (std::vector<std::string>{"Alpha", "No maintainer", "Beta"}));
  EXPECT_EQ(service->fieldsSentTo("reposearch/repolist.php")[0], (TestVendorService::Fields{{"key", "Thornwake"}}));

  Answers searched;
  directory().searchRepository("be#ta", searched.completion());
  EXPECT_EQ(searched.wait(), "Success");
  EXPECT_EQ(names(directory().repositories()), std::vector<std::string>{"Beta"});
  const KVSearchedRepo beta = directory().repositories()[0];
  EXPECT_EQ(beta.icon, "https://beta.example/CydiaIcon.png");
  EXPECT_EQ(beta.url, "https://beta.example/");
  EXPECT_EQ(beta.desc, "Tweaks");
  EXPECT_EQ(beta.maintainer, "Ann");
  EXPECT_EQ(beta.category, "Repository");

  // Without a completion the read still replaces the list; a failure keeps it.
  directory().listOnlineRepositoriesWithCompletionHandler();
  ASSERT_TRUE(service->waitForRequests("reposearch/repolist.php", 2));
  service->answer("reposearch/reposearch.php", TestHttpResponse::text("<html>", 502));
  Answers failed;
  directory().searchRepository("alpha", failed.completion());
  EXPECT_EQ(failed.wait(), "<none>");
  EXPECT_FALSE(directory().repositories().empty());
}

TEST_F(DirectorySearchTest, ASourceIsSubmittedWithItsRecordsFieldsOnce) {
  const std::string location = service->server().url("/repo-one/");
  addSource(location, "Repo One");
  EXPECT_EQ(submit(location), "Repository added.");
  ASSERT_EQ(service->fieldsSentTo("reposearch/addrepo.php").size(), 1u);
  EXPECT_EQ(service->fieldsSentTo("reposearch/addrepo.php")[0],
            (TestVendorService::Fields{{"key", "Thornwake"},
                                       {"icon", location + "CydiaIcon.png"},
                                       {"name", "Repo One"},
                                       {"url", location},
                                       {"description", "Tweaks & themes"},
                                       {"maintainer", "Ann Smith"},
                                       {"category", "Repository"}}));
  EXPECT_EQ(names(directory().repositories()), std::vector<std::string>{"Repo One"});
  // Already in the directory: nothing is sent, nothing answers.
  Answers again;
  offer(location, again);
  addSource(location + "two/", "Repo Two");
  EXPECT_EQ(submit(location + "two/"), "Repository added.");
  EXPECT_EQ(service->fieldsSentTo("reposearch/addrepo.php").size(), 2u);
  EXPECT_EQ(again.count(), 0u);
}

TEST_F(DirectorySearchTest, SourcesThatMakeNoValidEntryAreNotSubmitted) {
  const std::string base = service->server().url("/");
  addSource(base + "failed/", "Failed", "Repository", true);
  addSource(base + "nocategory/", "No category", std::nullopt);
  addSource(base + "marks/", "What?? Repo");
  Answers refused;
  for (const std::string& location : {base + "failed/", base + "nocategory/", base + "marks/", base + "unknown/", std::string("short/")})
    offer(location, refused);

  // A failed submission still counts: the source is not sent again in this run.
  addSource(base + "later/", "Later");
  service->answer("reposearch/addrepo.php", TestVendorService::droppedConnection());
  EXPECT_EQ(submit(base + "later/"), "<none>");
  EXPECT_EQ(names(directory().repositories()), std::vector<std::string>{"Later"});
  directory().searchRepository("nothing", nullptr);  // a reply that replaces the list ...
  ASSERT_TRUE(service->waitForRequests("reposearch/reposearch.php", 1));
  offer(base + "later/", refused);  // ... does not make it new again
  service->answer("reposearch/addrepo.php", TestHttpResponse::text("ok"));
  addSource(base + "fresh/", "Fresh");
  EXPECT_EQ(submit(base + "fresh/"), "ok");
  EXPECT_EQ(service->fieldsSentTo("reposearch/addrepo.php").size(), 2u);
  EXPECT_EQ(refused.count(), 0u);
}

TEST_F(DirectorySearchTest, TenConcurrentSubmissionsSendEachSourceOnce) {
  std::vector<std::string> locations;
  for (int i = 0; i < 10; ++i) {
    locations.push_back(service->server().url("/repo" + std::to_string(i) + "/"));
    addSource(locations.back(), "Repo " + std::to_string(i));
  }
  Latch answered(10);
  std::vector<std::thread> threads;
  for (int round = 0; round < 2; ++round)
    for (const auto& location : locations)
      threads.emplace_back([&answered, location] {
        directory().addRepository(location, [&answered](std::optional<std::string>) { answered.arrive(); });
        // Readers meanwhile get whole copies.
        for (int i = 0; i < 50; ++i) (void)directory().repositories().size();
      });
  for (auto& thread : threads) thread.join();
  // Every call has decided by now; the ten sent ones answer, the second round nothing.
  ASSERT_TRUE(answered.wait());
  EXPECT_EQ(answered.arrived(), 10);
  EXPECT_EQ(service->fieldsSentTo("reposearch/addrepo.php").size(), 10u);
  EXPECT_EQ(service->directory().size(), 10u);
  EXPECT_EQ(directory().repositories().size(), 10u);
}
