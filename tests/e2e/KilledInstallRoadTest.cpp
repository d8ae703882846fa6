// An install's whole process tree killed at a random moment, as a lost battery would kill
// it, then at once a start of the application: after the start-up repair the next install
// works, whatever the moment was (in the launcher's making of its sandbox, in APT, in
// dpkg's unpacking, in a maintainer script, in the writing of its records). The real
// install command line runs through the launcher; the start's commands wait for the end of
// the killed sandbox by themselves, however long its dpkg takes to die.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "foundation/Files.h"
#include "operations/KVAPTManager.h"
#include "support/DebBuilder.h"
#include "support/DeviceRootFixture.h"
#include "support/TypedLocation.h"
#include "system/Process.h"

namespace {
using Clock = std::chrono::steady_clock;

class KilledInstallRoad : public DeviceRootFixture, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    DeviceRootFixture::SetUp();
    ASSERT_EQ(KVAPTManager::createAPTSandboxIfNeeded(), nullptr);
    // Two versions with enough files that unpacking takes a while, and a script that
    // copies, links and runs a shell.
    folder = deviceRoot().hostPath("/var/mobile/Documents");
    for (const char* version : {"1.0", "2.0"}) {
      DebPackage package("com.example.victim", version);
      for (int i = 0; i < 150; ++i)
        package.file("/usr/share/victim/file" + std::to_string(i), std::string(2000, 'a' + i % 26) + version);
      package.script("postinst", "#!/bin/sh\nset -e\ncd /usr/share/victim\nbusybox cp file1 copy\n"
                                 "busybox ln -sf copy link\nsh -c 'cat link > done'\n");
      DebBuilder(folder).build(package, std::string("victim-") + version + ".deb");
    }
    ASSERT_TRUE(DebBuilder::writeFlatRepository(folder, {"victim-1.0.deb", "victim-2.0.deb"}));
    const std::string location = "http://127.0.0.1:9/victim/";
    ASSERT_EQ(KVAPTManager::writeReleaseContents(Files::readText(folder + "/Release").value_or(""), typedLocation(location)), nullptr);
    ASSERT_EQ(KVAPTManager::writePackagesContents(Files::readText(folder + "/Packages").value_or(""), typedLocation(location)),
              nullptr);
  }

  // Both archives in APT's cache, as the download tasks leave them.
  void stockTheCache() {
    for (const char* version : {"1.0", "2.0"}) {
      TempDir downloads;
      ASSERT_TRUE(Files::copyItem(folder + "/victim-" + version + ".deb", downloads.file("download.tmp")));
      ASSERT_TRUE(KVAPTManager::copyDebToSandboxFromPath(downloads.file("download.tmp")));
    }
  }
  std::string installLine(const std::string& version) {
    return *KVAPTManager::installCommand("com.example.victim=" + version);
  }
  // Runs the install of `version` and kills the launcher after `delay`: the sandbox dies
  // with it, every process of the install.
  void killInstall(const std::string& version, Clock::duration delay) {
    Process install;
    install.setLaunchPath("/bin/bash");
    install.setArguments({"-c", "exec " + installLine(version) + " >/dev/null 2>&1"});
    ASSERT_TRUE(install.launch());
    std::this_thread::sleep_for(delay);
    ::kill(install.processIdentifier(), SIGKILL);
    install.waitUntilExit();
  }
  // What the application's start does about packages: the archives, then the repair.
  KVRepairOutcome start() {
    KVAPTManager::cleanUpArchivesAtLaunch();
    return KVAPTManager::fixPartiallyInstalledPackages();
  }

  std::string folder;
};
}  // namespace

// Ten moments a run, over the whole length of an install, at random but reproducibly.
TEST_P(KilledInstallRoad, EveryInstallAfterAKillAndAStartSucceeds) {
  stockTheCache();
  auto began = Clock::now();
  ASSERT_TRUE(KVAPTManager::install("com.example.victim=1.0", {})) << KVAPTManager::output().value_or("");
  const double length = std::chrono::duration<double>(Clock::now() - began).count();
  std::mt19937 random(35 + GetParam());
  std::uniform_real_distribution<double> within(0, 1);
  const int kMoments = 10;
  for (int i = 0; i < kMoments; ++i) {
    const std::string killed = i % 2 ? "1.0" : "2.0", next = i % 2 ? "2.0" : "1.0";
    const double moment = length * (i + within(random)) / kMoments;
    SCOPED_TRACE("killed the install of " + killed + " after " + std::to_string(moment) + " s of " +
                 std::to_string(length));
    stockTheCache();
    killInstall(killed, std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(moment)));
    KVRepairOutcome outcome = start();
    EXPECT_TRUE(outcome.unrepaired.empty());
    stockTheCache();
    ASSERT_TRUE(KVAPTManager::install("com.example.victim=" + next, {})) << KVAPTManager::output().value_or("");
    EXPECT_EQ(deviceRoot().packageStatus("com.example.victim"), "install ok installed");
    EXPECT_EQ(deviceRoot().packageVersion("com.example.victim"), next);
    EXPECT_EQ(Files::readText(deviceRoot().hostPath("/usr/share/victim/done")),
              std::string(2000, 'b') + next);
  }
}

INSTANTIATE_TEST_SUITE_P(TwentyMoments, KilledInstallRoad, ::testing::Values(0, 1));
