// Whole roads through the real apt and dpkg: a repository served on 127.0.0.1, its
// lists written through the APT layer, a prepared archive, an install with a
// dependency, a downgrade, a hold and a removal, all inside a temporary device root,
// with the host's package state checked byte for byte around them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/HostStateGuard.h"
#include "foundation/Files.h"
#include "operations/KVAPTManager.h"
#include "support/DebBuilder.h"
#include "support/DeviceRootFixture.h"
#include "support/HostMarker.h"
#include "support/TestHttpServer.h"

namespace {
class PackageToolsRoad : public DeviceRootFixture {
 protected:
  void SetUp() override {
    DeviceRootFixture::SetUp();
    EXPECT_EQ(KVAPTManager::createAPTSandboxIfNeeded(), nullptr);
    ExampleToolRepository repository = serveExampleToolRepository(repo.path(), server);
    location = repository.location;
    toolTwo = repository.toolTwoArchive;
  }

  // A download handed to the APT layer as the download task hands it.
  void prepare(const std::string& archive) {
    TempDir downloads;
    std::string download = downloads.file("CFNetworkDownload.tmp");
    ASSERT_TRUE(Files::copyItem(archive, download));
    ASSERT_TRUE(KVAPTManager::copyDebToSandboxFromPath(download));
  }

  TempDir repo;
  TestHttpServer server;
  std::string location, toolTwo;
};
}  // namespace

TEST_F(PackageToolsRoad, InstallsWithADependencyAndUsesThePreparedArchive) {
  const HostPackageState before = HostPackageState::capture();

  // The downloads are prepared as the download task does; APT must find them under its
  // own names (the epoch's ":" written "%3a"): it has no network to fetch anything.
  prepare(toolTwo);
  prepare(repo.file("lib-1.deb"));

  std::vector<std::string> pieces;
  int32_t finalStatus = -1;
  bool ok = KVAPTManager::install("com.example.tool", [&](const std::string& piece, const std::string&, bool done,
                                                          int32_t status) {
    if (done) finalStatus = status;
    else pieces.push_back(piece);
  });
  ASSERT_TRUE(ok) << KVAPTManager::output().value_or("");
  EXPECT_EQ(finalStatus, 0);
  EXPECT_EQ(deviceRoot().packageStatus("com.example.tool"), "install ok installed");
  EXPECT_EQ(deviceRoot().packageVersion("com.example.tool"), "1:2.0-1");
  EXPECT_EQ(deviceRoot().packageStatus("com.example.lib"), "install ok installed");
  EXPECT_EQ(Files::readText(deviceRoot().hostPath("/usr/bin/example-tool")), "tool 2\n");
  EXPECT_TRUE(std::any_of(pieces.begin(), pieces.end(), [](const std::string& p) {
    return p == "The following NEW packages will be installed:\n";
  }));

  // A version from the queue string: the older one, a downgrade. Without its archive
  // APT fails cleanly and fetches nothing; with it, the downgrade goes through.
  EXPECT_FALSE(KVAPTManager::install("com.example.tool=1.0", {}));
  EXPECT_EQ(deviceRoot().packageVersion("com.example.tool"), "1:2.0-1");
  prepare(repo.file("tool-1.deb"));
  ASSERT_TRUE(KVAPTManager::install("com.example.tool=1.0", {})) << KVAPTManager::output().value_or("");
  EXPECT_EQ(deviceRoot().packageVersion("com.example.tool"), "1.0");

  // A held package isn't removed (APT refuses, and the failure is reported as one);
  // once released, the queue string's "-" removes it.
  ASSERT_TRUE(KVAPTManager::hold("com.example.tool", {}));
  EXPECT_EQ(deviceRoot().packageStatus("com.example.tool"), "hold ok installed");
  EXPECT_FALSE(KVAPTManager::install("com.example.tool-", {}));
  EXPECT_EQ(deviceRoot().packageStatus("com.example.tool"), "hold ok installed");
  ASSERT_TRUE(KVAPTManager::unhold("com.example.tool", {}));
  ASSERT_TRUE(KVAPTManager::install("com.example.tool-", {})) << KVAPTManager::output().value_or("");
  EXPECT_EQ(deviceRoot().packageStatus("com.example.tool").find("installed"), std::string::npos);
  EXPECT_EQ(deviceRoot().packageStatus("com.example.lib"), "install ok installed");

  KVAPTManager::cleanUpArchivesIfNeeded();
  EXPECT_EQ(Files::contentsOfDirectory(KVAPTManager::archivesPath()), std::vector<std::string>{"partial"});
  EXPECT_EQ(server.requestCount(), 0u);
  EXPECT_EQ(HostPackageState::capture().differencesFrom(before), "");
}

TEST_F(PackageToolsRoad, ARepositorysHostileIdentifierNeverReachesAShell) {
  const std::string marker = deviceRoot().hostPath("/tmp/pwned");
  for (const std::string& queue : {"com.example.tool;touch " + marker, "com.example.tool=1.0$(touch " + marker + ")",
                                  "`touch " + marker + "`"}) {
    EXPECT_FALSE(KVAPTManager::install(queue, {})) << queue;
    EXPECT_FALSE(KVAPTManager::dryRunForQueue(queue).ran) << queue;
  }
  EXPECT_FALSE(KVAPTManager::hold("com.example.tool;touch " + marker, {}));
  EXPECT_FALSE(Files::exists(marker));
  EXPECT_TRUE(deviceRoot().packageStatus("com.example.tool").empty());
  EXPECT_EQ(server.requestCount(), 0u);
}

// Every maintainer script runs, with the root's own shell, and writes inside the root only.
TEST_F(PackageToolsRoad, MaintainerScriptsRunInsideTheRoot) {
  const HostPackageState before = HostPackageState::capture();
  DebPackage scripted("com.example.scripted");
  for (const char* script : {"preinst", "postinst", "prerm", "postrm"})
    scripted.script(script, std::string("#!/bin/") + (script[1] == 'r' ? "sh" : "bash") + "\nmkdir -p /var/mobile\n" +
                                "echo \"" + script + " $1\" >> /var/mobile/scripts.log\n");
  std::string archive = DebBuilder(deviceRoot().hostPath("/var/mobile/Documents")).build(scripted);
  ASSERT_TRUE(KVAPTManager::installDPKG(archive, {})) << KVAPTManager::output().value_or("");
  ASSERT_TRUE(KVAPTManager::install("com.example.scripted-", {})) << KVAPTManager::output().value_or("");
  EXPECT_EQ(Files::readText(deviceRoot().hostPath("/var/mobile/scripts.log")),
            "preinst install\npostinst configure\nprerm remove\npostrm remove\n");
  EXPECT_FALSE(Files::exists("/var/mobile/scripts.log"));
  EXPECT_EQ(HostPackageState::capture().differencesFrom(before), "");
}

// A package's script turns the device's folders into links to a folder of the host; the
// next start's builder writes nothing through them, and the tools work again after it.
TEST_F(PackageToolsRoad, FoldersTurnedIntoLinksOutAreRepairedAtTheNextStart) {
  HostMarker marker;
  std::string script = "#!/bin/sh\n";
  for (const char* folder : {"/var/root", "/sbin", "/etc/quillbark", "/System/Library/CoreServices"})
    script += std::string("rm -rf ") + folder + " && ln -s '" + marker.path() + "' " + folder + "\n";
  std::string archive = DebBuilder(deviceRoot().hostPath("/var/mobile/Documents")).build(DebPackage("com.example.linker").script("postinst", script));
  KVAPTManager::installDPKG(archive, {});
  struct stat st;
  ASSERT_EQ(::lstat(deviceRoot().hostPath("/etc/quillbark").c_str(), &st), 0);
  ASSERT_TRUE(S_ISLNK(st.st_mode)) << KVAPTManager::output().value_or("");

  std::string error;
  std::vector<std::string> repairs;
  ASSERT_TRUE(DeviceRootBuilder::build(rootPath(), {}, &error, &repairs)) << error;
  EXPECT_EQ(marker.changes(), "");
  EXPECT_EQ(repairs.size(), 4u);
  EXPECT_EQ(deviceRoot().packageStatus("com.example.linker"), "install ok installed");
}
