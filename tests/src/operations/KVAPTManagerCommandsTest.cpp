// The command lines the APT layer composes, byte for byte.
#include <gtest/gtest.h>

#include "core/KVPlatform.h"
#include "operations/KVAPTManager.h"
#include "support/DeviceRootFixture.h"
#include "support/ScopedDeviceRoot.h"

namespace {
const char* kTail = " --reinstall --fix-missing --fix-broken --quiet --assume-yes --allow-unauthenticated "
                    "--allow-downgrades --ignore-hold";

// On a device (root "/") the lines are exactly the documented ones.
class DeviceCommands : public ::testing::Test {
 protected:
  ScopedDeviceRoot device_{""};
  const std::string L = "/usr/libexec/quillbark/dedev \"";
  const std::string CFG = "/var/mobile/Library/Application\\ Support/Quillbark/APT/quillbark.config";
};

class RootCommands : public DeviceRootFixture {};
}  // namespace

TEST_F(DeviceCommands, EveryTemplate) {
  EXPECT_EQ(KVAPTManager::fixPartiallyInstalledCommand(),
            L + "dpkg --configure -a && apt-get install -f --config-file " + CFG + " && dpkg --configure -a\"");
  // The dry run takes the run's own options: it decides as the run will.
  EXPECT_EQ(KVAPTManager::dryRunCommand("com.a com.b=1.0 com.c-"),
            L + "apt-get install com.a com.b=1.0 com.c- --config-file " + CFG + kTail + " --show-upgraded --simulate\"");
  EXPECT_EQ(KVAPTManager::dryRunCommand("com.a=2.0", {}, true),
            L + "apt-get install com.a=2.0 --config-file " + CFG + kTail +
                " --allow-change-held-packages --show-upgraded --simulate\"");
  EXPECT_EQ(KVAPTManager::installCommand("com.a=2.0", {}, true),
            L + "apt-get install com.a=2.0 --config-file " + CFG + kTail + " --allow-change-held-packages\"");
  EXPECT_EQ(KVAPTManager::aptGetCommand("install", "com.a com.b-"),
            L + "apt-get install com.a com.b- --config-file " + CFG + kTail + "\"");
  EXPECT_EQ(KVAPTManager::aptGetCommand("install", "com.a", false),
            L + "apt-get install com.a --config-file " + CFG +
                " --reinstall --fix-missing --fix-broken --quiet --assume-yes --allow-unauthenticated --ignore-hold\"");
  EXPECT_EQ(KVAPTManager::aptGetCommand("remove", "com.a", false),
            L + "apt-get remove com.a --config-file " + CFG + kTail + "\"");
  EXPECT_EQ(KVAPTManager::aptGetCommand("upgrade", "com.a"),
            L + "apt-get upgrade com.a --config-file " + CFG + kTail + "\"");
  EXPECT_EQ(KVAPTManager::aptMarkCommand("hold", "com.a"), L + "apt-mark hold com.a --config-file " + CFG + "\"");
  EXPECT_EQ(KVAPTManager::aptMarkCommand("unhold", "com.a"), L + "apt-mark unhold com.a --config-file " + CFG + "\"");
  EXPECT_EQ(KVAPTManager::generateCachesCommand(), L + "apt-cache gencaches --config-file " + CFG + "\"");
  EXPECT_EQ(KVAPTManager::configureCommand("com.a"), L + "dpkg --configure -- com.a\"");
  // Local archives follow the queue; a path APT could read otherwise is refused.
  EXPECT_EQ(KVAPTManager::installCommand("com.a", {"/var/mobile/Documents/Inbox/My Tweak_1.0.deb"}),
            L + "apt-get install com.a /var/mobile/Documents/Inbox/My\\ Tweak_1.0.deb --config-file " + CFG + kTail + "\"");
  EXPECT_EQ(KVAPTManager::dryRunCommand("", {"/var/mobile/a.deb"}),
            L + "apt-get install /var/mobile/a.deb --config-file " + CFG + kTail + " --show-upgraded --simulate\"");
  for (const char* path : {"a.deb", "/var/a.deb;true", "/var/$(true).deb", "/var/a\nb.deb", "/var/a.txt", "/var/../a.deb"})
    EXPECT_FALSE(KVAPTManager::installCommand("", {path})) << path;
  EXPECT_EQ(KVAPTManager::installDPKGCommand("/var/mobile/Documents/My Tweak.deb"),
            L + "dpkg -i -- /var/mobile/Documents/My\\ Tweak.deb\"");
  EXPECT_EQ(KVAPTManager::debFieldsCommand("/var/mobile/Library/Application Support/Quillbark/APT/archives/_tmp.deb"),
            L + "dpkg-deb -f -- /var/mobile/Library/Application\\ Support/Quillbark/APT/archives/_tmp.deb Package Version "
                "Architecture\"");
  EXPECT_EQ(KVAPTManager::cleanUpArchivesCommand(),
            L + "rm -Rf /var/mobile/Library/Application\\ Support/Quillbark/APT/archives\"");
  EXPECT_EQ(KVAPTManager::dependsCommand("com.a"), L + "apt-cache --no-generate depends com.a --config-file " + CFG + "\"");
  // The format's "$" is kept from bash, so dpkg-query sees ${Status}.
  EXPECT_EQ(KVAPTManager::dpkgStatusCommand("com.a"), L + "dpkg-query -W --showformat='\\${Status}\n' com.a\"");
  EXPECT_EQ(KVAPTManager::listVersionsCommand("com.a"), L + "apt list -a com.a --config-file " + CFG + "\"");
  EXPECT_EQ(KVAPTManager::policyCommand("com.a"), L + "apt-cache policy com.a --config-file " + CFG + "\"");
  EXPECT_EQ(KVAPTManager::packageInfoCommand("/tmp/a.deb"), L + "dpkg -I -- /tmp/a.deb control\"");
}

TEST_F(DeviceCommands, UnsafeValuesComposeNoCommand) {
  for (const std::string bad : {"com.a;reboot", "com.a $(id)", "`id`", "com.a\ncom.b", "../x", "a'b", ""}) {
    EXPECT_FALSE(KVAPTManager::aptMarkCommand("hold", bad)) << bad;
    EXPECT_FALSE(KVAPTManager::dependsCommand(bad)) << bad;
    EXPECT_FALSE(KVAPTManager::dpkgStatusCommand(bad)) << bad;
    EXPECT_FALSE(KVAPTManager::listVersionsCommand(bad)) << bad;
    EXPECT_FALSE(KVAPTManager::policyCommand(bad)) << bad;
  }
  for (const std::string bad : {"com.a;reboot", "com.a=1.0$(id)", "com.a `id`", "com.a=", "com.a|x"}) {
    EXPECT_FALSE(KVAPTManager::dryRunCommand(bad)) << bad;
    EXPECT_FALSE(KVAPTManager::aptGetCommand("install", bad)) << bad;
  }
  EXPECT_FALSE(KVAPTManager::aptGetCommand("purge; reboot", "com.a"));
  EXPECT_FALSE(KVAPTManager::aptMarkCommand("auto", "com.a"));
  // Archive paths are any text, quoted.
  EXPECT_EQ(KVAPTManager::installDPKGCommand("/tmp/$(reboot)`x`\".deb"),
            L + "dpkg -i -- /tmp/\\\\\\$\\(reboot\\)\\\\\\`x\\\\\\`\\\\\\\".deb\"");
}

TEST(SystemVersion, DowngradesFromEleven) {
  EXPECT_FALSE(KVAPTManager::systemVersionAllowsDowngrades("10.3.3"));
  EXPECT_FALSE(KVAPTManager::systemVersionAllowsDowngrades("9.9.9"));
  EXPECT_FALSE(KVAPTManager::systemVersionAllowsDowngrades("10.10"));
  EXPECT_TRUE(KVAPTManager::systemVersionAllowsDowngrades("11.0"));
  EXPECT_TRUE(KVAPTManager::systemVersionAllowsDowngrades("11"));
  EXPECT_TRUE(KVAPTManager::systemVersionAllowsDowngrades("12.4"));
  EXPECT_TRUE(KVAPTManager::systemVersionAllowsDowngrades("14.4.2"));
}

TEST_F(RootCommands, LinesNameTheRootsOwnLauncherAndConfiguration) {
  const std::string apt = rootPath() + "/var/mobile/Library/Application\\ Support/Quillbark/APT";
  EXPECT_EQ(KVAPTManager::launcherPath(), rootPath() + "/usr/libexec/quillbark/dedev");
  EXPECT_EQ(KVAPTManager::configurationArgument(), apt + "/quillbark.config");
  EXPECT_EQ(KVAPTManager::generateCachesCommand(),
            rootPath() + "/usr/libexec/quillbark/dedev \"apt-cache gencaches --config-file " + apt + "/quillbark.config\"");
}

TEST_F(RootCommands, InstallFollowsTheDevicesSystemVersion) {
  for (const auto& [version, downgrades] : std::vector<std::pair<std::string, bool>>{
           {"10.3.3", false}, {"11.0", true}, {"12.4", true}}) {
    ASSERT_TRUE(DeviceRootBuilder::setSystemVersion(rootPath(), version));
    KVPlatform::resetCaches();
    auto line = KVAPTManager::installCommand("com.a");
    ASSERT_TRUE(line);
    EXPECT_EQ(line->find("--allow-downgrades") != std::string::npos, downgrades) << version;
    EXPECT_NE(line->find("--allow-unauthenticated --"), std::string::npos) << version;
    // The dry run predicts a downgrade refused on an older system.
    EXPECT_EQ(KVAPTManager::dryRunCommand("com.a")->find("--allow-downgrades") != std::string::npos, downgrades) << version;
  }
}

