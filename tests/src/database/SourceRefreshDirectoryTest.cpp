// A refreshed source goes to the vendor service's repository directory, once a run.
#include "support/SourceRefreshFixture.h"
#include "support/TestVendorService.h"

namespace {
class SourceRefreshDirectory : public SourceRefreshFixture {};

const std::string kIndex = stanza("com.example.one", "1.0") + stanza("com.example.two", "2.0");
const std::string kEndpoint = "reposearch/addrepo.php";

TEST_F(SourceRefreshDirectory, ARefreshedSourceIsSubmittedOncePerRun) {
  TestVendorService vendor;
  std::string location = serveIndex("repo", kIndex);
  ASSERT_TRUE(refresh(location));
  ASSERT_TRUE(vendor.waitForRequests(kEndpoint, 1));
  auto sent = vendor.fieldsSentTo(kEndpoint).at(0);
  ASSERT_EQ(sent.size(), 7u);
  EXPECT_EQ(sent[2], (std::pair<std::string, std::string>{"name", "Test Repository"}));
  EXPECT_EQ(sent[3], (std::pair<std::string, std::string>{"url", location}));
  EXPECT_EQ(sent[4], (std::pair<std::string, std::string>{"description", "Packages for tests"}));
  EXPECT_EQ(sent[6], (std::pair<std::string, std::string>{"category", "Repository"}));

  // The index changes and is read again: the source is not offered again.
  ageListFiles(location);
  serveIndex("repo", kIndex + stanza("com.example.three", "3.0"));
  ASSERT_TRUE(refresh(location));
  ASSERT_EQ(packagesOf(location).size(), 3u);
  // Another source's submission, once answered, shows that nothing else went out.
  std::string other = serveIndex("other", stanza("com.example.other", "1.0"));
  ASSERT_TRUE(refresh(other));
  ASSERT_TRUE(vendor.waitForRequests(kEndpoint, 2));
  auto all = vendor.fieldsSentTo(kEndpoint);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[1][3].second, other);
  EXPECT_EQ(vendor.violations(), std::vector<std::string>{});
}
}  // namespace
