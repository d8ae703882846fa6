// The application executable driven through its standard input, as a person in a terminal would.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "foundation/Files.h"
#include "support/TempDir.h"

namespace {
std::string runSession(const std::string& script) {
  TempDir dir;
  Files::writeAtomically(dir.file("script"), script);
  std::string command = std::string("'") + QB_BINARY_DIR "/src/quillbark' --device-root '" + dir.file("device") +
                        "' < '" + dir.file("script") + "' 2>&1";
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
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
}  // namespace
