// The refresh's rules for well-known repositories, with their locations pointed at
// 127.0.0.1: fixed "dists/" layouts, archived repositories, and the outside store's
// repository on newer systems.
#include "support/SourceRefreshFixture.h"
#include "core/KVErrorDomain.h"
#include "core/KVKnownRepositories.h"
#include "foundation/NotificationCenter.h"
#include "system/DeviceRoot.h"

namespace {

class RepositoryRules : public SourceRefreshFixture {
 protected:
  void SetUp() override {
    SourceRefreshFixture::SetUp();
    KVKnownRepositories::Locations known;
    known.largeDefaultRepository = locationOf("large") + "repofiles/cydia/";
    known.archivedRepositoryA = locationOf("archived-a");
    known.archivedRepositoryB = locationOf("archived-b") + "repo/cydia/";
    known.storeRepository = locationOf("store");
    known.unc0verBootstrapHTTP = locationOf("boot-plain");
    known.unc0verBootstrapHTTPS = locationOf("boot");
    known.electraBootstrap = locationOf("electra");
    known.mirrorHost = server.url("/mirror");
    KVKnownRepositories::setLocations(known);
    finished_ = NotificationCenter::defaultCenter().addObserver(
        KVPipelineTaskFinishedNotification, [this](const Notification& n) { errors.push_back(n.error); });
  }
  void TearDown() override {
    finished_.invalidate();
    SourceRefreshFixture::TearDown();
  }

  // A repository index placed at `folder` below the server's root (a "dists/" path).
  void serveAt(const std::string& folder, const std::string& packages) {
    Files::createDirectories(repositories.file(folder));
    ASSERT_TRUE(DebBuilder::writeRepositoryIndex(repositories.file(folder), packages));
  }
  void setDevice(const std::string& systemVersion, const char* marker) {
    Value plist = Value::dict({{"ProductVersion", systemVersion}});
    ASSERT_TRUE(Files::writeAtomically(DeviceRoot::devicePath(DeviceRoot::kSystemVersionPlist), plist.toXMLPropertyList()));
    if (marker) {
      ASSERT_TRUE(Files::writeAtomically(DeviceRoot::devicePath(marker), std::string()));
    }
  }
  std::vector<ErrorRef> errors;
  NotificationToken finished_;
};

TEST_F(RepositoryRules, OlderRepositoriesHaveTheirDistsLayout) {
  auto known = KVKnownRepositories::current();
  serveAt("large/repofiles/cydia/dists/stable", "");
  serveAt("large/repofiles/cydia/dists/stable/main/binary-iphoneos-arm", stanza("com.example.large", "1.0"));
  Files::removeItem(repositories.file("large/repofiles/cydia/dists/stable/Packages"));
  ASSERT_TRUE(refresh(known.largeDefaultRepository));
  EXPECT_TRUE(package("com.example.large"));
  EXPECT_EQ(server.requestCount("/large/repofiles/cydia/dists/stable/Release"), 1u);
  EXPECT_EQ(server.requestCount("/large/repofiles/cydia/dists/stable/main/binary-iphoneos-arm/Packages.xz"), 1u);
}

TEST_F(RepositoryRules, AnArchivedRepositoryIsNotAskedAgainOnceItsIndexIsThere) {
  auto known = KVKnownRepositories::current();
  serveAt("archived-a/dists/stable", "");
  serveAt("mirror/dists/stable/main/binary-iphoneos-arm", stanza("com.example.archived", "1.0"));
  ASSERT_TRUE(refresh(known.archivedRepositoryA));
  EXPECT_TRUE(package("com.example.archived"));
  EXPECT_EQ(server.requestCount("/archived-a/dists/stable/Release"), 1u);
  EXPECT_EQ(server.requestCount("/mirror/dists/stable/main/binary-iphoneos-arm/Packages.xz"), 1u);

  server.clearRequests();
  ASSERT_TRUE(refresh(known.archivedRepositoryA));
  EXPECT_EQ(server.requestCount(), 0u);
  EXPECT_NE(std::find(verboseLines.begin(), verboseLines.end(), "No need to refresh this archived source"),
            verboseLines.end());

  preferences().setObject(Value(true), "NeedsFullRefresh");
  ASSERT_TRUE(refresh(known.archivedRepositoryA));
  EXPECT_EQ(server.requestCount("/archived-a/dists/stable/Release"), 1u);
  EXPECT_EQ(server.requestCount("/mirror/dists/stable/main/binary-iphoneos-arm/Packages.xz"), 1u);
}

TEST_F(RepositoryRules, OnOlderSystemsTheStoreRepositoryStaysItself) {
  setDevice("10.3", "/.installed_unc0ver");
  auto known = KVKnownRepositories::current();
  serveAt("store/dists/ios", "");
  serveAt("store/dists/ios/main/binary-iphoneos-arm", stanza("com.example.store", "1.0"));
  ASSERT_TRUE(refresh(known.storeRepository));
  EXPECT_TRUE(package("com.example.store"));
  EXPECT_EQ(package("com.example.store")->sourceLocation(), known.storeRepository);
  EXPECT_EQ(server.requestCount("/store/dists/ios/Release"), 1u);
}

// The record moves to the bootstrap repository, and the run refreshes that one: nothing is
// written under the store's location any more.
TEST_F(RepositoryRules, OnNewerSystemsTheStoreRepositoryBecomesTheBootstrapRepository) {
  setDevice("12.4", "/.installed_unc0ver");
  auto known = KVKnownRepositories::current();
  serveAt("boot/dists/ios/1443.00/main/binary-iphoneos-arm", stanza("com.example.bootstrap", "1.0"));
  ASSERT_TRUE(refresh(known.storeRepository));
  EXPECT_FALSE(source(known.storeRepository));
  ASSERT_TRUE(source(known.unc0verBootstrapHTTPS));
  EXPECT_EQ(source(known.unc0verBootstrapHTTPS)->hasErrors(), false);
  auto bootstrap = package("com.example.bootstrap");
  ASSERT_TRUE(bootstrap);
  EXPECT_EQ(bootstrap->sourceLocation(), known.unc0verBootstrapHTTPS);
  EXPECT_EQ(server.requestCount("/store/dists/ios/Release"), 0u);
  EXPECT_EQ(server.requestCount("/boot/dists/ios/1443.00/main/binary-iphoneos-arm/Release"), 1u);
  EXPECT_FALSE(Files::exists(listFilePath(known.storeRepository)));
  EXPECT_TRUE(Files::exists(listFilePath(known.unc0verBootstrapHTTPS)));
  EXPECT_TRUE(errors.back() == nullptr);
}

TEST_F(RepositoryRules, TheStoreRepositoryGoesWhenTheBootstrapIsThereUnderEitherScheme) {
  setDevice("12.4", "/.installed_unc0ver");
  auto known = KVKnownRepositories::current();
  addSourceRecord("https://" + known.unc0verBootstrapHTTPS.substr(7));
  ASSERT_TRUE(refresh(known.storeRepository));
  EXPECT_FALSE(source(known.storeRepository));
  ASSERT_FALSE(errors.empty());
  ASSERT_TRUE(errors.back());
  EXPECT_EQ(errors.back()->domain, KVErrorDomain);
  EXPECT_EQ(errors.back()->code, KVErrorIncompatibleSource);
  EXPECT_EQ(errors.back()->localizedDescription(),
            "Impossible to refresh \"" + known.storeRepository + "\", this source is incompatible with your iOS version");
  EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(RepositoryRules, TheUnc0verBootstrapIsRefusedUnderElectraButNotItsPlainForm) {
  setDevice("12.4", "/electra");
  auto known = KVKnownRepositories::current();
  ASSERT_TRUE(refresh(known.unc0verBootstrapHTTPS));
  EXPECT_FALSE(source(known.unc0verBootstrapHTTPS));
  ASSERT_TRUE(errors.back());
  EXPECT_EQ(errors.back()->code, KVErrorIncompatibleSource);
  EXPECT_EQ(errors.back()->localizedDescription(),
            "Impossible to refresh \"" + known.unc0verBootstrapHTTPS +
                "\", this source is incompatible with the bootstrap installed on your device");

  serveAt("boot/dists/ios/1443.00/main/binary-iphoneos-arm", stanza("com.example.bootstrap", "1.0"));
  ASSERT_TRUE(refresh(known.unc0verBootstrapHTTP));
  EXPECT_TRUE(source(known.unc0verBootstrapHTTP));
  EXPECT_EQ(package("com.example.bootstrap")->sourceLocation(), known.unc0verBootstrapHTTP);
}

}  // namespace
