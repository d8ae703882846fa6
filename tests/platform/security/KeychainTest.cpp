#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>
#include <vector>

#include "foundation/Files.h"
#include "security/Keychain.h"
#include "support/ScopedDeviceRoot.h"
#include "system/DeviceRoot.h"

namespace {
class KeychainTest : public ::testing::Test {
 protected:
  void SetUp() override { Keychain::setLocked(false); }
  void TearDown() override { Keychain::setLocked(false); }
  ScopedDeviceRoot root_;
};
}  // namespace

TEST_F(KeychainTest, AddReadUpdateRemove) {
  Data out;
  EXPECT_EQ(Keychain::copyMatching("svc", "acct", &out), errSecItemNotFound);
  EXPECT_EQ(Keychain::add({"svc", "acct", dataFromString("one"), kSecAttrAccessibleWhenUnlocked}), errSecSuccess);
  EXPECT_EQ(Keychain::add({"svc", "acct", dataFromString("two"), kSecAttrAccessibleWhenUnlocked}), errSecDuplicateItem);
  std::string access;
  ASSERT_EQ(Keychain::copyMatching("svc", "acct", &out, &access), errSecSuccess);
  EXPECT_EQ(stringFromData(out), "one");
  EXPECT_EQ(access, kSecAttrAccessibleWhenUnlocked);
  EXPECT_EQ(Keychain::copyMatching("other-svc", "acct", &out), errSecItemNotFound) << "items belong to a service";
  EXPECT_EQ(Keychain::update("svc", "acct", dataFromString("three"), kSecAttrAccessibleAfterFirstUnlock), errSecSuccess);
  ASSERT_EQ(Keychain::copyMatching("svc", "acct", &out, &access), errSecSuccess);
  EXPECT_EQ(stringFromData(out), "three");
  EXPECT_EQ(access, kSecAttrAccessibleAfterFirstUnlock);
  EXPECT_EQ(Keychain::update("svc", "missing", dataFromString("x"), kSecAttrAccessibleWhenUnlocked), errSecItemNotFound);
  EXPECT_EQ(Keychain::add({"svc", "bad", dataFromString("x"), "nonsense"}), errSecParam);
  EXPECT_EQ(Keychain::remove("svc", "acct"), errSecSuccess);
  EXPECT_EQ(Keychain::remove("svc", "acct"), errSecItemNotFound);
}

TEST_F(KeychainTest, OneOwnerOnlyFileReplacedWholeAndSurvivingAReload) {
  ASSERT_EQ(Keychain::add({"svc", "https://repo.example.com/_token", dataFromString("tok"), kSecAttrAccessibleWhenUnlocked}),
            errSecSuccess);
  std::string path = DeviceRoot::devicePath(Keychain::kStorePath);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // No temporary file is left beside it.
  EXPECT_EQ(Files::contentsOfDirectory(Files::deletingLastPathComponent(path)).size(), 1u);
  // A damaged file counts as empty and is replaced by the next write.
  ASSERT_TRUE(Files::writeAtomically(path, std::string("garbage"), nullptr, 0600));
  Data out;
  EXPECT_EQ(Keychain::copyMatching("svc", "https://repo.example.com/_token", &out), errSecItemNotFound);
  EXPECT_EQ(Keychain::add({"svc", "k", dataFromString("v"), kSecAttrAccessibleWhenUnlocked}), errSecSuccess);
  EXPECT_EQ(Keychain::copyMatching("svc", "k", &out), errSecSuccess);
}

TEST_F(KeychainTest, ALockedDeviceRefusesItemsThatNeedItUnlocked) {
  ASSERT_EQ(Keychain::add({"svc", "locked", dataFromString("a"), kSecAttrAccessibleWhenUnlocked}), errSecSuccess);
  ASSERT_EQ(Keychain::add({"svc", "open", dataFromString("b"), kSecAttrAccessibleAfterFirstUnlock}), errSecSuccess);
  Keychain::setLocked(true);
  Data out;
  EXPECT_EQ(Keychain::copyMatching("svc", "locked", &out), errSecInteractionNotAllowed);
  EXPECT_EQ(Keychain::copyMatching("svc", "open", &out), errSecSuccess);
  EXPECT_EQ(Keychain::add({"svc", "new", dataFromString("c"), kSecAttrAccessibleWhenUnlocked}), errSecInteractionNotAllowed);
  EXPECT_EQ(Keychain::update("svc", "locked", dataFromString("d"), kSecAttrAccessibleWhenUnlocked),
            errSecInteractionNotAllowed);
  EXPECT_EQ(Keychain::remove("svc", "locked"), errSecInteractionNotAllowed);
  Keychain::setLocked(false);
  ASSERT_EQ(Keychain::copyMatching("svc", "locked", &out), errSecSuccess);
  EXPECT_EQ(stringFromData(out), "a");
}

TEST_F(KeychainTest, ConcurrentWritersLoseNothing) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 10; ++i) {
        std::string key = std::to_string(t) + "-" + std::to_string(i);
        Keychain::add({"svc", key, dataFromString(key), kSecAttrAccessibleWhenUnlocked});
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < 8; ++t) {
    for (int i = 0; i < 10; ++i) {
      std::string key = std::to_string(t) + "-" + std::to_string(i);
      Data out;
      ASSERT_EQ(Keychain::copyMatching("svc", key, &out), errSecSuccess) << key;
      EXPECT_EQ(stringFromData(out), key);
    }
  }
}
