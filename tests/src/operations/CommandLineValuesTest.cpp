#include "core/ShellCommand.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/DebianNames.h"
#include "operations/KVStreamingTask.h"

namespace {
// What a program receives when `value` is quoted for the inner shell and the inner
// command is put between the outer shell's double quotes: bash reads the line, as the
// streaming task runs it, and /bin/sh reads the inner command, as the launcher does.
std::string throughBothShells(const std::string& value) {
  std::string inner = "printf '%s' " + ShellCommand::word(value);
  std::string line = "/bin/sh -c \"" + ShellCommand::insideDoubleQuotes(inner) + "\"";
  std::string whole;
  int32_t status = -1;
  KVStreamingTask::streamingTaskForCommand(line, [&](const std::string&, const std::string& w, bool done, int32_t s) {
    if (done) {
      whole = w;
      status = s;
    }
  });
  EXPECT_EQ(status, 0) << line;
  return whole;
}
}  // namespace

TEST(ShellCommandQuoting, PlainWordsStayAsTheyAre) {
  EXPECT_EQ(ShellCommand::word("com.example.tool=1:2.0-1+b1"), "com.example.tool=1:2.0-1+b1");
  EXPECT_EQ(ShellCommand::word("/var/mobile/Library/Application Support/Quillbark/APT/quillbark.config"),
            "/var/mobile/Library/Application\\ Support/Quillbark/APT/quillbark.config");
  EXPECT_EQ(ShellCommand::word(""), "''");
  // A blank's backslash passes bash's double quotes unchanged.
  EXPECT_EQ(ShellCommand::insideDoubleQuotes("a\\ b"), "a\\ b");
  EXPECT_EQ(ShellCommand::insideDoubleQuotes("$x `y` \"z\" \\$ end\\"), "\\$x \\`y\\` \\\"z\\\" \\\\\\$ end\\\\");
}

TEST(ShellCommandQuoting, HostileTextsArriveIntactThroughBothShells) {
  const std::vector<std::string> values = {
      "plain",
      "with blank",
      "it's",
      "\"double\"",
      "$(touch /tmp/quillbark-pwned)",
      "`id`",
      "${HOME}",
      "a;b&&c||d|e",
      "back\\slash\\",
      "\\$(x)",
      "line\nfeed",
      "tab\there",
      "*?[glob]",
      "~tilde",
      "#comment",
      "<in >out",
      "!bang",
      "caf\xC3\xA9",
      "'\"'\"'",
      "trailing\\",
      "-dash",
  };
  for (const auto& v : values) EXPECT_EQ(throughBothShells(v), v) << v;
}

TEST(ShellCommandQuoting, SingleQuotedTextsArriveIntactThroughOneShell) {
  for (const std::string v : {"plain", "it's", "''", "$(touch /tmp/quillbark-pwned)", "`id`", "a;b\nc", "line\nfeed",
                              "caf\xC3\xA9", ""}) {
    std::string whole;
    KVStreamingTask::streamingTaskForCommand("printf '%s' " + ShellCommand::quote(v),
                                             [&](const std::string&, const std::string& w, bool, int32_t) { whole = w; });
    EXPECT_EQ(whole, v) << v;
  }
  EXPECT_EQ(ShellCommand::quote("/usr/bin/killall"), "'/usr/bin/killall'");
  EXPECT_EQ(ShellCommand::splitWords("  kill  SpringBoard\tbackboardd\n"),
            (std::vector<std::string>{"kill", "SpringBoard", "backboardd"}));
}

TEST(DebianNames, PackageNamesFollowDebianRules) {
  for (const char* good : {"com.example.tool", "libc6", "g++", "a0", "Com.Example.Tweak", "x-y.z+w"})
    EXPECT_TRUE(DebianNames::isPackageName(good)) << good;
  for (const char* bad : {"", "a", "-x", ".x", "a b", "a;b", "a'b", "../etc/passwd", "a_b", "a/b", "$(id)", "a\nb",
                          "caf\xC3\xA9"})
    EXPECT_FALSE(DebianNames::isPackageName(bad)) << bad;
}

TEST(DebianNames, VersionsUseDebianVersionCharacters) {
  for (const char* good : {"1.0", "1:2.0-1", "2.0~beta1+b2", "0"}) EXPECT_TRUE(DebianNames::isVersion(good)) << good;
  for (const char* bad : {"", "v1", "1.0 ", "1;0", "1.0$(x)", "1_0", "1/0"})
    EXPECT_FALSE(DebianNames::isVersion(bad)) << bad;
  EXPECT_TRUE(DebianNames::isArchitecture("iphoneos-arm"));
  EXPECT_FALSE(DebianNames::isArchitecture("arm;rm"));
}

TEST(DebianNames, QueueStringsAreCheckedTokenByToken) {
  EXPECT_FALSE(DebianNames::queueError(""));
  EXPECT_FALSE(DebianNames::queueError("com.a com.b=1:2.0-1 com.c- com.d+ com.e=1.0-"));
  EXPECT_TRUE(DebianNames::queueError("com.a;reboot"));
  EXPECT_TRUE(DebianNames::queueError("com.a=1.0;id"));
  EXPECT_TRUE(DebianNames::queueError("com.a $(id)"));
  EXPECT_TRUE(DebianNames::queueError("com.a="));
  EXPECT_TRUE(DebianNames::queueError("com.a\ncom.b"));
}

TEST(DebianNames, ArchiveNamesFollowAPT) {
  EXPECT_EQ(DebianNames::archiveFileName("com.example.tool", "1.2-3", "iphoneos-arm"),
            "com.example.tool_1.2-3_iphoneos-arm.deb");
  EXPECT_EQ(DebianNames::archiveFileName("tool", "1:2.0-1", "iphoneos-arm"), "tool_1%3a2.0-1_iphoneos-arm.deb");
  EXPECT_FALSE(DebianNames::archiveFileName("", "1.0", "iphoneos-arm"));
  EXPECT_FALSE(DebianNames::archiveFileName("tool", "1.0/../../x", "iphoneos-arm"));
  EXPECT_FALSE(DebianNames::archiveFileName("../tool", "1.0", "iphoneos-arm"));
  EXPECT_FALSE(DebianNames::archiveFileName("tool", "1.0", ""));
}
