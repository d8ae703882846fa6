#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "account/KVKeychainBindings.h"
#include "account/KVKeychainBindingsController.h"
#include "security/Keychain.h"
#include "support/ScopedDeviceRoot.h"

namespace {
class KVKeychainBindingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Keychain::setLocked(false);
    KVKeychainBindingsController::sharedKeychainBindingsController().resetValuesForTesting();
  }
  void TearDown() override { Keychain::setLocked(false); }
  KVKeychainBindings& bindings() { return KVKeychainBindings::sharedKeychainBindings(); }
  ScopedDeviceRoot root_;
};
}  // namespace

TEST_F(KVKeychainBindingsTest, RepositoryKeysAndNonAsciiValuesRoundTrip) {
  const std::string key = "https://repo.example.com:8443/sub.dir/_token";
  bindings().setObject("tök€n ✓", key);
  EXPECT_EQ(bindings().objectForKey(key).value_or(""), "tök€n ✓");
  EXPECT_EQ(bindings().stringForKey(key).value_or(""), "tök€n ✓");
  Data raw;
  std::string access;
  ASSERT_EQ(Keychain::copyMatching("me.korvale.quillbark", key, &raw, &access), errSecSuccess);
  EXPECT_EQ(stringFromData(raw), "tök€n ✓");
  EXPECT_EQ(access, kSecAttrAccessibleWhenUnlocked);
  EXPECT_FALSE(bindings().objectForKey("never-written"));
}

TEST_F(KVKeychainBindingsTest, StoringTheSameValueTwiceWritesOnce) {
  bindings().setObject("same", "username");
  uint64_t writes = Keychain::writeCount();
  bindings().setObject("same", "username");
  EXPECT_EQ(Keychain::writeCount(), writes);
  bindings().setObject("same", "username", kSecAttrAccessibleAlways);
  EXPECT_EQ(Keychain::writeCount(), writes) << "a change of accessibility alone writes nothing";
  bindings().setObject("other", "username");
  EXPECT_EQ(Keychain::writeCount(), writes + 1);
}

TEST_F(KVKeychainBindingsTest, RemovingAMissingKeyLogsTheFailureAndLeavesNothing) {
  testing::internal::CaptureStderr();
  bindings().removeObjectForKey("userID");
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("Could not store(Delete) string. Error was:-25300"), std::string::npos) << log;
  EXPECT_FALSE(bindings().objectForKey("userID"));
  EXPECT_TRUE(KVKeychainBindingsController::sharedKeychainBindingsController().values().empty());
}

TEST_F(KVKeychainBindingsTest, SigningOutRemovesAllSevenAccountValues) {
  const char* keys[] = {"username", "password", "userID", "groupID", "secGroupID", "email", "avatarURL"};
  for (auto* k : keys) bindings().setObject(std::string("v-") + k, k);
  for (auto* k : keys) bindings().removeObjectForKey(k);
  for (auto* k : keys) EXPECT_FALSE(bindings().objectForKey(k)) << k;
}

TEST_F(KVKeychainBindingsTest, ALockedDeviceAnswersFromTheLastValueSeen) {
  bindings().setObject("secret", "password");
  Keychain::setLocked(true);
  EXPECT_EQ(bindings().objectForKey("password").value_or(""), "secret");
  testing::internal::CaptureStderr();
  bindings().setObject("while-locked", "fresh");
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("Could not store(Add) string. Error was:-25308"), std::string::npos) << log;
  EXPECT_EQ(bindings().objectForKey("fresh").value_or(""), "while-locked") << "the buffer keeps what the store refused";
  Keychain::setLocked(false);
  Data raw;
  EXPECT_EQ(Keychain::copyMatching("me.korvale.quillbark", "fresh", &raw), errSecItemNotFound);
  // A fresh launch has an empty buffer and only the store to ask.
  KVKeychainBindingsController::sharedKeychainBindingsController().resetValuesForTesting();
  EXPECT_FALSE(bindings().objectForKey("fresh"));
  EXPECT_EQ(bindings().objectForKey("password").value_or(""), "secret");
}

TEST_F(KVKeychainBindingsTest, AnItemThatHoldsNoTextIsReplacedNotStuck) {
  const std::string key = "https://repo.example.com/_payment";
  ASSERT_EQ(Keychain::add({"me.korvale.quillbark", key, Data{0xC0, 0xAF, 0xFF}, kSecAttrAccessibleWhenUnlocked}),
            errSecSuccess);
  EXPECT_FALSE(bindings().objectForKey(key)) << "bytes that are no UTF-8 read as nothing";
  testing::internal::CaptureStderr();
  bindings().setObject("fresh secret", key);
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(log.find("Could not store"), std::string::npos) << log;
  KVKeychainBindingsController::sharedKeychainBindingsController().resetValuesForTesting();
  EXPECT_EQ(bindings().objectForKey(key).value_or(""), "fresh secret") << "the store itself holds the new value";
}

TEST_F(KVKeychainBindingsTest, KeyPathsOutsideValuesNeverReachTheStore) {
  auto& controller = KVKeychainBindingsController::sharedKeychainBindingsController();
  uint64_t writes = Keychain::writeCount();
  controller.setValue("x", "other.key");
  EXPECT_EQ(Keychain::writeCount(), writes);
  EXPECT_FALSE(controller.valueForKeyPath("other.key"));
  controller.setValue("dotted", "values.a.b.c");
  EXPECT_EQ(controller.valueForKeyPath("values.a.b.c").value_or(""), "dotted");
  EXPECT_EQ(bindings().objectForKey("a.b.c").value_or(""), "dotted");
}

TEST_F(KVKeychainBindingsTest, ManyThreadsReadAndWriteTheBufferSafely) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < 15; ++i) {
        std::string key = "k" + std::to_string(t);
        bindings().setObject(std::to_string(i), key);
        EXPECT_EQ(bindings().objectForKey(key).value_or(""), std::to_string(i));
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(KVKeychainBindingsController::sharedKeychainBindingsController().values().size(), 6u);
}
