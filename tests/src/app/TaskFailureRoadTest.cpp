// What goes wrong at the terminal names what went wrong: a queued package whose archive the
// server answers 404 for is named, with the reason, on the task screen each time, on a
// machine kept busy; and a row's swipe that fails names the row the person gave.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "TerminalRoad.h"
#include "foundation/Files.h"
#include "support/DebBuilder.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"
#include "system/Process.h"

namespace {

class TaskFailureRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ApplicationProcess::makeDeviceRootAfterFirstRun(device));
    DebBuilder(repo.path()).build(DebPackage("com.example.broken", "1.0").field("Name", "Broken Tool"), "broken.deb");
    ASSERT_TRUE(DebBuilder::writeFlatRepository(repo.path(), {"broken.deb"}));
    ASSERT_TRUE(Files::removeItem(repo.path() + "/broken.deb"));  // the index names it; the server has none
    server.serveFolder(repo.path(), "/repo/");
  }

  TempDir dir;
  std::string device = dir.file("device");
  TempDir repo;
  TestHttpServer server;
  std::string location = server.url("/repo/");
};

// Busy loops on every core, for as long as it lives: the main loop and the download's
// threads then take turns late and in every order.
class BusyMachine {
 public:
  BusyMachine() {
    for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i) {
      auto loop = std::make_unique<Process>();
      loop->setLaunchPath("/bin/sh");
      loop->setArguments({"-c", "while :; do :; done"});
      if (loop->launch()) loops_.push_back(std::move(loop));
    }
  }
  ~BusyMachine() {
    for (auto& loop : loops_) ::kill(loop->processIdentifier(), SIGKILL);
  }

 private:
  std::vector<std::unique_ptr<Process>> loops_;
};

// The newest print of the task screen, whole, once it says that no task runs any more.
std::string lastTaskScreenOnceEnded(TerminalRoad& app) {
  std::string screen;
  for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
       std::chrono::steady_clock::now() < deadline;) {
    std::string printed = app.printedBy("screen");
    size_t at = printed.rfind("title: Tasks");
    screen = at == std::string::npos ? printed : printed.substr(at);
    if (screen.find("No more running tasks") != std::string::npos && screen.find("[Close]") != std::string::npos) break;
  }
  return screen;
}

TEST_F(TaskFailureRoad, AnArchiveAnsweredWith404IsNamedOnTheTaskScreenEveryTimeOnABusyMachine) {
  TerminalRoad app(device);
  ASSERT_NO_FATAL_FAILURE(app.addSource(location));
  BusyMachine busy;
  for (int attempt = 0; attempt < 10; ++attempt) {
    SCOPED_TRACE("attempt " + std::to_string(attempt + 1));
    ASSERT_NO_FATAL_FAILURE(app.queueAndConfirm(location, "Broken Tool"));
    ASSERT_NO_FATAL_FAILURE(app.until("screen", "Downloading Broken Tool failed: the server answered 404."));
    std::string screen = lastTaskScreenOnceEnded(app);
    EXPECT_NE(screen.find("Downloading Broken Tool failed: the server answered 404."), std::string::npos) << screen;
    EXPECT_EQ(screen.find("No more running tasks"), screen.rfind("No more running tasks")) << "said once: " << screen;
    ASSERT_NO_FATAL_FAILURE(app.line("close", "title: Featured"));
  }
  EXPECT_EQ(server.requestCount("/repo/broken.deb"), 10u);
}

TEST_F(TaskFailureRoad, ASwipeThatFailsNamesTheRowAsGiven) {
  TerminalRoad app(device);
  ASSERT_NO_FATAL_FAILURE(app.addSource(location));
  ASSERT_NO_FATAL_FAILURE(app.openList(location, "Broken Tool"));
  // By text: the whole name, not its first word, with an action of one word or more.
  ASSERT_NO_FATAL_FAILURE(app.line("swipe Broken Tool Foo", "! row \"Broken Tool\" offers no \"Foo\"; it offers [Queue]"));
  ASSERT_NO_FATAL_FAILURE(app.line("swipe broken tool Foo Bar", "! row \"broken tool\" offers no \"Foo Bar\""));
  ASSERT_NO_FATAL_FAILURE(app.line("swipe No Such Tool Queue", "! no row \"No Such Tool\""));
  // By number: a row past the list is none.
  ASSERT_NO_FATAL_FAILURE(app.line("swipe 0.0 Foo", "! row 0.0 offers no \"Foo\""));
  ASSERT_NO_FATAL_FAILURE(app.line("swipe 0.7 Queue", "! no row 0.7 on this screen"));
  ASSERT_NO_FATAL_FAILURE(app.line("menu Broken Tool Foo", "! row \"Broken Tool\""));
  // Two tables: the sources are numbered after the installed packages, as printed.
  ASSERT_NO_FATAL_FAILURE(app.line("close", "title: Featured"));
  ASSERT_NO_FATAL_FAILURE(app.line("tab Manage", "1.0: "));
  ASSERT_NO_FATAL_FAILURE(app.line("swipe 1.0 Foo", "! row 1.0 offers no \"Foo\"; it offers [Remove]"));
  ASSERT_NO_FATAL_FAILURE(app.line("swipe 1.99 Remove", "! no row 1.99 on this screen"));
  app.terminal().send("quit\r");
  EXPECT_EQ(app.terminal().waitForExit(60), 0);
}

}  // namespace
