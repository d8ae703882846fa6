// The first run at the terminal, on a device root the application makes: the welcome
// over the first tab, the sign-in skipped, the sources another package manager lists in
// the root imported and refreshed, and no walk at the next start; on an emulated system
// before 13, the palette chooser on the way.
#include <gtest/gtest.h>

#include "ApplicationProcess.h"
#include "PseudoTerminal.h"
#include "foundation/Files.h"
#include "support/DebBuilder.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

namespace {
std::string session(const std::string& device, const std::string& script,
                    const std::vector<std::string>& arguments = {}) {
  auto outcome = ApplicationProcess::runScript(device, script, arguments);
  EXPECT_EQ(outcome.status, 0) << outcome.output;
  return outcome.output;
}

TEST(FirstRunRoad, TheWalkImportsTheListedSourcesRefreshesThemAndIsNotShownAgain) {
  TempDir dir, repo;
  const std::string device = dir.file("device");
  ASSERT_TRUE(DebBuilder::writeRepositoryIndex(
      repo.path(), "Package: com.example.hello\nVersion: 1.0\nArchitecture: iphoneos-arm\nName: Hello\n\n"));
  Files::writeAtomically(repo.file("Release"), std::string("Origin: Listed Elsewhere\nLabel: Listed\n"));
  TestHttpServer server;
  server.serveFolder(repo.path(), "/repo/");

  std::string first = session(device, "screen\nquit\n");
  EXPECT_NE(first.find("title: Welcome\nover: Featured"), std::string::npos) << first;
  ASSERT_TRUE(Files::writeAtomically(device + "/etc/apt/sources.list.d/cydia.list",
                                     "deb " + server.url("/repo/") + " ./\n"));

  // The walk on a terminal, then a wait for the refresh it starts, stopped once that has
  // ended: the default sources fail as fast as the resolver says their names are unknown,
  // which can take its time-out.
  PseudoTerminal walk(ApplicationProcess::kPath, {"--device-root", device});
  ASSERT_TRUE(walk.started());
  ASSERT_TRUE(walk.waitFor("> ")) << walk.output();
  auto step = [&](const std::string& keys, const std::vector<std::string>& expected) {
    walk.send(keys + "\r");
    for (const auto& text : expected) EXPECT_TRUE(walk.waitFor(text)) << "after " << keys << ": " << walk.output();
    ASSERT_TRUE(walk.waitFor("> ")) << walk.output();
  };
  ASSERT_NO_FATAL_FAILURE(step("tap Get Started", {"title: Sign In", "over: Welcome"}));
  ASSERT_NO_FATAL_FAILURE(step("tap Skip", {"title: Import Sources", "over: Sign In"}));
  ASSERT_NO_FATAL_FAILURE(step("tap Cydia", {"[Cydia] (selected)"}));
  ASSERT_NO_FATAL_FAILURE(step("tap Continue", {"title: Featured"}));
  walk.send("wait 600\r");
  // A refresh that ended before the imported source was written is not the one looked for.
  bool refreshed = false;
  while (!refreshed && walk.waitFor("floating: Refresh Complete", 60)) refreshed = server.requestCount("/repo/Release") > 0;
  EXPECT_TRUE(refreshed) << "the sources refresh: " << walk.output();
  walk.send("\x03");
  EXPECT_TRUE(walk.waitFor("! the wait was stopped (Ctrl-C)") && walk.waitFor("> ")) << walk.output();
  walk.send("quit\r");
  EXPECT_EQ(walk.waitForExit(60), 0) << walk.output();
  EXPECT_GE(server.requestCount("/repo/Packages.xz") + server.requestCount("/repo/Packages.gz") +
                server.requestCount("/repo/Packages"),
            1u);

  std::string again = session(device, "screen\ntab Manage\nquit\n");
  EXPECT_EQ(again.find("Welcome"), std::string::npos) << "the walk is over: " << again;
  EXPECT_NE(again.find("tabs: Featured Categories Changes [Manage] Search"), std::string::npos) << again;
}

TEST(FirstRunRoad, BeforeSystem13ThePaletteChooserComesFirstAndItsChoiceIsKept) {
  TempDir dir;
  const std::string device = dir.file("device");
  std::string walk = session(device, "tap Get Started\ntap Blue Black\ntap Continue\ntap Skip\ntap Continue\nquit\n",
                             {"--system-version", "12.4"});
  EXPECT_NE(walk.find("title: Appearance\nover: Welcome"), std::string::npos) << walk;
  EXPECT_NE(walk.find("title: Sign In\nover: Appearance"), std::string::npos) << walk;
  auto preferences = Files::readText(device + "/var/mobile/Library/Application Support/Quillbark/me.korvale.quillbark.plist");
  ASSERT_TRUE(preferences);
  EXPECT_NE(preferences->find("<key>DarkMode</key>\n\t<true/>"), std::string::npos) << *preferences;
  EXPECT_NE(preferences->find("<key>setupDone</key>\n\t<true/>"), std::string::npos) << *preferences;
  auto version = Files::readText(device + "/System/Library/CoreServices/SystemVersion.plist");
  EXPECT_NE(version.value_or("").find("<string>12.4</string>"), std::string::npos) << "kept for later starts";

  auto refused = ApplicationProcess::runScript(device, "quit\n", {"--system-version", "twelve"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.output.find("--system-version takes a version such as 12.4"), std::string::npos) << refused.output;
}
}  // namespace
