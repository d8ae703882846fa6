#pragma once
// A device root with the application's database and the composition root started with
// the real sources and packages managers, for tests that queue packages and read their
// records back.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "database/KVDatabaseMigrationUtility.h"
#include "database/KVRPackage.h"
#include "database/KVRPackages.h"
#include "database/KVRSource.h"
#include "foundation/Dispatch.h"
#include "foundation/RunLoop.h"
#include "store/Store.h"
#include "support/DeviceRootFixture.h"
#include "support/TestRoot.h"
#include "support/Written.h"

class PackageRecordsFixture : public DeviceRootFixture {
 protected:
  void SetUp() override {
    DeviceRootFixture::SetUp();
    store::Database::setDefaultConfiguration(KVDatabaseMigrationUtility::defaultConfiguration());
    root = std::make_unique<TestRoot>(TestRoot::WithManagers{});
  }
  void TearDown() override {
    settle();
    root.reset();
    store::Database::deleteFiles(KVDatabaseMigrationUtility::databasePath());
    store::Database::setDefaultConfiguration({});
    DeviceRootFixture::TearDown();
  }

  KVRPackages& packages() { return *root->packagesManager; }
  static std::shared_ptr<store::Database> db() { return store::Database::defaultDatabase(); }

  // A record not yet stored: the identifier as its name, the version offered.
  static KVRPackage package(const std::string& identifier, const std::string& version = "1.0") {
    KVRPackage p;
    p.setIdentifier(identifier);
    p.setName(identifier);
    p.setVersion(version);
    return p;
  }
  static KVRPackage installed(const std::string& identifier, const std::string& version) {
    KVRPackage p = package(identifier, version);
    p.setIsInstalled(true);
    p.setInstalledVersion(version);
    return p;
  }
  void add(const KVRPackage& p) {
    written(db()->write([&] { db()->addOrUpdate(p.toObject()); }));
  }
  void addSource(const std::string& location, const std::string& endpoint = {}) {
    KVRSource source = KVRSource::newSourceWithLocation(location);
    if (!endpoint.empty()) {
      source.setEndpoint(endpoint);
      source.setHasEndpoint(true);
    }
    written(db()->write([&] { db()->addOrUpdate(source.toObject()); }));
  }
  static std::optional<KVRPackage> record(const std::string& identifier) {
    return KVRPackage::objectForPrimaryKey(identifier);
  }
  // The work handed to the background queues is done and the main loop is idle.
  static void settle() {
    DispatchQueue::drainGlobalQueues();
    RunLoop::main().runUntilIdle();
  }

  std::unique_ptr<TestRoot> root;
};
