// The cache-update task in the pipeline, against the real dpkg status and a real
// `apt-cache gencaches` in a device root: it ends only when its work has run, so APT is
// free for whatever comes next, and a failed regeneration is reported.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/KVConnections.h"
#include "core/KVErrorDomain.h"
#include "core/KVPipelineManager.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVDatabaseMigrationUtility.h"
#include "foundation/Dispatch.h"
#include "foundation/Files.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "operations/KVAPTManager.h"
#include "operations/KVUpdateInformationCacheTask.h"
#include "operations/TasksVerboseViewController.h"
#include "store/Store.h"
#include "support/DeviceRootFixture.h"
#include "support/TestHttpServer.h"
#include "support/TestRoot.h"

namespace {

class CacheUpdateTask : public DeviceRootFixture {
 protected:
  void SetUp() override {
    DeviceRootFixture::SetUp();
    QuillbarkPersistentPreferences::resetSharedInstance();
    store::Database::setDefaultConfiguration(KVDatabaseMigrationUtility::defaultConfiguration());
    root = std::make_unique<TestRoot>();
    ASSERT_EQ(KVAPTManager::createAPTSandboxIfNeeded(), nullptr);
    verbose = NotificationCenter::defaultCenter().addObserver(
        KVUpdateVerboseViewNotification, NotificationCenter::kPostingThread, [this](const Notification& n) {
          std::lock_guard<std::mutex> lock(mutex);
          lines.push_back({n.userInfo["Message"].asString(), n.userInfo["Error"].asBool()});
        });
    finished = NotificationCenter::defaultCenter().addObserver(KVPipelineTaskFinishedNotification,
                                                               [this](const Notification& n) { ends.push_back(n); });
  }
  void TearDown() override {
    verbose.invalidate();
    finished.invalidate();
    DispatchQueue::drainGlobalQueues();
    RunLoop::main().runUntilIdle();
    root.reset();
    store::Database::deleteFiles(KVDatabaseMigrationUtility::databasePath());
    store::Database::setDefaultConfiguration({});
    QuillbarkPersistentPreferences::resetSharedInstance();
    DeviceRootFixture::TearDown();
  }

  // Queues a cache-update task and turns the main loop until the pipeline reports its end.
  std::shared_ptr<KVUpdateInformationCacheTask> runTask() {
    auto task = std::make_shared<KVUpdateInformationCacheTask>(KVConnections::current("CacheUpdateTaskTest"));
    EXPECT_EQ(task->taskDescription(), "Updating the information cache...");
    EXPECT_TRUE(KVPipelineManager::sharedManager().queueTask(task));
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return !ends.empty(); }, 120));
    return task;
  }
  static std::vector<std::string> cacheFiles() {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(KVAPTManager::sandboxPath(), ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
      if (it->path().extension() == ".bin") names.push_back(it->path().filename().string());
    return names;
  }

  std::unique_ptr<TestRoot> root;
  TestHttpServer server;
  std::mutex mutex;
  std::vector<std::pair<std::string, bool>> lines;  // verbose log: message, error
  std::vector<Notification> ends;
  NotificationToken verbose, finished;
};

// The task ends after the status import, the caches and gencaches; a dry run right after
// it is not refused as busy.
TEST_F(CacheUpdateTask, EndsAfterItsWorkSoADryRunRightAfterIsNotRefused) {
  TempDir repo;
  serveExampleToolRepository(repo.path(), server);
  QuillbarkPersistentPreferences::sharedInstance().setObject(Value(true), "NeedsFullRefresh");
  ASSERT_TRUE(cacheFiles().empty());

  auto task = runTask();
  ASSERT_EQ(ends.size(), 1u);
  EXPECT_TRUE(ends[0].userInfo[KVPipelineUserInfoSuccess].asBool());
  EXPECT_EQ(ends[0].userInfo[KVPipelineUserInfoPipelineID], Value("cache.ops"));
  EXPECT_FALSE(KVAPTManager::running()) << "gencaches has ended with the task";
  EXPECT_FALSE(cacheFiles().empty()) << "APT's package caches were written";
  EXPECT_EQ(root->sources->batchEnds, 1);
  EXPECT_GE(root->packages->categoryRebuilds, 1);
  EXPECT_FALSE(QuillbarkPersistentPreferences::sharedInstance().boolForKey("NeedsFullRefresh"));
  EXPECT_DOUBLE_EQ(task->taskProgress(), 1.0);
  EXPECT_EQ(task->status(), "Developer cache successfully updated");
  EXPECT_EQ(task->taskDescription(), "Updating the information cache...");

  auto dry = KVAPTManager::commandResultForCommandAsRoot(*KVAPTManager::dryRunCommand("com.example.tool"));
  EXPECT_TRUE(dry.ran) << dry.output;
  EXPECT_EQ(dry.output.find(KVAPTManager::busyText()), std::string::npos);
  EXPECT_NE(dry.output.find("com.example.lib com.example.tool"), std::string::npos) << dry.output;
}

TEST_F(CacheUpdateTask, AFailedRegenerationIsReported) {
  // A list file APT cannot parse.
  ASSERT_TRUE(Files::writeAtomically(KVAPTManager::listsPath() + "/broken_._Packages",
                                     "Package: broken\nVersion 1.0\n\xff\xfe\x00garbage: \n :\n"));
  ASSERT_TRUE(Files::writeAtomically(KVAPTManager::sourcesListPath(),
                                     Files::readText(KVAPTManager::sourcesListPath()).value_or("") +
                                         "deb [trusted=yes] http://broken/ ./\n"));
  runTask();
  ASSERT_EQ(ends.size(), 1u);
  EXPECT_FALSE(ends[0].userInfo[KVPipelineUserInfoSuccess].asBool());
  ASSERT_NE(ends[0].error, nullptr);
  EXPECT_NE(ends[0].error->localizedDescription().find("The package caches could not be rebuilt"), std::string::npos);
  std::lock_guard<std::mutex> lock(mutex);
  bool reported = false;
  for (const auto& [message, error] : lines)
    reported = reported || (error && message.find("The package caches could not be rebuilt") != std::string::npos);
  EXPECT_TRUE(reported);
}

}  // namespace
