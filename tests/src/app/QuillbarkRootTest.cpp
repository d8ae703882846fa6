#include <gtest/gtest.h>

#include "app/ApplicationEnvironment.h"
#include "app/QuillbarkRoot.h"
#include "core/KVPipelineManager.h"
#include "support/TestRoot.h"

namespace {

std::string describe(const ErrorRef& error) { return error ? error->localizedDescription() : "no error"; }

TEST(QuillbarkRoot, TheApplicationsEnvironmentAndManagersAreComplete) {
  EXPECT_TRUE(applicationEnvironment().missingPieces().empty());
  auto managers = QuillbarkRoot::standardManagers();
  EXPECT_NE(managers.sources, nullptr);
  EXPECT_NE(managers.packages, nullptr);
  EXPECT_NE(managers.cacheUpdate, nullptr);
  EXPECT_NE(managers.sourceLists, nullptr);
  EXPECT_NE(managers.payment, nullptr);
  EXPECT_NE(managers.directory, nullptr);
  EXPECT_NE(managers.downloads, nullptr);
  EXPECT_NE(managers.downloadStats, nullptr);
  EXPECT_NE(managers.followedDevelopers, nullptr);
  EXPECT_EQ(QuillbarkRoot::start(applicationEnvironment()), nullptr);
}

// A forgotten piece stops the start and is named; what was connected before stays.
TEST(QuillbarkRoot, AMissingEnvironmentPieceFailsTheStartAndNamesIt) {
  TestRoot before;
  KVEnvironment environment = before.environment();
  environment.presentAlertCard = nullptr;
  environment.runCommand = nullptr;
  ErrorRef error = QuillbarkRoot::start(environment);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->domain, KVConnectionsErrorDomain);
  EXPECT_EQ(describe(error), "The start-up connections lack: environment.runCommand, environment.presentAlertCard");

  KVPipelineManager::sharedManager().runCommand("echo still connected");
  EXPECT_EQ(before.commands(), std::vector<std::string>{"echo still connected"});
}

TEST(QuillbarkRoot, AMissingManagerFailsTheStartToo) {
  TestRoot before;
  QuillbarkRoot::Managers managers = QuillbarkRoot::standardManagers();
  managers.packages = nullptr;
  managers.cacheUpdate = nullptr;
  EXPECT_EQ(describe(QuillbarkRoot::start(before.environment(), managers)),
            "The start-up connections lack: packages, cacheUpdate");
  EXPECT_EQ(describe(QuillbarkRoot::start(KVEnvironment{}, managers)),
            "The start-up connections lack: environment.runCommand, environment.beginBackgroundTask, "
            "environment.endBackgroundTask, environment.setIdleTimerDisabled, environment.presentAlertCard, "
            "environment.showUpdateCount, environment.authenticateDeviceOwner, packages, cacheUpdate");
}

// Nothing falls back to a default that quietly does nothing: a subsystem used before the
// root connected it stops the process and says why.
TEST(QuillbarkRootDeathTest, UsingThePipelineBeforeTheRootStartedStopsLoudly) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        KVConnections::uninstall();
        KVPipelineManager::sharedManager().runCommand("true");
      },
      "KVPipelineManager ran before the composition root connected the subsystems");
}

// The managers start without a refresh batch; every batch gets a cache-update task of
// its own.
TEST(QuillbarkRoot, ManagersStartWithoutABatchAndEachBatchGetsItsOwnCacheUpdateTask) {
  auto managers = QuillbarkRoot::standardManagers();
  EXPECT_EQ(managers.sources->currentRefreshDate(), std::nullopt);
  auto first = managers.cacheUpdate->makeCacheUpdateTask();
  ASSERT_NE(first, nullptr);
  EXPECT_NE(managers.cacheUpdate->makeCacheUpdateTask(), first);
}

}  // namespace
