// The refresh of one source over real HTTP on 127.0.0.1: the Release and Packages
// requests, their conditional forms, the candidates, the kept copy and every end.
#include "SourceRefreshFixture.h"
#include "database/KVSourceRefresh.h"

namespace {

class SourceRefresh : public SourceRefreshFixture {};

TEST_F(SourceRefresh, ARepositoryBecomesPackageRecords) {
  std::string location = serveIndex("repo", stanza("com.example.one", "1.0", {{"Name", "One"}, {"Section", "Tweaks"}}) +
                                                stanza("com.example.two", "2.0"));
  ASSERT_TRUE(refresh(location));
  auto one = package("com.example.one");
  ASSERT_TRUE(one);
  EXPECT_EQ(one->name(), "One");
  EXPECT_EQ(one->category(), "Tweaks");
  EXPECT_EQ(one->sourceLocation(), location);
  EXPECT_EQ(packagesOf(location).size(), 2u);
  auto record = source(location);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->name(), "Test Repository");
  EXPECT_EQ(record->totalPackages(), "2");
  EXPECT_EQ(record->hasErrors(), false);
  EXPECT_EQ(requestedNames("repo"), (std::vector<std::string>{"Release", "payment_endpoint", "Packages.xz"}));
}

}  // namespace
