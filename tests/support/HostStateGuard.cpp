#include "support/HostStateGuard.h"

#include <gtest/gtest.h>

#include "foundation/Files.h"

namespace {
const char* const kHostFiles[] = {"/var/lib/dpkg/status", "/var/lib/dpkg/arch", "/var/lib/dpkg/diversions",
                                  "/var/lib/dpkg/statoverride", "/var/lib/apt/extended_states"};

// Every test process checks that the host's package state is unchanged when its tests
// are over: the real apt and dpkg run in several folders' tests, always in a device root.
class HostStateEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { before_ = HostPackageState::capture(); }
  void TearDown() override {
    std::string differences = HostPackageState::capture().differencesFrom(before_);
    if (!differences.empty()) ADD_FAILURE() << "the host's package state changed:\n" << differences;
  }

 private:
  HostPackageState before_;
};

}  // namespace

void HostPackageState::guardThisProcess() { ::testing::AddGlobalTestEnvironment(new HostStateEnvironment); }

HostPackageState HostPackageState::capture() {
  return capture(std::vector<std::string>(std::begin(kHostFiles), std::end(kHostFiles)));
}

HostPackageState HostPackageState::capture(const std::vector<std::string>& files) {
  HostPackageState state;
  for (const auto& file : files) state.files_[file] = Files::readText(file);
  return state;
}

std::string HostPackageState::differencesFrom(const HostPackageState& before) const {
  std::string out;
  for (const auto& [file, contents] : files_) {
    auto it = before.files_.find(file);
    std::optional<std::string> old = it == before.files_.end() ? std::nullopt : it->second;
    if (old == contents) continue;
    out += file + (old ? (contents ? ": changed (" + std::to_string(old->size()) + " -> " +
                                         std::to_string(contents->size()) + " bytes)\n"
                                   : ": removed\n")
                       : ": created\n");
  }
  return out;
}
