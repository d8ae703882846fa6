// The launcher program itself, run as the system runs it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>

#include "foundation/Files.h"
#include "launcher/RootOwnership.h"
#include "support/DebBuilder.h"
#include "support/DeviceRootFixture.h"
#include "support/TempDir.h"
#include "system/DeviceRoot.h"
#include "system/Process.h"

namespace {
const std::string kBuiltLauncher = QB_BINARY_DIR "/platform/launcher/dedev";

using Outcome = Process::Outcome;

Outcome launch(const std::string& launcher, const std::string& command,
               std::optional<std::map<std::string, std::string>> env = std::nullopt) {
  return Process::run(launcher, {command}, std::move(env));
}

const std::map<std::string, std::string> kPlainEnvironment{{"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"}};

class Launcher : public DeviceRootFixture {};
}  // namespace

TEST_F(Launcher, PassesOutputAndExitStatusThrough) {
  Outcome o = launch(deviceRoot().launcherPath(), "echo out; echo err >&2; exit 5");
  EXPECT_EQ(o.output, "out\nerr\n");
  EXPECT_EQ(o.status, 5);
  Outcome reboot = launch(deviceRoot().hostPath("/usr/libexec/dedev"), "exit 0");
  EXPECT_EQ(reboot.status, 0);
}

TEST_F(Launcher, InsideARootPointsTheToolsAtIt) {
  const std::string root = rootPath();
  for (const char* installed : {DeviceRoot::kLauncherPath, "/usr/libexec/dedev"}) {
    // An installed launcher finds its root from where it lies, whatever the variable says.
    auto env = kPlainEnvironment;
    env["QUILLBARK_DEVICE_ROOT"] = "/";
    Outcome o = launch(root + installed, "printf '%s|%s|%s|%s' \"$APT_CONFIG\" \"$DPKG_ROOT\" \"$DPKG_ADMINDIR\" \"$HOME\"",
                       env);
    EXPECT_EQ(o.output, root + "/etc/quillbark/apt.conf|" + root + "|" + root + "/var/lib/dpkg|" + root + "/var/root")
        << installed;
  }
  Outcome arch = launch(deviceRoot().launcherPath(), "dpkg --print-foreign-architectures");
  EXPECT_EQ(arch.output, "iphoneos-arm\n");
  Outcome apt = launch(deviceRoot().launcherPath(), "apt-config dump APT::Architecture Dir::State::status");
  EXPECT_NE(apt.output.find("APT::Architecture \"iphoneos-arm\";"), std::string::npos) << apt.output;
  EXPECT_NE(apt.output.find(root + "/var/lib/dpkg/status"), std::string::npos) << apt.output;
}

TEST_F(Launcher, OutsideARootNeedsTheVariable) {
  Outcome refused = launch(kBuiltLauncher, "echo ran", kPlainEnvironment);
  EXPECT_EQ(refused.status, 126);
  EXPECT_EQ(refused.output.find("ran"), std::string::npos);
  // Only an installed launcher serves the host itself as its root.
  for (const char* host : {"/", "//"}) {
    auto env = kPlainEnvironment;
    env["QUILLBARK_DEVICE_ROOT"] = host;
    Outcome o = launch(kBuiltLauncher, "echo ran", env);
    EXPECT_EQ(o.status, 126) << host;
    EXPECT_EQ(o.output.find("ran"), std::string::npos) << host;
  }

  auto env = kPlainEnvironment;
  env["QUILLBARK_DEVICE_ROOT"] = rootPath();
  Outcome o = launch(kBuiltLauncher, "echo \"$DPKG_ROOT\"", env);
  EXPECT_EQ(o.output, rootPath() + "\n");
  EXPECT_EQ(o.status, 0);
}

TEST_F(Launcher, DeviceToolsRunAsStandInsAndNeverFromTheHost) {
  const std::string root = rootPath();
  EXPECT_EQ(launch(deviceRoot().launcherPath(), root + "/sbin/reboot").status, 0);
  EXPECT_EQ(launch(deviceRoot().launcherPath(), root + "/usr/bin/killall -9 SpringBoard").status, 0);
  EXPECT_EQ(Process::spawnAndWait(root + "/usr/bin/uicache", {"-p", "/Applications/Quillbark.app"}), 0);
  EXPECT_EQ(deviceRoot().standInCalls(),
            (std::vector<std::string>{"/sbin/reboot", "/usr/bin/killall -9 SpringBoard",
                                      "/usr/bin/uicache -p /Applications/Quillbark.app"}));

  // The host's own tools are refused before anything runs, wherever they stand.
  for (const std::string command : {"/sbin/reboot", "reboot", "echo x; /usr/bin/killall SpringBoard",
                                    "FOO=1 sbreload", "echo \"$(uicache)\"", "true && `halt`"}) {
    Outcome o = launch(deviceRoot().launcherPath(), command + " ; echo ran");
    EXPECT_EQ(o.status, 126) << command;
    EXPECT_EQ(o.output.find("ran"), std::string::npos) << command;
    EXPECT_NE(o.output.find("refusing"), std::string::npos) << command;
  }
  // A tool's name as an argument is no call of it.
  EXPECT_EQ(launch(deviceRoot().launcherPath(), "echo reboot killall").output, "reboot killall\n");
  EXPECT_EQ(deviceRoot().standInCalls().size(), 3u);
}

TEST_F(Launcher, ToolsTheNameCheckCannotSeeReachNoHostProcess) {
  // A host process with a name of its own, so nothing else could be hit by name.
  TempDir dir;
  const std::string name = "qbcanary" + std::to_string(::getpid() % 100000);
  ASSERT_TRUE(Files::copyItem("/bin/sleep", dir.file(name)));
  pid_t canary = ::fork();
  ASSERT_GE(canary, 0);
  if (canary == 0) {
    ::execl(dir.file(name).c_str(), name.c_str(), "300", static_cast<char*>(nullptr));
    _exit(127);
  }
  const std::string pid = std::to_string(canary);
  for (const std::string& command :
       {"sh -c 'kill -9 " + pid + "'", "/usr/bin/env kill -9 " + pid, "$(echo kill) -9 " + pid,
        "eval 'kill -9 " + pid + "'", "x=kill; $x -9 " + pid, "/usr/bin/env killall -9 " + name,
        "sh -c \"killall -9 " + name + "\""}) {
    Outcome o = launch(deviceRoot().launcherPath(), command);
    EXPECT_NE(o.status, 0) << command;
    EXPECT_EQ(o.output.find("no sandbox"), std::string::npos) << o.output;
    EXPECT_EQ(::waitpid(canary, nullptr, WNOHANG), 0) << command << " ended the host's process";
  }
  ::kill(canary, SIGKILL);
  ::waitpid(canary, nullptr, 0);
}

// Killed at any moment, however early in the making of its sandbox, the launcher takes the
// whole sandbox with it: the command, which would write a file after some seconds, never
// does, and no process of the sandbox is left (they come back to this process, made their
// subreaper, which waits for the last of them).
TEST_F(Launcher, ItsSandboxEndsWithItAtAnyMoment) {
  const std::string ran = deviceRoot().hostPath("/var/mobile/ran");
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0), 0);
  for (int moment = 0; moment < 12; ++moment) {
    Process launcher;
    launcher.setLaunchPath(deviceRoot().launcherPath());
    launcher.setArguments({"sleep 5; echo > '" + ran + "'"});
    ASSERT_TRUE(launcher.launch());
    std::this_thread::sleep_for(std::chrono::milliseconds(3 * moment));
    ::kill(launcher.processIdentifier(), SIGKILL);
    launcher.waitUntilExit();
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < until) {
      pid_t left = ::waitpid(-1, nullptr, WNOHANG);
      ended = left < 0 && errno == ECHILD;
      if (left == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(ended) << "a sandbox outlived its launcher, killed after " << 3 * moment << " ms";
  }
  ::prctl(PR_SET_CHILD_SUBREAPER, 0, 0, 0, 0);
  EXPECT_FALSE(Files::exists(ran)) << "a sandbox ran its command after its launcher was killed";
}

TEST_F(Launcher, DpkgWritesItsLogInsideTheRoot) {
  std::string deb = DebBuilder(deviceRoot().hostPath("/var/mobile/Documents")).build(DebPackage("com.example.logged"));
  ASSERT_FALSE(deb.empty());
  auto hostLogBefore = Files::fileSize("/var/log/dpkg.log");
  Outcome o = launch(deviceRoot().launcherPath(), "dpkg -i '" + deb + "'");
  ASSERT_EQ(o.status, 0) << o.output;
  EXPECT_EQ(deviceRoot().packageStatus("com.example.logged"), "install ok installed");
  auto rootLog = Files::readText(deviceRoot().hostPath("/var/log/dpkg.log"));
  ASSERT_TRUE(rootLog);
  EXPECT_NE(rootLog->find("status installed com.example.logged"), std::string::npos);
  EXPECT_EQ(Files::fileSize("/var/log/dpkg.log"), hostLogBefore);
  EXPECT_TRUE(Files::exists(deviceRoot().hostPath("/var/lib/dpkg/info/com.example.logged.list")));
}

TEST_F(Launcher, WhatTheHostMadeInTheRootBecomesTheSandboxsToWrite) {
  // A private folder the application made, a set-user-id file dpkg gave mobile when the
  // sandbox ran with the host's own ids, and a second name of a file outside the root.
  const std::string made = deviceRoot().hostPath("/var/mobile/made");
  const std::string old = deviceRoot().hostPath("/var/mobile/old");
  TempDir outside;
  ASSERT_TRUE(Files::writeAtomically(outside.file("host"), std::string("h")));
  ASSERT_EQ(::mkdir(made.c_str(), 0700), 0);
  ASSERT_TRUE(Files::writeAtomically(old, std::string("o")));
  ASSERT_EQ(::chown(old.c_str(), 501, 501), 0);
  ASSERT_EQ(::chmod(old.c_str(), 04755), 0);
  ASSERT_EQ(::link(outside.file("host").c_str(), deviceRoot().hostPath("/var/mobile/linked").c_str()), 0);

  Outcome o = launch(deviceRoot().launcherPath(), "echo x > '" + made + "/new' && stat -c '%u:%g %a' '" + old + "'");
  EXPECT_EQ(o.status, 0) << o.output;
  EXPECT_EQ(o.output, "501:501 755\n");
  struct stat st;
  ASSERT_EQ(::stat(made.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, launcher::kMappedRootId);
  ASSERT_EQ(::stat(outside.file("host").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
}

TEST(LauncherOfAnOrdinaryUser, MapsOnlyThatUserAndKeepsTheRootItsOwn) {
  // A root the user made, in a folder every user may pass.
  TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  const std::string root = dir.path() + "/device";
  std::string error;
  ASSERT_TRUE(DeviceRootBuilder::build(root, {}, &error)) << error;
  ASSERT_TRUE(DeviceRootBuilder::installLauncher(root, kBuiltLauncher, &error)) << error;
  std::string deb = DebBuilder(root + "/var/mobile/Documents")
                        .build(DebPackage("com.example.users").file("/usr/share/users/a", "a\n")
                                   .script("postinst", "#!/bin/sh\nset -e\nchown 0:0 /usr/share/users/a\n"));
  ASSERT_EQ(Process::run("/bin/chown", {"-R", "-h", "nobody:nogroup", root}).status, 0);
  ASSERT_EQ(::chmod(root.c_str(), 0755), 0);

  Outcome o = Process::run("/usr/sbin/runuser", {"-u", "nobody", "--", root + DeviceRoot::kLauncherPath,
                                                 "cat /proc/self/uid_map; dpkg -i '" + deb + "' >/dev/null"});
  EXPECT_EQ(o.status, 0) << o.output;
  EXPECT_EQ(o.output, "         0      65534          1\n");
  struct stat st;
  ASSERT_EQ(::stat(root.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  ASSERT_EQ(::lstat((root + "/usr/share/users/a").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
}
