#include "support/HostStateGuard.h"

#include <gtest/gtest.h>

#include "foundation/Files.h"
#include "support/TempDir.h"

TEST(HostPackageState, SeesEveryByteThatChanges) {
  TempDir dir;
  const std::string status = dir.file("status"), other = dir.file("extended_states");
  ASSERT_TRUE(Files::writeAtomically(status, std::string("Package: a\nStatus: install ok installed\n")));
  auto before = HostPackageState::capture({status, other});
  EXPECT_EQ(HostPackageState::capture({status, other}).differencesFrom(before), "");

  ASSERT_TRUE(Files::writeAtomically(status, std::string("Package: a\nStatus: hold ok installed\n")));
  EXPECT_NE(HostPackageState::capture({status, other}).differencesFrom(before).find(status + ": changed"),
            std::string::npos);
  ASSERT_TRUE(Files::writeAtomically(other, std::string()));
  EXPECT_NE(HostPackageState::capture({status, other}).differencesFrom(before).find(other + ": created"),
            std::string::npos);
}

TEST(HostPackageState, TheHostsDpkgStatusIsReadable) {
  // The guard around every end-to-end test compares this file byte for byte.
  EXPECT_TRUE(Files::readText("/var/lib/dpkg/status").has_value());
}
