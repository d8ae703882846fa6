// The download of a queued package's archive: the request, the placing of the archive
// under APT's name, the failures that end it, and the batch whose last download queues
// the APT run.
#include <gtest/gtest.h>

#include "core/KVConnections.h"
#include "core/KVPipelineManager.h"
#include "core/KVQueueStateNotification.h"
#include "foundation/Files.h"
#include "foundation/NotificationCenter.h"
#include "operations/KVAPTManager.h"
#include "operations/KVPackageDownloadTask.h"
#include "support/DebBuilder.h"
#include "support/Latch.h"
#include "support/PackageRecordsFixture.h"
#include "support/TestHttpServer.h"

namespace {

// A task that stays in the pipeline until released, like a long refresh.
class HoldingTask : public KVTask {
 public:
  std::string className() const override { return "HoldingTask"; }
  std::string taskID() const override { return "Holding"; }
  std::string pipelineID() const override { return KVPipelineSourceRefresh; }
  std::string taskDescription() const override { return "holding"; }
  double taskProgress() const override { return 0; }
  void taskStart() override {}
  void release() {
    KVPipelineManager::sharedManager().taskDoneWithSuccess(this);
    finishOperation();
  }
};

class DownloadTaskTest : public PackageRecordsFixture {
 protected:
  void SetUp() override {
    PackageRecordsFixture::SetUp();
    EXPECT_EQ(KVAPTManager::createAPTSandboxIfNeeded(), nullptr);
    server.serveFolder(debs.path(), "/debs/");
    observation_ = NotificationCenter::defaultCenter().addObserver(
        KVPipelineTaskFinishedNotification, NotificationCenter::kPostingThread, [this](const Notification& n) {
          std::lock_guard<std::mutex> lock(mutex_);
          ends_.push_back(n);
        });
    queued_ = NotificationCenter::defaultCenter().addObserver(
        KVPipelineTaskQueuedNotification, NotificationCenter::kPostingThread, [this](const Notification& n) {
          std::lock_guard<std::mutex> lock(mutex_);
          queuedIDs_.push_back(n.userInfo["taskID"].asString());
        });
  }
  void TearDown() override {
    waitForPipeline();
    observation_.invalidate();
    queued_.invalidate();
    PackageRecordsFixture::TearDown();
  }

  // A package offered at /debs/<file>, its archive built there with the record's size.
  void offer(const std::string& identifier, const std::string& version, const std::string& file) {
    std::string deb = DebBuilder(debs.path()).build(DebPackage(identifier, version), file);
    KVRPackage p = package(identifier, version);
    p.setSourceLocation(server.url("/"));
    p.setLocation(server.url("/debs/" + file));
    p.setSize(std::to_string(Files::fileSize(deb).value_or(0)));
    p.setAvailableVersions({*KVRPackageVersion::packageVersionWithSourceLocation(server.url("/"), "debs/" + file, version)});
    add(p);
  }
  // A download on its own, in a batch of no queue, with the running root's services.
  static std::shared_ptr<KVPackageDownloadTask> alone(const std::string& identifier) {
    auto connections = KVConnections::current("DownloadTaskTest");
    auto batch = std::make_shared<KVPackageDownloadBatch>(
        KVPackageDownloadServices{connections->payment, connections->downloadStats}, KVConfirmedQueue{});
    return std::make_shared<KVPackageDownloadTask>(identifier, batch);
  }
  std::shared_ptr<KVPackageDownloadTask> start(const std::string& identifier) {
    auto task = alone(identifier);
    EXPECT_TRUE(KVPipelineManager::sharedManager().queueTask(task));
    return task;
  }
  bool waitForPipeline() {
    auto& pipeline = KVPipelineManager::sharedManager();
    bool done = RunLoop::main().runUntil(
        [&] { return pipeline.tasksArray().empty() && pipeline.pipelineOperationQueue().operationCount() == 0; }, 60);
    settle();
    return done;
  }
  std::vector<Notification> ends() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ends_;
  }
  std::vector<std::string> queuedIDs() {
    std::lock_guard<std::mutex> lock(mutex_);
    return queuedIDs_;
  }
  std::vector<std::string> archives() { return Files::contentsOfDirectory(KVAPTManager::archivesPath()); }

  TempDir debs;
  TestHttpServer server;

 private:
  std::mutex mutex_;
  std::vector<Notification> ends_;
  std::vector<std::string> queuedIDs_;
  NotificationToken observation_, queued_;
};

TEST_F(DownloadTaskTest, AFreeArchiveIsFetchedWithTheRepositoryHeadersAndPlacedUnderAPTsName) {
  offer("com.example.tool", "1:2.0-1", "tool.deb");
  auto task = start("com.example.tool");
  EXPECT_EQ(task->taskID(), "Download-com.example.tool");
  EXPECT_EQ(task->versionToUse(), "1:2.0-1");
  ASSERT_TRUE(waitForPipeline());
  ASSERT_EQ(ends().size(), 1u);
  EXPECT_TRUE(ends()[0].userInfo["success"].asBool());
  EXPECT_EQ(archives(), (std::vector<std::string>{"com.example.tool_1%3a2.0-1_iphoneos-arm.deb", "partial"}));
  auto requests = server.requestsTo("/debs/tool.deb");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].header("User-Agent"), "Telesphoreo APT-HTTP/1.0.592");
  EXPECT_FALSE(requests[0].header("X-Machine").empty());
  EXPECT_DOUBLE_EQ(task->taskProgress(), 0.0) << "set back once the archive is in";
  EXPECT_EQ(task->taskDescription(), "Done downloading com.example.tool.");
}

TEST_F(DownloadTaskTest, WhatIsNoArchiveFailsTheTask) {
  offer("com.example.missing", "1.0", "missing.deb");
  Files::removeItem(debs.file("missing.deb"));  // the server answers 404 with a page
  offer("com.example.garbage", "1.0", "garbage.deb");
  Files::writeAtomically(debs.file("garbage.deb"), std::string("<html>not an archive</html>"));
  KVRPackage unoffered = package("com.example.unoffered");
  unoffered.setQueuedVersion(std::string("9.9"));  // a version no source offers
  add(unoffered);
  std::vector<NotificationToken> tokens;
  int told = 0;
  for (const char* id : {"com.example.missing", "com.example.garbage", "com.example.unoffered"})
    tokens.push_back(NotificationCenter::defaultCenter().addObserver(
        KVQueueStateNotificationName(id), NotificationCenter::kPostingThread, [&](const Notification& n) {
          if (n.userInfo["Message"].asString() == "Finished with error") ++told;
        }));

  for (const char* id : {"com.example.missing", "com.example.garbage", "com.example.unoffered"}) start(id);
  ASSERT_TRUE(waitForPipeline());
  ASSERT_EQ(ends().size(), 3u);
  for (const auto& end : ends()) {
    EXPECT_FALSE(end.userInfo["success"].asBool()) << end.userInfo["taskID"].asString();
    EXPECT_NE(end.error, nullptr);
  }
  EXPECT_EQ(told, 3);
  EXPECT_EQ(archives(), std::vector<std::string>{"partial"}) << "an error page is never placed as an archive";
}

// The APT run follows the batch's last download, while another task is still listed,
// and only once however many downloads the batch holds.
TEST_F(DownloadTaskTest, TheLastDownloadOfTheBatchQueuesTheAPTRunOnce) {
  for (const char* id : {"com.example.a", "com.example.b", "com.example.c"}) offer(id, "1.0", std::string(id) + ".deb");
  auto holding = std::make_shared<HoldingTask>();
  ASSERT_TRUE(KVPipelineManager::sharedManager().queueTask(holding));
  EXPECT_EQ(packages().downloadPackagesWithIdentifiers({"com.example.a", "com.example.b", "com.example.c"},
                                                     {"com.example.a com.example.b com.example.c", {}}),
            3u);
  ASSERT_TRUE(RunLoop::main().runUntil(
      [&] {
        auto ids = queuedIDs();
        return std::count(ids.begin(), ids.end(), "Install-com.example.a com.example.b com.example.c") == 1;
      },
      60));
  holding->release();
  ASSERT_TRUE(waitForPipeline());
  auto ids = queuedIDs();
  EXPECT_EQ(std::count_if(ids.begin(), ids.end(), [](const std::string& id) { return id.rfind("Install-", 0) == 0; }),
            1);
}

TEST_F(DownloadTaskTest, ABatchWithAFailedDownloadInstallsNothing) {
  offer("com.example.a", "1.0", "a.deb");
  offer("com.example.b", "1.0", "b.deb");
  Files::removeItem(debs.file("b.deb"));
  packages().downloadPackagesWithIdentifiers({"com.example.a", "com.example.b"}, {"com.example.a com.example.b", {}});
  ASSERT_TRUE(waitForPipeline());
  for (const auto& id : queuedIDs()) EXPECT_EQ(id.rfind("Install-", 0), std::string::npos) << id;
  EXPECT_EQ(ends().size(), 2u);
}

TEST_F(DownloadTaskTest, ADownloadCancelledBeforeItStartsEndsWithoutFetching) {
  offer("com.example.a", "1.0", "a.deb");
  auto task = alone("com.example.a");
  task->taskCancel();
  EXPECT_TRUE(task->isFinished());
  EXPECT_FALSE(task->taskCanCancel());
  EXPECT_EQ(server.requestCount(), 0u);
}

}  // namespace
