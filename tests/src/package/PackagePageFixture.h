#pragma once
// The package page over a real database: repositories served on 127.0.0.1 and refreshed,
// the page shown in a navigation controller by the test driver, and the record and its
// snapshot changed as a test needs.
#include <functional>
#include <memory>
#include <string>

#include "database/KVRPackage.h"
#include "package/PackageDetailsViewController.h"
#include "store/Store.h"
#include "support/SourceRefreshFixture.h"
#include "support/TestData.h"
#include "support/UIDriver.h"
#include "support/Written.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UINavigationController.h"

class PackagePageFixture : public SourceRefreshFixture {
 protected:
  std::shared_ptr<PackageDetailsViewController> open(const std::string& identifier, KVPackagePageOptions options = {}) {
    auto page = std::make_shared<PackageDetailsViewController>(screenContext(), identifier, options);
    ui.show(std::make_shared<UINavigationController>(page));
    ui.runUntilIdle();
    return page;
  }
  // Changes the stored record of a package.
  void edit(const std::string& identifier, const std::function<void(KVRPackage&)>& change) {
    auto record = package(identifier);
    ASSERT_TRUE(record) << identifier << " has a record";
    written(db()->write([&] {
      change(*record);
      db()->addOrUpdate(record->toObject());
    }));
  }
  // A repository of these stanzas, refreshed.
  std::string refreshed(const std::string& folder, const std::string& stanzas) {
    std::string location = serveIndex(folder, stanzas);
    EXPECT_TRUE(refresh(location));
    return location;
  }
  // Lays the page out again after a test changed its snapshot.
  static void relayout(PackageDetailsViewController& page) {
    page.getPackageInformation();
    page.setContent();
  }
  static double height(const PackageDetailsViewController& page, const UIView* view) {
    return page.heightConstraint(view)->isActive() ? page.heightConstraint(view)->constant() : -1;
  }
  static double spacing(const PackageDetailsViewController& page, const UIView* view) {
    return page.topConstraint(view)->constant();
  }
  bool waitFor(const std::function<bool()>& condition, double seconds = 20) {
    return RunLoop::main().runUntil(condition, seconds);
  }

  UIDriver ui;
};
