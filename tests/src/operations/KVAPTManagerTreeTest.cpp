// The private APT tree: configuration file, sources list, list file names and dates.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <thread>
#include <unistd.h>

#include "foundation/Files.h"
#include "operations/KVAPTManager.h"
#include "core/KVKnownRepositories.h"
#include "support/DeviceRootFixture.h"
#include "support/HostMarker.h"
#include "support/ScopedDeviceRoot.h"
#include "support/TypedLocation.h"

namespace {
std::string expectedConfiguration(const std::string& apt) {
  return "Dir::Etc::SourceList \"" + apt + "/sources.list\";\n"
         "Dir::Etc::SourceParts \"\";\n"
         "Dir::State::lists \"" + apt + "/lists\";\n"
         "Dir::Cache::srcpkgcache \"" + apt + "/srcpkgcache.bin\";\n"
         "Dir::Cache::pkgcache \"" + apt + "/pkgcache.bin\";\n"
         "Dir::Cache::archives \"" + apt + "/archives\";\n"
         "Binary::apt::APT::Cmd::Show-Update-Stats \"0\";\n"
         "Binary::apt::APT::Get::Show-Upgraded \"0\";\n"
         "Binary::apt::APT::Get::Show-Versions \"0\";\n"
         "APT::Cmd::Show-Update-Stats \"0\";\n"
         "APT::Get::Show-Upgraded \"0\";\n"
         "APT::Get::Show-Versions \"0\";\n"
         "APT::Keep-Downloaded-Packages \"1\";\n"
         "APT::Get::Update::InteractiveReleaseInfoChanges \"0\";\n"
         "DPkg::Progress-Fancy \"0\";\n"
         "APT::Sandbox::User \"root\";\n";
}

void setModificationTime(const std::string& path, time_t unixSeconds) {
  struct timespec times[2] = {{unixSeconds, 0}, {unixSeconds, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class APTTree : public DeviceRootFixture {
 protected:
  void SetUp() override {
    DeviceRootFixture::SetUp();
    EXPECT_EQ(KVAPTManager::createAPTSandboxIfNeeded(), nullptr);
  }
  std::string sourcesList() { return Files::readText(KVAPTManager::sourcesListPath()).value_or("<missing>"); }
};
}  // namespace

TEST(APTConfiguration, OnADeviceItIsTheSixteenLinesOf835Characters) {
  std::string text;
  {
    ScopedDeviceRoot device("");
    text = KVAPTManager::configurationText();
  }
  EXPECT_EQ(text, expectedConfiguration("/var/mobile/Library/Application Support/Quillbark/APT"));
  EXPECT_EQ(text.size(), 835u);
}

TEST_F(APTTree, ConfigurationIsByteExactAfterEveryCreation) {
  const std::string apt = rootPath() + "/var/mobile/Library/Application Support/Quillbark/APT";
  EXPECT_EQ(KVAPTManager::sandboxPath(), apt);
  EXPECT_EQ(Files::readText(KVAPTManager::configurationPath()), expectedConfiguration(apt));
  for (const char* folder : {"", "/lists", "/lists/partial", "/archives", "/archives/partial"})
    EXPECT_TRUE(Files::isDirectory(apt + folder)) << folder;

  // A user's edit is overwritten by the next call.
  ASSERT_TRUE(Files::writeAtomically(KVAPTManager::configurationPath(), std::string("APT::Get::Show-Versions \"1\";\n")));
  EXPECT_EQ(KVAPTManager::createAPTSandboxIfNeeded(), nullptr);
  EXPECT_EQ(Files::readText(KVAPTManager::configurationPath()), expectedConfiguration(apt));
  EXPECT_EQ(KVAPTManager::createAPTSandboxIfNeeded(), nullptr);
  EXPECT_EQ(Files::readText(KVAPTManager::configurationPath()), expectedConfiguration(apt));
}

TEST_F(APTTree, PurgingTheSandboxStartsItAfresh) {
  EXPECT_EQ(KVAPTManager::writeSourceToListIfNeeded(typedLocation("http://repo.example/apt/")), nullptr);
  ASSERT_TRUE(Files::writeAtomically(KVAPTManager::archivesPath() + "/x.deb", std::string("x")));
  EXPECT_EQ(KVAPTManager::purgeSandbox(), nullptr);
  EXPECT_FALSE(Files::exists(KVAPTManager::sourcesListPath()));
  EXPECT_FALSE(Files::exists(KVAPTManager::archivesPath() + "/x.deb"));
  EXPECT_TRUE(Files::isDirectory(KVAPTManager::archivesPath() + "/partial"));
  EXPECT_TRUE(Files::exists(KVAPTManager::configurationPath()));
}

TEST_F(APTTree, SourcesLinesFollowTheTable) {
  const auto known = KVKnownRepositories::current();
  EXPECT_EQ(KVAPTManager::debSourceForSource(typedLocation("http://repo.example/apt/")), "deb http://repo.example/apt/ ./\n");
  for (const auto& older : {known.largeDefaultRepository, known.archivedRepositoryA, known.archivedRepositoryB,
                            known.storeRepository})
    EXPECT_EQ(KVAPTManager::debSourceForSource(typedLocation(older)), "deb " + older + " stable main\n");
  EXPECT_EQ(KVAPTManager::debSourceForSource(typedLocation(known.unc0verBootstrapHTTP)),
            "deb https://apt.bootstrap-u.example/ ios/1443.00 main\n");
  EXPECT_EQ(KVAPTManager::debSourceForSource(typedLocation(known.unc0verBootstrapHTTPS)),
            KVAPTManager::debSourceForSource(typedLocation(known.unc0verBootstrapHTTP)));
  // A scheme in capitals names the same location, kept in lower case.
  EXPECT_EQ(KVAPTManager::debSourceForSource(typedLocation("HTTP://apt.store.example/")),
            "deb http://apt.store.example/ stable main\n");
}

TEST_F(APTTree, ListFileNamesAreAPTs) {
  const std::string lists = KVAPTManager::listsPath() + "/";
  EXPECT_EQ(KVAPTManager::releasePathForSource("http://repo.example/apt/"), lists + "repo.example_apt_._Release");
  EXPECT_EQ(KVAPTManager::packagesPathForSource("http://repo.example/apt/"), lists + "repo.example_apt_._Packages");
  EXPECT_EQ(KVAPTManager::packagesPathForSource("https://repo.example/my repo/"), lists + "repo.example_my_repo_._Packages");
  EXPECT_EQ(KVAPTManager::packagesPathForSource("http://127.0.0.1:8080/"), lists + "127.0.0.1:8080_._Packages");
  const std::string older = KVKnownRepositories::current().archivedRepositoryB;  // ".../repo/cydia/"
  EXPECT_EQ(KVAPTManager::releasePathForSource(older), lists + "archived-b.example_repo_cydia_dists_stable_Release");
  EXPECT_EQ(KVAPTManager::packagesPathForSource(older),
            lists + "archived-b.example_repo_cydia_dists_stable_main_binary-iphoneos-arm_Packages");
  EXPECT_EQ(KVAPTManager::releasePathForSource(KVKnownRepositories::current().unc0verBootstrapHTTP),
            lists + "apt.bootstrap-u.example_dists_ios_1443.00_Release");
  EXPECT_EQ(KVAPTManager::packagesPathForSource(KVKnownRepositories::current().unc0verBootstrapHTTP),
            lists + "apt.bootstrap-u.example_dists_ios_1443.00_main_binary-iphoneos-arm_Packages");
  EXPECT_EQ(KVAPTManager::filePathForSource("http://repo.example/apt/", 0), lists + "repo.example_apt_._Release");
  EXPECT_EQ(KVAPTManager::filePathForSource("http://repo.example/apt/", 1), lists + "repo.example_apt_._Packages");
  EXPECT_FALSE(KVAPTManager::filePathForSource("http://repo.example/apt/", 2));
}

TEST_F(APTTree, SourcesListKeepsOneLinePerRepository) {
  EXPECT_EQ(KVAPTManager::writeSourceToListIfNeeded(typedLocation("http://repo.example/apt/")), nullptr);
  EXPECT_EQ(KVAPTManager::writeSourceToListIfNeeded(typedLocation("http://repo.example/apt/")), nullptr);
  EXPECT_EQ(KVAPTManager::writeSourceToListIfNeeded(typedLocation(KVKnownRepositories::current().unc0verBootstrapHTTP)), nullptr);
  EXPECT_EQ(KVAPTManager::writeSourceToListIfNeeded(typedLocation(KVKnownRepositories::current().unc0verBootstrapHTTPS)), nullptr);
  EXPECT_EQ(sourcesList(), "deb http://repo.example/apt/ ./\ndeb https://apt.bootstrap-u.example/ ios/1443.00 main\n");

  // A hand-edited list without a final line feed still gets whole lines.
  ASSERT_TRUE(Files::writeAtomically(KVAPTManager::sourcesListPath(), std::string("deb http://mine.example/ ./")));
  EXPECT_EQ(KVAPTManager::writeSourceToListIfNeeded(typedLocation("http://repo.example/apt/")), nullptr);
  EXPECT_EQ(sourcesList(), "deb http://mine.example/ ./\ndeb http://repo.example/apt/ ./\n");

  // A text with a line break is no location, so it never reaches the list to add a line
  // of its own.
  EXPECT_FALSE(KVSourceLocation::fromText("http://evil.example/ ./\ndeb http://other.example/"));
}

TEST_F(APTTree, PurgingRemovesLinesAndListFiles) {
  const std::string a = "http://a.example/", b = "http://b.example/";
  EXPECT_EQ(KVAPTManager::writeReleaseContents("Origin: A\n", typedLocation(a)), nullptr);
  EXPECT_EQ(KVAPTManager::writePackagesContents("Package: a\n", typedLocation(a)), nullptr);
  EXPECT_EQ(KVAPTManager::writeReleaseContents("Origin: B\n", typedLocation(b)), nullptr);
  ASSERT_TRUE(Files::exists(KVAPTManager::releasePathForSource(a)));
  EXPECT_EQ(KVAPTManager::purgeSourceFromSandbox(typedLocation(a)), nullptr);
  EXPECT_FALSE(Files::exists(KVAPTManager::releasePathForSource(a)));
  EXPECT_FALSE(Files::exists(KVAPTManager::packagesPathForSource(a)));
  EXPECT_TRUE(Files::exists(KVAPTManager::releasePathForSource(b)));
  EXPECT_EQ(sourcesList(), "deb http://b.example/ ./\n");
  EXPECT_EQ(KVAPTManager::purgeSourcesFromSandbox({typedLocation(b), typedLocation("http://never.example/")}), nullptr);
  EXPECT_EQ(sourcesList(), "");
}

TEST_F(APTTree, ConcurrentEditsLoseNoLine) {
  std::vector<std::thread> threads;
  for (int i = 0; i < 16; ++i)
    threads.emplace_back([i] {
      for (int j = 0; j < 10; ++j) {
        std::string location = "http://repo" + std::to_string(i) + ".example/" + std::to_string(j) + "/";
        EXPECT_EQ(KVAPTManager::writeSourceToListIfNeeded(typedLocation(location)), nullptr);
        if (j % 2) {
          EXPECT_EQ(KVAPTManager::purgeSourceFromSandbox(typedLocation(location)), nullptr);
        }
      }
    });
  for (auto& t : threads) t.join();
  std::string text = sourcesList();
  size_t lines = std::count(text.begin(), text.end(), '\n');
  EXPECT_EQ(lines, 16u * 5);
  for (int i = 0; i < 16; ++i)
    for (int j = 0; j < 10; j += 2)
      EXPECT_NE(text.find("deb http://repo" + std::to_string(i) + ".example/" + std::to_string(j) + "/ ./\n"),
                std::string::npos);
}

TEST_F(APTTree, ListFilesAreWrittenInTheirEncoding) {
  const std::string location = "http://repo.example/apt/";
  EXPECT_EQ(KVAPTManager::writeReleaseContents("Origin: Caf\xC3\xA9\n", StringEncoding::ISOLatin1, typedLocation(location)), nullptr);
  EXPECT_EQ(Files::readText(KVAPTManager::releasePathForSource(location)), "Origin: Caf\xE9\n");
  EXPECT_EQ(sourcesList(), "deb http://repo.example/apt/ ./\n");
  // A text the encoding can't hold leaves the old file.
  ErrorRef unencodable = KVAPTManager::writeReleaseContents("Origin: \xE2\x82\xAC\n", StringEncoding::ASCII, typedLocation(location));
  ASSERT_NE(unencodable, nullptr);
  EXPECT_EQ(unencodable->code, KVAPTErrorUnencodable);
  EXPECT_EQ(Files::readText(KVAPTManager::releasePathForSource(location)), "Origin: Caf\xE9\n");

  EXPECT_EQ(KVAPTManager::writePackagesData(Data{'P', ':', ' ', 'x', '\n'}, typedLocation(location)), nullptr);
  EXPECT_EQ(Files::readText(KVAPTManager::packagesPathForSource(location)), "P: x\n");
}

// APT reads the list files while they are replaced: each write puts a new file in place
// whole, and a write that fails says so and leaves what was there.
TEST_F(APTTree, ListFilesAreReplacedWholeAndAFailedWriteIsReported) {
  const std::string location = "http://repo.example/apt/";
  const std::string packages = KVAPTManager::packagesPathForSource(location);
  EXPECT_EQ(KVAPTManager::writePackagesData(Data{'o', 'l', 'd', '\n'}, typedLocation(location)), nullptr);
  // A second name for the old file: a write in place would change what it reads.
  const std::string oldName = packages + ".old";
  ASSERT_EQ(::link(packages.c_str(), oldName.c_str()), 0);
  EXPECT_EQ(KVAPTManager::writePackagesData(Data{'n', 'e', 'w', '\n'}, typedLocation(location)), nullptr);
  EXPECT_EQ(Files::readText(packages), "new\n");
  EXPECT_EQ(Files::readText(oldName), "old\n");

  // A Release file that can't be written fails the call and adds no sources-list line.
  const std::string release = KVAPTManager::releasePathForSource(location);
  ASSERT_TRUE(Files::createDirectories(release + "/occupied"));
  ErrorRef error = KVAPTManager::writeReleaseContents("Origin: A\n", typedLocation(location));
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->domain, KVAPTErrorDomain);
  EXPECT_EQ(error->code, KVAPTErrorTreeUnwritable);
  EXPECT_NE(error->localizedDescription().find(release), std::string::npos) << error->localizedDescription();
  EXPECT_EQ(sourcesList(), "<missing>");
  ASSERT_TRUE(Files::createDirectories(packages + ".d/occupied"));
  ASSERT_TRUE(Files::removeItem(packages));
  ASSERT_TRUE(Files::moveItem(packages + ".d", packages));
  EXPECT_NE(KVAPTManager::writePackagesContents("Package: a\n", typedLocation(location)), nullptr);
}

// A database migration removes the whole tree; the next write makes it again.
TEST_F(APTTree, AWriteMakesTheTreeAgainWhenItIsGone) {
  ASSERT_TRUE(Files::removeItem(KVAPTManager::sandboxPath()));
  const std::string location = "http://repo.example/apt/";
  EXPECT_EQ(KVAPTManager::writeReleaseContents("Origin: A\n", typedLocation(location)), nullptr);
  EXPECT_EQ(Files::readText(KVAPTManager::configurationPath()), KVAPTManager::configurationText());
  EXPECT_TRUE(Files::isDirectory(KVAPTManager::archivesPath() + "/partial"));
  EXPECT_EQ(sourcesList(), "deb http://repo.example/apt/ ./\n");
}

TEST_F(APTTree, LastModifiedDatesAreHTTPDates) {
  const std::string location = "http://repo.example/apt/";
  EXPECT_EQ(KVAPTManager::writeReleaseContents("Origin: A\n", typedLocation(location)), nullptr);
  setModificationTime(KVAPTManager::releasePathForSource(location), 1572941049);  // 2019-11-05 08:04:09 UTC
  // Two-digit days: strict servers ignore "Tue, 5 Nov" and send the whole file again.
  EXPECT_EQ(KVAPTManager::safeLastModifiedDateStringForSource(location, 0), "Tue, 05 Nov 2019 08:04:09 GMT");
  // No file: the earliest date, so the request is unconditional in effect.
  EXPECT_EQ(KVAPTManager::safeLastModifiedDateStringForSource(location, 1), "Mon, 01 Jan 0001 00:00:00 GMT");
  // A list file put in place ahead of records that never came is no reason to skip the
  // index: with the marker beside it, its date is not given.
  EXPECT_EQ(KVAPTManager::writePackagesContents("Package: a\n", typedLocation(location)), nullptr);
  setModificationTime(KVAPTManager::packagesPathForSource(location), 1572941049);
  ASSERT_TRUE(Files::writeAtomically(KVAPTManager::aheadMarkerPathForSource(location), std::string()));
  EXPECT_EQ(KVAPTManager::safeLastModifiedDateStringForSource(location, 1), "Mon, 01 Jan 0001 00:00:00 GMT");
  ASSERT_TRUE(Files::removeItem(KVAPTManager::aheadMarkerPathForSource(location)));
  EXPECT_EQ(KVAPTManager::safeLastModifiedDateStringForSource(location, 1), "Tue, 05 Nov 2019 08:04:09 GMT");
}

TEST_F(APTTree, TheTreeAndItsListFilesNeverFollowALinkOutOfTheRoot) {
  // A package replaced the lists folder by a link to the host: every write fails, with
  // its reason, and nothing reaches the host.
  HostMarker marker;
  const std::string location = "http://repo.example/apt/";
  ASSERT_TRUE(Files::removeItem(KVAPTManager::listsPath()));
  ASSERT_EQ(::symlink(marker.path().c_str(), KVAPTManager::listsPath().c_str()), 0);
  ErrorRef release = KVAPTManager::writeReleaseContents("Origin: A\n", typedLocation(location));
  ASSERT_TRUE(release);
  EXPECT_NE(release->localizedDescription().find("link out of the device root"), std::string::npos)
      << release->localizedDescription();
  EXPECT_TRUE(KVAPTManager::writePackagesContents("Package: a\n", typedLocation(location)));
  EXPECT_TRUE(KVAPTManager::writePackagesData(Data{'P'}, typedLocation(location)));
  (void)KVAPTManager::purgeSourceFromSandbox(typedLocation(location));
  EXPECT_EQ(marker.changes(), "");

  // The same for the whole tree, and for purging it.
  const std::string support = KVAPTManager::applicationSupportPath();
  ASSERT_TRUE(Files::removeItem(support));
  ASSERT_EQ(::symlink(marker.path().c_str(), support.c_str()), 0);
  EXPECT_TRUE(KVAPTManager::createAPTSandboxIfNeeded());
  EXPECT_TRUE(KVAPTManager::writeSourceToListIfNeeded(typedLocation(location)));
  EXPECT_TRUE(KVAPTManager::purgeSandbox());
  KVAPTManager::cleanUpArchivesIfNeeded();
  EXPECT_EQ(marker.changes(), "");
}
