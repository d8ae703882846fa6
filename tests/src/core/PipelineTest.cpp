#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "core/KVPipelineManager.h"
#include "core/ShellCommand.h"
#include "foundation/DebugChecks.h"
#include "foundation/Files.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "support/ScopedDeviceRoot.h"
#include "support/TestRoot.h"
#include "system/DeviceRootBuilder.h"

namespace {
// A task that runs until the test releases it, then reports its end.
class GateTask : public KVTask {
 public:
  GateTask(std::string id, std::string pipeline, std::string cls = "GateTask")
      : id_(std::move(id)), pipeline_(std::move(pipeline)), cls_(std::move(cls)) {}
  std::string className() const override { return cls_; }
  std::string taskID() const override { return id_; }
  std::string pipelineID() const override { return pipeline_; }
  std::string taskDescription() const override { return "working on " + id_; }
  std::vector<std::string> queuedIdentifiers() const override { return queued; }
  double taskProgress() const override { return progress_; }
  void taskStart() override {
    started = true;
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [this] { return released_; });
    lock.unlock();
    if (reportStatus) {
      progress_ = 0.5;
      KVPipelineManager::sharedManager().taskStatusChanged(this);
      KVPipelineManager::sharedManager().taskProgressChanged(this);
    }
    if (success) KVPipelineManager::sharedManager().taskDoneWithSuccess(this);
    else KVPipelineManager::sharedManager().taskDoneWithError(this, error);
    finishedReporting = true;
    finishOperation();
  }
  void release() {
    {
      std::lock_guard<std::mutex> lock(m_);
      released_ = true;
    }
    cv_.notify_all();
  }
  std::atomic<bool> started{false}, finishedReporting{false};
  bool success = true, reportStatus = false;
  ErrorRef error;
  std::vector<std::string> queued;

 private:
  std::string id_, pipeline_, cls_;
  double progress_ = 0;
  std::mutex m_;
  std::condition_variable cv_;
  bool released_ = false;
};

struct Recorder {
  std::vector<Notification> notes;
  std::vector<bool> onMain;
  std::mutex m;
  std::vector<NotificationToken> observations;
  // Told on the posting thread, so that the test sees where the pipeline posts.
  void listen(const std::string& name) {
    observations.push_back(NotificationCenter::defaultCenter().addObserver(
        name, NotificationCenter::kPostingThread, [this](const Notification& n) {
          std::lock_guard<std::mutex> lock(m);
          notes.push_back(n);
          onMain.push_back(RunLoop::isMainThread());
        }));
  }
  size_t count() {
    std::lock_guard<std::mutex> lock(m);
    return notes.size();
  }
};

class PipelineTest : public ::testing::Test {
 protected:
  void SetUp() override { DeviceRootBuilder::build(root.path()); }
  void TearDown() override { drained(); }
  bool waitFor(const std::function<bool()>& done) { return RunLoop::main().runUntil(done, 10); }
  // The finished notification waits for the main thread, so the test pumps it.
  bool drained() {
    return waitFor([] { return KVPipelineManager::sharedManager().pipelineOperationQueue().operationCount() == 0; });
  }

  std::vector<std::string> commands() const { return testRoot.commands(); }
  // A device tool's line as the host runs it: through the root's launcher, in its sandbox.
  std::string viaLauncher(const std::string& inner) const {
    return "'" + root.path() + "/usr/libexec/dedev' " + ShellCommand::quote(inner);
  }
  // Each alert card as "title|message|other button".
  std::vector<std::string> alerts() const {
    std::vector<std::string> out;
    for (const auto& card : testRoot.cards()) out.push_back(card.title + "|" + card.message + "|" + card.otherTitle);
    return out;
  }

  ScopedDeviceRoot root;
  TestRoot testRoot;
};

TEST_F(PipelineTest, DuplicateIdentifierIsDroppedUntilTheFirstHasLeft) {
  auto& p = KVPipelineManager::sharedManager();
  Recorder queued;
  queued.listen(KVPipelineTaskQueuedNotification);
  auto first = std::make_shared<GateTask>("same", KVPipelineMisc);
  auto second = std::make_shared<GateTask>("same", KVPipelineMisc);
  p.queueTask(first);
  p.queueTask(second);
  EXPECT_EQ(queued.count(), 1u);
  EXPECT_EQ(p.tasksArray().size(), 1u);
  first->release();
  ASSERT_TRUE(drained());
  EXPECT_FALSE(second->started);

  auto third = std::make_shared<GateTask>("same", KVPipelineMisc);
  p.queueTask(third);
  EXPECT_EQ(queued.count(), 2u);
  third->release();
  ASSERT_TRUE(drained());
  EXPECT_TRUE(third->started);
}

TEST_F(PipelineTest, TenRefreshesInAnyOrderGiveOneRefreshComplete) {
  auto& p = KVPipelineManager::sharedManager();
  Recorder done;
  done.listen(KVPipelineSourceRefreshComplete);
  std::vector<std::shared_ptr<GateTask>> tasks;
  for (int i = 0; i < 10; ++i) {
    tasks.push_back(std::make_shared<GateTask>("refresh-" + std::to_string(i), KVPipelineSourceRefresh));
    p.queueTask(tasks.back());
  }
  EXPECT_EQ(p.sourceRefreshCount(), 10u);
  for (int i : {7, 2, 9, 0, 5, 1, 8, 3, 6, 4}) tasks[i]->release();
  ASSERT_TRUE(drained());
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(done.count(), 1u);
  EXPECT_EQ(testRoot.sources->batchEnds, 1);
  EXPECT_EQ(p.sourceRefreshCount(), 0u);
  EXPECT_TRUE(done.onMain[0]);

  // An extra end report at a count of 0 leaves it at 0 and posts nothing.
  GateTask stray("stray", KVPipelineSourceRefresh);
  p.taskDoneWithSuccess(&stray);
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(p.sourceRefreshCount(), 0u);
  EXPECT_EQ(done.count(), 1u);
}

TEST_F(PipelineTest, StatusProgressAndFinishedArriveOnTheMainThread) {
  auto& p = KVPipelineManager::sharedManager();
  Recorder status, progress, finished;
  status.listen(KVPipelineTaskStatusNotification);
  progress.listen(KVPipelineTaskProgressNotification);
  finished.listen(KVPipelineTaskFinishedNotification);
  auto task = std::make_shared<GateTask>("job", KVPipelinePackageDownloadOperation);
  task->reportStatus = true;
  task->success = false;  // and with a nil error
  p.queueTask(task);
  task->release();
  ASSERT_TRUE(waitFor([&] { return task->finishedReporting.load(); }));
  RunLoop::main().runUntilIdle();
  ASSERT_EQ(status.count(), 1u);
  ASSERT_EQ(progress.count(), 1u);
  ASSERT_EQ(finished.count(), 1u);
  EXPECT_TRUE(status.onMain[0]);
  EXPECT_TRUE(progress.onMain[0]);
  EXPECT_TRUE(finished.onMain[0]);
  EXPECT_EQ(status.notes[0].userInfo["status"].asString(), "working on job");
  EXPECT_DOUBLE_EQ(progress.notes[0].userInfo["progress"].asDouble(), 0.5);
  const auto& info = finished.notes[0].userInfo;
  EXPECT_EQ(info["taskID"].asString(), "job");
  EXPECT_EQ(info["pipelineID"].asString(), "download.ops");
  EXPECT_TRUE(info["error"].isNull());
  EXPECT_TRUE(info["success"].isBool());
  EXPECT_FALSE(info["success"].asBool());
  EXPECT_EQ(finished.notes[0].sender.get(), static_cast<void*>(task.get()));
}

TEST_F(PipelineTest, FinishedNotificationIsDeliveredBeforeTheReportingThreadGoesOn) {
  auto& p = KVPipelineManager::sharedManager();
  std::atomic<bool> reporterWentOnFirst{false};
  auto task = std::make_shared<GateTask>("ordered", KVPipelineMisc);
  auto observation = NotificationCenter::defaultCenter().addObserver(KVPipelineTaskFinishedNotification,
                                                                     [&](const Notification&) {
                                                                       if (task->finishedReporting) reporterWentOnFirst = true;
                                                                     });
  p.queueTask(task);
  task->release();
  ASSERT_TRUE(waitFor([&] { return task->finishedReporting.load(); }));
  EXPECT_FALSE(reporterWentOnFirst);
}

TEST_F(PipelineTest, EndReportedAfterLeavingTheQueueGivesNoFinishedNotification) {
  auto& p = KVPipelineManager::sharedManager();
  Recorder finished;
  finished.listen(KVPipelineTaskFinishedNotification);
  GateTask loose("loose", KVPipelineMisc);
  p.taskDoneWithError(&loose, makeError("com.korvale.quillbark", 34));
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(finished.count(), 0u);
}

TEST_F(PipelineTest, CacheUpdateFollowUpIsQueuedExactlyOnce) {
  auto& p = KVPipelineManager::sharedManager();
  auto cacheTask = std::make_shared<GateTask>("cache", KVPipelineCacheOperation);
  cacheTask->release();
  testRoot.cacheUpdate->setMaker([cacheTask] { return cacheTask; });
  const auto& made = testRoot.cacheUpdate->made;
  auto a = std::make_shared<GateTask>("a", KVPipelineSourceRefresh);
  auto b = std::make_shared<GateTask>("b", KVPipelineSourceRefresh);
  p.queueTask(a);
  p.queueTask(b);
  p.setLaunchCacheRebuild(true);
  a->release();
  ASSERT_TRUE(waitFor([&] { return a->finishedReporting.load(); }));
  EXPECT_EQ(made, 0);  // b is still listed
  b->release();
  ASSERT_TRUE(waitFor([&] { return cacheTask->finishedReporting.load(); }));
  ASSERT_TRUE(drained());
  EXPECT_EQ(made, 1);
  EXPECT_FALSE(p.launchCacheRebuild());
}

TEST_F(PipelineTest, PackageOperationNarrowsTheQueueAndAnyOtherWidensIt) {
  auto& p = KVPipelineManager::sharedManager();
  auto op = std::make_shared<GateTask>("pkg", KVPipelinePackageOperation);
  p.queueTask(op);
  EXPECT_EQ(p.pipelineOperationQueue().maxConcurrentOperationCount(), 1);
  auto other = std::make_shared<GateTask>("other", KVPipelineMisc);
  p.queueTask(other);
  EXPECT_EQ(p.pipelineOperationQueue().maxConcurrentOperationCount(), 15);
  op->release();
  other->release();
}

TEST_F(PipelineTest, RefusedBackgroundGrantLeavesNothingListed) {
  auto& p = KVPipelineManager::sharedManager();
  testRoot.refuseGrants(true);
  auto t = std::make_shared<GateTask>("nogrant", KVPipelineSourceRefresh);
  p.queueTask(t);
  EXPECT_TRUE(p.tasksArray().empty());
  EXPECT_EQ(p.sourceRefreshCount(), 0u);
  EXPECT_FALSE(p.hasTaskWithIdentifier("nogrant"));
}

TEST_F(PipelineTest, IconFetchTasksAreNotListed) {
  auto& p = KVPipelineManager::sharedManager();
  auto t = std::make_shared<GateTask>("Icon-x", KVPipelineMisc, "KVPackageIconFetch");
  p.queueTask(t);
  EXPECT_TRUE(p.tasksArray().empty());
  EXPECT_TRUE(p.hasTaskWithIdentifier("Icon-x"));
  t->release();
}

// Post-install actions collected from an APT run's queue.
class PostInstallTest : public PipelineTest {
 protected:
  void runAptTaskWith(std::map<std::string, std::pair<std::string, std::vector<std::string>>> packages,
                      std::vector<std::string> queue) {
    auto& p = KVPipelineManager::sharedManager();
    std::map<std::string, KVPackageInstallInfo> infos;
    for (auto& [id, info] : packages) infos[id] = {info.first, info.second};
    testRoot.packages->setInstallInfo(infos);
    auto t = std::make_shared<GateTask>("apt", KVPipelinePackageATPInstallOperation, "KVPackageAPTOperationTask");
    t->queued = queue;
    p.queueTask(t);
    t->release();
    ASSERT_TRUE(waitFor([&] { return t->finishedReporting.load(); }));
    ASSERT_TRUE(drained());
    RunLoop::main().runUntilIdle();
  }
};

TEST_F(PostInstallTest, RebootWinsOverRespring) {
  runAptTaskWith({{"a", {"reboot", {}}}, {"b", {"", {"/Library/MobileSubstrate/DynamicLibraries/b.dylib"}}}},
                 {"a", "b"});
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_EQ(alerts()[0], "Post Install Action|Do you want to reboot now or later?|Reboot now");
}

TEST_F(PostInstallTest, RespringAloneGivesTheRespringAlert) {
  runAptTaskWith({{"b", {"", {"/Applications/Quillbark.app/Info.plist"}}}}, {"b"});
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_EQ(alerts()[0], "Post Install Action|Do you want to respring now or later?|Respring now");
}

TEST_F(PostInstallTest, UicacheWithoutAlertPostsNoneAndQuotesThePath) {
  KVPipelineManager::sharedManager().setShowPIAAlert(false);
  Recorder action;
  action.listen("UpdateVerboseActionButton");
  // A bundle path with shell characters must reach uicache as one argument.
  Files::writeAtomically(root.path() + "/.bootstrapped", std::string());
  runAptTaskWith({{"app", {"uicache", {"/Applications", "/Applications/My $(touch x).app/Info.plist"}}},
                  {"unknown-in-queue-only", {"", {}}}},
                 {"app", "missing"});
  RunLoop::main().runUntil([&] { return action.count() == 1; }, 5);
  ASSERT_EQ(action.count(), 1u);
  EXPECT_EQ(action.notes[0].userInfo["action"].asString(), "None");
  ASSERT_EQ(commands().size(), 1u);
  EXPECT_EQ(commands()[0], viaLauncher("'" + root.path() + "/usr/bin/uicache' -p '/Applications/My $(touch x).app'"));
  EXPECT_TRUE(alerts().empty());
}

TEST_F(PostInstallTest, WithoutAJailbreakToolUicacheRebuildsEverything) {
  runAptTaskWith({{"app", {"", {"/Applications/Foo.app/Foo"}}}}, {"app"});
  ASSERT_EQ(commands().size(), 1u);
  EXPECT_EQ(commands()[0], viaLauncher("'" + root.path() + "/usr/bin/uicache'"));
}

TEST_F(PostInstallTest, KillActionsStopProcessesByName) {
  runAptTaskWith({{"k", {"kill backboardd", {}}}}, {"k"});
  ASSERT_EQ(commands().size(), 1u);
  EXPECT_EQ(commands()[0], viaLauncher("'" + root.path() + "/usr/bin/killall' 'backboardd'"));
}

TEST_F(PipelineTest, RespringAndRebootCommandsStayInsideTheDeviceRoot) {
  auto& p = KVPipelineManager::sharedManager();
  Files::removeItem(root.path() + "/usr/bin/sbreload");
  p.launchRespringCommand();
  Files::createDirectories(root.path() + "/usr/bin");
  Files::writeAtomically(root.path() + "/usr/bin/sbreload", std::string());
  p.launchRespringCommand();
  p.launchRebootCommand();
  ASSERT_EQ(commands().size(), 3u);
  EXPECT_EQ(commands()[0], viaLauncher("'" + root.path() + "/usr/bin/killall' SpringBoard"));
  EXPECT_EQ(commands()[1], viaLauncher("'" + root.path() + "/usr/bin/sbreload'"));
  EXPECT_EQ(commands()[2], viaLauncher(root.path() + "/sbin/reboot"));
}
}  // namespace

// The finished notice makes a worker wait for the main thread, so the main thread must
// never wait for a pipeline worker: debug builds stop the process at such a wait.
TEST_F(PipelineTest, TheMainThreadWaitingForAPipelineWorkerStopsInDebugBuilds) {
  if (!DebugChecks::kEnabled) GTEST_SKIP() << "a release build has no debug checks";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto& p = KVPipelineManager::sharedManager();
  auto task = std::make_shared<GateTask>("held", KVPipelineMisc);
  p.queueTask(task);
  // The process that dies runs the test again with a root of its own, and dies without
  // unwinding: it removes that root first, or the root would be left behind.
  auto removeRoot = [this] {
    std::error_code ignored;
    std::filesystem::remove_all(root.path(), ignored);
  };
  EXPECT_DEATH((removeRoot(), p.pipelineOperationQueue().waitUntilAllOperationsAreFinished(1)),
               "the main thread waits for a worker of KVPipelineQueue");
  EXPECT_DEATH((removeRoot(), task->waitUntilFinished()), "KVPipelineQueue");
  task->release();
  ASSERT_TRUE(drained());
}
