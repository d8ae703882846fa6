// The APT-operation and dpkg-install tasks: what the verbose log shows of the tools'
// output, the text of a failed run, and a run refused because another command holds the
// APT layer.
#include <gtest/gtest.h>

#include <thread>

#include "core/KVErrorDomain.h"
#include "core/KVPipelineManager.h"
#include "foundation/Files.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "operations/KVPackageAPTOperationTask.h"
#include "operations/KVPackageDPKGInstallTask.h"
#include "operations/KVVerboseLog.h"
#include "support/DeviceRootFixture.h"
#include "support/Latch.h"
#include "support/ShellWait.h"

namespace {

std::vector<std::string> shown(const std::vector<std::string>& pieces, const std::map<std::string, std::string>& names = {}) {
  std::vector<std::string> out;
  bool lastWasLineFeed = false;
  for (const auto& piece : pieces)
    if (auto text = KVPackageAPTOperationTask::shownText(piece, names, lastWasLineFeed)) out.push_back(*text);
  return out;
}

TEST(APTOutput, NoiseGoesAndOneEmptyLineStaysOfTwo) {
  EXPECT_EQ(shown({"Reading package lists...\n", "Building dependency tree...\n", "Reading state information...\n",
                   "(Reading database ... 12 files and directories currently installed.)\n",
                   "Preparing to unpack .../tool.deb ...\n", "1 upgraded, 1 newly installed, 0 to remove\n", "\n", "\n",
                   "x\n", "\n"}),
            (std::vector<std::string>{"\n", "x\n", "\n"}));
  // A heading counts as a line feed: an empty line right after it is dropped.
  EXPECT_EQ(shown({"The following packages will be REMOVED:\n", "\n", "  com.example.tool\n"}),
            (std::vector<std::string>{"\nRemoving:\n", "  com.example.tool\n"}));
}

TEST(APTOutput, HeadingsAreShortNamesReplaceIdentifiersAndStepsGetALineBefore) {
  std::map<std::string, std::string> names{{"com.example.tool", "Example Tool"}, {"com.example.toolkit", "Kit"}};
  EXPECT_EQ(shown({"The following NEW packages will be installed:\n", "  com.example.tool com.example.toolkit\n",
                   "The following additional packages will be installed:\n", "The following packages will be upgraded:\n",
                   "Setting up com.example.tool (1.0) ...\n", "Unpacking com.example.toolkit (2.0) ...\n"},
                  names),
            (std::vector<std::string>{"\nInstalling:\n", "  Example Tool Kit\n", "\nAdditional Required Packages:\n",
                                      "Upgrading:\n", "\nSetting up Example Tool (1.0) ...\n",
                                      "\nUnpacking Kit (2.0) ...\n"}));
}

TEST(APTOutput, PathsAndFileNamesKeepTheIdentifierAsDpkgWroteIt) {
  std::map<std::string, std::string> names{{"com.example.tool", "EXAMPLE TOOL"}};
  EXPECT_EQ(shown({"dpkg: error processing package com.example.tool:iphoneos-arm (--configure):\n",
                   " unable to execute installed com.example.tool package post-installation script "
                   "(/var/lib/dpkg/info/com.example.tool.postinst): No such file or directory\n",
                   "dpkg: warning: files list file for package 'com.example.tool' missing\n",
                   "Removing com.example.tool.\n", "Unpacking com.example.tool-extras (1.0) ...\n",
                   "Get:1 ./com.example.tool_1.0_iphoneos-arm.deb\n"},
                  names),
            (std::vector<std::string>{
                "dpkg: error processing package EXAMPLE TOOL:iphoneos-arm (--configure):\n",
                " unable to execute installed EXAMPLE TOOL package post-installation script "
                "(/var/lib/dpkg/info/com.example.tool.postinst): No such file or directory\n",
                "dpkg: warning: files list file for package 'EXAMPLE TOOL' missing\n", "\nRemoving EXAMPLE TOOL.\n",
                "\nUnpacking com.example.tool-extras (1.0) ...\n", "Get:1 ./com.example.tool_1.0_iphoneos-arm.deb\n"}));
  // A run ends with words for what it did.
  EXPECT_EQ(KVPackageAPTOperationTask::doneStatusForQueue("com.example.tool- com.example.lib-"), "Done Removing");
  EXPECT_EQ(KVPackageAPTOperationTask::doneStatusForQueue("com.example.tool=1.0"), "Done Installing");
  EXPECT_EQ(KVPackageAPTOperationTask::doneStatusForQueue("a b-"), "Done Installing and Removing");
}

TEST(APTOutput, LinesAreClassifiedByTheirStart) {
  auto line = KVVerboseLog::classify("E: Sub-process /usr/bin/dpkg returned an error code (1)\n");
  EXPECT_EQ(line.shown, "Sub-process /usr/bin/dpkg returned an error code (1)\n");
  EXPECT_TRUE(line.isError);
  line = KVVerboseLog::classify("dpkg: error processing package x (--configure):\n");
  EXPECT_TRUE(line.isError);
  EXPECT_EQ(line.shown, "dpkg: error processing package x (--configure):\n");
  EXPECT_TRUE(KVVerboseLog::classify("Errors were encountered while processing:\n").isError);
  line = KVVerboseLog::classify("W: Download is performed unsandboxed\n");
  EXPECT_TRUE(line.isWarning);
  EXPECT_EQ(line.shown, "Download is performed unsandboxed\n");
  EXPECT_TRUE(KVVerboseLog::classify("dpkg: warning: downgrading\n").isWarning);
  EXPECT_FALSE(KVVerboseLog::classify(" E: indented\n").isError);
}

TEST(APTOutput, TheErrorTextCarriesTheErrorAndWarningLinesOrSaysWhereToLook) {
  EXPECT_EQ(KVVerboseLog::errorText("APT returned an error while performing operations:\n",
                                    "Setting up x\nW: careful\ndpkg: error\nE: broken\n"),
            "APT returned an error while performing operations:\n\ncareful\nbroken");
  std::string unknown = KVVerboseLog::errorText("DPKG returned an error while performing operations:\n", "nothing\n");
  EXPECT_TRUE(unknown.ends_with("Please view the log output for more information.")) << unknown;
}

class PackageTasksTest : public DeviceRootFixture {};

// The APT layer refuses a command while another runs: the task ends at once as a
// failure with the busy text, never waiting for an end that would not come.
TEST_F(PackageTasksTest, ARunRefusedAsBusyFailsWithCode34AndTheBusyText) {
  const std::string release = rootPath() + "/release";
  Latch started, finished;
  std::thread holder([&] {
    KVAPTManager::runCommandAsRoot(
        KVAPTManager::launcherCommandLine("echo started; " + shellWaitForFile(release)),
        [&](const std::string& piece, const std::string&, bool, int32_t) {
          if (piece == "started\n") started.arrive();
        },
        {});
  });
  ASSERT_TRUE(started.wait());

  std::vector<Notification> ends;
  std::mutex m;
  auto token = NotificationCenter::defaultCenter().addObserver(
      KVPipelineTaskFinishedNotification, NotificationCenter::kPostingThread, [&](const Notification& n) {
        std::lock_guard<std::mutex> lock(m);
        ends.push_back(n);
        finished.arrive();
      });
  auto apt = std::make_shared<KVPackageAPTOperationTask>("com.example.tool");
  auto dpkg = std::make_shared<KVPackageDPKGInstallTask>(rootPath() + "/local.deb", "com.example.local");
  EXPECT_EQ(apt->taskID(), "Install-com.example.tool");
  EXPECT_EQ(dpkg->taskID(), "Install-com.example.local");
  KVPipelineManager::sharedManager().queueTask(apt);
  KVPipelineManager::sharedManager().queueTask(dpkg);
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return finished.arrived() == 2; }, 20));
  std::lock_guard<std::mutex> lock(m);
  for (const auto& end : ends) {
    EXPECT_FALSE(end.userInfo["success"].asBool());
    ASSERT_NE(end.error, nullptr);
    EXPECT_EQ(end.error->domain, KVErrorDomain);
    EXPECT_EQ(end.error->code, KVErrorPackageToolFailed);
    EXPECT_EQ(end.error->localizedDescription(), KVAPTManager::busyText());
  }
  EXPECT_EQ(apt->queuedIdentifiers(), std::vector<std::string>{"com.example.tool"});
  Files::writeAtomically(release, std::string());
  holder.join();
}

TEST_F(PackageTasksTest, ATaskCancelledBeforeItsCommandEndsAsASuccessWithoutRunning) {
  auto apt = std::make_shared<KVPackageAPTOperationTask>("com.example.tool");
  EXPECT_TRUE(apt->taskCanCancel());
  EXPECT_EQ(apt->taskProgress(), -1);
  EXPECT_EQ(apt->taskDescription(), "Waiting...");
  apt->taskCancel();
  EXPECT_FALSE(apt->taskCanCancel());
  EXPECT_TRUE(apt->isCancelled());
  EXPECT_TRUE(apt->isFinished());
}

}  // namespace
