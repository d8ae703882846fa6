// The dry run with the real apt-get 2.6 in a device root: what a simulation prints for
// installs, upgrades, removals and unmet dependencies, read into the six lists, and
// nothing installed by it even with every archive in place.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "foundation/Files.h"
#include "operations/KVAPTManager.h"
#include "support/DebBuilder.h"
#include "support/DeviceRootFixture.h"
#include "support/TestHttpServer.h"
#include "support/TypedLocation.h"

namespace {

using Ids = std::vector<std::string>;

Ids sorted(Ids ids) {
  std::sort(ids.begin(), ids.end());
  return ids;
}

class DryRunTest : public DeviceRootFixture {
 protected:
  void SetUp() override {
    DeviceRootFixture::SetUp();
    ASSERT_EQ(KVAPTManager::createAPTSandboxIfNeeded(), nullptr);
    DebBuilder debs(repo.path());
    debs.build(DebPackage("com.example.lib", "1.0"), "lib-1.deb");
    debs.build(DebPackage("com.example.lib", "2.0"), "lib-2.deb");
    debs.build(DebPackage("com.example.tool", "1.0").field("Depends", "com.example.lib (>= 1.0)"), "tool.deb");
    debs.build(DebPackage("com.example.broken", "1.0").field("Depends", "com.example.missing"), "broken.deb");
    debs.build(DebPackage("com.example.needy", "1.0").field("Depends", "com.example.dep"), "needy.deb");
    debs.build(DebPackage("com.example.dep", "1.0"), "dep.deb");
    debs.build(DebPackage("com.example.modern", "1.0").field("Depends", "com.example.lib (>= 2.0)"), "modern.deb");
    debs.build(DebPackage("com.example.either", "1.0").field("Depends", "rd.nowhere (>= 1) | rd.elsewhere"), "either.deb");
    ASSERT_TRUE(DebBuilder::writeFlatRepository(
        repo.path(), {"lib-1.deb", "lib-2.deb", "tool.deb", "broken.deb", "needy.deb", "dep.deb", "either.deb", "modern.deb"}));
    server.serveFolder(repo.path(), "/repo/");
    location = server.url("/repo/");
    ASSERT_EQ(KVAPTManager::writeReleaseContents(Files::readText(repo.file("Release")).value_or(""), typedLocation(location)), nullptr);
    ASSERT_EQ(KVAPTManager::writePackagesContents(Files::readText(repo.file("Packages")).value_or(""), typedLocation(location)), nullptr);
  }
  // Installs an archive of the repository into the root, as an earlier run would have.
  void installLocally(const std::string& file) {
    std::string deb = deviceRoot().hostPath("/var/mobile/Documents/" + file);
    ASSERT_TRUE(Files::createDirectories(Files::deletingLastPathComponent(deb)));
    ASSERT_TRUE(Files::copyItem(repo.file(file), deb));
    ASSERT_TRUE(KVAPTManager::installDPKG(deb, {})) << KVAPTManager::output().value_or("");
    // APT knows a status file by its size and its time to the second: one changed within
    // the second of the last run, at the same size, would be read from its stale cache.
    for (const char* cache : {"/pkgcache.bin", "/srcpkgcache.bin"}) Files::removeItem(KVAPTManager::sandboxPath() + cache);
  }
  APTDependsTree dryRun(const std::string& queue) {
    std::optional<APTDependsTree> told;
    APTDependsTree tree = KVAPTManager::unmetDependenciesForPackages(queue, [&](const APTDependsTree& t) { told = t; });
    EXPECT_EQ(told, tree) << "the block gets the same lists";
    return tree;
  }

  TempDir repo;
  TestHttpServer server;
  std::string location;
};

TEST_F(DryRunTest, AnInstallWithADependencyListsBothAndInstallsNothing) {
  // Even with the archives in place, the simulation changes nothing.
  for (const char* file : {"tool.deb", "lib-2.deb"}) {
    TempDir downloads;
    ASSERT_TRUE(Files::copyItem(repo.file(file), downloads.file("download.tmp")));
    ASSERT_TRUE(KVAPTManager::copyDebToSandboxFromPath(downloads.file("download.tmp")));
  }
  APTDependsTree tree = dryRun("com.example.tool");
  EXPECT_EQ(sorted(tree.downloads), (Ids{"com.example.lib", "com.example.tool"}));
  EXPECT_EQ(tree.depends, Ids{"com.example.lib"});
  EXPECT_EQ(sorted(tree.installs), (Ids{"com.example.lib", "com.example.tool"}));
  EXPECT_TRUE(tree.removes.empty() && tree.upgrades.empty() && tree.incompatible.empty());
  EXPECT_TRUE(deviceRoot().packageStatus("com.example.tool").empty()) << "a dry run installs nothing";
  EXPECT_TRUE(deviceRoot().packageStatus("com.example.lib").empty());
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(DryRunTest, UpgradesAndRemovalsAreListed) {
  installLocally("lib-1.deb");
  installLocally("tool.deb");
  APTDependsTree upgrade = dryRun("com.example.lib");
  EXPECT_EQ(upgrade.upgrades, Ids{"com.example.lib"});
  EXPECT_EQ(upgrade.downloads, Ids{"com.example.lib"});

  using Change = APTPlannedChange;
  EXPECT_EQ(upgrade.changes, (std::vector<Change>{{"com.example.lib", Change::Upgrade, "1.0", "2.0"}}));

  APTDependsTree removal = dryRun("com.example.lib-");
  EXPECT_EQ(sorted(removal.removes), (Ids{"com.example.lib", "com.example.tool"})) << "what needs it goes too";
  EXPECT_TRUE(removal.downloads.empty());
  EXPECT_EQ(removal.changes, (std::vector<Change>{{"com.example.tool", Change::Remove, "1.0", ""},
                                                  {"com.example.lib", Change::Remove, "1.0", ""}}));
  EXPECT_TRUE(removal.problems.empty());

  // A downgraded dependency is fetched too; a reinstall is told apart from an upgrade.
  installLocally("lib-2.deb");
  APTDependsTree older = dryRun("com.example.lib=1.0 com.example.tool");
  EXPECT_EQ(older.changes, (std::vector<Change>{{"com.example.lib", Change::Downgrade, "2.0", "1.0"},
                                                {"com.example.tool", Change::Reinstall, "1.0", "1.0"}}));
  EXPECT_EQ(sorted(older.downloads), (Ids{"com.example.lib", "com.example.tool"}));
  EXPECT_EQ(deviceRoot().packageStatus("com.example.lib"), "install ok installed");
}

TEST_F(DryRunTest, UnmetDependenciesNameWhatCannotBeInstalled) {
  APTDependsTree broken = dryRun("com.example.broken");
  EXPECT_EQ(broken.incompatible, Ids{"com.example.broken"});
  EXPECT_EQ(broken.downloads, Ids{"com.example.broken"}) << "the queue's own token";
  EXPECT_EQ(broken.problems, Ids{"com.example.broken needs com.example.missing, which no source offers"});
  // Alternatives, none of which any source offers: APT ends each but the last with "or".
  EXPECT_EQ(dryRun("com.example.either").problems,
            Ids{"com.example.either needs rd.nowhere (>= 1) or rd.elsewhere, and none can be installed"})
      << KVAPTManager::output().value_or("");
  EXPECT_EQ(dryRun("com.example.gone com.example.tool=9").problems,
            (Ids{"no source offers com.example.gone", "no source offers com.example.tool version 9"}));

  // A dependency that could be had, but that the same queue removes, is reported as not
  // going to be installed: it is listed to install, and nothing is incompatible.
  installLocally("dep.deb");
  APTDependsTree needy = dryRun("com.example.needy com.example.dep-");
  EXPECT_EQ(needy.installs, Ids{"com.example.dep"}) << KVAPTManager::output().value_or("");
  EXPECT_EQ(needy.downloads, (Ids{"com.example.needy", "com.example.dep"}));
  EXPECT_EQ(needy.removes, Ids{"com.example.dep"});
  EXPECT_TRUE(needy.incompatible.empty());
}

// The dry run decides as the run will: a held package the queue names (a version picked
// by hand) is changed, and the screen is told its hold goes; one it changes without naming
// it stops the queue before Confirm, with what to do.
TEST_F(DryRunTest, HeldPackagesChangeOnlyWhenTheQueueNamesThem) {
  installLocally("lib-1.deb");
  ASSERT_TRUE(KVAPTManager::hold("com.example.lib", {}));
  for (const char* cache : {"/pkgcache.bin", "/srcpkgcache.bin"}) Files::removeItem(KVAPTManager::sandboxPath() + cache);
  APTDependsTree picked = dryRun("com.example.lib=2.0");
  EXPECT_TRUE(picked.problems.empty()) << picked.problems[0];
  EXPECT_TRUE(picked.allowsHeldChanges);
  EXPECT_EQ(picked.notes, Ids{"com.example.lib is held: confirming installs 2.0 as queued, and it is held no longer"});
  EXPECT_EQ(picked.upgrades, Ids{"com.example.lib"});
  EXPECT_EQ(dryRun("com.example.lib-").notes, Ids{"com.example.lib is held: confirming removes it all the same"});

  APTDependsTree needsIt = dryRun("com.example.modern");
  EXPECT_FALSE(needsIt.allowsHeldChanges);
  EXPECT_EQ(needsIt.problems, Ids{"com.example.lib is held, and this queue would change it: show its updates first, "
                                  "or take out of the queue what needs it"})
      << KVAPTManager::output().value_or("");
  EXPECT_EQ(deviceRoot().packageStatus("com.example.lib"), "hold ok installed");
}

TEST_F(DryRunTest, AnEmptyQueueRunsNothingAndABusyOneSpeaksForItself) {
  bool called = false;
  APTDependsTree empty = KVAPTManager::unmetDependenciesForPackages("", [&](const APTDependsTree&) { called = true; });
  EXPECT_EQ(empty, APTDependsTree{});
  EXPECT_FALSE(called);
  // A queue the layer refuses to pass to a shell gives only its own tokens.
  APTDependsTree refused = dryRun("com.example.tool com.example.x;touch");
  EXPECT_EQ(refused.downloads, (Ids{"com.example.tool", "com.example.x;touch"}));
  EXPECT_TRUE(refused.installs.empty());
  EXPECT_EQ(refused.problems.size(), 1u) << "and can't be confirmed";
}

// dpkg's status is no file (a hook left a named pipe in its place after dpkg's last
// write): the tools would wait on it for good, so none runs, and the queue says why.
TEST_F(DryRunTest, APackageToolIsRefusedWhileDpkgsStatusIsNoFile) {
  const std::string status = deviceRoot().hostPath("/var/lib/dpkg/status");
  ASSERT_TRUE(Files::removeItem(status));
  ASSERT_EQ(::mkfifo(status.c_str(), 0644), 0);
  APTDependsTree tree = dryRun("com.example.tool");
  ASSERT_EQ(tree.problems.size(), 1u);
  EXPECT_EQ(tree.problems[0].rfind("dpkg's status file /var/lib/dpkg/status is a named pipe, not a regular file. "
                                   "Quillbark keeps the packages as it last knew them",
                                   0),
            0u)
      << tree.problems[0];
  EXPECT_TRUE(tree.installs.empty());
  EXPECT_FALSE(KVAPTManager::installDPKG(repo.file("tool.deb"), {}));
  EXPECT_TRUE(KVAPTManager::halfInstalledPackages().empty());
}

}  // namespace
