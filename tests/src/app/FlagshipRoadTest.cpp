// The road a person takes at the terminal, with the real apt-get and dpkg in the device
// root the application makes: a repository of real archives (one with a dependency)
// served on 127.0.0.1 is added through a quillbark:// link, refreshed, opened from its
// page, a package is queued from its row, the card opens the confirmation, Confirm
// installs both, and the same road removes it; a row swiped away just before Confirm is
// not installed; links a package left in place of the lock and of APT's lists are put
// right at the next start, and the road works again.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>

#include "ApplicationProcess.h"
#include "PseudoTerminal.h"
#include "TerminalRoad.h"
#include "foundation/Files.h"
#include "support/DebBuilder.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"
#include "support/TimeBound.h"
#include "system/Process.h"

namespace {

class FlagshipRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ApplicationProcess::makeDeviceRootAfterFirstRun(device));
    ApplicationProcess::buildToolAndLibrary(repo.path());
    DebBuilder debs(repo.path());
    debs.build(DebPackage("com.example.extra", "1.0").field("Name", "Example Extra").file("/usr/share/extra.txt", "x\n"),
               "extra.deb");
    ASSERT_TRUE(DebBuilder::writeFlatRepository(repo.path(), {"lib.deb", "tool.deb", "extra.deb"}));
    server.serveFolder(repo.path(), "/repo/");
    location = server.url("/repo/");

    road = std::make_unique<TerminalRoad>(device);
    terminal = &road->terminal();
    ASSERT_TRUE(terminal->waitFor("> ")) << terminal->output();
  }
  void TearDown() override {
    if (!terminal) return;
    terminal->send("quit\r");
    EXPECT_EQ(terminal->waitForExit(60), 0) << terminal->sinceLastMatch();
  }

  // Types a line and waits for `expected` in what it prints, then for the next prompt.
  void line(const std::string& keys, const std::string& expected) {
    terminal->send(keys + "\r");
    ASSERT_TRUE(terminal->waitFor(expected)) << "after " << keys << ":\n" << terminal->sinceLastMatch();
    ASSERT_TRUE(terminal->waitFor("> ")) << terminal->sinceLastMatch();
  }
  std::string printedBy(const std::string& keys) { return road->printedBy(keys); }
  // For what the application does in the background (a refresh, a dry run, an APT run).
  void until(const std::string& keys, const std::string& expected, double seconds = 120, std::string* shown = nullptr) {
    road->until(keys, expected, seconds, shown);
  }
  // The line of the screen's row that begins with `name`.
  std::string row(const std::string& name) {
    std::string printed = printedBy("screen");
    size_t at = printed.find(": " + name + " |");
    return at == std::string::npos ? printed : printed.substr(at, printed.find('\n', at) - at);
  }
  // The packages the device's dpkg knows as installed.
  std::string installed() {
    auto outcome = Process::run("/usr/bin/dpkg-query", {"--admindir=" + device + "/var/lib/dpkg", "-W", "-f",
                                                        "${Package} ${db:Status-Status}\n"});
    std::string out;
    size_t start = 0;
    for (size_t end = outcome.output.find('\n'); end != std::string::npos; end = outcome.output.find('\n', start)) {
      std::string row = outcome.output.substr(start, end - start);
      start = end + 1;
      if (row.rfind("com.example.", 0) == 0 && row.find(" installed") != std::string::npos)
        out += row.substr(0, row.find(' ')) + " ";
    }
    return out;
  }
  // The source's package list, from its page.
  void openList() {
    ASSERT_NO_FATAL_FAILURE(line("open quillbark://add/" + location, "[Packages]"));
    ASSERT_NO_FATAL_FAILURE(line("tap Packages", "Example Tool"));
  }
  // Queues from the list's row, opens the confirmation from the card and waits for the
  // dry run to let Confirm be tapped. The screen that first shows it so lists `brought`:
  // what the run brings along is never resolved after Confirm is let go (a later screen
  // may be resolving again, for a refresh that ended meanwhile).
  void queueAndConfirm(const std::string& row, const std::string& mark, const std::string& card,
                       const std::string& brought = "") {
    ASSERT_NO_FATAL_FAILURE(line("swipe " + row + " Queue", mark));
    ASSERT_NO_FATAL_FAILURE(line("close", "title: Featured"));
    ASSERT_NO_FATAL_FAILURE(until("screen", "floating: Queue | " + card));
    // The card gives way to a refresh's progress for a moment when one starts (the start's
    // own refresh may begin just now), so the tap is tried again until the queue opens.
    ASSERT_NO_FATAL_FAILURE(until("tap Queue", "Main Packages to Proceed", 60));
    std::string shown;
    ASSERT_NO_FATAL_FAILURE(until("screen", "[Confirm]\r", 120, &shown));
    EXPECT_NE(shown.find(brought), std::string::npos) << shown;
  }

  TempDir dir;
  std::string device = dir.file("device");
  TempDir repo;
  TestHttpServer server;
  std::string location;
  std::unique_ptr<TerminalRoad> road;
  PseudoTerminal* terminal = nullptr;
};

TEST_F(FlagshipRoad, AddRefreshQueueConfirmInstallThenRemove) {
  ASSERT_NO_FATAL_FAILURE(line("open quillbark://add/" + location, "alert: Add repository"));
  ASSERT_NO_FATAL_FAILURE(line("tap Yes", "[Continue]"));  // the warning about plain http
  ASSERT_NO_FATAL_FAILURE(line("tap Continue", "title: Featured"));
  ASSERT_NO_FATAL_FAILURE(until("screen", "floating: Refresh Complete"));
  ASSERT_NO_FATAL_FAILURE(openList());

  ASSERT_NO_FATAL_FAILURE(
      queueAndConfirm("Example Tool", "(install)", "1 Package", "-- Other Packages --\r\n  1.0: Example Library"));
  ASSERT_NO_FATAL_FAILURE(line("tap Confirm", "title: Tasks"));
  ASSERT_NO_FATAL_FAILURE(until("screen", "No more running tasks"));
  EXPECT_NE(terminal->output().find("Setting up Example Tool"), std::string::npos) << "the verbose log shows the run";
  EXPECT_EQ(installed(), "com.example.lib com.example.tool ");
  ASSERT_NO_FATAL_FAILURE(line("close", "title: Featured"));
  ASSERT_NO_FATAL_FAILURE(openList());
  EXPECT_NE(row("Example Tool").find("(installed)"), std::string::npos) << row("Example Tool");

  ASSERT_NO_FATAL_FAILURE(queueAndConfirm("Example Tool", "(uninstall)", "1 Package"));
  ASSERT_NO_FATAL_FAILURE(line("tap Confirm", "title: Tasks"));
  ASSERT_NO_FATAL_FAILURE(until("screen", "No more running tasks"));
  EXPECT_EQ(installed(), "com.example.lib ");
}

TEST_F(FlagshipRoad, ARowSwipedAwayJustBeforeConfirmIsNotInstalled) {
  ASSERT_NO_FATAL_FAILURE(line("open quillbark://add/" + location, "alert: Add repository"));
  ASSERT_NO_FATAL_FAILURE(line("tap Yes", "[Continue]"));
  ASSERT_NO_FATAL_FAILURE(line("tap Continue", "title: Featured"));
  ASSERT_NO_FATAL_FAILURE(until("screen", "floating: Refresh Complete"));
  ASSERT_NO_FATAL_FAILURE(openList());
  ASSERT_NO_FATAL_FAILURE(line("swipe Example Extra Queue", "(install)"));
  ASSERT_NO_FATAL_FAILURE(queueAndConfirm("Example Tool", "(install)", "2 Packages"));
  // Confirm straight after the swipe: it waits for the dry run of what is left.
  terminal->send("swipe Example Tool Delete\rtap Confirm\r");
  ASSERT_NO_FATAL_FAILURE(until("screen", "[Confirm]\r"));
  ASSERT_NO_FATAL_FAILURE(line("tap Confirm", "title: Tasks"));
  ASSERT_NO_FATAL_FAILURE(until("screen", "No more running tasks"));
  EXPECT_EQ(installed(), "com.example.extra ");
}

// A package's script leaves links in place of the application's lock, APT's lists and
// its sources list. The next start puts them back and says so, writes nothing through
// them, and fetches the sources' lists again: an install then works.
TEST_F(FlagshipRoad, LinksInPlaceOfTheLockAndAPTsListsAreRepairedAtStartAndAnInstallWorks) {
  ASSERT_NO_FATAL_FAILURE(line("open quillbark://add/" + location, "alert: Add repository"));
  ASSERT_NO_FATAL_FAILURE(line("tap Yes", "[Continue]"));
  ASSERT_NO_FATAL_FAILURE(line("tap Continue", "title: Featured"));
  ASSERT_NO_FATAL_FAILURE(until("screen", "floating: Refresh Complete"));
  terminal->send("quit\r");
  ASSERT_EQ(terminal->waitForExit(60), 0) << terminal->sinceLastMatch();

  TempDir outside;
  const std::string support = "/var/mobile/Library/Application Support/Quillbark";
  const std::pair<std::string, std::string> links[] = {{support + "/quillbark.lock", outside.file("lock")},
                                                       {support + "/APT/lists", outside.path()},
                                                       {support + "/APT/sources.list", outside.file("sources.list")}};
  for (const auto& [at, to] : links) {
    ASSERT_TRUE(Files::removeItem(device + at)) << at;
    ASSERT_EQ(::symlink(to.c_str(), (device + at).c_str()), 0) << at;
  }
  road = std::make_unique<TerminalRoad>(device);
  terminal = &road->terminal();
  EXPECT_NE(terminal->output().find("repaired the device folder: " + links[0].first + " was a link to " + links[0].second),
            std::string::npos)
      << terminal->output();
  ASSERT_TRUE(terminal->waitFor("> ")) << terminal->output();
  // A cache the last refresh was still writing at the quit is waited for at this start,
  // and its end said in a card over the one that counts this start's refresh.
  if (printedBy("screen").find("The Package Tools' Last Run Ended") != std::string::npos) {
    ASSERT_NO_FATAL_FAILURE(line("tap OK", "title: Featured"));
  }
  terminal->send("wait 180 idle\r");
  ASSERT_TRUE(terminal->waitFor("wait 180 idle") && terminal->waitFor("\n> ", 200)) << terminal->sinceLastMatch();
  bool listed = false;
  for (const auto& name : Files::contentsOfDirectory(device + support + "/APT/lists"))
    listed = listed || name.find("_Packages") != std::string::npos;
  EXPECT_TRUE(listed) << "the sources' lists are fetched again";
  ASSERT_NO_FATAL_FAILURE(openList());
  ASSERT_NO_FATAL_FAILURE(queueAndConfirm("Example Tool", "(install)", "1 Package", "1.0: Example Library"));
  ASSERT_NO_FATAL_FAILURE(line("tap Confirm", "title: Tasks"));
  ASSERT_NO_FATAL_FAILURE(until("screen", "No more running tasks"));
  EXPECT_EQ(installed(), "com.example.lib com.example.tool ");

  const std::string log =
      Files::readText(device + "/var/mobile/Library/Logs/me.korvale.quillbark/quillbark.log").value_or("");
  for (const auto& [at, to] : {links[1], links[2]})
    EXPECT_NE(log.find("Repaired the APT tree: " + at + " was a link to " + to), std::string::npos) << at;
  EXPECT_TRUE(Files::contentsOfDirectory(outside.path()).empty()) << "nothing was written through the links";
}

}  // namespace
