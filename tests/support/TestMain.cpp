#include <gtest/gtest.h>

#include "support/HostStateGuard.h"
#include "support/TestResets.h"

namespace {
// Every test starts from what a fresh process has (see TestResets).
class ResetBeforeEachTest : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { TestResets::resetAll(); }
};
}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  HostPackageState::guardThisProcess();
  ::testing::UnitTest::GetInstance()->listeners().Append(new ResetBeforeEachTest);
  return RUN_ALL_TESTS();
}
