// The device root's own folder, as the launcher keeps it: a folder of the host mounted
// inside keeps its owners.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "foundation/Files.h"
#include "support/DeviceRootFixture.h"
#include "support/TempDir.h"
#include "system/Process.h"

namespace {
class LauncherRootGuard : public DeviceRootFixture {};
}  // namespace

TEST_F(LauncherRootGuard, AFolderMountedInsideTheRootKeepsItsOwners) {
  // A folder of the host shared into the device, on the root's own file system.
  TempDir shared;
  ASSERT_EQ(::chmod(shared.path().c_str(), 0755), 0);
  ASSERT_TRUE(Files::writeAtomically(shared.file("host"), std::string("h")));
  ASSERT_TRUE(Files::writeAtomically(shared.file("nobody"), std::string("n")));
  ASSERT_EQ(::chown(shared.file("nobody").c_str(), 65534, 65534), 0);
  ASSERT_EQ(::mkdir(shared.file("inner").c_str(), 0755), 0);
  ASSERT_TRUE(Files::writeAtomically(shared.file("inner/file"), std::string("f")));
  const std::string mountPoint = deviceRoot().hostPath("/var/mobile/Media");
  ASSERT_EQ(::mkdir(mountPoint.c_str(), 0755), 0);
  // Mounted in a mount namespace of the run's own, which goes with it.
  auto run = Process::run("/usr/bin/unshare",
                          {"--mount", "--propagation", "private", "/bin/sh", "-c",
                           "mount --bind \"$1\" \"$2\" 2>/dev/null || exit 99; echo mounted; exec \"$3\" \"$4\"", "sh",
                           shared.path(), mountPoint, deviceRoot().launcherPath(), "ls '" + mountPoint + "'"});
  if (run.output.rfind("mounted\n", 0) != 0) GTEST_SKIP() << "mounting is not permitted here: " << run.output;
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "mounted\nhost\ninner\nnobody\n");
  auto owner = [](const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? st.st_uid : 12345u;
  };
  EXPECT_EQ(owner(shared.path()), 0u);
  EXPECT_EQ(owner(shared.file("host")), 0u);
  EXPECT_EQ(owner(shared.file("nobody")), 65534u);
  EXPECT_EQ(owner(shared.file("inner")), 0u);
  EXPECT_EQ(owner(shared.file("inner/file")), 0u);
}
