// The application delegate's download statistics reach the vendor service: one report
// per package whose archive arrived, with its record's maintainer, source and version.
#include <gtest/gtest.h>

#include "app/KVQuillbark.h"
#include "foundation/Bundle.h"
#include "support/PackageRecordsFixture.h"
#include "support/TestVendorService.h"

namespace {
class DownloadStatsTest : public PackageRecordsFixture {};

TEST_F(DownloadStatsTest, EachDownloadedPackageIsReportedOnceWithItsRecordsValues) {
  TestVendorService service;
  KVRPackage tweak = package("com.example.tweak", "2.0-1");
  tweak.setMaintainer(std::string("Ann Smith <ann@example.org>"));
  tweak.setSourceLocation(std::string("https://repo.example/"));
  add(tweak);
  add(package("com.example.waiting"));
  KVDownloadStatsRegister& stats = *KVQuillbark::packagesToPostDownloadStatsFor();
  for (const char* identifier : {"com.example.tweak", "com.example.waiting", "com.example.gone"})
    stats.registerPackage(identifier);
  stats.packageDownloaded("com.example.tweak");
  stats.packageDownloaded("com.example.gone");  // no record: nothing to report it with

  stats.postDownloadStatsForRegisteredPackages();
  const std::string endpoint = "stats/" + Bundle::main().shortVersion() + "/stats.php";
  ASSERT_TRUE(service.waitForRequests(endpoint, 1));
  EXPECT_EQ(stats.entries().size(), 0u);
  stats.postDownloadStatsForRegisteredPackages();  // the register was emptied
  settle();
  auto reports = service.packageStatistics();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].packageID, "com.example.tweak");
  EXPECT_EQ(reports[0].devName, "Ann Smith <ann@example.org>");
  EXPECT_EQ(reports[0].repoURL, "https://repo.example/");
  EXPECT_EQ(reports[0].version, "2.0-1");
  EXPECT_EQ(reports[0].downloadCount, "1");
  EXPECT_EQ(reports[0].seenCount, "0");
  EXPECT_EQ(service.violations(), std::vector<std::string>{});
}
}  // namespace
