#pragma once
// Refreshes for real: a device root with its APT tree, the application's database, the
// composition root with the real sources manager, the first-run set-up done, a network,
// and repositories served on 127.0.0.1 from folders written by the test.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/KVPipelineManager.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVDatabaseMigrationUtility.h"
#include "database/KVRPackage.h"
#include "database/KVRSource.h"
#include "database/KVRSources.h"
#include "foundation/Bundle.h"
#include "foundation/Dispatch.h"
#include "foundation/Files.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "operations/KVAPTManager.h"
#include "store/Store.h"
#include "support/DebBuilder.h"
#include "support/DeviceRootFixture.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"
#include "support/TestRoot.h"
#include "support/TimeBound.h"
#include "support/Written.h"
#include "system/Reachability.h"

class SourceRefreshFixture : public DeviceRootFixture {
 protected:
  void SetUp() override {
    DeviceRootFixture::SetUp();
    QuillbarkPersistentPreferences::resetSharedInstance();
    preferences().setObject(Value(true), "setupDone");
    preferences().setObject(Value(Bundle::main().shortVersion()), "welcomeScreenVersion");
    Reachability::overrideFlags(kSCNetworkReachabilityFlagsReachable);
    store::Database::setDefaultConfiguration(KVDatabaseMigrationUtility::defaultConfiguration());
    root = makeRoot();
    server.serveFolder(repositories.path());
    verboseToken_ = NotificationCenter::defaultCenter().addObserver(
        "UpdateVerboseView", [this](const Notification& n) { verboseLines.push_back(n.userInfo["Message"].asString()); });
  }
  void TearDown() override {
    waitForPipeline();
    verboseToken_.invalidate();
    root.reset();
    store::Database::deleteFiles(KVDatabaseMigrationUtility::databasePath());
    store::Database::setDefaultConfiguration({});
    Reachability::clearOverride();
    QuillbarkPersistentPreferences::resetSharedInstance();
    DeviceRootFixture::TearDown();
  }

  // The composition root of the test: the real sources manager with the test's others.
  virtual std::unique_ptr<TestRoot> makeRoot() { return std::make_unique<TestRoot>(TestRoot::WithSourcesManager{}); }
  KVRSources& manager() { return *root->sourcesManager; }
  static PersistentDictionary& preferences() { return QuillbarkPersistentPreferences::sharedInstance(); }
  static std::shared_ptr<store::Database> db() { return store::Database::defaultDatabase(); }

  // The location of a repository folder under the server's root (made when missing).
  std::string locationOf(const std::string& folder) {
    Files::createDirectories(repositories.file(folder));
    return server.url("/" + folder + "/");
  }
  // A flat repository of these stanzas in every compression, with a Release.
  std::string serveIndex(const std::string& folder, const std::string& packages,
                         const FlatRepositoryOptions& options = {}) {
    std::string location = locationOf(folder);
    EXPECT_TRUE(DebBuilder::writeRepositoryIndex(repositories.file(folder), packages, options));
    return location;
  }

  void addSourceRecord(const std::string& location) {
    written(db()->write([&] { db()->add(KVRSource::newSourceWithLocation(location).toObject()); }));
  }

  // Waits (pumping the main loop) until the pipeline holds no task and the background
  // work the tasks left behind is done.
  bool waitForPipeline(double seconds = 60) {
    auto& pipeline = KVPipelineManager::sharedManager();
    bool done = RunLoop::main().runUntil(
        [&] { return pipeline.tasksArray().empty() && pipeline.pipelineOperationQueue().operationCount() == 0; },
        testsupport::timeBound(seconds));
    DispatchQueue::drainGlobalQueues();
    RunLoop::main().runUntilIdle();
    return done;
  }
  // Adds the source's record when missing, refreshes it and waits for the end.
  bool refresh(const std::string& location) {
    if (!db()->objectForPrimaryKey(KVRSource::className(), location)) addSourceRecord(location);
    manager().refreshSource(location);
    return waitForPipeline();
  }

  // As if the last refresh were a minute ago: the list files' dates, which the next
  // refresh sends as If-Modified-Since, are set back, so an index rewritten by the test
  // within the same second counts as newer.
  void ageListFiles(const std::string& location) {
    for (const auto& path : {KVAPTManager::releasePathForSource(location), KVAPTManager::packagesPathForSource(location)}) {
      struct timeval times[2];
      ::gettimeofday(&times[0], nullptr);
      times[0].tv_sec -= 60;
      times[1] = times[0];
      ::utimes(path.c_str(), times);
    }
  }

  // The source's decoded index in APT's lists, its path, and the private sources list.
  static std::string listFilePath(const std::string& location) { return KVAPTManager::packagesPathForSource(location); }
  static std::string listFile(const std::string& location) { return Files::readText(listFilePath(location)).value_or(""); }
  static std::string sourcesList() { return Files::readText(KVAPTManager::sourcesListPath()).value_or(""); }

  std::optional<KVRSource> source(const std::string& location) { return KVRSource::objectForPrimaryKey(location); }
  std::optional<KVRPackage> package(const std::string& identifier) {
    return KVRPackage::objectForPrimaryKey(identifier);
  }
  std::vector<KVRPackage> packagesOf(const std::string& location) {
    return KVRPackage::objectsWhere("sourceLocation = %@", location).all();
  }
  // The names asked for under the folder, in order; the payment endpoint question goes
  // out beside the Release request, so of those two the Release is listed first.
  std::vector<std::string> requestedNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& r : server.requests())
      if (r.path.rfind("/" + folder + "/", 0) == 0) names.push_back(r.path.substr(folder.size() + 2));
    // The endpoint question goes out beside the Release and index requests, so it may
    // reach the server before or after either: its place is not the refresh's order.
    auto endpoint = std::find(names.begin(), names.end(), "payment_endpoint");
    if (endpoint != names.end()) {
      names.erase(endpoint);
      names.insert(names.begin() + std::min<size_t>(1, names.size()), "payment_endpoint");
    }
    return names;
  }

  TempDir repositories;
  TestHttpServer server;
  std::vector<std::string> verboseLines;  // the refresh's status lines, in order (main thread)
  std::unique_ptr<TestRoot> root;

 private:
  NotificationToken verboseToken_;
};

// One stanza of a Packages index.
inline std::string stanza(const std::string& identifier, const std::string& version,
                          const std::vector<std::pair<std::string, std::string>>& fields = {}) {
  std::string text = "Package: " + identifier + "\nVersion: " + version + "\nArchitecture: iphoneos-arm\n";
  bool filename = false;
  for (const auto& [key, value] : fields) {
    text += key + ": " + value + "\n";
    filename = filename || key == "Filename";
  }
  if (!filename) text += "Filename: debs/" + identifier + "_" + version + ".deb\n";
  return text + "\n";
}
