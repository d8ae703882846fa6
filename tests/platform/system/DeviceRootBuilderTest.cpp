#include "system/DeviceRootBuilder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "foundation/Files.h"
#include "launcher/RootOwnership.h"
#include "support/DebBuilder.h"
#include "support/TempDir.h"
#include "system/DeviceRoot.h"
#include "system/DeviceRootParts.h"
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
  // The host's root keeps the folder; the sandbox's root may write in it; nobody else
  // of the host may enter it.
  struct stat st;
  ASSERT_EQ(::stat(root.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0770u);
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_EQ(st.st_gid, launcher::kMappedRootId);
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
  // The entry is kept, and the device's own entries are added after it.
  EXPECT_EQ(Files::readText(root + "/var/lib/dpkg/status"), "Package: kept\n\n" + DeviceRootParts::devicePackagesStatus({}));
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

TEST_F(DeviceRootBuilderTest, AShellAndItsUtilitiesRunInsideTheRoot) {
  ASSERT_TRUE(DeviceRootBuilder::build(root));
  // chrooted, as dpkg runs maintainer scripts: the root's own shell, utilities and stand-ins.
  EXPECT_EQ(Process::spawnAndWait("/usr/sbin/chroot",
                                  {root, "/bin/bash", "-c",
                                   "mkdir -p /var/x && echo a | sed s/a/b/ > /var/x/f && [ \"$(cat /var/x/f)\" = b ] "
                                   "&& /usr/bin/env true && /usr/bin/uicache --all"}),
            0);
  EXPECT_EQ(DeviceRootBuilder::standInCalls(root), std::vector<std::string>{"/usr/bin/uicache --all"});
  // What a package put in place of a utility stays.
  ASSERT_TRUE(Files::removeItem(root + "/bin/ls"));
  ASSERT_TRUE(Files::writeAtomically(root + "/bin/ls", std::string("#!/bin/sh\n"), nullptr, 0755));
  ASSERT_TRUE(DeviceRootBuilder::build(root));
  EXPECT_EQ(Files::readText(root + "/bin/ls"), "#!/bin/sh\n");
}

TEST_F(DeviceRootBuilderTest, TheStatusHoldsTheDeviceAndFollowsItsSystemVersion) {
  DeviceFacts facts;
  facts.systemVersion = "11.0";
  ASSERT_TRUE(DeviceRootBuilder::build(root, facts));
  auto status = [&] { return Files::readText(root + "/var/lib/dpkg/status").value_or(""); };
  for (const char* entry : {"Package: firmware\n", "Package: cy+os.ios\n", "Package: cy+cpu.arm64\n",
                            "Package: cy+kernel.darwin\n", "Package: cy+model.iphone\n", "Package: cy+lib.corefoundation\n"})
    EXPECT_NE(status().find(entry), std::string::npos) << entry;
  EXPECT_NE(status().find("Package: firmware\nEssential: yes\nStatus: install ok installed\n"), std::string::npos);
  EXPECT_NE(status().find("Version: 11.0\n"), std::string::npos);
  EXPECT_NE(status().find("Package: cy+model.iphone\n"), std::string::npos);

  // Other entries are kept byte for byte; the version follows a change, also at the next start.
  const std::string other = "Package: base\nStatus: install ok installed\nVersion: 1\n\n";
  ASSERT_TRUE(Files::writeAtomically(root + "/var/lib/dpkg/status", other + status()));
  ASSERT_TRUE(DeviceRootBuilder::setSystemVersion(root, "14.4"));
  EXPECT_EQ(status().rfind(other, 0), 0u);
  EXPECT_EQ(status().find("Version: 11.0\n"), std::string::npos);
  EXPECT_NE(status().find("Package: firmware\nEssential: yes\nStatus: install ok installed\nPriority: required\n"
                          "Section: System\nInstalled-Size: 0\nMaintainer: Device <root@localhost>\n"
                          "Architecture: iphoneos-arm\nVersion: 14.4\n"),
            std::string::npos);
  std::string before = status();
  ASSERT_TRUE(DeviceRootBuilder::build(root));
  EXPECT_EQ(status(), before);
}

// A package's script, inside the sandbox, turns the device's folders into links to a
// folder of the host; the next start must not write through them.
TEST_F(DeviceRootBuilderTest, LinksOutOfTheRootAreReplacedNeverWrittenThrough) {
  ASSERT_TRUE(DeviceRootBuilder::build(root));
  TempDir outside;
  for (const char* folder : {"/var/root", "/sbin", "/etc/quillbark", "/System/Library/CoreServices", "/bin"}) {
    ASSERT_TRUE(Files::removeItem(root + folder)) << folder;
    ASSERT_EQ(::symlink(outside.path().c_str(), (root + folder).c_str()), 0) << folder;
  }
  ASSERT_TRUE(Files::removeItem(root + "/var/lib/dpkg/status"));
  ASSERT_EQ(::symlink((outside.path() + "/status").c_str(), (root + "/var/lib/dpkg/status").c_str()), 0);
  std::string error;
  std::vector<std::string> repairs;
  ASSERT_TRUE(DeviceRootBuilder::build(root, {}, &error, &repairs)) << error;
  ASSERT_TRUE(DeviceRootBuilder::setSystemVersion(root, "15.0", &error)) << error;
  EXPECT_TRUE(Files::contentsOfDirectory(outside.path()).empty());
  EXPECT_EQ(repairs.size(), 5u);
  EXPECT_NE(repairs.front().find(" was a link to " + outside.path()), std::string::npos) << repairs.front();
  for (const char* file : {"/var/root/.dpkg.cfg", "/sbin/reboot", "/etc/quillbark/apt.conf", "/bin/sh",
                           "/System/Library/CoreServices/SystemVersion.plist"})
    EXPECT_TRUE(Files::exists(root + file)) << file;
  EXPECT_NE(Files::readText(root + "/var/lib/dpkg/status").value_or("").find("Version: 15.0\n"), std::string::npos);
}

// A package can write the device's description: what no device would say there (a model
// name longer than a file name may be, a line break that would start a stanza of dpkg's
// status, a named pipe or a link in its place) is replaced, and the root still builds.
TEST_F(DeviceRootBuilderTest, ADamagedDeviceDescriptionIsReplacedWithoutWaiting) {
  ASSERT_TRUE(DeviceRootBuilder::build(root));
  const std::string facts = root + DeviceRoot::kDeviceFactsFile;
  TempDir outside;
  ASSERT_TRUE(Files::writeAtomically(outside.file("facts"), std::string("{\"model\": \"iPad8,1\"}")));
  auto replaceWith = [&](const std::function<void()>& damage) {
    ASSERT_TRUE(Files::removeItem(facts));
    damage();
    std::string error;
    bool replaced = false;
    ASSERT_TRUE(DeviceRootBuilder::build(root, {}, &error, nullptr, &replaced)) << error;
    EXPECT_TRUE(replaced);
    EXPECT_NE(Files::readText(facts).value_or("").find("\"model\": \"iPhone10,3\""), std::string::npos);
  };
  for (const std::string& model : {"iPhone" + std::string(100000, 'x') + "10,3", std::string("iPhone10,3\nStatus: x")})
    replaceWith([&] { Files::writeAtomically(facts, Value::dict({{"model", model}}).toJSON()); });
  replaceWith([&] { Files::writeAtomically(facts, std::string("{\"model\": 10}")); });
  replaceWith([&] { Files::writeAtomically(facts, std::string("not JSON")); });
  replaceWith([&] { ASSERT_EQ(::mkfifo(facts.c_str(), 0644), 0); });
  replaceWith([&] { ASSERT_EQ(::symlink(outside.file("facts").c_str(), facts.c_str()), 0); });
  EXPECT_EQ(Files::readText(outside.file("facts")), "{\"model\": \"iPad8,1\"}");

  // A description a device could give is kept.
  ASSERT_TRUE(Files::writeAtomically(facts, std::string("{\"model\": \"iPad8,1\", \"name\": \"Kitchen iPad\"}")));
  bool replaced = true;
  ASSERT_TRUE(DeviceRootBuilder::build(root, {}, nullptr, nullptr, &replaced));
  EXPECT_FALSE(replaced);
  EXPECT_NE(Files::readText(root + "/var/lib/dpkg/status").value_or("").find("Package: cy+model.ipad\n"),
            std::string::npos);
}

// What a package's hook can leave of dpkg's files after its last write. A status that is
// no file, or larger than any device's, is what dpkg knows is installed and is left for
// the application to report; dpkg's other files are replaced, so it never waits on them.
TEST_F(DeviceRootBuilderTest, DpkgsFilesThatAreNoFilesNeverHoldTheBuild) {
  ASSERT_TRUE(DeviceRootBuilder::build(root));
  const std::string status = root + "/var/lib/dpkg/status";
  ASSERT_TRUE(Files::removeItem(status));
  ASSERT_EQ(::mkfifo(status.c_str(), 0644), 0);
  for (const char* file : {"/var/lib/dpkg/arch", "/var/lib/dpkg/diversions", "/var/log/dpkg.log"}) {
    Files::removeItem(root + file);
    ASSERT_EQ(::mkfifo((root + file).c_str(), 0644), 0) << file;
  }
  std::string error;
  ASSERT_TRUE(DeviceRootBuilder::build(root, {}, &error)) << error;
  struct stat st;
  ASSERT_EQ(::lstat(status.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(Files::readText(root + "/var/lib/dpkg/arch"), "iphoneos-arm\n");
  EXPECT_EQ(Files::readText(root + "/var/lib/dpkg/diversions"), "");
  EXPECT_EQ(Files::readText(root + "/var/log/dpkg.log"), "");

  ASSERT_TRUE(Files::removeItem(status));
  int fd = ::open(status.c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, 200 << 20), 0);  // zeros, and no space taken
  ::close(fd);
  ASSERT_TRUE(DeviceRootBuilder::build(root, {}, &error)) << error;
  EXPECT_EQ(Files::fileSize(status), uint64_t(200) << 20) << "left as it is";
}
