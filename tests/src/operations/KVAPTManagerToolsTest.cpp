// The APT layer with the real apt and dpkg, confined to a temporary device root.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>

#include "foundation/Files.h"
#include "foundation/RunLoop.h"
#include "operations/KVAPTManager.h"
#include "support/DebBuilder.h"
#include "support/DeviceRootFixture.h"
#include "support/TestHttpServer.h"
#include "support/TestRoot.h"

namespace {
bool contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

class APTTools : public DeviceRootFixture {
 protected:
  void SetUp() override {
    DeviceRootFixture::SetUp();
    EXPECT_EQ(KVAPTManager::createAPTSandboxIfNeeded(), nullptr);
  }

  // The example repository (two versions of a tool, one with an epoch, that need a
  // library) on 127.0.0.1, its lists written through the APT layer.
  std::string addRepository(TestHttpServer& server) { return serveExampleToolRepository(repo.path(), server).location; }

  // Archives the tools read lie in the device root, as on a device: the sandbox the tools
  // run in has a /tmp of its own.
  std::string debs() { return deviceRoot().hostPath("/var/mobile/Documents"); }

  std::string installLocally(const DebPackage& package) {
    std::string deb = DebBuilder(debs()).build(package);
    EXPECT_TRUE(KVAPTManager::installDPKG(deb, {})) << KVAPTManager::output().value_or("");
    return deb;
  }

  TempDir repo;
};
}  // namespace

TEST_F(APTTools, PolicyKnowsTheRepositorysPackageAndVersions) {
  TestHttpServer server;
  std::string location = addRepository(server);
  EXPECT_EQ(Files::readText(KVAPTManager::sourcesListPath()), "deb " + location + " ./\n");

  std::vector<KVAPTVersionSource> fromBlock;
  auto versions = KVAPTManager::availableVersionsForIdentifierWithSourceInfo(
      "com.example.tool", [&](const std::vector<KVAPTVersionSource>& v) { fromBlock = v; });
  ASSERT_EQ(versions.size(), 2u) << KVAPTManager::output().value_or("");
  EXPECT_EQ(versions, fromBlock);
  EXPECT_EQ(versions[0].version, "1:2.0-1");
  EXPECT_EQ(versions[1].version, "1.0");
  for (const auto& v : versions) {
    EXPECT_EQ(v.source.rfind(server.baseURL() + "/repo", 0), 0u) << v.source;
    EXPECT_NE(v.source.find("./ Packages"), std::string::npos) << v.source;
  }
  EXPECT_EQ(KVAPTManager::availableVersionsForIdentifier("com.example.tool"),
            (std::vector<std::string>{"1:2.0-1", "1.0"}));
  EXPECT_EQ(KVAPTManager::depends("com.example.tool"), std::vector<std::string>{"com.example.lib"});
  EXPECT_TRUE(KVAPTManager::availableVersionsForIdentifierWithSourceInfo("com.example.unknown").empty());

  // Nothing was fetched: the lists came through the layer.
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(APTTools, DryRunResolvesTheDependency) {
  TestHttpServer server;
  addRepository(server);
  KVAPTCommandResult dry = KVAPTManager::dryRunForQueue("com.example.tool");
  ASSERT_TRUE(dry.ran);
  EXPECT_NE(dry.output.find("The following additional packages will be installed:\n  com.example.lib\n"),
            std::string::npos)
      << dry.output;
  EXPECT_NE(dry.output.find("The following NEW packages will be installed:\n  com.example.lib com.example.tool\n"),
            std::string::npos)
      << dry.output;
  EXPECT_TRUE(deviceRoot().packageStatus("com.example.tool").empty());
  EXPECT_EQ(server.requestCount(), 0u);

  KVAPTManager::generateCaches();
  EXPECT_TRUE(Files::exists(KVAPTManager::sandboxPath() + "/pkgcache.bin"));
}

TEST_F(APTTools, InstallDPKGInstallsALocalArchiveIntoTheRoot) {
  // A path with blanks and shell characters arrives as the one path it is.
  const std::string folder = debs();
  std::string weird = folder + "/My Tweak $(touch pwned) `x` 'q\".deb";
  std::string deb = DebBuilder(debs()).build(DebPackage("com.example.local", "2.1").file("/usr/share/local/data", "x"));
  ASSERT_TRUE(Files::moveItem(deb, weird));

  std::vector<std::string> pieces;
  bool ok = KVAPTManager::installDPKG(weird, [&](const std::string& piece, const std::string&, bool done, int32_t) {
    if (!done) pieces.push_back(piece);
  });
  EXPECT_TRUE(ok) << KVAPTManager::output().value_or("");
  EXPECT_EQ(deviceRoot().packageStatus("com.example.local"), "install ok installed");
  EXPECT_EQ(deviceRoot().packageVersion("com.example.local"), "2.1");
  EXPECT_EQ(Files::readText(deviceRoot().hostPath("/usr/share/local/data")), "x");
  EXPECT_TRUE(std::any_of(pieces.begin(), pieces.end(),
                          [](const std::string& p) { return p.rfind("Setting up com.example.local", 0) == 0; }));
  EXPECT_FALSE(Files::exists(folder + "/pwned"));
  EXPECT_TRUE(contains(KVAPTManager::installedFilesForIdentifer("com.example.local"), "/usr/share/local/data"));
  EXPECT_TRUE(KVAPTManager::installedFilesForIdentifer("com.example.never").empty());

  auto info = KVAPTManager::packageInfo(weird, {});
  ASSERT_TRUE(info);
  EXPECT_NE(info->find("Package: com.example.local"), std::string::npos);

  EXPECT_EQ(KVAPTManager::unmetDependenciesFromArrayOfDependencies({"com.example.local", "com.example.missing", "x;y"}),
            (std::vector<std::string>{"com.example.missing", "x;y"}));

  EXPECT_FALSE(KVAPTManager::installDPKG(folder + "/missing.deb", {}));
  EXPECT_NE(KVAPTManager::status(), 0);
}

TEST_F(APTTools, HoldAndUnholdChangeTheDevicesSelection) {
  installLocally(DebPackage("com.example.held"));
  ASSERT_EQ(deviceRoot().packageStatus("com.example.held"), "install ok installed");
  std::string last;
  EXPECT_TRUE(KVAPTManager::hold("com.example.held", [&](const std::string&, const std::string& w, bool done, int32_t) {
    if (done) last = w;
  }));
  EXPECT_NE(last.find("com.example.held set on hold."), std::string::npos) << last;
  EXPECT_EQ(deviceRoot().packageStatus("com.example.held"), "hold ok installed");
  EXPECT_TRUE(KVAPTManager::unhold("com.example.held", {}));
  EXPECT_EQ(deviceRoot().packageStatus("com.example.held"), "install ok installed");
}

TEST_F(APTTools, FixPartiallyInstalledPackagesRepairsAHalfConfiguredPackage) {
  // The configuration script fails while the flag file exists in the root.
  const std::string flag = deviceRoot().hostPath("/tmp/fail-configure");
  ASSERT_TRUE(Files::writeAtomically(flag, std::string()));
  std::string deb = DebBuilder(debs()).build(DebPackage("com.example.fragile").script(
      "postinst", "#!/bin/sh\nif [ -e /tmp/fail-configure ]; then echo 'not yet'; exit 1; fi\necho configured\n"));
  EXPECT_FALSE(KVAPTManager::installDPKG(deb, {}));
  ASSERT_EQ(deviceRoot().packageStatus("com.example.fragile"), "install ok half-configured");

  Files::removeItem(flag);
  KVAPTManager::fixPartiallyInstalledPackages();
  EXPECT_EQ(deviceRoot().packageStatus("com.example.fragile"), "install ok installed");
  EXPECT_NE(KVAPTManager::output().value_or("").find("configured"), std::string::npos);
  EXPECT_EQ(KVAPTManager::status(), 0);
}

TEST_F(APTTools, ArchivesGetAPTsNamesEvenWithAnEpoch) {
  TempDir downloads;
  std::string deb = DebBuilder(downloads.path()).build(DebPackage("com.example.tool", "1:2.0-1"), "download.tmp");
  ASSERT_TRUE(KVAPTManager::copyDebToSandboxFromPath(deb));
  EXPECT_FALSE(Files::exists(deb));
  EXPECT_TRUE(Files::exists(KVAPTManager::archivesPath() + "/com.example.tool_1%3a2.0-1_iphoneos-arm.deb"));
  EXPECT_FALSE(Files::exists(KVAPTManager::archivesPath() + "/_tmp.deb"));

  // Something that is no archive can't be named: it stays where it is.
  std::string junk = downloads.file("junk.tmp");
  ASSERT_TRUE(Files::writeAtomically(junk, std::string("<html>not found</html>")));
  EXPECT_FALSE(KVAPTManager::copyDebToSandboxFromPath(junk));
  EXPECT_TRUE(Files::exists(junk));
  EXPECT_FALSE(Files::exists(KVAPTManager::archivesPath() + "/_tmp.deb"));

  KVAPTManager::cleanUpArchivesIfNeeded();
  EXPECT_EQ(Files::contentsOfDirectory(KVAPTManager::archivesPath()), std::vector<std::string>{"partial"});
}

TEST_F(APTTools, AStartClearsTheArchivesWhenTheyHoldMoreThanAPTsLockAndAnEmptyPartialFolder) {
  const std::string archives = KVAPTManager::archivesPath();
  ASSERT_TRUE(Files::writeAtomically(archives + "/lock", std::string()));
  KVAPTManager::cleanUpArchivesAtLaunch();  // nothing to remove: no run, the lock stays
  EXPECT_EQ(Files::contentsOfDirectory(archives), (std::vector<std::string>{"lock", "partial"}));

  // A download cut off, and a link in place of the partial folder: both go.
  ASSERT_TRUE(Files::writeAtomically(archives + "/partial/tool.deb", std::string("half")));
  KVAPTManager::cleanUpArchivesAtLaunch();
  EXPECT_EQ(Files::contentsOfDirectory(archives), std::vector<std::string>{"partial"});
  EXPECT_TRUE(Files::contentsOfDirectory(archives + "/partial").empty());
  TempDir elsewhere;
  ASSERT_TRUE(Files::writeAtomically(elsewhere.file("kept"), std::string("kept")));
  ASSERT_TRUE(Files::removeItem(archives + "/partial"));
  ASSERT_EQ(::symlink(elsewhere.path().c_str(), (archives + "/partial").c_str()), 0);
  KVAPTManager::cleanUpArchivesAtLaunch();
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::symlink_status(archives + "/partial")));
  EXPECT_EQ(Files::readText(elsewhere.file("kept")), "kept");
}

TEST_F(APTTools, FixPartiallyInstalledPackagesLeavesAMissingDependencyAlone) {
  // The start-up repair configures what it can; a package whose dependency was never
  // installed stays unpacked: nothing is fetched, installed or removed without the
  // user, and the failure is reported as one.
  TestHttpServer server;
  addRepository(server);
  std::string deb = DebBuilder(debs()).build(DebPackage("com.example.needy").field("Depends", "com.example.lib"));
  EXPECT_FALSE(KVAPTManager::installDPKG(deb, {}));
  ASSERT_EQ(deviceRoot().packageStatus("com.example.needy"), "install ok unpacked");

  KVAPTManager::fixPartiallyInstalledPackages();
  EXPECT_NE(KVAPTManager::status(), 0);
  EXPECT_NE(KVAPTManager::output().value_or("").find("dependency problems"), std::string::npos);
  EXPECT_EQ(deviceRoot().packageStatus("com.example.needy"), "install ok unpacked");
  EXPECT_NE(deviceRoot().packageStatus("com.example.lib"), "install ok installed");
  EXPECT_EQ(server.requestCount(), 0u);
}

namespace {
// As a run cut off half way leaves them (a lost battery, a killed process tree): dpkg's
// record of each package named says it must be reinstalled, at `version` when given.
void markHalfInstalled(const std::string& statusPath, const std::map<std::string, std::string>& packages) {
  std::istringstream in(Files::readText(statusPath).value_or(""));
  std::string out, current;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Package: ", 0) == 0) current = line.substr(9);
    auto marked = packages.find(current);
    if (marked != packages.end() && line.rfind("Status: ", 0) == 0) line = "Status: install reinstreq half-installed";
    if (marked != packages.end() && !marked->second.empty() && line.rfind("Version: ", 0) == 0)
      line = "Version: " + marked->second;
    out += line + "\n";
  }
  ASSERT_TRUE(Files::writeAtomically(statusPath, out));
}
}  // namespace

// Beside a half-installed package APT refuses every install. The start-up repair
// reinstalls one whose archive APT's cache still holds, removes one it has nothing to
// reinstall from, and names on a card one it could not bring back.
TEST_F(APTTools, TheStartUpRepairBringsHalfInstalledPackagesBack) {
  TestRoot testRoot;
  TestHttpServer server;
  addRepository(server);
  installLocally(DebPackage("com.example.cached").file("/usr/share/cached/text", "1\n"));
  installLocally(DebPackage("com.example.gone").file("/usr/share/gone/text", "gone\n"));
  installLocally(DebPackage("com.example.stuck").script("postrm", "#!/bin/sh\nexit 1\n"));
  TempDir downloads;
  std::string cached = DebBuilder(downloads.path())
                           .build(DebPackage("com.example.cached", "2.0").file("/usr/share/cached/text", "2\n"), "c.tmp");
  ASSERT_TRUE(KVAPTManager::copyDebToSandboxFromPath(cached));
  markHalfInstalled(deviceRoot().hostPath("/var/lib/dpkg/status"),
                    {{"com.example.cached", "2.0"}, {"com.example.gone", ""}, {"com.example.stuck", ""}});
  ASSERT_TRUE(Files::copyItem(repo.file("lib-1.deb"), downloads.file("l.tmp")));
  ASSERT_TRUE(KVAPTManager::copyDebToSandboxFromPath(downloads.file("l.tmp")));
  EXPECT_FALSE(KVAPTManager::install("com.example.lib", {}));

  KVRepairOutcome outcome = KVAPTManager::fixPartiallyInstalledPackages();
  EXPECT_EQ(outcome.reinstalled, std::vector<std::string>{"com.example.cached"});
  EXPECT_EQ(outcome.removed, std::vector<std::string>{"com.example.gone"});
  EXPECT_EQ(outcome.unrepaired, std::vector<std::string>{"com.example.stuck"});
  EXPECT_EQ(deviceRoot().packageStatus("com.example.cached"), "install ok installed");
  EXPECT_EQ(Files::readText(deviceRoot().hostPath("/usr/share/cached/text")), "2\n");
  EXPECT_FALSE(Files::exists(deviceRoot().hostPath("/usr/share/gone/text")));
  RunLoop::main().runUntilIdle();
  ASSERT_EQ(testRoot.cards().size(), 1u);
  EXPECT_EQ(testRoot.cards()[0].title, "Half-Installed Packages");
  EXPECT_NE(testRoot.cards()[0].message.find("com.example.stuck"), std::string::npos) << testRoot.cards()[0].message;

  // Once its script lets it go, the next start removes it and APT installs again.
  ASSERT_TRUE(Files::writeAtomically(deviceRoot().hostPath("/var/lib/dpkg/info/com.example.stuck.postrm"),
                                     std::string("#!/bin/sh\nexit 0\n")));
  EXPECT_EQ(KVAPTManager::fixPartiallyInstalledPackages().removed, std::vector<std::string>{"com.example.stuck"});
  EXPECT_TRUE(KVAPTManager::halfInstalledPackages().empty());
  EXPECT_TRUE(KVAPTManager::install("com.example.lib", {})) << KVAPTManager::output().value_or("");
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(APTTools, QueuedPackagesThatDependOnARemovalAreFoundInTheBackground) {
  installLocally(DebPackage("com.example.base"));
  installLocally(DebPackage("com.example.user").field("Depends", "com.example.base"));
  installLocally(DebPackage("com.example.bystander"));

  // Shared with the background block, which may outlive a failed wait.
  struct Answer {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<std::vector<std::string>> dependents;
  };
  auto answer = std::make_shared<Answer>();
  const std::string queue = "com.example.user com.example.bystander=1.0 com.example.other+";
  KVAPTManager::packagesInQueueThatDependOnPackage("com.example.base", queue, [answer](const std::vector<std::string>& found) {
    std::lock_guard<std::mutex> lock(answer->mutex);
    answer->dependents = found;
    answer->changed.notify_all();
  });
  std::unique_lock<std::mutex> lock(answer->mutex);
  ASSERT_TRUE(answer->changed.wait_for(lock, std::chrono::seconds(30), [&] { return answer->dependents.has_value(); }));
  const auto& dependents = answer->dependents;
  EXPECT_EQ(*dependents, std::vector<std::string>{"com.example.user"});
  // Only a dry run: nothing was removed.
  EXPECT_EQ(deviceRoot().packageStatus("com.example.base"), "install ok installed");
}
