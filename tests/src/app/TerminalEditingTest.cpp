// The application on a terminal, as a person types at it: line editing, history,
// completion, help, and Ctrl-C for a running wait and at the prompt.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <map>

#include "ApplicationProcess.h"
#include "PseudoTerminal.h"
#include "support/TempDir.h"
#include "system/Process.h"

namespace {
const std::string kUp = "\x1b[A";
const std::string kCtrlC = "\x03";

class TerminalEditingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ApplicationProcess::makeDeviceRootAfterFirstRun(dir.file("device")));
    terminal = std::make_unique<PseudoTerminal>(ApplicationProcess::kPath,
                                                std::vector<std::string>{"--device-root", dir.file("device")});
    ASSERT_TRUE(terminal->started());
    ASSERT_TRUE(terminal->waitFor("(type help for the commands, quit to leave)")) << terminal->output();
    ASSERT_TRUE(terminal->waitFor("> ")) << terminal->output();
  }
  // Types a line and waits for `expected` in what follows, then for the next prompt.
  void line(const std::string& keys, const std::string& expected) {
    terminal->send(keys + "\r");
    ASSERT_TRUE(terminal->waitFor(expected)) << "after " << keys << ":\n" << terminal->output();
    ASSERT_TRUE(terminal->waitFor("> ")) << terminal->output();
  }
  TempDir dir;
  std::unique_ptr<PseudoTerminal> terminal;
};

TEST_F(TerminalEditingTest, HistoryCompletionHelpAndAnInterruptedWait) {
  line("help tab", "example: tab Manage");
  line("tab Manage", "tabs: Featured Categories Changes [Manage] Search");
  line("tab 1", "tabs: [Featured] Categories");
  // Up twice brings back "tab Manage".
  line(kUp + kUp, "tabs: Featured Categories Changes [Manage] Search");
  // Tab completes a verb, and a name on screen in any case.
  line("tab 2", "tabs: Featured [Categories]");
  line("hel\tscreen", "usage: screen [-v]");
  line("tab ma\t", "tabs: Featured Categories Changes [Manage] Search");
  // Line editing: the cursor goes back, a word is inserted.
  line("tab Changs\x1b[De", "[Changes]");

  // Ctrl-C stops a long wait at once and the prompt comes back.
  auto start = std::chrono::steady_clock::now();
  terminal->send("wait 600\r");
  ASSERT_TRUE(terminal->waitFor("(waiting 600 seconds; Ctrl-C stops the wait)")) << terminal->output();
  terminal->send(kCtrlC);
  ASSERT_TRUE(terminal->waitFor("! the wait was stopped (Ctrl-C)", 60)) << terminal->output();
  EXPECT_EQ(terminal->output().find("^C!"), std::string::npos) << "no visible \"^C\" runs into the answer";
  ASSERT_TRUE(terminal->waitFor("title: Changes"));
  ASSERT_TRUE(terminal->waitFor("> "));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
  line("screen", "title: Changes");

  // Ctrl-C drops a line being typed; at an empty prompt it leaves.
  terminal->send("tap nowhere" + kCtrlC);
  line("s", "title: Changes");
  EXPECT_EQ(terminal->output().find("nothing to tap named"), std::string::npos) << terminal->output();
  terminal->send(kCtrlC);
  EXPECT_EQ(terminal->waitForExit(), 0) << terminal->output();
  auto logged = Process::run("/bin/grep", {"-rl", "Quillbark is exiting", dir.file("device")});
  EXPECT_EQ(logged.status, 0) << "an orderly exit";
}

TEST_F(TerminalEditingTest, ListsTheCandidatesWhenACompletionIsAmbiguous) {
  terminal->send("t\t\t");
  ASSERT_TRUE(terminal->waitFor("tap")) << terminal->output();
  EXPECT_TRUE(terminal->waitFor("tab")) << terminal->output();
  terminal->send(std::string(1, '\x15') + "quit\r");  // Ctrl-U empties the line first
  EXPECT_EQ(terminal->waitForExit(), 0) << terminal->output();
}
}  // namespace

namespace {
std::unique_ptr<PseudoTerminal> startAt(const std::string& device, const std::map<std::string, std::string>& environment,
                                        unsigned short columns = 100) {
  auto terminal = std::make_unique<PseudoTerminal>(
      ApplicationProcess::kPath, std::vector<std::string>{"--device-root", device}, environment, columns);
  EXPECT_TRUE(terminal->waitFor("(type help")) << terminal->output();
  EXPECT_TRUE(terminal->waitFor("> ")) << terminal->output();
  return terminal;
}

TEST(TerminalNewcomerTest, TheHistoryIsKeptFromOneSessionToTheNext) {
  TempDir dir, state;
  ASSERT_NO_FATAL_FAILURE(ApplicationProcess::makeDeviceRootAfterFirstRun(dir.file("device")));
  auto first = startAt(dir.file("device"), {{"XDG_STATE_HOME", state.path()}});
  first->send("tab Manage\r");
  ASSERT_TRUE(first->waitFor("[Manage]")) << first->output();
  first->send("quit\r");
  ASSERT_EQ(first->waitForExit(), 0) << first->output();
  struct stat status {};
  ASSERT_EQ(stat(state.file("quillbark/history").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u) << "typed lines are the user's alone";

  auto second = startAt(dir.file("device"), {{"XDG_STATE_HOME", state.path()}});
  second->send(kUp + "\r");
  EXPECT_TRUE(second->waitFor("tabs: Featured Categories Changes [Manage] Search")) << second->output();
  second->send("quit\r");
  EXPECT_EQ(second->waitForExit(), 0) << second->output();
}

// On a terminal 40 columns wide the screen breaks at blanks, continued under its text,
// and a word wider than a line is cut with an ellipsis; colours mark titles and errors
// unless NO_COLOR is set.
TEST(TerminalNewcomerTest, TheScreenFitsTheTerminalAndIsColouredUnlessNoColourIsSet) {
  TempDir dir;
  const std::string longWord = "a-command-whose-name-is-wider-than-this-terminal";
  auto narrow = startAt(dir.file("device"), {{"NO_COLOR", ""}}, 40);
  narrow->send(longWord + "\r");
  ASSERT_TRUE(narrow->waitFor("> ")) << narrow->output();
  narrow->send("quit\r");
  ASSERT_EQ(narrow->waitForExit(), 0) << narrow->output();
  const std::string& out = narrow->output();
  EXPECT_NE(out.find("A few steps set it up: your account, and\r\n  the sources"), std::string::npos) << out;
  EXPECT_NE(out.find("\x1B[1mtitle: Welcome\x1B[0m"), std::string::npos) << out;
  EXPECT_NE(out.find("\x1B[31m! unknown command"), std::string::npos) << out;
  EXPECT_NE(out.find("\r\n  \"a-command-whose-name-is-wider-than-t\u2026"), std::string::npos) << out;

  auto plain = startAt(dir.file("device"), {{"NO_COLOR", "1"}});
  plain->send("nothing\rquit\r");
  ASSERT_EQ(plain->waitForExit(), 0) << plain->output();
  for (const char* colour : {"\x1B[1m", "\x1B[31m", "\x1B[0m"})
    EXPECT_EQ(plain->output().find(colour), std::string::npos) << plain->output();
  EXPECT_NE(plain->output().find("! unknown command \"nothing\""), std::string::npos) << plain->output();
}
}  // namespace
