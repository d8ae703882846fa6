// The featured lists and the news against the played service, with the replies that
// are not what they should be.
#include "VendorTestSupport.h"
#include "account/KVFeaturedPackagesMethods.h"
#include "account/KVNewsRetrieval.h"

namespace {
KVFeaturedPackagesMethods& featured() { return KVFeaturedPackagesMethods::instance(); }
KVNewsRetrieval& news() { return KVNewsRetrieval::instance(); }

std::string fetchFeatured() {
  Answers answers;
  featured().fetchFeaturedPackages("unused", answers.completion());
  return answers.wait();
}
std::string fetchNews() {
  Answers answers;
  news().fetchNewsWithCompletionHandler(answers.completion());
  return answers.wait();
}

template <typename Entry>
std::vector<std::string> identifiers(const std::optional<std::vector<Entry>>& list) {
  std::vector<std::string> out;
  for (const auto& entry : list.value_or(std::vector<Entry>{})) out.push_back(entry.bundle_id.value_or("<absent>"));
  return out;
}
}  // namespace

class FeaturedNewsTest : public VendorTest {};

TEST_F(FeaturedNewsTest, TheFiveListsAreReadInOneRequest) {
  service->setFeatured(*Value::fromJSON(R"({
    "featuredTop": [{"bundle_id": "com.top", "title": "Top", "developer": "Ann", "logo": "https://img/l.png",
                     "description": "Could not be better", "background": "https://img/b.png", "repo": "https://repo/"}],
    "featuredMiddle": [{"bundle_id": "com.m1"}, {"bundle_id": "com.m2"}],
    "mustHaveTweaks": [{"bundle_id": "com.t"}],
    "mustHaveThemes": [{"bundle_id": "com.th"}],
    "extendApps": [{"bundle_id": "com.e"}]})"));
  // A description that says "Could" is a description like any other.
  EXPECT_EQ(fetchFeatured(), "Success");
  EXPECT_EQ(service->fieldsSentTo("featured/featured.php")[0], (TestVendorService::Fields{{"key", "Thornwake"}}));
  auto top = featured().packagesTop().value();
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(top[0].bundle_id, "com.top");
  EXPECT_EQ(top[0].title, "Top");
  EXPECT_EQ(top[0].developer, "Ann");
  EXPECT_EQ(top[0].desc, "Could not be better");
  EXPECT_EQ(top[0].logo, "https://img/l.png");
  EXPECT_EQ(top[0].background, "https://img/b.png");
  EXPECT_EQ(top[0].repo, "https://repo/");
  EXPECT_EQ(identifiers(featured().packagesMiddle()), (std::vector<std::string>{"com.m1", "com.m2"}));
  EXPECT_EQ(identifiers(featured().mustHaveTweaks()), std::vector<std::string>{"com.t"});
  EXPECT_EQ(identifiers(featured().mustHaveThemes()), std::vector<std::string>{"com.th"});
  EXPECT_EQ(identifiers(featured().extendApps()), std::vector<std::string>{"com.e"});
}

TEST_F(FeaturedNewsTest, MissingListsAreEmptyAndOddElementsAndValuesAreLeftOut) {
  service->setFeatured(*Value::fromJSON(
      R"({"featuredTop": [{"bundle_id": "com.top", "title": 5}, "junk", [1]], "featuredMiddle": "com.m",
          "mustHaveTweaks": [{"bundle_id": 12}, {"bundle_id": "com.t"}]})"));
  EXPECT_EQ(fetchFeatured(), "Success");
  auto top = featured().packagesTop().value();
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(top[0].title, std::nullopt);
  EXPECT_EQ(featured().packagesMiddle(), std::vector<KVFeaturedPackagesMiddle>{});
  EXPECT_EQ(identifiers(featured().mustHaveTweaks()), (std::vector<std::string>{"<absent>", "com.t"}));
  EXPECT_EQ(featured().extendApps(), std::vector<KVFeaturedPackagesExtendApps>{});
}

TEST_F(FeaturedNewsTest, AFeaturedReplyThatIsNoObjectAnswersErrorAndKeepsTheLists) {
  EXPECT_EQ(featured().packagesTop(), std::nullopt);
  service->setFeatured(*Value::fromJSON(R"({"featuredMiddle": [{"bundle_id": "com.m"}]})"));
  ASSERT_EQ(fetchFeatured(), "Success");
  for (const auto& response : {TestHttpResponse::text("Could not connect to database"),
                               TestHttpResponse::json(R"([{"bundle_id":"x"}])"), TestHttpResponse::text("", 500)}) {
    service->answer("featured/featured.php", response);
    EXPECT_EQ(fetchFeatured(), "Error") << response.body;
    EXPECT_EQ(identifiers(featured().packagesMiddle()), std::vector<std::string>{"com.m"});
  }
  // No reply at all answers nothing.
  service->answer("featured/featured.php", TestVendorService::droppedConnection());
  EXPECT_EQ(fetchFeatured(), "<none>");
  EXPECT_EQ(identifiers(featured().packagesMiddle()), std::vector<std::string>{"com.m"});
}

TEST_F(FeaturedNewsTest, NewsEntriesAreReadInOrder) {
  service->setNews(*Value::fromJSON(R"([
    {"author": "Ann", "title": "Hello", "banner": "https://img/n.png", "content": "First", "date": "2024-05-01"},
    {"author": "Bob", "title": 3, "content": "Second"}, "junk"])"));
  EXPECT_EQ(fetchNews(), "Success");
  auto entries = news().news().value();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].author, "Ann");
  EXPECT_EQ(entries[0].title, "Hello");
  EXPECT_EQ(entries[0].banner, "https://img/n.png");
  EXPECT_EQ(entries[0].content, "First");
  EXPECT_EQ(entries[0].date, "2024-05-01");
  EXPECT_EQ(entries[1].title, std::nullopt);
  EXPECT_EQ(entries[1].date, std::nullopt);
  EXPECT_EQ(service->fieldsSentTo("news/retrievenews.php")[0], TestVendorService::Fields{});

  service->setNews(Value::array());
  EXPECT_EQ(fetchNews(), "Success");
  EXPECT_EQ(news().news(), std::vector<KVNews>{});
}

TEST_F(FeaturedNewsTest, NewsFailuresAnswerTheirDescriptionAndKeepTheEntries) {
  service->setNews(*Value::fromJSON(R"([{"title": "Kept"}])"));
  ASSERT_EQ(fetchNews(), "Success");
  for (const auto& response : {TestHttpResponse::text("<html>"), TestHttpResponse::json(R"({"title":"x"})"),
                               TestVendorService::droppedConnection()}) {
    service->answer("news/retrievenews.php", response);
    std::string status = fetchNews();
    EXPECT_NE(status, "Success");
    EXPECT_NE(status, "<none>");
    EXPECT_EQ(news().news()->at(0).title, "Kept");
  }
}
