// The device root's own folder and lock, as the launcher keeps them: no command of the
// sandbox opens the root to the host's other users, a folder of the host mounted inside
// keeps its owners, and one sandbox at a time runs in a root.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/Files.h"
#include "launcher/RootLock.h"
#include "support/DebBuilder.h"
#include "support/DeviceRootFixture.h"
#include "support/TempDir.h"
#include "support/TimeBound.h"
#include "system/DeviceRoot.h"
#include "system/Process.h"

namespace {
const std::string kBuiltLauncher = QB_BINARY_DIR "/platform/launcher/dedev";

bool waitUntil(const std::function<bool()>& condition) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(testsupport::timeBound(120));
  while (!condition()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// A shell fragment that holds a command until the test creates `file`.
std::string holdUntil(const std::string& file) {
  return "i=0; while [ ! -e '" + file + "' ] && [ $i -lt 60000 ]; do sleep 0.01; i=$((i+1)); done";
}

mode_t modeOf(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

// Starts `launch` (the program, then its first arguments) with a command that tries every
// way to open the root to others and leaves a set-user-id program inside; while it holds,
// the host user `other` must find no way in, and the root's folder keep `mode`.
void expectTheRootStaysShut(std::vector<std::string> launch, const std::string& root, const char* other,
                            mode_t mode) {
  const std::string started = root + "/var/mobile/started", go = root + "/var/mobile/go";
  const std::string program = root + "/var/mobile/id";
  const std::string command =
      "R='" + root + "'; "
      "chmod 755 \"$R\" 2>/dev/null && echo chmod; chown 0:0 \"$R\" 2>/dev/null && echo chown; "
      "setfacl -m o:rx \"$R\" 2>/dev/null && echo acl; "
      "cp /usr/bin/id '" + program + "' && chmod 4755 '" + program + "'; "
      "touch '" + started + "'; " + holdUntil(go) + "; stat -c %a \"$R\"";
  Process run;
  run.setLaunchPath(launch[0]);
  launch.erase(launch.begin());
  launch.push_back(command);
  run.setArguments(launch);
  ASSERT_TRUE(run.launch());
  ASSERT_TRUE(waitUntil([&] { return Files::exists(started) || !run.isRunning(); }));
  EXPECT_TRUE(Files::exists(started)) << run.readToEnd();
  // During the run: nothing of the root is reachable for another user.
  EXPECT_EQ(modeOf(root) & 07777, mode);
  auto entered = Process::run("/usr/sbin/runuser", {"-u", other, "--", "/bin/sh", "-c",
                                                    "cd '" + root + "' && echo entered; '" + program + "'"});
  EXPECT_NE(entered.status, 0);
  EXPECT_EQ(entered.output.find("entered"), std::string::npos) << entered.output;
  EXPECT_EQ(entered.output.find("euid="), std::string::npos) << entered.output;
  ASSERT_TRUE(Files::writeAtomically(go, std::string()));
  const std::string output = run.readToEnd();
  run.waitUntilExit();
  EXPECT_EQ(run.terminationStatus(), 0) << output;
  char octal[8];
  std::snprintf(octal, sizeof octal, "%o\n", mode);
  EXPECT_EQ(output, octal);
  EXPECT_EQ(modeOf(root) & 07777, mode);
}

// A device root of the unprivileged user nobody, in a folder every user may pass: its
// own folder is all that keeps the others out, and the sandbox runs as its owner.
std::string rootOfNobody(const TempDir& dir) {
  EXPECT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  const std::string root = dir.path() + "/device";
  std::string error;
  EXPECT_TRUE(DeviceRootBuilder::build(root, {}, &error)) << error;
  EXPECT_TRUE(DeviceRootBuilder::installLauncher(root, kBuiltLauncher, &error)) << error;
  EXPECT_EQ(Process::run("/bin/chown", {"-R", "-h", "nobody:nogroup", root}).status, 0);
  return root;
}

std::vector<std::string> nobodysLauncher(const std::string& root) {
  return {"/usr/sbin/runuser", "-u", "nobody", "--", root + DeviceRoot::kLauncherPath};
}

Process::Outcome runAsNobody(const std::string& root, const std::string& command) {
  auto launch = nobodysLauncher(root);
  launch.push_back(command);
  return Process::run(launch[0], {launch.begin() + 1, launch.end()});
}

class LauncherRootGuard : public DeviceRootFixture {};
}  // namespace

TEST_F(LauncherRootGuard, NoCommandOpensTheRootOrChangesItsTop) {
  // Every user may pass the folder the root lies in: the root's own folder keeps them out.
  ASSERT_EQ(::chmod(Files::deletingLastPathComponent(rootPath()).c_str(), 0755), 0);
  expectTheRootStaysShut({deviceRoot().launcherPath()}, rootPath(), "nobody", 0770);
}

TEST(LauncherRootGuardOfAnOrdinaryUser, NoCommandOpensTheRootToOtherUsersDuringItsRun) {
  TempDir dir;
  const std::string root = rootOfNobody(dir);
  expectTheRootStaysShut(nobodysLauncher(root), root, "daemon", 0700);
}

TEST(LauncherRootGuardOfAnOrdinaryUser, PackagesInstallAndRemoveButAddNothingAtTheTop) {
  TempDir dir;
  const std::string root = rootOfNobody(dir);
  DebBuilder debs(root + "/var/mobile/Documents");
  const std::string tool = debs.build(DebPackage("com.example.tool")
                                          .file("/usr/share/tool/a", "a\n")
                                          .file("/Applications/Tool.app/Info.plist", "i\n")
                                          .file("/private/var/tool", "p\n"));
  const std::string top = debs.build(DebPackage("com.example.top").file("/opt/top", "t\n"));
  ASSERT_EQ(Process::run("/bin/chown", {"-R", "nobody:nogroup", root + "/var/mobile/Documents"}).status, 0);

  auto installed = runAsNobody(root, "dpkg -i '" + tool + "' && dpkg -r com.example.tool");
  EXPECT_EQ(installed.status, 0) << installed.output;
  EXPECT_FALSE(Files::exists(root + "/usr/share/tool"));
  EXPECT_TRUE(S_ISDIR(modeOf(root + "/Applications")));
  // What would stand at the top, beside the device's own folders, is refused.
  auto refused = runAsNobody(root, "dpkg -i '" + top + "'; R='" + root + "'; touch \"$R/top\" || "
                                   "rm -f \"$R/" + launcher::kRootLockName + "\" || mv \"$R/etc\" \"$R/etc2\" || echo refused");
  EXPECT_NE(refused.output.find("refused\n"), std::string::npos) << refused.output;
  for (const char* name : {"/opt", "/top", "/etc2"}) EXPECT_FALSE(Files::exists(root + name)) << name;
  EXPECT_TRUE(S_ISREG(modeOf(root + "/" + launcher::kRootLockName)));
  EXPECT_TRUE(S_ISDIR(modeOf(root + "/etc")));
}

TEST_F(LauncherRootGuard, AFolderMountedInsideTheRootKeepsItsOwners) {
  // A folder of the host shared into the device, on the root's own file system.
  TempDir shared;
  ASSERT_EQ(::chmod(shared.path().c_str(), 0755), 0);
  ASSERT_TRUE(Files::writeAtomically(shared.file("host"), std::string("h")));
  ASSERT_TRUE(Files::writeAtomically(shared.file("nobody"), std::string("n")));
  ASSERT_EQ(::chown(shared.file("nobody").c_str(), 65534, 65534), 0);
  ASSERT_EQ(::mkdir(shared.file("inner").c_str(), 0755), 0);
  ASSERT_TRUE(Files::writeAtomically(shared.file("inner/file"), std::string("f")));
  const std::string mountPoint = deviceRoot().hostPath("/var/mobile/Media");
  ASSERT_EQ(::mkdir(mountPoint.c_str(), 0755), 0);
  // Mounted in a mount namespace of the run's own, which goes with it.
  auto run = Process::run("/usr/bin/unshare",
                          {"--mount", "--propagation", "private", "/bin/sh", "-c",
                           "mount --bind \"$1\" \"$2\" 2>/dev/null || exit 99; echo mounted; exec \"$3\" \"$4\"", "sh",
                           shared.path(), mountPoint, deviceRoot().launcherPath(), "ls '" + mountPoint + "'"});
  if (run.output.rfind("mounted\n", 0) != 0) GTEST_SKIP() << "mounting is not permitted here: " << run.output;
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "mounted\nhost\ninner\nnobody\n");
  auto owner = [](const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? st.st_uid : 12345u;
  };
  EXPECT_EQ(owner(shared.path()), 0u);
  EXPECT_EQ(owner(shared.file("host")), 0u);
  EXPECT_EQ(owner(shared.file("nobody")), 65534u);
  EXPECT_EQ(owner(shared.file("inner")), 0u);
  EXPECT_EQ(owner(shared.file("inner/file")), 0u);
}

TEST_F(LauncherRootGuard, ASecondLauncherWaitsForTheFirstsSandbox) {
  const std::string started = deviceRoot().hostPath("/var/mobile/started");
  const std::string go = deviceRoot().hostPath("/var/mobile/go");
  const std::string order = deviceRoot().hostPath("/var/mobile/order");
  Process first, second;
  first.setLaunchPath(deviceRoot().launcherPath());
  first.setArguments({"touch '" + started + "'; " + holdUntil(go) + "; echo first >> '" + order + "'"});
  ASSERT_TRUE(first.launch());
  ASSERT_TRUE(waitUntil([&] { return Files::exists(started) || !first.isRunning(); }));
  second.setLaunchPath(deviceRoot().launcherPath());
  second.setArguments({"echo second >> '" + order + "'"});
  ASSERT_TRUE(second.launch());
  // The second waits on the root's lock, in the kernel's list of waiters.
  struct stat root;
  ASSERT_EQ(::stat(rootPath().c_str(), &root), 0);
  const std::string waiter = " " + std::to_string(second.processIdentifier()) + " ";
  const std::string inode = ":" + std::to_string(root.st_ino) + " ";
  ASSERT_TRUE(waitUntil([&] {
    std::ifstream locks("/proc/locks");  // read as a stream: its size reads as 0
    for (std::string line; std::getline(locks, line);)
      if (line.find("->") != std::string::npos && line.find(waiter) != std::string::npos &&
          (line + " ").find(inode) != std::string::npos)
        return true;
    return !second.isRunning();
  }));
  EXPECT_FALSE(Files::exists(order));
  ASSERT_TRUE(Files::writeAtomically(go, std::string()));
  first.waitUntilExit();
  second.waitUntilExit();
  EXPECT_EQ(first.terminationStatus(), 0) << first.readToEnd();
  EXPECT_EQ(second.terminationStatus(), 0) << second.readToEnd();
  EXPECT_EQ(Files::readText(order), "first\nsecond\n");
}

TEST_F(LauncherRootGuard, ALockFileReplacedByALinkAPipeOrAFolderIsMadeAgainNeverFollowed) {
  TempDir outside;
  ASSERT_TRUE(Files::writeAtomically(outside.file("kept"), std::string("k")));
  const std::string lock = rootPath() + "/" + launcher::kRootLockName;
  const std::vector<std::pair<std::string, std::function<bool()>>> standIns = {
      {"a link", [&] { return ::symlink(outside.file("made").c_str(), lock.c_str()) == 0; }},
      {"a named pipe", [&] { return ::mkfifo(lock.c_str(), 0600) == 0; }},
      {"a folder", [&] {
         return ::mkdir(lock.c_str(), 0700) == 0 && Files::writeAtomically(lock + "/inner", std::string("i")) &&
                ::symlink(outside.path().c_str(), (lock + "/outside").c_str()) == 0;
       }},
      {"a second name", [&] { return ::link(outside.file("kept").c_str(), lock.c_str()) == 0; }},
  };
  for (const auto& [what, make] : standIns) {
    ASSERT_TRUE(Files::removeItem(lock) || !Files::exists(lock)) << what;
    ASSERT_TRUE(make()) << what;
    auto run = deviceRoot().runInRoot("echo ran");
    EXPECT_EQ(run.status, 0) << what << ": " << run.output;
    EXPECT_EQ(run.output, "ran\n") << what;
    struct stat st;
    ASSERT_EQ(::lstat(lock.c_str(), &st), 0) << what;
    EXPECT_TRUE(S_ISREG(st.st_mode) && st.st_nlink == 1) << what;
  }
  EXPECT_FALSE(Files::exists(outside.file("made")));
  EXPECT_EQ(Files::readText(outside.file("kept")), "k");
  EXPECT_EQ(Files::contentsOfDirectory(outside.path()), std::vector<std::string>{"kept"});
}
