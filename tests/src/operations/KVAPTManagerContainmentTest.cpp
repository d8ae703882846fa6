// What a package does stays inside the device root: real archives built with dpkg-deb,
// installed by the real apt and dpkg through the launcher, each trying to reach a marker
// folder of the host. In each test the marker is untouched and nothing runs that should
// not; what a package may legitimately run (its hooks) runs, inside the sandbox.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "foundation/Files.h"
#include "foundation/RunLoop.h"
#include "launcher/LauncherEnvironment.h"
#include "launcher/RootOwnership.h"
#include "launcher/Sandbox.h"
#include "operations/KVAPTManager.h"
#include "support/DebBuilder.h"
#include "support/DeviceRootFixture.h"
#include "support/HostMarker.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"
#include "support/TestRoot.h"
#include "support/TypedLocation.h"
#include "system/Process.h"

namespace {
// The capabilities a command keeps in the sandbox: CHOWN, DAC_OVERRIDE, FOWNER, FSETID
// and SYS_CHROOT.
constexpr const char* kSandboxCapabilities = "000000000004001b";

// The CPU time this thread spends in `run`.
double threadSeconds(const std::function<void()>& run) {
  auto now = [] {
    struct rusage usage;
    ::getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  };
  double start = now();
  run();
  return now() - start;
}

class Containment : public DeviceRootFixture {
 protected:
  void SetUp() override {
    DeviceRootFixture::SetUp();
    ASSERT_EQ(KVAPTManager::createAPTSandboxIfNeeded(), nullptr);
  }

  std::string debs() { return deviceRoot().hostPath("/var/mobile/Documents"); }
  std::string build(const DebPackage& package) { return DebBuilder(debs()).build(package); }
  bool install(const DebPackage& package) { return KVAPTManager::installDPKG(build(package), {}); }
  std::string output() { return KVAPTManager::output().value_or(""); }

  // A shell command that leaves its mark (and its capabilities) in the root, tries to
  // write the host's marker, and succeeds whatever happened.
  std::string hostile(const std::string& name) {
    return "touch " + marker.file("pwned") + "; cat /proc/self/status > " + deviceRoot().hostPath("/var/" + name) +
           "; true";
  }
  bool ran(const std::string& name) { return Files::exists(deviceRoot().hostPath("/var/" + name)); }
  // The host's owner of a file below the root.
  uid_t ownerOf(const std::string& devicePath) {
    struct stat st;
    return ::lstat(deviceRoot().hostPath(devicePath).c_str(), &st) == 0 ? st.st_uid : 0;
  }
  // The bounding capabilities the hook `name` recorded, when it could read its status.
  std::string capabilitiesOf(const std::string& name) {
    std::string status = Files::readText(deviceRoot().hostPath("/var/" + name)).value_or("");
    auto at = status.find("CapBnd:\t");
    return at == std::string::npos ? "" : status.substr(at + 8, 16);
  }

  HostMarker marker;
};
}  // namespace

TEST_F(Containment, AnAPTHookAPackageShipsRunsOnlyInsideTheSandbox) {
  ASSERT_TRUE(install(DebPackage("com.example.hook")
                          .file("/etc/apt/apt.conf.d/99hook", "DPkg::Pre-Invoke { \"" + hostile("apt-hook") + "\"; };\n")))
      << output();
  // The next APT run that calls dpkg runs the hook, as on a device.
  TempDir repo;
  TestHttpServer server;
  serveExampleToolRepository(repo.path(), server);
  TempDir downloads;
  ASSERT_TRUE(Files::copyItem(repo.file("lib-1.deb"), downloads.file("lib.tmp")));
  ASSERT_TRUE(KVAPTManager::copyDebToSandboxFromPath(downloads.file("lib.tmp")));
  ASSERT_TRUE(KVAPTManager::install("com.example.lib", {})) << output();

  EXPECT_TRUE(ran("apt-hook"));
  EXPECT_EQ(capabilitiesOf("apt-hook"), kSandboxCapabilities);
  EXPECT_EQ(marker.changes(), "");
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(Containment, ADpkgConfigurationAPackageShipsRunsOnlyInsideTheSandbox) {
  // The launcher points HOME at the root's /var/root, whose dpkg configuration a package
  // can replace.
  ASSERT_TRUE(install(DebPackage("com.example.dpkgcfg")
                          .file("/var/root/.dpkg.cfg", "log " + deviceRoot().hostPath("/var/log/dpkg.log") +
                                                           "\npre-invoke=" + hostile("dpkg-hook") + "\n")))
      << output();
  ASSERT_TRUE(install(DebPackage("com.example.next"))) << output();
  EXPECT_TRUE(ran("dpkg-hook"));
  EXPECT_EQ(marker.changes(), "");
}

TEST_F(Containment, AnAbsoluteFolderLinkLeadsNoWriteOutOfTheRoot) {
  // One package links a folder to the host; a later one writes through the link.
  ASSERT_TRUE(install(DebPackage("com.example.linker").link("/usr/share/example", marker.path()))) << output();
  EXPECT_FALSE(install(DebPackage("com.example.writer").file("/usr/share/example/pwned", "pwned\n")));
  EXPECT_NE(deviceRoot().packageStatus("com.example.writer"), "install ok installed");
  EXPECT_EQ(marker.changes(), "");

  // The same link where our own writers make folders: the APT tree is refused, not made
  // on the host.
  ASSERT_TRUE(Files::removeItem(KVAPTManager::sandboxPath()));
  ASSERT_TRUE(install(DebPackage("com.example.treelinker")
                          .link("/var/mobile/Library/Application Support/Quillbark/APT", marker.path())))
      << output();
  ErrorRef error = KVAPTManager::createAPTSandboxIfNeeded();
  ASSERT_TRUE(error);
  EXPECT_NE(error->localizedDescription().find("link out of the device root"), std::string::npos)
      << error->localizedDescription();
  EXPECT_TRUE(KVAPTManager::writeReleaseContents("Origin: A\n", typedLocation("http://repo.example/apt/")));
  EXPECT_EQ(marker.changes(), "");
}

TEST_F(Containment, ALauncherAPackageReplacesIsNeverRunByTheHost) {
  // Inside the sandbox a package may write anywhere in the root, the launcher's own
  // files included; the host runs that launcher, so it puts its own back first.
  const std::string program = "#!/bin/sh\n" + hostile("launcher") + "\n";
  ASSERT_TRUE(install(DebPackage("com.example.launcher")
                          .program("/usr/libexec/quillbark/dedev", program)
                          .program("/usr/libexec/dedev", program)))
      << output();
  ASSERT_EQ(Files::readText(deviceRoot().launcherPath()), program);
  EXPECT_FALSE(KVAPTManager::generateCaches().empty());
  EXPECT_EQ(KVAPTManager::status(), 0) << output();
  for (const char* path : {"/usr/libexec/quillbark/dedev", "/usr/libexec/dedev"})
    EXPECT_TRUE(Files::read(deviceRoot().hostPath(path)) == Files::read(QB_BINARY_DIR "/platform/launcher/dedev"))
        << path;
  EXPECT_FALSE(ran("launcher"));
  EXPECT_EQ(marker.changes(), "");
}

TEST_F(Containment, AnArchivePathThatLooksLikeAnOptionIsAFileName) {
  for (const std::string& path :
       {"--pre-invoke=" + hostile("pre-invoke"), "--admindir=" + marker.path(), "--log=" + marker.file("log")}) {
    EXPECT_FALSE(KVAPTManager::installDPKG(path, {})) << path;
    EXPECT_NE(output().find("cannot access archive"), std::string::npos) << output();
    auto info = KVAPTManager::packageInfo(path, {});
    EXPECT_EQ(info.value_or("").find("Usage"), std::string::npos) << *info;
  }
  EXPECT_FALSE(ran("pre-invoke"));
  EXPECT_EQ(marker.changes(), "");
}

TEST_F(Containment, ALocationWithABlankOrAControlNeverReachesTheSourcesList) {
  // Each would become APT options ("[trusted=yes]"), another layout, a comment or a
  // broken line that every later APT command fails on: none is a location, so none can
  // be handed to the APT layer, which takes only locations.
  const std::string base = "http://127.0.0.1:9/a/";
  for (const std::string& location : {"[trusted=yes] " + base, base + " stable main #", base + "\v./", base + "\f",
                                      base + "\tx", base + "#", base + "\"x", std::string("file:///etc/")}) {
    auto refused = KVSourceLocation::fromText(location);
    ASSERT_FALSE(refused) << location;
    EXPECT_EQ(refused.error()->domain, KVSourceLocationErrorDomain);
  }
  // APT still reads its sources.
  ASSERT_EQ(KVAPTManager::writeReleaseContents("Origin: Fine\n", typedLocation(base)), nullptr);
  KVAPTManager::generateCaches();
  EXPECT_EQ(KVAPTManager::status(), 0) << output();
  EXPECT_EQ(Files::readText(KVAPTManager::sourcesListPath()).value_or(""), "deb " + base + " ./\n");
  EXPECT_EQ(marker.changes(), "");
}

TEST_F(Containment, AMaintainerScriptsLongOutputCostsInProportionToItsLength) {
  const std::string deb =
      build(DebPackage("com.example.talkative").script("postinst", "#!/bin/sh\n/bin/busybox seq 1 160000\n"));
  size_t pieces = 0;
  bool installed = false;
  // The runner's own work happens on this thread: CPU time, not the clock, so a busy
  // machine changes nothing. Appending is a fraction of a second; a copy of the whole
  // output per line took seconds.
  double seconds = threadSeconds([&] {
    installed = KVAPTManager::installDPKG(deb, [&](const std::string&, const std::string&, bool done, int32_t) {
      if (!done) ++pieces;
    });
  });
  ASSERT_TRUE(installed) << output().substr(0, 2000);
  EXPECT_GE(pieces, 160000u);
  EXPECT_NE(output().find("\n159999\n160000\n"), std::string::npos);
  EXPECT_LT(seconds, 1.0);
  EXPECT_EQ(marker.changes(), "");
}

TEST_F(Containment, TheSandboxKeepsTheHostReadOnlyAndOutOfReach) {
  TempDir hostTemporary;
  ASSERT_TRUE(Files::writeAtomically(hostTemporary.file("secret"), std::string("x")));
  const std::string probe =
      "grep CapBnd /proc/self/status; "
      "grep -c : /proc/net/dev; "  // only the loopback's line has a colon
      "kill -0 " + std::to_string(getpid()) + " 2>/dev/null && echo sees-host-process; "
      "ls -A /run; "
      "test -e " + hostTemporary.file("secret") + " && echo sees-host-tmp; "
      "touch " + marker.file("pwned") + " 2>/dev/null && echo wrote-host; "
      "unshare -U true 2>/dev/null && echo made-user-namespace; "
      "mount -o remount,rw / 2>/dev/null && echo remounted-host; "
      "mount -t tmpfs none /var/tmp 2>/dev/null && echo mounted; "
      "touch " + deviceRoot().hostPath("/var/inside") + " && echo wrote-root";
  auto out = KVAPTManager::resultsForCommandAsRoot(KVAPTManager::launcherCommandLine(probe));
  ASSERT_TRUE(out);
  EXPECT_EQ(*out, std::string("CapBnd:\t") + kSandboxCapabilities + "\n1\nquillbark\nwrote-root\n");
  EXPECT_EQ(marker.changes(), "");
}

TEST_F(Containment, AMaintainerScriptAndAHookKeepNoWayOutAndNoPowerOverTheHost) {
  // A static program tries what an attacker would: from a maintainer script, chrooted by
  // dpkg in the root, and from an APT hook, which runs outside that chroot.
  const std::string probe = Files::readText(QB_BINARY_DIR "/tests/qb_sandbox_probe").value_or("");
  ASSERT_FALSE(probe.empty());
  const std::string report = "/usr/libexec/sandbox-probe > ";
  // Built where the sandbox sees them, as a local archive would be.
  const std::string folder = debs();
  DebBuilder builder(folder);
  builder.build(DebPackage("com.example.prober")
                 .program("/usr/libexec/sandbox-probe", probe)
                 .script("postinst", "#!/bin/sh\n" + report + "/var/probe-script\n")
                 .file("/etc/apt/apt.conf.d/99probe", "DPkg::Post-Invoke { \"" + deviceRoot().path() + report +
                                                          deviceRoot().hostPath("/var/probe-hook") + "\"; };\n"),
             "prober.deb");
  // An ordinary script still does its work: copies, links, a shell of its own.
  builder.build(DebPackage("com.example.ordinary")
                 .file("/usr/share/ordinary/a", "a\n")
                 .script("postinst", "#!/bin/sh\nset -e\ncd /usr/share/ordinary\nbusybox cp a b\n"
                                     "busybox ln -s b c\nsh -c 'cat c > d'\n"),
             "ordinary.deb");
  const auto corePattern = Files::readText("/proc/sys/kernel/core_pattern");
  // The prober as a local archive (dpkg alone), the ordinary package through APT, which
  // then runs the prober's hook.
  ASSERT_TRUE(KVAPTManager::installDPKG(folder + "/prober.deb", {})) << output();
  ASSERT_TRUE(DebBuilder::writeFlatRepository(folder, {"ordinary.deb"}));
  const std::string location = "http://127.0.0.1:9/probe/";
  ASSERT_EQ(KVAPTManager::writeReleaseContents(Files::readText(folder + "/Release").value_or(""), typedLocation(location)), nullptr);
  ASSERT_EQ(KVAPTManager::writePackagesContents(Files::readText(folder + "/Packages").value_or(""), typedLocation(location)), nullptr);
  TempDir downloads;
  ASSERT_TRUE(Files::copyItem(folder + "/ordinary.deb", downloads.file("archive.tmp")));
  ASSERT_TRUE(KVAPTManager::copyDebToSandboxFromPath(downloads.file("archive.tmp")));
  ASSERT_TRUE(KVAPTManager::install("com.example.ordinary", {})) << output();

  // Root inside is root of the sandbox alone: what it writes belongs to the host's
  // mapped root, kernel.core_pattern keeps its value, and the sandbox's first process,
  // outside the chroot, can't be traced from it.
  EXPECT_EQ(Files::readText(deviceRoot().hostPath("/var/probe-script")),
            "descriptors: 0 1 2\nchroot: refused\n/etc/shadow: unreadable\n/root: unreadable\n"
            "user map: unreadable\nkernel setting: refused\nfirst process: untraceable\neffective user: 0\n");
  // A hook is in no chroot to leave; it sees the host as a script would. Like every
  // process of the sandbox it holds the root's lock, and nothing else of the launcher's.
  const std::string hook = Files::readText(deviceRoot().hostPath("/var/probe-hook")).value_or("");
  EXPECT_EQ(hook.rfind("descriptors: 0 1 2 " + std::to_string(launcher::kLockDescriptor) + "\n", 0), 0u) << hook;
  EXPECT_NE(hook.find("/etc/shadow: unreadable\n/root: unreadable\nuser map: 0 " +
                      std::to_string(launcher::kMappedRootId) + " 65536\nkernel setting: refused\n"
                      "first process: untraceable\n"),
            std::string::npos)
      << hook;
  for (const char* written : {"/var/probe-script", "/var/probe-hook"})
    EXPECT_EQ(ownerOf(written), launcher::kMappedRootId) << written;
  EXPECT_EQ(Files::readText("/proc/sys/kernel/core_pattern"), corePattern);
  EXPECT_EQ(deviceRoot().packageStatus("com.example.ordinary"), "install ok installed");
  EXPECT_EQ(Files::readText(deviceRoot().hostPath("/usr/share/ordinary/d")), "a\n");
  EXPECT_EQ(marker.changes(), "");
}

TEST_F(Containment, WhatAPackageInstallsGivesNoOtherHostUserAnyPrivilege) {
  // A program set-user-id to root inside, and scripts that give files to root and to
  // mobile, as device packages do; they still install and remove.
  const std::string probe = Files::readText(QB_BINARY_DIR "/tests/qb_sandbox_probe").value_or("");
  const std::string owners = "chown 0:0 /usr/share/owners/root\nchown 501:501 /usr/share/owners/mobile\n";
  ASSERT_TRUE(install(DebPackage("com.example.owners")
                          .program("/usr/bin/setuid-probe", probe)
                          .mode("/usr/bin/setuid-probe", 04755)
                          .file("/usr/share/owners/root", "r\n")
                          .file("/usr/share/owners/mobile", "m\n")
                          .script("postinst", "#!/bin/sh\nset -e\n" + owners)
                          .script("prerm", "#!/bin/sh\nset -e\n" + owners)))
      << output();
  EXPECT_EQ(deviceRoot().packageStatus("com.example.owners"), "install ok installed");
  struct stat program;
  ASSERT_EQ(::lstat(deviceRoot().hostPath("/usr/bin/setuid-probe").c_str(), &program), 0);
  EXPECT_EQ(program.st_mode & 07777, 04755u);
  EXPECT_EQ(program.st_uid, launcher::kMappedRootId);
  EXPECT_EQ(ownerOf("/usr/share/owners/root"), launcher::kMappedRootId);
  EXPECT_EQ(ownerOf("/usr/share/owners/mobile"), launcher::kMappedRootId + 501);
  // Another user of the host can't even reach it.
  auto run = Process::run("/usr/sbin/runuser", {"-u", "nobody", "--", deviceRoot().hostPath("/usr/bin/setuid-probe")});
  EXPECT_NE(run.status, 0) << run.output;
  EXPECT_EQ(run.output.find("effective user:"), std::string::npos) << run.output;

  ASSERT_TRUE(KVAPTManager::remove("com.example.owners", {})) << output();
  EXPECT_NE(deviceRoot().packageStatus("com.example.owners"), "install ok installed");
  EXPECT_FALSE(Files::exists(deviceRoot().hostPath("/usr/bin/setuid-probe")));
}

TEST_F(Containment, WithoutASandboxNoRootCommandRunsAtAll) {
  TestRoot testRoot;
  const std::string deb = build(DebPackage("com.example.unconfined"));
  for (const char* bwrap : {"/nonexistent/bwrap", "/bin/false"}) {
    ::setenv("QUILLBARK_BWRAP", bwrap, 1);
    bool installed = KVAPTManager::installDPKG(deb, {});
    auto hook = KVAPTManager::resultsForCommandAsRoot(KVAPTManager::launcherCommandLine(hostile("unconfined")));
    ::unsetenv("QUILLBARK_BWRAP");
    EXPECT_FALSE(installed) << bwrap;
    EXPECT_EQ(KVAPTManager::status(), launcher::kNoSandboxStatus) << bwrap;
    ASSERT_TRUE(hook);
    EXPECT_NE(hook->find(launcher::kNoSandboxMessage), std::string::npos) << *hook;
  }
  EXPECT_TRUE(deviceRoot().packageStatus("com.example.unconfined").empty());
  EXPECT_FALSE(ran("unconfined"));
  EXPECT_EQ(marker.changes(), "");
  // The user is told once, with the reason, however many commands were refused.
  RunLoop::main().runUntilIdle();
  ASSERT_EQ(testRoot.cards().size(), 1u);
  EXPECT_EQ(testRoot.cards()[0].title, "Package Tools Unavailable");
  EXPECT_NE(testRoot.cards()[0].message.find("bubblewrap is not installed at /nonexistent/bwrap"), std::string::npos)
      << testRoot.cards()[0].message;
  // With the sandbox back, the same archive installs.
  EXPECT_TRUE(KVAPTManager::installDPKG(deb, {})) << output();
}
