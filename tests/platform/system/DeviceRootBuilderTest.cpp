#include "system/DeviceRootBuilder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "foundation/Files.h"
#include "support/DebBuilder.h"
#include "support/TempDir.h"
#include "system/DeviceRoot.h"
#include "system/Process.h"

namespace {
const std::string kBuiltLauncher = QB_BINARY_DIR "/platform/launcher/dedev";

bool isExecutable(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IXUSR);
}

// A place for a root that doesn't exist yet.
class DeviceRootBuilderTest : public ::testing::Test {
 protected:
  TempDir dir;
  const std::string root = dir.path() + "/root";
};
}  // namespace

TEST_F(DeviceRootBuilderTest, SetsUpAPTAndDpkgForTheRoot) {
  std::string error;
  ASSERT_TRUE(DeviceRootBuilder::build(root, {}, &error)) << error;

  auto config = Files::readText(root + "/etc/quillbark/apt.conf");
  ASSERT_TRUE(config);
  EXPECT_NE(config->find("Dir \"" + root + "/\";"), std::string::npos);
  EXPECT_NE(config->find("Dir::State::status \"" + root + "/var/lib/dpkg/status\";"), std::string::npos);
  EXPECT_NE(config->find("APT::Architecture \"iphoneos-arm\";"), std::string::npos);
  EXPECT_NE(config->find("\"--root=" + root + "\""), std::string::npos);
  EXPECT_NE(config->find("\"--log=" + root + "/var/log/dpkg.log\""), std::string::npos);
  EXPECT_EQ(Files::readText(root + "/var/lib/dpkg/arch"), "iphoneos-arm\n");
  EXPECT_EQ(Files::readText(root + "/var/root/.dpkg.cfg"), "log " + root + "/var/log/dpkg.log\n");
  for (const char* folder : {"/var/lib/apt", "/var/cache/apt/archives/partial", "/var/log/apt", "/etc/apt/apt.conf.d"})
    EXPECT_TRUE(Files::isDirectory(root + folder)) << folder;
  for (const char* tool : DeviceRootBuilder::kStandInTools) EXPECT_TRUE(isExecutable(root + tool)) << tool;
}

TEST_F(DeviceRootBuilderTest, InstallsTheLauncherAtBothPaths) {
  ASSERT_TRUE(DeviceRootBuilder::build(root));
  std::string error;
  ASSERT_TRUE(DeviceRootBuilder::installLauncher(root, kBuiltLauncher, &error)) << error;
  auto built = Files::read(kBuiltLauncher);
  for (const char* path : {"/usr/libexec/quillbark/dedev", "/usr/libexec/dedev"}) {
    EXPECT_EQ(Files::read(root + path), built) << path;
    EXPECT_TRUE(isExecutable(root + path)) << path;
  }
  EXPECT_FALSE(DeviceRootBuilder::installLauncher(root, dir.file("missing"), &error));
}

TEST_F(DeviceRootBuilderTest, RebuildingKeepsWhatExists) {
  ASSERT_TRUE(DeviceRootBuilder::build(root));
  ASSERT_TRUE(Files::writeAtomically(root + "/var/lib/dpkg/status", std::string("Package: kept\n")));
  ASSERT_TRUE(Files::writeAtomically(root + "/var/lib/dpkg/arch", std::string("amd64\niphoneos-arm\n")));
  ASSERT_TRUE(DeviceRootBuilder::build(root + "/"));
  EXPECT_EQ(Files::readText(root + "/var/lib/dpkg/status"), "Package: kept\n");
  EXPECT_EQ(Files::readText(root + "/var/lib/dpkg/arch"), "amd64\niphoneos-arm\n");
}

TEST(DeviceRootBuilder, RefusesTheHostAndUnnameableRoots) {
  std::string error;
  for (const std::string root : {"", "/", "//", "relative/root"}) {
    EXPECT_FALSE(DeviceRootBuilder::installPackageTools(root, &error)) << root;
    EXPECT_FALSE(DeviceRootBuilder::installToolStandIns(root, &error)) << root;
  }
  TempDir dir;
  EXPECT_FALSE(DeviceRootBuilder::installPackageTools(dir.path() + "/quo\"te", &error));
  EXPECT_FALSE(error.empty());
  // A whole build is refused before it writes anything.
  EXPECT_FALSE(DeviceRootBuilder::build(dir.path() + "/quo\"te", {}, &error));
  EXPECT_FALSE(Files::exists(dir.path() + "/quo\"te"));
  EXPECT_FALSE(DeviceRootBuilder::build("qb-relative-root-never-made", {}, &error));
  EXPECT_FALSE(Files::exists("qb-relative-root-never-made"));
  EXPECT_NE(error.find("absolute"), std::string::npos) << error;
}

TEST_F(DeviceRootBuilderTest, StandInsRecordTheirCallsAndDoNothingElse) {
  ASSERT_TRUE(DeviceRootBuilder::build(root));
  EXPECT_EQ(Process::spawnAndWait(root + "/usr/bin/sbreload", {}), 0);
  EXPECT_EQ(Process::spawnAndWait(root + "/usr/bin/killall", {"-9", "Some Process"}), 0);
  EXPECT_EQ(DeviceRootBuilder::standInCalls(root),
            (std::vector<std::string>{"/usr/bin/sbreload", "/usr/bin/killall -9 Some Process"}));
}

TEST_F(DeviceRootBuilderTest, StaticShellRunsInsideTheRoot) {
  ASSERT_TRUE(DeviceRootBuilder::build(root));
  std::string error;
  ASSERT_TRUE(DeviceRootBuilder::installStaticShell(root, &error)) << error;
  // chrooted, as dpkg runs maintainer scripts: the root's own shell and stand-ins.
  EXPECT_EQ(Process::spawnAndWait("/usr/sbin/chroot", {root, "/bin/sh", "-c", "/usr/bin/uicache --all"}), 0);
  EXPECT_EQ(DeviceRootBuilder::standInCalls(root), std::vector<std::string>{"/usr/bin/uicache --all"});
}
