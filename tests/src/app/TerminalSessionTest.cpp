// The application executable driven through its standard input, as a person in a terminal would.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>

#include "foundation/Files.h"
#include "support/TempDir.h"
#include "system/Process.h"

namespace {
// Runs the application with the script as its standard input; answers what it printed.
std::string runSession(const std::string& script) {
  TempDir dir;
  Files::writeAtomically(dir.file("script"), script);
  auto outcome = Process::run("/bin/sh", {"-c", "exec \"$0\" --device-root \"$1\" < \"$2\"",
                                          QB_BINARY_DIR "/src/quillbark", dir.file("device"), dir.file("script")});
  EXPECT_EQ(outcome.status, 0) << outcome.output;
  return outcome.output;
}

TEST(TerminalSessionTest, AScriptedSessionShowsAnAlertCardAndTapsItsButton) {
  std::string out = runSession("card Disk full | There is no room left.\ntap OK\ntab 3\nback\nnonsense\nquit\n");
  auto card = out.find("ErrorViewController (over full screen)");
  ASSERT_NE(card, std::string::npos) << out;
  EXPECT_NE(out.find("Disk full\nThere is no room left.\n[OK]\n", card), std::string::npos) << out;
  auto after = out.find("> screens: ", card);
  ASSERT_NE(after, std::string::npos) << out;
  EXPECT_EQ(out.find("ErrorViewController", after), std::string::npos) << "the card is gone after its button";
  EXPECT_NE(out.find("tabs: Featured Categories Changes [Manage] Search", after), std::string::npos) << out;
  EXPECT_NE(out.find("! there is no way back from here"), std::string::npos) << out;
  EXPECT_NE(out.find("! unknown command \"nonsense\""), std::string::npos) << out;
}
TEST(TerminalSessionTest, ANewcomerIsToldTheCommandsAndMisusedVerbsSayHowToUseThem) {
  std::string out = runSession("tap\ntap Search\nwait soon\nswipe 0.1\nrotate\nback\n");
  EXPECT_NE(out.find("(type help for the commands, quit to leave)\n> "), std::string::npos) << out;
  EXPECT_NE(out.find("! usage: tap TEXT|S.R|#N"), std::string::npos) << out;
  EXPECT_NE(out.find("tabs: Featured Categories Changes Manage [Search]"), std::string::npos)
      << "a tab is tapped by its title: " << out;
  EXPECT_NE(out.find("! usage: wait [SECONDS]"), std::string::npos) << out;
  EXPECT_NE(out.find("! usage: swipe S.R|TEXT ACTION"), std::string::npos) << out;
  EXPECT_NE(out.find("! there is no way back from here"), std::string::npos) << out;
  EXPECT_EQ(out.find("unknown command"), std::string::npos) << out;
}
TEST(TerminalSessionTest, AnInterruptEndsTheSessionCleanlyWhileItWaitsForInput) {
  TempDir dir;
  std::string fifo = dir.file("input");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Process app;
  app.setLaunchPath("/bin/sh");
  app.setArguments({"-c", "exec \"$0\" --device-root \"$1\" < \"$2\"", QB_BINARY_DIR "/src/quillbark",
                    dir.file("device"), fifo});
  ASSERT_TRUE(app.launch());
  int writer = open(fifo.c_str(), O_WRONLY);  // held open: the application never sees the input end
  ASSERT_GE(writer, 0);
  std::string out;
  while (out.find("> ") == std::string::npos) {
    Data chunk = app.readAvailableData();
    ASSERT_FALSE(chunk.empty()) << "the application ended before its prompt: " << out;
    out.append(chunk.begin(), chunk.end());
  }
  ASSERT_EQ(kill(app.processIdentifier(), SIGINT), 0);
  auto rest = std::async(std::launch::async, [&app] {
    std::string tail = app.readToEnd();
    app.waitUntilExit();
    return tail;
  });
  if (rest.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
    kill(app.processIdentifier(), SIGKILL);
    rest.wait();
    close(writer);
    FAIL() << "the application did not stop on SIGINT";
  }
  rest.get();
  close(writer);
  EXPECT_EQ(app.terminationStatus(), 0);
  EXPECT_FALSE(app.wasTerminatedBySignal()) << "it stopped by itself, not by the signal's default action";
  auto logged = Process::run("/bin/grep", {"-rl", "Quillbark is exiting", dir.file("device")});
  EXPECT_EQ(logged.status, 0) << "the orderly exit was logged";
}
}  // namespace
