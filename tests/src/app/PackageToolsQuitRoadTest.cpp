// Quitting while the package tools run, through the built program with the real apt-get
// and dpkg: packages whose pre-installation script waits for a file the test writes keep
// dpkg running. A quit says what runs and leaves once it has ended; a second quit leaves
// at once, and a start made then waits for the run, says what it waits for, and shows
// what the run left.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "TerminalRoad.h"
#include "foundation/Files.h"
#include "launcher/RootLock.h"
#include "support/DebBuilder.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"
#include "system/Process.h"

namespace {

class PackageToolsQuitRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ApplicationProcess::makeDeviceRootAfterFirstRun(device));
    DebBuilder debs(repo.path());
    for (const char* which : {"one", "two"}) {
      // Says it has begun, then holds dpkg until the test lets it go.
      std::string name = std::string("/var/mobile/") + which;
      debs.build(DebPackage(std::string("com.example.slow.") + which, "1.0")
                     .field("Name", std::string("Slow ") + (which[0] == 'o' ? "One" : "Two"))
                     .file(std::string("/usr/share/slow-") + which, "x\n")
                     .script("preinst", "#!/bin/sh\ntouch " + name + "-began\nwhile [ ! -e " + name +
                                            "-go ]; do sleep 0.05; done\n"),
                 std::string("slow-") + which + ".deb");
    }
    ASSERT_TRUE(DebBuilder::writeFlatRepository(repo.path(), {"slow-one.deb", "slow-two.deb"}));
    server.serveFolder(repo.path(), "/repo/");
  }
  void TearDown() override {
    // Whatever failed, no script is left waiting, and the root is let go by its tools.
    for (const char* which : {"one", "two"}) Files::writeAtomically(mobile(which) + "-go", "");
    int lock = launcher::openRootLock(device);
    EXPECT_TRUE(launcher::takeRootLock(lock, LOCK_SH, 120));
    if (lock >= 0) ::close(lock);
  }

  std::string mobile(const std::string& name) const { return device + "/var/mobile/" + name; }
  // Waits until the package's script runs: dpkg is at work.
  bool scriptBegan(const std::string& which) {
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
         std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(std::chrono::milliseconds(20)))
      if (Files::exists(mobile(which) + "-began")) return true;
    return false;
  }
  std::string dpkgStatus(const std::string& identifier) {
    return Process::run("/usr/bin/dpkg-query",
                        {"--admindir=" + device + "/var/lib/dpkg", "-W", "-f", "${db:Status-Status}", identifier})
        .output;
  }

  TempDir dir;
  std::string device = dir.file("device");
  TempDir repo;
  TestHttpServer server;
  std::string location = server.url("/repo/");
};

TEST_F(PackageToolsQuitRoad, AQuitWaitsForTheToolsAndAStartWaitsForARunLeftGoing) {
  {
    // Quit: it says what runs, stays, and leaves once the run has ended.
    TerminalRoad app(device);
    ASSERT_NO_FATAL_FAILURE(app.addSource(location));
    ASSERT_NO_FATAL_FAILURE(app.queueAndConfirm(location, "Slow One"));
    ASSERT_TRUE(scriptBegan("one"));
    ASSERT_NO_FATAL_FAILURE(app.line("quit", "The package tools are still running (installing Slow One); quitting "
                                             "when they end. Quit again to leave now."));
    ASSERT_TRUE(Files::writeAtomically(mobile("one") + "-go", ""));
    ASSERT_TRUE(app.terminal().waitFor("The package tools have ended; quitting.", 120)) << app.terminal().output();
    EXPECT_EQ(app.terminal().waitForExit(60), 0);
    EXPECT_EQ(dpkgStatus("com.example.slow.one"), "installed");
  }
  {
    // SIGTERM asks as quit does; Ctrl-D, asking again, leaves at once, dpkg still at work.
    TerminalRoad app(device);
    ASSERT_NO_FATAL_FAILURE(app.queueAndConfirm(location, "Slow Two"));
    ASSERT_TRUE(scriptBegan("two"));
    ::kill(app.terminal().pid(), SIGTERM);
    ASSERT_TRUE(app.terminal().waitFor("The package tools are still running (installing Slow Two)", 60))
        << app.terminal().output();
    app.terminal().send("\x04");
    ASSERT_TRUE(app.terminal().waitFor("Leaving now: the package tools finish on their own (installing Slow Two), and "
                                       "the next start waits for them.",
                                       60))
        << app.terminal().sinceLastMatch();
    EXPECT_EQ(app.terminal().waitForExit(60), 0);
  }
  EXPECT_NE(dpkgStatus("com.example.slow.two"), "installed");
  // A start at once waits for that run, and shows what it left.
  TerminalRoad app(device, false);
  ASSERT_TRUE(app.terminal().waitFor("the package tools' last run in this device root still goes on (installing Slow "
                                     "Two); waiting for it to end before starting",
                                     60))
      << app.terminal().output();
  ASSERT_TRUE(Files::writeAtomically(mobile("two") + "-go", ""));
  ASSERT_TRUE(app.terminal().waitFor("the package tools' last run has ended; starting", 120)) << app.terminal().output();
  ASSERT_TRUE(app.terminal().waitFor("The Package Tools' Last Run Ended")) << app.terminal().output();
  ASSERT_TRUE(app.terminal().waitFor("\n> ")) << app.terminal().output();
  EXPECT_EQ(dpkgStatus("com.example.slow.two"), "installed");
  ASSERT_NO_FATAL_FAILURE(app.line("tap OK", "title: Featured"));
  ASSERT_NO_FATAL_FAILURE(app.line("open quillbark://show/bundleid=com.example.slow.two", "Slow Two"));
  ASSERT_NO_FATAL_FAILURE(app.until("screen", "[UNINSTALL]"));
  ASSERT_NO_FATAL_FAILURE(app.line("close", "title: Featured"));
  ASSERT_NO_FATAL_FAILURE(app.until("tab Manage", "Slow Two | 1.0"));
  std::string manage = app.printedBy("screen");
  EXPECT_NE(manage.find("Slow Two | 1.0 · Test Maintainer | (installed)"), std::string::npos) << manage;
  EXPECT_NE(manage.find("Slow One | 1.0 · Test Maintainer | (installed)"), std::string::npos) << manage;
  app.terminal().send("quit\r");
  EXPECT_EQ(app.terminal().waitForExit(60), 0) << app.terminal().sinceLastMatch();
}

}  // namespace
