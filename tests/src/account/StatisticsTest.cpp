// Statistics against the played service: the three reports, and the trending and
// download-history lists with the replies that are no list.
#include "VendorTestSupport.h"
#include "account/KVStatistics.h"
#include "foundation/Bundle.h"

namespace {
using Fields = TestVendorService::Fields;
KVStatistics& statistics() { return KVStatistics::instance(); }
std::string stats(const std::string& script) { return "stats/" + Bundle::main().shortVersion() + "/" + script; }
}  // namespace

class StatisticsTest : public VendorTest {};

TEST_F(StatisticsTest, AReportCarriesItsValuesTheVersionAndTheKey) {
  Answers package, search, download;
  statistics().postPackageStatisticForIdentifier("com.a", "Ann & Co", "https://repo.example/my repo/", "1.0~b1", 1, 0,
                                                 package.completion());
  EXPECT_EQ(package.wait(), "Success");
  statistics().postSearchStatistic("tweak manager #1", search.completion());
  EXPECT_EQ(search.wait(), "Success");
  statistics().postDownloadStatsForIdentifier("com.a", 0, download.completion());
  EXPECT_EQ(download.wait(), "Success");

  EXPECT_EQ(service->fieldsSentTo(stats("stats.php")),
            (std::vector<Fields>{{{"packageID", "com.a"},
                                  {"devName", "Ann & Co"},
                                  {"repoURL", "https://repo.example/my repo/"},
                                  {"version", "1.0~b1"},
                                  {"downloadCount", "1"},
                                  {"seenCount", "0"},
                                  {"key", "Thornwake"}},
                                 {{"searchStat", "1"}, {"search", "tweak manager #1"}, {"key", "Thornwake"}},
                                 {{"downloadHistory", "1"}, {"packageID", "com.a"}, {"userID", "0"}, {"key", "Thornwake"}}}));
  // Blanks as each report has always written them.
  auto raw = service->rawSentTo(stats("stats.php"));
  EXPECT_NE(raw[0].find("repoURL=https%3A%2F%2Frepo.example%2Fmy%20repo%2F"), std::string::npos) << raw[0];
  EXPECT_NE(raw[1].find("search=tweak+manager+%231"), std::string::npos) << raw[1];
  EXPECT_EQ(service->downloadHistory(0), std::vector<std::string>{"com.a"});
}

TEST_F(StatisticsTest, TheListsAreReplacedByEachReplyThatIsAList) {
  EXPECT_EQ(statistics().searchesTrending(), std::nullopt);
  service->setTrending({"wifi", "battery"});
  Answers trending;
  statistics().retrieveSearchesTrendingWithCompletionHandler(trending.completion());
  EXPECT_EQ(trending.wait(), "Success");
  EXPECT_EQ(statistics().searchesTrending(), (std::vector<std::string>{"wifi", "battery"}));

  service->setTrending({});
  Answers empty;
  statistics().retrieveSearchesTrendingWithCompletionHandler(empty.completion());
  EXPECT_EQ(empty.wait(), "Success");
  EXPECT_EQ(statistics().searchesTrending(), std::vector<std::string>{});

  Answers posted, history;
  statistics().postDownloadStatsForIdentifier("com.b", 7, posted.completion());
  posted.wait();
  statistics().retrieveDownloadStatsForUser(7, history.completion());
  EXPECT_EQ(history.wait(), "Success");
  EXPECT_EQ(statistics().downloadsHistory(), std::vector<std::string>{"com.b"});
  EXPECT_EQ(service->fieldsSentTo(stats("stats.php")).back(),
            (Fields{{"retrieveDownloadHistory", "1"}, {"userID", "7"}, {"key", "Thornwake"}}));
}

TEST_F(StatisticsTest, AReplyThatIsNoListAnswersErrorAndKeepsTheList) {
  service->setTrending({"wifi"});
  Answers first;
  statistics().retrieveSearchesTrendingWithCompletionHandler(first.completion());
  ASSERT_EQ(first.wait(), "Success");
  KVVendorService::setRequestTimeout(1);
  TestHttpResponse slow = TestHttpResponse::json("[]");
  slow.delay = std::chrono::seconds(5);
  for (const auto& response : {TestHttpResponse::text("Maintenance"), TestHttpResponse::json(R"({"wifi":1})"),
                               TestHttpResponse::text("<html>Error</html>", 500), TestVendorService::droppedConnection(),
                               slow}) {
    service->answer(stats("trending.php"), response);
    Answers failed;
    statistics().retrieveSearchesTrendingWithCompletionHandler(failed.completion());
    EXPECT_EQ(failed.wait(), "Error") << response.body;
    EXPECT_EQ(statistics().searchesTrending(), std::vector<std::string>{"wifi"});
  }
  // The status is never read: a list is a list.
  service->answer(stats("trending.php"), TestHttpResponse::json(R"(["cpu"])", 500));
  Answers list;
  statistics().retrieveSearchesTrendingWithCompletionHandler(list.completion());
  EXPECT_EQ(list.wait(), "Success");
  EXPECT_EQ(statistics().searchesTrending(), std::vector<std::string>{"cpu"});
}

TEST_F(StatisticsTest, ReportsAnswerNothingWhenTheServiceCannotBeReached) {
  KVVendorService::setServiceBaseURL(TestHttpServer::closedBaseURL());
  Answers package, history;
  statistics().postPackageStatisticForIdentifier("com.a", "", "", "", 1, 0, package.completion());
  EXPECT_EQ(package.wait(), "<none>");
  statistics().retrieveDownloadStatsForUser(7, history.completion());
  EXPECT_EQ(history.wait(), "Error");
}
