#include <gtest/gtest.h>

#include "support/HostStateGuard.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  HostPackageState::guardThisProcess();
  return RUN_ALL_TESTS();
}
