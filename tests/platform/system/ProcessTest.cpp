#include "system/Process.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <map>
#include <string>

#include "foundation/Files.h"
#include "support/TempDir.h"

namespace {
std::string shell(const std::string& command, int* status, std::map<std::string, std::string>* env = nullptr) {
  Process::Outcome outcome =
      Process::run("/bin/bash", {"-c", command}, env ? std::optional(*env) : std::nullopt);
  EXPECT_GE(outcome.status, 0) << outcome.output;
  if (status) *status = outcome.status;
  return outcome.output;
}
}  // namespace

TEST(Process, StandardOutputAndErrorShareOnePipeInOrder) {
  int status = -1;
  std::string out = shell("echo one; echo two >&2; echo three; exit 4", &status);
  EXPECT_EQ(out, "one\ntwo\nthree\n");
  EXPECT_EQ(status, 4);
}

TEST(Process, OutputLargerThanThePipeArrivesWholeBeforeTheExit) {
  int status = -1;
  // Four megabytes written as fast as possible, then an immediate exit.
  std::string out = shell("head -c 4194304 /dev/zero | tr '\\0' x; printf END", &status);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(out.size(), 4194304u + 3);
  EXPECT_EQ(out.substr(out.size() - 3), "END");
}

TEST(Process, ABackgroundChildHoldingThePipeDoesNotHoldTheReader) {
  int status = -1;
  // The grandchild keeps the pipe open long after the shell has exited.
  std::string out = shell("echo before; (exec sleep 60) & echo \"after $!\"", &status);
  ASSERT_EQ(out.rfind("before\nafter ", 0), 0u) << out;
  EXPECT_EQ(status, 0);
  pid_t sleeper = static_cast<pid_t>(std::stol(out.substr(13)));
  EXPECT_EQ(::kill(sleeper, SIGTERM), 0);
}

TEST(Process, StandardInputIsEmpty) {
  int status = -1;
  std::string out = shell("cat; echo done", &status);
  EXPECT_EQ(out, "done\n");
}

TEST(Process, EnvironmentCanBeReplaced) {
  std::map<std::string, std::string> env{{"ONLY_THIS", "yes"}, {"PATH", "/usr/bin:/bin"}};
  int status = -1;
  EXPECT_EQ(shell("echo $ONLY_THIS-${HOME:-none}", &status, &env), "yes-none\n");
}

TEST(Process, SignalAndMissingProgramGiveStatuses) {
  int status = -1;
  shell("kill -TERM $$", &status);
  EXPECT_EQ(status, 128 + 15);

  Process missing;
  missing.setLaunchPath("/nonexistent/program");
  std::string error;
  EXPECT_FALSE(missing.launch(&error));
  EXPECT_NE(error.find("/nonexistent/program"), std::string::npos);

  Process::Outcome notStarted = Process::run("/nonexistent/program", {});
  EXPECT_EQ(notStarted.status, -1);
  EXPECT_NE(notStarted.output.find("/nonexistent/program"), std::string::npos);
}

TEST(Process, TerminateEndsALongRunningChild) {
  Process p;
  p.setLaunchPath("/bin/sleep");
  p.setArguments({"60"});
  ASSERT_TRUE(p.launch());
  EXPECT_TRUE(p.isRunning());
  p.terminate();
  EXPECT_TRUE(p.readToEnd().empty());
  p.waitUntilExit();
  EXPECT_TRUE(p.wasTerminatedBySignal());
  EXPECT_FALSE(p.isRunning());
}

TEST(Process, CurrentDirectoryIsApplied) {
  TempDir dir;
  Process p;
  p.setLaunchPath("/bin/pwd");
  p.setCurrentDirectoryPath(dir.path());
  ASSERT_TRUE(p.launch());
  EXPECT_EQ(p.readToEnd(), dir.path() + "\n");
}

TEST(Process, SpawnAndWaitAnswersTheExitStatus) {
  TempDir dir;
  std::string marker = dir.file("ran");
  EXPECT_EQ(Process::spawnAndWait("/bin/sh", {"-c", "touch '" + marker + "'; exit 7"}), 7);
  EXPECT_TRUE(Files::exists(marker));
  std::string error;
  EXPECT_EQ(Process::spawnAndWait("/nonexistent/tool", {}, &error), -1);
  EXPECT_FALSE(error.empty());
}
