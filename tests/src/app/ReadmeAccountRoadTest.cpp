// The README's account road, typed at a terminal against the vendor's service it plays,
// with the real apt-get and dpkg: one device root installs from the road's repository and
// from a second one under a path holding "+" (a package named with "+"), signs in from
// the account screen and saves its setup, which the service then holds exactly; a new
// device root signed in to the same account restores a saved setup: the sources it lacks
// get their lines in its APT sources list (as apt-cache reads them through the launcher),
// are refreshed, the packages queued and installed.
#include <set>

#include "ReadmeSessions.h"
#include "database/KVDatabaseMigrationUtility.h"
#include "database/KVRPackage.h"
#include "database/KVRSource.h"
#include "operations/KVAPTManager.h"
#include "store/Store.h"
#include "support/PlayedVendorService.h"
#include "support/ScopedDeviceRoot.h"
#include "support/TestHttpServer.h"
#include "support/TestVendorService.h"

namespace {
using namespace ReadmeSessions;

class ReadmeAccountRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    text = section(readme(), "Your account, its backup and the news by hand");
    ASSERT_NE(text.find("    scripts/play-vendor-service --user ann:secret:ann@example.org &\n"), std::string::npos) << text;
    ASSERT_NE(text.find(" --vendor-service http://127.0.0.1:8081\n"), std::string::npos) << text;
    ASSERT_NO_FATAL_FAILURE(makeRoadRepository(dir));
    ASSERT_NO_FATAL_FAILURE(runShellLines(text, "this one takes their ports):", dir));
    server.serveFolder(dir.file("repo"), "/repo/");
    PlayedVendorService::seed(service);
    TestVendorService::User ann;  // as the README's --user names it
    ann.id = PlayedVendorService::kUserID;
    ann.username = PlayedVendorService::kUser;
    ann.password = PlayedVendorService::kPassword;
    ann.email = PlayedVendorService::kEmail;
    service.addUser(ann);
  }
  // Types the session the section shows between `from` and `to` on a new device root.
  std::string typeSession(const std::string& device, const std::string& from, const std::string& to) {
    size_t start = text.find(from), end = to.empty() ? std::string::npos : text.find(to);
    EXPECT_NE(start, std::string::npos);
    std::string script = typedLines(text.substr(start, end == std::string::npos ? end : end - start));
    replaceAll(script, "http://127.0.0.1:8080/", server.url("/repo/"));
    TypedSession session(dir.file(device), {"--vendor-service", service.server().baseURL()});
    EXPECT_TRUE(session.started()) << session.output();
    session.pasteAll(script);
      std::string shown = session.output();
    std::erase(shown, '\r');
    if (HasFailure()) ADD_FAILURE() << "the session:\n" << shown;
    return shown;
  }
  std::string installed(const std::string& device) {
    std::string rows = installedPackages(dir, device).output, out;
    for (const char* name : {"com.example.lib", "com.example.libc++", "com.example.tool"})
      if (rows.find(std::string(name) + " installed\n") != std::string::npos) out += std::string(name) + " ";
    return out;
  }
  // The device root's own database, as the application left it.
  struct Database {
    explicit Database(const std::string& root) : device(root) {
      store::Database::setDefaultConfiguration(KVDatabaseMigrationUtility::defaultConfiguration());
    }
    ~Database() { store::Database::setDefaultConfiguration({}); }
    ScopedDeviceRoot device;
  };

  std::string text;
  TempDir dir;
  TestHttpServer server;
  TestVendorService service;
};

TEST_F(ReadmeAccountRoad, TheBackupRunsAsWrittenAndTheServiceHoldsExactlyTheDevicesSetup) {
  std::string shown = typeSession("backup-device", "Install from both", "A new device root");
  EXPECT_EQ(installed("backup-device"), "com.example.lib com.example.libc++ com.example.tool ");
  EXPECT_NE(shown.find("ann\nann@example.org\n"), std::string::npos) << "the header, signed in";
  EXPECT_NE(shown.find("Quillbark setup successfully saved."), std::string::npos);
  EXPECT_NE(shown.find("0.0: Ann Example | Design and code | >"), std::string::npos) << "the credits";
  EXPECT_NE(shown.find("(image: Banner)\nBackups of your setup"), std::string::npos) << "the news entry: " << shown;
  auto kept = service.setup(PlayedVendorService::kUserID);
  ASSERT_TRUE(kept);
  Database database(dir.file("backup-device"));
  std::set<std::string> sources, packages;
  for (const auto& source : KVRSource::allObjects().all()) sources.insert(source.location());
  for (const auto& package : KVRPackage::objectsWhere("isInstalled = 1").all()) packages.insert(package.identifier());
  EXPECT_TRUE(sources.count(server.url("/repo/c++/")));
  EXPECT_EQ(std::set<std::string>(kept->sources.begin(), kept->sources.end()), sources);
  EXPECT_EQ(std::set<std::string>(kept->packages.begin(), kept->packages.end()), packages);
  EXPECT_EQ(packages, (std::set<std::string>{"com.example.lib", "com.example.libc++", "com.example.tool"}));
  EXPECT_EQ(service.violations(), std::vector<std::string>{});
}

TEST_F(ReadmeAccountRoad, TheRestorationRunsAsWrittenAndInstallsWhatTheSetupListed) {
  const std::string plus = server.url("/repo/c++/");
  service.setSetup(PlayedVendorService::kUserID,
                   {{"https://repo.korvale.example/repo/", server.url("/repo/"), plus},
                    {"com.example.libc++", "com.example.tool", "com.example.lib", "firmware"}});
  std::string shown = typeSession("restored-device", "A new device root", "");
  EXPECT_NE(shown.find("  0.2: " + plus + " | | ✓\nPackages\nSelected (3)\n"), std::string::npos) << shown;
  // The packages are the screen's second table: their rows are numbered after the sources'.
  EXPECT_NE(shown.find("  1.3: firmware\n"), std::string::npos) << "the device's own entry is not chosen";
  EXPECT_EQ(installed("restored-device"), "com.example.lib com.example.libc++ com.example.tool ");
  Database database(dir.file("restored-device"));
  EXPECT_NE(Files::readText(KVAPTManager::sourcesListPath()).value_or("").find(plus), std::string::npos);
  auto policy = Process::run("/bin/sh", {"-c", KVAPTManager::policyCommand("com.example.libc++").value_or("")});
  EXPECT_NE(policy.output.find("Installed: 1.0"), std::string::npos) << policy.output;
  EXPECT_NE(policy.output.find(plus.substr(0, plus.size() - 1) + " ./ Packages"), std::string::npos)
      << "its repository, as APT lists it: " << policy.output;
  for (const char* identifier : {"com.example.lib", "com.example.libc++", "com.example.tool"}) {
    auto record = KVRPackage::objectForPrimaryKey(identifier);
    ASSERT_TRUE(record) << identifier;
    EXPECT_TRUE(record->isInstalled().value_or(false)) << identifier;
    EXPECT_FALSE(record->isInTheQueue().value_or(false)) << identifier;
  }
  EXPECT_EQ(service.violations(), std::vector<std::string>{});
}

}  // namespace
