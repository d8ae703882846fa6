#pragma once
// Real refreshes for the browse screens: repositories of the shared test data (or written
// by the test) served on 127.0.0.1 and refreshed into the database by the real sources
// and packages managers, whose category cache the screens read; a driver for the screens.
#include <memory>
#include <string>
#include <vector>

#include "database/KVRPackageListCaches.h"
#include "foundation/Files.h"
#include "foundation/NotificationCenter.h"
#include "support/SourceRefreshFixture.h"
#include "support/UIDriver.h"

class BrowseFixture : public SourceRefreshFixture {
 protected:
  std::unique_ptr<TestRoot> makeRoot() override { return std::make_unique<TestRoot>(TestRoot::WithManagers{}); }
  KVRPackages& packagesManager() { return *root->packagesManager; }

  // A copy of a repository folder of the shared data (its Release, Packages and what else
  // is named), served under `folder`; its location.
  std::string serveCopy(const std::string& folder, const std::string& from, const std::vector<std::string>& more = {}) {
    std::string location = locationOf(folder);
    std::vector<std::string> files{"Release", "Packages"};
    files.insert(files.end(), more.begin(), more.end());
    for (const auto& file : files) {
      Files::createDirectories(Files::deletingLastPathComponent(repositories.file(folder + "/" + file)));
      EXPECT_TRUE(Files::copyItem(from + "/" + file, repositories.file(folder + "/" + file))) << from << "/" << file;
    }
    return location;
  }

  // The category rows rebuilt, as after a refresh, once "DoneRebuildingPackagesCache" is in.
  void rebuildCategories() {
    bool done = false;
    auto token = NotificationCenter::defaultCenter().addObserver(KVDoneRebuildingPackagesCacheNotification,
                                                                 [&](const Notification&) { done = true; });
    packagesManager().caches()->rebuildPackagesCategoriesCache();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return done; }, 30));
  }

  UIDriver ui;
};
