#pragma once
// The vendor service's clients against the played service: a device root (whose secret
// store holds the account), the application's database in it, and the service on
// 127.0.0.1. Every test ends by checking that no request broke its endpoint's protocol.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "account/KVAccount.h"
#include "account/KVKeychainBindingsController.h"
#include "account/KVVendorService.h"
#include "database/KVDatabaseMigrationUtility.h"
#include "database/KVRDeveloper.h"
#include "database/KVRPackage.h"
#include "foundation/Dispatch.h"
#include "store/Store.h"
#include "support/DeviceRootFixture.h"
#include "support/Latch.h"
#include "support/TestVendorService.h"
#include "support/Written.h"

// What a client's status completions answered, in order; a test waits for them.
class Answers {
 public:
  std::function<void(std::optional<std::string>)> completion() {
    return [this](std::optional<std::string> status) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        answers_.push_back(std::move(status));
      }
      latch_.arrive();
    };
  }
  std::function<void(const std::string&)> textCompletion() {
    auto inner = completion();
    return [inner](const std::string& status) { inner(status); };
  }
  // Waits for the first answer and gives it ("<none>" for an answer of nothing).
  std::string wait(double seconds = 20) {
    if (!latch_.wait(seconds)) return "<no answer>";
    std::lock_guard<std::mutex> lock(mutex_);
    return answers_.front().value_or("<none>");
  }
  size_t count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return answers_.size();
  }

 private:
  std::mutex mutex_;
  std::vector<std::optional<std::string>> answers_;
  Latch latch_;
};

class VendorTest : public DeviceRootFixture {
 protected:
  void SetUp() override {
    DeviceRootFixture::SetUp();
    KVKeychainBindingsController::sharedKeychainBindingsController().resetValuesForTesting();
    store::Database::setDefaultConfiguration(KVDatabaseMigrationUtility::defaultConfiguration());
    service = std::make_unique<TestVendorService>();
  }
  void TearDown() override {
    EXPECT_EQ(service->violations(), std::vector<std::string>{});
    service.reset();
    DispatchQueue::drainGlobalQueues();
    store::Database::deleteFiles(KVDatabaseMigrationUtility::databasePath());
    store::Database::setDefaultConfiguration({});
    DeviceRootFixture::TearDown();
  }

  static std::shared_ptr<store::Database> db() { return store::Database::defaultDatabase(); }
  // A package record, its wishlist mark as given (none: never set).
  static void addPackage(const std::string& identifier, std::optional<bool> inWishlist = std::nullopt) {
    KVRPackage package;
    package.setIdentifier(identifier);
    package.setIsInWishlist(inWishlist);
    written(db()->write([&] { db()->add(package.toObject()); }));
  }
  static std::optional<bool> wishlistMark(const std::string& identifier) {
    auto package = KVRPackage::objectForPrimaryKey(identifier);
    return package ? package->isInWishlist() : std::nullopt;
  }
  static void addDeveloper(const std::string& name, bool followed) {
    KVRDeveloper developer;
    developer.setName(name);
    developer.setIsFollowed(followed);
    written(db()->write([&] { db()->add(developer.toObject()); }));
  }
  static std::vector<std::string> developerNames() {
    std::vector<std::string> names;
    for (const auto& d : KVRDeveloper::allObjects().all()) names.push_back(d.name() + (d.isFollowed() ? "+" : "-"));
    return names;
  }
  // Stores an account as a sign-in would, without asking the service.
  static void storeSignedIn(int64_t userID, const std::string& username = "ann") {
    KVAccount::instance().setUsername(username);
    KVAccount::instance().setUserID(std::to_string(userID));
  }

  std::unique_ptr<TestVendorService> service;
};
