// Queueing a package through the application delegate: the operation the packages
// manager chooses, the announcement on a later turn, paid packages that cannot be had
// without a payment service, and the options and version menus.
#include <gtest/gtest.h>

#include "app/KVQuillbark.h"
#include "foundation/NotificationCenter.h"
#include "payment/KVRepoStoreAPI.h"
#include "support/PackageRecordsFixture.h"
#include "support/TestHttpServer.h"
#include "support/UIDriver.h"
#include "support/Written.h"
#include "uikit/UIAlertController.h"

namespace {

class QueueingTest : public PackageRecordsFixture {
 protected:
  void SetUp() override {
    PackageRecordsFixture::SetUp();
    ui.show(std::make_shared<UIViewController>());
  }
  void TearDown() override {
    announcements_.clear();
    PackageRecordsFixture::TearDown();
  }
  KVQuillbark& delegate() { return KVQuillbark::sharedQuillbark(); }

  // Counts the queue-state announcements of a package.
  std::shared_ptr<int> listen(const std::string& identifier) {
    auto count = std::make_shared<int>(0);
    announcements_.push_back(NotificationCenter::defaultCenter().addObserver(
        KVQueueStateNotificationName(identifier), [count](const Notification&) { ++*count; }));
    return count;
  }
  UIAlertController* alert() {
    return dynamic_cast<UIAlertController*>(ui.window().rootViewController()->presentedViewController());
  }
  std::vector<std::string> alertButtons() {
    std::vector<std::string> titles;
    if (auto* a = alert())
      for (const auto& action : a->actions()) titles.push_back(action->title());
    return titles;
  }
  bool queued(const std::string& identifier) { return record(identifier)->isInTheQueue().value_or(false); }

  UIDriver ui;  // made before the device root, so the root is the fixture's
  TestHttpServer service;
  std::vector<NotificationToken> announcements_;
};

TEST_F(QueueingTest, AFreePackageIsQueuedAndAnnouncedOnALaterTurn) {
  addSource("https://repo.example/", service.url("/api/"));
  KVRPackage free = package("com.example.free");
  free.setSourceLocation(std::string("https://repo.example/"));
  free.setPrice(std::string("Free"));
  add(free);
  auto announced = listen("com.example.free");

  delegate().queuePackageWithIdentifier("com.example.free", std::nullopt);
  EXPECT_TRUE(queued("com.example.free"));
  EXPECT_EQ(record("com.example.free")->queueOperation(), KVQueueOperationInstall);
  EXPECT_EQ(*announced, 0) << "never inside the call";
  ui.runUntilIdle();
  EXPECT_EQ(*announced, 1);
  EXPECT_EQ(KVQuillbark::packagesToPostDownloadStatsFor()->entries().at("com.example.free"), false);
  EXPECT_EQ(service.requestCount(), 0u) << "a free package never asks the payment service";
}

TEST_F(QueueingTest, RemovingAPaidPackageOrOneBoughtInTheOutsideStoreNeedsNoPaymentService) {
  addSource("https://repo.example/", service.url("/api/"));
  KVRPackage paid = installed("com.example.paid", "1.0");
  paid.setSourceLocation(std::string("https://repo.example/"));
  paid.setPrice(std::string("Paid"));
  KVRPackage store = package("com.example.store");
  store.setSourceLocation(std::string("https://repo.example/"));
  store.setPrice(std::string("Paid"));
  store.setIsPaidThroughCydia(true);
  add(paid);
  add(store);

  delegate().queuePackageWithIdentifier("com.example.paid", std::nullopt);
  delegate().queuePackageWithIdentifier("com.example.store", std::nullopt);
  ui.runUntilIdle();
  EXPECT_EQ(record("com.example.paid")->queueOperation(), KVQueueOperationRemove);
  EXPECT_EQ(record("com.example.store")->queueOperation(), KVQueueOperationInstall);
  EXPECT_EQ(service.requestCount(), 0u);
  EXPECT_EQ(alert(), nullptr);
}

TEST_F(QueueingTest, APaidPackageWithoutAPaymentServiceIsRefusedUnlessItsRepositoryIsExempt) {
  addSource("https://plain.example/");
  written(db()->write([&] {
    auto s = KVRSource::newSourceWithLocation("https://plain.example/");
    s.setName(std::string("Plain Repo"));
    db()->addOrUpdate(s.toObject());
  }));
  addSource(std::string(KVRepoStoreAPI::kBlacklistedSourceLocation));
  KVRPackage refused = package("com.example.refused");
  refused.setSourceLocation(std::string("https://plain.example/"));
  refused.setPrice(std::string("Paid"));
  KVRPackage exempt = package("com.example.exempt");
  exempt.setSourceLocation(std::string(KVRepoStoreAPI::kBlacklistedSourceLocation));
  exempt.setPrice(std::string("Paid"));
  add(refused);
  add(exempt);

  delegate().queuePackageWithIdentifier("com.example.refused", std::nullopt);
  ui.runUntilIdle();
  EXPECT_FALSE(queued("com.example.refused"));
  ASSERT_NE(alert(), nullptr);
  EXPECT_EQ(alert()->alertTitle(), "Can't get package");
  EXPECT_NE(alert()->message()->find("not signed into Plain Repo"), std::string::npos) << *alert()->message();
  EXPECT_EQ(alertButtons(), std::vector<std::string>{"OK"});
  EXPECT_TRUE(alert()->chooseActionByUser("OK"));
  ui.runUntilIdle();

  delegate().queuePackageWithIdentifier("com.example.exempt", std::nullopt);
  EXPECT_TRUE(queued("com.example.exempt"));
}

TEST_F(QueueingTest, TheVersionMenuListsTheLowestVersionFirstAndQueuesTheChoice) {
  KVRPackage tool = installed("com.example.tool", "1.1");
  tool.setName(std::string("Tool"));
  tool.setAvailableVersions({*KVRPackageVersion::packageVersionWithSourceLocation("https://a.example/", "a.deb", "1.0"),
                             *KVRPackageVersion::packageVersionWithSourceLocation("https://a.example/", "c.deb", "1.2"),
                             *KVRPackageVersion::packageVersionWithSourceLocation("https://b.example/", "b.deb", "1.1")});
  add(tool);
  delegate().showVersionSelectionMenuForIdentifier("com.example.tool", std::monostate{});
  ui.runUntilIdle();
  ASSERT_NE(alert(), nullptr);
  EXPECT_EQ(alert()->preferredStyle(), UIAlertControllerStyleActionSheet);
  EXPECT_EQ(alert()->message(), "Select the version of Tool you would like to install.");
  EXPECT_EQ(alertButtons(), (std::vector<std::string>{"1.0", "1.1 (Installed)", "1.2", "Cancel"}));
  EXPECT_TRUE(alert()->chooseActionByUser("1.0"));
  ui.runUntilIdle();
  EXPECT_TRUE(queued("com.example.tool"));
  EXPECT_EQ(record("com.example.tool")->queuedVersion(), "1.0");
  EXPECT_EQ(record("com.example.tool")->queueOperation(), KVQueueOperationDowngrade);
}

TEST_F(QueueingTest, TheOptionsMenuOffersWhatThePackagesStateAllows) {
  add(package("com.example.bare"));
  delegate().presentOptions("com.example.bare", std::monostate{});
  ui.runUntilIdle();
  EXPECT_EQ(alertButtons(), (std::vector<std::string>{"Share com.example.bare", "Cancel"}));
  EXPECT_TRUE(alert()->chooseActionByUser("Cancel"));
  ui.runUntilIdle();

  KVRPackage tweak = installed("com.example.tweak", "2.0");
  tweak.setName(std::string("Tweak"));
  tweak.setAvailableVersions({*KVRPackageVersion::packageVersionWithSourceLocation("https://a.example/", "a.deb", "1.0")});
  add(tweak);
  auto announced = listen("com.example.tweak");
  delegate().presentOptions("com.example.tweak", std::monostate{});
  ui.runUntilIdle();
  EXPECT_EQ(alertButtons(),
            (std::vector<std::string>{"Reinstall", "Uninstall", "Ignore Updates", "Select Version", "Share Tweak", "Cancel"}));
  EXPECT_TRUE(alert()->chooseActionByUser("Reinstall"));
  ui.runUntilIdle();
  EXPECT_EQ(record("com.example.tweak")->queueOperation(), KVQueueOperationReinstall);
  EXPECT_EQ(record("com.example.tweak")->queuedVersion(), "2.0");
  EXPECT_EQ(*announced, 0) << "the options open the queue instead of announcing";
  EXPECT_EQ(KVQuillbark::packagesToPostDownloadStatsFor()->entries().count("com.example.tweak"), 0u);

  written(db()->write([&] {
    auto held = *record("com.example.tweak");
    held.setIsHeld(true);
    db()->addOrUpdate(held.toObject());
  }));
  delegate().presentOptions("com.example.tweak", std::monostate{});
  ui.runUntilIdle();
  EXPECT_EQ(alertButtons()[2], "Show Updates");
  EXPECT_TRUE(alert()->chooseActionByUser("Uninstall"));
  ui.runUntilIdle();
  EXPECT_EQ(record("com.example.tweak")->queueOperation(), KVQueueOperationRemove);
  EXPECT_EQ(record("com.example.tweak")->queuedVersion(), std::nullopt);
}

}  // namespace
